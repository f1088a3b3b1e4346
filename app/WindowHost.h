#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/WindowOptions.h"
#include "device/host/DeviceHost.h"

// The bus the window talks to, and what is to be kept of it when the window closes.
struct WindowBus {
    std::unique_ptr<qv::DeviceHost> host;
    // Writes what must outlive the window (the simulated flash, with --sim-flash); the reason
    // when it could not.
    std::function<std::optional<std::string>()> keepOnExit = [] {
        return std::optional<std::string>();
    };
};

// Real USB, the simulated chip (the user's device plugged in, on real time unless told
// otherwise, with the simulator's options as qvusb takes them) or a recorded trace replayed;
// on each the trace is written when asked. Nothing, with the reason in error, when the options
// cannot be honoured.
std::optional<WindowBus> MakeWindowBus(const WindowOptions& options, QString& error);
