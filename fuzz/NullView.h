#pragma once

#include <string>

#include "isp/IspView.h"

namespace qv::fuzz {

// A view that shows nothing: the flash jobs run as they would with no window.
class NullView : public IspView {
public:
    void ShowProcessInfo(const std::string&) override {}
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void ShowProgress(double) override {}
    void ShowChecksum(const std::string&) override {}
    void PumpEvents() override {}
    void ShowMessage(const std::string&, const std::string&) override {}
};

}  // namespace qv::fuzz
