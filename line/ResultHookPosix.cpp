#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "line/ResultHook.h"

extern char** environ;

namespace qv {

std::optional<std::string> RunResultHook(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables,
    int seconds) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [variable, value] : variables) replaced = replaced || variable == name;
        if (!replaced) entries.push_back(text);
    }
    for (const auto& [variable, value] : variables) entries.push_back(variable + "=" + value);
    std::vector<char*> environment;
    for (std::string& entry : entries) environment.push_back(entry.data());
    environment.push_back(nullptr);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};

    pid_t child = 0;
    if (const int failed = ::posix_spawn(&child, "/bin/sh", nullptr, nullptr,
                                         const_cast<char* const*>(argv), environment.data());
        failed != 0)
        return std::string("could not be started (") + std::strerror(failed) + ")";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR)
            return std::string("was lost (") + std::strerror(errno) + ")";
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return "was ended after " + std::to_string(seconds) + " s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    return "ended by signal " + std::to_string(WTERMSIG(status));
}

}  // namespace qv
