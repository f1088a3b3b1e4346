// What a production station sustains: boards per hour, verdict to verdict, for 1, 4 and 8
// ports, with every port's boards on one host controller and with a controller per port, at
// high and full speed. Virtual time: each board keeps its own time and pays its share of the
// bus. A simulated operator swaps each judged board for the next (one second to pull it, one
// to plug the next), six boards per port, 128 KiB images; the plain sequence on erased boards,
// and --changed-only on boards that already hold the image.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "isp/Station.h"
#include "sim/SimHost.h"
#include "sim/TransferModel.h"

namespace {

constexpr std::size_t kImageBytes = 128 * 1024;
constexpr unsigned kBoardsPerPort = 6;

// Notes when each verdict came, on the station's clock.
struct TimingFront : qv::StationFront {
    explicit TimingFront(qv::DeviceHost& stationHost) : host(stationHost) {}
    void BoardJudged(const qv::StationBoard& board) override {
        failed += board.run.result.Ok() ? 0 : 1;
        verdictMs.push_back(host.NowMs());
    }
    void Show(const std::vector<qv::SlotSnapshot>&) override {}
    bool StopRequested() override { return false; }
    qv::DeviceHost& host;
    std::vector<std::uint64_t> verdictMs;
    int failed = 0;
};

qv::ProgramFile Image() {
    qv::ProgramFile image;
    for (std::size_t i = 0; i < kImageBytes; ++i)
        image.ProgramImage.Bytes[i] = static_cast<std::uint8_t>(i * 13 + 7);
    image.ProgramImage.LoadedLength = kImageBytes;
    return image;
}

struct Setup {
    qv::sim::TransferModel model;
    bool controllerPerPort;
    bool changedOnly;
};

// The sustained rate: the boards judged after each port's first, over the time from the end
// of that first round to the last verdict.
double BoardsPerHour(unsigned ports, const Setup& setup) {
    const qv::ProgramFile image = Image();
    const auto& bytes = image.ProgramImage.Bytes;
    qv::sim::SimHost host;
    host.SetTransferModel(setup.model);
    host.SetControllerPerBoard(setup.controllerPerPort);
    auto holdImage = [&](qv::sim::SimChip& chip) {
        std::vector<std::uint8_t> flash(chip.Flash().Contents().size(), 0xFF);
        if (setup.changedOnly) std::copy_n(bytes.begin(), kImageBytes, flash.begin());
        chip.Flash().SetContents(flash);
    };
    for (unsigned i = 0; i < ports; ++i) holdImage(*host.AttachNew(qv::sim::UserDeviceIdentity()));
    host.ReplugBoards(kBoardsPerPort,
                      [&](qv::sim::SimChip& chip, const std::string&) { holdImage(chip); });
    qv::AutoRequest request;
    request.changedOnly = setup.changedOnly;
    TimingFront front(host);
    qv::RunStation(host, "vid_6b94&pid_f82d", image, {request, 0, ports * kBoardsPerPort, {}}, front);
    if (front.failed > 0) std::printf("  (%d boards failed)\n", front.failed);
    std::sort(front.verdictMs.begin(), front.verdictMs.end());
    const double hours =
        static_cast<double>(front.verdictMs.back() - front.verdictMs.at(ports - 1)) / 3.6e6;
    return static_cast<double>(front.verdictMs.size() - ports) / hours;
}

}  // namespace

int main() {
    std::printf("Station, 128 KiB, %u boards per port, virtual time: boards per hour sustained\n"
                "(verdict to verdict, after each port's first board)\n",
                kBoardsPerPort);
    std::printf("%-5s %-16s %-27s %8s %8s %8s %14s\n", "bus", "controllers", "boards", "1 port",
                "4 ports", "8 ports", "8 / 1 (>= 6.5)");
    for (const auto& model : {qv::sim::kHighSpeedModel, qv::sim::kFullSpeedModel}) {
        for (const bool perPort : {false, true}) {
            for (const bool changedOnly : {false, true}) {
                const Setup setup{model, perPort, changedOnly};
                const double one = BoardsPerHour(1, setup);
                const double four = BoardsPerHour(4, setup);
                const double eight = BoardsPerHour(8, setup);
                std::printf("%-5s %-16s %-27s %8.0f %8.0f %8.0f %14.2f\n",
                            model.speed == qv::sim::UsbSpeed::High ? "high" : "full",
                            perPort ? "one per port" : "one for all",
                            changedOnly ? "--changed-only, same image" : "sequence, erased", one,
                            four, eight, eight / one);
            }
        }
    }
}
