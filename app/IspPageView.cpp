// The flash jobs' reports on the ISP page: three labels, the progress bar, the checksum, and the
// point where the window handles pending events while a job runs.
#include <QCoreApplication>

#include "app/FileNames.h"
#include "app/Unit1.h"
#include "ui_Unit1.h"

namespace {

// Often enough to look continuous, seldom enough that painting costs nothing next to the chip.
constexpr qint64 kReportPaintIntervalMs = 30;

}  // namespace

// A new step shows at once, with the reports that led up to it. Once a close waits for the
// job, the label keeps saying so over the job's own texts.
void TForm1::ShowProcessInfo(const std::string& text) {
    if (closePutOff_) return;
    const QString shown = QString::fromStdString(text);
    if (shown == ui->lblUSBProcessInfo->text()) return;
    ShowPendingReports();
    ui->lblUSBProcessInfo->setText(shown);
}

void TForm1::ShowProcessAddress(const std::string& text) {
    pendingReports_.address = QString::fromStdString(text);
}

void TForm1::ShowStatusRegister(const std::string& text) {
    pendingReports_.status = QString::fromStdString(text);
}

void TForm1::ShowProgress(double fraction) { pendingReports_.progress = fraction; }

void TForm1::ShowPendingReports() {
    PendingReports reports = std::exchange(pendingReports_, {});
    if (reports.address) ui->lblUSBISPProcess->setText(*reports.address);
    if (reports.status) ui->lblUSBISPStatusReg->setText(*reports.status);
    if (reports.progress) {
        QProgressBar& bar = *ui->pgbUSBISPProgress;
        bar.setValue(bar.minimum() + qRound(*reports.progress * (bar.maximum() - bar.minimum())));
    }
    sinceReportsShown_.start();
}

void TForm1::ShowChecksum(const std::string& text) {
    ui->lblUSBChecksum->setText(QString::fromStdString(text));
}

// Clicks, repaints and timer ticks are handled here, nested in the running job; the Auto
// button's caption says by then whether a click on it stops a sequence.
void TForm1::PumpEvents() {
    ShowAutoCaption();
    if (!sinceReportsShown_.isValid() || sinceReportsShown_.hasExpired(kReportPaintIntervalMs))
        ShowPendingReports();
    QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::string& text, const std::string& detail) {
    Messages.Show(this, QString::fromStdString(text), MessageDialog::Kind::Notice,
                  DecodedName(detail));
}
