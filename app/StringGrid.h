#pragma once

#include <QString>

class QTableWidget;

// Qt's table as a string grid with fixed header cells: row 0 and column 0 are shaded like
// buttons and can be neither selected nor edited. Cells are addressed as the grid does it,
// column first.

// Turns row 0 and column 0 into fixed header cells and makes column 1, row 1 the current cell.
void MakeFixedHeaderCells(QTableWidget& grid);

void SetCellText(QTableWidget& grid, int column, int row, const QString& text);
