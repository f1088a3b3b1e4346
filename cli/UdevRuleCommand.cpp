#include "cli/UdevRuleCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/HexArguments.h"

namespace qv::cli {
namespace {

// Four lower-case hexadecimal digits, as udev's idVendor and idProduct attributes read.
std::string Hex4Lower(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

struct UdevRuleArguments {
    std::string vid;  // empty: the global --vid
    std::string pid;  // empty: the global --pid
};

}  // namespace

std::string UdevRuleText(std::uint16_t vid, std::uint16_t pid) {
    const std::string vidText = Hex4Lower(vid);
    const std::string pidText = Hex4Lower(pid);
    return "# Quorvex USB audio bridge " + vidText + ":" + pidText +
           ": the logged-in desktop user (uaccess) and the plugdev group may use it.\n"
           "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"" +
           vidText + "\", ATTR{idProduct}==\"" + pidText +
           "\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"\n";
}

void AddUdevRuleCommand(CLI::App& app, const GlobalOptions& options) {
    auto* command = app.add_subcommand(
        "udev-rule", "Print a udev rule that gives users the device VID:PID (needs no device)");
    auto args = std::make_shared<UdevRuleArguments>();
    command
        ->add_option("--vid", args->vid,
                     "VID of the device (hexadecimal; default the global --vid)")
        ->type_name("HEX");
    command
        ->add_option("--pid", args->pid,
                     "PID of the device (hexadecimal; default the global --pid)")
        ->type_name("HEX");
    command->callback([&options, args] {
        const std::string vid = args->vid.empty() ? options.vid : args->vid;
        const std::string pid = args->pid.empty() ? options.pid : args->pid;
        std::cout << UdevRuleText(
            static_cast<std::uint16_t>(ParseHexArgument("--vid", vid, 0xFFFF)),
            static_cast<std::uint16_t>(ParseHexArgument("--pid", pid, 0xFFFF)));
    });
}

}  // namespace qv::cli
