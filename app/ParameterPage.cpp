// The Parameter page: the audio output options, collected in the window's option block and sent
// whole by "Set"; the USB identity and the three descriptor strings, each sent when Enter is
// pressed in its edit. While a flash job holds the device, the page sends nothing.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/IgnoredReply.h"
#include "app/Unit1.h"
#include "chip/ParameterRequests.h"
#include "ui_Unit1.h"

namespace {

// A typed text as the core takes it: UTF-8, which it turns into the firmware's code page.
std::string Typed(const QLineEdit& edit) { return edit.text().toUtf8().toStdString(); }

constexpr int kMclkFrequencies = 4;  // 128, 256, 512 and 1024 Fs

}  // namespace

// Connected before start-up: the refresh at start sets every option control, and each option
// handler writes back only the bit its control was set from, so the block stays as it was.
void TForm1::ConnectParameterPage() {
    // A radio pair is followed through its first button, which toggles on either choice.
    for (const OptionButtons& option : OptionButtonsShown())
        connect(option.set, &QAbstractButton::toggled, this, option.click);
    // Of the four frequencies only the button being checked counts, not the one losing its check.
    for (int n = 0; n < kMclkFrequencies; ++n) {
        QRadioButton* button = MclkFrequencyButton(n);
        connect(button, &QRadioButton::toggled, this, [this, button](bool checked) {
            if (checked) rbnMCLKOutFreqClick(button);
        });
    }
    connect(ui->btnReadPara, &QPushButton::clicked, this, &TForm1::btnReadParaClick);
    connect(ui->btnSetPara, &QPushButton::clicked, this, &TForm1::btnSetParaClick);
    // The edits send on Enter, from either key; any other key only edits.
    for (QLineEdit* edit : {ui->lbledSysVID, ui->lbledSysPID})
        connect(edit, &QLineEdit::returnPressed, this,
                [this, edit] { lbledSysVIDPIDKeyDown(edit); });
    for (QLineEdit* edit : {ui->lbledSysStr1, ui->lbledSysStr2, ui->lbledSysStr3})
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] { lbledSysStrKeyDown(edit); });
}

std::array<TForm1::OptionButtons, 9> TForm1::OptionButtonsShown() const {
    using qv::OptionFlag;
    return {
        {{OptionFlag::I2s32Bit, ui->rbnI2Slen0, ui->rbnI2Slen1, &TForm1::rbnI2SlenClick},
         {OptionFlag::Spdif32Bit, ui->rbnSPDIFlen0, ui->rbnSPDIFlen1, &TForm1::rbnSPDIFlenClick},
         {OptionFlag::I2sChannelSwap, ui->chkI2SLRSwap, nullptr, &TForm1::chkI2SLRSwapClick},
         {OptionFlag::DsdChannelSwap, ui->chkDSDLRSwap, nullptr, &TForm1::chkDSDLRSwapClick},
         {OptionFlag::I2sLeftJustified, ui->rbnI2SFormat1, ui->rbnI2SFormat0,
          &TForm1::rbnI2SFormatClick},
         {OptionFlag::DsdOutput, ui->rbnDSDOut0, ui->rbnDSDOut1, &TForm1::rbnDSDOutClick},
         {OptionFlag::MclkOutputOff, ui->chkMCLKOutOff, nullptr, &TForm1::chkMCLKOutOffClick},
         {OptionFlag::I2sOutputOff, ui->chkI2SOutOff, nullptr, &TForm1::chkI2SOutOffClick},
         {OptionFlag::SpdifOutputOff, ui->chkSPDIFOutOff, nullptr, &TForm1::chkSPDIFOutOffClick}}};
}

QRadioButton* TForm1::MclkFrequencyButton(int n) const {
    return ui->Parameter->findChild<QRadioButton*>("rbnMCLKOutFreq" + QString::number(n));
}

// Shows the block: the EEPROM flag and every option control.
void TForm1::RefreshParameterPage() {
    ui->lblEepAvail->setText(OptionBlock.Get(qv::OptionFlag::EepromPresent)
                                 ? QStringLiteral("EEPROM Exist")
                                 : QStringLiteral("EEPROM not Available"));
    for (const OptionButtons& option : OptionButtonsShown()) {
        const bool on = OptionBlock.Get(option.flag);
        if (option.clear)
            (on ? option.set : option.clear)->setChecked(true);
        else
            option.set->setChecked(on);
    }
    MclkFrequencyButton(OptionBlock.MclkFrequency())->setChecked(true);
}

void TForm1::rbnI2SlenClick() {
    OptionBlock.Set(qv::OptionFlag::I2s32Bit, ui->rbnI2Slen0->isChecked());
}
void TForm1::rbnSPDIFlenClick() {
    OptionBlock.Set(qv::OptionFlag::Spdif32Bit, ui->rbnSPDIFlen0->isChecked());
}
void TForm1::chkI2SLRSwapClick() {
    OptionBlock.Set(qv::OptionFlag::I2sChannelSwap, ui->chkI2SLRSwap->isChecked());
}
void TForm1::chkDSDLRSwapClick() {
    OptionBlock.Set(qv::OptionFlag::DsdChannelSwap, ui->chkDSDLRSwap->isChecked());
}
void TForm1::rbnI2SFormatClick() {
    OptionBlock.Set(qv::OptionFlag::I2sLeftJustified, ui->rbnI2SFormat1->isChecked());
}
void TForm1::rbnDSDOutClick() {
    OptionBlock.Set(qv::OptionFlag::DsdOutput, ui->rbnDSDOut0->isChecked());
}
void TForm1::chkMCLKOutOffClick() {
    OptionBlock.Set(qv::OptionFlag::MclkOutputOff, ui->chkMCLKOutOff->isChecked());
}
void TForm1::chkI2SOutOffClick() {
    OptionBlock.Set(qv::OptionFlag::I2sOutputOff, ui->chkI2SOutOff->isChecked());
}
void TForm1::chkSPDIFOutOffClick() {
    OptionBlock.Set(qv::OptionFlag::SpdifOutputOff, ui->chkSPDIFOutOff->isChecked());
}

// The frequency is the number n of the button named "rbnMCLKOutFreq" followed by n.
void TForm1::rbnMCLKOutFreqClick(QObject* sender) {
    for (int n = 0; n < kMclkFrequencies; ++n) {
        if (MclkFrequencyButton(n) == sender) {
            OptionBlock.SetMclkFrequency(n);
            return;
        }
    }
}

static constexpr const char* kParameterReadFailedText = "Read Parameter Fail";

// A read the firmware does not complete leaves the block, and so the page, as it was (what
// the data registers hold then is no answer, and Set would store it), and says so.
void TForm1::btnReadParaClick() {
    if (jobs_.Busy()) return;
    if (qv::ReadOptionBlock(device_, OptionBlock) != qv::Reply::Done)
        ShowMessage(kParameterReadFailedText, "The chip did not complete the EEPROM read.");
    RefreshParameterPage();
}

// Sends all four bytes as held, the EEPROM flag of the last read included.
void TForm1::btnSetParaClick() {
    if (jobs_.Busy()) return;
    qv::app::IgnoredByThePage(qv::WriteOptionBlock(device_, OptionBlock));
}

// Enter in the VID or PID edit sends its text as typed, as characters.
void TForm1::lbledSysVIDPIDKeyDown(QObject* sender) {
    if (jobs_.Busy()) return;
    if (sender == ui->lbledSysVID)
        qv::app::IgnoredByThePage(
            qv::WriteIdentity(device_, qv::IdentitySelector::VendorId, Typed(*ui->lbledSysVID)));
    else
        qv::app::IgnoredByThePage(
            qv::WriteIdentity(device_, qv::IdentitySelector::ProductId, Typed(*ui->lbledSysPID)));
}

// Enter in a string edit sends that descriptor string, eight bytes per request.
void TForm1::lbledSysStrKeyDown(QObject* sender) {
    if (jobs_.Busy()) return;
    const auto [selector, edit] =
        sender == ui->lbledSysStr1 ? std::pair{qv::StringSelector::Manufacturer, ui->lbledSysStr1}
        : sender == ui->lbledSysStr2
            ? std::pair{qv::StringSelector::ModelName, ui->lbledSysStr2}
            : std::pair{qv::StringSelector::SerialNumber, ui->lbledSysStr3};
    qv::app::IgnoredByThePage(qv::WriteString(device_, selector, Typed(*edit)));
}
