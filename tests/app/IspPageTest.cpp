// The ISP page as the user drives it: the File button, the Auto button and its Stop, the range.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>
#include <functional>

#include "tests/app/WindowBench.h"

namespace {

const QString kDeviceNotAvailable("USB device is NOT available !!    ");
const QString kProgramFileNotReady("Program File Not Ready !!    ");
// A page program: request 0x80 opening instruction 02.
const char* const kPageProgram = " 80 0000 0000 4 OK 02";

QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
    return bytes;
}

QStringList ComboItems(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

struct Bench : WindowBench {
    using WindowBench::WindowBench;

    QString Text(const char* label) const { return Child<QLabel>(label).text(); }
    QPushButton& Button(const char* name) const { return Child<QPushButton>(name); }
    QComboBox& History() const { return Child<QComboBox>("cbxReadISPFile"); }

    void ChooseFile(const QString& path) {
        window->OpenBinFileDialog.setNextFileName(path);
        Button("USBLoadFileBitBtn").click();
    }

    bool FlashHolds(const QByteArray& image, std::uint32_t at = 0) const {
        const auto contents = userDevice->Flash().Contents();
        return std::equal(image.begin(), image.end(), contents.begin() + at,
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    }

    // The trace lines from the given one on that contain the fragment.
    long Traced(const std::string& fragment, std::size_t from = 0) {
        const auto& lines = sim.GetTrace().Lines();
        return std::count_if(
            lines.begin() + static_cast<long>(from), lines.end(),
            [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
    }

    // The number of the last trace line that contains the fragment, 0 when none does.
    std::size_t LastLine(const std::string& fragment) {
        const auto& lines = sim.GetTrace().Lines();
        for (std::size_t i = lines.size(); i > 0; --i)
            if (lines[i - 1].find(fragment) != std::string::npos) return i;
        return 0;
    }

    // Fails unless the wire so far is, request for request, the recorded trace of the same run
    // (its transfer lines); on a difference the lines sent are left in the working folder,
    // under the same name (a missing recording is all difference).
    void ExpectRecordedWire(const char* name) {
        QFile file(QStringLiteral(TRACES_DIR "/") + QLatin1String(name));
        file.open(QIODevice::ReadOnly | QIODevice::Text);
        std::vector<std::string> recorded;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (!line.startsWith('#')) recorded.push_back(line.toStdString());
        }
        const auto& sent = sim.GetTrace().Lines();
        if (sent == recorded) return;
        QFile out{QString::fromLatin1(name)};
        if (out.open(QIODevice::WriteOnly | QIODevice::Text))
            for (const std::string& line : sent) out.write((line + '\n').c_str());
        const auto [mine, theirs] = std::mismatch(sent.begin(), sent.end(), recorded.begin(),
                                                  recorded.end());
        QFAIL(qPrintable(QStringLiteral("the wire differs from %1 at line %2; sent lines in %3")
                             .arg(QLatin1String(name))
                             .arg(mine - sent.begin() + 1)
                             .arg(QFileInfo(out).absoluteFilePath())));
    }

    // Runs action each time the window handles its pending events, also inside a running job.
    void OnEveryPump(std::function<void()> action) {
        auto* timer = new QTimer(window.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, window.get(), std::move(action));
        timer->start();
    }
};

}  // namespace

class IspPageTest : public QObject {
    Q_OBJECT

private slots:
    void fileButtonShowsTheChecksumAndKeepsEachNameOnceInTheHistory() {
        Bench bench;
        QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0000"));
        const QString first = bench.WriteFile("first.bin", QByteArray("\x01\x02\x03", 3));
        const QString second = bench.WriteFile("second.BIN", QByteArray(4, '\x10'));

        bench.ChooseFile(first);
        QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0006"));
        bench.ChooseFile(second);
        QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0040"));
        bench.ChooseFile(first);
        // The chosen paths as the system writes them (with backslashes on Windows).
        const QString shownFirst = QDir::toNativeSeparators(first);
        QCOMPARE(ComboItems(bench.History()),
                 (QStringList{shownFirst, QDir::toNativeSeparators(second)}));
        QCOMPARE(bench.History().currentText(), shownFirst);

        bench.ChooseFile(QString());  // cancelled
        QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0006"));
        QCOMPARE(bench.History().count(), 2);
    }

    // A file that cannot serve, chosen with File or typed into the combo for Auto, is named
    // with its cause under the documented notice; nothing of it is kept, nothing is sent for it.
    void aFileThatCannotServeIsNamedWithItsCauseAndNothingIsSent() {
        Bench bench;
        bench.Tick();
        const QString folder = bench.settingsDir.filePath("folder.bin");
        QDir().mkdir(folder);
        const std::pair<QString, const char*> files[] = {
            {bench.settingsDir.filePath("missing.bin"), "no such file"},
            {bench.WriteFile("empty.bin", {}), "is empty"},
            {bench.WriteFile("garbage.h00", "no records here"), "line 1: not a record"},
            {bench.WriteFile("notes.txt", "\x01"), "asks for no loader"},
            {folder, "is a folder"},
            {bench.WriteFile("large.bin", QByteArray(0x100000, '\x5A')), "1048576 bytes, larger"}};
        const std::size_t linesBefore = bench.sim.GetTrace().Lines().size();
        for (const auto& [file, cause] : files) {
            bench.ChooseFile(bench.WriteFile("good.bin", QByteArray("\x01\x02\x03", 3)));
            const auto before = bench.Messages().size();
            bench.ChooseFile(file);
            QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0000"));
            const QString shown = QDir::toNativeSeparators(file);
            QCOMPARE(bench.History().currentText(), shown);
            bench.Button("btnUSBISPAuto").click();
            const QStringList messages = bench.Messages().mid(before);
            QCOMPARE(messages.size(), 2);
            for (const QString& message : messages)
                QVERIFY2(message.startsWith(kProgramFileNotReady + '\n' + shown + ": ") &&
                             message.contains(cause),
                         qPrintable(message));
        }
        QCOMPARE(bench.sim.GetTrace().Lines().size(), linesBefore);
    }

    // The file named in the combo is loaded, programmed and verified; the bar ends full.
    void autoProgramsTheComboFileIntoTheFlash() {
        Bench bench;
        bench.Tick();
        const QByteArray image = Pattern(5000);
        const QString file = bench.WriteFile("firmware.bin", image);
        bench.History().setCurrentText(file);
        QStringList captionsWhileRunning;
        // A click on the button as the sequence ends only asks it to stop: it starts nothing.
        bool clickedAtTheEnd = false;
        bench.OnEveryPump([&] {
            captionsWhileRunning << bench.Button("btnUSBISPAuto").text();
            if (clickedAtTheEnd || bench.Text("lblUSBProcessInfo") != "Verifying Success") return;
            clickedAtTheEnd = true;
            QMetaObject::invokeMethod(&bench.Button("btnUSBISPAuto"), "click",
                                      Qt::QueuedConnection);
        });

        bench.Button("btnUSBISPAuto").click();
        QCoreApplication::processEvents();
        QVERIFY(clickedAtTheEnd);
        QCOMPARE(bench.Traced(" 84 "), 1);
        QVERIFY(bench.FlashHolds(image));
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Verifying Success"));
        QCOMPARE(bench.Text("lblUSBISPProcess"), QString("Verifying Addr: 0x001380"));
        QVERIFY(captionsWhileRunning.contains("Stop"));
        QCOMPARE(bench.Button("btnUSBISPAuto").text(), QString("Auto"));
        const auto& bar = bench.Child<QProgressBar>("pgbUSBISPProgress");
        QCOMPARE(bar.value(), bar.maximum());
        QCOMPARE(ComboItems(bench.History()), QStringList{file});
        QVERIFY(bench.Text("lblUSBChecksum") != QString("Checksum : 0x0000"));
        QVERIFY(!bench.userDevice->InIspMode());
        QVERIFY(!bench.device.IsOpen());
        QCOMPARE(bench.Messages(), QStringList());
        // The trace was recorded from this run on Linux; the Windows build sends the same.
        bench.ExpectRecordedWire("window-auto.trace");
    }

    // With Verify unchecked, a page the flash did not take is still no success: its write
    // enable was ignored from the second page on, and the label names that page.
    void aPageTheFlashDidNotTakeFailsTheSequenceWithoutAVerify() {
        Bench bench;
        bench.Tick();
        const QString file = bench.WriteFile("firmware.bin", Pattern(5000));
        bench.History().setCurrentText(file);
        bench.Child<QCheckBox>("chkVerify").setChecked(false);
        bench.OnEveryPump([&] {
            if (bench.Text("lblUSBProcessInfo") == "Start Programming")
                bench.userDevice->Faults().flash.writeEnableIgnored = true;
        });
        bench.Button("btnUSBISPAuto").click();
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Programming Fail at 0x000100"));
        QVERIFY(!bench.userDevice->InIspMode());
    }

    // A status register locked by a protected run (the write-protect pin held low) refuses the
    // next sequence; the status label shows the status the refusal names.
    void aLockedFlashShowsTheStatusItWasRefusedFor() {
        Bench bench;
        bench.Tick();
        bench.History().setCurrentText(bench.WriteFile("firmware.bin", Pattern(700)));
        bench.userDevice->Faults().flash.writeProtectPinLow = true;
        bench.Button("btnUSBISPAuto").click();
        bench.Button("btnUSBISPAuto").click();
        QCOMPARE(bench.Text("lblUSBProcessInfo"),
                 QString("Flash is write-protected (status 0xFC)"));
        QCOMPARE(bench.Text("lblUSBISPStatusReg"), QString("Status Register: 0xFC"));
    }

    void autoWithoutADeviceOnlyShowsTheMessage() {
        Bench bench;
        bench.History().setCurrentText(bench.WriteFile("firmware.bin", Pattern(64)));
        bench.Button("btnUSBISPAuto").click();
        QCOMPARE(bench.Messages(), QStringList{kDeviceNotAvailable});
        QCOMPARE(bench.Button("btnUSBISPAuto").text(), QString("Auto"));
        QCOMPARE(bench.host.opens, 0);
        QVERIFY(bench.sim.GetTrace().Lines().empty());
    }

    // While the sequence programs, other device buttons do nothing; a click on Stop well into
    // the walk (the window takes events between its pages too) ends the run at the next page,
    // and the flash is still protected and ISP mode left.
    void stopEndsARunningSequenceThatStillProtectsAndLeavesIsp() {
        Bench bench;
        bench.Tick();
        const QByteArray image = Pattern(0x10000);
        bench.ChooseFile(bench.WriteFile("firmware.bin", image));
        int opensAroundBusyClick = -1;
        std::size_t linesAtStop = 0;
        bench.OnEveryPump([&] {
            if (linesAtStop != 0 || bench.Traced(kPageProgram) < 64) return;
            const int opens = bench.host.opens;
            bench.Button("btnUSBReadStatus").click();
            opensAroundBusyClick = bench.host.opens - opens;
            linesAtStop = bench.sim.GetTrace().Lines().size();
            bench.Button("btnUSBISPAuto").click();
        });

        bench.Button("btnUSBISPAuto").click();
        QVERIFY(linesAtStop > 0);
        QCOMPARE(opensAroundBusyClick, 0);
        QVERIFY(bench.Text("lblUSBProcessInfo").startsWith("Stopped at 0x"));
        QCOMPARE(bench.Button("btnUSBISPAuto").text(), QString("Auto"));
        QVERIFY(!bench.FlashHolds(image));
        QCOMPARE(bench.Traced(kPageProgram, linesAtStop), 1);  // the page in hand
        QCOMPARE(bench.Traced("2 OK 01FF", linesAtStop), 1);              // protection
        QCOMPARE(bench.Traced(" 85 2D7C 3E92 ", linesAtStop), 1);         // ISP mode left
        QVERIFY(!bench.userDevice->InIspMode());
        QCOMPARE(bench.userDevice->Flash().Status() & 0x1C, 0x1C);
        QVERIFY(!bench.device.IsOpen());
    }

    // Closing the window while the sequence programs waits for it to stop at the next page and
    // clean up: the flash is protected and ISP mode left on the device still open, and only
    // then is the device closed and the settings saved. Neither a second close nor a click on
    // Auto meanwhile starts anything.
    void closingDuringAutoLetsTheSequenceCleanUpFirst() {
        Bench bench;
        bench.Tick();
        const QString file = bench.WriteFile("firmware.bin", Pattern(8192));
        bench.History().setCurrentText(file);
        bool closed = false;
        bool stillOpenAfterClose = false;
        bench.OnEveryPump([&] {
            if (closed || bench.Traced(kPageProgram) == 0) return;
            closed = true;
            bench.window->close();
            bench.window->close();
            bench.Button("btnUSBISPAuto").click();
            stillOpenAfterClose = bench.window->isVisible() && bench.device.IsOpen();
        });

        bench.Button("btnUSBISPAuto").click();
        QVERIFY(closed);
        QVERIFY(stillOpenAfterClose);
        // Shown from the close on, over the texts of the steps that still ran.
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Stopping..."));
        QVERIFY(!bench.window->isVisible());
        QCOMPARE(bench.Saved("ISPFileName").toString(), file);
        QCOMPARE(bench.sim.OpenHandleCount(), std::size_t{0});
        QVERIFY(!bench.userDevice->InIspMode());
        QCOMPARE(bench.userDevice->Flash().Status() & 0x1C, 0x1C);
        // The last page program (a 0x80 request opening instruction 02), then the protection
        // and ISP mode left, both answered.
        const std::size_t lastPage = bench.LastLine(kPageProgram);
        QVERIFY(lastPage > 0);
        QVERIFY(bench.LastLine("2 OK 01FF") > lastPage);
        QVERIFY(bench.LastLine(" 85 2D7C 3E92 0 OK") > bench.LastLine("2 OK 01FF"));
        QCOMPARE(bench.Traced(" 84 "), 1);
    }

    // The close alone asks the sequence to stop: not every one of the image's 32 pages goes out.
    void closingDuringAutoStopsTheSequence() {
        Bench bench;
        bench.Tick();
        bench.History().setCurrentText(bench.WriteFile("firmware.bin", Pattern(8192)));
        bool closed = false;
        bench.OnEveryPump([&] {
            if (closed || bench.Traced(kPageProgram) == 0) return;
            closed = true;
            bench.window->close();
        });
        bench.Button("btnUSBISPAuto").click();
        QVERIFY(closed);
        QVERIFY(bench.Traced(kPageProgram) < 8192 / 256);
        QVERIFY(!bench.window->isVisible());
    }

    // A stop during the chip erase: the protection waits the erase out with the window's
    // events flowing (its timers fire), "Stopping..." shows at once, and a click that came
    // meanwhile starts no second sequence.
    void aStopDuringTheEraseKeepsTheWindowAliveAndStartsNothingMore() {
        Bench bench;
        bench.Tick();
        bench.History().setCurrentText(bench.WriteFile("firmware.bin", Pattern(8192)));
        QString shownAtStop;
        int ticksWhileTheEraseRunsOn = 0;
        bench.OnEveryPump([&] {
            if (!shownAtStop.isEmpty()) {
                ticksWhileTheEraseRunsOn += bench.userDevice->Flash().Status() & 0x01;
                return;
            }
            if (!bench.Text("lblUSBProcessInfo").startsWith("Flash Erase All")) return;
            bench.Button("btnUSBISPAuto").click();
            shownAtStop = bench.Text("lblUSBProcessInfo");
            QMetaObject::invokeMethod(&bench.Button("btnUSBISPAuto"), "click",
                                      Qt::QueuedConnection);
        });

        bench.Button("btnUSBISPAuto").click();
        QCoreApplication::processEvents();
        QCOMPARE(shownAtStop, QString("Stopping..."));
        QVERIFY(ticksWhileTheEraseRunsOn > 0);
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Stopped during the erase"));
        QCOMPARE(bench.Button("btnUSBISPAuto").text(), QString("Auto"));
        QCOMPARE(bench.Traced(" 84 "), 1);  // one ISP entry: one sequence
        QCOMPARE(bench.userDevice->Flash().Status() & 0x1C, 0x1C);
    }

    // Pass and fail at a glance: green after a success, red after a failure. A new file or a
    // board that goes away clears the result, text and colour, unless its going is the result;
    // the same board seen again keeps it.
    void theResultIsColouredAndGoesWithItsBoard() {
        Bench bench;
        bench.Tick();
        const QString file = bench.WriteFile("firmware.bin", Pattern(5000));
        bench.History().setCurrentText(file);
        const auto& bar = bench.Child<QProgressBar>("pgbUSBISPProgress");
        const auto colour = [&] {
            return bench.Child<QLabel>("lblUSBProcessInfo").palette().color(QPalette::WindowText);
        };
        const QColor neutral = bench.Child("PageISPCtrl").palette().color(QPalette::WindowText);
        const auto cleared = [&] {
            return colour() == neutral && bar.value() == bar.minimum() &&
                   bench.Text("lblUSBProcessInfo").isEmpty();
        };

        bench.Button("btnUSBISPAuto").click();
        QVERIFY(colour().green() > 100 && colour().red() < 50);
        QCOMPARE(bar.value(), bar.maximum());
        // Detection switched off and on finds the same board again, after a search for the
        // other kind of device: the result stays.
        auto& detect = bench.Child<QCheckBox>("chkDetectUSB");
        detect.setChecked(false);
        detect.setChecked(true);
        bench.Tick();
        bench.Tick();
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Verifying Success"));
        QVERIFY(colour().green() > 100);
        bench.ChooseFile(file);
        QVERIFY(cleared());
        bench.Button("btnUSBISPAuto").click();
        bench.sim.Detach(*bench.userDevice);
        bench.Tick();
        QVERIFY(cleared());

        // Pulled while detection was off: the search for the board finds nothing.
        bench.sim.Attach(bench.userDevice);
        bench.Tick();
        bench.Tick();
        bench.Button("btnUSBISPAuto").click();
        detect.setChecked(false);
        bench.sim.Detach(*bench.userDevice);
        detect.setChecked(true);
        bench.Tick();
        QVERIFY(!cleared());
        bench.Tick();
        QVERIFY(cleared());

        bench.sim.Attach(bench.userDevice);
        bench.Tick();
        bench.Tick();
        bench.OnEveryPump([&] {
            if (bench.Text("lblUSBProcessInfo") == "Start Programming")
                bench.sim.Detach(*bench.userDevice);
        });
        bench.Button("btnUSBISPAuto").click();
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("USB device is NOT available"));
        QVERIFY(colour().red() > 150 && colour().green() < 50);
        bench.Tick();
        QVERIFY(!cleared());
    }

    // The range edits take effect when a radio button is clicked; a text that is no number
    // is reported and nothing is erased for it.
    void rangeChoiceTakesTheEditsAndReportsATextThatIsNoNumber() {
        Bench bench(StartLayout::Engineering);
        bench.Tick();
        bench.Child<QLineEdit>("lbledISPStart").setText("64");
        bench.Child<QLineEdit>("lbledISPRange").setText("8");
        bench.Child<QRadioButton>("rbnRange1").click();
        QVERIFY(bench.Child("lbledISPStart").isEnabled());
        bench.Button("btnEnterISP").click();
        bench.Button("btnUSBErase").click();
        QCOMPARE(bench.Traced(" OK 20010000"), 1);
        QCOMPARE(bench.Traced(" OK 20011000"), 1);
        QCOMPARE(bench.Traced(" OK 20012000"), 0);
        QCOMPARE(bench.Messages(), QStringList());

        bench.Child<QLineEdit>("lbledISPStart").setText("4O");  // a letter O
        bench.Child<QRadioButton>("rbnRange0").click();
        bench.Child<QRadioButton>("rbnRange1").click();
        QCOMPARE(bench.Messages(), QStringList{"'4O' is not a valid integer value"});
    }
};

QTEST_MAIN(IspPageTest)
#include "IspPageTest.moc"
