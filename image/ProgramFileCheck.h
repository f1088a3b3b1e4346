#pragma once

#include <optional>
#include <string>

namespace qv {

// Why a file cannot serve as a program file, as "NAME: cause" (missing, unreadable, a folder,
// a name that asks for no loader, empty, or larger than the image); nothing when it loads
// whole. The command line checks its files with it before it touches the device, so every
// command names the same mistake with the same words.
std::optional<std::string> ProgramFileProblem(const std::string& name);

}  // namespace qv
