#pragma once

#include <functional>

class QTableWidget;
class QWidget;

// Events that a handler needs and a widget's signals do not give.

// Key presses on a grid: those the grid itself receives, and Enter, Insert and Delete in a
// cell's editor, reported once the editor has put its text into the cell and closed.
void OnGridKey(QTableWidget& grid, std::function<void(int key)> action);

// A mouse button released over the widget, reported after the widget has handled it (a check
// box has then taken its new state). Keyboard use of the widget is not reported.
void AfterMouseRelease(QWidget& widget, std::function<void()> action);
