// qvusb image info and image patch: what they print, what they refuse, and the bytes patch
// writes, worked out here from the table's layout.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TableImages.h"
#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "common/HexFormat.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"

#ifndef _WIN32
#include <dlfcn.h>

#include <cerrno>

// While set, fsync fails as on a disk that cannot take the data (EIO); otherwise the system's.
static bool syncFails = false;

extern "C" int fsync(int descriptor) {
    if (syncFails) {
        errno = EIO;
        return -1;
    }
    static const auto system = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return system(descriptor);
}
#endif

namespace {

using qv::cli::BadInput;
using qv::cli::OperationFailed;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs "qvusb image ..." and returns what it printed.
std::string RunImageCommand(const std::vector<std::string>& args) {
    CLI::App app;
    const qv::cli::GlobalOptions options;
    qv::cli::AddImageCommands(app, options);
    std::vector<const char*> argv{"qvusb", "image"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    CapturedOutput output;
    app.parse(static_cast<int>(argv.size()), argv.data());
    return output.Text();
}

class ImageCommandsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string source = WithTableAt(Background(0x2000), 0x1000);
    std::filesystem::path in = dir.Write("firmware.bin", source);
    std::filesystem::path out = dir.Path("patched.bin");
};

// The new file is the source with the given fields overwritten: the IDs high byte first, each
// string filled up to 32 bytes with blanks; the fields not given keep the source's bytes. The
// sum is that of every byte written, as four upper-case hexadecimal digits. Without values the
// new file is the source's copy.
TEST_F(ImageCommandsTest, PatchWritesOnlyTheGivenFieldsIntoACopyOfTheSourceAndPrintsItsSum) {
    const std::string printed =
        RunImageCommand({"patch", in.string(), out.string(), "--vid", "0x12ab", "--manufacturer",
                         "ABC", "--serial", "", "--record", "Line In"});

    std::string expected = source;
    constexpr std::size_t kTable = 0x1000;
    expected.replace(kTable + 13, 2, "\x12\xAB");
    const std::pair<std::size_t, const char*> strings[] = {{0, "ABC"}, {2, ""}, {4, "Line In"}};
    for (const auto& [index, text] : strings) {
        std::string field = text;
        field.resize(32, ' ');
        expected.replace(kTable + 17 + 32 * index, 32, field);
    }
    EXPECT_EQ(ReadFile(out), expected);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", SumOf(expected));
    EXPECT_EQ(printed, "Sum: " + std::string(sum) + "\n");

    const std::filesystem::path copy = dir.Path("copy.bin");
    RunImageCommand({"patch", in.string(), copy.string()});
    EXPECT_EQ(ReadFile(copy), source);
}

TEST_F(ImageCommandsTest, InfoShowsUnprintableBytesAndAMissingTable) {
    std::string erased = OldTable();
    erased.replace(17, 4, " \xFF\"\\");
    const std::string info = RunImageCommand(
        {"info", dir.Write("erased.bin", WithTableAt(Background(0x400), 0x10, erased)).string()});
    EXPECT_NE(info.find("\nManufacturer: \" \\xFF\\x22\\x5C" + std::string(28, '0') + "\"\n"),
              std::string::npos)
        << info;

    const std::string none = RunImageCommand({"info", dir.Write("plain.bin", "\x01\x02").string()});
    EXPECT_EQ(none, "Loaded length: 2\nChecksum : 0x0003\nParameter table: not found\n");
}

// Refused before anything is written: what the editor would cut or could not edit.
TEST_F(ImageCommandsTest, PatchRefusesWhatItWouldLoseOrCannotEdit) {
    const std::string plain = dir.Write("plain.bin", Background(0x400)).string();
    const std::vector<std::vector<std::string>> refused = {
        {"patch", plain, out.string()},
        {"patch", dir.Write("firmware.txt", source).string(), out.string()},
        {"patch", in.string(), out.string(), "--vid", "12G4"},
        {"patch", in.string(), out.string(), "--pid", ""},
        {"patch", in.string(), out.string(), "--pid", "1F82D"},
        {"patch", in.string(), out.string(), "--product", std::string(33, 'p')},
    };
    for (const auto& args : refused) {
        EXPECT_THROW(RunImageCommand(args), BadInput) << args[1] << " " << args.back();
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A source longer than the editor's image would lose its end; the source itself, under
    // any spelling or through a link, would be overwritten.
    const auto large = dir.Write("large.bin", WithTableAt(Background(0x100000), 0x10, OldTable()));
    const std::string inBefore = ReadFile(in);
    std::vector<std::vector<std::string>> lossy = {
        {"patch", large.string(), out.string()},
        {"patch", in.string(), in.string()},
        {"patch", in.string(), (in.parent_path() / "." / in.filename()).string()},
    };
    std::error_code noLinks;  // Windows may refuse links to ordinary users
    std::filesystem::create_symlink(in, dir.Path("link.bin"), noLinks);
    if (!noLinks) lossy.push_back({"patch", in.string(), dir.Path("link.bin").string()});
    for (const auto& args : lossy) {
        EXPECT_THROW(RunImageCommand(args), BadInput) << args[2];
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(ReadFile(in), inBefore);
    }

    RunImageCommand({"patch", in.string(), out.string(), "--play", std::string(32, 'p')});
    EXPECT_EQ(ReadFile(out).substr(0x1071, 32), std::string(32, 'p'));
}

TEST_F(ImageCommandsTest, PatchReportsAFileItCannotOpenOrWrite) {
    const auto unwritable = dir.Path("none") / "new.bin";
    EXPECT_THROW(RunImageCommand({"patch", dir.Path("missing.bin").string(), out.string()}),
                 BadInput);
    // An output that cannot be written is refused before the source is edited.
    EXPECT_THROW(RunImageCommand({"patch", in.string(), unwritable.string()}), BadInput);
#ifndef _WIN32
    // A new file the disk could not keep does not replace the old one.
    dir.Write("patched.bin", "old");
    syncFails = true;
    EXPECT_THROW(RunImageCommand({"patch", in.string(), out.string()}), OperationFailed);
    syncFails = false;
    EXPECT_EQ(ReadFile(out), "old");
#endif
}

}  // namespace
