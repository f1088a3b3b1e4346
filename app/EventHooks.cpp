#include "app/EventHooks.h"

#include <QKeyEvent>
#include <QTableWidget>
#include <utility>

namespace {

// Lives as long as the widget it watches.
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
    // The editor commits its text on Enter through a queued call and then asks to be closed
    // with this hint, which only Enter gives.
    QObject::connect(grid.itemDelegate(), &QAbstractItemDelegate::closeEditor, &grid,
                     [action](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                         if (hint == QAbstractItemDelegate::SubmitModelCache)
                             action(Qt::Key_Return);
                     });
    new GridKeyHook(grid, std::move(action));
}

void AfterMouseRelease(QWidget& widget, std::function<void()> action) {
    new MouseReleaseHook(widget, std::move(action));
}
