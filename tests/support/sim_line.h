#pragma once
// Points the adapter library at a running simulator's bus and loads it, as the program would.
#include <QtGlobal>

#include "link/usb_can.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"

inline bool UseSimulatedLine(const SimProcess &sim)
{
    qputenv("TIVRON_CANBUS", sim.Bus().toLocal8Bit());
    return UsbCan.LoadDllFrom(BinaryPath(QStringLiteral("bin/DLL/libUsbCAN.so")));
}
