#pragma once

#include <iosfwd>

#include "cli/Session.h"

namespace CLI {
class App;
}

namespace qv::cli {

// "params": the firmware's EEPROM parameters (read, write-options, set-vid, set-pid,
// set-string), each one mailbox request or one string's chunks.
void AddParamsCommands(CLI::App& app, const GlobalOptions& options);

// Reads the option block and prints its bytes, the EEPROM-present text and each option in words.
void RunParamsRead(Session& session, std::ostream& out);

}  // namespace qv::cli
