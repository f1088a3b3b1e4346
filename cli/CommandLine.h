#pragma once

namespace CLI {
class App;
}

namespace qv::cli {

struct GlobalOptions;

// qvusb: parses the command line, runs the command it names and maps the outcome to the exit
// code (0 success, 1 failed, 2 bad usage or input, 3 no device).
int RunCommandLine(int argc, char** argv);

// Every command of qvusb, added to `app` with its options bound to `options`.
void AddCommands(CLI::App& app, GlobalOptions& options);

}  // namespace qv::cli
