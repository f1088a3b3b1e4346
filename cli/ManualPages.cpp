#include "cli/ManualPages.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "cli/CommandTree.h"
#include "cli/HelpTexts.h"

namespace qv::cli {
namespace {

// Text as roff prints it literally: backslashes and minus signs escaped, and no line that
// starts with a control character.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else
            escaped += c;
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) escaped = "\\&" + escaped;
    return escaped;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to), at += to.size();
    return text;
}

void Header(std::ostream& out, const std::string& name, const std::string& summary) {
    out << ".TH " << Escaped(Upper(name)) << " 1 \"\" \"qvusb " << QV_VERSION
        << "\" \"User Commands\"\n"
        // Ragged right and no hyphens: commands, paths and JSON read as typed.
        << ".nh\n.ad l\n.SH NAME\n"
        << Escaped(name) << " \\- " << Escaped(summary) << "\n";
}

// A tagged paragraph per option: its names and value in bold and italics, its text, its
// default and the variable it is also read from.
void Options(std::ostream& out, const CLI::App& command) {
    for (const CLI::Option* option : ShownOptions(command)) {
        out << ".TP\n";
        if (option->get_positional())
            out << "\\fI" << Escaped(OptionLabel(*option)) << "\\fR\n";
        else
            out << "\\fB" << Escaped(option->get_name(false, true)) << "\\fR"
                << (TakesValue(*option) ? " \\fI" + Escaped(option->get_type_name()) + "\\fR"
                                        : std::string())
                << "\n";
        out << Escaped(option->get_description()) << "\n";
        if (!option->get_default_str().empty())
            out << "(default: " << Escaped(option->get_default_str()) << ")\n";
        if (!option->get_envname().empty())
            out << "(also from " << Escaped(option->get_envname()) << ")\n";
    }
}

void ExitStatus(std::ostream& out) {
    out << ".SH \"EXIT STATUS\"\n";
    for (const ExitStatusMeaning& status : kExitStatuses)
        out << ".TP\n.B " << status.code << "\n" << Escaped(status.meaning) << "\n";
}

// The JSON output's text: a line indented by two spaces is a tag, one by six its explanation.
void JsonOutput(std::ostream& out) {
    out << ".SH \"JSON OUTPUT\"\n";
    std::istringstream lines(kJsonOutput);
    bool first = true;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos) continue;
        const std::string text = Escaped(line.substr(indent));
        if (first)
            out << text << "\n";
        else if (indent <= 2)  // "\:" lets a long object break after its commas
            out << ".TP\n.B " << Replaced(text, ",", ",\\:") << "\n";
        else
            out << text << "\n";
        first = false;
    }
}

void SeeAlso(std::ostream& out, const std::vector<std::string>& pages) {
    out << ".SH \"SEE ALSO\"\n";
    for (std::size_t i = 0; i < pages.size(); ++i)
        out << ".BR " << Escaped(pages[i]) << " (1)" << (i + 1 < pages.size() ? "," : "") << "\n";
}

std::string PageName(const CLI::App& command) { return "qvusb-" + command.get_name(); }

ManualPage ProgramPage(const CLI::App& app, const std::string& dataFolder) {
    std::ostringstream out;
    Header(out, "qvusb", "program and inspect the Quorvex USB audio bridge chip");
    out << ".SH SYNOPSIS\n.B qvusb\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n"
        << ".SH DESCRIPTION\n"
        << "qvusb finds the chip on USB, programs its SPI flash (erase, blank check, program, "
           "verify, read back, or all of them as one sequence), reads and writes its registers, "
           "drives its I2C master, sets its EEPROM parameters, shows its playback status and "
           "patches firmware image files. With \\fB\\-\\-sim\\fR it works on a simulated chip.\n"
        << ".PP\nThe options below may come before or after the command. Each command has its "
           "own page, and \\fBqvusb help\\fR \\fICOMMAND\\fR prints its help.\n"
        << ".SH COMMANDS\n";
    std::vector<std::string> pages;
    for (const CLI::App* command : app.get_subcommands({})) {
        out << ".TP\n.B " << Escaped(command->get_name()) << "\n"
            << Escaped(command->get_description()) << "; see\n.BR " << Escaped(PageName(*command))
            << " (1).\n";
        pages.push_back(PageName(*command));
    }
    out << ".SH OPTIONS\n";
    Options(out, app);
    ExitStatus(out);
    JsonOutput(out);
    out << ".SH ENVIRONMENT\n"
        << ".TP\n.B QV_ORDER\nThe production order, when \\fB\\-\\-order\\fR is not given.\n"
        << ".TP\n.B QV_OPERATOR\nWho runs the station, when \\fB\\-\\-operator\\fR is not "
           "given.\n"
        << ".TP\n.B PGPASSWORD\nThe password of a PostgreSQL database given with "
           "\\fB\\-\\-db\\fR (the URL carries none).\n"
        << ".TP\n.B PGPASSFILE\nThe PostgreSQL password file, when not \\fI~/.pgpass\\fR.\n"
        << ".TP\n.B QV_RESULT, QV_SERIAL, QV_FLASH_UID, QV_STATION, QV_PORT, QV_FAILURE, "
           "QV_MESSAGE, QV_FILE\nSet for the command of \\fB\\-\\-on\\-result\\fR.\n"
        << ".SH FILES\n"
        << ".TP\n.I /usr/lib/udev/rules.d/70\\-quorvex\\-usbtool.rules\n"
           "The udev rule that lets users open the chip; see \\fBqvusb udev\\-rule\\fR for "
           "devices with other IDs.\n"
        << ".TP\n.I " << Escaped(dataFolder + "/demo-firmware.h00")
        << "\nA demo firmware image for the simulated chip.\n"
        << ".TP\n.I ~/.pgpass\nPostgreSQL passwords, read by the database client.\n"
        << ".SH EXAMPLES\n";
    for (const Example& example : kExamples)
        out << ".TP\n.B "
            << Escaped(Replaced(example.command, kExampleDemoFirmware,
                                dataFolder + "/demo-firmware.h00"))
            << "\n"
            << Escaped(example.explanation) << "\n";
    pages.insert(pages.end(), {"quorvex-usbtool", "quorvex-station", "udevadm"});
    SeeAlso(out, pages);
    return {"qvusb.1", out.str()};
}

// A command's subcommands, depth first, each with its synopsis, text and options.
void Subcommands(std::ostream& out, const CLI::App& command, const std::string& path) {
    for (const CLI::App* sub : command.get_subcommands({})) {
        const std::string subPath = path + " " + sub->get_name();
        out << ".SS \"" << Escaped(subPath) << "\"\n"
            << Escaped(sub->get_description()) << "\n.PP\n.B " << Escaped(Synopsis(*sub, subPath))
            << "\n";
        Options(out, *sub);
        Subcommands(out, *sub, subPath);
    }
}

ManualPage CommandPage(const CLI::App& command) {
    std::ostringstream out;
    const std::string path = "qvusb " + command.get_name();
    Header(out, PageName(command), command.get_description());
    out << ".SH SYNOPSIS\n.B qvusb\n[\\fIOPTIONS\\fR] "
        << Escaped(Synopsis(command, command.get_name())) << "\n.SH DESCRIPTION\n"
        << Escaped(command.get_description())
        << ".\n.PP\nThe program's options (\\fBqvusb\\fR(1)) may come before or after the "
           "command.\n";
    if (!ShownOptions(command).empty()) {
        out << ".SH OPTIONS\n";
        Options(out, command);
    }
    if (!command.get_subcommands({}).empty()) {
        out << ".SH COMMANDS\n";
        Subcommands(out, command, path);
    }
    ExitStatus(out);
    SeeAlso(out, {"qvusb"});
    return {PageName(command) + ".1", out.str()};
}

}  // namespace

std::vector<ManualPage> ManualPages(const CLI::App& app, const std::string& dataFolder) {
    std::vector<ManualPage> pages{ProgramPage(app, dataFolder)};
    for (const CLI::App* command : app.get_subcommands({})) pages.push_back(CommandPage(*command));
    return pages;
}

}  // namespace qv::cli
