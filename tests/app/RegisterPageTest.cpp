// The Register page on the simulated chip: Read Bank, cell selection, the grid keys and the bit
// boxes, checked against the register requests the chip received.
#include <QTimer>

#include "tests/app/RegisterTableBench.h"

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

QColor HeaderColour(const QImage& grid, const QTableWidget& table, int column, int row) {
    return grid.pixelColor(RegisterTableBench::CellRect(table, column, row).bottomRight() -
                           QPoint(3, 3));
}

}  // namespace

class RegisterPageTest : public QObject {
    Q_OBJECT

private slots:
    // 256 reads in address order on one open of the device, shown as read; the window handles
    // no events meanwhile, and the labels and bit boxes stay as they were.
    void readBankReadsTheWholeBankInOrder() {
        RegisterTableBench bench(false);
        bench.Click("btnReadAll");
        QCOMPARE(bench.host.opens, 0);

        bench.Tick();
        bench.userDevice->SetRegister(0x00, 0x3C, 0x5A);
        bench.userDevice->SetRegister(0x00, 0xFF, 0xE7);
        int eventsHandled = 0;
        QTimer pump;
        QObject::connect(&pump, &QTimer::timeout, [&] { ++eventsHandled; });
        pump.start(0);
        const int opens = bench.host.opens;
        bench.Click("btnReadAll");
        QCOMPARE(eventsHandled, 0);
        QCOMPARE(bench.host.opens - opens, 1);
        QVERIFY(!bench.device.IsOpen());

        const QStringList reads = bench.Registers();
        QCOMPARE(reads.size(), 256);
        const QTableWidget& grid = bench.Grid("RegStringGrid1");
        for (int address = 0; address < 256; ++address) {
            const QString expected = QString::asprintf("R%02X ", address);
            QVERIFY2(reads[address].startsWith(expected), qPrintable(reads[address]));
            QCOMPARE(bench.Cell(grid, address % 16 + 1, address / 16 + 1), reads[address].mid(4));
        }
        QCOMPARE(bench.Cell(grid, 13, 4), QString("5A"));
        QCOMPARE(bench.Cell(grid, 16, 16), QString("E7"));
        QCOMPARE(bench.Child<QPushButton>("btnReadAll").text(), QString("Read Bank"));
        QCOMPARE(bench.Child("btnReadAll").property("Tag").toInt(), 0);
        QCOMPARE(bench.Text("lblRegAddr"), QString("Reg 0x00"));
        QCOMPARE(bench.Text("lblRegData"), QString("= 0x00"));
        QCOMPARE(bench.Bits("chkBit"), 0);
    }

    // Row F0, column 0F is register 0xFF: one read, shown in the cell, the labels and the boxes,
    // with the row's and column's headers silver after any repaint. A read that fails leaves
    // the value read before.
    void selectingACellReadsItsRegisterOnce() {
        RegisterTableBench bench;
        QTableWidget& grid = bench.Grid("RegStringGrid1");
        bench.userDevice->SetRegister(0x00, 0xFF, 0xA5);
        bench.ClickCell(grid, 16, 16);
        QCOMPARE(bench.Registers(), QStringList{"RFF A5"});
        QCOMPARE(bench.Cell(grid, 16, 16), QString("A5"));
        QCOMPARE(bench.Text("lblRegAddr"), QString("Reg 0xFF"));
        QCOMPARE(bench.Text("lblRegData"), QString("= 0xA5"));
        QCOMPARE(bench.Bits("chkBit"), 0xA5);

        const QImage image = grid.grab().toImage();
        const QColor buttonFace = grid.palette().button().color();
        QCOMPARE(HeaderColour(image, grid, 0, 16), kSilver);
        QCOMPARE(HeaderColour(image, grid, 16, 0), kSilver);
        QCOMPARE(HeaderColour(image, grid, 0, 1), buttonFace);
        QCOMPARE(HeaderColour(image, grid, 1, 0), buttonFace);

        // Header cells cannot be selected: a click on one reads nothing.
        const std::size_t mark = bench.Mark();
        bench.ClickCell(grid, 0, 5);
        QCOMPARE(bench.Registers(mark), QStringList());

        bench.userDevice->Faults().stalledRequests = {0x91};
        bench.userDevice->SetRegister(0x00, 0xFF, 0x11);
        bench.ClickCell(grid, 1, 1);
        bench.ClickCell(grid, 16, 16);
        QCOMPARE(bench.Cell(grid, 16, 16), QString("A5"));
        QCOMPARE(bench.Text("lblRegData"), QString("= 0xA5"));
    }

    // Enter writes the cell's text, Insert and Delete step the value held whatever the cell
    // shows, pressed in the cell's editor as on the grid; each write waits 1 ms and shows what
    // the register reads back.
    void gridKeysWriteTheValueTypedOrStepped() {
        RegisterTableBench bench;
        QTableWidget& grid = bench.Grid("RegStringGrid1");
        bench.ClickCell(grid, 16, 16);  // register 0xFF, holding 0x00
        std::size_t mark = bench.Mark();
        const std::uint64_t since = bench.sim.Clock().NowUs();
        const std::uint64_t transfers = bench.sim.TransferCount();
        bench.TypeInCell(grid, "1FF");
        QTRY_COMPARE(bench.Registers(mark), (QStringList{"WFF FF", "RFF FF"}));
        QCOMPARE(bench.WaitedMs(since, transfers), std::uint64_t{1});
        QCOMPARE(bench.Bits("chkBit"), 0xFF);

        mark = bench.Mark();
        bench.TypeInCell(grid, "10", Qt::Key_Insert);  // 0xFF held: no step up
        QCOMPARE(bench.Registers(mark), QStringList());
        QCOMPARE(bench.Cell(grid, 16, 16), QString("10"));
        bench.TypeInCell(grid, "10", Qt::Key_Delete);
        QCOMPARE(bench.Registers(mark), (QStringList{"WFF FE", "RFF FE"}));
        QCOMPARE(bench.Cell(grid, 16, 16), QString("FE"));

        bench.ClickCell(grid, 2, 1);  // register 0x01, holding 0x00
        mark = bench.Mark();
        bench.TypeInCell(grid, "55", Qt::Key_Delete);
        bench.TypeInCell(grid, "");
        QCOMPARE(bench.Registers(mark), QStringList());
        QCOMPARE(bench.Messages(), QStringList{"'0x' is not a valid integer value"});
        bench.PressKey(grid, Qt::Key_Insert);
        QCOMPARE(bench.Registers(mark), (QStringList{"W01 01", "R01 01"}));

        // 0xA6 of bank 0 reads back the playback flags, whatever was written.
        bench.ClickCell(grid, 7, 11);
        mark = bench.Mark();
        bench.TypeInCell(grid, "ff");
        QTRY_COMPARE(bench.Registers(mark), (QStringList{"WA6 FF", "RA6 01"}));
        QCOMPARE(bench.Cell(grid, 7, 11), QString("01"));
        QCOMPARE(bench.Bits("chkBit"), 0x01);
    }

    // Before any selection the boxes stand for register 0x00, the bank select; a release of the
    // mouse writes, waits 3 ms and shows the read-back; the space bar only toggles the box.
    void bitBoxesWriteOnMouseReleaseOnly() {
        RegisterTableBench bench;
        const std::uint64_t since = bench.sim.Clock().NowUs();
        const std::uint64_t transfers = bench.sim.TransferCount();
        bench.ClickBit("chkBit", 3);
        QCOMPARE(bench.Registers(), (QStringList{"W00 08", "R00 08"}));
        QCOMPARE(bench.WaitedMs(since, transfers), std::uint64_t{3});
        QCOMPARE(bench.userDevice->CurrentBank(), 0x08);
        QCOMPARE(bench.Text("lblRegAddr"), QString("Reg 0x00"));
        QCOMPARE(bench.Text("lblRegData"), QString("= 0x08"));
        QCOMPARE(bench.Cell(bench.Grid("RegStringGrid1"), 1, 1), QString("08"));

        const std::size_t mark = bench.Mark();
        auto& box = bench.Child<QCheckBox>("chkBit0");
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Space);
        QVERIFY(box.isChecked());
        QCOMPARE(bench.Registers(mark), QStringList());
    }
};

QTEST_MAIN(RegisterPageTest)
#include "RegisterPageTest.moc"
