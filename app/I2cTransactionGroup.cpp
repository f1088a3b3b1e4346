// The Information page's Special I2C group: one free-form transaction at a time with the slave
// at SlaveAddress, one to five command bytes followed by one to five data bytes written or read.
// It does not set the I2C master up: it drives whatever bank register 0x00 selected last.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <vector>

#include "app/IgnoredReply.h"
#include "app/Unit1.h"
#include "chip/I2cTransactions.h"
#include "common/HexFormat.h"
#include "common/HexText.h"
#include "ui_Unit1.h"

namespace {

constexpr int kBoxes = 5;

QLineEdit& Box(const QWidget& group, const QString& prefix, int i) {
    return *group.findChild<QLineEdit*>(prefix + QString::number(i));
}

// The first two characters of each of the first count boxes as a hexadecimal byte; any text
// gives a byte ("5" gives 0x50, "0x12" gives 0x00).
std::vector<std::uint8_t> BoxBytes(const QWidget& group, const QString& prefix, int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(
            qv::HexTextToInt(Box(group, prefix, i).text().toLatin1().toStdString(), 2)));
    return bytes;
}

// The count shown beside a length bar, and the boxes within the length enabled. Disabled boxes
// keep their text.
void ShowLength(const QWidget& group, const QScrollBar& length, QLabel& label,
                const QString& prefix) {
    label.setText(QString::number(length.value()));
    for (int i = 0; i < kBoxes; ++i) Box(group, prefix, i).setEnabled(i < length.value());
}

}  // namespace

void TForm1::ConnectSpecialI2cGroup() {
    connect(ui->srblen0, &QScrollBar::valueChanged, this, &TForm1::srblen0Change);
    connect(ui->srblen1, &QScrollBar::valueChanged, this, &TForm1::srblen1Change);
    connect(ui->btnWriteSpecI2C, &QPushButton::clicked, this, &TForm1::btnWriteSpecI2CClick);
    connect(ui->btnReadSpecI2C, &QPushButton::clicked, this, &TForm1::btnReadSpecI2CClick);
    connect(ui->edtMI2CAddr1, &QLineEdit::returnPressed, this, &TForm1::edtMI2CAddr1KeyDown);
}

void TForm1::srblen0Change() {
    ShowLength(*ui->GroupBox7, *ui->srblen0, *ui->lbllencmd, QStringLiteral("edtI2Ccmd"));
}

void TForm1::srblen1Change() {
    ShowLength(*ui->GroupBox7, *ui->srblen1, *ui->lbllendat, QStringLiteral("edtI2Cdat"));
}

// The group shows nothing of the outcome.
void TForm1::btnWriteSpecI2CClick() {
    if (!device_.IsPresent()) return;
    const std::vector<std::uint8_t> commands =
        BoxBytes(*ui->GroupBox7, QStringLiteral("edtI2Ccmd"), ui->srblen0->value());
    const std::vector<std::uint8_t> dataBytes =
        BoxBytes(*ui->GroupBox7, QStringLiteral("edtI2Cdat"), ui->srblen1->value());
    RunOnDevice([&] {
        qv::app::IgnoredByThePage(
            qv::I2CWriteCommand(device_, chipAccess_.SlaveAddress, commands, dataBytes));
    });
}

// The data boxes within the length show the bytes received; when the slave did not answer,
// nothing was received and they show 00.
void TForm1::btnReadSpecI2CClick() {
    if (!device_.IsPresent()) return;
    const std::vector<std::uint8_t> commands =
        BoxBytes(*ui->GroupBox7, QStringLiteral("edtI2Ccmd"), ui->srblen0->value());
    std::vector<std::uint8_t> received(static_cast<std::size_t>(ui->srblen1->value()), 0x00);
    RunOnDevice([&] {
        qv::app::IgnoredByThePage(
            qv::I2CReadCommand(device_, chipAccess_.SlaveAddress, commands, received));
        for (std::size_t i = 0; i < received.size(); ++i)
            Box(*ui->GroupBox7, QStringLiteral("edtI2Cdat"), static_cast<int>(i))
                .setText(QString::fromStdString(qv::Hex2(received[i])));
    });
}

// Enter takes the typed address over for both I2C pages; the I2C page's box shows it, this box
// keeps the text as typed.
void TForm1::edtMI2CAddr1KeyDown() {
    if (TakeSlaveAddress(ui->edtMI2CAddr1->text()))
        ui->edtMI2CAddr->setText(QString::fromStdString(qv::Hex2(chipAccess_.SlaveAddress)));
}
