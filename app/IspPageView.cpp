// The flash jobs' reports on the ISP page: three labels, the progress bar, the checksum, and the
// point where the window handles pending events while a job runs.
#include <QCoreApplication>

#include "app/Unit1.h"
#include "ui_Unit1.h"

// Once a close waits for the job, the label keeps saying so over the job's own texts.
void TForm1::ShowProcessInfo(const std::string& text) {
    if (closePutOff_) return;
    ui->lblUSBProcessInfo->setText(QString::fromStdString(text));
}

void TForm1::ShowProcessAddress(const std::string& text) {
    ui->lblUSBISPProcess->setText(QString::fromStdString(text));
}

void TForm1::ShowStatusRegister(const std::string& text) {
    ui->lblUSBISPStatusReg->setText(QString::fromStdString(text));
}

void TForm1::ShowProgress(double fraction) {
    QProgressBar& bar = *ui->pgbUSBISPProgress;
    bar.setValue(bar.minimum() + qRound(fraction * (bar.maximum() - bar.minimum())));
}

void TForm1::ShowChecksum(const std::string& text) {
    ui->lblUSBChecksum->setText(QString::fromStdString(text));
}

// Clicks, repaints and timer ticks are handled here, nested in the running job; the Auto
// button's caption says by then whether a click on it stops a sequence.
void TForm1::PumpEvents() {
    ShowAutoCaption();
    QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::string& text) {
    Messages.Show(this, QString::fromStdString(text));
}
