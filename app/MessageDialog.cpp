#include "app/MessageDialog.h"

#include <QMessageBox>

// An error box carries the window's caption and the error icon, as the application's error
// display does; a notice is captioned "Dialog" and has no icon.
void MessageDialog::Show(QWidget* parent, const QString& text, Kind kind, const QString& detail) {
    if (recording_) {
        recorded_ << (detail.isEmpty() ? text : text + '\n' + detail);
        return;
    }
    const bool error = kind == Kind::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    error ? parent->window()->windowTitle() : QStringLiteral("Dialog"), text,
                    QMessageBox::Ok, parent);
    box.setInformativeText(detail);
    box.exec();
}
