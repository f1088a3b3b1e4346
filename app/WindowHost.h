#pragma once

#include <QString>
#include <memory>

#include "app/WindowOptions.h"
#include "device/host/DeviceHost.h"

// The bus the window talks to: real USB, the simulated chip (the user's device plugged in, on
// real time) or a recorded trace replayed; on each the trace is written when asked. Null with
// the reason in error when the options cannot be honoured.
std::unique_ptr<qv::DeviceHost> MakeWindowHost(const WindowOptions& options, QString& error);
