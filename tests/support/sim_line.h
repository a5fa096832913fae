#pragma once
// Points the adapter library at a running simulator's bus and loads it, as the program would.
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <vector>

#include "link/usb_can.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"

inline bool UseSimulatedLine(const SimProcess &sim)
{
    qputenv("TIVRON_CANBUS", sim.Bus().toLocal8Bit());
    return UsbCan.LoadDllFrom(BinaryPath(QStringLiteral("bin/DLL/libUsbCAN.so")));
}

// The line answers in the order it was asked. A request to the Тиврон-2 at 7 of the demo line, which
// these tests never read, is answered after everything asked before it: its answer marks that point.
inline bool AskForOrderMark() { return UsbCan.SendPacket(QStringLiteral("85FF0600FF00000000000000")) == 0; }
inline bool IsOrderMark(const CanPacket &record) { return record[0] == 0x10 && record[2] == 0x06; }
inline bool HoldsOrderMark(const std::vector<CanPacket> &records)
{
    return std::any_of(records.begin(), records.end(), IsOrderMark);
}

// Drains the adapter (dropping what comes) until the line has answered everything asked so far, so
// a late answer to an earlier exchange cannot pass for one to the next. The adapter must be connected.
// The answer also shows that the bus has seen this adapter join: virtualcan relays a frame only to
// the adapters whose joining it has read, and that travels behind the connect, so until then a frame
// the line sends on its own is lost, whichever process serves the bus.
inline bool DrainLineUpToNow()
{
    if (!AskForOrderMark())
        return false;
    QDeadlineTimer deadline(kSimWaitMs);
    std::vector<CanPacket> taken;
    while (!HoldsOrderMark(taken) && !deadline.hasExpired()) {
        UsbCan.ReceivePackets(taken);
        QThread::msleep(2);
    }
    return HoldsOrderMark(taken);
}

// Lets the collection of the read that runs now end only once the line has answered all its
// requests, however slowly the machine runs: the collection's ticks take in the order mark, and the
// next tick is its last. Usb_TotalPaket must be long enough that the collection cannot end first.
inline bool CollectUpToNow()
{
    if (!AskForOrderMark())
        return false;
    const bool marked = QTest::qWaitFor([] { return HoldsOrderMark(UsbCan.RxPackets); }, kSimWaitMs);
    UsbCan.RxCountdown = std::min(UsbCan.RxCountdown, 1);
    return marked;
}
