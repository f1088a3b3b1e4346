#pragma once

namespace qv::cli {

// qvusb: parses the command line, runs the command it names and maps the outcome to the exit
// code (0 success, 1 failed, 2 bad usage or input, 3 no device).
int RunCommandLine(int argc, char** argv);

}  // namespace qv::cli
