#pragma once

#include <QString>

class QTableWidget;

// Qt's table as a string grid with fixed header cells: row 0 and column 0 are shaded like
// buttons and can be neither selected, edited nor made the current cell. Cells are addressed
// as the grid does it, column first.

// Turns row 0 and column 0 into fixed header cells and makes column 1, row 1 the current cell.
void MakeFixedHeaderCells(QTableWidget& grid);

void SetCellText(QTableWidget& grid, int column, int row, const QString& text);
QString CellText(const QTableWidget& grid, int column, int row);

// Shades the header cells of one row and one column silver and every other header cell like a
// button. The shading is part of the cells, so it survives a repaint.
void HighlightHeaders(QTableWidget& grid, int column, int row);
