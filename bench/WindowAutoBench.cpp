// Figures for the window's Auto against the command line's flash, both on the simulated chip
// in real time with the same image: the wall time of each and their ratio. The window runs on
// the platform Qt picks (run it under a display server for on-screen figures). A timing
// program, not a test: it prints and exits 0.
//
//   window_auto_bench [KB]     (default 128)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/IniSettingsStore.h"
#include "app/Unit1.h"
#include "device/QuorvexUsb.h"
#include "sim/SimHost.h"

namespace {

// Firmware-like bytes: no page of them is all 0xFF.
void WriteImage(const QString& path, std::size_t size) {
    std::vector<char> bytes(size);
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(size));
}

double WindowAutoSeconds(const QString& image, const QString& settingsFile, QString& outcome) {
    qv::sim::SimHost sim(qv::sim::SimClock::Mode::Real);
    sim.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device(sim);
    IniSettingsStore settings(settingsFile);
    TForm1 window(device, settings, StartLayout::User);
    window.Messages.RecordInstead();  // a refusal is reported below, not waited on
    window.show();
    // One tick of the presence timer finds the device.
    QMetaObject::invokeMethod(window.findChild<QTimer*>(QStringLiteral("Timer1")), "timeout");
    QApplication::processEvents();
    window.findChild<QComboBox*>(QStringLiteral("cbxReadISPFile"))->setCurrentText(image);
    auto& autoButton = *window.findChild<QPushButton*>(QStringLiteral("btnUSBISPAuto"));
    QElapsedTimer timer;
    timer.start();
    autoButton.click();  // the whole sequence runs inside the click
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    outcome = window.findChild<QLabel*>(QStringLiteral("lblUSBProcessInfo"))->text();
    if (!window.Messages.RecordedTexts().isEmpty())
        outcome += " / " + window.Messages.RecordedTexts().join(" / ");
    return seconds;
}

double CommandLineSeconds(const QString& image, int& exitCode) {
    QProcess qvusb;
    QElapsedTimer timer;
    timer.start();
    qvusb.start(QStringLiteral(QV_QVUSB_PATH),
                {"--sim", "--sim-speed", "real", "-q", "flash", image});
    qvusb.waitForFinished(-1);
    exitCode = qvusb.exitCode();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int kb = argc > 1 ? std::atoi(argv[1]) : 128;
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("bench.bin"));
    WriteImage(image, static_cast<std::size_t>(kb) * 1024);

    QString outcome;
    const double window = WindowAutoSeconds(image, dir.filePath("USBTool.ini"), outcome);
    int exitCode = -1;
    const double commandLine = CommandLineSeconds(image, exitCode);
    std::printf("image: %d KB, simulated chip in real time, platform %s\n", kb,
                qPrintable(QGuiApplication::platformName()));
    std::printf("window Auto:          %7.2f s  (\"%s\")\n", window, qPrintable(outcome));
    std::printf("qvusb flash (whole):  %7.2f s  (exit %d, includes process start)\n", commandLine,
                exitCode);
    std::printf("window / command line: %.2f\n", window / commandLine);
    return 0;
}
