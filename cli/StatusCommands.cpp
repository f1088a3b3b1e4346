#include "cli/StatusCommands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "chip/HidKeys.h"
#include "chip/PlaybackStatus.h"
#include "cli/CliErrors.h"
#include "cli/DryRun.h"
#include "cli/JobOutcome.h"
#include "cli/NearestName.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

// In the order of the key codes' buttons.
constexpr std::array<std::string_view, 5> kHidKeyNames{"prev", "vol-", "play", "vol+", "next"};

// The index of a key by its name, in kHidKeyNames and HidKeyCodes.
std::size_t HidKeyIndex(const std::string& name) {
    const auto found = std::ranges::find(kHidKeyNames, name);
    if (found != kHidKeyNames.end()) return static_cast<std::size_t>(found - kHidKeyNames.begin());
    const std::vector<std::string> names(kHidKeyNames.begin(), kHidKeyNames.end());
    throw BadInput("'" + name + "' is not a key; the keys are: " + JoinedNames(names) +
                   DidYouMean(name, names));
}

void RunHidKey(const GlobalOptions& options, const std::string& name) {
    const std::uint8_t code = HidKeyCodes.at(HidKeyIndex(name));
    const auto planned = [&] {
        Plan plan;
        plan.Step("hid_key", "Send the media key " + name + " (code 0x" + Hex2(code) + ")")
            .Add("key", name)
            .Add("code", "0x" + Hex2(code));
        return plan;
    };
    Perform(options, planned, [&](Session& session) {
        session.RequireDevice();
        RequireDone(session.Device(), SendHidKey(session.Device(), code),
                    "The chip did not take the key");
    });
}

}  // namespace

void RunStatus(Session& session, std::ostream& out) {
    session.RequireDevice();
    DeviceStatus status;
    RequireDone(session.Device(), ReadDeviceStatus(session.Device(), status),
                "The status registers could not be read");
    const StatusLabels labels = DescribeStatus(status);
    out << "Connection: " << labels.connection << "\n";
    if (labels.muteEnabled) out << "Mute: " << *labels.mute << "\n";
    if (labels.streamEnabled)
        out << "Format: " << *labels.format << "\nRate: " << *labels.rate << "\n";
}

void AddStatusCommands(CLI::App& app, const GlobalOptions& options) {
    app.add_subcommand("status", "Playback status: connection, mute, format, rate")
        ->callback([&options] {
            WithSession(options, [&](Session& session) { RunStatus(session, std::cout); });
        });

    auto* hid = app.add_subcommand("hid", "Send one media key: prev, vol-, play, vol+ or next");
    auto key = std::make_shared<std::string>();
    hid->add_option("key", *key, "prev|vol-|play|vol+|next")->required();
    hid->callback([&options, key] { RunHidKey(options, *key); });
}

}  // namespace qv::cli
