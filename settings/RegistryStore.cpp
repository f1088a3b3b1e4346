#include "settings/RegistryStore.h"

#include <windows.h>

#include <vector>

namespace qv {

static constexpr const char* kKeyPath = "Software\\Quorvex\\USBTool";

static HKEY AsKey(void* key) { return static_cast<HKEY>(key); }

RegistryStore::~RegistryStore() { Close(); }

bool RegistryStore::OpenForReading() {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    key_ = key;
    return true;
}

bool RegistryStore::OpenForWriting() {
    Close();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    key_ = key;
    return true;
}

std::optional<std::uint32_t> RegistryStore::ReadNumber(const std::string& name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(AsKey(key_), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

// Texts are read whole, whatever their length: the size is asked first.
std::optional<std::string> RegistryStore::ReadText(const std::string& name) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(AsKey(key_), name.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return std::nullopt;
        std::vector<char> buffer(size + 1, '\0');
        DWORD filled = size;
        const LONG result = RegQueryValueExA(AsKey(key_), name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer.data()), &filled);
        if (result == ERROR_MORE_DATA) continue;  // the text grew between the two queries
        if (result != ERROR_SUCCESS) return std::nullopt;
        return std::string(buffer.data());
    }
    return std::nullopt;
}

void RegistryStore::WriteNumber(const std::string& name, std::uint32_t value) {
    const DWORD dword = value;
    RegSetValueExA(AsKey(key_), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword),
                   sizeof dword);
}

void RegistryStore::WriteText(const std::string& name, const std::string& value) {
    RegSetValueExA(AsKey(key_), name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void RegistryStore::Close() {
    if (!key_) return;
    RegFlushKey(AsKey(key_));
    RegCloseKey(AsKey(key_));
    key_ = nullptr;
}

}  // namespace qv
