#pragma once

#include "cli/Session.h"

namespace CLI {
class App;
}

namespace qv::cli {

// "i2c read", "i2c write", "i2c cmd-write" and "i2c cmd-read": one transaction each on the
// chip's I2C bus, after the master's set-up. A slave that never acknowledges its address makes
// the command fail.
void AddI2cCommands(CLI::App& app, const GlobalOptions& options);

}  // namespace qv::cli
