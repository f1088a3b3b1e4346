#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/Guid.h"

namespace qv {

// A device interface path in the Windows form, lower case:
//   \\?\usb#vid_6b94&pid_f82d#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}   (generic class)
//   \\?\usb#vid_6b94&pid_f82d&mi_00#1-2#{50894fa4-9206-4a91-8728-cf6f268f271d}  (an interface)
// so the same "vid_xxxx&pid_yyyy" matching works on every host.
struct InterfacePath {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::optional<std::uint8_t> interfaceNumber;
    std::string location;  // bus and port chain, e.g. "1-2.4"
    Guid interfaceClass;

    std::string Text() const;
    static std::optional<InterfacePath> Parse(const std::string& text);
};

// The short name a user picks a device by: the bus and port chain of its interface path, stable
// while the device stays plugged in; the path itself when it has another form.
std::string SelectorOf(const std::string& path);

}  // namespace qv
