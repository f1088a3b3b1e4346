#pragma once

#include <memory>

#include "settings/SettingsStore.h"

// The machine-wide place where the window keeps its settings on this platform: the registry
// on Windows, an INI file elsewhere.
std::unique_ptr<qv::SettingsStore> MakeSettingsStore();
