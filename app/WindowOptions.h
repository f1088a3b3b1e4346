#pragma once

#include <QString>
#include <QStringList>

// The window's command line.
struct WindowOptions {
    bool simulate = false;     // --sim: the simulated chip instead of real USB
    QString simFlashFile;      // --sim-flash FILE: the simulated flash kept in a file
    QStringList simFaults;     // --sim-fault KIND[@N]: the simulated chip broken on purpose
    QString simSpeed;          // --sim-speed virtual|real (real unless told)
    QString traceFile;         // --trace FILE: one line per control transfer
    QString replayFile;        // --replay FILE: answer from a recorded trace instead of USB
    bool engineering = false;  // --engineering: every page and group reachable
    QString problem;           // why the command line cannot be used; empty when it can
};

// Reads the arguments (the program's name first) before any window system exists, so that a
// mistake is said without one: --help and --version are answered on standard output and end
// the program; the window system's own options (-platform and the like), which QApplication
// takes, are passed over.
WindowOptions ReadWindowOptions(int argc, char* argv[]);
