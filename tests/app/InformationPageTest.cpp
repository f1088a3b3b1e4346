// The Information page on the simulated user's device: the status labels after "Update", the
// five media keys, and both parameter and status pages standing still while a flash job runs.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "tests/app/RegisterTrace.h"
#include "tests/app/WindowBench.h"

namespace {

const QString kNoRate(8, QLatin1Char(' '));
const char* const kStreamLabels[] = {"lblCurrentFormat0", "lblCurrentFormat1", "lblCurrentFreq0",
                                     "lblCurrentFreq1"};

struct Bench : WindowBench {
    Bench() : WindowBench(StartLayout::Engineering) {}

    void FindDevice() {
        Tick();
        sim.GetTrace().ClearLines();
    }

    qv::sim::SimStream& Stream() const { return userDevice->Playback().Stream(); }
    void Click(const char* button) const { Child<QPushButton>(button).click(); }
    QString Text(const char* label) const { return Child<QLabel>(label).text(); }
    QByteArray HidKeys() const {
        const std::vector<std::uint8_t>& keys = userDevice->Mailbox().HidKeys();
        return QByteArray(reinterpret_cast<const char*>(keys.data()),
                          static_cast<qsizetype>(keys.size()));
    }

    // The texts of the six labels, a greyed one in brackets.
    QStringList Shown() const {
        QStringList texts;
        for (const char* name : {"lblConnect", "lblMute", "lblCurrentFormat0", "lblCurrentFormat1",
                                 "lblCurrentFreq0", "lblCurrentFreq1"}) {
            const QLabel& label = Child<QLabel>(name);
            texts << (label.isEnabled() ? label.text() : "[" + label.text() + "]");
        }
        return texts;
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

class InformationPageTest : public QObject {
    Q_OBJECT

private slots:
    void playingStreamShowsItsFormatAndRate_data() {
        QTest::addColumn<bool>("dsd");
        QTest::addColumn<int>("rateCode");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("rate");
        const auto row = [](const char* name, bool dsd, int rateCode, const char* format,
                            const QString& rate) {
            QTest::newRow(name) << dsd << rateCode << QString(format) << rate;
        };
        row("PCM 176.4 kHz", false, 0x04, "PCM", "176.4KHz");
        row("native DSD 128", true, 0x09, "DSD", " DSD 128");
        row("DoP 128", true, 0x01, "DSD", " DoP 128");
        row("upper bits ignored", false, 0x1C, "PCM", kNoRate);
        row("48 kHz", false, 0x01, "PCM", "   48KHz");
    }

    // Update selects bank 0 and reads the rate, the unused byte and the flags, in that order.
    void playingStreamShowsItsFormatAndRate() {
        QFETCH(bool, dsd);
        QFETCH(int, rateCode);
        QFETCH(QString, format);
        QFETCH(QString, rate);
        Bench bench;
        bench.FindDevice();
        bench.Stream().dsd = dsd;
        bench.Stream().rateCode = static_cast<std::uint8_t>(rateCode);
        bench.Click("btnUpdateStatus");
        const auto flags = static_cast<std::uint8_t>(dsd ? 0x03 : 0x01);
        QCOMPARE(RegisterRequests(bench.sim),
                 (QStringList{RegisterWrite(0x00, 0x00),
                              RegisterRead(0xA4, static_cast<std::uint8_t>(rateCode)),
                              RegisterRead(0xA5, 0x00), RegisterRead(0xA6, flags)}));
        QCOMPARE(bench.Shown(), (QStringList{"USB connected", "Playing", "Input Format:", format,
                                             "Input Freq:  ", rate}));
    }

    // Muted, then unplugged: the labels that do not apply grey out and keep their texts.
    void labelsThatDoNotApplyGreyOutWithTheirLastTexts() {
        Bench bench;
        bench.FindDevice();
        bench.Stream().dsd = true;
        bench.Stream().rateCode = 0x09;
        bench.Click("btnUpdateStatus");

        bench.Stream().muted = true;  // flags 0x07
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.Shown(), (QStringList{"USB connected", "Mute", "[Input Format:]", "[DSD]",
                                             "[Input Freq:  ]", "[ DSD 128]"}));

        bench.Stream() = {.connected = false, .muted = false, .dsd = false, .rateCode = 0x00};
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.Shown(), (QStringList{"USB Disconnected", "[Mute]", "[Input Format:]",
                                             "[DSD]", "[Input Freq:  ]", "[ DSD 128]"}));

        bench.Stream() = {.connected = true, .muted = false, .dsd = false, .rateCode = 0x05};
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.Shown(), (QStringList{"USB connected", "Playing", "Input Format:", "PCM",
                                             "Input Freq:  ", "  192KHz"}));
    }

    // Without a device nothing has been read: the zero status reads as disconnected. Reads
    // that fail later leave the status last read on show.
    void unansweredUpdateShowsTheStatusHeld() {
        Bench bench;
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.Shown(), (QStringList{"USB Disconnected", "[Unmute]", "[Input Format:]",
                                             "[PCM]", "[Input Freq:  ]", "[176.4KHz]"}));

        bench.FindDevice();
        bench.Stream().muted = true;
        bench.Click("btnUpdateStatus");
        bench.userDevice->Faults().stalledRequests.insert(0x91);  // register reads
        bench.Stream() = {};
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.Text("lblConnect"), QString("USB connected"));
        QCOMPARE(bench.Text("lblMute"), QString("Mute"));
    }

    // Each button sends its own key, found by its name whatever the order of the clicks.
    void hidButtonsSendTheirKeys() {
        Bench bench;
        bench.FindDevice();
        bench.Click("btnHID3");  // "HID Vol +"
        QCOMPARE(RegisterRequests(bench.sim),
                 (QStringList{RegisterWrite(0x00, 0x00), RegisterWrite(0x91, 0x01),
                              RegisterWrite(0x90, 0x30), RegisterRead(0x90, 0x31)}));
        for (const char* button : {"btnHID0", "btnHID4", "btnHID1", "btnHID2"}) bench.Click(button);
        QCOMPARE(bench.HidKeys(), QByteArray("\x01\x40\x20\x02\x10"));
        QVERIFY(!bench.device.IsOpen());
    }

    // While an erase holds the device, the buttons and edits of both pages send nothing; once
    // it has ended they work again.
    void devicePagesSendNothingWhileAFlashJobRuns() {
        Bench bench;
        bench.Tick();
        bench.Click("btnEnterISP");
        int opensAroundClicks = -1;
        bench.OnEveryPump([&] {
            if (opensAroundClicks >= 0) return;
            const int opens = bench.host.opens;
            for (const char* button : {"btnUpdateStatus", "btnHID2", "btnReadPara", "btnSetPara"})
                bench.Click(button);
            for (const char* edit : {"lbledSysVID", "lbledSysStr1"})
                QTest::keyClick(&bench.Child<QLineEdit>(edit), Qt::Key_Return);
            opensAroundClicks = bench.host.opens - opens;
        });
        bench.Click("btnUSBErase");
        QCOMPARE(opensAroundClicks, 0);
        QCOMPARE(bench.HidKeys(), QByteArray());

        bench.Click("btnHID2");
        QCOMPARE(bench.HidKeys(), QByteArray("\x10"));
    }
};

QTEST_MAIN(InformationPageTest)
#include "InformationPageTest.moc"
