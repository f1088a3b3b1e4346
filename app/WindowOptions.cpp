#include "app/WindowOptions.h"

#include <QCommandLineParser>

WindowOptions ReadWindowOptions(const QCoreApplication& app) {
    QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Programs and inspects the Quorvex USB audio bridge chip."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sim(QStringLiteral("sim"),
                                 QStringLiteral("Attach the simulated chip instead of real USB."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write the simulator's request trace to <file> (with --sim)."),
        QStringLiteral("file"));
    const QCommandLineOption engineering(
        QStringLiteral("engineering"),
        QStringLiteral("Start with every page and group reachable."));
    parser.addOptions({sim, trace, engineering});
    parser.process(app);
    return {parser.isSet(sim), parser.value(trace), parser.isSet(engineering)};
}
