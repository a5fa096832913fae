// Archive answers come from whatever sits on the line: any 12-byte record must go through every
// decoder of both record layouts, and any list of received records through both readers, without
// a crash and without the readers leaving their grids.
//
// Input: byte 0 picks the first reader's range start (1-8) and the second's record count (1-8),
// byte 1 the wire address the readers ask; the rest is 12-byte records, the adapter's received list.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/settings.h"
#include "fuzz/fuzz_support.h"
#include "link/packet_log.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"

namespace {

// Thrown by the pump when a reader has used up its waiting budget.
struct OutOfPasses {};

// No real waits, no status window. The received list never grows during a wait, so a missing
// answer costs a thousand identical scans: a budget of passes per reader keeps the runs fast while
// still letting one answer go missing in full.
class SilentPump : public LinkPump {
public:
    int passesLeft = 0;
    void ProcessEvents() override
    {
        if (--passesLeft < 0)
            throw OutOfPasses{};
    }
    void Sleep(unsigned) override {}
    void Status(const QString &, int) override {}
};

SilentPump Pump;

// An adapter that takes every send and never delivers more: the received list is the input.
UsbCanEntryPoints SilentAdapter()
{
    UsbCanEntryPoints t;
    t.Connect = [](uint8_t, uint16_t, uint8_t, uint8_t) -> int32_t { return 0; };
    t.Disconnect = []() -> int32_t { return 0; };
    t.RxBufferData = [](CanPacket *, uint8_t) -> uint8_t { return 0; };
    t.TxData = [](uint32_t, uint8_t *, int32_t) -> int32_t { return 0; };
    return t;
}

void Decode(const CanPacket &r)
{
    FUZZ_CHECK(!AsptLastRecordText(r).isEmpty());
    FUZZ_CHECK(!AsptStartCountText(r).isEmpty());
    FUZZ_CHECK(AsptElapsedTextOf(r).count(u':') == 2);
    FUZZ_CHECK(!AsptEventNameOf(r).isEmpty());
    FUZZ_CHECK(!AsptEventSourceOf(r).isEmpty());
    FUZZ_CHECK(!AsptEventNumberText(r).isEmpty());
    const uint16_t word = uint16_t(r[6] << 8 | r[7]);
    FUZZ_CHECK(!AsptEventName(word).isEmpty());
    FUZZ_CHECK(!AsptEventSource(word, uint16_t(r[8] << 8 | r[9])).isEmpty());
    FUZZ_CHECK(!AsptElapsedText(uint32_t(r[8]) << 24 | uint32_t(r[9]) << 16 | uint32_t(r[10]) << 8 | r[11])
                    .isEmpty());

    const std::array<QString, 6> cells = AsptAEventCells(r);
    FUZZ_CHECK(!cells[0].isEmpty() && !cells[1].isEmpty());
    const std::array<QString, 2> when = AsptATimeCells(r);
    FUZZ_CHECK(when[0].count(u'.') == 2 && when[1].count(u':') == 2);
    FUZZ_CHECK(!AsptALastRecordText(r).isEmpty());
    FUZZ_CHECK(!AsptASourceName(r[1]).isEmpty());
    FUZZ_CHECK(!AsptAEventName(r[1], r[4], r[5]).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    SetPacketLog(nullptr);
    SetPacketTimeSource([] { return QStringLiteral("12:00:00"); });
    SetLinkPump(&Pump);
    UsbCan.SetEntryPoints(SilentAdapter());
    UsbCan.Connected = true;
    Usb_NoDevice = 1;
    Usb_TimerSleep = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    std::vector<CanPacket> records((size - 2) / 12);
    for (std::size_t k = 0; k < records.size(); ++k)
        std::memcpy(records[k].bytes, data + 2 + 12 * k, 12);
    for (const CanPacket &r : records)
        Decode(r);

    const int first = 1 + (data[0] & 7);
    const int count = 1 + (data[0] >> 3 & 7);
    const QString address = QStringLiteral("%1").arg(data[1], 2, 16, QLatin1Char('0')).toUpper();

    UsbCan.RxPackets = records;
    CArchiveASPTReader aspt(address);
    aspt.Prepare();
    aspt.LogStart = first;
    aspt.LogEnd = first + 3;
    aspt.Loading = true;
    aspt.Start();
    Pump.passesLeft = 1500;
    try {
        for (int tick = 0; tick < 6 && aspt.Loading; ++tick)
            aspt.Tick();
    } catch (const OutOfPasses &) {
    }
    FUZZ_CHECK(aspt.Grid.rows.size() == std::size_t(kAsptRecords + 1));
    FUZZ_CHECK(aspt.LogStart >= first && aspt.LogStart <= first + 4);

    UsbCan.RxPackets = records;
    CArchiveASPT_AReader asptA(address);
    asptA.Prepare();
    asptA.LogCount = count;
    asptA.Loading = true;
    asptA.Start();
    Pump.passesLeft = 1500;
    try {
        for (int tick = 0; tick < count + 2 && asptA.Loading; ++tick)
            asptA.Tick();
    } catch (const OutOfPasses &) {
    }
    FUZZ_CHECK(asptA.Grid.rows.size() == std::size_t(kAsptARecords + 1));
    FUZZ_CHECK(asptA.SelectedRow >= 0 && asptA.SelectedRow <= kAsptARecords);
    FUZZ_CHECK(asptA.RecordCounter <= kAsptARecords);
    UsbCan.RxPackets.clear();
    return 0;
}
