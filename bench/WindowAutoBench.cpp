// Figures for the window's Auto against the command line's flash, both on the simulated chip
// in real time with the same image: the wall time of each and their ratio, and where the system
// tells it, the CPU time each took (the window's process during its Auto, the qvusb process
// whole). The window runs on the platform Qt picks (run it under a display server for on-screen
// figures). A timing program, not a test: it prints and exits 0.
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
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define QV_HAVE_RUSAGE 1
#endif

#include "app/IniSettingsStore.h"
#include "app/Unit1.h"
#include "device/QuorvexUsb.h"
#include "sim/SimHost.h"

namespace {

#ifdef QV_HAVE_RUSAGE
// Seconds of CPU time, user and system, of this process or of its children that have ended and
// been waited for.
double CpuSeconds(int who) {
    rusage usage{};
    if (getrusage(who, &usage) != 0) return -1;
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
double OwnCpuSeconds() { return CpuSeconds(RUSAGE_SELF); }
double ChildrenCpuSeconds() { return CpuSeconds(RUSAGE_CHILDREN); }
#else
// Negative: the system does not tell it.
double OwnCpuSeconds() { return -1; }
double ChildrenCpuSeconds() { return -1; }
#endif

struct Figures {
    double wallSeconds = 0;
    double cpuSeconds = -1;
};

void PrintCpu(const char* what, double seconds) {
    if (seconds >= 0) std::printf("%s %7.2f s of CPU\n", what, seconds);
}

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

Figures WindowAuto(const QString& image, const QString& settingsFile, QString& outcome) {
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
    const double cpuBefore = OwnCpuSeconds();
    timer.start();
    autoButton.click();  // the whole sequence runs inside the click
    const Figures figures{static_cast<double>(timer.nsecsElapsed()) / 1e9,
                          cpuBefore < 0 ? -1 : OwnCpuSeconds() - cpuBefore};
    outcome = window.findChild<QLabel*>(QStringLiteral("lblUSBProcessInfo"))->text();
    if (!window.Messages.RecordedTexts().isEmpty())
        outcome += " / " + window.Messages.RecordedTexts().join(" / ");
    return figures;
}

// The child's CPU time counts once it has ended and been waited for.
Figures CommandLineFlash(const QString& image, int& exitCode) {
    QProcess qvusb;
    QElapsedTimer timer;
    const double cpuBefore = ChildrenCpuSeconds();
    timer.start();
    qvusb.start(QStringLiteral(QV_QVUSB_PATH),
                {"--sim", "--sim-speed", "real", "-q", "flash", image});
    qvusb.waitForFinished(-1);
    exitCode = qvusb.exitCode();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e9,
            cpuBefore < 0 ? -1 : ChildrenCpuSeconds() - cpuBefore};
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int kb = argc > 1 ? std::atoi(argv[1]) : 128;
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("bench.bin"));
    WriteImage(image, static_cast<std::size_t>(kb) * 1024);

    QString outcome;
    const Figures window = WindowAuto(image, dir.filePath("USBTool.ini"), outcome);
    int exitCode = -1;
    const Figures commandLine = CommandLineFlash(image, exitCode);
    std::printf("image: %d KB, simulated chip in real time, platform %s\n", kb,
                qPrintable(QGuiApplication::platformName()));
    std::printf("window Auto:          %7.2f s  (\"%s\")\n", window.wallSeconds,
                qPrintable(outcome));
    PrintCpu("                     ", window.cpuSeconds);
    std::printf("qvusb flash (whole):  %7.2f s  (exit %d, includes process start)\n",
                commandLine.wallSeconds, exitCode);
    PrintCpu("                     ", commandLine.cpuSeconds);
    std::printf("window / command line: %.2f\n", window.wallSeconds / commandLine.wallSeconds);
    if (window.cpuSeconds >= 0 && commandLine.cpuSeconds > 0)
        std::printf("CPU, window / command line: %.2f\n",
                    window.cpuSeconds / commandLine.cpuSeconds);
    return 0;
}
