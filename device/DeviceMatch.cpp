#include "device/DeviceMatch.h"

namespace qv {

std::string MakeDeviceMatch(const std::string& vidText, const std::string& pidText) {
    return "vid_" + vidText + "&pid_" + pidText;
}

std::string FoldToLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    }
    return text;
}

std::array<DeviceSearch, 3> SearchOrder(const std::string& userDeviceMatch) {
    return {{{true, userDeviceMatch}, {false, "vid_6b94&pid_6000"}, {false, "vid_4d17&pid_6000"}}};
}

}  // namespace qv
