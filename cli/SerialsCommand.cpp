#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Reporting.h"
#include "line/JsonLine.h"
#include "line/Printable.h"

namespace qv::cli {

// The serial numbers the database gave, oldest first: a line each ("QVUA2612000042  programmed
// station-1  1-3  2026-12-07T22:31:45Z"), or with --json an object each.
void AddSerialsCommand(CLI::App& app, const GlobalOptions& options) {
    auto* command = app.add_subcommand(
        "serials", "List the serial numbers the database (--db) gave: number, status, station, "
                   "port, when");
    command->callback([&options] {
        Reporting& reporting = *options.reporting;
        if (!reporting.database) throw BadInput("serials needs --db URL");
        std::vector<SerialRow> rows;
        try {
            rows = reporting.database->Serials();
        } catch (const DatabaseError& error) {
            throw OperationFailed(std::string("Cannot read the serial numbers: ") + error.what());
        }
        for (const SerialRow& row : rows) {
            if (IsJson(reporting.mode))
                *reporting.out << JsonLine()
                                      .Add("event", "serial")
                                      .Add("serial", row.serial)
                                      .Add("status", row.status)
                                      .Add("station", row.station)
                                      .Add("port", row.port)
                                      .Add("allocated_at", row.allocatedAt)
                                      .Text()
                               << "\n";
            else
                std::cout << Printable(row.serial) << "  " << row.status << "  "
                          << Printable(row.station) << "  " << Printable(row.port) << "  "
                          << row.allocatedAt << "\n";
        }
        reporting.resultShown = IsJson(reporting.mode) && !rows.empty();
    });
}

}  // namespace qv::cli
