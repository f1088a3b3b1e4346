#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qv::cli {

// What --version prints: the program, its version and the commit it was built from,
// "qvusb 1.0 (commit abc1234)".
std::string VersionText();

// Every command and subcommand of `app` with its arguments and options, then the exit status,
// the JSON output and examples: what `--help-all` and `help --all` print, and what the manual
// page is written from.
std::string HelpAllText(const CLI::App& app);

}  // namespace qv::cli
