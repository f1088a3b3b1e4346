// qvusb's commands against the simulated chip, with the trace as the record of what was sent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "tests/support/TempDir.h"

namespace {

using namespace qv::cli;

class CommandLineTest : public ::testing::Test {
protected:
    std::vector<std::string> TraceLines() const {
        std::ifstream file(tracePath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            if (!line.starts_with('#')) lines.push_back(line);
        return lines;
    }
    GlobalOptions Options() const {
        GlobalOptions options;
        options.sim = true;
        options.traceFile = tracePath.string();
        return options;
    }

    TempDir folder;
    std::filesystem::path tracePath = folder.Path("trace.log");
    std::ostringstream out;
};

TEST_F(CommandLineTest, RawReadPrintsTheByteAndIsTheLastTracedTransfer) {
    Session session(Options());
    RunRaw(session, {"in", "C3", "91", "0", "A4", {"1"}}, out);
    EXPECT_EQ(out.str(), "00\n");
    const auto lines = TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "1 K PROBE OK");
    EXPECT_EQ(lines[1], "2 K IN A0 91 0000 00A4 1 OK 00");
}

TEST_F(CommandLineTest, RawWriteSendsTheBytesWithOrWithoutPrefix) {
    Session session(Options());
    RunRaw(session, {"out", "0x43", "90", "0", "0x10", {"0x5a"}}, out);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(TraceLines().back(), "2 K OUT 20 90 0000 0010 1 OK 5A");
}

TEST_F(CommandLineTest, BadInputSendsNothing) {
    Session session(Options());
    const std::vector<RawArguments> bad = {
        {"in", "43", "91", "0", "A4", {"1"}},     // direction disagrees with bit 7
        {"in", "C3", "91", "0", "A4", {"x"}},     // length not a number
        {"out", "43", "90", "0", "A4", {"5"}},    // half a byte
        {"out", "43", "190", "0", "A4", {"55"}},  // request above 0xFF
        {"sideways", "43", "90", "0", "0", {}},
    };
    for (const auto& args : bad) {
        EXPECT_THROW(RunRaw(session, args, out), BadInput) << args.requestType;
    }
    EXPECT_TRUE(TraceLines().empty());
}

TEST_F(CommandLineTest, FailedRequestAndMissingDeviceAreReportedAsSuch) {
    Session session(Options());
    EXPECT_THROW(RunRaw(session, {"out", "43", "7F", "0", "0", {"01"}}, out), OperationFailed);

    GlobalOptions other = Options();
    other.vid = "1234";
    Session noUserDevice(other);
    // The simulated user's device does not match, and no firmware-update device is attached.
    EXPECT_THROW(RunList(noUserDevice, false, out), NoDevice);
    other.vid = "12345";
    EXPECT_THROW(Session{other}, BadInput);
}

}  // namespace
