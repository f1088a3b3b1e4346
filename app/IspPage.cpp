// The ISP page: the program file and its history, the automatic sequence with its step options,
// and the flash access range.
#include <QPushButton>

#include "app/FileNames.h"
#include "app/LabelledEdit.h"
#include "app/Unit1.h"
#include "common/TypedNumber.h"
#include "device/QuorvexUsb.h"
#include "image/RangeChoice.h"
#include "ui_Unit1.h"

namespace {

const QColor kPassedColour(0, 128, 0);
const QColor kFailedColour(200, 0, 0);

}  // namespace

void TForm1::ConnectIspPage() {
    connect(ui->USBLoadFileBitBtn, &QPushButton::clicked, this, &TForm1::USBLoadFileBitBtnClick);
    connect(ui->btnUSBISPAuto, &QPushButton::clicked, this, &TForm1::btnUSBISPAutoClick);
}

std::array<QCheckBox*, qv::kAutoStepNames.size()> TForm1::IspStepBoxes() const {
    return {ui->chkISPMode, ui->chkProtect, ui->chkReadFile, ui->chkErase,
            ui->chkBlank,   ui->chkProgram, ui->chkVerify};
}

// The image is not reloaded under a running job, which reads it page by page. A file that
// cannot serve is named with its cause, and nothing of it is kept.
void TForm1::USBLoadFileBitBtnClick() {
    if (jobs_.Busy()) return;
    const QString path = OpenBinFileDialog.Execute(this);
    if (path.isEmpty()) return;
    programFile_.ProgramFileName = EncodedName(path);
    const qv::ProgramFileReport report = qv::ReadProgramFile(programFile_);
    ShowChecksum(report.checksumText);
    ShowProgramFile();
    ShowResultCleared();
    if (report.outcome == qv::ProgramFileOutcome::Refused)
        ShowMessage(qv::kProgramFileNotReadyText, report.problem);
}

// Starts the sequence with what the page shows, hidden options included. While it runs, a
// click asks it to stop, which it says at once; while another flash job runs, a click does
// nothing.
void TForm1::btnUSBISPAutoClick() {
    if (jobs_.Busy() && !jobs_.Running()) return;
    if (!jobs_.Running()) ShowResultCleared();
    const qv::IspOptions options = IspOptionsShown();
    const qv::AutoRequest request{options.steps, options.wholeFlash, options.startText,
                                  options.sizeText, EncodedName(ui->cbxReadISPFile->currentText())};
    const std::optional<qv::JobResult> result = jobs_.Auto(request, presence_.AutoBusy);
    if (!result) {
        ShowProcessInfo("Stopping...");
        return;
    }
    ShowAutoCaption();
    ShowFileHistory();
    ShowJobEnd(*result);
    CloseIfPutOff();
}

// The start and size edits apply only to an assigned range; their texts are taken now.
void TForm1::rbnRangeClick() {
    const bool wholeFlash = ui->rbnRange0->isChecked();
    SetLabelledEditEnabled(*ui->lbledISPStart, !wholeFlash);
    SetLabelledEditEnabled(*ui->lbledISPRange, !wholeFlash);
    ui->Label20->setEnabled(!wholeFlash);
    ui->Label21->setEnabled(!wholeFlash);
    try {
        qv::ApplyRangeChoice(programFile_, wholeFlash, ui->lbledISPStart->text().toStdString(),
                             ui->lbledISPRange->text().toStdString());
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
    }
}

// The combo's items are the file history, which only ever grows at its end.
void TForm1::ShowFileHistory() {
    QComboBox& history = *ui->cbxReadISPFile;
    for (auto i = static_cast<std::size_t>(history.count()); i < programFile_.FileHistory.size();
         ++i)
        history.addItem(DecodedName(programFile_.FileHistory[i]));
}

void TForm1::ShowProgramFile() {
    ShowFileHistory();
    ui->cbxReadISPFile->setCurrentText(DecodedName(programFile_.ProgramFileName));
}

void TForm1::ShowAutoCaption() {
    ui->btnUSBISPAuto->setText(jobs_.Running() ? QStringLiteral("Stop") : QStringLiteral("Auto"));
}

// The walks report the block they are at; a job that succeeded has covered its whole range.
void TForm1::ShowJobEnd(const qv::JobResult& result) {
    if (result.kind == qv::FailureKind::Refused) {
        ShowResultCleared();
        return;
    }
    if (result.Ok()) ShowProgress(1.0);
    ShowPendingReports();
    QPalette palette = ui->lblUSBProcessInfo->palette();
    palette.setColor(QPalette::WindowText, result.Ok() ? kPassedColour : kFailedColour);
    ui->lblUSBProcessInfo->setPalette(palette);
    resultShown_ = ShownResult{result.kind, device_.GetKsMode(), device_.GetMatchText(),
                               device_.GetDevicePath()};
}

// The result's text goes with its colour: left in place, it would read as the outcome of the
// new file or job.
void TForm1::ShowResultCleared() {
    pendingReports_ = {};
    ui->pgbUSBISPProgress->setValue(ui->pgbUSBISPProgress->minimum());
    if (resultShown_) ui->lblUSBProcessInfo->clear();
    ui->lblUSBProcessInfo->setPalette(QPalette());  // its own colours again, as inherited
    resultShown_.reset();
}

void TForm1::ShowConversionError(const qv::ConversionError& error) {
    Messages.Show(this, QString::fromStdString(error.what()), MessageDialog::Kind::Error);
}
