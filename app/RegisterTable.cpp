#include "app/RegisterTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QTableWidget>

#include "app/StringGrid.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"

namespace {

QString HexByte(std::uint8_t value) { return QString::fromStdString(qv::Hex2(value)); }

}  // namespace

std::optional<GridKey> GridKeyOf(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return GridKey::Enter;
        case Qt::Key_Insert:
            return GridKey::Insert;
        case Qt::Key_Delete:
            return GridKey::Delete;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint8_t> ValueToWrite(GridKey key, std::uint8_t value) {
    switch (key) {
        case GridKey::Enter:
            return value;
        case GridKey::Insert:
            if (value == 0xFF) return std::nullopt;
            return static_cast<std::uint8_t>(value + 1);
        case GridKey::Delete:
            if (value == 0x00) return std::nullopt;
            return static_cast<std::uint8_t>(value - 1);
    }
    return std::nullopt;
}

std::uint8_t RegisterTable::Address(int column, int row) {
    return static_cast<std::uint8_t>((row - 1) * 16 + (column - 1));
}

std::uint8_t RegisterTable::CurrentAddress() const {
    return Address(grid.currentColumn(), grid.currentRow());
}

std::uint8_t RegisterTable::CurrentCellValue() const {
    const QString text = CellText(grid, grid.currentColumn(), grid.currentRow());
    return static_cast<std::uint8_t>(qv::HexFieldToInt(text.toStdString()));
}

std::uint8_t RegisterTable::CheckedBits() const {
    std::uint8_t value = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (bitPanel.findChild<QCheckBox*>(bitPrefix + QString::number(bit))->isChecked())
            value |= static_cast<std::uint8_t>(1u << bit);
    return value;
}

void RegisterTable::ShowCell(std::uint8_t address, std::uint8_t value) const {
    SetCellText(grid, address % 16 + 1, address / 16 + 1, HexByte(value));
}

void RegisterTable::ShowRegister(std::uint8_t address, std::uint8_t value) const {
    ShowCell(address, value);
    for (int bit = 0; bit < 8; ++bit)
        bitPanel.findChild<QCheckBox*>(bitPrefix + QString::number(bit))
            ->setChecked((value >> bit) & 1);
}

void RegisterTable::ShowSelected(std::uint8_t address, std::uint8_t value) const {
    ShowRegister(address, value);
    addressLabel.setText("Reg 0x" + HexByte(address));
    valueLabel.setText("= 0x" + HexByte(value));
}
