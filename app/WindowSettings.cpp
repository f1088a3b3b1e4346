// The window's side of the values kept between runs: which controls they come from and go to.
#include <QDir>

#include "app/FileNames.h"
#include "app/Unit1.h"
#include "settings/Settings.h"
#include "ui_Unit1.h"

// On a first run (nothing stored) the ISP page keeps its design states and only the VID and
// PID texts take their defaults.
void TForm1::LoadSettings() {
    const qv::LoadedSettings loaded = qv::LoadSettings(settingsStore_);
    presence_.VidText = loaded.vidText;
    presence_.PidText = loaded.pidText;
    if (!loaded.stored) return;
    ShowIspOptions(loaded.isp);
    rbnRangeClick();
    // Stored with either separator, the path is shown and kept as the system writes it.
    programFile_.ProgramFileName =
        EncodedName(QDir::toNativeSeparators(QString::fromStdString(loaded.programFileName)));
    if (programFile_.ProgramFileName.empty()) return;
    qv::RememberProgramFile(programFile_);
    ShowProgramFile();
}

// Saves what detection uses, which is not necessarily what the VID and PID edits show.
void TForm1::SaveSettings() {
    qv::SaveSettings(settingsStore_,
                     {IspOptionsShown(), ui->cbxReadISPFile->currentText().toStdString(),
                      presence_.VidText, presence_.PidText});
}

void TForm1::ShowIspOptions(const qv::IspOptions& options) {
    const auto boxes = IspStepBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(options.steps.*qv::kAutoStepNames[i].step);
    (options.wholeFlash ? ui->rbnRange0 : ui->rbnRange1)->setChecked(true);
    ui->lbledISPStart->setText(QString::fromStdString(options.startText));
    ui->lbledISPRange->setText(QString::fromStdString(options.sizeText));
}

// Hidden controls count as well: their states still drive the automatic sequence.
qv::IspOptions TForm1::IspOptionsShown() const {
    qv::IspOptions options;
    const auto boxes = IspStepBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        options.steps.*qv::kAutoStepNames[i].step = boxes[i]->isChecked();
    options.wholeFlash = ui->rbnRange0->isChecked();
    options.startText = ui->lbledISPStart->text().toStdString();
    options.sizeText = ui->lbledISPRange->text().toStdString();
    return options;
}
