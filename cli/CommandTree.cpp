#include "cli/CommandTree.h"

#include <CLI/CLI.hpp>

namespace qv::cli {

std::vector<const CLI::Option*> ShownOptions(const CLI::App& command) {
    std::vector<const CLI::Option*> shown;
    for (const CLI::Option* option : command.get_options()) {
        const bool helpFlag =
            option == command.get_help_ptr() || option == command.get_help_all_ptr();
        if (!helpFlag && !option->get_group().empty()) shown.push_back(option);
    }
    return shown;
}

bool TakesValue(const CLI::Option& option) {
    return !option.get_positional() && option.get_items_expected_max() > 0;
}

std::string OptionLabel(const CLI::Option& option) {
    if (option.get_positional()) return option.get_name(true, false);
    std::string label = option.get_name(false, true);
    if (TakesValue(option)) label += " " + option.get_type_name();
    return label;
}

std::string Synopsis(const CLI::App& command, const std::string& path) {
    std::string line = path;
    bool hasOptions = false;
    for (const CLI::Option* option : ShownOptions(command)) {
        if (!option->get_positional()) {
            hasOptions = true;
            continue;
        }
        std::string name = option->get_name(true, false);
        if (option->get_expected_max() > 1) name += "...";
        line += " " + (option->get_required() ? name : "[" + name + "]");
    }
    if (hasOptions) line += " [OPTIONS]";
    if (!command.get_subcommands({}).empty()) line += " COMMAND";
    return line;
}

}  // namespace qv::cli
