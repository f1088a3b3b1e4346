#include "device/host/ReplayHost.h"

#include <algorithm>

#include "common/HexFormat.h"
#include "device/host/DriverCall.h"
#include "device/host/InterfacePath.h"

namespace qv {
namespace {

// The simulator's bus time of one transfer, so that a trace recorded there replays on the
// same clock.
constexpr std::uint64_t kTransferUs = 125;

// What the tool asked for, in the trace's fields up to the length (and the data of an OUT).
std::string DescribeSent(const DriverCall& call) {
    const char carrier = call.carrier == Carrier::KsProperty ? 'K' : 'D';
    if (call.kind == DriverCall::Kind::SupportQuery) return std::string(1, carrier) + " PROBE";
    const ControlSetup& s = call.setup;
    std::string text = std::string(1, carrier) + (s.IsDeviceToHost() ? " IN " : " OUT ") +
                       Hex2(s.requestType) + " " + Hex2(s.request) + " " + Hex4(s.value) + " " +
                       Hex4(s.index) + " " + std::to_string(s.length);
    if (!s.IsDeviceToHost()) {
        text += " ";
        if (call.outData.empty()) text += "-";
        for (std::uint8_t byte : call.outData) text += Hex2(byte);
    }
    return text;
}

bool SameRequest(const DriverCall& call, const RecordedTransfer& recorded) {
    if (call.kind == DriverCall::Kind::SupportQuery) return recorded.probe;
    if (recorded.probe || recorded.carrier != call.carrier) return false;
    const ControlSetup& a = call.setup;
    const ControlSetup& b = recorded.setup;
    if (a.requestType != b.requestType || a.request != b.request || a.value != b.value ||
        a.index != b.index || a.length != b.length)
        return false;
    // A failed OUT is recorded without its data.
    return a.IsDeviceToHost() || !recorded.ok || call.outData == recorded.data;
}

}  // namespace

std::string ReplayHost::DevicePathOf(const TraceFile& trace) {
    const auto device = trace.comments.find("device");
    return device == trace.comments.end() ? std::string() : device->second;
}

ReplayHost::ReplayHost(TraceFile trace, StopHandler onStop)
    : trace_(std::move(trace)), path_(DevicePathOf(trace_)), onStop_(std::move(onStop)) {
    const auto parsed = InterfacePath::Parse(path_);
    interfaceClass_ = parsed ? parsed->interfaceClass : kUsbDeviceInterfaceClass;
}

std::string ReplayHost::Divergence() const {
    std::lock_guard lock(mutex_);
    return divergence_;
}

std::string ReplayHost::EndedEarly() const {
    std::lock_guard lock(mutex_);
    if (!vanished_) return {};
    const std::size_t last = trace_.transfers.empty() ? 0 : trace_.transfers.back().lineNumber;
    return "the trace ended at line " + std::to_string(last) + ", where the board was unplugged";
}

std::optional<std::vector<std::string>> ReplayHost::ListInterfaces(const Guid& interfaceClass) {
    std::lock_guard lock(mutex_);
    if (Gone() || path_.empty() || interfaceClass != interfaceClass_)
        return std::vector<std::string>{};
    return std::vector<std::string>{path_};
}

HostHandle ReplayHost::OpenPath(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (next_ == trace_.transfers.size()) vanished_ = true;
    if (Gone() || path.empty() || path != path_) return kNoHandle;
    return nextHandle_++;
}

void ReplayHost::ClosePath(HostHandle) {}

bool ReplayHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                           std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                           std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    const DriverCall call = DecodeDriverCall(controlCode, input, output);
    StopHandler stop;
    std::string problem;
    bool ok = false;
    {
        std::lock_guard lock(mutex_);
        // A record the drivers refuse never reaches the wire, so it is not in the trace.
        if (handle == kNoHandle || handle >= nextHandle_ || Gone() ||
            call.kind == DriverCall::Kind::Rejected)
            return false;
        if (call.kind == DriverCall::Kind::Transfer) nowUs_ += kTransferUs;
        ok = Answer(call, output, bytesReturned);
        if (!divergence_.empty()) {
            stop = onStop_;
            problem = divergence_;
        }
    }
    if (stop) stop(problem);
    return ok;
}

bool ReplayHost::Answer(const DriverCall& call, std::span<std::uint8_t> output,
                        std::uint32_t& bytesReturned) {
    if (next_ == trace_.transfers.size()) {
        vanished_ = true;  // the recording ends here: the board is gone
        return false;
    }
    const RecordedTransfer& recorded = trace_.transfers[next_];
    if (!SameRequest(call, recorded)) {
        Diverge(DescribeSent(call), recorded);
        return false;
    }
    ++next_;
    if (!recorded.ok || call.kind == DriverCall::Kind::SupportQuery) return recorded.ok;
    if (call.setup.IsDeviceToHost()) {
        const std::size_t count = std::min(recorded.data.size(), output.size());
        std::copy_n(recorded.data.begin(), count, output.begin());
        bytesReturned = static_cast<std::uint32_t>(count);
    } else {
        bytesReturned = call.setup.length;
    }
    return true;
}

void ReplayHost::Diverge(const std::string& sent, const RecordedTransfer& recorded) {
    // Both sides are shortened and made printable: the recorded line comes from the trace, and
    // what was sent may hold a whole page of data.
    divergence_ = "replay diverged at line " + std::to_string(recorded.lineNumber) + ": sent " +
                  EchoedText(sent) + ", recorded " + EchoedText(recorded.text);
}

DeviceHost::IoFailure ReplayHost::LastIoControlFailure() const {
    std::lock_guard lock(mutex_);
    return Gone() ? IoFailure::Gone : IoFailure::Refused;
}

void ReplayHost::Sleep(std::uint32_t milliseconds) {
    std::lock_guard lock(mutex_);
    nowUs_ += std::uint64_t{milliseconds} * 1000;
}

std::uint64_t ReplayHost::NowMs() {
    std::lock_guard lock(mutex_);
    return nowUs_ / 1000;
}

}  // namespace qv
