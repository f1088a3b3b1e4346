#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/host/DeviceHost.h"

// A stand-in operating system that records every I/O control byte for byte, so the records
// the device object builds can be compared with what the drivers expect.
class RecordingHost : public qv::DeviceHost {
public:
    struct Call {
        qv::HostHandle handle;
        std::uint32_t code;
        std::vector<std::uint8_t> input;
        std::size_t outputSize;
        const std::uint8_t* outputAddress;
    };

    std::vector<Call> calls;
    std::vector<std::string> paths = {"\\\\?\\usb#vid_4d17&pid_6000#1-1#{x}"};
    bool ioResult = true;
    std::uint8_t fillByte = 0x5A;  // what a "device" writes into an output buffer
    int openCount = 0;
    std::vector<qv::HostHandle> closed;

    std::optional<std::vector<std::string>> ListInterfaces(const qv::Guid&) override {
        return paths;
    }
    qv::HostHandle OpenPath(const std::string& path) override {
        return path.empty() ? qv::kNoHandle : ++openCount;
    }
    void ClosePath(qv::HostHandle handle) override { closed.push_back(handle); }
    bool IoControl(qv::HostHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output, std::uint32_t& returned) override {
        calls.push_back({handle, code, {input.begin(), input.end()}, output.size(), output.data()});
        for (auto& byte : output) byte = fillByte;
        returned = static_cast<std::uint32_t>(output.size());
        return ioResult;
    }
    IoFailure LastIoControlFailure() const override { return IoFailure::Refused; }
    bool LastOpenDenied() const override { return false; }
    void Sleep(std::uint32_t) override {}
    std::uint64_t NowMs() override { return 0; }
};
