// Figures for the automatic sequence on the simulated chip: transfers, virtual time and
// throughput against two reference figures worked out from formulas (the protocol floor and
// the physical limit), the changed-sectors mode and larger read blocks against the sequence,
// the host's CPU cost per vendor request, and how far real sleeps overshoot. A timing program,
// not a test: it prints and exits 0.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <time.h>

#include "chip/Registers.h"
#include "isp/GangFlash.h"
#include "isp/IspJobs.h"
#include "sim/FlashBridge.h"
#include "sim/SimHost.h"
#include "sim/TransferModel.h"

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

Run RunSequence(const std::string& file, qv::sim::SimClock::Mode mode,
                const qv::sim::TransferModel& model, const Job& job = {}) {
    qv::sim::SimHost host(mode);
    host.SetTransferModel(model);
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
    const std::uint64_t startNs = host.Clock().NowNs();
    const auto wallStart = Clock::now();
    Run run;
    run.ok = jobs.Auto(request, autoBusy)->Ok();
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
    run.virtualSeconds = static_cast<double>(host.Clock().NowNs() - startNs) / 1e9;
    run.transfers = host.TransferCount() - startTransfers;
    return run;
}

// The documented sequence's own figure for an image of `bytes`, each ready poll and status
// wait answered at once: ISP entry (4), identification (3), status clear (2 + one status read
// of 3), chip erase (2 + 3), blank check and verify (3 per 64-byte block each), programming
// (7 per 256-byte page: status read 3, write enable, two phases, one ready poll), protection
// (2 + 3) and ISP exit (3), each at the cost of a 1-byte transfer; one 1 ms pause per page;
// plus the flash's busy time for the chip erase and the two status writes.
double FloorSeconds(std::uint64_t bytes, const qv::sim::TransferModel& model) {
    const auto& chip = qv::sim::DefaultFlashChip();
    const std::uint64_t blocks = (bytes + 63) / 64;
    const std::uint64_t pages = (bytes + 255) / 256;
    const std::uint64_t transfers = 25 + 6 * blocks + 7 * pages;
    const double busy = (chip.chipEraseUs + 2.0 * chip.statusWriteUs) / 1e6;
    return static_cast<double>(transfers) * qv::sim::TransferCostNs(model, 1, 1) / 1e9 +
           static_cast<double>(pages) * 1e-3 + busy;
}

// The buses the figures are given for: a high-speed host (a transfer per 125 us microframe)
// and a full-speed one (a transfer per 1 ms frame), each with its packets' bus time.
struct Bus {
    const char* name;
    qv::sim::TransferModel model;
};
const Bus kBuses[] = {{"high", qv::sim::kHighSpeedModel}, {"full", qv::sim::kFullSpeedModel}};

// The work a path does to the flash, in the operations the physical limit counts.
struct Work {
    double reads = 0;         // read requests of readBlock bytes
    double pages = 0;         // 256-byte page programs
    double sectorErases = 0;
    double chipErases = 0;
};

// The physical limit of a path: each operation at its fewest transfers, each transfer at the
// bus's cost (TransferCostNs, one board), plus the flash's busy time nothing can overlap.
constexpr const char* kLimitFormula =
    "limit = fixed + reads x (c(4) + c(1) + c(B) [+ c(1) while the SPI clocks 4+B bytes])\n"
    "      + pages x (c(1) + c(4) + c(256) + 3 c(1) + page program)\n"
    "      + sector erases x (c(1) + c(4) + 3 c(1) + 45 ms) + chip erases x (2 c(1) + 3 c(1) + 2 s)\n"
    "  fixed = ISP entry 4 c(1), identification 2 c(1) + c(3), status clear and protection\n"
    "          2 x (2 c(1) + 3 c(1) + status write), ISP exit 3 c(1);\n"
    "  c(n): one transfer with n data bytes (turnaround and packets); B: the read block;\n"
    "  the busy times are the W25Q80's typical ones";

double LimitSeconds(const Work& work, const qv::sim::TransferModel& model, std::uint32_t block) {
    const auto& chip = qv::sim::DefaultFlashChip();
    const auto c = [&](std::uint32_t bytes) {
        return static_cast<double>(qv::sim::TransferCostNs(model, bytes, 1)) / 1e9;
    };
    const double statusRead = 3 * c(1);
    const double spi = (4.0 + block) * 8 / qv::sim::FlashBridge::kSpiClockHz;
    const double read = c(4) + c(1) + c(block) + (spi > c(1) ? c(1) : 0);
    const double page = c(1) + c(4) + c(256) + statusRead + chip.pageProgramUs / 1e6;
    const double sectorErase = c(1) + c(4) + statusRead + chip.sectorEraseUs / 1e6;
    const double chipErase = 2 * c(1) + statusRead + chip.chipEraseUs / 1e6;
    const double fixed = 4 * c(1) + 2 * c(1) + c(3) +
                         2 * (2 * c(1) + statusRead + chip.statusWriteUs / 1e6) + 3 * c(1);
    return fixed + work.reads * read + work.pages * page + work.sectorErases * sectorErase +
           work.chipErases * chipErase;
}

std::uint64_t Blocks(std::uint64_t bytes, std::uint32_t block) { return (bytes + block - 1) / block; }

// The sequence: a chip erase, the image read twice (blank check, verify), every page written.
Work SequenceWork(std::uint64_t bytes, std::uint32_t block) {
    return {2.0 * Blocks(bytes, block), static_cast<double>(Blocks(bytes, 256)), 0, 1};
}

void PrintSequenceFigures() {
    std::printf("Automatic sequence on the simulated chip (virtual time)\n");
    std::printf("%5s %8s %10s %10s %8s %10s %7s %9s %7s\n", "bus", "image", "transfers",
                "virtual s", "KiB/s", "floor s", "ratio", "limit s", "ratio");
    for (const Bus& bus : kBuses) {
        for (const std::size_t size : {128u * 1024, 768u * 1024}) {
            const std::string file = WriteImage(size);
            const Run run = RunSequence(file, qv::sim::SimClock::Mode::Virtual, bus.model);
            const double floor = FloorSeconds(size, bus.model);
            const double limit = LimitSeconds(SequenceWork(size, 64), bus.model, 64);
            std::printf("%5s %5zu KiB %10llu %10.2f %8.1f %10.2f %7.3f %9.2f %7.2f%s\n", bus.name,
                        size / 1024, static_cast<unsigned long long>(run.transfers),
                        run.virtualSeconds, size / 1024.0 / run.virtualSeconds, floor,
                        run.virtualSeconds / floor, limit, run.virtualSeconds / limit,
                        run.ok ? "" : "  (the sequence FAILED)");
            std::filesystem::remove(file);
        }
    }
    std::printf("floor: the documented sequence's own transfers (25 + 6 per 64-byte block + 7 per\n"
                "page) at c(1) each, a 1 ms pause per page and the erase and status write times;\n"
                "%s\n",
                kLimitFormula);
}

// What the flash holds before a changed-sectors run, for an image of imageBytes at address 0.
struct ChipState {
    const char* name;
    std::function<void(Bytes& flash, const Bytes& image)> make;
    double target125;  // ratio to the sequence, 768 KiB image, high speed; 0 for none
    double target1000;  // full speed
    bool with255;       // also run with --read-block 255
    bool bestPath;      // compared with the sequence with --read-block 255
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
     0.30, 0.40, true, false},
    {"the image but one byte",
     [](Bytes& flash, const Bytes& image) {
         std::copy(image.begin(), image.end(), flash.begin());
         flash[image.size() / 2] ^= 0xFF;
     },
     0.32, 0.42, false, false},
    {"the image, 10 % sectors off", TenPercent, 0, 0, false, false},
    {"nothing (erased)", [](Bytes&, const Bytes&) {}, 0.95, 1.00, true, true},
    {"other firmware everywhere",
     [](Bytes& flash, const Bytes&) { flash = PseudoRandom(flash.size(), 777); }, 1.35, 1.45, true,
     true},
};

std::function<void(qv::sim::SimFlash&)> FlashHolding(const ChipState& state, const Bytes& image) {
    return [&state, &image](qv::sim::SimFlash& flash) {
        Bytes contents(flash.Contents().size(), 0xFF);
        state.make(contents, image);
        flash.SetContents(contents);
    };
}

// What --changed-only has to do on a chip holding `flash`: read every sector of the image
// (a sector that must be erased only up to the first block that shows it), then write the
// sectors that differ (their pages that are not all 0xFF) after a sector erase unless they read
// blank, and read them again; or, when that is less, one chip erase and every sector written
// and read again.
Work ChangedWork(const Bytes& flash, const Bytes& image, std::uint32_t block,
                 const qv::sim::TransferModel& model) {
    constexpr std::size_t kSector = 0x1000;
    const double blocksPerSector = static_cast<double>(Blocks(kSector, block));
    Work bySectors, byChip;
    byChip.chipErases = 1;
    for (std::size_t at = 0; at < image.size(); at += kSector) {
        double pages = 0;
        for (std::size_t page = at; page < at + kSector; page += 256)
            pages += std::any_of(image.begin() + page, image.begin() + page + 256,
                                 [](std::uint8_t b) { return b != 0xFF; });
        const auto flashSector = flash.begin() + static_cast<std::ptrdiff_t>(at);
        const bool holds = std::equal(image.begin() + at, image.begin() + at + kSector, flashSector);
        const bool blank = std::all_of(flashSector, flashSector + kSector,
                                       [](std::uint8_t b) { return b == 0xFF; });
        std::size_t firstBad = kSector;  // the first byte a program cannot make right
        for (std::size_t i = 0; i < kSector && !holds && !blank; ++i)
            if ((flashSector[i] & image[at + i]) != image[at + i]) {
                firstBad = i;
                break;
            }
        const double surveyed = holds || blank ? blocksPerSector
                                               : static_cast<double>(firstBad / block + 1);
        bySectors.reads += surveyed + (holds ? 0 : blocksPerSector);
        bySectors.pages += holds ? 0 : pages;
        bySectors.sectorErases += holds || blank ? 0 : 1;
        byChip.reads += surveyed + blocksPerSector;
        byChip.pages += pages;
    }
    return LimitSeconds(bySectors, model, block) <= LimitSeconds(byChip, model, block) ? bySectors
                                                                                      : byChip;
}

void PrintRow(const char* what, const Bus& bus, std::size_t size, const Run& run,
              double reference, double target, double limit) {
    const double ratio = run.virtualSeconds / reference;
    std::printf("%5s %5zu KiB  %-58s %9llu %9.2f %7.3f %8.2f %6.2f", bus.name, size / 1024, what,
                static_cast<unsigned long long>(run.transfers), run.virtualSeconds, ratio, limit,
                run.virtualSeconds / limit);
    if (target > 0) std::printf("  <= %.2f %s", target, ratio <= target ? "met" : "MISSED");
    std::printf("%s\n", run.ok ? "" : "  (the job FAILED)");
}

// --changed-only on chips holding various contents, and --read-block 255, each against the
// sequence with 64-byte reads on the same image and bus, and against its own physical limit.
// The targets are for 768 KiB. Last, for an erased chip and for other firmware, the faster of
// --changed-only and the sequence with --read-block 255 against its limit.
void PrintChangedSectorsFigures() {
    const auto virtualTime = qv::sim::SimClock::Mode::Virtual;
    std::printf("\nChanged sectors only and larger read blocks (virtual time; ratio to the "
                "sequence,\nand to the path's own physical limit)\n");
    std::printf("%5s %9s  %-58s %9s %9s %7s %8s %6s\n", "bus", "image", "job, chip holds",
                "transfers", "virtual s", "ratio", "limit s", "ratio");
    std::vector<std::string> best;
    for (const Bus& bus : kBuses) {
        const bool high = bus.model.speed == qv::sim::UsbSpeed::High;
        for (const std::size_t size : {128u * 1024, 768u * 1024}) {
            const bool targets = size == 768u * 1024;
            const Bytes image = PseudoRandom(size, 12345);
            const std::string file = WriteImage(size);
            const auto contents = [&](const ChipState& state) {
                Bytes flash(qv::sim::DefaultFlashChip().sizeBytes, 0xFF);
                state.make(flash, image);
                return flash;
            };
            const Run sequence = RunSequence(file, virtualTime, bus.model);
            const double sequenceLimit = LimitSeconds(SequenceWork(size, 64), bus.model, 64);
            PrintRow("sequence", bus, size, sequence, sequence.virtualSeconds, 0, sequenceLimit);
            for (const ChipState& state : kChipStates) {
                for (const std::uint8_t block : {qv::kDefaultReadBlock, std::uint8_t{255}}) {
                    if (block == 255 && !state.with255) continue;
                    const Run run =
                        RunSequence(file, virtualTime, bus.model, {true, block, FlashHolding(state, image)});
                    const double target = block == 255 ? 0 : high ? state.target125 : state.target1000;
                    const double limit =
                        LimitSeconds(ChangedWork(contents(state), image, block, bus.model), bus.model, block);
                    PrintRow((std::string("changed-only, ") + state.name +
                              (block == 255 ? ", --read-block 255" : ""))
                                 .c_str(),
                             bus, size, run, sequence.virtualSeconds, targets ? target : 0, limit);
                    if (!state.bestPath || block != 255 || !targets) continue;
                    // The sequence with 255-byte reads on the same chip.
                    const Run sequence255 =
                        RunSequence(file, virtualTime, bus.model, {false, 255, FlashHolding(state, image)});
                    const double limit255 = LimitSeconds(SequenceWork(size, 255), bus.model, 255);
                    PrintRow((std::string("sequence, ") + state.name + ", --read-block 255").c_str(),
                             bus, size, sequence255, sequence.virtualSeconds, 0, limit255);
                    const bool changedFaster = run.virtualSeconds <= sequence255.virtualSeconds;
                    const double ratio = changedFaster ? run.virtualSeconds / limit
                                                       : sequence255.virtualSeconds / limit255;
                    char line[200];
                    std::snprintf(line, sizeof line,
                                  "%5s %5zu KiB  %-30s %-24s %5.2f x its limit  <= 1.25 %s",
                                  bus.name, size / 1024, state.name,
                                  changedFaster ? "--changed-only" : "sequence",
                                  ratio, ratio <= 1.25 ? "met" : "MISSED");
                    best.push_back(line);
                }
            }
            const ChipState& erased = kChipStates[3];
            const Run erased64 = RunSequence(file, virtualTime, bus.model,
                                             {false, qv::kDefaultReadBlock, FlashHolding(erased, image)});
            const Run erased255 =
                RunSequence(file, virtualTime, bus.model, {false, 255, FlashHolding(erased, image)});
            PrintRow("sequence, erased, 64-byte reads", bus, size, erased64, sequence.virtualSeconds,
                     0, sequenceLimit);
            PrintRow("sequence, erased, --read-block 255 (*)", bus, size, erased255,
                     erased64.virtualSeconds, targets ? (high ? 0.65 : 0.50) : 0,
                     LimitSeconds(SequenceWork(size, 255), bus.model, 255));
            std::filesystem::remove(file);
        }
    }
    std::printf("(*) ratio to the sequence on the erased chip with 64-byte reads\n");
    std::printf("\nThe best verified path, 768 KiB (--changed-only or the sequence with "
                "--read-block 255,\nwhichever is faster), against its physical limit:\n");
    for (const std::string& line : best) std::printf("%s\n", line.c_str());
}

// The CPU time of the calling thread, so that what the other threads or the machine do does
// not count.
double ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

void PrintRequestCost() {
    qv::sim::SimHost host;
    host.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device(host);
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_f82d");
    if (!device.FindDevice() || device.Open() != qv::Reply::Done) return;
    constexpr int kRequests = 500000;
    std::uint8_t value = 0;
    const double start = ThreadCpuNs();
    int failed = 0;
    for (int i = 0; i < kRequests; ++i)
        failed += qv::ReadRegister(device, static_cast<std::uint8_t>(i), value) != qv::Reply::Done;
    const double ns = ThreadCpuNs() - start;
    std::printf(
        "\nHost cost: %.0f ns of the thread's CPU time per vendor request through the device\n"
        "object, the audio carrier's record, the driver rules and the simulated chip (target < 2000)\n",
        ns / kRequests);
}

void PrintSleepOvershoot() {
    const std::string file = WriteImage(128 * 1024);
    const Run asked = RunSequence(file, qv::sim::SimClock::Mode::Virtual, qv::sim::kHighSpeedModel);
    const Run real = RunSequence(file, qv::sim::SimClock::Mode::Real, qv::sim::kHighSpeedModel);
    std::printf(
        "\nReal time, 128 KiB, high speed: %.2f s of wall time for %.2f s of virtual time (the\n"
        "transfers' costs, pauses and busy time slept) (%+.1f %%)%s\n",
        real.wallSeconds, asked.virtualSeconds,
        100.0 * (real.wallSeconds / asked.virtualSeconds - 1), real.ok ? "" : " (FAILED)");
    std::filesystem::remove(file);
}

// Gang programming on virtual time: each device keeps its own time and they share one host
// controller, so four take about as long as one; the slowest board's seconds against one
// board's.
void PrintGangTiming() {
    const std::string file = WriteImage(64 * 1024);
    qv::AutoRequest request;
    request.fileText = file;
    std::printf("\nGang programming, 64 KiB, one controller (virtual time):\n");
    for (const Bus& bus : kBuses) {
        double seconds[2] = {};
        const int counts[2] = {1, 4};
        for (int i = 0; i < 2; ++i) {
            qv::sim::SimHost host;
            host.SetTransferModel(bus.model);
            for (int d = 0; d < counts[i]; ++d) host.AttachNew(qv::sim::UserDeviceIdentity());
            const auto targets = qv::FindGangTargets(host, "vid_6b94&pid_f82d");
            for (const auto& result : qv::FlashAll(host, targets, qv::ProgramFile{}, request, {})) {
                if (!result.result.Ok()) std::printf("  a device FAILED\n");
                seconds[i] = std::max(seconds[i], result.seconds);
            }
        }
        std::printf("  %s speed: 1 device %.2f s, 4 devices %.2f s (ratio %.2f, target < 1.3)\n",
                    bus.name, seconds[0], seconds[1], seconds[1] / seconds[0]);
    }
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
