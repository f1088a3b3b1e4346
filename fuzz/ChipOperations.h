#pragma once

#include "device/QuorvexUsb.h"
#include "fuzz/FuzzedHost.h"

namespace qv::fuzz {

// The chip operations a front end runs, each with its arguments from the fuzz input and a
// check of what it promises whatever the device answered. A device that is not open answers
// nothing, so an operation that reports a result reports a failure then.

void ReadChipIdOperation(FuzzedHost& host, QuorvexUsb& device);
void ReadFlashStatusOperation(FuzzedHost& host, QuorvexUsb& device);
void ReadFlashDataOperation(FuzzedHost& host, QuorvexUsb& device);

void I2CSetupOperation(FuzzedHost& host, QuorvexUsb& device);
void I2CWriteRegistersOperation(FuzzedHost& host, QuorvexUsb& device);
void I2CReadRegistersOperation(FuzzedHost& host, QuorvexUsb& device);
void I2CWriteCommandOperation(FuzzedHost& host, QuorvexUsb& device);
void I2CReadCommandOperation(FuzzedHost& host, QuorvexUsb& device);

// These open the device themselves and close it before they return.
void EepromMailboxOperation(FuzzedHost& host, QuorvexUsb& device);
void ReadDeviceStatusOperation(FuzzedHost& host, QuorvexUsb& device);
void SendHidKeyOperation(FuzzedHost& host, QuorvexUsb& device);
void BlankCheckOperation(FuzzedHost& host, QuorvexUsb& device);
void VerifyOperation(FuzzedHost& host, QuorvexUsb& device);

}  // namespace qv::fuzz
