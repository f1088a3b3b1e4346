#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/Guid.h"

namespace qv {

// An open device interface, as the host hands it out. Opaque to everything above the host.
using HostHandle = std::intptr_t;
inline constexpr HostHandle kNoHandle = -1;

// The seam to the operating system: everything the tool asks of it. Hosts turn every failure
// into a false result or an empty answer here; nothing above this interface knows which host
// it runs on.
class DeviceHost {
public:
    virtual ~DeviceHost() = default;

    // Paths of the present device interfaces of one class, in enumeration order.
    // No value when the set of interfaces cannot be obtained (distinct from an empty list).
    virtual std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) = 0;

    // Opens a device interface for reading and writing; kNoHandle on failure.
    virtual HostHandle OpenPath(const std::string& path) = 0;
    // Whether the calling thread's last OpenPath failed because the user may not open the
    // device (its node's permissions, Windows' access denied), so the user can be told how to
    // get access. Every host says, as for the I/O controls.
    virtual bool LastOpenDenied() const = 0;
    virtual void ClosePath(HostHandle handle) = 0;
    // The USB serial-number string of the device behind an interface path, read from the
    // device (or the OS's copy of it); empty when it has none or this host cannot tell.
    virtual std::string SerialNumber(const std::string& /*path*/) { return {}; }
    // The system's own name of the device behind an interface path, as a user looks it up: its
    // node (/dev/bus/usb/001/005) on Linux; the interface path where that is the system's name.
    virtual std::string SystemPath(const std::string& path) { return path; }
    // Whether the user may not open the device behind an interface path (its node's
    // permissions), found by opening it and closing it again.
    virtual bool OpenDenied(const std::string& /*path*/) { return false; }

    // One device I/O control. True when the driver completed it; bytesReturned is what the
    // driver reported: the data bytes the transfer carried, fewer than asked for a short read.
    virtual bool IoControl(HostHandle handle, std::uint32_t controlCode,
                           std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                           std::uint32_t& bytesReturned) = 0;
    // Why the calling thread's last I/O control failed: refused (a stall, a record the driver
    // would not take), unanswered within the host's transfer timeout (a device gone silent), or
    // gone (the device is no longer on the bus, or the handle is not open). Every host says,
    // and a host that wraps another passes its answer on: a cause lost on the way would turn
    // an unplugged board into a failing step.
    enum class IoFailure { Refused, NoAnswer, Gone };
    virtual IoFailure LastIoControlFailure() const = 0;

    // Every fixed wait of the chip protocols goes through here, so a simulated host can run
    // on virtual time.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::uint64_t NowMs() = 0;
    // A board's work about to move to a thread of its own: StartingPoint is taken on the
    // starting thread and ContinueFrom called first thing on the new one, so that on virtual
    // time the new thread goes on from the time its starter had reached (a board never starts
    // before the look at the bus that found it). Real time needs neither.
    virtual std::uint64_t StartingPoint() { return 0; }
    virtual void ContinueFrom(std::uint64_t /*startingPoint*/) {}
    // Whether every thread keeps a time of its own (the simulator's virtual time) rather than
    // all reading the one real clock.
    virtual bool ThreadsKeepOwnTime() const { return false; }
};

}  // namespace qv
