#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "cli/Session.h"
#include "line/JsonLine.h"

namespace CLI {
class App;
}

namespace qv::cli {

struct Reporting;

// What a command that changes a device or a file would send and write, step by step: a line of
// text each, or with --json a {"event":"plan","action":A,"text":T,...} object with the step's
// figures.
class Plan {
public:
    // Adds a step; its figures are added to the object returned (valid until the next step).
    JsonLine& Step(const std::string& action, const std::string& text);
    // The steps in the run's output mode; as text, then that nothing was sent.
    void Show(const Reporting& reporting) const;

private:
    std::deque<std::pair<std::string, JsonLine>> steps_;
};

// Whether the command chosen, typed as `path` ("reg write"), changes a device or a file: the
// one list --dry-run is taken or refused by. Empty when it does; else why it is refused
// ("reg read changes none").
[[nodiscard]] std::string DryRunRefusal(const CLI::App& command, const std::string& path);

// How every command that changes a device runs: with --dry-run it makes its plan (whose checks
// refuse as the run would) and shows it, with no device opened; otherwise it runs `command`
// on a new session (WithSession, which a dry run never reaches).
void Perform(const GlobalOptions& options, const std::function<Plan()>& plan,
             const std::function<void(Session&)>& command);
// The same for a command that writes only files.
void PerformOnFiles(const GlobalOptions& options, const std::function<Plan()>& plan,
                    const std::function<void()>& command);

}  // namespace qv::cli
