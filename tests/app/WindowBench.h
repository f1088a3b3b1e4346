#pragma once

#include <QFile>
#include <QMetaObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/IniSettingsStore.h"
#include "app/Unit1.h"
#include "device/QuorvexUsb.h"
#include "sim/SimHost.h"
#include "tests/app/CountingHost.h"

// The seven step options of the automatic sequence on the ISP page.
inline const char* const kIspStepBoxes[] = {"chkISPMode", "chkProtect", "chkReadFile", "chkErase",
                                            "chkBlank",   "chkProgram", "chkVerify"};

// The window on a simulated bus (virtual time) with the user's device plugged in and its
// settings in a file of its own, empty at first. The presence timer is held: a test makes it
// tick with Tick(). Message boxes record their texts instead of waiting for a click.
struct WindowBench {
    QTemporaryDir settingsDir;
    IniSettingsStore settings{settingsDir.filePath(QStringLiteral("USBTool.ini"))};
    // Where the windows opened from now on keep their settings.
    qv::SettingsStore* store = &settings;
    qv::sim::SimHost sim;
    std::shared_ptr<qv::sim::SimChip> userDevice = sim.AttachNew(qv::sim::UserDeviceIdentity());
    CountingHost host{sim};
    qv::QuorvexUsb device{host};
    std::unique_ptr<TForm1> window;
    bool timerStartedWithWindow = false;

    // Every request the chip receives is kept from the window's creation on.
    explicit WindowBench(StartLayout layout = StartLayout::User, bool openNow = true) {
        sim.GetTrace().KeepLines(true);
        if (openNow) OpenWindow(layout);
    }

    // The same, with the window keeping its settings in the given store.
    explicit WindowBench(qv::SettingsStore& keptIn) : WindowBench(StartLayout::User, false) {
        store = &keptIn;
        OpenWindow();
    }

    void OpenWindow(StartLayout layout = StartLayout::User) {
        window = std::make_unique<TForm1>(device, *store, layout);
        window->Messages.RecordInstead();
        timerStartedWithWindow = Timer().isActive();
        Timer().stop();
        window->show();
    }

    // Closes the window, which saves the settings, and opens a new one that loads them.
    void Reopen() {
        window->close();
        OpenWindow();
    }

    QTimer& Timer() const { return *window->findChild<QTimer*>(QStringLiteral("Timer1")); }
    void Tick() const { QMetaObject::invokeMethod(&Timer(), "timeout"); }

    template <typename Widget = QWidget>
    Widget& Child(const char* name) const {
        return *window->findChild<Widget*>(QLatin1String(name));
    }

    QStringList Messages() const { return window->Messages.RecordedTexts(); }

    // A file in the bench's own directory.
    QString WriteFile(const char* name, const QByteArray& bytes) const {
        const QString path = settingsDir.filePath(QLatin1String(name));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
        return path;
    }

    // A value as it stands in the settings file.
    QVariant Saved(const char* name) const {
        return QSettings(settings.FilePath(), QSettings::IniFormat).value(QLatin1String(name));
    }
    // Writes the settings file by hand, as an administrator might.
    void WriteSettingsFile(const QByteArray& text) const {
        QFile file(settings.FilePath());
        if (file.open(QIODevice::WriteOnly)) file.write(text);
    }
};
