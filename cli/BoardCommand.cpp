#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Reporting.h"
#include "line/JsonLine.h"
#include "line/Printable.h"

namespace qv::cli {

// One board's history from the database: every run of it, oldest first, found by its flash's
// unique ID or a serial number it was given ("2026-12-07T22:31:45Z  station-1  1-3  FAIL
// verify_failed  Verifying Fail at 0x001000  QVUA2612000042"), or with --json an object each.
void AddBoardCommand(CLI::App& app, const GlobalOptions& options) {
    auto board = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "board", "One board's runs from --db, by its flash's unique ID or a serial number");
    command->add_option("board", *board, "The flash's unique ID (16 hex digits) or a serial")
        ->required();
    command->callback([&options, board] {
        Reporting& reporting = *options.reporting;
        if (!reporting.database) throw BadInput("board needs --db URL");
        std::vector<RunRow> runs;
        try {
            runs = reporting.database->BoardRuns(*board);
        } catch (const DatabaseError& error) {
            throw OperationFailed(std::string("Cannot read the runs: ") + error.what());
        }
        if (runs.empty()) throw OperationFailed("No run of the board " + Printable(*board));
        for (const RunRow& run : runs) {
            if (IsJson(reporting.mode))
                *reporting.out << JsonLine()
                                      .Add("event", "board_run")
                                      .Add("time", run.time)
                                      .Add("station", run.station)
                                      .Add("port", run.port)
                                      .Add("ok", run.ok)
                                      .Add("failure", run.failure)
                                      .Add("message", run.failingStep)
                                      .Add("serial", run.serial)
                                      .Add("flash_uid", run.flashUid)
                                      .Add("firmware", run.firmware)
                                      .Text()
                               << "\n";
            else
                std::cout << run.time << "  " << Printable(run.station) << "  "
                          << Printable(run.port) << "  "
                          << (run.ok ? "PASS" : "FAIL  " + Printable(run.failure) + "  " +
                                                    Printable(run.failingStep))
                          << (run.serial.empty() ? "" : "  " + Printable(run.serial)) << "\n";
        }
        reporting.resultShown = IsJson(reporting.mode);
    });
}

}  // namespace qv::cli
