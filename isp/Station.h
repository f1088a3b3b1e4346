#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/host/DeviceHost.h"
#include "image/ProgramFile.h"
#include "isp/GangFlash.h"

namespace qv {

// One board judged at a station: its port (bus and port chain), how its run ended, and the
// serial number its image was given (empty: the station's image as it is; kept: the number the
// board was programmed with before).
struct StationBoard {
    std::string selector;
    BoardResult run;
    std::string serial;
    bool serialKept = false;
    std::uint16_t checksum = 0;  // of the image the board was given
};

// A board's own image, made in the board's thread once its flash is identified and its unique
// ID read, before anything is written to it: the image is changed in place and the serial
// number it was given is said. What the board waits for meanwhile is shown on its view; a
// stop request ends the wait.
struct BoardImage {
    std::string port;            // the board's selector
    const FlashContext& flash;   // its identification and unique ID
    ProgramFile& image;
    IspView& view;
    const StopAsked& stopAsked;
    std::string serial;
    bool serialKept = false;
};
// Makes the board's image, or says the failure that ends its run with nothing written.
using ImageForBoard = std::function<JobResult(BoardImage& board)>;

// A port as the station's screen shows it.
struct SlotSnapshot {
    enum class State { Waiting, Queued, Flashing, Passed, Failed };
    std::string selector;
    State state = State::Waiting;
    double progress = 0;  // of the running step
    std::string text;     // the running step, or the verdict's
    double seconds = 0;   // of the run so far, or of the judged run
};

// The front end's side of a station: it is told of every board judged (on the station's own
// thread) and shown the ports after every poll, and it says when to stop (Ctrl-C).
class StationFront {
public:
    virtual ~StationFront() = default;
    virtual void BoardJudged(const StationBoard& board) = 0;
    virtual void Show(const std::vector<SlotSnapshot>& slots) = 0;
    virtual bool StopRequested() = 0;
};

struct StationSettings {
    AutoRequest request;  // the steps and range of every board's automatic sequence
    unsigned slots = 0;   // boards flashed at once; 0: every board at once
    unsigned units = 0;   // boards to judge before ending; 0: until stopped
    ImageForBoard imageFor;  // empty: every board gets the station's image
};

// Which boards a station may take (those on a port, one serial number); empty: every board.
using BoardFilter = std::function<bool(const GangTarget&)>;

// A production station: watches the bus about three times a second with the presence
// monitor's rules (the user's devices, else the firmware-update devices); every device that
// appears on a port gets the automatic sequence in a thread of its own, with the image loaded
// once; a judged board is not taken again until its port has been empty. A stop request ends
// every running board at its next block or step, with its clean-up, and then the station.
// Returns every board judged, in the order they ended.
// Only boards that `accepts` takes are flashed; the others are as if not plugged in.
std::vector<StationBoard> RunStation(DeviceHost& host, const std::string& userDeviceMatch,
                                     const ProgramFile& image, const StationSettings& settings,
                                     StationFront& front, const BoardFilter& accepts = {});

}  // namespace qv
