#pragma once

#include <memory>

#include "settings/SettingsStore.h"

// Where the window keeps its settings on this platform: the machine-wide registry key on
// Windows; elsewhere the user's own INI file, over machine-wide defaults.
std::unique_ptr<qv::SettingsStore> MakeSettingsStore();
