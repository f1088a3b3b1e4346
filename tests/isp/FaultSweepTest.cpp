// The automatic sequence run once per fault point: whatever breaks and wherever, it ends in
// bounded time and never reports success for a flash that does not hold the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "RecordingView.h"
#include "chip/EepromMailbox.h"
#include "chip/I2cMaster.h"
#include "chip/I2cTransactions.h"
#include "isp/IspJobs.h"
#include "sim/SimHost.h"

namespace {

using Fault = std::function<void(qv::sim::SimHost&, qv::sim::SimChip&, std::uint64_t k)>;

struct Counts {
    int runs = 0;
    int falseSuccesses = 0;
    int hangs = 0;
};

constexpr std::uint64_t kHangTransfers = 200000;  // far beyond any bounded sequence of this image

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 29 + 3);
    return bytes;
}

class FaultSweep {
public:
    FaultSweep() : image_(Pattern(1024)) {
        file_ = (std::filesystem::temp_directory_path() / "qv-sweep.bin").string();
        std::ofstream(file_, std::ios::binary)
            .write(reinterpret_cast<const char*>(image_.data()),
                   static_cast<std::streamsize>(image_.size()));
    }
    ~FaultSweep() { std::filesystem::remove(file_); }

    // The number of transfers a clean sequence takes: the points to sweep.
    std::uint64_t CleanLength() {
        qv::sim::SimHost host;
        auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
        Run(host, *chip);
        return host.TransferCount();
    }

    void Sweep(const char* name, const Fault& fault, std::uint64_t step) {
        Counts counts;
        const std::uint64_t length = CleanLength();
        for (std::uint64_t k = 1; k <= length; k += step) {
            qv::sim::SimHost host;
            auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
            fault(host, *chip, k);
            const bool succeeded = Run(host, *chip);
            ++counts.runs;
            if (succeeded && !Holds(*chip)) ++counts.falseSuccesses;
            if (host.TransferCount() > kHangTransfers) ++counts.hangs;
        }
        std::cout << "fault sweep " << name << ": runs " << counts.runs << ", false successes "
                  << counts.falseSuccesses << ", hangs " << counts.hangs << ", crashes 0\n";
        EXPECT_EQ(counts.falseSuccesses, 0) << name;
        EXPECT_EQ(counts.hangs, 0) << name;
    }

private:
    bool Run(qv::sim::SimHost& host, qv::sim::SimChip&) {
        qv::QuorvexUsb device(host);
        device.SetKsMode(true);
        device.SetMatchText("vid_6b94&pid_f82d");
        device.FindDevice();
        RecordingView view;
        qv::ProgramFile program;
        qv::FlashContext flash;
        qv::IspJobs jobs(device, view, program, flash);
        qv::AutoRequest request;
        request.fileText = file_;
        bool autoBusy = false;
        const bool succeeded = jobs.Auto(request, autoBusy) == qv::AutoOutcome::Succeeded;
        // The outcome and the text the user reads must agree.
        EXPECT_EQ(succeeded, view.LastInfo() == "Verifying Success");
        return succeeded;
    }
    bool Holds(qv::sim::SimChip& chip) const {
        const auto contents = chip.Flash().Contents();
        return std::equal(image_.begin(), image_.end(), contents.begin());
    }

    std::vector<std::uint8_t> image_;
    std::string file_;
};

TEST(FaultSweep, TheAutomaticSequenceNeverReportsAFalseSuccess) {
    FaultSweep sweep;
    using qv::sim::SimChip;
    using qv::sim::SimFaults;
    using qv::sim::SimHost;
    sweep.Sweep(
        "unplugged after transfer k",
        [](SimHost& host, SimChip& chip, std::uint64_t k) { host.DetachAfterTransfers(chip, k); },
        3);
    sweep.Sweep(
        "transfer k stalls",
        [](SimHost&, SimChip& chip, std::uint64_t k) { chip.Faults().stalledTransfers = {k}; }, 3);
    sweep.Sweep(
        "fetch k has a flipped bit",
        [](SimHost&, SimChip& chip, std::uint64_t k) {
            chip.Faults().corruptedFetches = {unsigned(k)};
        },
        5);
    const std::pair<const char*, std::function<void(SimFaults&)>> armed[] = {
        {"ready byte never comes from transfer k", [](SimFaults& f) { f.flashNeverReady = true; }},
        {"flash stays busy from transfer k", [](SimFaults& f) { f.flash.staysBusy = true; }},
        {"write enable ignored from transfer k",
         [](SimFaults& f) { f.flash.writeEnableIgnored = true; }},
        {"protection never clears from transfer k",
         [](SimFaults& f) { f.flash.protectionStuck = true; }},
    };
    for (const auto& [name, armFaults] : armed) {
        const auto& arm = armFaults;
        sweep.Sweep(
            name, [&arm](SimHost&, SimChip& chip, std::uint64_t k) { chip.ArmFaultsAfter(k, [&arm](SimChip& c) { arm(c.Faults()); }); },
            17);
    }
}

// The EEPROM mailbox and the I2C transactions under the same faults: bounded work, no crash.
TEST(FaultSweep, MailboxAndI2cTransactionsStayBounded) {
    for (std::uint64_t k = 1; k <= 120; ++k) {
        for (int fault = 0; fault < 2; ++fault) {
            qv::sim::SimHost host;
            auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
            if (fault == 0) host.DetachAfterTransfers(*chip, k);
            if (fault == 1) chip->Faults().stalledTransfers = {k};
            qv::QuorvexUsb device(host);
            device.SetKsMode(true);
            device.SetMatchText("vid_6b94&pid_f82d");
            device.FindDevice();
            std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            qv::EepromMailbox(device, 0x10, 0x00, 0x00, data);
            device.Open();
            qv::I2CSetup(device);
            std::uint8_t received[4] = {};
            const bool goneBefore = !host.IsAttached(*chip);
            const bool read = qv::I2CReadRegisters(device, 0x20, 0x00, received);
            if (goneBefore) {
                EXPECT_FALSE(read) << "k=" << k;  // a gone slave cannot acknowledge
            }
            device.Close();
            EXPECT_LT(host.TransferCount(), 2000u) << "k=" << k;
        }
    }
}

}  // namespace
