#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "line/RunRecord.h"

namespace qv {

// How long a command run for a judged board may take before it is ended.
inline constexpr int kResultHookSeconds = 30;

// What the command run for a judged board (--on-result CMD) finds in its environment:
// QV_RESULT (PASS or FAIL), QV_SERIAL, QV_FLASH_UID, QV_STATION, QV_PORT, QV_FAILURE (the kind,
// empty for a pass), QV_MESSAGE and QV_FILE.
std::vector<std::pair<std::string, std::string>> ResultHookEnvironment(const RunRecord& record,
                                                                       const std::string& station);

// Runs the command through the system's shell (sh -c; cmd /c on Windows) with those variables
// added to this process's environment, and waits for it up to `seconds`, ending it then. Why
// it failed (it could not be started, it exited with a status other than 0, it was ended after
// the time limit); nothing when it exited with 0. Its output goes where this process's goes.
[[nodiscard]] std::optional<std::string> RunResultHook(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables,
    int seconds);

}  // namespace qv
