#include <windows.h>

#include "line/ResultHook.h"

namespace qv {

std::optional<std::string> RunResultHook(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables,
    int seconds) {
    // The child inherits this process's environment, with the variables set meanwhile.
    for (const auto& [variable, value] : variables)
        SetEnvironmentVariableA(variable.c_str(), value.c_str());
    std::string line = "cmd.exe /c " + command;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (const auto& [variable, value] : variables)
        SetEnvironmentVariableA(variable.c_str(), nullptr);
    if (!started) return "could not be started (error " + std::to_string(GetLastError()) + ")";
    CloseHandle(process.hThread);
    std::optional<std::string> problem;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(seconds) * 1000) !=
        WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        problem = "was ended after " + std::to_string(seconds) + " s";
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        if (code != 0) problem = "exited with status " + std::to_string(code);
    }
    CloseHandle(process.hProcess);
    return problem;
}

}  // namespace qv
