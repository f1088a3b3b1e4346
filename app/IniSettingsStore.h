#pragma once

#include <QString>
#include <memory>

#include "settings/SettingsStore.h"

class QSettings;

// The settings kept in an INI file: by default the machine-wide one (Qt's system scope,
// organisation "Quorvex", application "USBTool"; /etc/xdg/Quorvex/USBTool.ini on Linux), or
// a file named by the caller. The number is kept in decimal, the texts as they are.
class IniSettingsStore : public qv::SettingsStore {
public:
    IniSettingsStore();
    explicit IniSettingsStore(QString filePath);
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    const QString& FilePath() const { return filePath_; }

    bool OpenForReading() override;
    bool OpenForWriting() override;
    std::optional<std::uint32_t> ReadNumber(const std::string& name) override;
    std::optional<std::string> ReadText(const std::string& name) override;
    void WriteNumber(const std::string& name, std::uint32_t value) override;
    void WriteText(const std::string& name, const std::string& value) override;
    void Close() override;

private:
    void Open();

    const QString filePath_;
    std::unique_ptr<QSettings> settings_;  // set between an open and Close
};
