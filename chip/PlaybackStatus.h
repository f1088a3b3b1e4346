#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "device/QuorvexUsb.h"

namespace qv {

// What the chip reports about the stream it plays: registers 0xA4 to 0xA6 of bank 0.
struct DeviceStatus {
    std::uint8_t rateCode = 0;    // bits 0-3: index into RateLabels; bits 4-7 unused
    std::uint8_t secondByte = 0;  // read with the others, not used
    std::uint8_t flags = 0;       // bit 0 USB connected, bit 1 DSD (native or DoP), bit 2 muted
};

// Opens the device, selects bank 0, reads the three registers in address order and closes the
// device. status is written only when every request went through (Done); else the first reply
// that did not, after which nothing more is sent.
Reply ReadDeviceStatus(QuorvexUsb& device, DeviceStatus& status);

inline constexpr std::string_view UsbConnectedText{"USB connected"};
inline constexpr std::string_view UsbDisconnectedText{"USB Disconnected"};
inline constexpr std::string_view PlayingText{"Playing"};
inline constexpr std::string_view MuteText{"Mute"};
inline constexpr std::string_view PcmText{"PCM"};
inline constexpr std::string_view DsdText{"DSD"};

// Input rate texts, each exactly eight characters: index = rate code for PCM, 16 + rate code
// for DSD (DoP at 16 to 19, native DSD at 24 to 27); codes without a rate show blanks.
inline constexpr std::string_view kNoRate{"        "};
// clang-format off
inline constexpr std::array<std::string_view, 32> RateLabels{
    " 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz", "  384KHz",
    "705.6KHz", "  768KHz", kNoRate,    kNoRate,    kNoRate,    kNoRate,    kNoRate,    kNoRate,
    " DoP  64", " DoP 128", " DoP 256", " DoP 512", kNoRate,    kNoRate,    kNoRate,    kNoRate,
    " DSD  64", " DSD 128", " DSD 256", " DSD 512", kNoRate,    kNoRate,    kNoRate,    kNoRate};
// clang-format on
static_assert(std::ranges::all_of(RateLabels,
                                  [](std::string_view text) { return text.size() == 8; }));

// How the status shows on the Information page. A text that is absent leaves its label's
// text as it was; a disabled label is greyed.
struct StatusLabels {
    std::string_view connection;           // the connection label, always set
    bool muteEnabled = false;              // the mute label
    std::optional<std::string_view> mute;  // its new text
    bool streamEnabled = false;            // the format and rate labels and their captions
    std::optional<std::string_view> format;
    std::optional<std::string_view> rate;
};

StatusLabels DescribeStatus(const DeviceStatus& status);

}  // namespace qv
