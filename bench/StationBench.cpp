// Boards per hour of a production station with 1, 4 and 8 ports, on real time (every port's
// chip keeps the chip's own busy times and 125 us per transfer), a simulated operator swapping
// each judged board for the next one (one second to pull it, one to plug the next), 128 KiB
// images; the plain sequence on erased boards, and --changed-only on boards that already hold
// the image.
#include <chrono>
#include <cstdio>

#include "isp/Station.h"
#include "sim/SimHost.h"

namespace {

constexpr std::size_t kImageBytes = 128 * 1024;
constexpr unsigned kBoardsPerPort = 2;

struct QuietFront : qv::StationFront {
    void BoardJudged(const qv::StationBoard& board) override {
        failed += board.run.result.Ok() ? 0 : 1;
    }
    void Show(const std::vector<qv::SlotSnapshot>&) override {}
    bool StopRequested() override { return false; }
    int failed = 0;
};

qv::ProgramFile Image() {
    qv::ProgramFile image;
    for (std::size_t i = 0; i < kImageBytes; ++i)
        image.ProgramImage.Bytes[i] = static_cast<std::uint8_t>(i * 13 + 7);
    image.ProgramImage.LoadedLength = kImageBytes;
    return image;
}

// Boards per hour, from the first board's start to the last board's verdict.
double BoardsPerHour(unsigned ports, bool changedOnly) {
    const qv::ProgramFile image = Image();
    const auto& bytes = image.ProgramImage.Bytes;
    qv::sim::SimHost host(qv::sim::SimClock::Mode::Real);
    auto holdImage = [&](qv::sim::SimChip& chip) {
        std::vector<std::uint8_t> flash(chip.Flash().Contents().size(), 0xFF);
        if (changedOnly) std::copy_n(bytes.begin(), kImageBytes, flash.begin());
        chip.Flash().SetContents(flash);
    };
    for (unsigned i = 0; i < ports; ++i) holdImage(*host.AttachNew(qv::sim::UserDeviceIdentity()));
    host.ReplugBoards(kBoardsPerPort,
                      [&](qv::sim::SimChip& chip, const std::string&) { holdImage(chip); });
    qv::AutoRequest request;
    request.changedOnly = changedOnly;
    QuietFront front;
    const auto started = std::chrono::steady_clock::now();
    const auto judged = qv::RunStation(host, "vid_6b94&pid_f82d", image,
                                       {request, 0, ports * kBoardsPerPort}, front);
    const double hours =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 3600;
    if (front.failed > 0) std::printf("  (%d boards failed)\n", front.failed);
    return static_cast<double>(judged.size()) / hours;
}

}  // namespace

int main() {
    std::printf("Station, 128 KiB, 125 us per transfer, real time, %u boards per port:\n",
                kBoardsPerPort);
    std::printf("%-28s %10s %10s %10s %14s\n", "boards", "1 port", "4 ports", "8 ports",
                "8 / 1 (>= 7)");
    for (const bool changedOnly : {false, true}) {
        const double one = BoardsPerHour(1, changedOnly);
        const double four = BoardsPerHour(4, changedOnly);
        const double eight = BoardsPerHour(8, changedOnly);
        std::printf("%-28s %10.0f %10.0f %10.0f %14.2f\n",
                    changedOnly ? "--changed-only, same image" : "sequence, erased", one, four,
                    eight, eight / one);
    }
}
