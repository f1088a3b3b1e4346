#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "tests/app/WindowBench.h"

namespace {

const QColor kLime(0, 255, 0);
const QColor kGrey(128, 128, 128);
const QString kUserDeviceText("Device F82D is exist");
const QString kNothingText("No device is available");

QColor PanelColour(const WindowBench& bench) {
    return bench.Child("pnlUSBExist").palette().color(QPalette::Window);
}
QColor ButtonFace(const WindowBench& bench) {
    return bench.window->palette().color(QPalette::Window);
}
QString StatusText(const WindowBench& bench) {
    return bench.Child<QLabel>("lblDetectDevice").text();
}
// A search that finds nothing alternates between the user's device and the firmware-update
// devices, so the user's device shows within two ticks.
void TickUntilLime(const WindowBench& bench) {
    for (int tick = 0; tick < 2 && PanelColour(bench) != kLime; ++tick) bench.Tick();
}
bool EditsEnabled(const WindowBench& bench) {
    return bench.Child("lbledtVID").isEnabled() && bench.Child("lbledtPID").isEnabled();
}

}  // namespace

class PresencePanelTest : public QObject {
    Q_OBJECT

private slots:
    void firstTickShowsTheAttachedUserDevice() {
        WindowBench bench;
        QVERIFY(!bench.Child("lbledtVID").isEnabled());
        QVERIFY(!bench.Child("lbledtPID").isEnabled());
        QCOMPARE(StatusText(bench), QString());

        bench.Tick();
        QCOMPARE(PanelColour(bench), kLime);
        QCOMPARE(StatusText(bench), kUserDeviceText);
        QCOMPARE(bench.Timer().interval(), 1000);
    }

    void aDeviceThatComesAndGoesIsFollowedTickByTick() {
        WindowBench bench;
        bench.Tick();
        bench.sim.Detach(*bench.userDevice);
        bench.Tick();
        QCOMPARE(StatusText(bench), kNothingText);
        QCOMPARE(PanelColour(bench), ButtonFace(bench));
        QVERIFY(PanelColour(bench) != kGrey);
        bench.Tick();  // searching now, every 300 ms
        QCOMPARE(StatusText(bench), kNothingText);
        QCOMPARE(bench.Timer().interval(), 300);

        bench.sim.Attach(bench.userDevice);
        TickUntilLime(bench);
        QCOMPARE(PanelColour(bench), kLime);
        QCOMPARE(StatusText(bench), kUserDeviceText);
        bench.Tick();
        QCOMPARE(bench.Timer().interval(), 1000);
    }

    void switchingDetectionOffGreysThePanelAndKeepsTheText() {
        WindowBench bench;
        bench.Tick();
        auto& detect = bench.Child<QCheckBox>("chkDetectUSB");
        detect.click();
        QCOMPARE(PanelColour(bench), kGrey);
        QCOMPARE(StatusText(bench), kUserDeviceText);
        QVERIFY(EditsEnabled(bench));
        QVERIFY(!bench.device.IsPresent());
        bench.Tick();
        QCOMPARE(PanelColour(bench), kGrey);

        detect.click();
        QVERIFY(!bench.Child("lbledtVID").isEnabled());
        QVERIFY(!bench.Child("lbledtPID").isEnabled());
        TickUntilLime(bench);
        QCOMPARE(PanelColour(bench), kLime);
    }

    // With detection off, Enter takes an edit's text for detection; it shows in what is saved.
    void enterTakesTheEditTextOtherKeysDoNot_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("savedVid");
        QTest::addColumn<QString>("savedPid");
        QTest::newRow("Return in VID") << "lbledtVID"
                                       << "1234" << int(Qt::Key_Return) << "1234"
                                       << "F82D";
        QTest::newRow("keypad Enter in PID") << "lbledtPID"
                                             << "abcd" << int(Qt::Key_Enter) << "6b94"
                                             << "abcd";
        QTest::newRow("Escape in VID") << "lbledtVID"
                                       << "1234" << int(Qt::Key_Escape) << "6b94"
                                       << "F82D";
        QTest::newRow("Tab in PID") << "lbledtPID"
                                    << "abcd" << int(Qt::Key_Tab) << "6b94"
                                    << "F82D";
    }

    void enterTakesTheEditTextOtherKeysDoNot() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, savedVid);
        QFETCH(QString, savedPid);
        WindowBench bench;
        bench.Child<QCheckBox>("chkDetectUSB").click();
        auto& field = *bench.window->findChild<QLineEdit*>(edit);
        field.clear();
        QTest::keyClicks(&field, typed);
        QTest::keyClick(&field, Qt::Key(key));
        bench.window->close();
        QCOMPARE(bench.Saved("UsbVIDSet").toString(), savedVid);
        QCOMPARE(bench.Saved("UsbPIDSet").toString(), savedPid);
    }
};

QTEST_MAIN(PresencePanelTest)
#include "PresencePanelTest.moc"
