// The "Gen. Bin File" page: opens a firmware image, finds its user-parameter table, writes the
// typed values into it and saves the whole image as a new file. Nothing here talks to the device.
#include <QLineEdit>
#include <QPushButton>

#include "app/FileNames.h"
#include "app/Unit1.h"
#include "chip/CodePageText.h"
#include "common/TypedNumber.h"
#include "image/ProgramFileCheck.h"
#include "ui_Unit1.h"

namespace {

// String field `index` of the table is typed into "edtNewStr" followed by the index.
QLineEdit& StringEdit(const QWidget& group, std::size_t index) {
    return *group.findChild<QLineEdit*>("edtNewStr" + QString::number(index));
}

}  // namespace

// The edits start with the core's defaults, which qvusb image patch offers too.
void TForm1::ConnectBinFilePage() {
    connect(ui->CurrentFileBitBtn, &QPushButton::clicked, this, &TForm1::CurrentFileBitBtnClick);
    connect(ui->btnCheck, &QPushButton::clicked, this, &TForm1::btnCheckClick);
    connect(ui->btnSaveBitBin, &QPushButton::clicked, this, &TForm1::btnSaveBitBinClick);
    connect(ui->btnSaveBin, &QPushButton::clicked, this, &TForm1::btnSaveBinClick);
    const qv::ParameterTexts defaults = qv::DefaultParameterTexts();
    ui->labedtNewVID->setText(QString::fromStdString(defaults.vid));
    ui->labedtNewPID->setText(QString::fromStdString(defaults.pid));
    for (std::size_t i = 0; i < qv::kStringFieldCount; ++i)
        StringEdit(*ui->GroupBox9, i).setText(QString::fromStdString(defaults.strings[i]));
}

// Not while a flash job runs: the file also replaces the program image that the job reads.
// The editing controls, once enabled by a file with a table, stay enabled.
void TForm1::CurrentFileBitBtnClick() {
    if (jobs_.Busy()) return;
    const QString path = OpenBinFileDialog.Execute(this);
    if (path.isEmpty()) return;
    globals_.ModifyFilePath = path;
    ReadModifyFile();
    const bool found = qv::SearchParameterTable(editor_);
    if (found) {
        ui->GroupBox9->setEnabled(true);
        ui->btnSaveBitBin->setEnabled(true);
    }
    ui->lblStatusReport->setText(LoadStatusShown(found));
}

// A file refused for modify has the cause the ISP page would name under the status, when it is
// one of the file's own (missing, a folder, empty, too large, ...); the path is shown above it.
QString TForm1::LoadStatusShown(bool tableFound) const {
    QString shown = QString::fromUtf8(qv::LoadStatusText(tableFound));
    const std::string name = EncodedName(globals_.ModifyFilePath);
    if (tableFound) return shown;
    std::optional<std::string> problem = qv::ProgramFileProblem(name);
    if (!problem) return shown;
    if (const std::string named = name + ": "; problem->starts_with(named))
        problem->erase(0, named.size());
    return shown + u'\n' + DecodedName(*problem);
}

// The editor works on its own copy of the file, so what the ISP page programs never changes
// behind its back. A name that selects no loader leaves the editor's image empty, and the page
// then reports that file as invalid for modify.
void TForm1::ReadModifyFile() {
    ui->lblCurrentFilePath->setText(globals_.ModifyFilePath);
    qv::LoadEditorImage(editor_, EncodedName(globals_.ModifyFilePath));
    ui->btnCheck->setEnabled(true);
}

// Searches the loaded image again; the status text and the New File button are left alone.
void TForm1::btnCheckClick() {
    ui->lblSaveDone->clear();
    if (qv::SearchParameterTable(editor_)) ui->GroupBox9->setEnabled(true);
}

void TForm1::btnSaveBitBinClick() {
    const QString path = SaveBinFIleDialog.Execute(this);
    if (path.isEmpty()) return;
    globals_.NewFilePath = path;
    ui->lblSaveBinPath->setText(path);
    ui->btnSaveBin->setEnabled(true);
}

// Shows the sum of the file written, or why nothing was written. A VID or PID text that does
// not convert ends the save at its step with the strings already in the image; no file is
// written and the last report stays.
void TForm1::btnSaveBinClick() {
    try {
        const qv::SaveReport report = qv::SaveParameterTable(editor_, ParameterTextsShown(),
                                                             EncodedName(globals_.NewFilePath));
        ui->lblSaveDone->setText(DecodedName(report.text));
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
    }
}

// The IDs as typed; the strings as the 8-bit codes the table stores.
qv::ParameterTexts TForm1::ParameterTextsShown() const {
    qv::ParameterTexts texts{
        ui->labedtNewVID->text().toStdString(), ui->labedtNewPID->text().toStdString(), {}};
    for (std::size_t i = 0; i < qv::kStringFieldCount; ++i)
        texts.strings[i] =
            qv::ToCodePage(StringEdit(*ui->GroupBox9, i).text().toUtf8().toStdString());
    return texts;
}
