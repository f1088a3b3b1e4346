#include "station/StationOptions.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

#include "sim/FaultChoice.h"
#include "sim/SimSetup.h"

namespace {

constexpr unsigned kMostSimDevices = 64;

// An unsigned count in [least, most], or nothing.
std::optional<unsigned> Count(const QString& text, unsigned least, unsigned most) {
    bool ok = false;
    const unsigned value = text.toUInt(&ok);
    if (!ok || value < least || value > most) return std::nullopt;
    return value;
}

[[noreturn]] void Answer(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::exit(EXIT_SUCCESS);
}

}  // namespace

StationOptions ReadStationOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Flashes and judges the boards of a production line: a tile per fixture slot."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption job{QStringLiteral("job"),
                                 QStringLiteral("Open the job <file> (made by qvusb job create)."),
                                 QStringLiteral("file")};
    const QCommandLineOption units{
        QStringLiteral("units"),
        QStringLiteral("Start the line at once and close the window after <n> boards."),
        QStringLiteral("n")};
    const QCommandLineOption sim{QStringLiteral("sim"),
                                 QStringLiteral("Attach simulated boards instead of real USB.")};
    const QCommandLineOption simDevices{QStringLiteral("sim-devices"),
                                        QStringLiteral("Simulated boards plugged in, one per port."),
                                        QStringLiteral("n"), QStringLiteral("1")};
    const QCommandLineOption simReplug{
        QStringLiteral("sim-replug"),
        QStringLiteral("A simulated operator: each port sees <n> boards in all."),
        QStringLiteral("n")};
    const QCommandLineOption simFault{
        QStringLiteral("sim-fault"),
        QStringLiteral("Break the first port's boards from transfer N on, as qvusb does; repeatable."),
        QStringLiteral("KIND[@N]")};
    const QCommandLineOption simSpeed{QStringLiteral("sim-speed"),
                                      QStringLiteral("Pace the simulated boards: real (the default) "
                                                     "or virtual."),
                                      QStringLiteral("virtual|real"), QStringLiteral("real")};
    parser.addOptions({job, units, sim, simDevices, simReplug, simFault, simSpeed});

    StationOptions options;
    // Options of the window system (-platform and the like) are Qt's own.
    parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) Answer(parser.helpText());
    if (parser.isSet(version))
        Answer(QStringLiteral("quorvex-station " QV_VERSION " (commit " QV_COMMIT ")\n"));
    options.job = parser.value(job);
    qv::cli::GlobalOptions& bus = options.bus;
    bus.sim = parser.isSet(sim);
    const auto refuse = [&options](const QString& problem) {
        options.problem = problem;
        return options;
    };
    if (parser.isSet(units)) {
        const auto count = Count(parser.value(units), 1, 1'000'000);
        if (!count) return refuse(QStringLiteral("--units takes a count of boards, 1 or more."));
        options.units = *count;
    }
    if (options.units > 0 && options.job.isEmpty())
        return refuse(QStringLiteral("--units needs --job."));
    if (!bus.sim && (parser.isSet(simDevices) || parser.isSet(simReplug) ||
                     parser.isSet(simFault) || parser.isSet(simSpeed)))
        return refuse(QStringLiteral("The --sim-... options need --sim."));
    const auto devices = Count(parser.value(simDevices), 1, kMostSimDevices);
    if (!devices) return refuse(QStringLiteral("--sim-devices takes 1 to 64."));
    bus.simulator.devices = *devices;
    if (parser.isSet(simReplug)) {
        const auto replug = Count(parser.value(simReplug), 1, 1'000'000);
        if (!replug) return refuse(QStringLiteral("--sim-replug takes a count of boards, 1 or more."));
        bus.simReplug = *replug;
    }
    for (const QString& fault : parser.values(simFault)) {
        if (!qv::sim::ParseFaultChoice(fault.toStdString()))
            return refuse(QString::fromStdString(qv::sim::FaultChoiceProblem(fault.toStdString())));
        bus.simulator.faults.push_back(fault.toStdString());
    }
    const auto speed = qv::sim::ParseSimSpeed(parser.value(simSpeed).toStdString());
    if (!speed) return refuse(QStringLiteral("--sim-speed is virtual or real."));
    bus.simulator.speed = *speed;
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unknown argument: %1").arg(parser.positionalArguments().front()));
    if (!parser.unknownOptionNames().isEmpty())
        return refuse(QStringLiteral("Unknown option: %1").arg(parser.unknownOptionNames().front()));
    return options;
}
