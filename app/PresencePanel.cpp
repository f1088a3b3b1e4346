// The top panel: the presence monitor's timer, the "Detect Device" box and the VID/PID edits.
#include <QTimer>

#include "app/LabelledEdit.h"
#include "app/Unit1.h"
#include "device/QuorvexUsb.h"
#include "ui_Unit1.h"

void TForm1::Timer1Timer() {
    const qv::PresenceMonitor::TickResult result = presence_.Tick();
    if (result.intervalMs) Timer1->setInterval(static_cast<int>(*result.intervalMs));
    if (result.indicator) ShowIndicator(*result.indicator);
}

// Runs on every change of the box, also when start-up checks it.
void TForm1::chkDetectUSBClick() {
    const bool detect = ui->chkDetectUSB->isChecked();
    if (detect)
        presence_.SwitchOn(ui->lbledtVID->text().toStdString(),
                           ui->lbledtPID->text().toStdString());
    else
        ShowIndicator(presence_.SwitchOff());
    SetLabelledEditEnabled(*ui->lbledtVID, !detect);
    SetLabelledEditEnabled(*ui->lbledtPID, !detect);
}

// Enter in an edit takes its text for detection (and for saving); other keys only edit.
void TForm1::lbledtVIDPIDKeyDown(QObject* sender, int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    if (sender == ui->lbledtVID) presence_.TakeVidText(ui->lbledtVID->text().toStdString());
    if (sender == ui->lbledtPID) presence_.TakePidText(ui->lbledtPID->text().toStdString());
}

void TForm1::ShowIndicator(const qv::Indicator& indicator) {
    QColor colour = palette().color(QPalette::Window);  // the button face: no colour of its own
    if (indicator.colour == qv::IndicatorColour::Lime) colour = QColor(0, 255, 0);
    if (indicator.colour == qv::IndicatorColour::Grey) colour = QColor(128, 128, 128);
    QPalette panel = ui->pnlUSBExist->palette();
    panel.setColor(QPalette::Window, colour);
    ui->pnlUSBExist->setPalette(panel);
    if (indicator.text) ui->lblDetectDevice->setText(QString::fromStdString(*indicator.text));
    if (resultShown_ && ResultBoardChanged(indicator.colour)) ShowResultCleared();
}

// The result on the ISP page belongs to the board it was got from: it goes when a search or
// check for that board finds nothing, or another board is found, unless the board's going is
// the result, which then stays until a board is found. Detection switched off, and a search for
// the other kind of device that finds nothing, say nothing about that board: seen again, it
// keeps its result.
bool TForm1::ResultBoardChanged(qv::IndicatorColour colour) const {
    const ShownResult& shown = *resultShown_;
    const bool goneIsTheResult = shown.kind == qv::FailureKind::DeviceGone;
    switch (colour) {
        case qv::IndicatorColour::Lime:
            return goneIsTheResult || device_.GetDevicePath() != shown.devicePath;
        case qv::IndicatorColour::ButtonFace:
            return !goneIsTheResult && device_.GetKsMode() == shown.ksMode &&
                   device_.GetMatchText() == shown.matchText;
        case qv::IndicatorColour::Grey:
            return false;
    }
    return false;
}
