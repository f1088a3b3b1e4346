#pragma once

#include "device/host/DeviceHost.h"

// Passes everything to another host and counts how often a device interface is opened and
// closed, so a test can see device use that sends no request.
class CountingHost : public qv::DeviceHost {
public:
    explicit CountingHost(qv::DeviceHost& inner) : inner_(inner) {}

    int opens = 0;
    int closes = 0;

    std::optional<std::vector<std::string>> ListInterfaces(const qv::Guid& cls) override {
        return inner_.ListInterfaces(cls);
    }
    qv::HostHandle OpenPath(const std::string& path) override {
        ++opens;
        return inner_.OpenPath(path);
    }
    void ClosePath(qv::HostHandle handle) override {
        ++closes;
        inner_.ClosePath(handle);
    }
    bool IoControl(qv::HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override {
        return inner_.IoControl(handle, controlCode, input, output, bytesReturned);
    }
    IoFailure LastIoControlFailure() const override { return inner_.LastIoControlFailure(); }
    bool LastOpenDenied() const override { return inner_.LastOpenDenied(); }
    void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
    std::uint64_t NowMs() override { return inner_.NowMs(); }

private:
    qv::DeviceHost& inner_;
};
