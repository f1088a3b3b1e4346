// The ISP page's Function Test group on the simulated user's device.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <algorithm>

#include "tests/app/WindowBench.h"

namespace {

constexpr qint64 kReadBackSize = 0x20000;

struct Bench : WindowBench {
    Bench() : WindowBench(StartLayout::Engineering) {}

    QString Text(const char* label) const { return Child<QLabel>(label).text(); }
    void Click(const char* button) const { Child<QPushButton>(button).click(); }

    // Finds the user's device and switches it into ISP mode, where the flash answers.
    void EnterIsp() {
        Tick();
        Click("btnEnterISP");
        sim.GetTrace().ClearLines();
    }

    void TypeWriteStatus(const QString& text, Qt::Key key) const {
        auto& edit = Child<QLineEdit>("lbledtUSBWriteStatus");
        edit.setText(text);
        QTest::keyClick(&edit, key);
    }

    // Reads the flash back and answers the save dialog (an empty name cancels it).
    QByteArray ReadBack(const QString& saveAs) const {
        window->SaveBinFIleDialog.setNextFileName(saveAs);
        Click("btnReadBack");
        QFile file(saveAs);
        return !saveAs.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

}  // namespace

class FunctionTestGroupTest : public QObject {
    Q_OBJECT

private slots:
    void enterIspTogglesOnlyWithADevicePresent() {
        Bench bench;
        bench.Click("btnEnterISP");
        QCOMPARE(bench.Child<QPushButton>("btnEnterISP").text(), QString("Enter ISP"));
        QCOMPARE(bench.host.opens, 0);

        bench.Tick();
        bench.Click("btnEnterISP");
        QCOMPARE(bench.Child<QPushButton>("btnEnterISP").text(), QString("Exit ISP"));
        QVERIFY(bench.userDevice->InIspMode());
        bench.Click("btnEnterISP");
        QCOMPARE(bench.Child<QPushButton>("btnEnterISP").text(), QString("Enter ISP"));
        QVERIFY(!bench.userDevice->InIspMode());
        QVERIFY(!bench.device.IsOpen());
    }

    // The label shows the identification held: a read that times out leaves it as it was.
    void chipIdShowsTheBytesHeld() {
        Bench bench;
        bench.Tick();
        bench.Click("btnUSBChipID");  // outside ISP mode the flash does not answer
        QCOMPARE(bench.Text("lblUSBChipID"), QString("0x00,  0x00,  0x00,  "));

        bench.Click("btnEnterISP");
        bench.Click("btnUSBChipID");
        QCOMPARE(bench.Text("lblUSBChipID"), QString("0xEF,  0x40,  0x14,  "));
        bench.userDevice->Faults().flashNeverReady = true;
        bench.Click("btnUSBChipID");
        QCOMPARE(bench.Text("lblUSBChipID"), QString("0xEF,  0x40,  0x14,  "));
    }

    // Enter sends the typed value as it stands, without a write enable of its own.
    void writeStatusSendsTheTypedHexOnEnterOnly() {
        Bench bench;
        bench.EnterIsp();
        bench.Click("btnUSBWriteEnable");
        bench.sim.GetTrace().ClearLines();
        bench.TypeWriteStatus("8C", Qt::Key_Tab);
        QVERIFY(bench.sim.GetTrace().Lines().empty());

        bench.TypeWriteStatus("8C", Qt::Key_Return);
        const auto& lines = bench.sim.GetTrace().Lines();
        QCOMPARE(lines.size(), std::size_t{1});
        QVERIFY2(lines[0].ends_with(" 80 0000 0001 2 OK 018C"), lines[0].c_str());
        bench.Click("btnUSBReadStatus");  // still writing its status, the latch still set
        QCOMPARE(bench.Text("lblUSBStatus"), QString("0x8F"));
        bench.sim.Clock().Advance(20);
        bench.Click("btnUSBReadStatus");
        QCOMPARE(bench.Text("lblUSBStatus"), QString("0x8C"));
    }

    void writeStatusWithATextThatIsNoNumberSendsNothing() {
        Bench bench;
        bench.EnterIsp();
        const int opens = bench.host.opens;
        bench.TypeWriteStatus("", Qt::Key_Enter);
        QCOMPARE(bench.Messages(), QStringList{"'0x' is not a valid integer value"});
        QVERIFY(bench.sim.GetTrace().Lines().empty());
        QCOMPARE(bench.host.opens, opens);
    }

    // The caption follows the read, not the file.
    void readFlashSavesTheFirst128KbOrNothingWhenCancelled() {
        Bench bench;
        bench.EnterIsp();
        const QString saved = bench.settingsDir.filePath("flash.bin");
        const QByteArray bytes = bench.ReadBack(saved);
        QCOMPARE(bytes.size(), kReadBackSize);
        const auto flash = bench.userDevice->Flash().Contents().first(kReadBackSize);
        QVERIFY(std::equal(flash.begin(), flash.end(), bytes.begin(), [](std::uint8_t a, char b) {
            return a == static_cast<std::uint8_t>(b);
        }));
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Read Flash content Success"));

        const QStringList before = QDir(bench.settingsDir.path()).entryList(QDir::Files);
        QVERIFY(bench.ReadBack(QString()).isEmpty());
        QCOMPARE(QDir(bench.settingsDir.path()).entryList(QDir::Files), before);
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Read Flash content Success"));
    }

    // Outside ISP mode nothing can be read: the file still holds 128 KB, all of it unread.
    void aReadThatFailsStillSavesTheFileAndKeepsItsFailureText() {
        Bench bench;
        bench.Tick();
        const QByteArray bytes = bench.ReadBack(bench.settingsDir.filePath("flash.bin"));
        QCOMPARE(bytes, QByteArray(kReadBackSize, '\x5A'));
        QCOMPARE(bench.Text("lblUSBProcessInfo"), QString("Verifying Fail at 0x000000"));
    }
};

QTEST_MAIN(FunctionTestGroupTest)
#include "FunctionTestGroupTest.moc"
