#include "device/host/TracingHost.h"

#include <algorithm>

#include "device/host/DriverCall.h"
#include "device/host/TraceFormat.h"

namespace qv {

TracingHost::TracingHost(DeviceHost& inner, LineWriter writeLine)
    : inner_(inner), writeLine_(std::move(writeLine)) {}

std::optional<std::vector<std::string>> TracingHost::ListInterfaces(const Guid& interfaceClass) {
    return inner_.ListInterfaces(interfaceClass);
}

HostHandle TracingHost::OpenPath(const std::string& path) {
    const HostHandle handle = inner_.OpenPath(path);
    if (handle == kNoHandle || !nameDevices_ || (active_ && !active_())) return handle;
    std::lock_guard lock(mutex_);
    if (namedPaths_.insert(path).second) writeLine_(FormatDeviceLine(path));
    return handle;
}
bool TracingHost::LastOpenDenied() const { return inner_.LastOpenDenied(); }
void TracingHost::ClosePath(HostHandle handle) { inner_.ClosePath(handle); }
DeviceHost::IoFailure TracingHost::LastIoControlFailure() const {
    return inner_.LastIoControlFailure();
}
void TracingHost::Sleep(std::uint32_t milliseconds) { inner_.Sleep(milliseconds); }
std::uint64_t TracingHost::NowMs() { return inner_.NowMs(); }

bool TracingHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                            std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                            std::uint32_t& bytesReturned) {
    const DriverCall call = DecodeDriverCall(controlCode, input, output);
    const bool ok = inner_.IoControl(handle, controlCode, input, output, bytesReturned);
    if (call.kind == DriverCall::Kind::Rejected || (active_ && !active_())) return ok;
    std::lock_guard lock(mutex_);
    if (call.kind == DriverCall::Kind::SupportQuery) {
        writeLine_(FormatProbeLine(++seq_, ok));
    } else if (call.setup.IsDeviceToHost()) {
        const auto count = std::min<std::size_t>(bytesReturned, output.size());
        writeLine_(FormatTransferLine(++seq_, call.carrier, call.setup, ok, output.first(count)));
    } else {
        writeLine_(FormatTransferLine(++seq_, call.carrier, call.setup, ok, call.outData));
    }
    return ok;
}

}  // namespace qv
