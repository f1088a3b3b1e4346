#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

// The keys that change a register from its table.
enum class GridKey { Enter, Insert, Delete };
std::optional<GridKey> GridKeyOf(int key);

// The value a key leaves a register at, starting from value, or nothing when nothing is to be
// written: Enter writes the value as it stands, Insert steps it up and Delete down, neither
// past the end of the byte's range.
std::optional<std::uint8_t> ValueToWrite(GridKey key, std::uint8_t value);

// The controls of a page that shows 256 one-byte registers: the 16 x 16 grid whose cell in
// column c, row r (1 to 16) stands for register (r - 1) * 16 + (c - 1), the Read button with its
// idle caption, the labels of the selected register and the eight bit boxes named bitPrefix
// followed by the bit number. Values show as two upper-case hexadecimal digits.
struct RegisterTable {
    QTableWidget& grid;
    QPushButton& readButton;
    QString readCaption;
    QLabel& addressLabel;
    QLabel& valueLabel;
    QWidget& bitPanel;
    QString bitPrefix;

    static std::uint8_t Address(int column, int row);
    std::uint8_t CurrentAddress() const;
    // The current cell's text typed as a hexadecimal number, its low 8 bits; throws
    // qv::ConversionError when the text is no such number.
    std::uint8_t CurrentCellValue() const;
    std::uint8_t CheckedBits() const;

    void ShowCell(std::uint8_t address, std::uint8_t value) const;
    // The cell and the bit boxes.
    void ShowRegister(std::uint8_t address, std::uint8_t value) const;
    // The cell, the bit boxes and both labels.
    void ShowSelected(std::uint8_t address, std::uint8_t value) const;
};
