// What a production script reads from qvusb: which device it used, the verdict, the JSON Lines
// of --json and the audit log of --log, all parsed as a script would parse them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "QvusbProcess.h"

namespace {

using Args = std::vector<std::string>;
using nlohmann::json;

std::vector<json> JsonLines(const std::string& text) {
    std::vector<json> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) objects.push_back(json::parse(line));
    return objects;
}

class ProductionOutputTest : public ::testing::Test {
protected:
    QvusbResult Run(Args args) { return RunQvusb(args, folder.Path()); }
    TestFolder folder;
};

TEST_F(ProductionOutputTest, ASingleDeviceCommandUsesOneDeviceOrRefusesToGuess) {
    struct Case {
        std::string devices;
        Args choice;
        int exitCode;
        std::string verdict;  // the one verdict line's start; empty: none (--all found none)
        Args command{"flash", DEMO_FIRMWARE};
    };
    const Case cases[] = {
        {"1", {}, 0, "PASS 1-1 " DEMO_FIRMWARE " 0xC59B "},
        {"3", {}, 2, "FAIL - " DEMO_FIRMWARE " 0xC59B "},
        {"3", {"--device", "1-2"}, 0, "PASS 1-2 " DEMO_FIRMWARE " 0xC59B "},
        {"3", {"--device", "1-9"}, 3, "FAIL - " DEMO_FIRMWARE " 0xC59B "},
        {"3", {"--device", "serial:QV000003"}, 0, "PASS 1-3 "},
        {"3", {"--device", "serial:QV00000"}, 3, "FAIL - "},
        {"1", {"--device", "1-2", "--wait", "5"}, 3, "FAIL - "},
        {"11", {"--device", "1-1"}, 0, "PASS 1-1 ", {"flash", DEMO_FIRMWARE, "--all"}},
        {"3", {"--device", "1-9"}, 3, "", {"flash", DEMO_FIRMWARE, "--all"}},
        {"11", {"--device", "serial:QV000001"}, 0, "PASS 1-1 ",
         {"station", DEMO_FIRMWARE, "--units", "1"}},
    };
    for (const Case& c : cases) {
        Args args{"--sim", "--sim-devices", c.devices};
        args.insert(args.end(), c.choice.begin(), c.choice.end());
        args.insert(args.end(), c.command.begin(), c.command.end());
        const QvusbResult result = Run(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.devices << " " << result.err;
        std::vector<std::string> verdicts;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with("PASS ") || line.starts_with("FAIL ")) verdicts.push_back(line);
        ASSERT_EQ(verdicts.size(), c.verdict.empty() ? 0u : 1u) << args[3] << result.out;
        if (!c.verdict.empty()) {
            EXPECT_EQ(verdicts[0].rfind(c.verdict, 0), 0u) << verdicts[0];
        }
    }
    // --wait says once what it waits for.
    const std::string waited = Run({"--sim", "--device", "1-2", "--wait", "5", "erase"}).err;
    const std::string told = "qvusb: waiting for 1-2 (at most 5 s); Ctrl-C ends\n";
    EXPECT_EQ(waited.find(told), waited.rfind(told)) << waited;
    EXPECT_NE(waited.find(told), std::string::npos) << waited;
    const QvusbResult several = Run({"--sim", "--sim-devices", "2", "erase"});
    EXPECT_NE(several.err.find("1-1 (user device), 1-2 (user device); choose one with --device"),
              std::string::npos)
        << several.err;
}

// A good run and a failing one, as JSON Lines and in the log, parsed by a real JSON parser.
// Standard output that cannot be written leaves no success behind; a failure keeps its own code.
TEST_F(ProductionOutputTest, AnUnwritableStandardOutputFailsOnlyASuccess) {
    const auto toFull = [&](const std::string& arguments) {
        const std::string line = std::string(QVUSB_PATH) + " --sim " + arguments + " >/dev/full";
        return RunCommand({"sh", "-c", line}, folder.Path());
    };
    const QvusbResult read = toFull("reg read 20");
    EXPECT_EQ(read.exitCode, 1);
    EXPECT_NE(read.err.find("standard output could not be written"), std::string::npos);
    EXPECT_EQ(toFull("reg read 2000").exitCode, 2);
}

TEST_F(ProductionOutputTest, JsonLinesAndTheLogTellWhatHappenedToWhichBoard) {
    const Args good{"--sim", "--json", "--log", "station.log", "flash", DEMO_FIRMWARE};
    const Args bad{"--sim", "--json", "--log", "station.log", "--sim-fault", "stays-busy@400",
                   "flash", DEMO_FIRMWARE};
    const QvusbResult passed = Run(good);
    const QvusbResult failed = Run(bad);
    const std::string sha256 =
        RunCommand({"sha256sum", DEMO_FIRMWARE}, folder.Path()).out.substr(0, 64);
    EXPECT_EQ(passed.exitCode, 0);
    EXPECT_EQ(failed.exitCode, 1);
    for (const QvusbResult* result : {&passed, &failed}) {
        const auto lines = JsonLines(result->out);
        ASSERT_FALSE(lines.empty());
        for (const json& line : lines) EXPECT_TRUE(line.contains("event")) << line;
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const json& l) { return l["event"] == "result"; }),
                  1);
        // Progress in bytes of the image, or for an erase in percent of its usual time; one
        // step event per step.
        EXPECT_EQ(result == &passed, std::any_of(lines.begin(), lines.end(), [](const json& l) {
            return l["event"] == "progress" && l["total"] == 8192 && l["unit"] == "bytes";
        }));
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const json& l) {
            return l["event"] == "progress" && l["total"] == 100 && l["unit"] == "percent";
        }));
        std::set<std::string> steps;
        for (const json& line : lines) {
            if (line["event"] == "step") {
                EXPECT_TRUE(steps.insert(line["text"]).second) << line;
            }
        }
        const json& end = lines.back();
        EXPECT_EQ(end["event"], "result");
        EXPECT_EQ(end["ok"], result == &passed);
        EXPECT_EQ(end["exit_code"], result->exitCode);
        EXPECT_EQ(end["device"], "1-1");
        EXPECT_EQ(end["file"], DEMO_FIRMWARE);
        EXPECT_EQ(end["length"], 8192);
        EXPECT_EQ(end["checksum"], "0xC59B");
        EXPECT_EQ(end["sha256"], sha256);
        EXPECT_TRUE(end["seconds"].is_number());
    }
    // The flash that stays busy takes no protection either.
    const std::string unprotected =
        "Erase Flash Fail; the flash was left unprotected (Protect Flash Fail)";
    EXPECT_EQ(JsonLines(failed.out).back()["message"], unprotected);
    // -q leaves only the result.
    const auto quiet = JsonLines(Run({"--sim", "--json", "-q", "flash", DEMO_FIRMWARE}).out);
    ASSERT_EQ(quiet.size(), 1u);
    EXPECT_EQ(quiet[0]["event"], "result");

    const auto log = JsonLines(folder.Read("station.log"));
    ASSERT_EQ(log.size(), 2u);
    for (const char* field : {"time", "host", "command_line", "device", "device_path", "file",
                              "length", "checksum", "sha256", "range", "chip_id", "flash_uid", "ok",
                              "failing_step", "seconds"})
        EXPECT_TRUE(log[0].contains(field) && log[1].contains(field)) << field;
    EXPECT_EQ(log[0]["ok"], true);
    EXPECT_EQ(log[0]["chip_id"], "EF 40 14");
    EXPECT_EQ(log[0]["flash_uid"], JsonLines(passed.out).back()["flash_uid"]);
    EXPECT_EQ(log[0]["flash_uid"], "5156000100000001");  // the board on port 1-1
    EXPECT_EQ(log[1]["failing_step"], unprotected);
    EXPECT_NE(log[1]["command_line"].get<std::string>().find("stays-busy@400"), std::string::npos);
    // The host is the system's name; the command line reads back as the arguments given.
    const std::string hostName = RunCommand({"hostname"}, folder.Path()).out;
    EXPECT_EQ(log[0]["host"], hostName.substr(0, hostName.find('\n')));
    const QvusbResult quoted =
        Run({"--sim", "--log", "quoted.log", "--device", "it's 1", "flash", DEMO_FIRMWARE});
    EXPECT_EQ(quoted.exitCode, 3);
    EXPECT_TRUE(JsonLines(folder.Read("quoted.log"))
                    .back()["command_line"]
                    .get<std::string>()
                    .ends_with(" --sim --log quoted.log --device 'it'\\''s 1' flash " DEMO_FIRMWARE));
    EXPECT_EQ(JsonLines(folder.Read("quoted.log")).back()["failure"], "no_device");

    // Every command that reaches for a board leaves its line, with its outcome and kind.
    struct Case {
        Args args;
        std::string command;
        std::string failure;  // empty: it passed
    };
    const Case commands[] = {
        {{"reg", "write", "10", "5"}, "reg write", ""},
        {{"--sim-fault", "stall@3", "hid", "next"}, "hid", "request_failed"},
        {{"--sim-fault", "timeout@2", "params", "set-vid", "6b9a"}, "params set-vid",
         "not_answering"},
        {{"i2c", "write", "42", "10", "AB"}, "i2c write", "not_acknowledged"},  // no such slave
        {{"--device", "9-9", "flash-status", "--write", "00"}, "flash-status", "no_device"},
    };
    for (const Case& c : commands) {
        Args args{"--sim", "--json", "--log", "device.log"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const QvusbResult result = Run(args);
        const json logged = JsonLines(folder.Read("device.log")).back();
        EXPECT_EQ(logged["command"], c.command);
        EXPECT_EQ(logged["ok"], c.failure.empty()) << c.command;
        EXPECT_EQ(logged["exit_code"], result.exitCode) << c.command;
        EXPECT_EQ(logged.value("failure", ""), c.failure) << c.command;
        EXPECT_EQ(JsonLines(result.out).back().value("failure", ""), c.failure) << c.command;
        EXPECT_EQ(JsonLines(result.out).back()["ok"], c.failure.empty()) << c.command;
    }
    // A command that uses no board leaves none.
    const std::size_t lines = JsonLines(folder.Read("device.log")).size();
    EXPECT_EQ(Run({"--sim", "--log", "device.log", "image", "info", DEMO_FIRMWARE}).exitCode, 0);
    EXPECT_EQ(JsonLines(folder.Read("device.log")).size(), lines);
}

// Whatever bytes a file name or an argument holds, standard output and the log stay strict
// JSON: control bytes come back as they were, and what is not UTF-8 as U+FFFD, one for each
// ill-formed part (an overlong form, a surrogate, a sequence cut short, a stray byte).
TEST_F(ProductionOutputTest, OddBytesInNamesAndArgumentsStillMakeStrictJson) {
    std::string controls;
    for (char c = 1; c < 0x20; ++c) controls += c;
    const std::string bad = "\xEF\xBF\xBD", utf8 = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    struct Case {
        Args args;  // after --sim --json --log station.log; "blank" gets a copy of the demo
        std::string field;
        std::string expected;  // in the result's field and, when logged, the log's
    };
    const Case cases[] = {
        {{"blank", "fw" + controls + "\x7F\".h00"}, "file", "fw" + controls + "\x7F\".h00"},
        {{"blank", "fw\xFF" + utf8 + ".h00"}, "file", "fw" + bad + utf8 + ".h00"},
        {{"blank", "fw\xC0\xAF\xED\xA0\x80\xE2\x82.\x80.h00"},
         "file",
         "fw" + bad + bad + bad + bad + bad + bad + "." + bad + ".h00"},
        {{"read-back", "dump\xF0\x9F\x98"}, "file", "dump" + bad},
        {{"--device", "1-\x1B[31m\xFE\\", "erase"}, "message", "at 1-\x1B[31m" + bad + "\\ ("},
        {{"flash", DEMO_FIRMWARE, "--bogus\x01\xFF"}, "message", "--bogus\x01" + bad},
    };
    for (const Case& c : cases) {
        if (c.args[0] == "blank") std::filesystem::copy_file(DEMO_FIRMWARE, folder / c.args[1]);
        std::filesystem::remove(folder / "station.log");
        Args args{"--sim", "--json", "--log", "station.log"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const QvusbResult result = Run(args);
        const auto lines = JsonLines(result.out);
        auto carriers = JsonLines(folder.Read("station.log"));  // the log's line, then the result
        EXPECT_EQ(carriers.size(), c.args[0] == "flash" ? 0u : 1u);  // a parse error logs nothing
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back()["exit_code"], result.exitCode);
        carriers.push_back(lines.back());
        for (const json& line : carriers)
            EXPECT_NE(line[c.field].get<std::string>().find(c.expected), std::string::npos) << line;
    }
}

TEST_F(ProductionOutputTest, UsageMistakesAreNamedAsTheUserTypedThem) {
    struct Case {
        Args args;
        std::string message;
    };
    const Case cases[] = {
        {{"lsit"}, "'lsit' is not a command; did you mean 'list'?"},
        {{"--sim", "raw", "in", "C3", "91", "0", "-1", "1"}, "'-1' is not a valid hexadecimal"},
        {{"--sim", "i2c", "cmd-write", "20", "--cmd", "1", "--data", "02"},
         "--cmd '1' is not a whole number of hexadecimal bytes"},
        {{"--sim", "--log", "nowhere/x.log", "erase"}, "Cannot append to the log nowhere/x.log"},
        {{"--sim", "flash"}, "file is required"},
        {{"--sim", "verify", DEMO_FIRMWARE, "--read-block", "999"}, "--read-block: Value 999"},
        {{"--sim", "flash", DEMO_FIRMWARE, "--bogus"}, "not expected: --bogus"},
        {{"--sim", "reg", "read"}, "address is required"},
        {{"--sim", "reg", "reed", "10"}, "'reed' is not a command of 'reg'; did you mean 'read'?"},
        {{"--sim-devices", "0", "--sim", "list"}, "--sim-devices: Value 0 not in range"},
        {{"udev-rule", "--vid", "12345"}, "--vid '12345' is out of range"},
        {{"help", "reg", "bogus"}, "'bogus' is not a command of 'qvusb reg'; the commands are"},
    };
    for (const Case& c : cases) {
        const QvusbResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.args[0];
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        // With --json a recognised command ends in exactly one result line (a typo names none).
        Args asJson{"--json"};
        asJson.insert(asJson.end(), c.args.begin(), c.args.end());
        const QvusbResult inJson = Run(asJson);
        const auto lines = JsonLines(inJson.out);
        ASSERT_EQ(lines.size(), c.args[0] == "lsit" ? 0u : 1u) << inJson.out;
        EXPECT_EQ(inJson.exitCode, 2);
        if (lines.empty()) continue;
        EXPECT_EQ(lines[0]["event"], "result");
        EXPECT_EQ(lines[0]["exit_code"], inJson.exitCode);
        EXPECT_NE(lines[0]["message"].get<std::string>().find(c.message), std::string::npos);
    }
    // No device is exit 3 with or without --json, which ends in its result line.
    EXPECT_EQ(Run({"--sim", "--vid", "1234", "list"}).exitCode, 3);
    const QvusbResult none = Run({"--sim", "--vid", "1234", "--json", "list"});
    EXPECT_EQ(none.exitCode, 3);
    ASSERT_EQ(JsonLines(none.out).size(), 1u) << none.out;
    EXPECT_EQ(JsonLines(none.out)[0]["exit_code"], 3);
    // The manual pages and completions the build installs: a page per command, and the
    // program's page leads on to them and to the windows'.
    ASSERT_EQ(Run({"--write-docs", "docs"}).exitCode, 0);
    const std::string page = folder.Read("docs/man1/qvusb.1");
    for (const char* command : {"flash", "reg", "station", "report", "help"}) {
        EXPECT_TRUE(std::filesystem::exists(folder.Path() / "docs" / "man1" /
                                            ("qvusb-" + std::string(command) + ".1")))
            << command;
        EXPECT_NE(page.find(".BR qvusb\\-" + std::string(command) + " (1)"), std::string::npos);
    }
    EXPECT_NE(page.find(".BR quorvex\\-station (1)"), std::string::npos);
    EXPECT_NE(folder.Read("docs/qvusb.bash").find("qvusb/reg:read) cmd=qvusb/reg/read"),
              std::string::npos);
#ifndef _WIN32
    // -v names each device as the system does: its node on Linux.
    EXPECT_NE(Run({"--sim", "--sim-devices", "2", "list", "-v"}).out.find(
                  "1-2  user device  6B94:F82D  audio driver  QV000002  /dev/bus/usb/001/003\n"),
              std::string::npos);
#endif
    EXPECT_EQ(Run({"--version"}).out.rfind("qvusb " QV_VERSION " (commit ", 0), 0u);
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_NE(Run({"--help-all"}).out.find("\nExit status:\n"), std::string::npos);
    EXPECT_NE(Run({"udev-rule", "--vid", "ABCD", "--pid", "0x12"})
                  .out.find("ATTR{idVendor}==\"abcd\", ATTR{idProduct}==\"0012\""),
              std::string::npos);
}

// A station with a simulated operator: every board of every port judged once, one verdict
// each and the summary; a faulty board fails alone and the exit code says so.
TEST_F(ProductionOutputTest, AStationJudgesEveryBoardOnceWithAVerdictEach) {
    struct Case {
        Args faults;
        int exitCode;
        int passed;
    };
    const Case cases[] = {{{}, 0, 12}, {{"--sim-fault", "never-ready@300"}, 1, 9}};
    for (const Case& c : cases) {
        Args args{"--sim", "--sim-devices", "4", "--sim-replug", "3", "--log", "station.log"};
        args.insert(args.end(), c.faults.begin(), c.faults.end());
        args.insert(args.end(), {"station", DEMO_FIRMWARE, "--units", "12"});
        const QvusbResult result = Run(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        std::map<std::string, int> verdicts;  // "PASS 1-2" -> count
        std::istringstream lines(result.out);
        for (std::string word, port, rest; lines >> word >> port && std::getline(lines, rest);)
            if (word == "PASS" || word == "FAIL") ++verdicts[word + " " + port];
        int passed = 0, judged = 0;
        for (const auto& [verdict, count] : verdicts) {
            EXPECT_EQ(count, verdict.rfind("FAIL", 0) == 0 ? 3 : count) << verdict;
            judged += count;
            passed += verdict.rfind("PASS", 0) == 0 ? count : 0;
        }
        EXPECT_EQ(judged, 12);
        EXPECT_EQ(passed, c.passed);
        EXPECT_NE(result.out.find("passed " + std::to_string(c.passed) + ", failed " +
                                  std::to_string(12 - c.passed)),
                  std::string::npos)
            << result.out;
    }
    const auto log = JsonLines(folder.Read("station.log"));
    EXPECT_EQ(log.size(), 24u);
    std::set<std::string> boards;  // the flash IDs of the good run's boards
    for (std::size_t i = 0; i < 12 && i < log.size(); ++i) boards.insert(log[i]["flash_uid"]);
    EXPECT_EQ(boards.size(), 12u);
}

// On a terminal (a pseudo-terminal from script(1)), the bar counts the image's bytes, not the
// size of the .h00 text; on one 20 columns wide (the station's block: 30), no redraw of the bar is wider than that (a
// wider one would wrap and leave its second row behind), and no figure is cut: the byte count
// gives way to the share alone.
TEST_F(ProductionOutputTest, TheBarCountsTheLoadedImageOfAHexFileAndFitsTheTerminal) {
    const std::string command = std::string(QVUSB_PATH) + " --sim --sim-speed real verify " +
                                DEMO_FIRMWARE;
    const QvusbResult result = RunCommand({"script", "-qec", command, "/dev/null"}, folder.Path());
    EXPECT_NE(result.out.find("/8192 bytes"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("/19"), std::string::npos);  // the file's 19,7xx bytes

    const QvusbResult narrow = RunCommand(
        {"script", "-qec",
         "stty cols 20; " + std::string(QVUSB_PATH) + " --sim --sim-speed real flash " +
             DEMO_FIRMWARE,
         "/dev/null"},
        folder.Path());
    std::string shown;  // what the terminal shows between line starts, escapes left out
    for (std::size_t i = 0; i <= narrow.out.size(); ++i) {
        const char c = i < narrow.out.size() ? narrow.out[i] : '\n';
        if (c == '\x1b') {
            i = narrow.out.find_first_of("KJF", i);
        } else if (c == '\r' || c == '\n') {
            if (shown.starts_with("[")) {
                EXPECT_LT(shown.size(), 20u) << shown;
                EXPECT_TRUE(shown.ends_with("%") || shown.ends_with(" s")) << shown;
            }
            shown.clear();
        } else {
            shown += c;
        }
    }
    EXPECT_NE(narrow.out.find("] 100%"), std::string::npos) << narrow.out;

    // The station's live block at 30 columns: each line it redraws (ended by an erase to the
    // end of the line) fits on one row, so moving up a row per line clears the block.
    const QvusbResult station = RunCommand(
        {"script", "-qec",
         "stty cols 30; " + std::string(QVUSB_PATH) + " --sim --sim-speed real --sim-devices 2 station " +
             DEMO_FIRMWARE + " --units 2",
         "/dev/null"},
        folder.Path());
    std::istringstream rows(station.out);
    int liveLines = 0;
    for (std::string row; std::getline(rows, row);) {
        const std::size_t end = row.find("\x1b[K");
        if (end == std::string::npos) continue;
        ++liveLines;
        const std::size_t cleared = row.rfind('J', end);  // the block's clearing escape
        EXPECT_LT(end - (cleared == std::string::npos ? 0 : cleared + 1), 30u) << row;
    }
    EXPECT_GE(liveLines, 10) << station.out;
}

}  // namespace
