#pragma once

#include "device/host/WinApi.h"
#include "sim/SimHost.h"

// A Windows whose devices are the simulated chips of a bus: the Setup API lists the bus's
// interfaces of the class asked (a set holds the listing of the moment it was made, as
// Windows' does), CreateFileA and CloseHandle open and close them on the bus, and
// DeviceIoControl goes to the bus's stand-ins for the drivers. A failed call sets the error
// Windows gives for its cause. The table acts on the bus of the last call; a test runs one bus
// at a time, and the bus may be driven from several threads, as the real calls may.
qv::WinApi SimulatedWindows(qv::sim::SimHost& bus);
