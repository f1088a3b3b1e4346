// The flash jobs' reports on the ISP page: three labels, the progress bar, the checksum, and the
// point where the window handles pending events while a job runs.
#include <QCoreApplication>
#include <utility>

#include "app/FileNames.h"
#include "app/Unit1.h"
#include "ui_Unit1.h"

namespace {

// Often enough to follow, seldom enough that painting costs little next to the chip.
constexpr qint64 kReportPaintIntervalMs = 200;
// How long a walk goes from block to block without handling the window's events: a click on
// Stop or a close waits no longer than this, and the blocks do not pay for the event loop.
constexpr std::uint64_t kBlockEventsIntervalMs = 20;

}  // namespace

// A new step shows at once, with the reports that led up to it, and the window handles its
// events at the next pump. Once a close waits for the job, the label keeps saying so over the
// job's own texts.
void TForm1::ShowProcessInfo(const std::string& text) {
    if (closePutOff_) return;
    const QString shown = QString::fromStdString(text);
    if (shown == ui->lblUSBProcessInfo->text()) return;
    ShowPendingReports();
    ui->lblUSBProcessInfo->setText(shown);
    stepBegun_ = true;
}

// A walk reports each block before its pump; the text waits for the next paint as it is.
void TForm1::ShowProcessAddress(const std::string& text) {
    pendingReports_.address = text;
    pumpFollowsBlock_ = true;
}

void TForm1::ShowStatusRegister(const std::string& text) {
    pendingReports_.status = QString::fromStdString(text);
}

void TForm1::ShowProgress(double fraction) { pendingReports_.progress = fraction; }

void TForm1::ShowPendingReports() {
    PendingReports reports = std::exchange(pendingReports_, {});
    if (reports.address) ui->lblUSBISPProcess->setText(QString::fromStdString(*reports.address));
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
// button's caption says by then whether a click on it stops a sequence. Between the blocks of
// a walk they are handled once 20 ms of the host's clock have passed; every other pump (a new
// step's first, a status wait's, the one as the job ends) handles them, so a click that came
// as the job ended is taken while the job still runs.
void TForm1::PumpEvents() {
    const std::uint64_t nowMs = device_.Host().NowMs();
    const bool betweenBlocks =
        std::exchange(pumpFollowsBlock_, false) && !std::exchange(stepBegun_, false);
    if (betweenBlocks && nowMs - eventsHandledMs_ < kBlockEventsIntervalMs) return;
    eventsHandledMs_ = nowMs;
    ShowAutoCaption();
    if (!sinceReportsShown_.isValid() || sinceReportsShown_.hasExpired(kReportPaintIntervalMs))
        ShowPendingReports();
    QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::string& text, const std::string& detail) {
    Messages.Show(this, QString::fromStdString(text), MessageDialog::Kind::Notice,
                  DecodedName(detail));
}
