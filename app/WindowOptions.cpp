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
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write one line per control transfer to <file>."),
                                   QStringLiteral("file"));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Answer from the recorded trace <file> instead of USB."),
        QStringLiteral("file"));
    const QCommandLineOption engineering(
        QStringLiteral("engineering"),
        QStringLiteral("Start with every page and group reachable."));
    parser.addOptions({sim, trace, replay, engineering});
    parser.process(app);
    return {parser.isSet(sim), parser.value(trace), parser.value(replay),
            parser.isSet(engineering)};
}
