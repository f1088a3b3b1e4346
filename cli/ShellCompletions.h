#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qv::cli {

// Completion scripts for bash, zsh and fish, written from the option definitions: the commands
// at each level, their options and the program's, files where a file is due, the devices
// `qvusb list` shows after --device, and the words an option or argument takes (--sim-speed
// virtual|real, the hid keys).
std::string BashCompletion(const CLI::App& app);
std::string ZshCompletion(const CLI::App& app);
std::string FishCompletion(const CLI::App& app);

}  // namespace qv::cli
