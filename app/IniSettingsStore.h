#pragma once

#include <QString>
#include <QVariant>
#include <memory>

#include "settings/SettingsStore.h"

class QSettings;

// The settings kept in INI files (organisation "Quorvex", application "USBTool"). By default
// they are saved to the user's own file (Qt's user scope, $XDG_CONFIG_HOME/Quorvex/USBTool.ini,
// ~/.config by default) and read from it first; a value the user's file does not hold is read
// from the machine-wide file (Qt's system scope, /etc/xdg/Quorvex/USBTool.ini on Linux), where
// an administrator can preset defaults. The machine-wide file is never written. A caller may
// name the files instead. The number is kept in decimal, the texts as they are.
class IniSettingsStore : public qv::SettingsStore {
public:
    IniSettingsStore();
    // Without a machine-wide file, only the user's file counts.
    explicit IniSettingsStore(QString userFile, QString machineWideFile = {});
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    // The user's file, the one that is written.
    const QString& FilePath() const { return userFile_; }
    const QString& MachineWideFilePath() const { return machineWideFile_; }

    bool OpenForReading() override;
    bool OpenForWriting() override;
    std::optional<std::uint32_t> ReadNumber(const std::string& name) override;
    std::optional<std::string> ReadText(const std::string& name) override;
    void WriteNumber(const std::string& name, std::uint32_t value) override;
    void WriteText(const std::string& name, const std::string& value) override;
    void Close() override;

private:
    QVariant Value(const std::string& name) const;

    const QString userFile_;
    const QString machineWideFile_;
    // Set between an open and Close: the user's file, and for reading the machine-wide one.
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<QSettings> machineWide_;
};
