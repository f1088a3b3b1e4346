#pragma once

#include <QString>
#include <QStringList>

#include "cli/Session.h"

// The station window's command line: how the boards are reached (the simulator's options mean
// what they mean to qvusb) and a job to open, with a number of boards after which it closes.
struct StationOptions {
    qv::cli::GlobalOptions bus;
    QString job;         // --job FILE: opened at start
    unsigned units = 0;  // --units N: the line starts at once and the window closes after N
    QString problem;     // why the command line cannot be used; empty when it can
};

// Reads the arguments (the program's name first); --help and --version are answered on
// standard output and end the program.
StationOptions ReadStationOptions(const QStringList& arguments);
