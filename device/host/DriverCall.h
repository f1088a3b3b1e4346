#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

enum class Carrier { DirectUsb, KsProperty };

// The setup stage of one control transfer on endpoint 0, as the device receives it.
struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint32_t length = 0;

    bool IsDeviceToHost() const { return (requestType & 0x80) != 0; }
};

// What a driver makes of one I/O control: a control transfer, the audio driver's question
// whether it supports the vendor property set, or a call it refuses.
struct DriverCall {
    enum class Kind { Rejected, SupportQuery, Transfer };

    Kind kind = Kind::Rejected;
    Carrier carrier = Carrier::DirectUsb;
    ControlSetup setup;
    std::vector<std::uint8_t> outData;  // the data stage of a host-to-device transfer
};

// Decodes an I/O control by the rules the two kernel drivers follow. Used by every host that
// stands in for the drivers, so the records reach the device the same way everywhere.
//  - vendor driver: a 24-byte setup record; the output buffer is the data stage in both
//    directions, its size the transfer length; the control code gives the direction and must
//    agree with bit 7 of the request type.
//  - audio driver: the vendor property set only; id 7 GET or SET carries a request whose type
//    on the wire is 0x20 (0xA0 for a GET), data length at offset 36, the data of a SET copied
//    at offset 40; a GET needs an output buffer of that length.
DriverCall DecodeDriverCall(std::uint32_t controlCode, std::span<const std::uint8_t> input,
                            std::span<const std::uint8_t> output);

}  // namespace qv
