#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qv::cli {

// The name of `names` nearest to a mistyped one ("reed": "read"), when one is near enough to be
// meant (fewer than three edits); empty otherwise.
std::string NearestName(const std::string& typed, const std::vector<std::string>& names);

// The names of a command's subcommands, in the order they were added.
std::vector<std::string> CommandNames(const CLI::App& command);

// "read, write, dump".
std::string JoinedNames(const std::vector<std::string>& names);

// "; did you mean 'read'?" when a name is near the typed one, else "".
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names);

}  // namespace qv::cli
