// The Information page: the playback status the chip reports, read on "Update", and the five
// media keys. While a flash job holds the device, neither talks to it.
#include <QLabel>
#include <QPushButton>

#include "app/IgnoredReply.h"
#include "app/Unit1.h"
#include "chip/HidKeys.h"
#include "ui_Unit1.h"

namespace {

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The media key buttons are "btnHID" followed by the key's number.
QPushButton* HidButton(const QWidget& page, std::size_t n) {
    return page.findChild<QPushButton*>("btnHID" + QString::number(n));
}

}  // namespace

void TForm1::ConnectInformationPage() {
    connect(ui->btnUpdateStatus, &QPushButton::clicked, this, &TForm1::btnUpdateStatusClick);
    for (std::size_t n = 0; n < qv::HidKeyCodes.size(); ++n) {
        QPushButton* button = HidButton(*ui->Information, n);
        connect(button, &QPushButton::clicked, this, [this, button] { btnHIDClick(button); });
    }
}

// A read that fails leaves the status as it was, and the labels are drawn from what is held.
// A label greyed out keeps its text.
void TForm1::btnUpdateStatusClick() {
    if (jobs_.Busy()) return;
    qv::app::IgnoredByThePage(qv::ReadDeviceStatus(device_, DeviceStatus));
    const qv::StatusLabels labels = qv::DescribeStatus(DeviceStatus);
    ui->lblConnect->setText(Text(labels.connection));
    ui->lblMute->setEnabled(labels.muteEnabled);
    if (labels.mute) ui->lblMute->setText(Text(*labels.mute));
    for (QLabel* label :
         {ui->lblCurrentFormat0, ui->lblCurrentFormat1, ui->lblCurrentFreq0, ui->lblCurrentFreq1})
        label->setEnabled(labels.streamEnabled);
    if (labels.format) ui->lblCurrentFormat1->setText(Text(*labels.format));
    if (labels.rate) ui->lblCurrentFreq1->setText(Text(*labels.rate));
}

// Sends the key of the button clicked; a key the firmware does not take is given up silently.
void TForm1::btnHIDClick(QObject* sender) {
    if (jobs_.Busy()) return;
    for (std::size_t n = 0; n < qv::HidKeyCodes.size(); ++n) {
        if (HidButton(*ui->Information, n) == sender) {
            qv::app::IgnoredByThePage(qv::SendHidKey(device_, qv::HidKeyCodes[n]));
            return;
        }
    }
}
