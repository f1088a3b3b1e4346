#include "app/LabelHolder.h"

#include <QLabel>
#include <QLayout>

namespace {

// Stands in the layout where the label stood, with its size policy and height, and keeps the
// label filling it.
class LabelHolder : public QWidget {
public:
    explicit LabelHolder(QLabel& label) : QWidget(label.parentWidget()), label_(label) {
        setSizePolicy(label.sizePolicy());
    }

    QSize sizeHint() const override { return label_.sizeHint(); }
    QSize minimumSizeHint() const override { return label_.minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override { label_.setGeometry(rect()); }

private:
    QLabel& label_;
};

}  // namespace

void HoldOutsideTheLayout(QLabel& label) {
    QLayout* layout = label.parentWidget()->layout();
    auto* holder = new LabelHolder(label);
    delete layout->replaceWidget(&label, holder);
    label.setParent(holder);
    label.show();
}
