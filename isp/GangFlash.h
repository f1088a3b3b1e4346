#pragma once

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

struct GangResult {
    GangTarget target;
    AutoOutcome outcome = AutoOutcome::Refused;
    std::string text;  // the last step text, or the message that refused the run
};

// Every attached device the tool would program: the user's devices on the audio driver's
// interfaces; when there is none, the firmware-update devices on the generic interfaces.
std::vector<GangTarget> FindGangTargets(DeviceHost& host, const std::string& userDeviceMatch);

// Runs the automatic sequence on every target at once, one thread and one device object each.
std::vector<GangResult> FlashAll(DeviceHost& host, const std::vector<GangTarget>& targets,
                                 const AutoRequest& request);

}  // namespace qv
