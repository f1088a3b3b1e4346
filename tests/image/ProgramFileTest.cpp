// Reading the program file by name: loader choice, checksum text, readiness and the history.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "image/ProgramFile.h"
#include "tests/support/TempDir.h"

namespace {

using qv::ProgramFileOutcome;

class ProgramFileTest : public ::testing::Test {
protected:
    qv::ProgramFileReport Read(const std::filesystem::path& path) {
        file.ProgramFileName = path.string();
        return qv::ReadProgramFile(file);
    }

    // A good load first, so a later failure has something stale to leave behind.
    void LoadGoodFile() {
        ASSERT_EQ(Read(dir.Write("good.bin", "\x11\x22")).outcome, ProgramFileOutcome::Loaded);
        ASSERT_TRUE(file.ProgramFileReady);
    }

    bool ImageIsErased() const {
        return std::all_of(file.ProgramImage.Bytes.begin(), file.ProgramImage.Bytes.end(),
                           [](std::uint8_t byte) { return byte == 0xFF; });
    }

    TempDir dir;
    qv::ProgramFile file;
};

TEST_F(ProgramFileTest, ABinaryFileShowsItsSumInUpperCaseHex) {
    const auto report = Read(dir.Write("FIRMWARE.BIN", "\xFA\x01\x02"));
    EXPECT_EQ(report.outcome, ProgramFileOutcome::Loaded);
    EXPECT_EQ(report.checksumText, "Checksum : 0x00FD");
    EXPECT_TRUE(file.ProgramFileReady);
    EXPECT_EQ(file.ProgramImage.LoadedLength, 3u);
}

TEST_F(ProgramFileTest, AHexNameLoadsRecords) {
    const auto report = Read(dir.Write("firmware.hex", ":0100000041BE\n:00000001FF\n"));
    EXPECT_EQ(report.outcome, ProgramFileOutcome::Loaded);
    EXPECT_EQ(report.checksumText, "Checksum : 0x0041");
    EXPECT_EQ(file.ProgramImage.Bytes[0], 0x41);
}

TEST_F(ProgramFileTest, AnUnknownTypeOrATooShortNameIsAFailedLoadWithNothingLeftToProgram) {
    for (const char* name : {"firmware.txt", "ab"}) {
        LoadGoodFile();
        const auto report = Read(dir.Write(name, "\x01\x02\x03"));
        EXPECT_EQ(report.outcome, ProgramFileOutcome::Refused) << name;
        EXPECT_TRUE(report.problem.starts_with(dir.Path(name).string() + ": ")) << report.problem;
        EXPECT_EQ(report.checksumText, "Checksum : 0x0000");
        EXPECT_FALSE(file.ProgramFileReady);
        EXPECT_EQ(file.ProgramImage.LoadedLength, 0u);
        EXPECT_TRUE(ImageIsErased());
    }
}

// A missing file, a FIFO (a name kept from another run may have become one: reading it does
// not wait for a writer), an empty file and one larger than the image (never cut to fit).
TEST_F(ProgramFileTest, AFileThatCannotServeIsRefusedWithNothingLeftToProgram) {
    std::vector<std::filesystem::path> names = {
        dir.Path("missing.h00"), dir.Write("empty.bin", ""),
        dir.Write("large.bin", std::string(qv::kProgramImageSize + 1, '\x01'))};
#ifndef _WIN32
    names.push_back(dir.Path("fifo.h00"));
    ASSERT_EQ(::mkfifo(names.back().c_str(), 0600), 0);
#endif
    for (const auto& name : names) {
        LoadGoodFile();
        const auto report = Read(name);
        EXPECT_EQ(report.outcome, ProgramFileOutcome::Refused) << name;
        EXPECT_TRUE(report.problem.starts_with(name.string() + ": ")) << report.problem;
        EXPECT_EQ(report.checksumText, "Checksum : 0x0000");
        EXPECT_FALSE(file.ProgramFileReady);
        EXPECT_EQ(file.ProgramImage.LoadedLength, 0u);
        EXPECT_TRUE(ImageIsErased());
    }
}

TEST_F(ProgramFileTest, AnEmptyNameLoadsNothingAndIsNotReady) {
    LoadGoodFile();
    const auto report = Read("");
    EXPECT_EQ(report.outcome, ProgramFileOutcome::NoName);
    EXPECT_EQ(report.checksumText, "");
    EXPECT_FALSE(file.ProgramFileReady);
    EXPECT_EQ(file.ProgramImage.LoadedLength, 2u);
    EXPECT_EQ(file.FileHistory.size(), 1u);
}

TEST_F(ProgramFileTest, TheHistoryKeepsFirstUseOrderWithoutDuplicates) {
    const auto first = dir.Write("first.bin", "\x01");
    const auto second = dir.Write("second.bin", "\x02");
    const auto upper = dir.Write("FIRST.bin", "\x03");
    Read(first);
    Read(second);
    Read(first);
    Read(dir.Path("missing.bin"));  // remembered although it does not load
    Read(upper);
    EXPECT_EQ(file.FileHistory,
              (std::vector<std::string>{first.string(), second.string(),
                                        dir.Path("missing.bin").string(), upper.string()}));
}

}  // namespace
