#include "cli/DryRun.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/Reporting.h"

namespace qv::cli {
namespace {

// The commands that change a device or a file; a dry run shows their plan. Where an option is
// named, the command changes something only with it.
struct Changing {
    const char* path;
    const char* onlyWith = nullptr;
};
constexpr Changing kChanging[] = {
    {"flash"},          {"erase"},         {"program"},
    {"read-back"},      {"station"},       {"job create"},
    {"slots learn"},    {"image patch"},   {"reg write"},
    {"i2c write"},      {"i2c cmd-write"}, {"params write-options"},
    {"params set-vid"}, {"params set-pid"}, {"params set-string"},
    {"isp enter"},      {"isp exit"},      {"flash-status", "--write"},
    {"hid"},            {"raw"},
};

}  // namespace

JsonLine& Plan::Step(const std::string& action, const std::string& text) {
    JsonLine json;
    json.Add("event", "plan").Add("action", action).Add("text", text);
    return steps_.emplace_back(text, std::move(json)).second;
}

void Plan::Show(const Reporting& reporting) const {
    const bool json = IsJson(reporting.mode);
    for (const auto& [text, object] : steps_) *reporting.out << (json ? object.Text() : text) << "\n";
    if (!json && reporting.mode != OutputMode::Quiet)
        *reporting.out << "Dry run: nothing was sent or written\n";
    reporting.out->flush();
}

std::string DryRunRefusal(const CLI::App& command, const std::string& path) {
    for (const Changing& changing : kChanging) {
        if (path != changing.path) continue;
        if (changing.onlyWith == nullptr || command.count(changing.onlyWith) > 0) return {};
        return path + " changes none without " + changing.onlyWith;
    }
    return path + " changes none";
}

void Perform(const GlobalOptions& options, const std::function<Plan()>& plan,
             const std::function<void(Session&)>& command) {
    if (!options.dryRun) return WithSession(options, command);
    // The options that choose the device are checked as a run checks them.
    static_cast<void>(UserDeviceMatchOf(options));
    plan().Show(*options.reporting);
}

void PerformOnFiles(const GlobalOptions& options, const std::function<Plan()>& plan,
                    const std::function<void()>& command) {
    if (!options.dryRun) return command();
    plan().Show(*options.reporting);
}

}  // namespace qv::cli
