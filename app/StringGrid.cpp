#include "app/StringGrid.h"

#include <QTableWidget>

namespace {

QTableWidgetItem* FixedCell(const QTableWidget& grid) {
    auto* cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setBackground(grid.palette().button());
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
