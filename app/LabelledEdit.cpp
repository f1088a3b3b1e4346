#include "app/LabelledEdit.h"

#include <QLabel>
#include <QLineEdit>

void SetLabelledEditEnabled(QLineEdit& edit, bool enabled) {
    edit.setEnabled(enabled);
    if (auto* caption = edit.parentWidget()->findChild<QLabel*>(edit.objectName() + "Caption"))
        caption->setEnabled(enabled);
}
