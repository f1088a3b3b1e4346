// Parses any byte sequence as a device interface path (a trace's "# device:" line, a listing
// of the system, a --device argument end up here) and checks that a path is accepted only in
// the one form it is written in. Then builds a path from fields taken from the same input and
// checks that its text parses back to those fields.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "device/Guid.h"
#include "device/host/InterfacePath.h"
#include "fuzz/Require.h"

namespace {

using qv::fuzz::Require;

bool SameFields(const qv::InterfacePath& a, const qv::InterfacePath& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.interfaceNumber == b.interfaceNumber && a.location == b.location &&
           a.interfaceClass == b.interfaceClass;
}

void CheckParsed(const std::string& text) {
    const auto path = qv::InterfacePath::Parse(text);
    if (!path) {
        Require(qv::SelectorOf(text) == text, "a text that is no path is its own selector");
        return;
    }
    Require(path->Text() == text, "a path is accepted only as it is written");
    Require(!path->location.empty(), "a path names its bus and ports");
    Require(path->interfaceClass == qv::kUsbDeviceInterfaceClass ||
                path->interfaceClass == qv::kAudioInterfaceClass,
            "a path is of one of the two classes");
    Require(qv::SelectorOf(text) == path->location, "a path's selector is its bus and ports");
}

void CheckBuilt(FuzzedDataProvider& input) {
    qv::InterfacePath path;
    path.vendorId = input.ConsumeIntegral<std::uint16_t>();
    path.productId = input.ConsumeIntegral<std::uint16_t>();
    if (input.ConsumeBool()) path.interfaceNumber = input.ConsumeIntegral<std::uint8_t>();
    path.interfaceClass =
        input.ConsumeBool() ? qv::kAudioInterfaceClass : qv::kUsbDeviceInterfaceClass;
    path.location = input.ConsumeRemainingBytesAsString();
    const auto parsed = qv::InterfacePath::Parse(path.Text());
    if (path.location.empty()) {
        Require(!parsed, "a path without bus and ports is refused");
        return;
    }
    Require(parsed.has_value(), "a path as the hosts write it parses");
    Require(SameFields(*parsed, path), "a path parses back to its fields");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckParsed(std::string(reinterpret_cast<const char*>(data), size));
    FuzzedDataProvider input(data, size);
    CheckBuilt(input);
    return 0;
}
