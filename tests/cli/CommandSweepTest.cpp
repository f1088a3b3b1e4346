// Every qvusb command that talks to the chip outside the flash jobs, run on the simulated chip
// once per fault point: each --sim-fault kind armed at every transfer of the command's clean
// run, on both carriers (the user's device through the audio driver, a firmware-update device
// through the USB driver). Each run is judged from the chip itself: exit 0 only when the chip
// shows the work done and what was printed is what it holds; a failure of a kind its fault can
// cause; and a chip gone silent left after at most three unanswered transfers. Then every
// command of the tree once more under --dry-run.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/I2cCommands.h"
#include "cli/JobOutcome.h"
#include "cli/ParamsCommands.h"
#include "cli/StatusCommands.h"
#include "sim/FaultChoice.h"
#include "sim/SimHost.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"

namespace {

using namespace qv::cli;
using qv::sim::SimChip;
using qv::sim::SimHost;
using Check = std::function<bool(SimChip&, const std::string& printed)>;

struct Command {
    std::string arguments;
    std::function<void(SimChip&)> setUp;
    Check done;  // the chip shows the work done, and what was printed is what it holds
};

constexpr std::uint8_t kSlave = 0x20;

std::uint8_t& SlaveRegister(SimChip& chip, std::uint8_t address) {
    return chip.I2c().Slaves()[kSlave].registers[address];
}

std::string Hex(std::uint8_t value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0x0F]};
}

// Plain registers 0x01 to 0x8F of bank 0 hold a pattern: a dump must print exactly it.
bool DumpShowsThePattern(SimChip& chip, const std::string& printed) {
    std::istringstream lines(printed);
    std::string line;
    std::getline(lines, line);  // the column header
    for (int row = 0; row < 16; ++row) {
        if (!std::getline(lines, line)) return false;
        for (int column = 0; column < 16; ++column) {
            const int address = row * 16 + column;
            if (address == 0 || address >= 0x90) continue;
            const std::size_t at = 3 + static_cast<std::size_t>(column) * 3;
            if (line.size() < at + 2 ||
                line.substr(at, 2) != Hex(chip.Register(0, static_cast<std::uint8_t>(address))))
                return false;
        }
    }
    return true;
}

// Whether the printed status is the one the flash reads once its operations are over, from its
// stored bits and, had they fired by the read, its faults (the bus the chip's clock belonged to
// has gone with the command).
bool PrintsSettledStatus(SimChip& chip, const std::string& printed) {
    const auto& faults = chip.Faults().flash;
    const std::uint8_t stored = chip.Flash().StoredStatus();
    const auto faulted = static_cast<std::uint8_t>(
        stored | (faults.protectionStuck ? chip.Flash().Chip().blockProtectMask : 0) |
        (faults.staysBusy ? 0x01 : 0));
    return printed == "0x" + Hex(stored) + "\n" || printed == "0x" + Hex(faulted) + "\n";
}

const Command kCommands[] = {
    {"reg read 20", [](SimChip& c) { c.SetRegister(0, 0x20, 0x5A); },
     [](SimChip&, const std::string& p) { return p == "5A\n"; }},
    {"reg write 20 A5",
     {},
     [](SimChip& c, const std::string&) { return c.Register(0, 0x20) == 0xA5; }},
    {"reg dump",
     [](SimChip& c) {
         for (int a = 1; a < 0x90; ++a)
             c.SetRegister(0, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 7));
     },
     DumpShowsThePattern},
    {"i2c write 20 10 AB CD",
     {},
     [](SimChip& c, const std::string&) {
         return SlaveRegister(c, 0x10) == 0xAB && SlaveRegister(c, 0x11) == 0xCD;
     }},
    {"i2c read 20 10 2",
     [](SimChip& c) {
         SlaveRegister(c, 0x10) = 0x12;
         SlaveRegister(c, 0x11) = 0x34;
     },
     [](SimChip&, const std::string& p) { return p == "12 34\n"; }},
    {"i2c cmd-write 20 --cmd 30 --data 56",
     {},
     [](SimChip& c, const std::string&) { return SlaveRegister(c, 0x30) == 0x56; }},
    {"i2c cmd-read 20 --cmd 30 --count 1", [](SimChip& c) { SlaveRegister(c, 0x30) = 0x77; },
     [](SimChip&, const std::string& p) { return p == "77\n"; }},
    {"params write-options 5E BF 5A 01",
     {},
     [](SimChip& c, const std::string&) {
         const auto& options = c.Mailbox().Eeprom().options;
         return options[0] == 0x5E && options[1] == 0xBF && options[2] == 0x5A;
     }},
    {"params read",
     [](SimChip& c) {
         c.Mailbox().Eeprom().options = {0xC1, 0x12, 0x34, 0x00};
     },
     [](SimChip&, const std::string& p) { return p.starts_with("Options: C1 12 34 "); }},
    {"params set-vid 6b9a",
     {},
     [](SimChip& c, const std::string&) {
         return c.Mailbox().Eeprom().vendorId == std::array<std::uint8_t, 4>{'6', 'b', '9', 'a'};
     }},
    {"params set-string 3 QV-0042-ABCDEFGHIJ",
     {},
     [](SimChip& c, const std::string&) {
         return c.Mailbox().Eeprom().StringText(3) == "QV-0042-ABCDEFGHIJ";
     }},
    {"hid next",
     {},
     [](SimChip& c, const std::string&) {
         return !c.Mailbox().HidKeys().empty() && c.Mailbox().HidKeys().back() == 0x20;
     }},
    {"status",
     [](SimChip& c) {
         c.Playback().Stream() = {true, false, false, 0x01};
     },
     [](SimChip&, const std::string& p) {
         return p == "Connection: USB connected\nMute: Playing\nFormat: PCM\nRate:    48KHz\n";
     }},
    {"flash-id",
     {},
     [](SimChip& c, const std::string& p) {
         const auto& id = c.Flash().Chip().jedecId;
         return p == Hex(id[0]) + " " + Hex(id[1]) + " " + Hex(id[2]) + "\n" && !c.InIspMode();
     }},
    // The status printed is the one the flash reads once idle (one that stays busy reads busy);
    // a write took when the stored bits hold it.
    {"flash-status", [](SimChip& c) { c.Flash().SetStoredStatus(0x1C); },
     [](SimChip& c, const std::string& p) { return PrintsSettledStatus(c, p) && !c.InIspMode(); }},
    {"flash-status --write 00", [](SimChip& c) { c.Flash().SetStoredStatus(0x9C); },
     [](SimChip& c, const std::string& p) {
         return (c.Flash().StoredStatus() & 0xFC) == 0 && PrintsSettledStatus(c, p) &&
                !c.InIspMode();
     }},
    {"isp enter", {}, [](SimChip& c, const std::string&) { return c.InIspMode(); }},
    {"isp exit", {}, [](SimChip& c, const std::string&) { return !c.InIspMode(); }},
    {"raw in C3 91 0 20 1", [](SimChip& c) { c.SetRegister(0, 0x20, 0x5A); },
     [](SimChip&, const std::string& p) { return p == "5A\n"; }},
    {"raw out 43 90 0 20 A5",
     {},
     [](SimChip& c, const std::string&) { return c.Register(0, 0x20) == 0xA5; }},
};

// What each fault kind may end in. A flipped bit in a register or identification read has no
// checksum to show it: it is a value, so those kinds are not swept here.
// No fault makes a slave refuse: a request the chip did not carry out is never taken for a
// slave's not-acknowledge.
const std::set<std::string> kRequestKinds = {"request_failed",      "identify_failed",
                                             "status_unreadable",   "status_write_failed",
                                             "isp_entry_failed",    "isp_exit_failed"};
std::set<std::string> RequestKindsAnd(std::initializer_list<std::string> more) {
    std::set<std::string> kinds = kRequestKinds;
    kinds.insert(more);
    return kinds;
}
const std::map<std::string, std::set<std::string>> kCauses = {
    {"unplug", {"device_gone", "no_device"}},
    {"stall", kRequestKinds},
    {"timeout", {"not_answering"}},
    {"timeout-once", RequestKindsAnd({"not_answering"})},
    {"never-ready", RequestKindsAnd({"not_answering"})},
    {"short", kRequestKinds},
    {"short-read", kRequestKinds},
    {"stays-busy", kRequestKinds},
    {"wel-ignored", kRequestKinds},
    {"protect-stuck", kRequestKinds},
    {"wp-locked", kRequestKinds},
    {"erase-ignored", kRequestKinds},
    {"protect-lost", kRequestKinds},
    {"slow", kRequestKinds},
    {"mailbox-silent", kRequestKinds},
};
const std::set<std::string> kNotSwept = {"flip", "flip-once"};

struct Outcome {
    int exitCode = 0;
    std::string failure;
    std::string printed;
    std::uint64_t transfers = 0;   // the chip received
    std::uint64_t unanswered = 0;  // with the chip silent from the fault on
    bool done = false;
};

// qvusb --sim COMMAND, on the user's device or a firmware-update device, the fault armed.
Outcome RunCommand(const Command& command, bool userDevice, const qv::sim::FaultChoice* fault) {
    GlobalOptions options;
    options.sim = true;
    std::shared_ptr<SimChip> chip;
    options.simulator.prepare = [&](SimHost& host, SimChip& first) {
        host.Detach(first);
        chip = host.AttachNew(userDevice ? qv::sim::UserDeviceIdentity()
                                         : qv::sim::FirmwareUpdateIdentity(0x4D17));
        chip->I2c().Slaves()[kSlave] = {};
        if (command.setUp) command.setUp(*chip);
        chip->KeepRequestLog(true);
        if (fault) qv::sim::ArmFault(host, *chip, *fault);
    };
    CLI::App app;
    AddRawCommand(app, options);
    AddRegisterCommands(app, options);
    AddIspCommands(app, options);
    AddI2cCommands(app, options);
    AddParamsCommands(app, options);
    AddStatusCommands(app, options);
    Outcome outcome;
    {
        CapturedOutput output;
        try {
            app.parse(command.arguments);
        } catch (const JobFailed& failed) {
            outcome.exitCode = kExitFailed;
            outcome.failure = KindName(failed.result.kind);
        } catch (const NoDevice&) {
            outcome.exitCode = kExitNoDevice;
            outcome.failure = "no_device";
        } catch (const OperationFailed& failed) {
            outcome.exitCode = kExitFailed;
            outcome.failure = failed.what();
        }
        outcome.printed = output.Text();
    }
    outcome.transfers = chip->RequestLog().size();
    // From the fault on, the transfers that each cost the host's timeout (the audio driver's
    // support question is no transfer).
    if (fault)
        for (std::size_t i = fault->fromTransfer - 1; i < chip->RequestLog().size(); ++i)
            outcome.unanswered += chip->RequestLog()[i] != SimChip::kSupportQueryEntry;
    outcome.done = command.done(*chip, outcome.printed);
    return outcome;
}

TEST(CommandSweep, EveryFaultAtEveryTransferOfEveryCommandEndsInATrueReport) {
    std::uint64_t runs = 0, successes = 0, failures = 0;
    std::vector<std::string> wrong;
    for (const Command& command : kCommands) {
        for (const bool userDevice : {true, false}) {
            const Outcome clean = RunCommand(command, userDevice, nullptr);
            ASSERT_EQ(clean.exitCode, 0) << command.arguments << ": " << clean.failure;
            ASSERT_TRUE(clean.done) << command.arguments << " printed " << clean.printed;
            for (const auto& [kind, causes] : kCauses) {
                for (std::uint64_t k = 1; k <= clean.transfers; ++k) {
                    const qv::sim::FaultChoice fault{kind, k};
                    const Outcome run = RunCommand(command, userDevice, &fault);
                    ++runs;
                    const std::string where = command.arguments +
                                              (userDevice ? " (audio)" : " (usb)") + ", " + kind +
                                              "@" + std::to_string(k) + ": ";
                    if (run.exitCode == 0) {
                        ++successes;
                        if (!run.done)
                            wrong.push_back(where + "false success, printed " + run.printed);
                    } else {
                        ++failures;
                        if (!causes.contains(run.failure))
                            wrong.push_back(where + "wrong cause " + run.failure);
                    }
                    if (kind == "timeout" && run.unanswered > 3)
                        wrong.push_back(where + std::to_string(run.unanswered) +
                                        " unanswered transfers");
                }
            }
        }
    }
    std::cout << "command sweep: runs " << runs << ", successes " << successes << ", failures "
              << failures << ", wrong " << wrong.size() << " (not swept: flip, flip-once)\n";
    for (std::size_t i = 0; i < std::min<std::size_t>(wrong.size(), 200); ++i)
        ADD_FAILURE() << wrong[i];
    // The table names every other kind --sim-fault knows.
    std::set<std::string> kinds = kNotSwept;
    for (const auto& [kind, causes] : kCauses) kinds.insert(kind);
    std::set<std::string> known;
    std::istringstream list(qv::sim::FaultKindList());
    for (std::string item; std::getline(list >> std::ws, item, ',');) known.insert(item);
    EXPECT_EQ(kinds, known);
}

// Every command of the tree under --dry-run: one that changes a device or a file shows its plan
// and ends "ok" with nothing on the wire (no trace at all) and no file written, the simulated
// flash, the log and the database included; any other is refused (exit 2) before it runs.
struct DryRunCase {
    std::string path;  // as typed, "reg write"
    std::vector<std::string> args;
    bool changes;
};

std::set<std::string> CommandPaths(const CLI::App& command, const std::string& path = "") {
    std::set<std::string> paths;
    for (const CLI::App* below : command.get_subcommands({})) {
        const std::string typed = path.empty() ? below->get_name() : path + " " + below->get_name();
        const auto deeper = CommandPaths(*below, typed);
        paths.insert(deeper.begin(), deeper.end());
        if (deeper.empty()) paths.insert(typed);
    }
    return paths;
}

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// qvusb ARGS in this process; what it printed.
std::string RunHere(std::vector<std::string> args, int& exitCode) {
    args.insert(args.begin(), "qvusb");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    CapturedOutput output;
    exitCode = RunCommandLine(static_cast<int>(argv.size()), argv.data());
    return output.Text();
}

std::string RunDry(const TempDir& dir, std::vector<std::string> args, int& exitCode) {
    args.insert(args.begin(), {"--sim", "--sim-flash", dir.Path("flash.img").string(), "--trace",
                               dir.Path("trace.log").string(), "--log",
                               dir.Path("audit.log").string(), "--db",
                               "sqlite:" + dir.Path("line.db").string(), "--json"});
    args.push_back("-n");  // a program option after the command
    return RunHere(args, exitCode);
}

TEST(CommandSweep, UnderDryRunWhatChangesSomethingIsPlannedAndSendsNothingAndTheRestIsRefused) {
    TempDir dir;
    const std::string image = DEMO_FIRMWARE;
    const std::string job = dir.Path("line.qvjob").string();
    int created = -1;
    RunHere({"job", "create", job, "--image", image}, created);
    ASSERT_EQ(created, 0);
    const auto jobBefore = Contents(job);
    const std::string out = dir.Path("out.bin").string();
    const DryRunCase cases[] = {
        {"list", {"list"}, false},
        {"raw", {"raw", "out", "43", "90", "0", "20", "A5"}, true},
        {"raw", {"raw", "in", "C3", "91", "0", "20", "1"}, true},
        {"reg read", {"reg", "read", "20"}, false},
        {"reg write", {"reg", "write", "20", "A5", "--bank", "0E"}, true},
        {"reg dump", {"reg", "dump"}, false},
        {"isp enter", {"isp", "enter"}, true},
        {"isp exit", {"isp", "exit"}, true},
        {"flash-id", {"flash-id"}, false},
        {"flash-status", {"flash-status"}, false},
        {"flash-status", {"flash-status", "--write", "00"}, true},
        {"flash", {"flash", image, "--range", "64:64"}, true},
        {"flash", {"flash", image, "--all"}, true},
        {"erase", {"erase", "--range", "0:4"}, true},
        {"blank", {"blank", image}, false},
        {"program", {"program", image}, true},
        {"verify", {"verify", image}, false},
        {"read-back", {"read-back", out}, true},
        {"station", {"station", image, "--units", "1"}, true},
        {"job create", {"job", "create", dir.Path("new.qvjob").string(), "--image", image}, true},
        {"slots learn", {"slots", "learn", job, "--count", "2"}, true},
        {"image info", {"image", "info", image}, false},
        {"image patch", {"image", "patch", image, out, "--vid", "1234"}, true},
        {"i2c read", {"i2c", "read", "20", "10"}, false},
        {"i2c write", {"i2c", "write", "20", "10", "AB"}, true},
        {"i2c cmd-write", {"i2c", "cmd-write", "20", "--cmd", "30", "--data", "56"}, true},
        {"i2c cmd-read", {"i2c", "cmd-read", "20", "--cmd", "30", "--count", "1"}, false},
        {"params read", {"params", "read"}, false},
        {"params write-options", {"params", "write-options", "5E", "BF", "5A", "01"}, true},
        {"params set-vid", {"params", "set-vid", "6b9a"}, true},
        {"params set-pid", {"params", "set-pid", "f82e"}, true},
        {"params set-string", {"params", "set-string", "3", "QV-1"}, true},
        {"status", {"status"}, false},
        {"hid", {"hid", "next"}, true},
        {"udev-rule", {"udev-rule"}, false},
        {"serials", {"serials"}, false},
        {"report", {"report"}, false},
        {"board", {"board", "QV0001"}, false},
        {"help", {"help"}, false},
    };
    std::set<std::string> covered;
    for (const DryRunCase& c : cases) {
        covered.insert(c.path);
        int exitCode = -1;
        const std::string printed = RunDry(dir, c.args, exitCode);
        const std::string result = printed.substr(printed.rfind("{\"event\":\"result\""));
        const std::string what = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_NE(result.find("\"dry_run\":true"), std::string::npos) << what << ": " << result;
        if (c.changes) {
            EXPECT_EQ(exitCode, 0) << what << ": " << result;
            EXPECT_NE(printed.find("{\"event\":\"plan\""), std::string::npos) << what;
        } else {
            EXPECT_EQ(exitCode, 2) << what;
            EXPECT_NE(result.find("--dry-run is for commands that change a device or a file"),
                      std::string::npos)
                << what << ": " << result;
        }
        for (const char* written :
             {"trace.log", "flash.img", "audit.log", "line.db", "out.bin", "new.qvjob"})
            EXPECT_FALSE(std::filesystem::exists(dir.Path(written))) << what << " wrote " << written;
        EXPECT_EQ(Contents(job), jobBefore) << what;
    }
    // The table holds every command there is.
    GlobalOptions options;
    CLI::App app;
    AddCommands(app, options);
    EXPECT_EQ(covered, CommandPaths(app));
}

}  // namespace
