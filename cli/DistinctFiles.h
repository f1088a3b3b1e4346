#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qv::cli {

// A file a run reads or writes, with the option that names it ("--trace", "FILE", ...).
struct NamedFile {
    std::string option;
    std::string path;
    bool output = false;
};

// The files the parsed command line names: the global options' (--replay read; --trace, --log,
// --sim-flash with its status file, and the SQLite file of --db with its journals written) and
// the chosen command's (its program file read, read-back's, image patch's and the report's
// outputs written).
std::vector<NamedFile> FilesOf(const CLI::App& app, const std::string& replay,
                               const std::string& trace, const std::string& log,
                               const std::string& simFlash, const std::string& databaseFile);

// Throws BadInput, naming both options, when an output is the same file as an input or as
// another output: by device and inode where the files exist, so links and other spellings of
// one file are caught, and by the full path where they do not yet. Run before any file is
// opened.
void RequireDistinctFiles(const std::vector<NamedFile>& files);

}  // namespace qv::cli
