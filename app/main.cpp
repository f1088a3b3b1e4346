#include <QApplication>
#include <QtDebug>

#include "app/ScreenDensity.h"
#include "app/SettingsPlace.h"
#include "app/StartingConsole.h"
#include "app/Unit1.h"
#include "app/WindowHost.h"
#include "app/WindowOptions.h"
#include "device/QuorvexUsb.h"

namespace {

int Refuse(const QString& problem) {
    qCritical().noquote() << problem;
    return 2;
}

}  // namespace

// Whatever the command line gets wrong is said before QApplication, which needs a display.
int main(int argc, char* argv[]) {
    UseStartingConsole();
    const WindowOptions options = ReadWindowOptions(argc, argv);
    if (!options.problem.isEmpty()) return Refuse(options.problem);
    QString error;
    std::optional<WindowBus> bus = MakeWindowBus(options, error);
    if (!bus) return Refuse(error);
    LetWindowEnlargeItself();
    QApplication app(argc, argv);
    int exitCode = 0;
    {
        qv::QuorvexUsb device(*bus->host);
        const std::unique_ptr<qv::SettingsStore> settings = MakeSettingsStore();
        TForm1 window(device, *settings,
                      options.engineering ? StartLayout::Engineering : StartLayout::User);
        window.show();
        exitCode = app.exec();
    }
    if (const auto lost = bus->keepOnExit()) {
        qCritical().noquote() << QString::fromStdString(*lost);
        return 1;
    }
    return exitCode;
}
