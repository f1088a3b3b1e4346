// The I2C Access page: the 256 registers of the slave at SlaveAddress on the chip's I2C bus, read
// as a whole and changed one by one, each change written over the bus and read back at once.
// The page relies on the I2C master set up when it became the active page. While a flash job
// holds the device, the page does nothing.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <span>

#include "app/EventHooks.h"
#include "app/IgnoredReply.h"
#include "app/StringGrid.h"
#include "app/Unit1.h"
#include "chip/I2cTransactions.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "ui_Unit1.h"

namespace {

constexpr std::uint32_t kWriteSettleMs = 1;      // after a value typed or stepped
constexpr std::uint32_t kBitWriteSettleMs = 30;  // after a bit box

}  // namespace

void TForm1::ConnectI2cAccessPage() {
    connect(ui->btnReadMI2C, &QPushButton::clicked, this, &TForm1::btnReadMI2CClick);
    connect(ui->StringGridMIIC, &QTableWidget::currentCellChanged, this,
            &TForm1::StringGridMIICSelectCell);
    OnGridKey(*ui->StringGridMIIC, [this](int key) { StringGridMIICKeyDown(key); });
    for (QCheckBox* box : ui->Panel3->findChildren<QCheckBox*>())
        AfterMouseRelease(*box, [this] { chkMI2CBitMouseUp(); });
    connect(ui->edtMI2CAddr, &QLineEdit::returnPressed, this, &TForm1::edtMI2CAddrKeyDown);
}

RegisterTable TForm1::I2cPageTable() const {
    return {
        .grid = *ui->StringGridMIIC,
        .readButton = *ui->btnReadMI2C,
        .readCaption = QStringLiteral("Read"),
        .addressLabel = *ui->lblMI2CRegAddr,
        .valueLabel = *ui->lblMI2CRegData,
        .bitPanel = *ui->Panel3,
        .bitPrefix = QStringLiteral("chkMI2CBit"),
    };
}

// One register of the slave into the value held for it; a slave that does not answer leaves
// the value as it was.
void TForm1::ReadSlaveRegister(std::uint8_t address) {
    qv::app::IgnoredByThePage(qv::I2CReadRegisters(device_, chipAccess_.SlaveAddress, address,
                                                   std::span(&chipAccess_.I2CShadow[address], 1)));
}

// Writes the value held for one register of the slave, waits and reads the register back.
void TForm1::WriteSlaveRegister(std::uint8_t address, std::uint32_t settleMs) {
    qv::app::IgnoredByThePage(qv::I2CWriteRegisters(device_, chipAccess_.SlaveAddress, address,
                                                    std::span(&chipAccess_.I2CShadow[address], 1)));
    device_.Host().Sleep(settleMs);
    ReadSlaveRegister(address);
}

// The window handles input after each register, so a click on "Stop" ends the reads; an action
// run meanwhile may close the device, and the reads left then fail.
void TForm1::btnReadMI2CClick() {
    const RegisterTable table = I2cPageTable();
    ReadTable(table, true, [&](std::uint8_t address) {
        ReadSlaveRegister(address);
        table.ShowCell(address, chipAccess_.I2CShadow[address]);
    });
}

void TForm1::StringGridMIICSelectCell(int row, int column) {
    const RegisterTable table = I2cPageTable();
    RunOnDevice([&] {
        HighlightHeaders(table.grid, column, row);
        const std::uint8_t address = RegisterTable::Address(column, row);
        ReadSlaveRegister(address);
        table.ShowSelected(address, chipAccess_.I2CShadow[address]);
    });
}

// Enter, Insert and Delete all start from the cell's text.
void TForm1::StringGridMIICKeyDown(int key) {
    const std::optional<GridKey> gridKey = GridKeyOf(key);
    if (!gridKey) return;
    const RegisterTable table = I2cPageTable();
    const std::uint8_t address = table.CurrentAddress();
    std::uint8_t& held = chipAccess_.I2CShadow[address];
    try {
        held = table.CurrentCellValue();
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
        return;
    }
    const std::optional<std::uint8_t> value = ValueToWrite(*gridKey, held);
    if (!value) return;
    RunOnDevice([&] {
        held = *value;
        WriteSlaveRegister(address, kWriteSettleMs);
        table.ShowRegister(address, held);
    });
}

void TForm1::chkMI2CBitMouseUp() {
    const RegisterTable table = I2cPageTable();
    const std::uint8_t address = table.CurrentAddress();
    RunOnDevice([&] {
        chipAccess_.I2CShadow[address] = table.CheckedBits();
        WriteSlaveRegister(address, kBitWriteSettleMs);
        table.ShowSelected(address, chipAccess_.I2CShadow[address]);
    });
}

// Enter takes the typed address over and shows it as the byte it became.
void TForm1::edtMI2CAddrKeyDown() {
    if (TakeSlaveAddress(ui->edtMI2CAddr->text()))
        ui->edtMI2CAddr->setText(QString::fromStdString(qv::Hex2(chipAccess_.SlaveAddress)));
}

// The low 8 bits of a typed hexadecimal address become the slave address of both I2C pages;
// a text that is no number is reported and changes nothing.
bool TForm1::TakeSlaveAddress(const QString& text) {
    try {
        chipAccess_.SlaveAddress = static_cast<std::uint8_t>(qv::HexFieldToInt(text.toStdString()));
        return true;
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
        return false;
    }
}
