#include "fuzz/FuzzedHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "fuzz/Require.h"

namespace qv::fuzz {

namespace {

constexpr int kMaxListedInterfaces = 4;
constexpr std::size_t kMaxRandomPathLength = 64;

}  // namespace

FuzzedHost::FuzzedHost(const std::uint8_t* data, std::size_t size)
    : data_(data), size_(size), input_(std::in_place, data, size) {}

FuzzedDataProvider& FuzzedHost::Input() {
    if (input_->remaining_bytes() == 0) input_.emplace(data_, size_);
    return *input_;
}

void FuzzedHost::Fill(std::span<std::uint8_t> bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const auto chunk = Input().ConsumeBytes<std::uint8_t>(bytes.size() - filled);
        if (chunk.empty()) return;  // an empty input: leave the rest as it is
        std::copy(chunk.begin(), chunk.end(), bytes.begin() + filled);
        filled += chunk.size();
    }
}

void FuzzedHost::BeginOperation(const char* name) {
    operation_ = name;
    operationIoControls_ = 0;
    operationWaitMs_ = 0;
    lastSetup_.reset();
    lastOutData_.clear();
}

void FuzzedHost::CountWork(std::uint64_t ioControls, std::uint64_t waitMs) {
    operationIoControls_ += ioControls;
    operationWaitMs_ += waitMs;
    if (operationIoControls_ <= kIoControlBudget && operationWaitMs_ <= kWaitBudgetMs) return;
    std::fprintf(stderr, "%s overran its budget: %llu I/O controls, %llu ms of waiting\n",
                 operation_, static_cast<unsigned long long>(operationIoControls_),
                 static_cast<unsigned long long>(operationWaitMs_));
    std::abort();
}

// The user's device on the audio carrier, a firmware-update device on the generic one, a
// path of any text, or an empty one.
std::string FuzzedHost::InterfacePathFor(const Guid& interfaceClass) {
    switch (Input().ConsumeIntegralInRange(0, 3)) {
        case 0:
            return "\\\\?\\usb#vid_6b94&pid_f82d&mi_00#1-2#" + interfaceClass.PathText();
        case 1:
            return "\\\\?\\usb#vid_4d17&pid_6000#1-1#" + interfaceClass.PathText();
        case 2:
            return Input().ConsumeRandomLengthString(kMaxRandomPathLength);
        default:
            return {};
    }
}

std::optional<std::vector<std::string>> FuzzedHost::ListInterfaces(const Guid& interfaceClass) {
    if (Input().ConsumeIntegralInRange(0, 7) == 0) return std::nullopt;
    std::vector<std::string> paths(Input().ConsumeIntegralInRange(0, kMaxListedInterfaces));
    for (std::string& path : paths) path = InterfacePathFor(interfaceClass);
    return paths;
}

HostHandle FuzzedHost::OpenPath(const std::string&) {
    if (Input().ConsumeIntegralInRange(0, 7) == 0) return kNoHandle;
    open_.insert(nextHandle_);
    return nextHandle_++;
}

void FuzzedHost::ClosePath(HostHandle handle) {
    Require(open_.erase(handle) == 1, "only an open handle is closed");
}

bool FuzzedHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                           std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                           std::uint32_t& bytesReturned) {
    Require(open_.contains(handle), "an I/O control goes to an open handle");
    CountWork(1, 0);
    const DriverCall call = DecodeDriverCall(controlCode, input, output);
    Require(call.kind != DriverCall::Kind::Rejected, "every record is one the drivers accept");
    const bool succeeded = Input().ConsumeBool();
    bytesReturned = Input().ConsumeIntegral<std::uint32_t>();  // callers must not rely on it
    if (call.kind != DriverCall::Kind::Transfer) return succeeded;
    lastSetup_ = call.setup;
    lastOutData_ = call.outData;
    if (call.setup.IsDeviceToHost()) {
        // A failed transfer may still have delivered part of its data.
        const std::size_t length = std::min<std::size_t>(output.size(), call.setup.length);
        const std::size_t delivered =
            succeeded ? length : Input().ConsumeIntegralInRange<std::size_t>(0, length);
        Fill(output.first(delivered));
    }
    return succeeded;
}

void FuzzedHost::Sleep(std::uint32_t milliseconds) {
    nowMs_ += milliseconds;
    CountWork(0, milliseconds);
}

}  // namespace qv::fuzz
