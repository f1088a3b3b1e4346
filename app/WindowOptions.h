#pragma once

#include <QString>

class QCoreApplication;

// The window's command line.
struct WindowOptions {
    bool simulate = false;     // --sim: the simulated chip instead of real USB
    QString traceFile;         // --trace FILE: one line per control transfer
    QString replayFile;        // --replay FILE: answer from a recorded trace instead of USB
    bool engineering = false;  // --engineering: every page and group reachable
};

// Reads the command line; an unknown option ends the program with Qt's usage message.
WindowOptions ReadWindowOptions(const QCoreApplication& app);
