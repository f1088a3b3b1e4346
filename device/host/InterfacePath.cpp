#include "device/host/InterfacePath.h"

#include <cstdio>

namespace qv {

std::string InterfacePath::Text() const {
    char ids[40];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
    std::string text = std::string("\\\\?\\usb#") + ids;
    if (interfaceNumber) {
        char mi[8];
        std::snprintf(mi, sizeof mi, "&mi_%02x", *interfaceNumber);
        text += mi;
    }
    return text + "#" + location + "#" + interfaceClass.PathText();
}

std::optional<InterfacePath> InterfacePath::Parse(const std::string& text) {
    for (const Guid& cls : {kUsbDeviceInterfaceClass, kAudioInterfaceClass}) {
        for (bool withInterface : {false, true}) {
            InterfacePath path;
            path.interfaceClass = cls;
            if (withInterface) path.interfaceNumber = 0;
            unsigned vid = 0, pid = 0, mi = 0;
            int consumed = 0;
            const int fields =
                withInterface ? std::sscanf(text.c_str(), "\\\\?\\usb#vid_%4x&pid_%4x&mi_%2x#%n",
                                            &vid, &pid, &mi, &consumed)
                              : std::sscanf(text.c_str(), "\\\\?\\usb#vid_%4x&pid_%4x#%n", &vid,
                                            &pid, &consumed);
            if (fields != (withInterface ? 3 : 2) || consumed == 0) continue;
            const std::string rest = text.substr(static_cast<std::size_t>(consumed));
            const std::string suffix = "#" + cls.PathText();
            if (rest.size() <= suffix.size() ||
                rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            path.vendorId = static_cast<std::uint16_t>(vid);
            path.productId = static_cast<std::uint16_t>(pid);
            if (withInterface) path.interfaceNumber = static_cast<std::uint8_t>(mi);
            path.location = rest.substr(0, rest.size() - suffix.size());
            if (path.Text() == text) return path;
        }
    }
    return std::nullopt;
}

std::string SelectorOf(const std::string& path) {
    const auto parsed = InterfacePath::Parse(path);
    return parsed && !parsed->location.empty() ? parsed->location : path;
}

}  // namespace qv
