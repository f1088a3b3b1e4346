#include <QApplication>
#include <QtDebug>

#include "app/ScreenDensity.h"
#include "app/SettingsPlace.h"
#include "app/Unit1.h"
#include "app/WindowHost.h"
#include "app/WindowOptions.h"
#include "device/QuorvexUsb.h"

int main(int argc, char* argv[]) {
    LetWindowEnlargeItself();
    QApplication app(argc, argv);
    const WindowOptions options = ReadWindowOptions(app);
    QString error;
    const std::unique_ptr<qv::DeviceHost> host = MakeWindowHost(options, error);
    if (!host) {
        qCritical().noquote() << error;
        return 2;
    }
    qv::QuorvexUsb device(*host);
    const std::unique_ptr<qv::SettingsStore> settings = MakeSettingsStore();
    TForm1 window(device, *settings,
                  options.engineering ? StartLayout::Engineering : StartLayout::User);
    window.show();
    return app.exec();
}
