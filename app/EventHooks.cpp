#include "app/EventHooks.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <utility>

#include "app/RegisterTable.h"

namespace {

// Lives as long as the grid it watches.
class GridKeyHook : public QObject {
public:
    GridKeyHook(QTableWidget& grid, std::function<void(int key)> action)
        : QObject(&grid), action_(std::move(action)) {
        grid.installEventFilter(this);
    }

    // A key the open cell editor did not use comes up to the grid as well; only keys pressed
    // while the grid itself has the focus count.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QWidget*>(watched)->hasFocus())
            action_(static_cast<QKeyEvent*>(event)->key());
        return false;
    }

private:
    std::function<void(int key)> action_;
};

// The grid's cell editors as the standard delegate makes them, except that Enter, Insert and
// Delete end the editing: the typed text goes into the cell, the editor closes and the key
// goes to the grid's action, as if pressed on the grid itself. Other keys stay with the editor.
class CellEditorKeys : public QStyledItemDelegate {
public:
    CellEditorKeys(QTableWidget& grid, std::function<void(int key)> action)
        : QStyledItemDelegate(&grid), action_(std::move(action)) {}

    // The view installs the delegate as the event filter of each editor it opens.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (GridKeyOf(key)) {
                auto* editor = static_cast<QWidget*>(watched);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                action_(key);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    std::function<void(int key)> action_;
};

class MouseReleaseHook : public QObject {
public:
    MouseReleaseHook(QWidget& widget, std::function<void()> action)
        : QObject(&widget), action_(std::move(action)) {
        widget.installEventFilter(this);
    }

    // The widget gets the release first, then the action runs.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease) return false;
        watched->event(event);
        action_();
        return true;
    }

private:
    std::function<void()> action_;
};

}  // namespace

void OnGridKey(QTableWidget& grid, std::function<void(int key)> action) {
    grid.setItemDelegate(new CellEditorKeys(grid, action));
    new GridKeyHook(grid, std::move(action));
}

void AfterMouseRelease(QWidget& widget, std::function<void()> action) {
    new MouseReleaseHook(widget, std::move(action));
}
