#include "app/WindowOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// The window system's options, which QApplication takes out of the arguments: known here only
// so that they are not taken for mistakes.
constexpr const char* kWindowSystemValueOptions[] = {"platform",        "platformpluginpath",
                                                     "platformtheme",   "plugin",
                                                     "qwindowgeometry", "geometry",
                                                     "qwindowicon",     "icon",
                                                     "qwindowtitle",    "title",
                                                     "session",         "display",
                                                     "style",           "stylesheet",
                                                     "qmljsdebugger"};
constexpr const char* kWindowSystemFlags[] = {"reverse", "widgetcount"};

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
    QCommandLineOption engineering{QStringLiteral("engineering"),
                                   QStringLiteral("Start with every page and group reachable.")};

    WindowCommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Programs and inspects the Quorvex USB audio bridge chip."));
        // A word after one dash is one option, as the window system's are (-platform xcb).
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({sim, simFlash, simFault, simSpeed, trace, replay, engineering});
        for (const char* name : kWindowSystemValueOptions)
            AddHidden(
                QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
        for (const char* name : kWindowSystemFlags)
            AddHidden(QCommandLineOption(QString::fromLatin1(name)));
    }

    void AddHidden(QCommandLineOption option) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
};

// Written out on every system: QCommandLineParser would answer a window program on Windows in a
// message box.
[[noreturn]] void WriteAnswer(const QString& answer) {
    std::fputs(answer.toLocal8Bit().constData(), stdout);
    std::exit(EXIT_SUCCESS);
}

}  // namespace

WindowOptions ReadWindowOptions(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    WindowCommandLine commandLine;
    const QCommandLineParser& parser = commandLine.parser;
    const bool parsed = commandLine.parser.parse(arguments);
    const bool helpAsked =
        parser.isSet(commandLine.help) || parser.isSet(QStringLiteral("help-all"));
    if (helpAsked || parser.isSet(commandLine.version)) {
        const QCoreApplication named(argc, argv);  // the program's name, for both answers
        WriteAnswer(helpAsked ? parser.helpText()
                              : QCoreApplication::applicationName() +
                                    QStringLiteral(" " QV_VERSION " (commit " QV_COMMIT ")\n"));
    }
    WindowOptions options;
    const auto refuse = [&options](const QString& problem) {
        options.problem = problem;
        return options;
    };
    if (!parsed) return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unknown argument '%1'.")
                          .arg(parser.positionalArguments().constFirst()));
    options.simulate = parser.isSet(commandLine.sim);
    // As qvusb refuses them: the simulator's options mean nothing without it.
    for (const QCommandLineOption* simOnly :
         {&commandLine.simFlash, &commandLine.simFault, &commandLine.simSpeed})
        if (!options.simulate && parser.isSet(*simOnly))
            return refuse(QStringLiteral("--%1 requires --sim").arg(simOnly->names().constFirst()));
    options.simFlashFile = parser.value(commandLine.simFlash);
    options.simFaults = parser.values(commandLine.simFault);
    options.simSpeed = parser.value(commandLine.simSpeed);
    options.traceFile = parser.value(commandLine.trace);
    options.replayFile = parser.value(commandLine.replay);
    options.engineering = parser.isSet(commandLine.engineering);
    return options;
}
