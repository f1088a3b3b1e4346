#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Reporting.h"
#include "common/OutputFile.h"
#include "line/LineReport.h"
#include "line/UtcBound.h"

namespace qv::cli {
namespace {

struct ReportArguments {
    RunFilter filter;
    std::string htmlFile;
    std::string csvFile;
};

void WriteReportFile(const std::string& file, const std::string& text) {
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (const auto problem = WriteOutput(file, bytes))
        throw OperationFailed("Cannot write " + file + ": " + *problem);
}

}  // namespace

// The line's report from the database: as text, --json, and --html FILE.
void AddReportCommand(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<ReportArguments>();
    auto* command = app.add_subcommand(
        "report",
        "Per station, port and firmware: runs, boards, yield, boards per hour and the "
        "failing steps, from --db");
    const auto bound = [](const char* name, std::string& into) {
        return [name, &into](const std::string& text) {
            const auto parsed = ParseUtcBound(text);
            if (!parsed)
                throw CLI::ValidationError(name, text +
                                                     " is not a UTC date or time: 2026-12-07, "
                                                     "2026-12-07T22:30 or 2026-12-07T22:30:00");
            into = *parsed;
        };
    };
    command
        ->add_option_function<std::string>("--since", bound("--since", args->filter.since),
                                           "From this UTC date or time on (2026-12-07)")
        ->type_name("TIME");
    command
        ->add_option_function<std::string>("--until", bound("--until", args->filter.until),
                                           "Before this UTC date or time")
        ->type_name("TIME");
    command->add_option("--station", args->filter.station, "Only this station's runs")
        ->type_name("NAME");
    command->add_option("--order", args->filter.workOrder, "Only this production order's runs")
        ->type_name("NAME");
    command->add_option("--operator", args->filter.operatorName, "Only this operator's runs")
        ->type_name("NAME");
    command->add_option("--html", args->htmlFile, "Also write the report as one HTML page to FILE")
        ->type_name("FILE");
    command
        ->add_option("--csv", args->csvFile,
                     "Also write every run as a row of a CSV file to FILE (for spreadsheets)")
        ->type_name("FILE");
    command->callback([&options, args] {
        Reporting& reporting = *options.reporting;
        if (!reporting.database) throw BadInput("report needs --db URL");
        std::vector<RunRow> runs;
        try {
            runs = reporting.database->Runs(args->filter);
        } catch (const DatabaseError& error) {
            throw OperationFailed(std::string("Cannot read the runs: ") + error.what());
        }
        const LineReport report = Summarize(runs);
        if (!args->htmlFile.empty()) WriteReportFile(args->htmlFile, ReportHtml(report));
        if (!args->csvFile.empty()) WriteReportFile(args->csvFile, RunsCsv(runs));
        if (IsJson(reporting.mode)) {
            *reporting.out << ReportJson(report);
            reporting.resultShown = true;
        } else {
            std::cout << ReportText(report);
        }
    });
}

}  // namespace qv::cli
