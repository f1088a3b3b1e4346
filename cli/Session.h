#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceMatch.h"
#include "device/OpenedDevice.h"
#include "device/QuorvexUsb.h"
#include "device/host/DeviceHost.h"
#include "isp/GangFlash.h"
#include "line/JobFile.h"
#include "sim/SimSetup.h"

namespace qv {
class ReplayHost;
}
namespace qv::sim {
class SimChip;
class Trace;
}

namespace qv::cli {

struct Reporting;

struct GlobalOptions {
    bool sim = false;
    sim::SimOptions simulator;           // the simulated bus, with --sim
    unsigned simReplug = 0;              // boards per port a simulated operator plugs in
    std::string traceFile;
    std::string replayFile;  // --replay: answer from this trace instead of a device
    std::string vid = "6b94";
    std::string pid = "F82D";
    std::string device;              // --device: a selector, or serial:TEXT
    // --wait [SECONDS]: how long a single-board command waits for its board to appear (0: for
    // ever); none: it does not wait.
    std::optional<double> waitSeconds;
    bool verbose = false;            // -v: each request's summary on standard error
    // --dry-run: the command shows what it would send and write, and opens no device.
    bool dryRun = false;
    Reporting* reporting = nullptr;  // owned by main
    // station --job FILE: read while the command line is parsed; its database and station name
    // are the run's unless given otherwise.
    std::optional<LoadedJob> job;
};

// The match text of the user's device --vid and --pid name; BadInput when either is no
// 16-bit hexadecimal number.
[[nodiscard]] std::string UserDeviceMatchOf(const GlobalOptions& options);

// A device a command could mean, as `list` shows it.
struct Candidate {
    std::string selector;    // bus and port chain, stable while the device stays plugged in
    bool userDevice = true;  // else a firmware-update device
    bool ksMode = true;      // reached through the audio driver, else the USB driver
    std::string path;
    std::string serial;      // the USB serial-number string; empty when none is known
    std::string systemPath;  // the system's name of the device (/dev/bus/usb/001/005 on Linux)
    bool openDenied = false;  // the user may not open it (no udev rule for it)
};

// One qvusb run: the host (simulated or real USB), the device object and how to find the chip.
class Session {
public:
    explicit Session(const GlobalOptions& options);
    ~Session();

    QuorvexUsb& Device() { return *device_; }
    DeviceHost& Host() { return *hosts_.back(); }
    const std::string& UserDeviceMatch() const { return userDeviceMatch_; }

    // Every device a single-device command could mean: the user's devices on the audio
    // driver's interfaces; when there is none, the firmware-update devices.
    std::vector<Candidate> Candidates();
    // Chooses the one device (the one that matches, or --device's), sets the device object on
    // it and checks that it may be opened. With --wait, first waits for a match (WaitForDevice).
    // Throws NoDevice when none matches or it cannot be opened for lack of permission,
    // BadInput when several match and --device names none.
    const Candidate& RequireDevice();
    // Whether --device chooses this device: none given, its selector exactly, or with
    // "serial:TEXT" its serial number exactly (never by prefix).
    bool Selects(const GangTarget& target);
    // The boards `flash --all` starts with: every attached matching device that --device
    // chooses, once one is (with --wait, see WaitForDevice). Throws NoDevice when none is
    // attached or --device names none of them.
    std::vector<GangTarget> SelectedTargets();
    // Polls the bus about three times a second until a device --device chooses is attached;
    // throws NoDevice when `seconds` (0: no limit) pass first or a stop signal comes.
    void WaitForDevice(double seconds);
    // Keeps the simulated flash in its file, when one was named, and checks the trace, unless a
    // run's record has done so; throws OperationFailed naming what could not be written.
    void Finish();
    // With --replay: why the replay stopped ("replay diverged at line N: ..."), or, after a
    // command that succeeded, that the trace ended before the command did; else empty.
    std::string ReplayProblem(bool commandSucceeded) const;

private:
    // Before a run's record is written: keeps the simulated flash, and says which outputs
    // could not be written (the flash file, the trace).
    std::vector<std::string> KeepOutputs();

    std::shared_ptr<sim::SimChip> simChip_;
    std::string simFlashFile_;
    bool outputsKept_ = false;  // by a run's record
    std::string traceFileName_;
    sim::Trace* simTrace_ = nullptr;
    Reporting* reporting_ = nullptr;
    std::string selector_;
    std::optional<double> waitSeconds_;
    std::unique_ptr<sim::Trace> traceFile_;  // --trace on real USB or a replay
    ReplayHost* replay_ = nullptr;  // the base host, when replaying
    // The host, then the hosts that wrap it (trace file, -v); the last is the one used.
    std::vector<std::unique_ptr<DeviceHost>> hosts_;
    Candidate chosen_;
    std::unique_ptr<QuorvexUsb> device_;
    std::string userDeviceMatch_;
};

// Runs one command on a new session and finishes the session, also when the command failed
// (what a failed command did to the simulated flash is kept too).
void WithSession(const GlobalOptions& options, const std::function<void(Session&)>& command);

}  // namespace qv::cli
