#include "app/IniSettingsStore.h"

#include <QFileInfo>
#include <QSettings>

namespace {

QString MachineWideFile() {
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Quorvex"),
                     QStringLiteral("USBTool"))
        .fileName();
}

QString Key(const std::string& name) { return QString::fromStdString(name); }

}  // namespace

IniSettingsStore::IniSettingsStore() : IniSettingsStore(MachineWideFile()) {}

IniSettingsStore::IniSettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::Open() {
    settings_ = std::make_unique<QSettings>(filePath_, QSettings::IniFormat);
    // Written to a temporary file that replaces the old one only when complete, so a write
    // that fails leaves the previous file whole.
    settings_->setAtomicSyncRequired(true);
}

bool IniSettingsStore::OpenForReading() {
    if (!QFileInfo(filePath_).isReadable()) return false;
    Open();
    return true;
}

bool IniSettingsStore::OpenForWriting() {
    Open();
    if (settings_->isWritable()) return true;
    settings_.reset();
    return false;
}

// A value edited by hand into something that is not a 32-bit decimal number counts as missing.
std::optional<std::uint32_t> IniSettingsStore::ReadNumber(const std::string& name) {
    bool ok = false;
    const std::uint32_t number = settings_->value(Key(name)).toString().toUInt(&ok);
    if (!ok) return std::nullopt;
    return number;
}

// Only a plain text counts: an INI value that Qt reads as a list or as bytes is missing.
std::optional<std::string> IniSettingsStore::ReadText(const std::string& name) {
    const QVariant value = settings_->value(Key(name));
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString().toStdString();
}

void IniSettingsStore::WriteNumber(const std::string& name, std::uint32_t value) {
    settings_->setValue(Key(name), QString::number(value));
}

void IniSettingsStore::WriteText(const std::string& name, const std::string& value) {
    settings_->setValue(Key(name), QString::fromStdString(value));
}

// A failed write (QSettings::AccessError) is not reported: the settings are simply not kept.
void IniSettingsStore::Close() {
    if (!settings_) return;
    settings_->sync();
    settings_.reset();
}
