#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace qv::cli {

// What the help, the manual pages and the shell completions say of the command line, read from
// the same option definitions the parser uses.

// The options and arguments of a command a user is told of: not its help flags, not the hidden.
std::vector<const CLI::Option*> ShownOptions(const CLI::App& command);

// "-q,--quiet", "--range all|START_KB:SIZE_KB", or a positional argument's name ("file").
std::string OptionLabel(const CLI::Option& option);

// Whether an option takes a value (flags take none).
bool TakesValue(const CLI::Option& option);

// "qvusb reg write address value [OPTIONS]": the command's path, its positional arguments
// and whether it has options or subcommands.
std::string Synopsis(const CLI::App& command, const std::string& path);

}  // namespace qv::cli
