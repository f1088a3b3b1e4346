// qvusb params, status and hid against the simulated chip, with the trace as the record.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/ParamsCommands.h"
#include "cli/StatusCommands.h"
#include "tests/support/TempDir.h"

namespace {

using namespace qv::cli;

class ParamsCommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.sim = true;
        options.traceFile = tracePath.string();
        AddParamsCommands(app, options);
        AddStatusCommands(app, options);
    }

    void Run(std::vector<std::string> args) {
        args.insert(args.begin(), "qvusb");
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        app.parse(static_cast<int>(argv.size()), argv.data());
    }
    // The last run's trace, without sequence numbers.
    std::vector<std::string> TraceLines() const {
        std::ifstream file(tracePath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            if (!line.starts_with('#')) lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
    bool Traced(const std::string& line) const {
        const auto lines = TraceLines();
        return std::ranges::find(lines, line) != lines.end();
    }

    TempDir folder;
    std::filesystem::path tracePath = folder.Path("trace.log");
    GlobalOptions options;
    CLI::App app;
    std::ostringstream out;
};

TEST_F(ParamsCommandLineTest, ReadShowsTheOptionsInWordsAndTheEepromFlag) {
    Session session(options);
    RunParamsRead(session, out);
    EXPECT_TRUE(out.str().starts_with("Options: A1 00 00 80\nEEPROM Exist\n")) << out.str();
    EXPECT_NE(out.str().find("\nI2S MCLK Output Frequency: 512 Fs\n"), std::string::npos);
}

TEST_F(ParamsCommandLineTest, StatusShowsTheDefaultStream) {
    Session session(options);
    RunStatus(session, out);
    EXPECT_EQ(out.str(), "Connection: USB connected\nMute: Playing\nFormat: PCM\nRate:  44.1KHz\n");
}

TEST_F(ParamsCommandLineTest, TextsTheCoreWouldCutAreRefusedBeforeAnythingIsSent) {
    const std::vector<std::vector<std::string>> refused = {
        {"params", "set-string", "2", std::string(32, 'x')},
        {"params", "set-vid", "6b9a0"},
        {"params", "set-pid", "F8 D"},
        {"hid", "louder"},
    };
    for (const auto& args : refused) {
        EXPECT_THROW(Run(args), BadInput) << args[1];
        EXPECT_TRUE(TraceLines().empty()) << args[1];
    }
    EXPECT_THROW(Run({"params", "set-string", "4", "x"}), CLI::ValidationError);
}

TEST_F(ParamsCommandLineTest, ArgumentsReachTheirRegisters) {
    Run({"params", "set-string", "3", std::string(31, 'x')});
    EXPECT_TRUE(Traced("K OUT 20 90 0000 0092 1 OK 03"));  // the fourth chunk
    EXPECT_TRUE(Traced("K OUT 20 90 0000 0091 1 OK 18"));
    Run({"params", "write-options", "0x81", "e0", "7F", "00"});
    EXPECT_TRUE(Traced("K OUT 20 90 0000 0094 1 OK E0"));
    Run({"hid", "vol-"});
    EXPECT_TRUE(Traced("K OUT 20 90 0000 0091 1 OK 02"));
}

// Each of the option bytes' data-register writes, stalled in turn: the EEPROM would keep a
// byte the command never wrote, so the command fails.
TEST_F(ParamsCommandLineTest, AFailedDataRegisterWriteFailsTheCommand) {
    const std::vector<std::string> args = {"params", "write-options", "81", "E0", "7F", "00"};
    Run(args);
    std::vector<std::string> dataWrites;
    std::ifstream file(tracePath);
    for (std::string line; std::getline(file, line);) {
        const auto at = line.find(" 90 0000 00");
        if (line.starts_with('#') || at == std::string::npos) continue;
        const int reg = std::stoi(line.substr(at + 11, 2), nullptr, 16);
        if (reg >= 0x93 && reg <= 0x96) dataWrites.push_back(line.substr(0, line.find(' ')));
    }
    ASSERT_EQ(dataWrites.size(), 4u);
    for (const std::string& seq : dataWrites) {
        CLI::App stalled;
        options.simulator.faults = {"stall@" + seq};
        AddParamsCommands(stalled, options);
        std::vector<const char*> argv = {"qvusb"};
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        EXPECT_THROW(stalled.parse(static_cast<int>(argv.size()), argv.data()), OperationFailed)
            << "stall@" << seq;
    }
}

}  // namespace
