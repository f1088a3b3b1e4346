#include "cli/HelpCommand.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/CommandTree.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "cli/ManualPages.h"
#include "cli/NearestName.h"
#include "cli/ShellCompletions.h"
#include "common/OutputFile.h"

#ifndef QV_COMMIT
#define QV_COMMIT "unknown"
#endif

namespace qv::cli {
namespace {

// The help of `command` whose usage line starts with `path`. App::help() would answer with the
// help of the subcommand that was parsed, `help` itself, so the formatter is asked directly.
std::string HelpOf(const CLI::App& command, const std::string& path) {
    return command.get_formatter()->make_help(&command, path, CLI::AppFormatMode::Normal);
}

void AddOptionLine(std::ostream& out, const std::string& name, const std::string& description) {
    CLI::detail::format_help(out, "    " + name, description, 34);
}

// One block per command, depth first: its synopsis, its description under it, and its arguments
// and options, indented as help2man makes a list of them.
void AddCommandTree(std::ostream& out, const CLI::App& command, const std::string& path) {
    out << "  " << Synopsis(command, path) << "\n";
    const std::string description = command.get_description();
    if (!description.empty()) out << "        " << description << "\n";
    for (const CLI::Option* option : ShownOptions(command))
        AddOptionLine(out, OptionLabel(*option), option->get_description());
    for (const CLI::App* sub : command.get_subcommands({}))
        AddCommandTree(out, *sub, path + " " + sub->get_name());
}

// The help of the (sub)command that `names` leads to from `app`.
std::string CommandHelp(const CLI::App& app, const std::vector<std::string>& names) {
    const CLI::App* command = &app;
    std::string path = app.get_name();  // "qvusb reg": where the command's usage line starts
    for (const std::string& name : names) {
        const CLI::App* found = nullptr;
        for (const CLI::App* sub : command->get_subcommands({}))
            if (sub->check_name(name)) found = sub;
        if (found == nullptr) {
            const std::vector<std::string> commands = CommandNames(*command);
            throw BadInput("'" + name + "' is not a command of '" + path + "'" +
                           (commands.empty() ? "; it has none"
                                             : "; the commands are: " + JoinedNames(commands) +
                                                   DidYouMean(name, commands)));
        }
        command = found;
        path += " " + found->get_name();
    }
    return HelpOf(*command, path);
}

// The top-level help's description and usage lines, and where to find more.
std::string ShortUsage(const CLI::App& app) {
    std::istringstream help(HelpOf(app, app.get_name()));
    std::string usage;
    for (std::string line; std::getline(help, line);) {
        usage += line + "\n";
        if (line.rfind("Usage:", 0) == 0) break;
    }
    return usage + "Run 'qvusb help' for the commands, 'qvusb help COMMAND' for one command.\n";
}

// One file of the documentation; a file not written fails the build that asked for it.
void WriteDocument(const std::filesystem::path& path, const std::string& text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (const auto problem = WriteOutput(path, {bytes, text.size()}))
        throw OperationFailed("Cannot write " + path.string() + ": " + *problem);
}

// The manual pages (FOLDER/man1/qvusb.1, qvusb-flash.1, ...) and the completions for bash
// (FOLDER/qvusb.bash), zsh (FOLDER/_qvusb) and fish (FOLDER/qvusb.fish).
void WriteDocumentation(const CLI::App& app, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "man1");
    for (const ManualPage& page : ManualPages(app, QV_DATA_FOLDER))
        WriteDocument(folder / "man1" / page.fileName, page.roff);
    WriteDocument(folder / "qvusb.bash", BashCompletion(app));
    WriteDocument(folder / "_qvusb", ZshCompletion(app));
    WriteDocument(folder / "qvusb.fish", FishCompletion(app));
}

}  // namespace

std::string VersionText() {
    return std::string("qvusb ") + QV_VERSION + " (commit " + QV_COMMIT + ")";
}

std::string HelpAllText(const CLI::App& app) {
    std::ostringstream out;
    out << HelpOf(app, app.get_name()) << "\nCommands:\n";
    for (const CLI::App* command : app.get_subcommands({}))
        AddCommandTree(out, *command, app.get_name() + " " + command->get_name());
    out << "\nExit status:\n";
    for (const ExitStatusMeaning& status : kExitStatuses)
        out << "  " << status.code << "  " << status.meaning << "\n";
    out << "\nJSON output:\n" << kJsonOutput << "\nExamples:\n";
    for (const Example& example : kExamples)
        AddOptionLine(out, example.command, example.explanation);
    return out.str();
}

void AddHelpCommand(CLI::App& app) {
    // A bare `qvusb` (or global options alone) prints the short usage and is bad usage.
    app.require_subcommand(0, 1);
    app.callback([&app] {
        if (!app.get_subcommands().empty()) return;
        std::cerr << ShortUsage(app);
        throw BadInput("a command is required");
    });
    app.add_flag_callback("--help-all",
                          [&app] {
                              std::cout << HelpAllText(app);
                              throw CLI::Success();
                          })
        ->group("");  // hidden: kept for scripts that print everything
    app.add_option_function<std::string>("--write-docs",
                                         [&app](const std::string& folder) {
                                             WriteDocumentation(app, folder);
                                             throw CLI::Success();
                                         })
        ->group("");  // hidden: the build writes the manual pages and completions with it

    auto* help = app.add_subcommand(
        "help", "Print the help of the program or of a command (help reg read); --all: everything");
    auto names = std::make_shared<std::vector<std::string>>();
    auto all = std::make_shared<bool>(false);
    help->add_option("command", *names, "The command, and its subcommand");
    help->add_flag("--all", *all, "Every command with its options, exit status, JSON and examples");
    help->callback(
        [&app, names, all] { std::cout << (*all ? HelpAllText(app) : CommandHelp(app, *names)); });
}

}  // namespace qv::cli
