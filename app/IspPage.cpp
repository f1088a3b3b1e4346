// The ISP page: the automatic sequence's step options, the program file history and the flash
// access range.
#include "app/LabelledEdit.h"
#include "app/Unit1.h"
#include "ui_Unit1.h"

std::array<TForm1::IspStepBox, 7> TForm1::IspStepBoxes() const {
    return {{{&qv::IspOptions::ispMode, ui->chkISPMode},
             {&qv::IspOptions::protect, ui->chkProtect},
             {&qv::IspOptions::reloadFile, ui->chkReadFile},
             {&qv::IspOptions::erase, ui->chkErase},
             {&qv::IspOptions::blank, ui->chkBlank},
             {&qv::IspOptions::program, ui->chkProgram},
             {&qv::IspOptions::verify, ui->chkVerify}}};
}

// The start and size edits apply only to an assigned range.
void TForm1::rbnRangeClick() {
    const bool assignedRange = !ui->rbnRange0->isChecked();
    SetLabelledEditEnabled(*ui->lbledISPStart, assignedRange);
    SetLabelledEditEnabled(*ui->lbledISPRange, assignedRange);
    ui->Label20->setEnabled(assignedRange);
    ui->Label21->setEnabled(assignedRange);
}

// The history lists each name once, in the order first used; names differing only in case are
// different files.
void TForm1::RememberProgramFile() {
    QComboBox& history = *ui->cbxReadISPFile;
    if (history.findText(globals_.ProgramFileName, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        history.addItem(globals_.ProgramFileName);
    history.setCurrentText(globals_.ProgramFileName);
}
