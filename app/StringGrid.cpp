#include "app/StringGrid.h"

#include <QTableWidget>

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

// Disabled, so that neither the mouse nor the keyboard can make it the current cell, but
// labelled in the ordinary text colour.
QTableWidgetItem* FixedCell(const QTableWidget& grid) {
    auto* cell = new QTableWidgetItem;
    cell->setFlags(Qt::NoItemFlags);
    cell->setBackground(grid.palette().button());
    cell->setForeground(grid.palette().text());
    return cell;
}

}  // namespace

void MakeFixedHeaderCells(QTableWidget& grid) {
    for (int column = 0; column < grid.columnCount(); ++column)
        grid.setItem(0, column, FixedCell(grid));
    for (int row = 1; row < grid.rowCount(); ++row) grid.setItem(row, 0, FixedCell(grid));
    grid.setCurrentCell(1, 1);
}

void SetCellText(QTableWidget& grid, int column, int row, const QString& text) {
    if (QTableWidgetItem* cell = grid.item(row, column)) {
        cell->setText(text);
        return;
    }
    grid.setItem(row, column, new QTableWidgetItem(text));
}

QString CellText(const QTableWidget& grid, int column, int row) {
    const QTableWidgetItem* cell = grid.item(row, column);
    return cell ? cell->text() : QString();
}

void HighlightHeaders(QTableWidget& grid, int column, int row) {
    const QBrush plain = grid.palette().button();
    for (int i = 1; i < grid.columnCount(); ++i)
        grid.item(0, i)->setBackground(i == column ? kSilver : plain);
    for (int i = 1; i < grid.rowCount(); ++i)
        grid.item(i, 0)->setBackground(i == row ? kSilver : plain);
}
