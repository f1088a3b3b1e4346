// The ISP page's Function Test group: one flash operation per button, each on the device opened
// for it alone. While a flash job holds the device, these buttons do nothing.
#include <QPushButton>

#include "app/FileNames.h"
#include "app/IgnoredReply.h"
#include "app/Unit1.h"
#include "chip/FlashRequests.h"
#include "chip/Registers.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "ui_Unit1.h"

void TForm1::ConnectFunctionTest() {
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {ui->btnEnterISP, &TForm1::btnEnterISPClick},
        {ui->btnUSBChipID, &TForm1::btnUSBChipIDClick},
        {ui->btnUSBWriteEnable, &TForm1::btnUSBWriteEnableClick},
        {ui->btnUSBWriteDisable, &TForm1::btnUSBWriteDisableClick},
        {ui->btnUSBReadStatus, &TForm1::btnUSBReadStatusClick},
        {ui->btnUSBErase, &TForm1::btnUSBEraseClick},
        {ui->btnUSBBlank, &TForm1::btnUSBBlankClick},
        {ui->btnUSBProgram, &TForm1::btnUSBProgramClick},
        {ui->btnUSBVerify, &TForm1::btnUSBVerifyClick},
        {ui->btnReadBack, &TForm1::btnReadBackClick}};
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    ui->lbledtUSBWriteStatus->installEventFilter(this);
}

void TForm1::RunOnDevice(const std::function<void()>& action) {
    if (jobs_.Busy()) return;
    qv::app::IgnoredByThePage(device_.Open());
    action();
    device_.Close();
}

void TForm1::RunFlashJob(qv::JobResult (qv::IspJobs::*job)(bool wholeFlash)) {
    if (jobs_.Busy()) return;
    ShowResultCleared();
    ShowJobEnd((jobs_.*job)(ui->rbnRange0->isChecked()));
    CloseIfPutOff();
}

// Toggles on every click with a device present, whatever the chip answered.
void TForm1::btnEnterISPClick() {
    if (!device_.IsPresent()) return;
    RunOnDevice([this] {
        bool& active = globals_.IspModeActive;
        if (active) {
            qv::app::IgnoredByThePage(qv::SetIspMode(device_, qv::IspMode::Leave));
        } else {
            qv::app::IgnoredByThePage(qv::SelectBank(device_, qv::kIspBank));
            qv::app::IgnoredByThePage(qv::WriteRegister(device_, 0x01, 0x03));
            qv::app::IgnoredByThePage(qv::SetIspMode(device_, qv::IspMode::Enter));
        }
        active = !active;
        ui->btnEnterISP->setText(active ? QStringLiteral("Exit ISP") : QStringLiteral("Enter ISP"));
    });
}

// Shows the identification held, which a read that timed out leaves as it was.
void TForm1::btnUSBChipIDClick() {
    RunOnDevice([this] {
        qv::app::IgnoredByThePage(qv::ReadChipId(device_, flashContext_));
        QString text;
        for (const std::uint8_t byte : flashContext_.ChipId)
            text += QStringLiteral("0x%1,  ").arg(QString::fromStdString(qv::Hex2(byte)));
        ui->lblUSBChipID->setText(text);
    });
}

void TForm1::btnUSBWriteEnableClick() {
    RunOnDevice([this] { qv::app::IgnoredByThePage(qv::WriteEnable(device_)); });
}

void TForm1::btnUSBWriteDisableClick() {
    RunOnDevice([this] { qv::app::IgnoredByThePage(qv::WriteDisable(device_)); });
}

void TForm1::btnUSBReadStatusClick() {
    RunOnDevice([this] {
        // A status that did not arrive is not shown as one.
        const auto status = qv::ReadFlashStatus(device_);
        ui->lblUSBStatus->setText(
            "0x" + (status.Ok() ? QString::fromStdString(qv::Hex2(status.value)) : "??"));
    });
}

// Enter writes the typed value, its low eight bits, without a write enable before it.
void TForm1::lbledtUSBWriteStatusKeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    try {
        const std::int32_t value =
            qv::HexFieldToInt(ui->lbledtUSBWriteStatus->text().toStdString());
        RunOnDevice([&] {
            qv::app::IgnoredByThePage(
                qv::WriteFlashStatus(device_, static_cast<std::uint8_t>(value)));
        });
    } catch (const qv::ConversionError& error) {
        ShowConversionError(error);
    }
}

void TForm1::btnUSBEraseClick() { RunFlashJob(&qv::IspJobs::Erase); }
void TForm1::btnUSBBlankClick() { RunFlashJob(&qv::IspJobs::BlankCheck); }
void TForm1::btnUSBProgramClick() { RunFlashJob(&qv::IspJobs::Program); }
void TForm1::btnUSBVerifyClick() { RunFlashJob(&qv::IspJobs::Verify); }

// The file is offered whether or not the read got through (the blocks it did not read are
// saved as 0x5A), but not when the window was closed meanwhile. The caption follows the read,
// not the file: a good read ends at its success text also when the dialog is cancelled.
void TForm1::btnReadBackClick() {
    if (jobs_.Busy()) return;
    ShowResultCleared();
    const qv::JobResult read = jobs_.ReadBack();
    if (closePutOff_) {
        CloseIfPutOff();
        return;
    }
    ShowPendingReports();  // the read as it ended, under the dialog
    const QString path = SaveBinFIleDialog.Execute(this);
    if (path.isEmpty()) {
        if (read.Ok()) ShowProcessInfo(qv::kReadBackSuccessText);
        ShowJobEnd(read);
        return;
    }
    const qv::JobResult saved = jobs_.SaveReadBack(EncodedName(path));
    ShowJobEnd(saved.Ok() ? read : saved);
}
