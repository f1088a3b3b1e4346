#include <QApplication>
#include <QtDebug>

#include "app/ScreenDensity.h"
#include "app/SettingsPlace.h"
#include "app/StartingConsole.h"
#include "app/Unit1.h"
#include "app/WindowHost.h"
#include "app/WindowOptions.h"
#include "device/QuorvexUsb.h"

int main(int argc, char* argv[]) {
    UseStartingConsole();
    AnswerHelpOrVersion(argc, argv);
    LetWindowEnlargeItself();
    QApplication app(argc, argv);
    const WindowOptions options = ReadWindowOptions(app);
    QString error;
    std::optional<WindowBus> bus = MakeWindowBus(options, error);
    if (!bus) {
        qCritical().noquote() << error;
        return 2;
    }
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
