#include "cli/ShellCompletions.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "cli/CommandTree.h"

namespace qv::cli {
namespace {

// What a value or an argument is completed with.
struct ValueCompletion {
    enum class Kind { Files, Devices, Words, Nothing } kind = Kind::Nothing;
    std::vector<std::string> words;  // Words: the choices
};

// The choices a placeholder names ("virtual|real"), without its upper-case parts
// ("all|START_KB:SIZE_KB": "all").
std::vector<std::string> Choices(const std::string& placeholder) {
    std::vector<std::string> choices;
    if (placeholder.find('|') == std::string::npos) return choices;
    std::istringstream parts(placeholder);
    for (std::string part; std::getline(parts, part, '|');)
        if (!part.empty() &&
            part.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789+-") == std::string::npos)
            choices.push_back(part);
    return choices;
}

// Arguments that name a file: the program files, images, traces, jobs and outputs.
bool NamesFile(const CLI::Option& option) {
    if (!option.get_positional()) return option.get_type_name() == "FILE";
    static const std::set<std::string> kFileArguments{"file", "in", "out", "job"};
    return kFileArguments.count(option.get_name(true, false)) > 0;
}

ValueCompletion CompletionOf(const CLI::Option& option) {
    if (NamesFile(option)) return {ValueCompletion::Kind::Files, {}};
    if (option.get_type_name() == "SELECTOR") return {ValueCompletion::Kind::Devices, {}};
    const std::vector<std::string> choices =
        Choices(option.get_positional() ? option.get_description() : option.get_type_name());
    if (!choices.empty()) return {ValueCompletion::Kind::Words, choices};
    return {};
}

// A command as the completions see it: "qvusb/reg/read", what follows it, and the options it
// takes (its own and the program's, which may follow any command).
struct CompletedCommand {
    std::string key;
    std::string description;
    std::vector<std::string> commands;
    std::vector<std::string> options;
    ValueCompletion argument;  // of its first positional argument
};

struct CompletionModel {
    std::vector<CompletedCommand> commands;
    std::map<std::string, ValueCompletion> valueOptions;  // "--trace": files
};

void AddOptions(const CLI::App& command, CompletedCommand& completed, CompletionModel& model) {
    for (const CLI::Option* option : ShownOptions(command)) {
        if (option->get_positional()) {
            if (completed.argument.kind == ValueCompletion::Kind::Nothing)
                completed.argument = CompletionOf(*option);
            continue;
        }
        for (const std::string& name : option->get_lnames())
            completed.options.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            completed.options.push_back("-" + name);
        // A value that may be left out (--wait [SECONDS]) is not waited for.
        if (!TakesValue(*option) || option->get_expected_min() == 0) continue;
        for (const std::string& name : option->get_lnames()) {
            ValueCompletion& value = model.valueOptions["--" + name];
            // The same name at two levels: a file or device completion wins over none.
            if (value.kind == ValueCompletion::Kind::Nothing) value = CompletionOf(*option);
        }
    }
}

void AddCommand(const CLI::App& command, const std::string& key, const CLI::App& program,
                CompletionModel& model) {
    CompletedCommand completed{key, command.get_description(), {}, {}, {}};
    for (const CLI::App* sub : command.get_subcommands({}))
        completed.commands.push_back(sub->get_name());
    AddOptions(command, completed, model);
    if (&command != &program) AddOptions(program, completed, model);
    model.commands.push_back(completed);
    for (const CLI::App* sub : command.get_subcommands({}))
        AddCommand(*sub, key + "/" + sub->get_name(), program, model);
}

CompletionModel ModelOf(const CLI::App& app) {
    CompletionModel model;
    AddCommand(app, "qvusb", app, model);
    return model;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// The option names whose values complete the same way, as a case pattern ("--a|--b").
std::map<ValueCompletion::Kind, std::vector<std::string>> OptionsByKind(
    const CompletionModel& model) {
    std::map<ValueCompletion::Kind, std::vector<std::string>> byKind;
    for (const auto& [name, value] : model.valueOptions)
        if (value.kind != ValueCompletion::Kind::Words) byKind[value.kind].push_back(name);
    return byKind;
}

// A case branch for the option names given: "    --a|--b) ACTION ;;", nothing for none.
std::string Branch(const std::vector<std::string>& names, const std::string& action) {
    std::string pattern;
    for (const std::string& name : names) pattern += (pattern.empty() ? "" : "|") + name;
    return pattern.empty() ? std::string() : "    " + pattern + ") " + action + " ;;\n";
}

constexpr const char* kListDevices = "qvusb list 2>/dev/null | cut -d' ' -f1";

// The walk both shells' scripts start with: the command typed so far, from the words before
// the cursor ("qvusb/reg/read").
std::string CommandWalk(const CompletionModel& model, const std::string& words, int first) {
    std::ostringstream out;
    out << "    local cmd=qvusb i\n    for ((i = " << first << "; i < "
        << (first == 1 ? "COMP_CWORD" : "CURRENT") << "; i++)); do\n        case \"$cmd:" << words
        << "[i]}\" in\n";
    for (const CompletedCommand& command : model.commands)
        for (const std::string& sub : command.commands)
            out << "        " << command.key << ":" << sub << ") cmd=" << command.key << "/" << sub
                << " ;;\n";
    out << "        esac\n    done\n";
    return out.str();
}

}  // namespace

namespace {

// What bash and zsh say differently in the one script both run: the case of the word before the
// cursor, then the case of the command typed, then the choice among options, commands, files and
// words.
struct ShellWords {
    std::string header;     // the lines before the walk over the words typed
    std::string wordArray;  // the array of the words typed, as "${NAME"
    int firstWord;          // the index of the first word after the program's name
    std::string files;      // completes a file name and returns
    std::string devices;    // completes a device of `qvusb list` and returns
    std::function<std::string(const std::string&)> words;  // completes one of the words given
    std::string listOpen;  // a list variable's value: "a b" or (a b)
    std::string listClose;
    std::string declarations;  // the variables the command's case sets
    std::string ending;        // the choice, and what follows the function
};

std::string CaseScript(const CLI::App& app, const ShellWords& shell) {
    const CompletionModel model = ModelOf(app);
    std::ostringstream out;
    out << shell.header << CommandWalk(model, shell.wordArray, shell.firstWord)
        << "    case \"$prev\" in\n";
    auto byKind = OptionsByKind(model);
    out << Branch(byKind[ValueCompletion::Kind::Files], shell.files)
        << Branch(byKind[ValueCompletion::Kind::Devices], shell.devices);
    for (const auto& [name, value] : model.valueOptions)
        if (value.kind == ValueCompletion::Kind::Words)
            out << Branch({name}, shell.words(Joined(value.words)));
    out << Branch(byKind[ValueCompletion::Kind::Nothing], "return") << "    esac\n"
        << shell.declarations << "    case \"$cmd\" in\n";
    const auto list = [&](const std::vector<std::string>& words) {
        return shell.listOpen + Joined(words) + shell.listClose;
    };
    for (const CompletedCommand& command : model.commands) {
        out << "    " << command.key << ")\n        options=" << list(command.options)
            << "\n        commands=" << list(command.commands) << "\n";
        if (command.argument.kind == ValueCompletion::Kind::Files)
            out << "        argument=files\n";
        else if (command.argument.kind == ValueCompletion::Kind::Words)
            out << "        argument=\"" << Joined(command.argument.words) << "\"\n";
        out << "        ;;\n";
    }
    out << "    esac\n" << shell.ending;
    return out.str();
}

}  // namespace

std::string BashCompletion(const CLI::App& app) {
    return CaseScript(
        app,
        {"# bash completion for qvusb, written from its option definitions\n_qvusb() {\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n",
         "${COMP_WORDS", 1, "COMPREPLY=($(compgen -f -- \"$cur\")); return",
         std::string("COMPREPLY=($(compgen -W \"$(") + kListDevices + ")\" -- \"$cur\")); return",
         [](const std::string& words) {
             return "COMPREPLY=($(compgen -W \"" + words + "\" -- \"$cur\")); return";
         },
         "\"", "\"", "    local options=\"\" commands=\"\" argument=\"\"\n",
         "    if [[ $cur == -* ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "    elif [[ -n $commands ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
         "    elif [[ $argument == files ]]; then\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    elif [[ -n $argument ]]; then\n"
         "        COMPREPLY=($(compgen -W \"$argument\" -- \"$cur\"))\n"
         "    fi\n}\ncomplete -o filenames -F _qvusb qvusb\n"});
}

std::string ZshCompletion(const CLI::App& app) {
    return CaseScript(
        app, {"#compdef qvusb\n# zsh completion for qvusb, written from its option definitions\n"
              "_qvusb() {\n    local cur=${words[CURRENT]} prev=${words[CURRENT-1]}\n",
              "${words", 2, "_files; return",
              std::string("compadd -- ${(f)\"$(") + kListDevices + ")\"}; return",
              [](const std::string& words) { return "compadd -- " + words + "; return"; }, "(", ")",
              "    local -a options commands\n    local argument=\"\"\n",
              "    if [[ $cur == -* ]]; then\n        compadd -- $options\n"
              "    elif (( $#commands )); then\n        compadd -- $commands\n"
              "    elif [[ $argument == files ]]; then\n        _files\n"
              "    elif [[ -n $argument ]]; then\n        compadd -- ${=argument}\n"
              "    fi\n}\n_qvusb \"$@\"\n"});
}

namespace {

std::string FishQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// The fish condition that the commands `path` ({"reg", "read"}) were typed.
std::string FishTyped(const std::vector<std::string>& path) {
    std::string condition;
    for (const std::string& name : path)
        condition += (condition.empty() ? "" : "; and ") +
                     std::string("__fish_seen_subcommand_from ") + name;
    return condition;
}

void FishOption(std::ostream& out, const CLI::Option& option, const std::string& condition) {
    out << "complete -c qvusb";
    if (!condition.empty()) out << " -n " << FishQuoted(condition);
    for (const std::string& name : option.get_lnames()) out << " -l " << name;
    for (const std::string& name : option.get_snames()) out << " -s " << name;
    if (TakesValue(option)) {
        const ValueCompletion value = CompletionOf(option);
        if (value.kind == ValueCompletion::Kind::Files)
            out << " -r -F";
        else if (value.kind == ValueCompletion::Kind::Devices)
            out << " -x -a " << FishQuoted(std::string("(") + kListDevices + ")");
        else if (value.kind == ValueCompletion::Kind::Words)
            out << " -x -a " << FishQuoted(Joined(value.words));
        else
            out << " -x";
    }
    out << " -d " << FishQuoted(option.get_description()) << "\n";
}

void FishCommand(std::ostream& out, const CLI::App& command, const std::vector<std::string>& path) {
    const std::string typed = FishTyped(path);
    std::string none;
    for (const CLI::App* sub : command.get_subcommands({}))
        none += (none.empty() ? "" : " ") + sub->get_name();
    for (const CLI::App* sub : command.get_subcommands({}))
        out << "complete -c qvusb -n "
            << FishQuoted((typed.empty() ? "" : typed + "; and ") +
                          "not __fish_seen_subcommand_from " + none)
            << " -a " << sub->get_name() << " -d " << FishQuoted(sub->get_description()) << "\n";
    for (const CLI::Option* option : ShownOptions(command)) {
        if (!option->get_positional()) {
            FishOption(out, *option, typed);
            continue;
        }
        const ValueCompletion value = CompletionOf(*option);
        if (value.kind == ValueCompletion::Kind::Files)
            out << "complete -c qvusb -n " << FishQuoted(typed) << " -F\n";
        else if (value.kind == ValueCompletion::Kind::Words)
            out << "complete -c qvusb -n " << FishQuoted(typed) << " -a "
                << FishQuoted(Joined(value.words)) << "\n";
    }
    for (const CLI::App* sub : command.get_subcommands({})) {
        std::vector<std::string> subPath = path;
        subPath.push_back(sub->get_name());
        FishCommand(out, *sub, subPath);
    }
}

}  // namespace

std::string FishCompletion(const CLI::App& app) {
    std::ostringstream out;
    out << "# fish completion for qvusb, written from its option definitions\n"
        << "complete -c qvusb -f\n";
    FishCommand(out, app, {});
    return out.str();
}

}  // namespace qv::cli
