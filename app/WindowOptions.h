#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The window's command line.
struct WindowOptions {
    bool simulate = false;     // --sim: the simulated chip instead of real USB
    QString simFlashFile;      // --sim-flash FILE: the simulated flash kept in a file
    QStringList simFaults;     // --sim-fault KIND[@N]: the simulated chip broken on purpose
    QString simSpeed;          // --sim-speed virtual|real (real unless told)
    QString traceFile;         // --trace FILE: one line per control transfer
    QString replayFile;        // --replay FILE: answer from a recorded trace instead of USB
    bool engineering = false;  // --engineering: every page and group reachable
};

// Answers --help and --version and ends the program, before any window system is needed;
// returns for every other command line.
void AnswerHelpOrVersion(int argc, char* argv[]);

// Reads the command line; an unknown option ends the program with Qt's usage message.
WindowOptions ReadWindowOptions(const QCoreApplication& app);
