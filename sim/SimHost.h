#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/host/DeviceHost.h"
#include "device/host/TracingHost.h"
#include "sim/SimChip.h"
#include "sim/SimClock.h"
#include "sim/TransferModel.h"
#include "sim/Trace.h"

namespace qv::sim {

// The board series of a bus no station name was given for: "QV" begins every unique ID.
inline constexpr std::uint8_t kDefaultBoardSeries = 'V';

// A simulated USB bus standing in for the operating system and both kernel drivers. Devices
// can be attached and detached at any time; I/O controls are decoded by the drivers' rules and
// reach the simulated firmware. Every transfer goes through a TracingHost into the trace, so
// the simulator's trace and a trace of real USB are written by the same code.
class SimHost : public DeviceHost {
public:
    explicit SimHost(SimClock::Mode clockMode = SimClock::Mode::Virtual);
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    SimClock& Clock() { return clock_; }
    // The series the unique IDs of the boards plugged in from now on carry (their second byte):
    // the boards of two simulated stations differ, as real boards do.
    void SetBoardSeries(std::uint8_t series) { series_ = series; }
    // A station's series, from its name.
    static std::uint8_t BoardSeries(std::string_view stationName);
    Trace& GetTrace() { return trace_; }

    // Creates a chip with the given identity and plugs it in.
    std::shared_ptr<SimChip> AttachNew(const SimIdentity& identity);
    void Attach(std::shared_ptr<SimChip> chip);
    void Detach(const SimChip& chip);
    bool IsAttached(const SimChip& chip) const;
    // Unplugs the chip right after it has received this many more transfers.
    void DetachAfterTransfers(const SimChip& chip, std::uint64_t transfers);
    // A simulated operator at a production station: a board whose run has ended (it has left ISP
    // mode) is unplugged a second later, and after a short delay a fresh board
    // (erased flash, the default identity) goes into the same port, until each port has seen
    // `boardsPerPort` boards. `prepare` runs on every new board, with its port (to arm its
    // faults anew).
    using BoardPreparation = std::function<void(SimChip& chip, const std::string& location)>;
    void ReplugBoards(unsigned boardsPerPort, BoardPreparation prepare);
    // While set, the set of interfaces cannot be obtained (as when the OS refuses).
    void SetListingFails(bool fails) { listingFails_ = fails; }

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    void ClosePath(HostHandle handle) override;
    std::string SerialNumber(const std::string& path) override;
    std::string SystemPath(const std::string& path) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    IoFailure LastIoControlFailure() const override;
    // The simulated devices are open to everyone.
    bool LastOpenDenied() const override { return false; }
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;
    std::uint64_t StartingPoint() override { return clock_.NowNs(); }
    void ContinueFrom(std::uint64_t startingPoint) override { clock_.ContinueFrom(startingPoint); }
    bool ThreadsKeepOwnTime() const override {
        return clock_.GetMode() == SimClock::Mode::Virtual;
    }

    std::size_t OpenHandleCount() const { return handles_.size(); }
    // Control transfers the simulated devices have received.
    std::uint64_t TransferCount() const { return transfers_; }
    // What a control transfer costs (TransferModel.h): by default a high-speed bus, one
    // transfer per microframe, so that requests sent back to back without pauses, such as
    // ready polls, still see time pass.
    void SetTransferModel(const TransferModel& model) { model_ = model; }
    const TransferModel& GetTransferModel() const { return model_; }
    // The host's turnaround alone, the rest of the model kept.
    void SetTransferLatencyUs(std::uint64_t latencyUs) { model_.turnaroundUs = latencyUs; }
    // Each board on a host controller of its own (no sharing of bus time), or all on one.
    void SetControllerPerBoard(bool own) { controllerPerBoard_ = own; }

private:
    struct Slot {
        std::shared_ptr<SimChip> chip;
        std::string location;
        std::optional<std::uint64_t> transfersLeft;  // unplugged when it reaches 0
        std::optional<std::uint64_t> leftIspAtUs;    // when the board's run ended
    };
    struct PendingBoard {
        std::string location;
        std::uint64_t plugAtUs;
    };
    // The bus without its trace, as the TracingHost in front of it sees it.
    class Wire : public DeviceHost {
    public:
        explicit Wire(SimHost& bus) : bus_(bus) {}
        std::optional<std::vector<std::string>> ListInterfaces(const Guid& cls) override {
            return bus_.ListInterfaces(cls);
        }
        HostHandle OpenPath(const std::string& path) override { return bus_.Open(path); }
        void ClosePath(HostHandle handle) override { bus_.ClosePath(handle); }
        bool IoControl(HostHandle handle, std::uint32_t controlCode,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t& bytesReturned) override {
            return bus_.Transfer(handle, controlCode, input, output, bytesReturned);
        }
        IoFailure LastIoControlFailure() const override { return bus_.LastIoControlFailure(); }
        bool LastOpenDenied() const override { return bus_.LastOpenDenied(); }
        void Sleep(std::uint32_t milliseconds) override { bus_.Sleep(milliseconds); }
        std::uint64_t NowMs() override { return bus_.NowMs(); }

    private:
        SimHost& bus_;
    };
    struct OpenInterface {
        const SimChip* chip;
        Carrier carrier;
    };

    HostHandle Open(const std::string& path);
    bool Transfer(HostHandle handle, std::uint32_t controlCode, std::span<const std::uint8_t> input,
                  std::span<std::uint8_t> output, std::uint32_t& bytesReturned);
    bool DeliverIoControl(HostHandle handle, std::uint32_t controlCode,
                          std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                          std::uint32_t& bytesReturned);
    std::vector<std::string> PathsOf(const Slot& slot, const Guid& interfaceClass) const;
    void RunOperator();
    // Boards with an open handle on the controller `chip` is on, `chip` included.
    unsigned BoardsOnBus(const SimChip& chip) const;
    // The time the last transfer on this thread cost, spent after the bus lock is released
    // when time is real.
    std::uint64_t TransferTimeNs(const SimChip& chip, const ControlSetup& setup, bool answered) const;
    bool Perform(SimChip& chip, const DriverCall& call, std::span<std::uint8_t> output,
                 std::uint32_t& bytesReturned);

    SimClock clock_;
    std::uint8_t series_ = kDefaultBoardSeries;
    Trace trace_;
    Wire wire_{*this};
    TracingHost tracer_;
    std::vector<Slot> slots_;
    int nextPort_ = 1;
    std::map<HostHandle, OpenInterface> handles_;
    HostHandle nextHandle_ = 1;
    bool listingFails_ = false;
    // Several threads may drive devices of this bus at once: one transfer at a time, as on a
    // real bus; sleeping does not hold the lock.
    mutable std::recursive_mutex mutex_;
    TransferModel model_ = kHighSpeedModel;
    bool controllerPerBoard_ = false;
    unsigned boardsPerPort_ = 0;  // 0: no operator
    BoardPreparation prepareBoard_;
    std::map<std::string, unsigned> boardsSeen_;  // per port
    std::vector<PendingBoard> pending_;
    std::uint64_t transfers_ = 0;
};

}  // namespace qv::sim
