// Figures for the automatic sequence on the simulated chip: transfers, virtual time and
// throughput against two reference figures worked out from formulas (the protocol floor and
// the physical limit), the host's CPU cost per vendor request, and how far real sleeps
// overshoot. A timing program, not a test: it prints and exits 0.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chip/Registers.h"
#include "isp/GangFlash.h"
#include "isp/IspJobs.h"
#include "sim/SimHost.h"

namespace {

using Clock = std::chrono::steady_clock;

class SilentView : public qv::IspView {
public:
    void ShowProcessInfo(const std::string& text) override { last = text; }
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void ShowProgress(double) override {}
    void ShowChecksum(const std::string&) override {}
    void PumpEvents() override {}
    void ShowMessage(const std::string& text) override { last = text; }
    std::string last;
};

std::string WriteImage(std::size_t size) {
    std::vector<char> bytes(size);
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    const auto path =
        std::filesystem::temp_directory_path() / ("qv-bench-" + std::to_string(size) + ".bin");
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return path.string();
}

struct Run {
    std::uint64_t transfers = 0;
    double virtualSeconds = 0;
    double wallSeconds = 0;
    bool ok = false;
};

Run RunSequence(const std::string& file, qv::sim::SimClock::Mode mode, std::uint64_t latencyUs) {
    qv::sim::SimHost host(mode);
    host.SetTransferLatencyUs(latencyUs);
    host.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device(host);
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_f82d");
    device.FindDevice();
    SilentView view;
    qv::ProgramFile program;
    qv::FlashContext flash;
    qv::IspJobs jobs(device, view, program, flash);
    qv::AutoRequest request;
    request.fileText = file;
    bool autoBusy = false;
    const std::uint64_t startTransfers = host.TransferCount();
    const std::uint64_t startUs = host.Clock().NowUs();
    const auto wallStart = Clock::now();
    Run run;
    run.ok = jobs.Auto(request, autoBusy) == qv::AutoOutcome::Succeeded;
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
    run.virtualSeconds = static_cast<double>(host.Clock().NowUs() - startUs) / 1e6;
    run.transfers = host.TransferCount() - startTransfers;
    return run;
}

// The fewest transfers and pauses the documented steps allow for an image of `bytes`, each
// ready poll and status wait answered at once: ISP entry (4), identification (3), status clear
// (2 + one status read of 3), chip erase (2 + 3), blank check and verify (3 per 64-byte block
// each), programming (7 per 256-byte page: status read 3, write enable, two phases, one ready
// poll), protection (2 + 3) and ISP exit (3); one 1 ms pause per page; plus the flash's own busy
// time for the chip erase and the two status writes (the page programs hide in the pauses).
struct Reference {
    std::uint64_t transfers;
    double floorSeconds;
    double physicalSeconds;
};

Reference ReferenceFor(std::uint64_t bytes, std::uint64_t latencyUs) {
    const auto& chip = qv::sim::DefaultFlashChip();
    const std::uint64_t blocks = (bytes + 63) / 64;
    const std::uint64_t pages = (bytes + 255) / 256;
    const std::uint64_t transfers = 25 + 6 * blocks + 7 * pages;
    const double busy = (chip.chipEraseUs + 2.0 * chip.statusWriteUs) / 1e6;
    const double floor = static_cast<double>(transfers * latencyUs) / 1e6 + pages * 1e-3 + busy;
    // The image crosses a 480 Mbit/s bus twice (programmed, then verified).
    const double physical = busy + pages * chip.pageProgramUs / 1e6 + 2.0 * bytes * 8 / 480e6;
    return {transfers, floor, physical};
}

void PrintSequenceFigures() {
    std::printf("Automatic sequence on the simulated chip (virtual time)\n");
    std::printf("%9s %8s %10s %10s %8s %10s %7s %10s %7s\n", "latency", "image", "transfers",
                "virtual s", "KiB/s", "floor s", "ratio", "physical s", "ratio");
    for (const std::uint64_t latencyUs : {125, 1000}) {
        for (const std::size_t size : {128u * 1024, 768u * 1024}) {
            const std::string file = WriteImage(size);
            const Run run = RunSequence(file, qv::sim::SimClock::Mode::Virtual, latencyUs);
            const Reference reference = ReferenceFor(size, latencyUs);
            std::printf("%6llu us %5zu KiB %10llu %10.2f %8.1f %10.2f %7.3f %10.2f %7.1f%s\n",
                        static_cast<unsigned long long>(latencyUs), size / 1024,
                        static_cast<unsigned long long>(run.transfers), run.virtualSeconds,
                        size / 1024.0 / run.virtualSeconds, reference.floorSeconds,
                        run.virtualSeconds / reference.floorSeconds, reference.physicalSeconds,
                        run.virtualSeconds / reference.physicalSeconds,
                        run.ok ? "" : "  (the sequence FAILED)");
            std::filesystem::remove(file);
        }
    }
}

void PrintRequestCost() {
    qv::sim::SimHost host;
    host.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device(host);
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_f82d");
    device.FindDevice();
    device.Open();
    constexpr int kRequests = 500000;
    std::uint8_t value = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kRequests; ++i)
        qv::ReadRegister(device, static_cast<std::uint8_t>(i), value);
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::printf(
        "\nHost cost: %.0f ns of CPU per vendor request through the device object, the\n"
        "audio carrier's record, the driver rules and the simulated chip (target < 2000)\n",
        ns / kRequests);
}

void PrintSleepOvershoot() {
    const std::string file = WriteImage(128 * 1024);
    const Run asked = RunSequence(file, qv::sim::SimClock::Mode::Virtual, 0);
    const Run real = RunSequence(file, qv::sim::SimClock::Mode::Real, 0);
    std::printf(
        "\nReal time, 128 KiB: %.2f s of wall time for %.2f s of requested pauses and busy\n"
        "time (%+.1f %%)%s\n",
        real.wallSeconds, asked.virtualSeconds,
        100.0 * (real.wallSeconds / asked.virtualSeconds - 1), real.ok ? "" : " (FAILED)");
    std::filesystem::remove(file);
}

// Gang programming on real time: the devices share the bus but wait for their flashes in
// parallel, so four should take about as long as one.
void PrintGangTiming() {
    const std::string file = WriteImage(64 * 1024);
    qv::AutoRequest request;
    request.fileText = file;
    double seconds[2] = {};
    const int counts[2] = {1, 4};
    for (int i = 0; i < 2; ++i) {
        qv::sim::SimHost host(qv::sim::SimClock::Mode::Real);
        for (int d = 0; d < counts[i]; ++d) host.AttachNew(qv::sim::UserDeviceIdentity());
        const auto targets = qv::FindGangTargets(host, "vid_6b94&pid_f82d");
        const auto start = Clock::now();
        const auto results = qv::FlashAll(host, targets, request);
        seconds[i] = std::chrono::duration<double>(Clock::now() - start).count();
        for (const auto& result : results) {
            if (result.outcome != qv::AutoOutcome::Succeeded) std::printf("  a device FAILED\n");
        }
    }
    std::printf(
        "\nGang programming, 64 KiB on real time: 1 device %.2f s, 4 devices %.2f s "
        "(ratio %.2f, target < 1.3)\n",
        seconds[0], seconds[1], seconds[1] / seconds[0]);
    std::filesystem::remove(file);
}

}  // namespace

int main() {
    PrintSequenceFigures();
    PrintRequestCost();
    PrintSleepOvershoot();
    PrintGangTiming();
}
