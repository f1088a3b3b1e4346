// Recorded sessions replayed through qvusb: the corpus of tests/traces gives the recorded exit
// code and last message back; a trace that differs from what the tool sends stops the replay
// at its line; a trace that ends early is a board that was unplugged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "QvusbProcess.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const fs::path kCorpus = TRACES_DIR;

std::vector<std::string> TransferLines(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) { return line.starts_with('#'); });
    return lines;
}

// The last line on standard error, else on standard output, as the corpus records it.
std::string LastMessage(const QvusbResult& result) {
    for (const std::string* text : {&result.err, &result.out}) {
        std::istringstream in(*text);
        std::string last;
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) last = line;
        if (!last.empty()) return last;
    }
    return {};
}

// NAME.expect: "key: value" lines (args, exit, message).
std::map<std::string, std::string> ReadExpectation(const fs::path& file) {
    std::ifstream in(file);
    std::map<std::string, std::string> fields;
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const auto start = line.find_first_not_of(' ', colon + 1);
        fields[line.substr(0, colon)] = start == std::string::npos ? "" : line.substr(start);
    }
    return fields;
}

Args Split(const std::string& text) {
    std::istringstream in(text);
    Args words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

class ReplayTest : public ::testing::Test {
protected:
    ReplayTest() { fs::copy_file(kCorpus / "fw-small.bin", folder / "fw-small.bin"); }

    // Replays a trace of the folder with the good flash's arguments.
    QvusbResult ReplayFlash(const std::string& trace) {
        return RunQvusb({"--replay", trace, "flash", "fw-small.bin"}, folder.Path());
    }
    std::vector<std::string> Corpus(const std::string& name) const {
        std::ifstream in(kCorpus / name);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void WriteLines(const std::string& name, const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        folder.Write(name, text);
    }

    TestFolder folder;
};

TEST_F(ReplayTest, EachRecordedSessionReplaysToItsExitCodeAndMessageAndTracesTheSameLines) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".expect") continue;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        ++cases;
        const auto expected = ReadExpectation(entry.path());
        Args args = {"--replay", (kCorpus / (name + ".trace")).string(), "--trace", "again.trace"};
        for (const std::string& arg : Split(expected.at("args"))) args.push_back(arg);
        const QvusbResult result = RunQvusb(args, folder.Path());
        EXPECT_EQ(std::to_string(result.exitCode), expected.at("exit")) << result.err;
        EXPECT_EQ(LastMessage(result), expected.at("message"));

        // A trace of the replay holds the recorded transfers (then, after an unplug, the
        // requests that failed), and says where it came from.
        const auto recorded = TransferLines(Corpus(name + ".trace"));
        auto again = folder.Lines("again.trace");
        EXPECT_EQ(again.at(1), "# host: replay");
        EXPECT_TRUE(again.at(3).starts_with("# device: \\\\?\\usb#vid_6b94&pid_f82d&mi_00#"));
        again = TransferLines(again);
        ASSERT_GE(again.size(), recorded.size());
        EXPECT_EQ(std::vector(again.begin(), again.begin() + recorded.size()), recorded);
    }
    EXPECT_EQ(cases, 6);
}

// The good flash of the corpus was recorded by the simulator's own writer before the
// simulator's trace went through the tracing host: a new recording has the same lines.
TEST_F(ReplayTest, TheSimulatorRecordsTheReferenceTraceLineForLine) {
    const auto result =
        RunQvusb({"--sim", "--trace", "new.trace", "flash", "fw-small.bin"}, folder.Path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = folder.Lines("new.trace");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "# tool: qvusb " QV_VERSION);
    EXPECT_EQ(lines[1], "# host: sim");
    EXPECT_TRUE(lines[2].starts_with("# date: 20"));
    EXPECT_EQ(TransferLines(lines), TransferLines(Corpus("good-flash.trace")));
}

TEST_F(ReplayTest, ATraceEditedToDivergeStopsAtTheLineThatDiffers) {
    const auto good = Corpus("good-flash.trace");
    // The first program page and the first status poll, found by their fields.
    auto find = [&](const std::string& fragment) {
        for (std::size_t i = 0; i < good.size(); ++i)
            if (good[i].find(fragment) != std::string::npos) return i;
        return good.size();
    };
    const struct {
        std::string what;
        std::size_t index;
        std::string from, to;
    } edits[] = {
        {"the data of an OUT", find(" OUT 20 80 0000 0001 256 "), " OK 0B", " OK 0C"},
        {"the index of an IN", find(" IN A0 83 "), " 0000 1 OK", " 0001 1 OK"},
        {"the request of an OUT", find(" OUT 20 84 "), " 20 84 ", " 20 86 "},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.what);
        ASSERT_LT(edit.index, good.size());
        auto lines = good;
        const auto at = lines[edit.index].find(edit.from);
        ASSERT_NE(at, std::string::npos) << lines[edit.index];
        lines[edit.index].replace(at, edit.from.size(), edit.to);
        WriteLines("edited.trace", lines);

        const QvusbResult result = ReplayFlash("edited.trace");
        EXPECT_EQ(result.exitCode, 1);
        const std::string number = std::to_string(edit.index + 1);
        EXPECT_EQ(
            LastMessage(result).rfind("qvusb: replay diverged at line " + number + ": sent K ", 0),
            0u)
            << LastMessage(result);
        EXPECT_NE(LastMessage(result).find(", recorded " + lines[edit.index]), std::string::npos);
    }
}

TEST_F(ReplayTest, ATraceThatEndsEarlyIsAnUnpluggedBoardNeverASuccess) {
    const auto good = Corpus("good-flash.trace");
    const std::size_t header = good.size() - TransferLines(good).size();
    for (std::size_t kept : {std::size_t{0}, std::size_t{1}, std::size_t{40}, good.size() / 2,
                             good.size() - header - 1}) {
        SCOPED_TRACE("transfers kept: " + std::to_string(kept));
        WriteLines("cut.trace", std::vector(good.begin(), good.begin() + header + kept));
        const QvusbResult result = ReplayFlash("cut.trace");
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.out.find("PASS"), std::string::npos);
        EXPECT_EQ(LastMessage(result).find("replay diverged"), std::string::npos);
    }
}

// A board that refused every page's data: the run fails at the first page and goes on to the
// protection, where the recording (which went on with the next page) no longer matches.
TEST_F(ReplayTest, PagesTheBoardRefusedFailTheRun) {
    auto lines = Corpus("good-flash.trace");
    for (std::string& line : lines) {
        const auto at = line.find(" OUT 20 80 0000 0001 256 OK ");
        if (at != std::string::npos) line = line.substr(0, at) + " OUT 20 80 0000 0001 256 FAIL -";
    }
    WriteLines("refused.trace", lines);
    const QvusbResult result = ReplayFlash("refused.trace");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out.find("PASS"), std::string::npos);
    EXPECT_NE(result.out.find("Programming Fail at 0x000000"), std::string::npos) << result.out;
    EXPECT_NE(LastMessage(result).find(": sent K OUT 20 80 0000 0001 1 06, recorded "),
              std::string::npos);
}

TEST_F(ReplayTest, AFileThatIsNoTraceOfADeviceIsRefused) {
    folder.Write("nodevice.trace", "# tool: qvusb 1.0\n1 K PROBE OK\n");
    folder.Write("garbage.trace", "# device: x\nhello\n");
    EXPECT_EQ(ReplayFlash("nodevice.trace").exitCode, 2);
    const QvusbResult garbage = ReplayFlash("garbage.trace");
    EXPECT_EQ(garbage.exitCode, 2);
    EXPECT_NE(garbage.err.find("garbage.trace:2: not a line of a trace"), std::string::npos);
}

}  // namespace
