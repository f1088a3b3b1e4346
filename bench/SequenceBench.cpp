// Figures for the automatic sequence on the simulated chip: transfers, virtual time and
// throughput against two reference figures worked out from formulas (the protocol floor and
// the physical limit), the changed-sectors mode and larger read blocks against the sequence,
// the host's CPU cost per vendor request, and how far real sleeps overshoot. A timing program,
// not a test: it prints and exits 0.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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
    void ShowMessage(const std::string& text, const std::string&) override { last = text; }
    std::string last;
};

using Bytes = std::vector<std::uint8_t>;

// Firmware-like bytes: no page of them is all 0xFF.
Bytes PseudoRandom(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::uint32_t state = seed;
    for (std::uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

std::string WriteImage(std::size_t size) {
    const Bytes bytes = PseudoRandom(size, 12345);
    const auto path =
        std::filesystem::temp_directory_path() / ("qv-bench-" + std::to_string(size) + ".bin");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    return path.string();
}

struct Run {
    std::uint64_t transfers = 0;
    double virtualSeconds = 0;
    double wallSeconds = 0;
    bool ok = false;
};

// How the job is asked for, and what the flash holds before it (the demo firmware unless set).
struct Job {
    bool changedOnly = false;
    std::uint8_t readBlock = qv::kDefaultReadBlock;
    std::function<void(qv::sim::SimFlash&)> flashBefore;
};

Run RunSequence(const std::string& file, qv::sim::SimClock::Mode mode, std::uint64_t latencyUs,
                const Job& job = {}) {
    qv::sim::SimHost host(mode);
    host.SetTransferLatencyUs(latencyUs);
    const auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
    if (job.flashBefore) job.flashBefore(chip->Flash());
    qv::QuorvexUsb device(host);
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_f82d");
    device.FindDevice();
    SilentView view;
    qv::ProgramFile program;
    qv::FlashContext flash;
    flash.ReadBlockSize = job.readBlock;
    qv::IspJobs jobs(device, view, program, flash);
    qv::AutoRequest request;
    request.fileText = file;
    request.changedOnly = job.changedOnly;
    bool autoBusy = false;
    const std::uint64_t startTransfers = host.TransferCount();
    const std::uint64_t startUs = host.Clock().NowUs();
    const auto wallStart = Clock::now();
    Run run;
    run.ok = jobs.Auto(request, autoBusy)->Ok();
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

// What the flash holds before a changed-sectors run, for an image of imageBytes at address 0.
struct ChipState {
    const char* name;
    std::function<void(Bytes& flash, const Bytes& image)> make;
    double target125;  // ratio to the sequence, 768 KiB image; 0 for none
    double target1000;
};

// The image with every sector whose index ends in 5 (about one in ten) one byte off.
void TenPercent(Bytes& flash, const Bytes& image) {
    std::copy(image.begin(), image.end(), flash.begin());
    for (std::size_t sector = 5; sector * 0x1000 < image.size(); sector += 10)
        flash[sector * 0x1000 + 0x123] ^= 0xFF;
}

const ChipState kChipStates[] = {
    {"the same image",
     [](Bytes& flash, const Bytes& image) { std::copy(image.begin(), image.end(), flash.begin()); },
     0.30, 0.40},
    {"the image but one byte",
     [](Bytes& flash, const Bytes& image) {
         std::copy(image.begin(), image.end(), flash.begin());
         flash[image.size() / 2] ^= 0xFF;
     },
     0.32, 0.42},
    {"the image, 10 % sectors off", TenPercent, 0, 0},
    {"nothing (erased)", [](Bytes&, const Bytes&) {}, 0.95, 1.00},
    {"other firmware everywhere",
     [](Bytes& flash, const Bytes&) { flash = PseudoRandom(flash.size(), 777); }, 1.35, 1.45},
};

std::function<void(qv::sim::SimFlash&)> FlashHolding(const ChipState& state, const Bytes& image) {
    return [&state, &image](qv::sim::SimFlash& flash) {
        Bytes contents(flash.Contents().size(), 0xFF);
        state.make(contents, image);
        flash.SetContents(contents);
    };
}

void PrintRow(const char* what, std::uint64_t latencyUs, std::size_t size, const Run& run,
              double reference, double target) {
    const double ratio = run.virtualSeconds / reference;
    std::printf("%6llu us %5zu KiB  %-42s %9llu %9.2f %7.3f",
                static_cast<unsigned long long>(latencyUs), size / 1024, what,
                static_cast<unsigned long long>(run.transfers), run.virtualSeconds, ratio);
    if (target > 0) std::printf("  <= %.2f %s", target, ratio <= target ? "met" : "MISSED");
    std::printf("%s\n", run.ok ? "" : "  (the job FAILED)");
}

// --changed-only on chips holding various contents, and --read-block 255, each against the
// sequence with 64-byte reads on the same image and latency. The targets are for 768 KiB.
void PrintChangedSectorsFigures() {
    const auto virtualTime = qv::sim::SimClock::Mode::Virtual;
    std::printf(
        "\nChanged sectors only and larger read blocks (virtual time; ratio to the sequence)\n");
    std::printf("%9s %9s  %-42s %9s %9s %7s\n", "latency", "image", "job, chip holds", "transfers",
                "virtual s", "ratio");
    for (const std::uint64_t latencyUs : {125, 1000}) {
        for (const std::size_t size : {128u * 1024, 768u * 1024}) {
            const bool targets = size == 768u * 1024;
            const Bytes image = PseudoRandom(size, 12345);
            const std::string file = WriteImage(size);
            const Run sequence = RunSequence(file, virtualTime, latencyUs);
            PrintRow("sequence", latencyUs, size, sequence, sequence.virtualSeconds, 0);
            for (const ChipState& state : kChipStates) {
                Job job{true, qv::kDefaultReadBlock, FlashHolding(state, image)};
                const Run run = RunSequence(file, virtualTime, latencyUs, job);
                const double target = latencyUs == 125 ? state.target125 : state.target1000;
                PrintRow((std::string("changed-only, ") + state.name).c_str(), latencyUs, size, run,
                         sequence.virtualSeconds, targets ? target : 0);
            }
            const ChipState& erased = kChipStates[3];
            const Run erased64 =
                RunSequence(file, virtualTime, latencyUs,
                            {false, qv::kDefaultReadBlock, FlashHolding(erased, image)});
            const Run erased255 = RunSequence(file, virtualTime, latencyUs,
                                              {false, 255, FlashHolding(erased, image)});
            PrintRow("sequence, erased, 64-byte reads", latencyUs, size, erased64,
                     sequence.virtualSeconds, 0);
            PrintRow("sequence, erased, --read-block 255 (*)", latencyUs, size, erased255,
                     erased64.virtualSeconds, targets ? (latencyUs == 125 ? 0.65 : 0.50) : 0);
            const Run same255 = RunSequence(file, virtualTime, latencyUs,
                                            {true, 255, FlashHolding(kChipStates[0], image)});
            PrintRow("changed-only, same image, --read-block 255", latencyUs, size, same255,
                     sequence.virtualSeconds, targets ? (latencyUs == 125 ? 0.10 : 0.12) : 0);
            std::filesystem::remove(file);
        }
    }
    std::printf("(*) ratio to the sequence on the erased chip with 64-byte reads\n");
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
        const auto results = qv::FlashAll(host, targets, qv::ProgramFile{}, request, {});
        seconds[i] = std::chrono::duration<double>(Clock::now() - start).count();
        for (const auto& result : results) {
            if (!result.result.Ok()) std::printf("  a device FAILED\n");
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
    PrintChangedSectorsFigures();
    PrintRequestCost();
    PrintSleepOvershoot();
    PrintGangTiming();
}
