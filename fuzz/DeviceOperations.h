#pragma once

#include <span>

#include "device/QuorvexUsb.h"
#include "fuzz/FuzzedHost.h"

namespace qv::fuzz {

// One thing a front end asks of the device object, with its arguments taken from the fuzz
// input and its promises checked whatever the device answered.
struct DeviceOperation {
    const char* name;
    void (*run)(FuzzedHost& host, QuorvexUsb& device);
};

// What a front end does first: choose the carrier and the match text, find the device and
// open it.
std::span<const DeviceOperation> StartOperations();

// Everything the fuzzer may ask next: the start operations again, closing, and the chip
// operations (flash requests, I2C transactions, the EEPROM mailbox, the playback status, HID
// keys, and a blank check or verify over a small range).
std::span<const DeviceOperation> AnyOperations();

}  // namespace qv::fuzz
