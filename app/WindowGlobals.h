#pragma once

#include <QLatin1String>
#include <QString>
#include <algorithm>
#include <array>

// The window-level state and fixed texts of the main unit, owned by the window for its
// whole run.
struct WindowGlobals {
    static constexpr QLatin1String TitleText{"Morrowfieldtone Tool V1.00.202009"};

    // Playback status texts of the Information page.
    static constexpr QLatin1String UsbConnectedText{"USB connected"};
    static constexpr QLatin1String UsbDisconnectedText{"USB Disconnected"};
    static constexpr QLatin1String PlayingText{"Playing"};
    static constexpr QLatin1String MuteText{"Mute"};
    static constexpr QLatin1String PcmText{"PCM"};
    static constexpr QLatin1String DsdText{"DSD"};

    // Input rate texts, each exactly eight characters: index = rate code for PCM, 16 + rate code
    // for DSD (DoP at 16 to 19, native DSD at 24 to 27); codes without a rate show blanks.
    static constexpr QLatin1String kNoRate{"        "};
    // clang-format off
    static constexpr std::array<QLatin1String, 32> RateLabels{
        QLatin1String{" 44.1KHz"}, QLatin1String{"   48KHz"}, QLatin1String{" 88.2KHz"},
        QLatin1String{"   96KHz"}, QLatin1String{"176.4KHz"}, QLatin1String{"  192KHz"},
        QLatin1String{"352.8KHz"}, QLatin1String{"  384KHz"}, QLatin1String{"705.6KHz"},
        QLatin1String{"  768KHz"}, kNoRate, kNoRate, kNoRate, kNoRate, kNoRate, kNoRate,
        QLatin1String{" DoP  64"}, QLatin1String{" DoP 128"}, QLatin1String{" DoP 256"},
        QLatin1String{" DoP 512"}, kNoRate, kNoRate, kNoRate, kNoRate,
        QLatin1String{" DSD  64"}, QLatin1String{" DSD 128"}, QLatin1String{" DSD 256"},
        QLatin1String{" DSD 512"}, kNoRate, kNoRate, kNoRate, kNoRate};
    // clang-format on
    static_assert(std::ranges::all_of(RateLabels,
                                      [](QLatin1String text) { return text.size() == 8; }));

    // VidText, PidText, DeviceMatch, DetectOn and AutoBusy belong to the presence monitor;
    // ProgramFileName to the window's program file.
    QString ModifyFilePath;
    QString NewFilePath;
    // The chip's ISP mode as the Enter ISP button last switched it; the automatic sequence
    // neither reads nor changes it.
    bool IspModeActive = false;
};
