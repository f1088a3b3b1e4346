#pragma once

#include <stdexcept>
#include <string>

namespace qv::cli {

// Exit codes of qvusb, mapped in one place (main).
enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailed = 1,    // the operation failed; the message says where
    kExitBadInput = 2,  // bad usage or bad input; nothing was sent
    kExitNoDevice = 3,  // no device found
};

// Bad usage or bad input, found before anything was sent.
struct BadInput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The operation ran and failed.
struct OperationFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct NoDevice : std::runtime_error {
    NoDevice() : std::runtime_error("No device is available") {}
    explicit NoDevice(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace qv::cli
