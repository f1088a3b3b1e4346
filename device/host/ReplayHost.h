#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "device/host/DeviceHost.h"
#include "device/host/DriverCall.h"
#include "device/host/TraceFile.h"

namespace qv {

// A host with one device that answers from a recorded trace: the device's interface path and
// carrier come from the trace's "# device:" line, and each I/O control is checked against the
// next recorded line and answered as recorded (an IN returns the recorded bytes, a FAIL line
// fails the transfer). A transfer that differs from the recording stops the replay; after the
// last line the device vanishes, as when a board is unplugged. Time is virtual: it advances by
// the waits asked for and by a bus time per transfer, as on the simulator.
class ReplayHost : public DeviceHost {
public:
    using StopHandler = std::function<void(const std::string& problem)>;

    // The trace must name its device (see DevicePathOf).
    explicit ReplayHost(TraceFile trace, StopHandler onStop = {});

    // The recorded device's interface path; empty when the trace names none.
    static std::string DevicePathOf(const TraceFile& trace);

    // "replay diverged at line N: sent ..., recorded ..." once a transfer differed (each side
    // as EchoedText shows it: printable and at most kMaxEchoedLength characters); else empty.
    std::string Divergence() const;
    // When the tool asked for more than the trace holds (a transfer or an open after its last
    // line): "the trace ended at line N, where the board was unplugged"; else empty. A session
    // that succeeded all the same is no success of the recorded one.
    std::string EndedEarly() const;

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    // A transfer after the trace's end or a divergence found no device; a recorded FAIL line
    // is a refusal (a time-out is recorded as a plain FAIL).
    IoFailure LastIoControlFailure() const override;
    // A recording is never denied: its device is there or it is not.
    bool LastOpenDenied() const override { return false; }
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;

private:
    bool Gone() const { return vanished_ || !divergence_.empty(); }
    bool Answer(const DriverCall& call, std::span<std::uint8_t> output,
                std::uint32_t& bytesReturned);
    void Diverge(const std::string& sent, const RecordedTransfer& recorded);

    TraceFile trace_;
    std::string path_;
    Guid interfaceClass_;
    StopHandler onStop_;
    mutable std::mutex mutex_;
    std::size_t next_ = 0;   // the next recorded transfer to answer
    bool vanished_ = false;  // the trace has ended
    std::string divergence_;
    std::uint64_t nowUs_ = 0;
    HostHandle nextHandle_ = 1;
};

}  // namespace qv
