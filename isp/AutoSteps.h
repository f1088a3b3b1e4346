#pragma once

#include <array>

namespace qv {

// The steps the automatic sequence runs, as chosen by the ISP page's seven boxes, kept in the
// stored ISP setting and switched off by the command line's --no-* options.
struct AutoSteps {
    bool reloadFile = true;
    bool ispMode = true;
    bool erase = true;
    bool blank = true;
    bool program = true;
    bool verify = true;
    bool protect = true;

    bool operator==(const AutoSteps&) const = default;
};

struct AutoStepName {
    bool AutoSteps::*step;
    const char* name;  // the command line's switch is --no-NAME
    const char* skipHelp;
};

// Every step once, in the order of the stored setting's bits 0-6 (step i is bit i) and of the
// ISP page's boxes.
inline constexpr std::array<AutoStepName, 7> kAutoStepNames{{
    {&AutoSteps::ispMode, "isp", "Do not enter and leave ISP mode around the command"},
    {&AutoSteps::protect, "protect", "Leave the flash unprotected"},
    {&AutoSteps::reloadFile, "reload", "Do not load the file (erase-only runs)"},
    {&AutoSteps::erase, "erase", "Skip the erase"},
    {&AutoSteps::blank, "blank", "Skip the blank check"},
    {&AutoSteps::program, "program", "Skip programming"},
    {&AutoSteps::verify, "verify", "Skip the verify"},
}};

}  // namespace qv
