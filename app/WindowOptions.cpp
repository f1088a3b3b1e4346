#include "app/WindowOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// The window's options, each described once for the help text and the parsing.
struct WindowCommandLine {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption sim{QStringLiteral("sim"),
                           QStringLiteral("Attach the simulated chip instead of real USB.")};
    QCommandLineOption simFlash{
        QStringLiteral("sim-flash"),
        QStringLiteral("Keep the simulated flash in <file> (created when missing, written when "
                       "the window closes)."),
        QStringLiteral("file")};
    QCommandLineOption simFault{
        QStringLiteral("sim-fault"),
        QStringLiteral("Break the simulated chip from transfer N on (default 1), as qvusb "
                       "does; repeatable."),
        QStringLiteral("KIND[@N]")};
    QCommandLineOption simSpeed{
        QStringLiteral("sim-speed"),
        QStringLiteral("Pace the simulated chip: real (the default) or virtual."),
        QStringLiteral("virtual|real"), QStringLiteral("real")};
    QCommandLineOption trace{QStringLiteral("trace"),
                             QStringLiteral("Write one line per control transfer to <file>."),
                             QStringLiteral("file")};
    QCommandLineOption replay{
        QStringLiteral("replay"),
        QStringLiteral("Answer from the recorded trace <file> instead of USB."),
        QStringLiteral("file")};
    QCommandLineOption engineering{
        QStringLiteral("engineering"),
        QStringLiteral("Start with every page and group reachable.")};

    WindowCommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Programs and inspects the Quorvex USB audio bridge chip."));
        parser.addOptions({sim, simFlash, simFault, simSpeed, trace, replay, engineering});
    }
};

#ifdef _WIN32
// QCommandLineParser answers a window program on Windows in a message box; the answer is written
// out as on the other systems instead.
[[noreturn]] void WriteAnswer(const QString& answer) {
    std::fputs(answer.toLocal8Bit().constData(), stdout);
    std::exit(EXIT_SUCCESS);
}
#endif

}  // namespace

void AnswerHelpOrVersion(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    WindowCommandLine commandLine;
    // Options of the window system (-platform and the like) are no concern here.
    commandLine.parser.parse(arguments);
    const QCommandLineParser& parser = commandLine.parser;
    if (!parser.isSet(commandLine.help) && !parser.isSet(QStringLiteral("help-all")) &&
        !parser.isSet(commandLine.version))
        return;
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION " (commit " QV_COMMIT ")"));
#ifdef _WIN32
    WriteAnswer(parser.isSet(commandLine.version)
                    ? QCoreApplication::applicationName() + u' ' +
                          QCoreApplication::applicationVersion() + u'\n'
                    : parser.helpText());
#else
    commandLine.parser.process(app);  // answers, and ends the program
#endif
}

WindowOptions ReadWindowOptions(const QCoreApplication& app) {
    QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION " (commit " QV_COMMIT ")"));
    WindowCommandLine commandLine;
    QCommandLineParser& parser = commandLine.parser;
    parser.process(app);
    return {parser.isSet(commandLine.sim),      parser.value(commandLine.simFlash),
            parser.values(commandLine.simFault), parser.value(commandLine.simSpeed),
            parser.value(commandLine.trace),    parser.value(commandLine.replay),
            parser.isSet(commandLine.engineering)};
}
