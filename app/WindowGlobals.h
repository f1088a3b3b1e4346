#pragma once

#include <QLatin1String>
#include <QString>

// The window-level state and fixed texts of the main unit, owned by the window for its
// whole run.
struct WindowGlobals {
    static constexpr QLatin1String TitleText{"Morrowfieldtone Tool V1.00.202009"};

    // VidText, PidText, DeviceMatch, DetectOn and AutoBusy belong to the presence monitor;
    // ProgramFileName to the window's program file.
    QString ModifyFilePath;
    QString NewFilePath;
    // The chip's ISP mode as the Enter ISP button last switched it; the automatic sequence
    // neither reads nor changes it.
    bool IspModeActive = false;
};
