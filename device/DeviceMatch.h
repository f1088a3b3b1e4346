#pragma once

#include <array>
#include <string>

namespace qv {

// "vid_" + VID text + "&pid_" + PID text, the texts kept as typed.
std::string MakeDeviceMatch(const std::string& vidText, const std::string& pidText);
// Replaces the ASCII capitals A to Z by their small letters; every other byte stays.
std::string FoldToLowerAscii(std::string text);

// One place a search looks: a carrier and the text an interface path must hold.
struct DeviceSearch {
    bool ksMode;  // the audio driver's carrier; otherwise the generic one
    std::string match;
};

// Where every search looks, in order: the user's device on the audio carrier, then the two
// firmware-update devices (product 6000), 6b94 and 4d17, on the generic carrier.
std::array<DeviceSearch, 3> SearchOrder(const std::string& userDeviceMatch);

}  // namespace qv
