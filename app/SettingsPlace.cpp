#include "app/SettingsPlace.h"

#ifdef _WIN32
#include "settings/RegistryStore.h"

std::unique_ptr<qv::SettingsStore> MakeSettingsStore() {
    return std::make_unique<qv::RegistryStore>();
}
#else
#include "app/IniSettingsStore.h"

std::unique_ptr<qv::SettingsStore> MakeSettingsStore() {
    return std::make_unique<IniSettingsStore>();
}
#endif
