// The Register page: the 256 registers of whichever bank register 0x00 selects at the moment,
// read as a whole, and changed one by one by value, by step or by bit, each change written and
// read back at once. The page never selects a bank by itself. While a flash job holds the
// device, the page does nothing.
#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>

#include "app/EventHooks.h"
#include "app/IgnoredReply.h"
#include "app/StringGrid.h"
#include "app/Unit1.h"
#include "chip/Registers.h"
#include "common/TypedNumber.h"
#include "ui_Unit1.h"

namespace {

constexpr std::uint32_t kWriteSettleMs = 1;     // after a value typed or stepped
constexpr std::uint32_t kBitWriteSettleMs = 3;  // after a bit box

}  // namespace

void TForm1::ConnectRegisterPage() {
    connect(ui->btnReadAll, &QPushButton::clicked, this, &TForm1::btnReadAllClick);
    connect(ui->RegStringGrid1, &QTableWidget::currentCellChanged, this,
            &TForm1::RegStringGridSelectCell);
    OnGridKey(*ui->RegStringGrid1, [this](int key) { RegStringGridKeyDown(key); });
    for (QCheckBox* box : ui->Panel2->findChildren<QCheckBox*>())
        AfterMouseRelease(*box, [this] { chkBit0MouseUp(); });
}

RegisterTable TForm1::RegisterPageTable() const {
    return {
        .grid = *ui->RegStringGrid1,
        .readButton = *ui->btnReadAll,
        .readCaption = QStringLiteral("Read Bank"),
        .addressLabel = *ui->lblRegAddr,
        .valueLabel = *ui->lblRegData,
        .bitPanel = *ui->Panel2,
        .bitPrefix = QStringLiteral("chkBit"),
    };
}

// The 256 reads run to the end without letting the window handle input.
void TForm1::btnReadAllClick() {
    const RegisterTable table = RegisterPageTable();
    ReadTable(table, false, [&](std::uint8_t address) {
        std::uint8_t& value = chipAccess_.RegisterShadow[address];
        qv::app::IgnoredByThePage(qv::ReadRegister(device_, address, value));
        table.ShowCell(address, value);
    });
}

// The Read button of both register tables, with the device present and no flash job running:
// "Stop" and the button's Tag set while the reads of registers 0x00 to 0xFF run on the device
// opened once for them. Letting events through after each read lets a click on "Stop" end them.
void TForm1::ReadTable(const RegisterTable& table, bool letEventsThrough,
                       const std::function<void(std::uint8_t address)>& readOne) {
    QPushButton& button = table.readButton;
    const auto setRunning = [&](bool running) {
        button.setProperty("Tag", running ? 1 : 0);
        button.setText(running ? QStringLiteral("Stop") : table.readCaption);
    };
    if (!device_.IsPresent() || jobs_.Busy()) return;
    if (button.property("Tag").toInt() != 0) {
        setRunning(false);
        return;
    }
    setRunning(true);
    qv::app::IgnoredByThePage(device_.Open());
    for (int address = 0; address < 256 && button.property("Tag").toInt() != 0; ++address) {
        readOne(static_cast<std::uint8_t>(address));
        if (letEventsThrough) QCoreApplication::processEvents();
    }
    setRunning(false);
    device_.Close();
}

// One read of the register selected; a read that fails leaves the value held before.
void TForm1::RegStringGridSelectCell(int row, int column) {
    const RegisterTable table = RegisterPageTable();
    RunOnDevice([&] {
        HighlightHeaders(table.grid, column, row);
        const std::uint8_t address = RegisterTable::Address(column, row);
        std::uint8_t& value = chipAccess_.RegisterShadow[address];
        qv::app::IgnoredByThePage(qv::ReadRegister(device_, address, value));
        table.ShowSelected(address, value);
    });
}

// Enter writes the cell's text; Insert and Delete step the value held, whatever the cell shows.
void TForm1::RegStringGridKeyDown(int key) {
    const std::optional<GridKey> gridKey = GridKeyOf(key);
    if (!gridKey) return;
    const RegisterTable table = RegisterPageTable();
    const std::uint8_t address = table.CurrentAddress();
    std::uint8_t& held = chipAccess_.RegisterShadow[address];
    std::optional<std::uint8_t> value;
    try {
        value =
            ValueToWrite(*gridKey, *gridKey == GridKey::Enter ? table.CurrentCellValue() : held);
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
        return;
    }
    if (!value) return;
    RunOnDevice([&] {
        held = *value;
        qv::app::IgnoredByThePage(qv::WriteRegister(device_, address, held));
        device_.Host().Sleep(kWriteSettleMs);
        qv::app::IgnoredByThePage(qv::ReadRegister(device_, address, held));
        table.ShowRegister(address, held);
    });
}

// Any bit box: the byte the eight boxes show goes to the current cell's register.
void TForm1::chkBit0MouseUp() {
    const RegisterTable table = RegisterPageTable();
    const std::uint8_t address = table.CurrentAddress();
    std::uint8_t& held = chipAccess_.RegisterShadow[address];
    RunOnDevice([&] {
        held = table.CheckedBits();
        qv::app::IgnoredByThePage(qv::WriteRegister(device_, address, held));
        device_.Host().Sleep(kBitWriteSettleMs);
        qv::app::IgnoredByThePage(qv::ReadRegister(device_, address, held));
        table.ShowSelected(address, held);
    });
}
