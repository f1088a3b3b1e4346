#include <QApplication>
#include <cstdio>

#include "app/StartingConsole.h"
#include "line/AuditLog.h"
#include "station/StationOptions.h"
#include "station/StationWindow.h"

namespace {

int Refuse(const QString& problem) {
    std::fprintf(stderr, "quorvex-station: %s\n", problem.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    UseStartingConsole();
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version are answered before a window system is needed.
    for (const char* answered : {"--help", "-h", "--help-all", "--version", "-v"})
        if (arguments.contains(QLatin1String(answered))) {
            const QCoreApplication named(argc, argv);
            (void)ReadStationOptions(arguments);
        }
    QApplication app(argc, argv);
    // The window system's own options (-platform and the like) are gone from the arguments now.
    const StationOptions options = ReadStationOptions(QCoreApplication::arguments());
    if (!options.problem.isEmpty()) return Refuse(options.problem);
    StationWindow window(options.bus, qv::QuotedCommandLine(argc, argv));
    if (!options.job.isEmpty())
        if (const QString problem = window.OpenJob(options.job); !problem.isEmpty())
            return Refuse(problem);
    window.show();
    if (options.units > 0) window.StartLine(options.units);
    const int closed = app.exec();
    return closed != 0 ? closed : window.Outcome();
}
