// qvusb's flash commands as a production line runs them: what each refuses before anything is
// sent, what it reports when the chip does not do the work, and how it stops on a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "QvusbProcess.h"

namespace {

using Args = std::vector<std::string>;

// The traced transfers: every line but the audio driver's support question.
std::vector<std::string> Transfers(const std::vector<std::string>& trace) {
    std::vector<std::string> transfers;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(transfers),
                 [](const std::string& line) { return line.find(" PROBE ") == std::string::npos; });
    return transfers;
}

// Whether a flash instruction (the first data byte of a 0x80 request) was sent.
bool SentInstruction(const std::vector<std::string>& trace, const std::string& instruction) {
    return std::any_of(trace.begin(), trace.end(), [&](const std::string& line) {
        return line.find(" OUT 20 80 ") != std::string::npos &&
               line.substr(line.rfind(' ') + 1).rfind(instruction, 0) == 0;
    });
}

std::size_t LastLineWith(const std::vector<std::string>& trace, const std::string& fragment) {
    for (std::size_t i = trace.size(); i > 0; --i)
        if (trace[i - 1].find(fragment) != std::string::npos) return i;
    return 0;
}

class FlashCommandLineTest : public ::testing::Test {
protected:
    QvusbResult Run(Args args) {
        args.insert(args.begin(), {"--sim", "--trace", "trace.log"});
        return RunQvusb(args, folder.Path());
    }
    // The trace's transfer lines (its comment lines left out).
    std::vector<std::string> Trace() const {
        auto lines = folder.Lines("trace.log");
        std::erase_if(lines, [](const std::string& line) { return line.starts_with('#'); });
        return lines;
    }

    TestFolder folder;
};

TEST_F(FlashCommandLineTest, WhatTheArgumentsShowWrongIsRefusedBeforeAnyTransfer) {
    folder.Write("empty.bin", "");
    folder.Write("notes.txt", "12");
    folder.Write("big.bin", std::string(0xC0001, 'x'));
    folder.Write("huge.h00", std::string((16u << 20) + 1, ':'));
    std::filesystem::create_directory(folder / "folder.bin");
    std::filesystem::create_symlink("loop.bin", folder / "loop.bin");
    // Damaged records: a download cut short, an error page saved under the name, one digit
    // changed, an address record the loader would misplace, data after the end.
    std::ifstream demo(DEMO_FIRMWARE, std::ios::binary);
    const std::string records{std::istreambuf_iterator<char>(demo), {}};
    folder.Write("cut.h00", records.substr(0, 9734));
    folder.Write("page.h00", "<html><body>404 Not Found</body></html>\n");
    folder.Write("digit.h00", ":0100000041BF\n:00000001FF\n");
    folder.Write("segment.h00", ":020000021000EC\n:0100000041BE\n:00000001FF\n");
    folder.Write("after.h00", ":00000001FF\n:0100000041BE\n");
    ASSERT_EQ(mkfifo((folder / "pipe.bin").c_str(), 0600), 0);
    const std::string longName(300, 'n');
    struct Case {
        Args args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"verify", "empty.bin"}, 2, "empty.bin: is empty"},
        {{"flash", "cut.h00"}, 2, "cut.h00: line 129: not a record"},
        {{"flash", "page.h00"}, 2, "page.h00: line 1: not a record"},
        {{"program", "digit.h00"}, 2, "digit.h00: line 1: the record's checksum is wrong"},
        {{"verify", "segment.h00"}, 2, "line 1: record type 2 is not supported"},
        {{"image", "info", "after.h00"}, 2, "after.h00: line 2: data after the end record"},
        {{"blank", "folder.bin"}, 2, "folder.bin: is a folder, not a file"},
        {{"program", "missing.bin"}, 2, "missing.bin: no such file"},
        {{"flash", longName + ".bin"}, 2, "cannot be read (File name too long)"},
        {{"flash", "loop.bin"}, 2, "cannot be read (Too many levels of symbolic links)"},
        {{"verify", "big.bin"}, 2, "big.bin: 786433 bytes, larger than the 786432-byte image"},
        {{"flash", "huge.h00"}, 2, "huge.h00: 16777217 bytes, larger than the 786432-byte image"},
        {{"program", "notes.txt"}, 2, "the name asks for no loader"},
        {{"image", "info", "folder.bin"}, 2, "is a folder"},
        {{"read-back", "nowhere/out.bin"}, 2, "Cannot write nowhere/out.bin"},
        {{"read-back", "pipe.bin"}, 2, "pipe.bin: is a pipe that no program reads"},
        {{"flash", DEMO_FIRMWARE, "--range", "4194303:4"}, 2, "24-bit address space"},
        {{"flash", DEMO_FIRMWARE, "--range", "32:4"}, 2,
         "The image (8192 bytes) runs past the assigned range (4096 bytes)"},
        {{"erase", "--range", "0:0"}, 2, "--range 0:0 is empty"},
        {{"read-back", "out.bin", "--range", "0:0"}, 2, "--range 0:0 is empty"},
        {{"erase", "--range", "0:4194303"}, 2, "24-bit address space"},
        {{"flash", DEMO_FIRMWARE, "--all", "--range", "16380:8"}, 2, "24-bit address space"},
        {{"station", DEMO_FIRMWARE, "--range", "16380:8", "--units", "1"}, 2, "24-bit address"},
        {{"--sim-fault", "melt", "list"}, 2, "kinds: unplug, stall"},
        {{"verify", DEMO_FIRMWARE, "--read-block", "0"}, 2, "--read-block: Value 0 not in range"},
        {{"flash", DEMO_FIRMWARE, "--all", "--read-block", "128"}, 2, "--all excludes"},
        {{"flash", DEMO_FIRMWARE, "--rnage", "all"}, 2,
         "'--rnage' is not an option of 'flash'; did you mean '--range'?"},
        {{"flash", DEMO_FIRMWARE, "--sim-flsh=x.img"}, 2, "did you mean '--sim-flash'?"},
        {{"help", "reg", "reed"}, 2, "the commands are: read, write, dump; did you mean 'read'?"},
        {{"hid", "pley"}, 2, "the keys are: prev, vol-, play, vol+, next; did you mean 'play'?"},
        {{"i2c"}, 2, "'i2c' needs a command: read, write, cmd-write, cmd-read"},
    };
    // A dry run of a command that changes the flash or a file refuses alike.
    const std::set<std::string> planned = {"flash", "erase", "program", "read-back", "station"};
    for (const Case& c : cases) {
        for (const bool dry : {false, true}) {
            if (dry && !planned.contains(c.args[0])) continue;
            std::filesystem::remove(folder / "trace.log");
            Args args = c.args;
            if (dry) args.insert(args.begin(), "--dry-run");
            const QvusbResult result = Run(args);
            std::string what = dry ? "--dry-run " : "";
            for (const std::string& arg : c.args) what += arg + " ";
            EXPECT_EQ(result.exitCode, c.exitCode) << what;
            EXPECT_NE(result.err.find(c.message), std::string::npos) << what << ": " << result.err;
            EXPECT_TRUE(Transfers(Trace()).empty()) << what;
        }
    }
}

// The flash addresses the instruction `instruction` (20: sector erase, 02: page program) was
// sent for, in the order sent.
std::vector<std::uint32_t> InstructionAddresses(const std::vector<std::string>& trace,
                                                const std::string& instruction) {
    std::vector<std::uint32_t> addresses;
    for (const std::string& line : trace) {
        const std::string data = line.substr(line.rfind(' ') + 1);
        if (line.find(" OUT 20 80 ") != std::string::npos && data.rfind(instruction, 0) == 0)
            addresses.push_back(static_cast<std::uint32_t>(std::stoul(data.substr(2, 6), nullptr, 16)));
    }
    return addresses;
}

// A dry run's plan is what the run then does: the file as the result describes it, the
// sectors erased and the pages programmed as the wire shows them; the dry run itself sends
// nothing and leaves the simulated flash's file unwritten.
TEST_F(FlashCommandLineTest, ADryRunPlansWhatTheRunThenDoesOnTheWire) {
    const Args flash{"--json", "--sim-flash", "flash.img", "flash", DEMO_FIRMWARE, "--range", "64:64"};
    Args dry = flash;
    dry.insert(dry.begin(), "-n");
    const QvusbResult planned = Run(dry);
    ASSERT_EQ(planned.exitCode, 0) << planned.err;
    EXPECT_TRUE(Trace().empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "flash.img"));
    std::map<std::string, nlohmann::json> plan;
    std::istringstream lines(planned.out);
    for (std::string line; std::getline(lines, line);) {
        const auto object = nlohmann::json::parse(line);
        if (object["event"] == "plan") plan[object["action"]] = object;
        if (object["event"] == "result") {
            EXPECT_EQ(object["dry_run"], true);
        }
    }
    const QvusbResult run = Run(flash);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto result = nlohmann::json::parse(run.out.substr(run.out.rfind("{\"event\":\"result\"")));
    for (const char* field : {"file", "length", "checksum", "sha256"})
        EXPECT_EQ(plan["load"][field], result[field]) << field;
    const auto spanOf = [](const std::vector<std::uint32_t>& addresses, std::uint32_t unit) {
        char text[2][16];
        std::snprintf(text[0], sizeof text[0], "0x%06X", addresses.front());
        std::snprintf(text[1], sizeof text[1], "0x%06X", addresses.back() + unit);
        return std::pair<std::string, std::string>(text[0], text[1]);
    };
    const auto trace = Trace();
    const auto erased = spanOf(InstructionAddresses(trace, "20"), 0x1000);
    const auto programmed = spanOf(InstructionAddresses(trace, "02"), 0x100);
    EXPECT_EQ(plan["erase"]["start"], erased.first);
    EXPECT_EQ(plan["erase"]["end"], erased.second);
    EXPECT_EQ(plan["program"]["start"], programmed.first);
    EXPECT_EQ(plan["program"]["end"], programmed.second);

    // With --changed-only one compare takes the place of the four walks.
    dry.push_back("--changed-only");
    const QvusbResult changed = Run(dry);
    ASSERT_EQ(changed.exitCode, 0) << changed.err;
    for (const char* walk : {"erase", "blank_check", "program", "verify"})
        EXPECT_EQ(changed.out.find("\"action\":\"" + std::string(walk) + "\""), std::string::npos)
            << walk;
}

// Only the identification tells these apart from a good range; nothing is erased or written,
// and ISP mode is still left.
TEST_F(FlashCommandLineTest, ARangeBeyondTheIdentifiedFlashFailsWithoutEraseOrProgram) {
    const Args cases[] = {{"flash", DEMO_FIRMWARE, "--range", "2048:8"},
                          {"flash", DEMO_FIRMWARE, "--range", "1020:8"},
                          {"erase", "--range", "1024:4"},
                          {"blank", DEMO_FIRMWARE, "--range", "1020:8"}};
    for (const Args& args : cases) {
        const QvusbResult result = Run(args);
        EXPECT_EQ(result.exitCode, 1) << args[2];
        EXPECT_NE(result.err.find("Range beyond the flash (1024 KB)"), std::string::npos)
            << result.err;
        const auto trace = Trace();
        EXPECT_FALSE(SentInstruction(trace, "20") || SentInstruction(trace, "C7") ||
                     SentInstruction(trace, "02"));
        EXPECT_GT(LastLineWith(trace, " 85 2D7C 3E92 "), 0u) << args[2];
    }
}

// The simulated flash kept in a file shows what the runs left in the chip: the image on an
// erased flash after the sequence, and nothing changed by a refused program.
TEST_F(FlashCommandLineTest, ProgramFailsOnADirtyOrProtectedFlashInsteadOfReportingSuccess) {
    folder.Write("other.bin", std::string(300, '\x5A'));
    QvusbResult dirty = Run({"program", "other.bin"});  // the demo firmware is in the flash
    EXPECT_EQ(dirty.exitCode, 1);
    EXPECT_NE(dirty.err.find("Verifying Fail at 0x"), std::string::npos) << dirty.err;

    std::string image(5000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 256);
    folder.Write("image.bin", image);
    ASSERT_EQ(Run({"--sim-flash", "flash.img", "flash", "image.bin"}).exitCode, 0);
    std::string flash = folder.Read("flash.img");
    ASSERT_EQ(flash.size(), 1u << 20);
    EXPECT_EQ(flash.substr(0, image.size()), image);
    EXPECT_EQ(flash.find_first_not_of('\xFF', image.size()), std::string::npos);
    EXPECT_EQ(folder.Read("flash.img.status"), "FC\n");  // protected, and kept so

    const QvusbResult protectedFlash = Run({"--sim-flash", "flash.img", "program", "other.bin"});
    EXPECT_EQ(protectedFlash.exitCode, 1);
    EXPECT_NE(protectedFlash.err.find("Flash is write-protected (status 0xFC)"), std::string::npos)
        << protectedFlash.err;
    EXPECT_FALSE(SentInstruction(Trace(), "02"));
    EXPECT_EQ(folder.Read("flash.img"), flash);

    // One block-protect bit protects the flash; the status register's lock bit alone does not,
    // though with the write-protect pin low it keeps the register from being written.
    folder.Write("flash.img.status", "10\n");
    const QvusbResult oneBit = Run({"--sim-flash", "flash.img", "program", "other.bin"});
    EXPECT_NE(oneBit.err.find("Flash is write-protected (status 0x10)"), std::string::npos)
        << oneBit.err;
    folder.Write("flash.img.status", "80\n");
    const QvusbResult lockOnly =
        Run({"--sim-fault", "wp-locked", "--sim-flash", "flash.img", "erase"});
    EXPECT_EQ(lockOnly.exitCode, 0) << lockOnly.err;
    EXPECT_EQ(folder.Read("flash.img").find_first_not_of('\xFF'), std::string::npos);
}

// Each step switch of the sequence leaves out its own step and nothing else, read from the
// trace: the chip erase, reads before the first page (the blank check) and after the last
// (the verify), and the protection write.
TEST_F(FlashCommandLineTest, EachStepSwitchLeavesOutItsOwnStepAlone) {
    struct Case {
        const char* option;
        bool erase, blank, verify, protect;
    };
    const Case cases[] = {
        {"--range=all", true, true, true, true},   {"--no-erase", false, true, true, true},
        {"--no-blank", true, false, true, true},   {"--no-verify", true, true, false, true},
        {"--no-protect", true, true, true, false},
    };
    for (const Case& c : cases) {
        folder.Write("erased.img", std::string(1u << 20, '\xFF'));
        folder.Write("erased.img.status", "00\n");  // unprotected, as the erase would leave it
        const QvusbResult result =
            Run({"--sim-flash", "erased.img", "flash", DEMO_FIRMWARE, c.option});
        EXPECT_EQ(result.exitCode, 0) << c.option << ": " << result.err;
        const auto trace = Trace();
        const std::size_t firstPage = std::distance(
            trace.begin(), std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
                return line.find(" OUT 20 80 0000 0000 4 OK 02") != std::string::npos;
            }));
        const std::size_t lastPage = LastLineWith(trace, " OUT 20 80 0000 0000 4 OK 02");
        const std::size_t firstRead = std::distance(
            trace.begin(), std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
                return line.find(" 81 0040 0001 4 OK 03") != std::string::npos;
            }));
        EXPECT_EQ(SentInstruction(trace, "C7"), c.erase) << c.option;
        EXPECT_EQ(firstRead < firstPage, c.blank) << c.option;
        EXPECT_EQ(LastLineWith(trace, " 81 0040 0001 4 OK 03") > lastPage, c.verify) << c.option;
        EXPECT_EQ(LastLineWith(trace, " OK 01FF") > 0, c.protect) << c.option;
    }
}

// A fault armed at the protection step or at the ISP exit of an otherwise good run. The single
// flash commands hold ISP mode around their work: a refused exit fails them too.
TEST_F(FlashCommandLineTest, AFailedProtectionOrIspExitFailsTheRun) {
    folder.Write("image.bin", std::string(700, '\x3C'));
    struct Case {
        Args command;
        std::string fault;  // KIND: armed at the exit; KIND+K: K after it; KIND@N: transfer N
        std::string workDone;
        std::string message;
    };
    ASSERT_EQ(Run({"flash", DEMO_FIRMWARE}).exitCode, 0);
    const std::size_t protect = LastLineWith(Trace(), " OK 01FF");
    ASSERT_GT(protect, 0u);
    const Case cases[] = {
        {{"flash", DEMO_FIRMWARE},
         "wel-ignored@" + std::to_string(protect - 1),
         "Verifying Success",
         "Protect Flash Fail"},
        {{"flash", DEMO_FIRMWARE}, "stall", "Verifying Success", "Exit ISP Fail"},
        {{"flash", DEMO_FIRMWARE}, "unplug", "Verifying Success", "The board is gone"},
        {{"blank", "image.bin", "--range", "64:4"}, "stall", "Blanking Success", "Exit ISP Fail"},
        {{"read-back", "flash.bin"}, "unplug", "Read Flash content Success", "The board is gone"},
        {{"flash-id"}, "stall", "EF 40 14", "Exit ISP Fail"},
        // The exit's register write (bank select, then register 7): its request failed.
        {{"flash", DEMO_FIRMWARE}, "stall+2", "Verifying Success", "Exit ISP Fail"},
    };
    for (const Case& c : cases) {
        std::string fault = c.fault;
        if (fault.find('@') == std::string::npos) {
            ASSERT_EQ(Run(c.command).exitCode, 0) << c.command[0];
            // KIND+K: K transfers after the exit request.
            const auto plus = fault.find('+');
            const std::size_t after = plus == std::string::npos ? 0 : std::stoul(fault.substr(plus + 1));
            fault = fault.substr(0, plus) + "@" +
                    std::to_string(LastLineWith(Trace(), " 85 2D7C 3E92 ") + after);
        }
        Args faulty = {"--sim-fault", fault};
        faulty.insert(faulty.end(), c.command.begin(), c.command.end());
        const QvusbResult result = Run(faulty);
        EXPECT_EQ(result.exitCode, 1) << c.command[0] << " " << fault;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << fault << ": " << result.err;
        EXPECT_NE(result.out.find(c.workDone), std::string::npos) << fault << ": " << result.out;
    }
}

// The file-size limit makes the write fail half way, as a full disk does.
TEST_F(FlashCommandLineTest, AReadBackThatCannotBeWrittenWholeLeavesTheOldFile) {
    const std::string old(0x100, 'o');
    folder.Write("flash.bin", old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 0x8000;
    setrlimit(RLIMIT_FSIZE, &small);
    QvusbProcess process({"--sim", "read-back", "flash.bin"}, folder.Path());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    const QvusbResult result = process.Wait();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Cannot write flash.bin"), std::string::npos) << result.err;
    EXPECT_EQ(folder.Read("flash.bin"), old);
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
}

// Where the outputs go: a regular file is replaced whole and keeps its mode, a link is followed
// (the link stays, its target is replaced), a device node is written in place, a read-only
// file is refused before anything is sent, a full device fails the run; read-back and image
// patch alike. A read-back that did not finish leaves the old file as it was.
TEST_F(FlashCommandLineTest, OutputsAreReplacedWholeFollowedOrWrittenInPlace) {
    const std::string old(1000, 'o');
    const Args commands[] = {{"read-back", "out"}, {"image", "patch", DEMO_FIRMWARE, "out"}};
    for (const Args& command : commands) {
        const auto run = [&](const std::string& out, Args before = {}) {
            Args args = command;
            args.back() = out;
            before.insert(before.end(), args.begin(), args.end());
            return Run(before);
        };
        const std::string what = command[0];
        folder.Write("kept.bin", old);
        std::filesystem::permissions(folder / "kept.bin", std::filesystem::perms(0640));
        EXPECT_EQ(run("kept.bin").exitCode, 0) << what;
        EXPECT_NE(folder.Read("kept.bin"), old) << what;
        EXPECT_EQ(std::filesystem::status(folder / "kept.bin").permissions(),
                  std::filesystem::perms(0640)) << what;

        folder.Write("target.bin", old);
        std::filesystem::remove(folder / "link.bin");
        std::filesystem::create_symlink("target.bin", folder / "link.bin");
        EXPECT_EQ(run("link.bin").exitCode, 0) << what;
        EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.bin")) << what;
        EXPECT_NE(folder.Read("target.bin"), old) << what;

        folder.Write("readonly.bin", old);
        std::filesystem::permissions(folder / "readonly.bin", std::filesystem::perms(0444));
        const QvusbResult readOnly = run("readonly.bin");
        EXPECT_EQ(readOnly.exitCode, 2) << what;
        EXPECT_NE(readOnly.err.find("is read-only"), std::string::npos) << readOnly.err;
        EXPECT_EQ(folder.Read("readonly.bin"), old) << what;

        const QvusbResult full = run("/dev/full");
        EXPECT_EQ(full.exitCode, 1) << what;
        EXPECT_NE(full.err.find("Cannot write /dev/full"), std::string::npos) << full.err;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

        if (::geteuid() == 0) {  // a device node of the test's own, as root may make one
            std::filesystem::remove(folder / "null");
            ASSERT_EQ(::mknod((folder / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
            EXPECT_EQ(run("null").exitCode, 0) << what;
            EXPECT_TRUE(std::filesystem::is_character_file(folder / "null")) << what;
        }
    }
    // "-" is standard output: the dump alone goes there, the verdict to standard error.
    const QvusbResult piped = Run({"read-back", "-"});
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.out.size(), 0x20000u);
    EXPECT_NE(piped.err.find("PASS 1-1 - "), std::string::npos) << piped.err;

    folder.Write("good.bin", old);
    const QvusbResult unplugged = Run({"--sim-fault", "unplug@300", "read-back", "good.bin"});
    EXPECT_EQ(unplugged.exitCode, 1);
    EXPECT_EQ(folder.Read("good.bin"), old);

    // A record of the run that cannot be written fails it: no PASS for it, the verdict says
    // what happened to the board and what was not written.
    for (const char* record : {"--log", "--trace"}) {
        const QvusbResult lost =
            RunQvusb({"--sim", record, "/dev/full", "flash", DEMO_FIRMWARE}, folder.Path());
        EXPECT_EQ(lost.exitCode, 1) << record;
        EXPECT_EQ(lost.out.find("PASS"), std::string::npos) << lost.out;
        EXPECT_NE(lost.out.find("Verifying Success; the "), std::string::npos) << lost.out;
    }
}

// An output that is the same file as an input or another output, however it is spelled, is
// refused before anything is opened or sent.
TEST_F(FlashCommandLineTest, TheSameFileNamedTwiceIsRefusedBeforeAnythingIsSent) {
    folder.Write("fw.bin", std::string(300, '\x11'));
    std::filesystem::create_hard_link(folder / "fw.bin", folder / "hard.bin");
    std::filesystem::create_symlink("fw.bin", folder / "soft.bin");
    const std::string before = folder.Read("fw.bin");
    const Args cases[] = {
        {"--trace", "fw.bin", "flash", "fw.bin"},
        {"--log", "soft.bin", "flash", "fw.bin"},
        {"--trace", "./hard.bin", "verify", "fw.bin"},
        {"--sim-flash", "fw.bin", "program", "hard.bin"},
        {"--trace", "t.log", "--log", "t.log", "erase"},
        {"--trace", "fw.bin", "read-back", "soft.bin"},
        {"image", "patch", "fw.bin", "hard.bin"},
    };
    for (const Args& args : cases) {
        std::filesystem::remove(folder / "trace.log");
        Args all = {"--sim"};
        all.insert(all.end(), args.begin(), args.end());
        const QvusbResult result = RunQvusb(all, folder.Path());
        EXPECT_EQ(result.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_NE(result.err.find("name the same file"), std::string::npos) << result.err;
        EXPECT_TRUE(folder.Read("fw.bin") == before) << args[0] << " " << args[1];
    }
}

// A range's read-back holds the flash from the range's start, and a read-only output is refused
// before anything is read.
TEST_F(FlashCommandLineTest, ReadBackOfARangeHoldsThatRangeOfTheFlash) {
    std::string flash(1 << 20, '\0');
    for (std::size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<char>(i * 7 + i / 4096);
    folder.Write("flash.img", flash);
    const QvusbResult read =
        Run({"--sim-flash", "flash.img", "read-back", "range.bin", "--range", "64:4"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(folder.Read("range.bin"), flash.substr(64 * 1024, 4096));
    folder.Write("locked.bin", "old");
    std::filesystem::permissions(folder / "locked.bin", std::filesystem::perms(0444));
    std::filesystem::remove(folder / "trace.log");
    const QvusbResult locked = Run({"read-back", "locked.bin", "--range", "64:4"});
    EXPECT_EQ(locked.exitCode, 2);
    EXPECT_NE(locked.err.find("is read-only"), std::string::npos) << locked.err;
    EXPECT_TRUE(Transfers(Trace()).empty());
}

// What real parts do that a kind simulator would not, each by its --sim-fault kind. A part that
// answers at most 64 bytes per read serves the default reads, and fails larger ones where they
// begin.
TEST_F(FlashCommandLineTest, RealPartFaultsEndInTheirOwnFailureOrAreWaitedFor) {
    folder.Write("erased.img", std::string(1 << 20, '\xFF'));
    folder.Write("ff.bin", std::string(5000, '\xFF'));
    struct Case {
        Args args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"--sim-fault", "slow", "flash", DEMO_FIRMWARE}, 0, ""},
        {{"--sim-fault", "timeout@300", "flash", DEMO_FIRMWARE}, 1, "The chip does not answer"},
        // A short answer is a failed read on the audio carrier too, with its own cause.
        {{"--sim-fault", "short@300", "flash", DEMO_FIRMWARE}, 1, "Read Flash Status Fail"},
        {{"--sim-fault", "short@400", "verify", DEMO_FIRMWARE}, 1, "Verifying Fail at 0x000000"},
        {{"--sim-fault", "wp-locked", "--sim-flash", "f.img", "flash", DEMO_FIRMWARE}, 0, ""},
        {{"--sim-fault", "wp-locked", "--sim-flash", "f.img", "flash", DEMO_FIRMWARE}, 1,
         "Flash is write-protected (status 0xFC)"},
        {{"--sim-fault", "wp-locked", "--sim-flash", "f.img", "erase"}, 1,
         "Flash is write-protected (status 0xFC)"},
        {{"--sim-fault", "short-read", "--sim-flash", "erased.img", "verify", "ff.bin"}, 0, ""},
        {{"--sim-fault", "short-read", "--sim-flash", "erased.img", "verify", "ff.bin",
          "--read-block", "255"},
         1, "Verifying Fail at 0x000000"},
        {{"--sim-fault", "short-read", "read-back", "out.bin", "--read-block", "255"}, 1,
         "Verifying Fail at 0x000000"},
        {{"--sim-fault", "short-read", "--sim-flash", "erased.img", "blank", DEMO_FIRMWARE,
          "--range", "64:8", "--read-block", "255"},
         1, "Blanking Fail at 0x010000"},
        // A status that was not read is no status (transfer 6 is its collect request).
        {{"--sim-fault", "stall@6", "flash-status"}, 1, "Read Flash Status Fail"},
        {{"--sim-fault", "unplug@2", "flash", DEMO_FIRMWARE}, 1, "The board is gone"},
        {{"--sim-fault", "stall@2", "flash", DEMO_FIRMWARE}, 1, "Enter ISP Fail"},
        {{"--sim-fault", "stall@9", "flash", DEMO_FIRMWARE}, 1, "Read Flash ID Fail"},
        // A refused page's open instruction is ended, the protection still tried; one that
        // did not take is said beside the page's failure.
        {{"--sim-fault", "stall@1041", "flash", DEMO_FIRMWARE, "--no-verify"}, 1,
         "qvusb: Programming Fail at 0x000600\n"},
        {{"--sim-fault", "stall@1041", "--sim-fault", "protect-lost", "flash", DEMO_FIRMWARE,
          "--no-verify"},
         1, "Programming Fail at 0x000600; the flash was left unprotected"},
    };
    for (const Case& c : cases) {
        const QvusbResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[1] << " " << c.args.back();
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    // The status after a write, once the write is over: not the busy status it passes through.
    EXPECT_EQ(Run({"flash-status", "--write", "00"}).out, "0x00\n");
}

// --changed-only on a flash file that holds the image but for one byte in each of two of its
// five sectors: a second run finds nothing to do, and a fault anywhere in the first leaves every
// sector either old or new, but for the one it was rewriting when it failed.
TEST_F(FlashCommandLineTest, ChangedOnlyLeavesEverySectorOldOrNewWhateverBreaks) {
    constexpr std::size_t kSector = 0x1000;
    std::string image(5 * kSector, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 5);
    std::string old(1 << 20, '\xFF');
    old.replace(0, image.size(), image);
    old[0x1100] ^= 0x40;
    old[0x3FFF] ^= 0x01;
    folder.Write("fw.bin", image);
    const Args args{"--sim-flash", "f.img", "flash", "fw.bin", "--changed-only"};
    folder.Write("f.img", old);
    const QvusbResult first = Run(args);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("2 of 5 sectors changed"), std::string::npos) << first.out;
    const std::size_t length = Transfers(Trace()).size();
    const QvusbResult second = Run(args);
    EXPECT_NE(second.out.find("0 of 5 sectors changed"), std::string::npos) << second.out;
    EXPECT_FALSE(SentInstruction(Trace(), "20") || SentInstruction(Trace(), "02"));

    int failedWhileRewriting = 0;
    for (const std::string kind : {"stall", "wel-ignored", "unplug"}) {
        for (std::size_t k = 5; k < length; k += length / 9) {
            folder.Write("f.img", old);
            std::filesystem::remove(folder / "f.img.status");
            Args faulty{"--sim-fault", kind + "@" + std::to_string(k)};
            faulty.insert(faulty.end(), args.begin(), args.end());
            const QvusbResult result = Run(faulty);
            const std::string what = kind + "@" + std::to_string(k) + ": " + result.err;
            const auto rewriting = result.out.rfind("Rewriting sector 0x");
            const std::size_t failedSector =
                result.exitCode == 0 || rewriting == std::string::npos
                    ? SIZE_MAX
                    : std::stoul(result.out.substr(rewriting + 19, 6), nullptr, 16) / kSector;
            failedWhileRewriting += failedSector != SIZE_MAX;
            const std::string flash = folder.Read("f.img");
            for (std::size_t sector = 0; sector < 5; ++sector) {
                const auto part = [&](const std::string& bytes) {
                    return bytes.substr(sector * kSector, kSector);
                };
                const bool newOrOld = part(flash) == part(image) ||
                                      (result.exitCode != 0 && part(flash) == part(old));
                EXPECT_TRUE(newOrOld || sector == failedSector) << what << " sector " << sector;
            }
        }
    }
    EXPECT_GT(failedWhileRewriting, 0);
}

TEST_F(FlashCommandLineTest, ParameterWritesFailWhenTheFirmwareNeverCompletes) {
    const QvusbResult result = Run({"--sim-fault", "mailbox-silent", "params", "set-vid", "1234"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("The chip did not complete the EEPROM write"), std::string::npos);
}

// On real time, as an operator presses Ctrl-C in the middle of the walks: of one device, and
// of every device of a gang, each of which gets its verdict; and as timeout(1) stops a run, with
// two signals close together during the erase (whose end the protection waits for), which
// still ends in a verdict and a log line.
TEST_F(FlashCommandLineTest, InterruptStopsTheWalkThenProtectsAndLeavesIspMode) {
    const std::tuple<Args, std::size_t, std::vector<int>, const char*> cases[] = {
        {{"flash", DEMO_FIRMWARE}, 1, {SIGINT}, nullptr},
        {{"--sim-devices", "2", "flash", DEMO_FIRMWARE, "--all"}, 2, {SIGINT}, nullptr},
        {{"flash", DEMO_FIRMWARE}, 1, {SIGTERM, SIGTERM}, " OK C7"},
    };
    for (const auto& [command, devices, signals, startedErasing] : cases) {
        for (const char* left : {"log.jsonl", "trace.log"}) std::filesystem::remove(folder / left);
        Args args = {"--sim", "--sim-speed", "real", "--trace", "trace.log", "--log", "log.jsonl"};
        args.insert(args.end(), command.begin(), command.end());
        QvusbProcess process(args, folder.Path());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const auto due = [&] {
            const auto trace = Trace();
            return startedErasing ? LastLineWith(trace, startedErasing) > 0
                                  : trace.size() >= 800 * devices;
        };
        while (!due() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (const int signal : signals) {
            process.Signal(signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // two signals, not one
        }
        const QvusbResult result = process.Wait();
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(folder.Lines("log.jsonl").size(), devices);
        std::size_t stopped = 0;
        for (std::size_t at = 0; (at = result.out.find("FAIL ", at)) != std::string::npos; ++at)
            stopped += result.out.find(startedErasing ? "Stopped during the erase" : "Stopped at 0x",
                                       at) != std::string::npos;
        EXPECT_EQ(stopped, devices) << result.out;
        const auto trace = Trace();
        std::size_t protections = 0, exits = 0;
        for (const std::string& line : trace) {
            protections += line.ends_with(" OK 01FF");
            exits += line.find(" 85 2D7C 3E92 ") != std::string::npos;
        }
        EXPECT_EQ(protections, devices);
        EXPECT_EQ(exits, devices);
        const std::size_t lastRead = LastLineWith(trace, " OUT 20 81 0040 ");
        EXPECT_GT(LastLineWith(trace, " OK 01FF"), lastRead);
        EXPECT_GE(LastLineWith(trace, " 85 2D7C 3E92 ") + 3 * devices, trace.size());
    }
}

}  // namespace
