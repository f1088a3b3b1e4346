#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/FaultChoice.h"
#include "sim/SimHost.h"

namespace qv::sim {

// The simulated bus as a front end's options describe it (both front ends take the same
// --sim-flash, --sim-fault and --sim-speed, with the same meaning and the same words).
struct SimOptions {
    unsigned devices = 1;                // user's devices plugged in
    std::string flashFile;               // keeps the first device's flash (empty: not kept)
    std::vector<std::string> faults;     // KIND[@N], armed on the first device
    SimClock::Mode speed = SimClock::Mode::Virtual;
    std::string traceFile;               // the simulator's trace (empty: none)
    // The series the boards' unique IDs carry: the simulated boards of two stations differ, as
    // real boards do (see SimHost::BoardSeries).
    std::uint8_t boardSeries = kDefaultBoardSeries;
    // Called with the bus and its first device once the devices are plugged in, before the
    // faults are armed: a test that sweeps the commands keeps the chip it breaks, to read what
    // the command did to it.
    std::function<void(SimHost&, SimChip& first)> prepare;
};

// "virtual" or "real"; nothing for another word.
std::optional<SimClock::Mode> ParseSimSpeed(std::string_view text);
// Why a --sim-fault text names no fault of the simulator.
std::string FaultChoiceProblem(const std::string& text);

struct SimSetup {
    std::unique_ptr<SimHost> host;
    std::shared_ptr<SimChip> firstDevice;
    std::vector<FaultChoice> faults;
};

// The bus with its devices plugged in, the trace written (headed with the program's name),
// the first device's flash loaded from its file (created when missing) and the faults armed.
// Nothing, with the reason in problem, when an option cannot be honoured; nothing has then
// been written.
std::optional<SimSetup> MakeSimSetup(const SimOptions& options, const std::string& program,
                                     std::string& problem);

// Writes a device's flash back to the file that keeps it (none when flashFile is empty); the
// reason when that fails.
[[nodiscard]] std::optional<std::string> KeepSimFlash(SimChip& device, const std::string& flashFile);

}  // namespace qv::sim
