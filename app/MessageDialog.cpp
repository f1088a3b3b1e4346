#include "app/MessageDialog.h"

#include <QMessageBox>

// An error box carries the window's caption and the error icon, as the application's error
// display does; a notice is captioned "Dialog" and has no icon.
void MessageDialog::Show(QWidget* parent, const QString& text, Kind kind) {
    if (recording_) {
        recorded_ << text;
        return;
    }
    const bool error = kind == Kind::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    error ? parent->window()->windowTitle() : QStringLiteral("Dialog"), text,
                    QMessageBox::Ok, parent);
    box.exec();
}
