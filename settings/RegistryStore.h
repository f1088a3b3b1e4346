#pragma once

#include "settings/SettingsStore.h"

namespace qv {

// The values under HKEY_LOCAL_MACHINE\Software\Quorvex\USBTool (REG_DWORD and REG_SZ), so
// values stored there by earlier versions of the tool carry over. Windows only.
class RegistryStore : public SettingsStore {
public:
    RegistryStore() = default;
    ~RegistryStore() override;
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    bool OpenForReading() override;
    bool OpenForWriting() override;
    std::optional<std::uint32_t> ReadNumber(const std::string& name) override;
    std::optional<std::string> ReadText(const std::string& name) override;
    void WriteNumber(const std::string& name, std::uint32_t value) override;
    void WriteText(const std::string& name, const std::string& value) override;
    void Close() override;

private:
    void* key_ = nullptr;  // HKEY
};

}  // namespace qv
