// A fixture with the simulated user's device found on the audio carrier and the trace kept,
// and the trace lines (without their sequence numbers) of the register requests it expects.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/HexFormat.h"
#include "device/DeviceMatch.h"
#include "device/QuorvexUsb.h"
#include "sim/SimHost.h"

namespace params_test {

using Lines = std::vector<std::string>;

inline std::string Write(std::uint8_t address, std::uint8_t value) {
    return "K OUT 20 90 0000 00" + qv::Hex2(address) + " 1 OK " + qv::Hex2(value);
}

inline std::string Read(std::uint8_t address, std::uint8_t value) {
    return "K IN A0 91 0000 00" + qv::Hex2(address) + " 1 OK " + qv::Hex2(value);
}

// One parameter write the firmware answers at the first poll.
inline Lines ParameterWrite(std::uint8_t selector, std::uint8_t offset,
                            std::initializer_list<std::uint8_t> data) {
    Lines lines{Write(0x00, 0x00)};
    std::uint8_t address = 0x93;
    for (std::uint8_t byte : data) lines.push_back(Write(address++, byte));
    lines.insert(lines.end(), {Write(0x91, selector), Write(0x92, offset), Write(0x90, 0x10),
                               Read(0x90, 0xEE), Write(0x90, 0x00)});
    return lines;
}

inline Lines Concatenated(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class SimDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.SetKsMode(true);
        device.SetMatchText(qv::MakeDeviceMatch("6b94", "f82d"));
        ASSERT_TRUE(device.FindDevice());
        host.GetTrace().KeepLines(true);
        host.SetTransferLatencyUs(0);
        Restart();
    }

    Lines Requests() const {
        Lines lines;
        for (const std::string& line : host.GetTrace().Lines())
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
    // Virtual time since SetUp or the last Restart; without bus time per transfer, so that the
    // waits alone make it.
    std::uint64_t ElapsedMs() const { return (host.Clock().NowUs() - startUs) / 1000; }
    void Restart() {
        host.GetTrace().ClearLines();
        startUs = host.Clock().NowUs();
    }

    mutable qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip = host.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device{host};
    std::uint64_t startUs = 0;
};

}  // namespace params_test
