#include "app/BinFileDialog.h"

#include <utility>

BinFileDialog::BinFileDialog(QFileDialog::AcceptMode acceptMode, QString defaultSuffix,
                             QString nameFilter)
    : acceptMode_(acceptMode),
      defaultSuffix_(std::move(defaultSuffix)),
      nameFilter_(std::move(nameFilter)) {}

QString BinFileDialog::Execute(QWidget* parent) {
    if (nextFileName_) return std::exchange(nextFileName_, std::nullopt).value();
    QFileDialog dialog(parent);
    dialog.setAcceptMode(acceptMode_);
    dialog.setFileMode(acceptMode_ == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix_);
    dialog.setNameFilter(nameFilter_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}
