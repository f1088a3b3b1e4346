#include "line/LineReport.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <tuple>

#include "line/JsonLine.h"
#include "line/Printable.h"

namespace qv {
namespace {

// Seconds since the epoch of a UTC time as the log writes it (the civil-date arithmetic of the
// proleptic Gregorian calendar, so no time zone is involved).
std::optional<double> EpochSeconds(const std::string& time) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    if (std::sscanf(time.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return std::nullopt;
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const double days = static_cast<double>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

// Adds the runs of one group (or of all) to `group`.
void Count(ReportGroup& group, const std::vector<const RunRow*>& runs) {
    std::set<std::string> seen;
    std::optional<double> first, last;
    for (const RunRow* run : runs) {
        ++group.runs;
        (run->ok ? group.passed : group.failed) += 1;
        group.file = run->file;
        // The flash's ID stays with the board when it is flashed again (with a new number).
        const std::string board = !run->flashUid.empty() ? "uid:" + run->flashUid
                                  : !run->serial.empty() ? "serial:" + run->serial
                                                         : "run:" + std::to_string(group.runs);
        if (seen.insert(board).second) {
            ++group.boards;
            group.passedFirstTime += run->ok ? 1 : 0;
        }
        if (const auto at = EpochSeconds(run->time)) {
            first = first ? std::min(*first, *at) : *at;
            last = last ? std::max(*last, *at) : *at;
        }
    }
    // From the first verdict to the last: the runs after the first, per hour.
    if (group.runs >= 2 && first && last && *last > *first)
        group.boardsPerHour = static_cast<double>(group.runs - 1) * 3600 / (*last - *first);
}

double Percent(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

std::string Fixed(double value, const char* format = "%.1f") {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The first-pass yield in percent; "-" before there is a board.
std::string Yield(const ReportGroup& group) {
    return group.boards == 0 ? "-" : Fixed(Percent(group.passedFirstTime, group.boards));
}

std::string Rate(const ReportGroup& group) {
    return group.boardsPerHour ? Fixed(*group.boardsPerHour, "%.0f") + "/h" : "-";
}

std::string Escaped(const std::string& text) {
    std::string html;
    for (const char c : text) {
        switch (c) {
            case '<': html += "&lt;"; break;
            case '>': html += "&gt;"; break;
            case '&': html += "&amp;"; break;
            case '"': html += "&quot;"; break;
            default: html += c;
        }
    }
    return html;
}

// "1-3.2 [Slot 4]": the port, and its slot when the job named one.
std::string PortAndSlot(const ReportGroup& group) {
    return group.slot.empty() ? group.port : group.port + " [" + group.slot + "]";
}

void AddGroup(JsonLine& line, const ReportGroup& group) {
    line.Add("runs", group.runs)
        .Add("passed", group.passed)
        .Add("failed", group.failed)
        .Add("boards", group.boards)
        .Add("first_pass_yield",
             group.boards == 0 ? std::numeric_limits<double>::quiet_NaN()
                               : Percent(group.passedFirstTime, group.boards),
             1);
    // null before there is a rate
    line.Add("boards_per_hour",
             group.boardsPerHour.value_or(std::numeric_limits<double>::quiet_NaN()), 0);
}

// One table row of figures, each cell marked with what it is, so a reader (or a test) finds
// the same figure the JSON gives.
std::string GroupCells(const ReportGroup& group) {
    return "<td data-figure=\"runs\">" + std::to_string(group.runs) +
           "</td><td data-figure=\"passed\">" + std::to_string(group.passed) +
           "</td><td data-figure=\"failed\">" + std::to_string(group.failed) +
           "</td><td data-figure=\"boards\">" + std::to_string(group.boards) +
           "</td><td data-figure=\"first_pass_yield\">" + Yield(group) +
           "</td><td data-figure=\"boards_per_hour\">" +
           (group.boardsPerHour ? Fixed(*group.boardsPerHour, "%.0f") : "-") + "</td>";
}

// Bars of passed (green) and failed (red) runs per hour.
std::string YieldChart(const std::vector<HourYield>& hours) {
    std::uint64_t most = 1;
    for (const HourYield& hour : hours) most = std::max(most, hour.passed + hour.failed);
    const int width = 40, height = 160, top = 10;
    std::string svg = "<svg role=\"img\" aria-label=\"Runs per hour\" width=\"" +
                      std::to_string(std::max<std::size_t>(1, hours.size()) * width + 20) +
                      "\" height=\"" + std::to_string(height + 40) + "\">";
    int x = 10;
    for (const HourYield& hour : hours) {
        const int passed = static_cast<int>(height * hour.passed / most);
        const int failed = static_cast<int>(height * hour.failed / most);
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top + height - passed) +
               "\" width=\"30\" height=\"" + std::to_string(passed) + "\" fill=\"#2e7d32\"/>";
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" +
               std::to_string(top + height - passed - failed) + "\" width=\"30\" height=\"" +
               std::to_string(failed) + "\" fill=\"#c62828\"/>";
        svg += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top + height + 15) +
               "\" font-size=\"10\">" + Escaped(hour.hour.substr(11)) + "h</text>";
        x += width;
    }
    return svg + "</svg>";
}

// A horizontal bar per failing step, longest first.
std::string FailureChart(const std::vector<FailingStep>& steps) {
    std::uint64_t most = 1;
    for (const FailingStep& step : steps) most = std::max(most, step.count);
    std::string svg = "<svg role=\"img\" aria-label=\"Failures by step\" width=\"640\" height=\"" +
                      std::to_string(steps.size() * 24 + 10) + "\">";
    int y = 5;
    for (const FailingStep& step : steps) {
        svg += "<rect x=\"260\" y=\"" + std::to_string(y) + "\" width=\"" +
               std::to_string(static_cast<int>(360 * step.count / most)) +
               "\" height=\"18\" fill=\"#c62828\"/><text x=\"0\" y=\"" + std::to_string(y + 14) +
               "\" font-size=\"12\"><title>" + Escaped(step.latest) + "</title>" +
               Escaped(step.kind) + " (" + std::to_string(step.count) + ")</text>";
        y += 24;
    }
    return svg + "</svg>";
}

}  // namespace

LineReport Summarize(const std::vector<RunRow>& runs) {
    LineReport report;
    std::map<std::tuple<std::string, std::string, std::string, std::string>,
             std::vector<const RunRow*>>
        groups;
    std::map<std::string, std::vector<const RunRow*>> stations, days;
    std::map<std::string, FailingStep> steps;
    std::map<std::string, HourYield> hours;
    std::vector<const RunRow*> all;
    for (const RunRow& run : runs) {
        groups[{run.station, run.port, run.slot, run.firmware}].push_back(&run);
        stations[run.station].push_back(&run);
        days[run.time.substr(0, 10)].push_back(&run);
        all.push_back(&run);
        if (!run.ok) {
            // Runs recorded before kinds were kept count under their message.
            const std::string kind = run.failure.empty() ? run.failingStep : run.failure;
            FailingStep& step = steps[kind];
            step.kind = kind;
            ++step.count;
            step.latest = run.failingStep;
        }
        HourYield& hour = hours[run.time.substr(0, 13)];
        hour.hour = run.time.substr(0, 13);
        (run.ok ? hour.passed : hour.failed) += 1;
    }
    for (const auto& [key, members] : groups) {
        ReportGroup group;
        std::tie(group.station, group.port, group.slot, group.firmware) = key;
        Count(group, members);
        report.groups.push_back(group);
    }
    for (const auto& [station, members] : stations) {
        report.stations.push_back({});
        report.stations.back().station = station;
        Count(report.stations.back(), members);
    }
    for (const auto& [day, members] : days) {
        report.days.push_back({});
        report.days.back().day = day;
        Count(report.days.back(), members);
    }
    Count(report.total, all);
    for (const auto& [kind, step] : steps) report.failingSteps.push_back(step);
    std::stable_sort(report.failingSteps.begin(), report.failingSteps.end(),
                     [](const FailingStep& a, const FailingStep& b) { return a.count > b.count; });
    for (const auto& [key, hour] : hours) report.hours.push_back(hour);
    return report;
}

std::string ReportText(const LineReport& report) {
    const auto figures = [](const ReportGroup& group) {
        return "runs " + std::to_string(group.runs) + ", passed " + std::to_string(group.passed) +
               ", failed " + std::to_string(group.failed) + ", boards " +
               std::to_string(group.boards) + ", first-pass yield " + Yield(group) + " %, " +
               Rate(group) + "\n";
    };
    std::string text;
    for (const ReportGroup& group : report.groups)
        text += Printable(group.station) + "  " + Printable(PortAndSlot(group)) + "  " +
                Printable(group.file) + " (" + group.firmware.substr(0, 12) + ")  " +
                figures(group);
    for (const ReportGroup& station : report.stations)
        text += "station " + Printable(station.station) + ": " + figures(station);
    for (const ReportGroup& day : report.days) text += "day " + day.day + ": " + figures(day);
    text += "all: " + figures(report.total);
    for (const FailingStep& step : report.failingSteps)
        text += "  " + std::to_string(step.count) + " x " + Printable(step.kind) + " (latest: " +
                Printable(step.latest) + ")\n";
    return text;
}

std::string ReportJson(const LineReport& report) {
    std::string lines;
    for (const ReportGroup& group : report.groups) {
        JsonLine line;
        line.Add("event", "report_group").Add("station", group.station).Add("port", group.port);
        if (!group.slot.empty()) line.Add("slot", group.slot);
        line.Add("firmware", group.firmware).Add("file", group.file);
        AddGroup(line, group);
        lines += line.Text() + "\n";
    }
    JsonLine total;
    total.Add("event", "report_total");
    AddGroup(total, report.total);
    lines += total.Text() + "\n";
    for (const ReportGroup& station : report.stations) {
        JsonLine line;
        AddGroup(line.Add("event", "report_station").Add("station", station.station), station);
        lines += line.Text() + "\n";
    }
    for (const ReportGroup& day : report.days) {
        JsonLine line;
        AddGroup(line.Add("event", "report_day").Add("day", day.day), day);
        lines += line.Text() + "\n";
    }
    for (const FailingStep& step : report.failingSteps)
        lines += JsonLine().Add("event", "failing_step").Add("kind", step.kind)
                     .Add("count", step.count).Add("latest", step.latest).Text() + "\n";
    for (const HourYield& hour : report.hours)
        lines += JsonLine().Add("event", "hour").Add("hour", hour.hour)
                     .Add("passed", hour.passed).Add("failed", hour.failed).Text() + "\n";
    return lines;
}

std::string ReportHtml(const LineReport& report) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Production line report</title><style>"
        "body{font-family:sans-serif;margin:2em;color:#222}"
        "table{border-collapse:collapse;margin-bottom:1.5em}"
        "th,td{border:1px solid #bbb;padding:4px 10px;text-align:right}"
        "th:nth-child(-n+3),td:nth-child(-n+3){text-align:left}"
        "tr.total{font-weight:bold;background:#f2f2f2}</style></head><body>"
        "<h1>Production line report</h1><table><tr><th>Station</th><th>Port</th>"
        "<th>Firmware</th><th>Runs</th><th>Passed</th><th>Failed</th><th>Boards</th>"
        "<th>First-pass yield %</th><th>Boards per hour</th></tr>\n";
    for (const ReportGroup& group : report.groups)
        html += "<tr class=\"group\"><td>" + Escaped(group.station) + "</td><td>" +
                Escaped(PortAndSlot(group)) + "</td><td title=\"" + Escaped(group.firmware) + "\">" +
                Escaped(group.file) + " (" + Escaped(group.firmware.substr(0, 12)) + ")</td>" +
                GroupCells(group) + "</tr>\n";
    html += "<tr class=\"total\"><td>All</td><td></td><td></td>" + GroupCells(report.total) +
            "</tr></table>\n";
    const std::string figureHeads =
        "<th>Runs</th><th>Passed</th><th>Failed</th><th>Boards</th><th>First-pass yield %</th>"
        "<th>Boards per hour</th></tr>\n";
    html += "<h2>Per station</h2><table><tr><th>Station</th>" + figureHeads;
    for (const ReportGroup& station : report.stations)
        html += "<tr><td>" + Escaped(station.station) + "</td>" + GroupCells(station) + "</tr>\n";
    html += "</table>\n<h2>Per day (UTC)</h2><table><tr><th>Day</th>" + figureHeads;
    for (const ReportGroup& day : report.days)
        html += "<tr><td>" + Escaped(day.day) + "</td>" + GroupCells(day) + "</tr>\n";
    html += "</table>\n<h2>Runs per hour</h2>" + YieldChart(report.hours) +
            "\n<h2>Failures by kind</h2>" +
            (report.failingSteps.empty() ? std::string("<p>None.</p>")
                                         : FailureChart(report.failingSteps)) +
            "\n</body></html>\n";
    return html;
}

namespace {

std::string CsvCell(std::string text) {
    if (!text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos)
        text.insert(0, "'");
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::string RunsCsv(const std::vector<RunRow>& runs) {
    std::string csv =
        "time,station,port,firmware,file,result,failure,message,serial,flash_uid,slot\r\n";
    for (const RunRow& run : runs) {
        for (const std::string& cell :
             {run.time, run.station, run.port, run.firmware, run.file,
              std::string(run.ok ? "PASS" : "FAIL"), run.failure, run.failingStep, run.serial,
              run.flashUid, run.slot})
            csv += CsvCell(cell) + ",";
        csv.back() = '\r';
        csv += "\n";
    }
    return csv;
}

}  // namespace qv
