#include "app/BinFileDialog.h"

#include <QDir>
#include <utility>

BinFileDialog::BinFileDialog(QFileDialog::AcceptMode acceptMode, QString defaultSuffix,
                             QString nameFilter)
    : acceptMode_(acceptMode),
      defaultSuffix_(std::move(defaultSuffix)),
      nameFilter_(std::move(nameFilter)) {}

// The path as the system writes it (backslashes on Windows, where Qt gives forward slashes),
// for the controls that show it and the settings that keep it.
QString BinFileDialog::Execute(QWidget* parent) {
    if (nextFileName_)
        return QDir::toNativeSeparators(std::exchange(nextFileName_, std::nullopt).value());
    QFileDialog dialog(parent);
    dialog.setAcceptMode(acceptMode_);
    dialog.setFileMode(acceptMode_ == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix_);
    dialog.setNameFilter(nameFilter_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
