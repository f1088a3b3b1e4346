#include "cli/DistinctFiles.h"

#include <CLI/CLI.hpp>
#include <filesystem>

#include "cli/CliErrors.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
    const fs::path first = fs::weakly_canonical(a, error);
    const fs::path second = fs::weakly_canonical(b, error);
    return !error && first == second;
}

// The value the chosen command was given for a positional argument, or nothing.
std::string Argument(const CLI::App& command, const std::string& name) {
    const CLI::Option* option = command.get_option_no_throw(name);
    if (option == nullptr || option->count() == 0) return {};
    return option->as<std::string>();
}

}  // namespace

std::vector<NamedFile> FilesOf(const CLI::App& app, const std::string& replay,
                               const std::string& trace, const std::string& log,
                               const std::string& simFlash, const std::string& databaseFile) {
    std::vector<NamedFile> files = {{"--replay", replay, false},
                                    {"--trace", trace, true},
                                    {"--log", log, true},
                                    {"--sim-flash", simFlash, true},
                                    {"--sim-flash", simFlash.empty() ? "" : simFlash + ".status", true}};
    if (!databaseFile.empty())
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            files.push_back({"--db", databaseFile + suffix, true});
    for (const CLI::App* command : app.get_subcommands()) {
        const bool readBack = command->get_name() == "read-back";
        files.push_back({"FILE", Argument(*command, "file"), readBack});
        for (const char* report : {"--html", "--csv"})
            files.push_back({report, Argument(*command, report), true});
        for (const CLI::App* sub : command->get_subcommands()) {
            files.push_back({"FILE", Argument(*sub, "file"), false});
            files.push_back({"IN", Argument(*sub, "in"), false});
            files.push_back({"OUT", Argument(*sub, "out"), true});
            files.push_back({"--image", Argument(*sub, "--image"), false});
        }
    }
    std::erase_if(files, [](const NamedFile& file) { return file.path.empty(); });
    return files;
}

void RequireDistinctFiles(const std::vector<NamedFile>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = i + 1; j < files.size(); ++j) {
            const NamedFile& a = files[i];
            const NamedFile& b = files[j];
            if (!a.output && !b.output) continue;  // two reads of one file harm nothing
            // A file and its own status file or journals.
            if (a.option == b.option && b.path.size() > a.path.size() && b.path.starts_with(a.path))
                continue;
            if (SameFile(a.path, b.path))
                throw BadInput(a.option + " and " + b.option + " name the same file (" + a.path +
                               ", " + b.path + "): one would overwrite the other");
        }
    }
}

}  // namespace qv::cli
