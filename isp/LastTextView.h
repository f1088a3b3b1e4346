#pragma once

#include <string>

#include "isp/IspView.h"

namespace qv {

// A view that shows nothing and keeps the last step text and message: for jobs that run
// without a window, several at once, and report only their outcome.
class LastTextView : public IspView {
public:
    void ShowProcessInfo(const std::string& text) override { lastProcessInfo = text; }
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void ShowProgress(double) override {}
    void ShowChecksum(const std::string&) override {}
    void PumpEvents() override {}
    void ShowMessage(const std::string& text, const std::string&) override { lastMessage = text; }

    std::string lastProcessInfo;
    std::string lastMessage;
};

}  // namespace qv
