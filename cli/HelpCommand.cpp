#include "cli/HelpCommand.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"

#ifndef QV_COMMIT
#define QV_COMMIT "unknown"
#endif

namespace qv::cli {
namespace {

constexpr const char* kExitStatus = R"(Exit status:
  0  success
  1  the operation failed; the message says where
  2  bad usage or bad input; nothing was sent
  3  no device found, or no permission to open it
)";

// The objects --json and --log write, as JsonLine, RunRecord and the JSON view build them.
constexpr const char* kJsonOutput = R"(JSON output:
  With --json standard output is JSON Lines: one object per line with an "event" field.

  {"event":"step","text":T}
      A step of a flash command begins (once per step; T without trailing dots).
  {"event":"progress","done":N,"total":N,"unit":U}
      Once per percent: U "bytes", of the loaded image; during an erase U "percent", of the
      identified part's usual erase time (100 when the erase has ended).
  {"event":"result",...} of a flash command
      One per device of flash, erase, blank, program, verify, read-back, flash --all and
      station: "command", "ok", "exit_code", "message", "seconds", "device", on failure
      "failure" (its kind), "flash_uid" (the flash's unique ID, where flash, flash --all
      and station read one), "serial" (the serial number the board was given with --serial),
      and for a command with a file "file", "length", "checksum"
      ("0xC59B") and "sha256" of the file.
  {"event":"result",...} of any other command
      The last line of every other recognised command, also of one refused for bad usage:
      "command", "ok", "exit_code", "message" and "output" (what it would have printed).
  {"event":"plan","action":A,"text":T,...}
      With --dry-run: one per step the command would take, with its figures ("start", "end",
      "bytes", "file", "length", "checksum", "sha256", "address", "value", ...); the result
      line then carries "dry_run":true.
  {"event":"summary","passed":N,"failed":N,"stopped":N,"boards_per_hour":R}
      The end of station and of flash --all; R is null before a minute of work or before
      the second verdict (stopped boards are not in it).
  qvusb --json list
      One object per device: "event" ("device"), "selector", "kind" (user or
      firmware-update), "vid", "pid", "carrier" (audio or usb), "serial" and "path".
  --log FILE
      Appends one object per device and run: "time" (UTC, with milliseconds), "host",
      "command_line" (passwords as ***), "command", "device_path", "ok", "exit_code", "message",
      "seconds", "device", "failure", "file", "length", "checksum", "sha256", "range",
      "chip_id" ("EF 40 14"), "flash_uid" (16 hex digits, empty when not read), "serial",
      "order", "operator" and "failing_step"; and {"event":"on_result",...} when the command
      of --on-result failed for a board.
  qvusb --json --db URL board ID
      One object per run of the board: "event" ("board_run"), "time", "station", "port",
      "ok", "failure", "message", "serial", "flash_uid" and "firmware".
  qvusb --json --db URL serials
      One object per serial number: "event" ("serial"), "serial", "status" (allocated,
      programmed or void), "station", "port" and "allocated_at" (UTC).
  "failure"
      refused (exit 2), no_device (exit 3), device_gone, not_answering, identify_failed,
      status_unreadable, status_write_failed, range_beyond_flash, write_protected,
      erase_failed, blank_check_failed, program_failed, verify_failed, read_failed,
      kept_bytes_lost, protect_failed, isp_entry_failed, isp_exit_failed, request_failed,
      not_acknowledged, stopped, output_not_written (exit 1).
)";

constexpr const char* kExamples = R"(Examples:
  qvusb --sim flash demo/demo-firmware.h00
      program the demo firmware into the simulated chip with the automatic sequence
  qvusb list
      the devices, each with its selector (1-3.2) for --device
  qvusb --json --log station.log --device 1-3 flash fw.h00
      a production script: exit code 0/1/2/3, the last line the result, a line in station.log
  qvusb --sim --sim-devices 4 --sim-replug 3 station demo/demo-firmware.h00 --units 12
      a station of four ports with a simulated operator, twelve boards judged
  qvusb --db sqlite:line.db station fw.h00 --serial 'QVUA{yy}{mm}{seq:06}'
      a station giving every board the next serial number, kept with each run in line.db
  qvusb --trace board.trace status
      the playback status, every control transfer written to board.trace
  qvusb udev-rule --vid 6b94 --pid f82d > /etc/udev/rules.d/71-quorvex-local.rules
      let users reach a device with other IDs (then: udevadm control --reload-rules &&
      udevadm trigger)
)";

// The help of `command` whose usage line starts with `path`. App::help() would answer with the
// help of the subcommand that was parsed, `help` itself, so the formatter is asked directly.
std::string HelpOf(const CLI::App& command, const std::string& path) {
    return command.get_formatter()->make_help(&command, path, CLI::AppFormatMode::Normal);
}

bool IsHelpFlag(const CLI::App& command, const CLI::Option* option) {
    return option == command.get_help_ptr() || option == command.get_help_all_ptr();
}

// "qvusb reg write address value [OPTIONS]": the command's path, its positional arguments
// and whether it has options or subcommands.
std::string Synopsis(const CLI::App& command, const std::string& path) {
    std::string line = path;
    bool hasOptions = false;
    for (const CLI::Option* option : command.get_options()) {
        if (IsHelpFlag(command, option) || option->get_group().empty()) continue;
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

void AddOptionLine(std::ostream& out, const std::string& name, const std::string& description) {
    CLI::detail::format_help(out, "    " + name, description, 34);
}

// One block per command, depth first: its synopsis, its description under it, and its arguments
// and options, indented as help2man makes a list of them.
void AddCommandTree(std::ostream& out, const CLI::App& command, const std::string& path) {
    out << "  " << Synopsis(command, path) << "\n";
    const std::string description = command.get_description();
    if (!description.empty()) out << "        " << description << "\n";
    for (const CLI::Option* option : command.get_options()) {
        if (IsHelpFlag(command, option) || option->get_group().empty()) continue;
        std::string name = option->get_positional() ? option->get_name(true, false)
                                                    : option->get_name(false, true);
        if (!option->get_positional() && option->get_type_size_max() > 0)
            name += " " + option->get_type_name();
        AddOptionLine(out, name, option->get_description());
    }
    for (const CLI::App* sub : command.get_subcommands({}))
        AddCommandTree(out, *sub, path + " " + sub->get_name());
}

std::string CommandNames(const CLI::App& command) {
    std::string names;
    for (const CLI::App* sub : command.get_subcommands({}))
        names += (names.empty() ? "" : ", ") + sub->get_name();
    return names;
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
            const std::string commands = CommandNames(*command);
            throw BadInput("'" + name + "' is not a command of '" + path + "'; " +
                           (commands.empty() ? "it has none" : "the commands are: " + commands));
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

}  // namespace

std::string VersionText() {
    return std::string("qvusb ") + QV_VERSION + " (commit " + QV_COMMIT + ")";
}

std::string HelpAllText(const CLI::App& app) {
    std::ostringstream out;
    out << HelpOf(app, app.get_name()) << "\nCommands:\n";
    for (const CLI::App* command : app.get_subcommands({}))
        AddCommandTree(out, *command, app.get_name() + " " + command->get_name());
    out << "\n" << kExitStatus << "\n" << kJsonOutput << "\n" << kExamples;
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
        ->group("");  // hidden: the manual page is written from it

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
