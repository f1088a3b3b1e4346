#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/host/DeviceHost.h"
#include "isp/IspJobs.h"

namespace qv {

// One device to program: its interface and the carrier it is reached on.
struct GangTarget {
    bool ksMode = true;
    std::string path;
};

// How the automatic sequence ended on one device.
struct BoardResult {
    GangTarget target;
    JobResult result;
    std::array<std::uint8_t, 3> chipId{};  // the identification read, all zero when none
    std::optional<std::array<std::uint8_t, 8>> uniqueId;  // the part's unique ID, when read
    double seconds = 0;                    // the device's run, on the host's clock
};

// Says whether a stop was asked for (Ctrl-C, the station ending); read between blocks and
// steps, from the thread of the job.
using StopAsked = std::function<bool()>;

// Every attached device the tool would program: the user's devices on the audio driver's
// interfaces; when there is none, the firmware-update devices on the generic interfaces.
std::vector<GangTarget> FindGangTargets(DeviceHost& host, const std::string& userDeviceMatch);
// The same, or nothing when a listing of the bus could not be obtained (which is not "no
// boards"): a station then keeps what it knew.
std::optional<std::vector<GangTarget>> ListGangTargets(DeviceHost& host,
                                                       const std::string& userDeviceMatch);

// The automatic sequence on one device, with a device object, program image and flash context
// of its own, reporting to view. When stopAsked says so, the job stops at its next block or
// step, with its clean-up, as the Stop button stops it.
BoardResult FlashOne(DeviceHost& host, const GangTarget& target, const ProgramFile& image,
                     const AutoRequest& request, IspView& view, const StopAsked& stopAsked);

// Runs the automatic sequence on every target at once, one thread each (FlashOne).
std::vector<BoardResult> FlashAll(DeviceHost& host, const std::vector<GangTarget>& targets,
                                  const ProgramFile& image, const AutoRequest& request,
                                  const StopAsked& stopAsked);

}  // namespace qv
