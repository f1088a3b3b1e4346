#pragma once

#include <iosfwd>

#include "cli/Session.h"

namespace CLI {
class App;
}

namespace qv::cli {

// "status" (the playback status as the Information page shows it) and "hid KEY" (one media key).
void AddStatusCommands(CLI::App& app, const GlobalOptions& options);

// One line per label the page would show enabled: the connection, then, while connected, the
// mute state, then, while playing, the format and the rate (eight characters, as shown).
void RunStatus(Session& session, std::ostream& out);

}  // namespace qv::cli
