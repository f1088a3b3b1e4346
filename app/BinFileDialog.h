#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>

class QWidget;

// One of the form's file dialogs: what it offers and, for tests, an answer given in advance
// so that the action asking for a file runs without a modal dialog.
class BinFileDialog {
public:
    BinFileDialog(QFileDialog::AcceptMode acceptMode, QString defaultSuffix, QString nameFilter);

    // The chosen file's full path with the system's separators, or an empty text when the user
    // cancels.
    QString Execute(QWidget* parent);

    // Test hook: the next Execute returns this without showing the dialog (empty = cancelled).
    void setNextFileName(const QString& fileName) { nextFileName_ = fileName; }

private:
    QFileDialog::AcceptMode acceptMode_;
    QString defaultSuffix_;
    QString nameFilter_;
    std::optional<QString> nextFileName_;
};
