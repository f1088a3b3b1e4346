// qvusb's i2c commands on the simulated chip, with the trace file as the record of what was sent.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/I2cCommands.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"

namespace {

using namespace qv::cli;
using Lines = std::vector<std::string>;

class I2cCommandsTest : public ::testing::Test {
protected:
    // Runs "qvusb --sim --trace FILE <arguments>" and returns what it printed.
    std::string Run(const std::string& arguments) {
        GlobalOptions options;
        options.sim = true;
        options.traceFile = tracePath.string();
        CLI::App app;
        AddI2cCommands(app, options);
        CapturedOutput output;
        app.parse(arguments);
        return output.Text();
    }
    Lines TraceLines() const {
        std::ifstream file(tracePath);
        Lines lines;
        for (std::string line; std::getline(file, line);)
            if (!line.starts_with('#')) lines.push_back(line);
        return lines;
    }
    // The bytes written to the transmit register, in order.
    std::string SentBytes() const {
        std::string sent;
        for (const std::string& line : TraceLines()) {
            if (line.find(" 90 0000 0012 1 OK ") != std::string::npos)
                sent += (sent.empty() ? "" : " ") + line.substr(line.size() - 2);
        }
        return sent;
    }

    TempDir folder;
    std::filesystem::path tracePath = folder.Path("trace.log");
};

TEST_F(I2cCommandsTest, ReadSetsTheMasterUpThenPrintsTheSlavesBytes) {
    EXPECT_EQ(Run("i2c read 20 00 4"), "00 00 00 00\n");
    const Lines lines = TraceLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "2 K OUT 20 90 0000 0000 1 OK 0E");
    EXPECT_EQ(lines[2], "3 K OUT 20 90 0000 0011 1 OK 04");
    EXPECT_EQ(SentBytes(), "20 00 21");
    EXPECT_EQ(Run("i2c read 0x60 0x10"), "00\n");
}

TEST_F(I2cCommandsTest, WritesAndCommandsSendTheirBytesInOrder) {
    EXPECT_EQ(Run("i2c write 20 10 01 0203"), "");
    EXPECT_EQ(SentBytes(), "20 10 01 02 03");
    EXPECT_EQ(Run("i2c cmd-write 60 --cmd 05 06 --data AA BB"), "");
    EXPECT_EQ(SentBytes(), "60 05 06 AA BB");
    EXPECT_EQ(Run("i2c cmd-read 60 --cmd 05 --count 2"), "00 00\n");
    EXPECT_EQ(SentBytes(), "60 05 61");
}

TEST_F(I2cCommandsTest, SilentSlaveFailsAndBadInputSendsNothing) {
    EXPECT_THROW(Run("i2c read 42 00"), OperationFailed);
    EXPECT_EQ(SentBytes(), "42 42 42 42 42 42 42 42 42 42");

    // A refused run sends nothing and leaves the last run's trace as it was.
    const Lines before = TraceLines();
    EXPECT_THROW(Run("i2c read 20 00 256"), BadInput);
    EXPECT_EQ(TraceLines(), before);
    EXPECT_THROW(Run("i2c write 20 100 01"), BadInput);
    EXPECT_EQ(TraceLines(), before);
    EXPECT_THROW(Run("i2c cmd-read 20 --cmd 1 --count 1"), BadInput);
    EXPECT_EQ(TraceLines(), before);
    EXPECT_THROW(Run("i2c write 20 00"), CLI::ParseError);
}

}  // namespace
