// The Windows host against a scripted Windows: what it asks the Setup API, CreateFileA and
// DeviceIoControl, and what it makes of their answers; and a production station on it over a
// Windows whose devices are simulated chips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ScriptedWindows.h"
#include "SimulatedWindows.h"
#include "device/DeviceMatch.h"
#include "device/Guid.h"
#include "device/Records.h"
#include "device/host/WinDeviceHost.h"
#include "isp/Station.h"

using Bytes = std::vector<std::uint8_t>;
using Paths = std::vector<std::string>;

namespace {

bool SameGuid(const GUID& windowsGuid, const qv::Guid& ours) {
    const auto bytes = ours.Bytes();
    return std::memcmp(&windowsGuid, bytes.data(), bytes.size()) == 0;
}

TEST(WinDeviceHost, ListingSkipsAFailedDetailAndEndsAtAnEnumerationError) {
    ScriptedWindows windows;
    windows.members = {{"\\\\?\\usb#vid_6b94&pid_f82d&mi_00#first"},
                       {"\\\\?\\usb#vid_6b94&pid_f82d&mi_01#no-detail", 0, true},
                       {"\\\\?\\usb#vid_6b94&pid_f82d&mi_02#second"},
                       {"", ERROR_INVALID_DATA},
                       {"\\\\?\\usb#vid_6b94&pid_f82d&mi_03#after-the-error"}};
    qv::WinDeviceHost host(windows.Api());

    const auto paths = host.ListInterfaces(qv::kAudioInterfaceClass);
    ASSERT_TRUE(paths);
    EXPECT_EQ(*paths, (Paths{"\\\\?\\usb#vid_6b94&pid_f82d&mi_00#first",
                             "\\\\?\\usb#vid_6b94&pid_f82d&mi_02#second"}));
    EXPECT_EQ(windows.indicesEnumerated, (std::vector<DWORD>{0, 1, 2, 3}));
    ASSERT_EQ(windows.classesAsked.size(), 1u);
    EXPECT_TRUE(SameGuid(windows.classesAsked[0], qv::kAudioInterfaceClass));
    EXPECT_EQ(windows.flagsAsked, std::vector<DWORD>{0x12});  // present device interfaces
    EXPECT_EQ(windows.setsDestroyed, std::vector<HDEVINFO>{ScriptedWindows::kSet});
    EXPECT_FALSE(windows.foreignSetSeen);
}

TEST(WinDeviceHost, AnEmptyClassIsAnEmptyListAndAMissingSetIsNoList) {
    ScriptedWindows windows;
    qv::WinDeviceHost host(windows.Api());

    const auto empty = host.ListInterfaces(qv::kUsbDeviceInterfaceClass);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_TRUE(SameGuid(windows.classesAsked.at(0), qv::kUsbDeviceInterfaceClass));
    EXPECT_EQ(windows.setsDestroyed.size(), 1u);

    windows.setObtainable = false;
    EXPECT_FALSE(host.ListInterfaces(qv::kUsbDeviceInterfaceClass));
    EXPECT_EQ(windows.setsDestroyed.size(), 1u);  // no set, nothing to release
    EXPECT_EQ(windows.indicesEnumerated.size(), 1u);
}

TEST(WinDeviceHost, OpensForReadingAndWritingAndClosesThatHandle) {
    ScriptedWindows windows;
    qv::WinDeviceHost host(windows.Api());

    const qv::HostHandle handle = host.OpenPath("\\\\?\\usb#vid_4d17&pid_6000#5&1");
    EXPECT_EQ(handle, reinterpret_cast<qv::HostHandle>(windows.openResult));
    EXPECT_EQ(windows.pathOpened, "\\\\?\\usb#vid_4d17&pid_6000#5&1");
    EXPECT_EQ(windows.access, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
    EXPECT_EQ(windows.share, 3u);            // FILE_SHARE_READ | FILE_SHARE_WRITE
    EXPECT_EQ(windows.disposition, 3u);      // OPEN_EXISTING
    EXPECT_EQ(windows.flags, 0u);            // synchronous I/O
    EXPECT_FALSE(windows.extrasPassed);
    host.ClosePath(handle);
    EXPECT_EQ(windows.handlesClosed, std::vector<HANDLE>{windows.openResult});

    windows.openResult = INVALID_HANDLE_VALUE;
    EXPECT_EQ(host.OpenPath("\\\\?\\usb#gone"), qv::kNoHandle);
    EXPECT_FALSE(host.LastOpenDenied());
    windows.openError = ERROR_ACCESS_DENIED;  // a device the user may not open
    EXPECT_EQ(host.OpenPath("\\\\?\\usb#locked"), qv::kNoHandle);
    EXPECT_TRUE(host.LastOpenDenied());
    host.ClosePath(qv::kNoHandle);
    EXPECT_EQ(windows.handlesClosed.size(), 1u);
}

class WinDeviceHostIo : public ::testing::Test {
protected:
    ScriptedWindows windows;
    qv::WinDeviceHost host{windows.Api()};
    qv::HostHandle handle = host.OpenPath("\\\\?\\usb#vid_6b94&pid_f82d#1-2");
    std::uint32_t returned = 99;
};

TEST_F(WinDeviceHostIo, VendorDriverGetsTheSetupRecordAndTheCallersBufferUnderBothCodes) {
    const auto writeRecord = qv::BuildSetupRecord(0x40, 0x90, 0x1234, 0x00A4);
    Bytes sent = {1, 2, 3};
    windows.bytesReported = 3;
    ASSERT_TRUE(host.IoControl(handle, qv::kHostToDeviceCode, writeRecord, sent, returned));
    EXPECT_EQ(returned, 3u);

    const auto readRecord = qv::BuildSetupRecord(0xC0, 0x91, 0, 0x00A5);
    Bytes received(4, 0);
    windows.answer = {0xAB, 0xCD};
    windows.bytesReported = 2;  // a short transfer
    ASSERT_TRUE(host.IoControl(handle, qv::kDeviceToHostCode, readRecord, received, returned));
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(received, (Bytes{0xAB, 0xCD, 0, 0}));

    ASSERT_EQ(windows.ioCalls.size(), 2u);
    const auto& write = windows.ioCalls[0];
    EXPECT_EQ(write.handle, windows.openResult);
    EXPECT_EQ(write.code, 0x222429u);
    EXPECT_EQ(write.input, Bytes(writeRecord.begin(), writeRecord.end()));
    EXPECT_EQ(write.input.size(), 24u);
    EXPECT_EQ(write.output, sent.data());
    EXPECT_EQ(write.outputSize, 3u);
    EXPECT_FALSE(write.overlapped);
    const auto& read = windows.ioCalls[1];
    EXPECT_EQ(read.code, 0x22242Eu);
    EXPECT_EQ(read.input, Bytes(readRecord.begin(), readRecord.end()));
    EXPECT_EQ(read.output, received.data());
    EXPECT_EQ(read.outputSize, 4u);
}

TEST_F(WinDeviceHostIo, AudioDriverGetsThePropertyRecordAndItsRefusalIsReported) {
    Bytes received = {7, 7};
    const auto record = qv::BuildPropertyRecord(0xC0, 0x05, 0x00A4, 0, received);
    windows.answer = {0x42, 0x43};
    windows.bytesReported = 2;
    ASSERT_TRUE(host.IoControl(handle, qv::kKsPropertyCode, record, received, returned));
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(received, (Bytes{0x42, 0x43}));

    // The property-set question has no output buffer at all.
    const auto query = qv::BuildSupportQuery();
    windows.ioResult = FALSE;
    windows.bytesReported = 0;
    EXPECT_FALSE(host.IoControl(handle, qv::kKsPropertyCode, query, {}, returned));
    EXPECT_EQ(returned, 0u);

    ASSERT_EQ(windows.ioCalls.size(), 2u);
    const auto& get = windows.ioCalls[0];
    EXPECT_EQ(get.handle, windows.openResult);
    EXPECT_EQ(get.code, 0x2F0003u);
    EXPECT_EQ(get.input, record);
    EXPECT_EQ(get.input.size(), 2u + 47u);
    EXPECT_EQ(get.output, received.data());
    EXPECT_EQ(get.outputSize, 2u);
    EXPECT_FALSE(get.overlapped);
    const auto& question = windows.ioCalls[1];
    EXPECT_EQ(question.input, Bytes(query.begin(), query.end()));
    EXPECT_EQ(question.output, nullptr);
    EXPECT_EQ(question.outputSize, 0u);

    // Why a request failed, from Windows' error: a device that is not there, one that did not
    // answer in time, anything else a refusal.
    using Failure = qv::DeviceHost::IoFailure;
    const std::pair<DWORD, Failure> errors[] = {
        {ERROR_DEVICE_NOT_CONNECTED, Failure::Gone}, {ERROR_DEV_NOT_EXIST, Failure::Gone},
        {ERROR_SEM_TIMEOUT, Failure::NoAnswer},      {ERROR_TIMEOUT, Failure::NoAnswer},
        {ERROR_GEN_FAILURE, Failure::Refused},
    };
    for (const auto& [error, failure] : errors) {
        windows.ioError = error;
        EXPECT_FALSE(host.IoControl(handle, qv::kKsPropertyCode, query, {}, returned));
        EXPECT_EQ(host.LastIoControlFailure(), failure) << error;
    }
}

// A station on Windows: three boards on ports 1-1 to 1-3 (the bus numbers ports in the order
// boards are plugged in), the one on 1-2 unplugged while it is being programmed, and a fourth
// on 1-4 plugged in once those were judged. The host lists, opens and drives them through the
// Windows calls and sleeps on Windows' clock, so the bus runs on real time too.
TEST(WinDeviceHost, AStationFlashesEachBoardOnceAsBoardsComeAndGo) {
    qv::sim::SimHost bus(qv::sim::SimClock::Mode::Real);
    // The host sleeps on Windows' clock, which the bus's clock does not see: with a
    // turnaround, the bus would count a board's transfers as time ahead of the wall clock and
    // the host's 1 ms sleeps after a page as no time at all. Without it, the bus's time is the
    // wall clock, and each Windows call takes what it takes.
    bus.SetTransferLatencyUs(0);
    std::vector<std::shared_ptr<qv::sim::SimChip>> chips;
    for (int i = 0; i < 3; ++i) chips.push_back(bus.AttachNew(qv::sim::UserDeviceIdentity()));
    // A run takes some 430 to 520 transfers (more where the chip's ready byte is asked for
    // before its SPI master is done) and programs its pages from about the 185th to 230th
    // transfer to about the 270th to 320th: this board leaves while being programmed.
    bus.DetachAfterTransfers(*chips[1], 250);
    qv::WinDeviceHost host(SimulatedWindows(bus));

    struct Front : qv::StationFront {
        qv::sim::SimHost& bus;
        std::vector<std::shared_ptr<qv::sim::SimChip>>& chips;
        std::vector<qv::StationBoard> judged;
        int polls = 0;
        Front(qv::sim::SimHost& b, std::vector<std::shared_ptr<qv::sim::SimChip>>& c)
            : bus(b), chips(c) {}
        void BoardJudged(const qv::StationBoard& board) override { judged.push_back(board); }
        void Show(const std::vector<qv::SlotSnapshot>&) override {
            ++polls;
            if (judged.size() == 3 && chips.size() == 3)
                chips.push_back(bus.AttachNew(qv::sim::UserDeviceIdentity()));
        }
        // Some 30 s of polls: a station that misses a board ends instead of waiting forever.
        bool StopRequested() override { return polls > 90; }
    } front(bus, chips);

    qv::ProgramFile image;
    const std::size_t size = 3000;
    for (std::size_t i = 0; i < size; ++i)
        image.ProgramImage.Bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    image.ProgramImage.LoadedLength = size;
    qv::StationSettings settings;
    settings.request.wholeFlash = false;  // the first 4 KB sector, not a chip erase of seconds
    settings.request.startText = "0";
    settings.request.sizeText = "4";
    settings.units = 4;
    const auto judged =
        qv::RunStation(host, qv::MakeDeviceMatch("6b94", "f82d"), image, settings, front);

    std::map<std::string, qv::FailureKind> verdicts;
    for (const qv::StationBoard& board : judged) {
        EXPECT_TRUE(verdicts.emplace(board.selector, board.run.result.kind).second)
            << board.selector << " judged twice";
    }
    EXPECT_EQ(verdicts, (std::map<std::string, qv::FailureKind>{
                            {"1-1", qv::FailureKind::None},
                            {"1-2", qv::FailureKind::DeviceGone},
                            {"1-3", qv::FailureKind::None},
                            {"1-4", qv::FailureKind::None}}));
    ASSERT_EQ(chips.size(), 4u);
    for (const std::size_t stayed : {0u, 2u, 3u}) {
        const auto flash = chips[stayed]->Flash().Contents();
        EXPECT_TRUE(std::equal(image.ProgramImage.Bytes.begin(),
                               image.ProgramImage.Bytes.begin() + size, flash.begin()))
            << "board " << stayed;
    }
    EXPECT_EQ(bus.OpenHandleCount(), 0u);  // every handle opened was closed again
}

}  // namespace
