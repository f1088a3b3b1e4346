#pragma once

#include <string>

namespace qv {

// Where the flash walks and the automatic sequence report: the ISP page's three labels, a
// progress fraction, and a point where the front end lets pending work run (the window
// processes its messages there, so it stays responsive and the Stop click can arrive).
class IspView {
public:
    virtual ~IspView() = default;

    virtual void ShowProcessInfo(const std::string& text) = 0;     // the step and its outcome
    virtual void ShowProcessAddress(const std::string& text) = 0;  // block or page address
    virtual void ShowStatusRegister(const std::string& text) = 0;  // last status while erasing
    virtual void ShowProgress(double fraction) = 0;                // 0 to 1 of the running walk
    virtual void ShowChecksum(const std::string& text) = 0;        // of the program file loaded
    virtual void PumpEvents() = 0;
    // A modal notice ("USB device is NOT available !!    ", ...), with a detail below its text
    // when there is one (which file, and why it cannot serve).
    virtual void ShowMessage(const std::string& text, const std::string& detail) = 0;
};

}  // namespace qv
