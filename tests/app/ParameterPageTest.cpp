// The Parameter page on the simulated user's device: the option controls and the block they
// build, "Read back" and "Set", and the identity and string edits that send on Enter.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include "tests/app/RegisterTrace.h"
#include "tests/app/WindowBench.h"

namespace {

// The option controls, each checked or not.
struct ControlState {
    const char* name;
    bool checked;
};

struct Bench : WindowBench {
    Bench() : WindowBench(StartLayout::Engineering) {}

    // The presence timer finds the device; the trace starts empty.
    void FindDevice() {
        Tick();
        sim.GetTrace().ClearLines();
    }

    qv::sim::SimEeprom& Eeprom() const { return userDevice->Mailbox().Eeprom(); }
    void Click(const char* button) const { Child<QAbstractButton>(button).click(); }
    QString EepromText() const { return Child<QLabel>("lblEepAvail").text(); }

    // The block as "Set" sends it, read from what reached the EEPROM.
    QByteArray SetAndSent() {
        Click("btnSetPara");
        return QByteArray(reinterpret_cast<const char*>(Eeprom().options.data()), 4);
    }
    QByteArray StringText(int number) const {
        return QByteArray::fromStdString(Eeprom().StringText(number));
    }

    void PressKey(const char* edit, Qt::Key key) const {
        QTest::keyClick(&Child<QLineEdit>(edit), key);
    }

    // The option controls whose checked state differs from the one given.
    QStringList Differing(std::initializer_list<ControlState> states) const {
        QStringList names;
        for (const ControlState& state : states)
            if (Child<QAbstractButton>(state.name).isChecked() != state.checked)
                names << state.name;
        return names;
    }
};

}  // namespace

class ParameterPageTest : public QObject {
    Q_OBJECT

private slots:
    // The page shows A1 00 00 00 from start-up on, not the form's design (128 Fs, EEPROM Exist),
    // and "Set" sends exactly those four bytes.
    void startUpShowsAndSetsTheInitialOptions() {
        Bench bench;
        QCOMPARE(bench.EepromText(), QString("EEPROM not Available"));
        QCOMPARE(bench.Differing({{"rbnI2Slen0", true},
                                  {"rbnSPDIFlen1", true},
                                  {"chkI2SLRSwap", false},
                                  {"chkDSDLRSwap", false},
                                  {"rbnMCLKOutFreq2", true},
                                  {"rbnI2SFormat0", true},
                                  {"rbnDSDOut0", true},
                                  {"chkMCLKOutOff", false},
                                  {"chkI2SOutOff", false},
                                  {"chkSPDIFOutOff", false}}),
                 QStringList());
        for (const char* edit : {"lbledSysVID", "lbledSysPID"})
            QCOMPARE(bench.Child<QLineEdit>(edit).maxLength(), 4);
        for (const char* edit : {"lbledSysStr1", "lbledSysStr2", "lbledSysStr3"})
            QCOMPARE(bench.Child<QLineEdit>(edit).maxLength(), 31);

        bench.FindDevice();
        bench.Click("btnSetPara");
        QCOMPARE(RegisterRequests(bench.sim), ParameterWrite(0x20, 0x00, {0xA1, 0x00, 0x00, 0x00}));
    }

    void eachOptionControlChangesOnlyItsOwnBits_data() {
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("off");
        QTest::addColumn<QByteArray>("sent");  // while "on" is checked
        const auto row = [](const char* name, const char* on, const char* off, const char* sent) {
            QTest::newRow(name) << QString(on) << QString(off) << QByteArray(sent, 4);
        };
        row("I2S 24 bit", "rbnI2Slen1", "rbnI2Slen0", "\xA0\x00\x00\x00");
        row("S/PDIF 32 bit", "rbnSPDIFlen0", "rbnSPDIFlen1", "\xA3\x00\x00\x00");
        row("I2S swap", "chkI2SLRSwap", "chkI2SLRSwap", "\xA5\x00\x00\x00");
        row("DSD swap", "chkDSDLRSwap", "chkDSDLRSwap", "\xA9\x00\x00\x00");
        row("256 Fs", "rbnMCLKOutFreq1", "rbnMCLKOutFreq2", "\x91\x00\x00\x00");
        row("left justified", "rbnI2SFormat1", "rbnI2SFormat0", "\xE1\x00\x00\x00");
        row("DoP", "rbnDSDOut1", "rbnDSDOut0", "\x21\x00\x00\x00");
        row("MCLK off", "chkMCLKOutOff", "chkMCLKOutOff", "\xA1\x80\x00\x00");
        row("I2S off", "chkI2SOutOff", "chkI2SOutOff", "\xA1\x40\x00\x00");
        row("S/PDIF off", "chkSPDIFOutOff", "chkSPDIFOutOff", "\xA1\x20\x00\x00");
    }

    // A click only changes the block; "Set" sends it. Clicking back restores A1 00 00 00.
    void eachOptionControlChangesOnlyItsOwnBits() {
        QFETCH(QString, on);
        QFETCH(QString, off);
        QFETCH(QByteArray, sent);
        Bench bench;
        bench.FindDevice();
        bench.Click(on.toLatin1().constData());
        QVERIFY(RegisterRequests(bench.sim).isEmpty());
        QCOMPARE(bench.SetAndSent(), sent);
        bench.Click(off.toLatin1().constData());
        QCOMPARE(bench.SetAndSent(), QByteArray("\xA1\x00\x00\x00", 4));
    }

    // Bits 4-5 change, and the bits around them, set by the read, stay.
    void mclkFrequencyReplacesOnlyBitsFourAndFive() {
        Bench bench;
        bench.FindDevice();
        bench.Eeprom().options = {0xCF, 0x1F, 0x5A, 0x00};
        bench.Click("btnReadPara");
        QVERIFY(bench.Child<QRadioButton>("rbnMCLKOutFreq0").isChecked());
        bench.Click("rbnMCLKOutFreq3");
        QCOMPARE(bench.SetAndSent(), QByteArray("\xFF\x1F\x5A\x80", 4));
        bench.Click("rbnMCLKOutFreq1");
        QCOMPARE(bench.SetAndSent(), QByteArray("\xDF\x1F\x5A\x80", 4));
        bench.Click("rbnMCLKOutFreq0");
        QCOMPARE(bench.SetAndSent(), QByteArray("\xCF\x1F\x5A\x80", 4));
    }

    // A read the firmware never completes leaves the options as they were (what the data
    // registers hold then is no answer) and says so; Set then sends the options it kept.
    void aReadWithoutAnswerKeepsTheOptionsAndSaysSo() {
        Bench bench;
        bench.FindDevice();
        bench.Eeprom().options = {0x5E, 0xBF, 0x5A, 0x01};
        bench.userDevice->Mailbox().SetNeverAnswers(true);
        bench.Click("btnReadPara");
        QCOMPARE(bench.Messages(),
                 QStringList{"Read Parameter Fail\nThe chip did not complete the EEPROM read."});
        QVERIFY(bench.Child<QRadioButton>("rbnI2Slen0").isChecked());
        QVERIFY(bench.Child<QRadioButton>("rbnDSDOut0").isChecked());
        bench.userDevice->Mailbox().SetNeverAnswers(false);
        QCOMPARE(bench.SetAndSent(), QByteArray("\xA1\x00\x00\x00", 4));
    }

    // The read block is shown whole and sent back as read, unused bits and the EEPROM flag
    // included; a later read without the flag clears what the first one set.
    void readBackShowsTheBlockAndSetSendsItBackAsRead() {
        Bench bench;
        bench.FindDevice();
        bench.Eeprom().options = {0x5E, 0xBF, 0x5A, 0x01};
        bench.Click("btnReadPara");
        QCOMPARE(bench.EepromText(), QString("EEPROM Exist"));
        QCOMPARE(bench.Differing({{"rbnI2Slen1", true},
                                  {"rbnSPDIFlen0", true},
                                  {"chkI2SLRSwap", true},
                                  {"chkDSDLRSwap", true},
                                  {"rbnMCLKOutFreq1", true},
                                  {"rbnI2SFormat1", true},
                                  {"rbnDSDOut1", true},
                                  {"chkMCLKOutOff", true},
                                  {"chkI2SOutOff", false},
                                  {"chkSPDIFOutOff", true}}),
                 QStringList());
        bench.sim.GetTrace().ClearLines();
        bench.Click("btnSetPara");
        QCOMPARE(RegisterRequests(bench.sim), ParameterWrite(0x20, 0x00, {0x5E, 0xBF, 0x5A, 0x81}));

        bench.Eeprom().options = {0xA1, 0x00, 0x00, 0x00};
        bench.Eeprom().present = false;
        bench.Click("btnReadPara");
        QCOMPARE(bench.EepromText(), QString("EEPROM not Available"));
        QCOMPARE(bench.Differing({{"rbnI2Slen0", true},
                                  {"rbnSPDIFlen1", true},
                                  {"chkI2SLRSwap", false},
                                  {"chkDSDLRSwap", false},
                                  {"rbnMCLKOutFreq2", true},
                                  {"rbnI2SFormat0", true},
                                  {"rbnDSDOut0", true},
                                  {"chkMCLKOutOff", false},
                                  {"chkSPDIFOutOff", false}}),
                 QStringList());
        QCOMPARE(bench.SetAndSent(), QByteArray("\xA1\x00\x00\x00", 4));
    }

    // Enter, on either key, sends the text as typed characters; other keys send nothing.
    void enterSendsTheIdentityAsTypedCharacters() {
        Bench bench;
        bench.FindDevice();
        bench.PressKey("lbledSysVID", Qt::Key_Backspace);
        bench.PressKey("lbledSysVID", Qt::Key_Tab);
        QVERIFY(RegisterRequests(bench.sim).isEmpty());
        bench.Child<QLineEdit>("lbledSysVID").setText("6b9a");
        bench.PressKey("lbledSysVID", Qt::Key_Return);
        QCOMPARE(RegisterRequests(bench.sim), ParameterWrite(0x08, 0x00, {0x36, 0x62, 0x39, 0x61}));

        bench.sim.GetTrace().ClearLines();
        bench.Child<QLineEdit>("lbledSysPID").setText("F8");
        bench.PressKey("lbledSysPID", Qt::Key_Enter);
        QCOMPARE(RegisterRequests(bench.sim), ParameterWrite(0x0A, 0x00, {0x46, 0x38, 0x00, 0x00}));
    }

    // Each edit sends its own string, in chunks of eight; the typed text reaches the chip in its
    // code page.
    void enterSendsEachStringToItsOwnBlock() {
        Bench bench;
        bench.FindDevice();
        bench.PressKey("lbledSysStr2", Qt::Key_Return);
        QCOMPARE(bench.StringText(2), QByteArray("Morrowfieldtone UAC2 22"));
        const QStringList selectorsAndChunks =
            RegisterRequests(bench.sim).filter(QRegularExpression("^W9[12] "));
        QCOMPARE(selectorsAndChunks,
                 (QStringList{RegisterWrite(0x91, 0x14), RegisterWrite(0x92, 0x00),
                              RegisterWrite(0x91, 0x14), RegisterWrite(0x92, 0x01),
                              RegisterWrite(0x91, 0x14), RegisterWrite(0x92, 0x02)}));

        bench.PressKey("lbledSysStr1", Qt::Key_Return);
        bench.Child<QLineEdit>("lbledSysStr3").setText(QString::fromUtf8("Nr 5\u20AC"));
        bench.PressKey("lbledSysStr3", Qt::Key_Return);
        QCOMPARE(bench.StringText(1), QByteArray("Morrowfieldtone"));
        QCOMPARE(bench.StringText(2), QByteArray("Morrowfieldtone UAC2 22"));
        QCOMPARE(bench.StringText(3), QByteArray("Nr 5\x80"));
    }
};

QTEST_MAIN(ParameterPageTest)
#include "ParameterPageTest.moc"
