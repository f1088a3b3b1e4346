#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "device/Guid.h"

namespace qv::cli {

static void ListClass(DeviceHost& host, const char* title, const Guid& interfaceClass,
                      std::ostream& out) {
    out << title << " " << interfaceClass.PathText() << ":\n";
    const auto paths = host.ListInterfaces(interfaceClass);
    if (!paths) {
        out << "  (the interfaces cannot be obtained)\n";
        return;
    }
    if (paths->empty()) out << "  (none)\n";
    for (const std::string& path : *paths) out << "  " << path << "\n";
}

void RunList(Session& session, std::ostream& out) {
    ListClass(session.Host(), "Audio interfaces", kAudioInterfaceClass, out);
    ListClass(session.Host(), "USB device interfaces", kUsbDeviceInterfaceClass, out);
    const FoundDevice found = session.RequireDevice();
    QuorvexUsb& device = session.Device();
    out << "Chosen: " << device.GetDevicePath() << " ("
        << (device.GetKsMode() ? "audio driver carrier, " : "USB driver carrier, ")
        << (found == FoundDevice::UserDevice ? "user's device" : "firmware update device") << ")\n";
}

void AddListCommand(CLI::App& app, const GlobalOptions& options) {
    app.add_subcommand("list", "Present interfaces of both classes, and the one chosen")
        ->callback([&options] {
            WithSession(options, [&](Session& session) { RunList(session, std::cout); });
        });
}

}  // namespace qv::cli
