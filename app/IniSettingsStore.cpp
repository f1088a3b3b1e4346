#include "app/IniSettingsStore.h"

#include <QFileInfo>
#include <QSettings>

namespace {

QString FileOfScope(QSettings::Scope scope) {
    return QSettings(QSettings::IniFormat, scope, QStringLiteral("Quorvex"),
                     QStringLiteral("USBTool"))
        .fileName();
}

QString Key(const std::string& name) { return QString::fromStdString(name); }

bool Readable(const QString& path) { return !path.isEmpty() && QFileInfo(path).isReadable(); }

std::unique_ptr<QSettings> OpenFile(const QString& path) {
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    // Written to a temporary file that replaces the old one only when complete, so a write
    // that fails leaves the previous file whole.
    settings->setAtomicSyncRequired(true);
    return settings;
}

}  // namespace

IniSettingsStore::IniSettingsStore()
    : IniSettingsStore(FileOfScope(QSettings::UserScope), FileOfScope(QSettings::SystemScope)) {}

IniSettingsStore::IniSettingsStore(QString userFile, QString machineWideFile)
    : userFile_(std::move(userFile)), machineWideFile_(std::move(machineWideFile)) {}

IniSettingsStore::~IniSettingsStore() = default;

// Something is stored when either file can be read.
bool IniSettingsStore::OpenForReading() {
    if (Readable(userFile_)) settings_ = OpenFile(userFile_);
    if (Readable(machineWideFile_)) machineWide_ = OpenFile(machineWideFile_);
    return settings_ || machineWide_;
}

bool IniSettingsStore::OpenForWriting() {
    settings_ = OpenFile(userFile_);
    if (settings_->isWritable()) return true;
    settings_.reset();
    return false;
}

// The user's value when the user's file holds one, else the machine-wide value.
QVariant IniSettingsStore::Value(const std::string& name) const {
    if (settings_ && settings_->contains(Key(name))) return settings_->value(Key(name));
    if (machineWide_) return machineWide_->value(Key(name));
    return {};
}

// A value edited by hand into something that is not a 32-bit decimal number counts as missing.
std::optional<std::uint32_t> IniSettingsStore::ReadNumber(const std::string& name) {
    bool ok = false;
    const std::uint32_t number = Value(name).toString().toUInt(&ok);
    if (!ok) return std::nullopt;
    return number;
}

// Only a plain text counts: an INI value that Qt reads as a list or as bytes is missing.
std::optional<std::string> IniSettingsStore::ReadText(const std::string& name) {
    const QVariant value = Value(name);
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
// Only the user's file ever holds changes to write.
void IniSettingsStore::Close() {
    if (settings_) settings_->sync();
    settings_.reset();
    machineWide_.reset();
}
