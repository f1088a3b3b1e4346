#include "cli/CommandLine.h"

int main(int argc, char** argv) { return qv::cli::RunCommandLine(argc, argv); }
