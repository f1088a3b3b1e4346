#pragma once

#include <functional>
#include <string>
#include <vector>

#include "isp/IspView.h"

// Keeps every text the flash jobs show, in order, and lets a test act at a pump point.
class RecordingView : public qv::IspView {
public:
    std::vector<std::string> processInfo;
    std::vector<std::string> processAddress;
    std::vector<std::string> statusRegister;
    std::vector<std::string> messages;
    std::string checksum;
    double lastProgress = 0;
    std::function<void()> onPump;

    void ShowProcessInfo(const std::string& text) override { processInfo.push_back(text); }
    void ShowProcessAddress(const std::string& text) override { processAddress.push_back(text); }
    void ShowStatusRegister(const std::string& text) override { statusRegister.push_back(text); }
    void ShowProgress(double fraction) override { lastProgress = fraction; }
    void ShowChecksum(const std::string& text) override { checksum = text; }
    void PumpEvents() override {
        if (onPump) onPump();
    }
    void ShowMessage(const std::string& text, const std::string&) override { messages.push_back(text); }

    std::string LastInfo() const { return processInfo.empty() ? "" : processInfo.back(); }
};
