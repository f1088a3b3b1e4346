// The I2C Access page and the Information page's Special I2C group on the simulated chip's I2C
// bus (slaves at 0x20 and 0x60), checked against the bus events the master's registers carried.
#include <QScrollBar>
#include <QTimer>

#include "tests/app/RegisterTableBench.h"

namespace {

// The bench on the I2C page, whose entry has set the master up.
struct I2cBench : RegisterTableBench {
    explicit I2cBench(bool findDevice = true) : RegisterTableBench(findDevice) {
        ShowPage("I2C Access");
        sim.GetTrace().ClearLines();
    }

    qv::sim::SimI2cSlave& Slave(std::uint8_t address) const {
        return userDevice->I2c().Slaves()[address];
    }
    QTableWidget& Grid() const { return RegisterTableBench::Grid("StringGridMIIC"); }
    void Type(const char* edit, const QString& text) const {
        Child<QLineEdit>(edit).setText(text);
        QTest::keyClick(&Child<QLineEdit>(edit), Qt::Key_Return);
    }
    void SetLengths(int commands, int data) const {
        Child<QScrollBar>("srblen0").setValue(commands);
        Child<QScrollBar>("srblen1").setValue(data);
    }
};

}  // namespace

class I2cPagesTest : public QObject {
    Q_OBJECT

private slots:
    void enteringThePageSetsTheMasterUp() {
        RegisterTableBench bench;
        bench.ShowPage("I2C Access");
        QCOMPARE(bench.Registers(), (QStringList{"W00 0E", "W11 04"}));
        QVERIFY(!bench.device.IsOpen());
    }

    // Register by register from slave 0x20, letting events through after each, so that a click
    // on "Stop" ends the reads; the registers not read keep their cells.
    void readShowsTheSlavesRegistersUntilStopped() {
        I2cBench bench;
        for (int i = 0; i < 256; ++i)
            bench.Slave(0x20).registers[i] = static_cast<std::uint8_t>(i ^ 0xC3);
        QTableWidget& grid = bench.Grid();
        auto& button = bench.Child<QPushButton>("btnReadMI2C");
        QStringList captions;
        QTimer pump;
        QObject::connect(&pump, &QTimer::timeout, [&] {
            captions << button.text();
            if (!bench.Cell(grid, 16, 1).isEmpty() && button.text() == "Stop") button.click();
        });
        pump.start(0);
        button.click();
        pump.stop();

        QVERIFY(captions.contains("Stop"));
        QCOMPARE(button.text(), QString("Read"));
        QVERIFY(bench.Bus().startsWith("S 20 00 S 21 (C3) P S 20 01 S 21 (C2) P"));
        const int read = static_cast<int>(bench.Registers().filter("W12 21").size());
        QVERIFY2(read >= 16 && read < 256, qPrintable(QString::number(read)));
        for (int address = 0; address < 256; ++address)
            QCOMPARE(bench.Cell(grid, address % 16 + 1, address / 16 + 1),
                     address < read ? QString::asprintf("%02X", address ^ 0xC3) : QString());
        QVERIFY(!bench.device.IsOpen());
    }

    // Enter takes the low byte of the typed address; the box shows it and the page uses it.
    // The Special I2C box sets the same address and shows it here.
    void slaveAddressBoxesSetTheSharedAddressOnEnter() {
        I2cBench bench;
        bench.Type("edtMI2CAddr", "3a");
        QCOMPARE(bench.Text("edtMI2CAddr"), QString("3A"));
        bench.ClickCell(bench.Grid(), 2, 1);
        QVERIFY(bench.Bus().startsWith("S 3A S 3A"));  // no slave answers there: tried again

        bench.Type("edtMI2CAddr", "1A0");
        QCOMPARE(bench.Text("edtMI2CAddr"), QString("A0"));
        bench.Type("edtMI2CAddr", "2 0");
        QCOMPARE(bench.Messages(), QStringList{"'0x2 0' is not a valid integer value"});
        QCOMPARE(bench.Text("edtMI2CAddr"), QString("2 0"));

        bench.Type("edtMI2CAddr1", "60");
        QCOMPARE(bench.Text("edtMI2CAddr"), QString("60"));
        QCOMPARE(bench.Text("edtMI2CAddr1"), QString("60"));
        bench.Slave(0x60).registers[0x05] = 0x77;
        const std::size_t mark = bench.Mark();
        bench.ClickCell(bench.Grid(), 6, 1);
        QCOMPARE(bench.Bus(mark), QString("S 60 05 S 61 (77) P"));
        QCOMPARE(bench.Text("lblMI2CRegData"), QString("= 0x77"));
    }

    // Enter, Insert and Delete start from the text typed in the cell: "FF" cannot go up nor
    // "00" down, and a text that is no number is reported. A write waits 1 ms before its
    // read-back. On the grid itself the keys take the text the cell holds.
    void gridKeysStartFromTheCellText() {
        I2cBench bench;
        QTableWidget& grid = bench.Grid();
        bench.ClickCell(grid, 1, 1);
        std::size_t mark = bench.Mark();
        bench.TypeInCell(grid, "FF", Qt::Key_Insert);
        bench.TypeInCell(grid, "00", Qt::Key_Delete);
        bench.TypeInCell(grid, "G1", Qt::Key_Delete);
        QCOMPARE(bench.Bus(mark), QString());
        QCOMPARE(bench.Messages(), QStringList{"'0xG1' is not a valid integer value"});

        const std::uint64_t since = bench.sim.Clock().NowUs();
        const std::uint64_t transfers = bench.sim.TransferCount();
        bench.TypeInCell(grid, "4f", Qt::Key_Insert);
        QCOMPARE(bench.Bus(mark), QString("S 20 00 50 P S 20 00 S 21 (50) P"));
        QCOMPARE(bench.WaitedMs(since, transfers), std::uint64_t{1});
        QCOMPARE(bench.Cell(grid, 1, 1), QString("50"));
        mark = bench.Mark();
        bench.PressKey(grid, Qt::Key_Delete);
        QCOMPARE(bench.Bus(mark), QString("S 20 00 4F P S 20 00 S 21 (4F) P"));

        // A slave that no longer answers: the write and the read-back each try its address ten
        // times and stop; no value arrives, and the cell keeps the value typed.
        bench.Slave(0x20).acknowledgeFromAttempt.reset();
        mark = bench.Mark();
        bench.TypeInCell(grid, "1A");
        const QString unanswered = QString("S 20 ").repeated(10) + "P";
        QTRY_COMPARE(bench.Bus(mark), unanswered + " " + unanswered);
        QCOMPARE(bench.Cell(grid, 1, 1), QString("1A"));
    }

    void bitBoxesWriteTheSlaveRegisterAndWait30Ms() {
        I2cBench bench;
        bench.ClickCell(bench.Grid(), 3, 1);
        const std::size_t mark = bench.Mark();
        const std::uint64_t since = bench.sim.Clock().NowUs();
        const std::uint64_t transfers = bench.sim.TransferCount();
        bench.ClickBit("chkMI2CBit", 7);
        QCOMPARE(bench.Bus(mark), QString("S 20 02 80 P S 20 02 S 21 (80) P"));
        QCOMPARE(bench.WaitedMs(since, transfers), std::uint64_t{30});
        QCOMPARE(bench.Slave(0x20).registers[0x02], 0x80);
        QCOMPARE(bench.Text("lblMI2CRegAddr"), QString("Reg 0x02"));
        QCOMPARE(bench.Text("lblMI2CRegData"), QString("= 0x80"));
    }

    // Three command and two data bytes: the boxes beyond the lengths are disabled and not read;
    // a box gives the byte of its first two characters.
    void specialWriteSendsTheBytesOfTheChosenLengths() {
        I2cBench bench;
        bench.SetLengths(3, 2);
        QCOMPARE(bench.Text("lbllencmd"), QString("3"));
        QCOMPARE(bench.Text("lbllendat"), QString("2"));
        QVERIFY(bench.Child("edtI2Ccmd2").isEnabled() && !bench.Child("edtI2Ccmd3").isEnabled());
        QVERIFY(bench.Child("edtI2Cdat1").isEnabled() && !bench.Child("edtI2Cdat2").isEnabled());
        const char* texts[] = {"5", "0x12", "a7", "33", "44"};
        for (int i = 0; i < 5; ++i) {
            bench.Child<QLineEdit>(qPrintable(QString("edtI2Ccmd%1").arg(i))).setText(texts[i]);
            bench.Child<QLineEdit>(qPrintable(QString("edtI2Cdat%1").arg(i))).setText(texts[4 - i]);
        }
        bench.Click("btnWriteSpecI2C");
        QCOMPARE(bench.Bus(), QString("S 20 50 00 A7 44 33 P"));
    }

    // The bytes received, or 00 when the slave never answered; nothing without a device.
    void specialReadShowsTheBytesReceived() {
        I2cBench bench;
        bench.Type("edtMI2CAddr1", "60");
        bench.SetLengths(1, 2);
        bench.Child<QLineEdit>("edtI2Ccmd0").setText("10");
        bench.Slave(0x60).registers[0x10] = 0xAA;
        bench.Slave(0x60).registers[0x11] = 0xBB;
        bench.Click("btnReadSpecI2C");
        QCOMPARE(bench.Bus(), QString("S 60 10 S 61 (AA) (BB) P"));
        QCOMPARE(bench.Text("edtI2Cdat0"), QString("AA"));
        QCOMPARE(bench.Text("edtI2Cdat1"), QString("BB"));

        bench.Slave(0x60).acknowledgeFromAttempt.reset();
        bench.Click("btnReadSpecI2C");
        QCOMPARE(bench.Text("edtI2Cdat0"), QString("00"));
        QCOMPARE(bench.Text("edtI2Cdat1"), QString("00"));

        I2cBench absent(false);
        absent.host.opens = 0;  // entering the page opened the device
        absent.Click("btnReadSpecI2C");
        absent.Click("btnWriteSpecI2C");
        absent.Click("btnReadMI2C");
        QCOMPARE(absent.host.opens, 0);
    }

    // The Information page's Update selects bank 0x00; the group does not set the master up
    // again and drives registers 0x10 to 0x14 of that bank, so no slave sees the bytes.
    void specialActionsDriveTheBankSelectedLast() {
        I2cBench bench;
        bench.ShowPage("Information");
        bench.Click("btnUpdateStatus");
        QCOMPARE(bench.userDevice->CurrentBank(), 0x00);
        const std::size_t mark = bench.Mark();
        bench.Child<QLineEdit>("edtI2Cdat0").setText("5C");
        bench.Click("btnWriteSpecI2C");
        bench.Click("btnReadSpecI2C");
        QCOMPARE(bench.Registers(mark).filter("W00 ").size(), 0);
        QVERIFY(bench.Registers(mark).contains("W12 5C"));
        QCOMPARE(bench.userDevice->Register(0x00, 0x12), 0x20 | 0x01);  // the read's address
        QCOMPARE(bench.Slave(0x20).registers[0x00], 0x00);
        QCOMPARE(bench.userDevice->CurrentBank(), 0x00);
    }
};

QTEST_MAIN(I2cPagesTest)
#include "I2cPagesTest.moc"
