// Recorded sessions replayed through qvusb: the corpus of tests/traces gives the recorded exit
// code and last message back; a trace that differs from what the tool sends stops the replay
// at its line; a trace that ends early is a board that was unplugged.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
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

// True when the text holds nothing a terminal would act on: printable ASCII and line ends.
bool Clean(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); });
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
        {"control bytes in a long line", find(" OUT 20 80 0000 0001 256 "), " OK 0B", "\tOK\v0C"},
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
        const std::string message = LastMessage(result);
        EXPECT_EQ(message.rfind("qvusb: replay diverged at line " + number + ": sent K ", 0), 0u)
            << message;
        // The recorded line is echoed up to its first control byte, which shows as \xNN; a
        // page's line (and what was sent with it) is cut short.
        const std::string& line = lines[edit.index];
        const std::string printable =
            line.substr(0, std::min(line.find_first_of("\t\v"), std::size_t{150}));
        EXPECT_NE(message.find(", recorded " + printable), std::string::npos) << message;
        if (edit.to.find('\t') != std::string::npos) {
            EXPECT_NE(message.find(" 256\\x09OK\\x0B0C"), std::string::npos) << message;
        }
        EXPECT_TRUE(Clean(result.err)) << result.err;
        EXPECT_LE(message.size(), 500u);
        EXPECT_EQ(message.ends_with("..."), line.size() > 200) << message;
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

// A board that refused every page's data: the run fails at the first page, whose open
// instruction is ended by a collect request before anything else is sent, where the recording
// (which went on with the next page) no longer matches.
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
    EXPECT_NE(LastMessage(result).find(": sent K OUT 20 81 0001 0001 1 05, recorded "),
              std::string::npos)
        << result.out;
}

// Files that are no trace of a device, or hostile ones, are refused before anything is sent
// (bad input), with a message that names the line and echoes nothing raw.
TEST_F(ReplayTest, AFileThatIsNoTraceOfADeviceIsRefused) {
    // The status session's comments and probe: a bad line after them is line 6.
    const auto status = Corpus("status.trace");
    std::string head;
    for (std::size_t i = 0; i < 5; ++i) head += status.at(i) + "\n";
    enum Kind { Text, Fifo, Folder, Path };
    const struct {
        Kind kind;
        std::string nameOrPath, content, refusal;
    } files[] = {
        {Text, "nodevice.trace", "# tool: qvusb 1.0\n1 K PROBE OK\n", "names no device"},
        {Text, "garbage.trace", "# device: x\nhello\n", "garbage.trace:2: not a line of a trace"},
        {Text, "long.trace", head + "# " + std::string(70'000, 'x') + "\n",
         "long.trace:6: a line longer than 65536 bytes"},
        {Text, "gap.trace", head + "3 K OUT 20 90 0000 0000 1 OK 00\n",
         "gap.trace:6: sequence number 3 where 2 was expected"},
        {Text, "zero.trace", status.at(3) + "\n0 K PROBE OK\n",
         "zero.trace:2: sequence number 0 where 1 was expected"},
        {Text, "wrap.trace", head + "2 K IN A0 91 0000 00A4 4294967360 OK 00\n",
         "wrap.trace:6: not a line of a trace (the length is more than the 65535 bytes"},
        {Text, "out.trace", head + "2 K OUT 20 90 0000 0000 64 OK 00\n",
         "out.trace:6: not a line of a trace (an OUT of 64 bytes carries 1)"},
        {Text, "in.trace", head + "2 K IN A0 91 0000 00A4 1 OK 0001\n",
         "in.trace:6: not a line of a trace (an IN of 1 bytes returned 2)"},
        {Text, "dir.trace", head + "2 K IN 20 90 0000 0000 1 OK 00\n",
         "dir.trace:6: not a line of a trace (the direction IN contradicts the type 20"},
        {Text, "ktype.trace", head + "2 K OUT 40 90 0000 0000 1 OK 00\n",
         "ktype.trace:6: not a line of a trace (the type of a K line is 20 or A0)"},
        {Text, "hex.trace", head + "2 K OUT 20 9G 0000 0000 1 OK 00\n",
         "hex.trace:6: not a line of a trace (the request is not 2 hexadecimal digits)"},
        {Text, "data.trace", head + "2 K OUT 20 90 0000 0000 1 OK 0Z\n",
         "data.trace:6: not a line of a trace (the data is neither"},
        {Text, "escape.trace", head + "2 K OUT 20 90 0000 0000 1 OK \x1b]0;owned\a\x1b[2J\n",
         ": 2 K OUT 20 90 0000 0000 1 OK \\x1B]0;owned\\x07\\x1B[2J"},
        {Text, "path.trace", "# device: \x1b[31m\\\\?\\usb\n", "path.trace:1: the device path"},
        {Fifo, "pipe.trace", "", "pipe.trace is not a regular file"},
        {Folder, "folder.trace", "", "directory: folder.trace"},  // the option's own check
        {Path, "/dev/zero", "", "/dev/zero is not a regular file"},
        // A regular file whose reading fails: qvusb's own memory from address 0.
        {Path, "/proc/self/mem", "", "/proc/self/mem:1: read error"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.nameOrPath);
        const fs::path path = folder / file.nameOrPath;
        if (file.kind == Text) folder.Write(file.nameOrPath, file.content);
        if (file.kind == Fifo) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        if (file.kind == Folder) fs::create_directory(path);
        if (file.kind == Path && !fs::exists(file.nameOrPath)) continue;
        const QvusbResult result = ReplayFlash(file.nameOrPath);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_NE(result.err.find(file.refusal), std::string::npos) << result.err;
        EXPECT_TRUE(Clean(result.err)) << result.err;
        EXPECT_LE(result.err.size(), 500u);
    }
}

}  // namespace
