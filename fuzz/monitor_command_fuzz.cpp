// The CAN monitor's command line: whatever stands in the two edits, "Выполнить" refuses it with one
// of the monitor's messages or sends exactly the frame the texts spell, and the monitor's grid shows
// the row the link logged. A text set from code skips the edits' validator and may be longer.
//
// Input: UTF-8; the identifier edit's text up to the first line break, the data edit's after it.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/message_dlg.h"
#include "fuzz/fuzz_support.h"
#include "link/monitor_link.h"
#include "link/packet_log.h"
#include "link/packet_rows.h"
#include "link/packet_text.h"
#include "link/usb_can.h"

namespace {

struct Sent {
    int calls = 0;
    uint32_t identifier = 0;
    uint8_t data[8] = {};
    int32_t count = 0;
} Tx;

int32_t FakeTxData(uint32_t identifier, uint8_t *data, int32_t count)
{
    ++Tx.calls;
    Tx.identifier = identifier;
    Tx.count = count;
    FUZZ_CHECK(count >= 0 && count <= 8);
    std::memcpy(Tx.data, data, size_t(count));
    return 0;
}

QString LastMessage;
int Messages = 0;

// The monitor window's grid as the link's packet log.
struct GridLog : PacketLog {
    CPacketRowStore grid;
    void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) override
    {
        grid.Append(time, id, data, action);
    }
} Log;

int Hex(QChar c)
{
    const char16_t u = c.unicode();
    return u <= '9' ? u - '0' : (u | 0x20) - 'a' + 10;
}

// One press of "Выполнить" with these texts in the edits.
void Execute(const QString &id, const QString &data)
{
    Tx = Sent{};
    Messages = 0;
    const QString error = CommandLineError(id, data);
    const int rowsBefore = Log.grid.PacketCount();
    CMonitorLink link;
    link.WasConnected = true; // the adapter is the program's: the monitor neither connects nor disconnects
    bool sent = false;
    bool refusedByLink = false;
    int code = -99;
    try {
        sent = link.Execute(id, data, &code);
    } catch (const PacketTextError &) {
        refusedByLink = true; // only a text set from code can be too long for a packet
    }

    if (!error.isEmpty()) {
        FUZZ_CHECK(error == NoCommandText || error == BadIdentifierText || error == BadDataText);
        FUZZ_CHECK(!sent && !refusedByLink && Tx.calls == 0 && Messages == 1 && LastMessage == error);
        FUZZ_CHECK(Log.grid.PacketCount() == rowsBefore);
        return;
    }
    FUZZ_CHECK(id.size() == 8 && Messages == 0);
    if (refusedByLink) {
        FUZZ_CHECK(data.size() > 17 && Tx.calls == 0 && Log.grid.PacketCount() == rowsBefore);
        return;
    }
    FUZZ_CHECK(sent && code == 0 && Tx.calls == 1);
    uint32_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 4) | uint32_t(Hex(id[i]));
    FUZZ_CHECK(Tx.identifier == (v >> 8) * 32 + (v & 0xFF));
    FUZZ_CHECK(Tx.count == data.size() / 2);
    for (int k = 0; k < Tx.count; ++k)
        FUZZ_CHECK(Tx.data[k] == Hex(data[2 * k]) * 16 + Hex(data[2 * k + 1]));
    const int row = Log.grid.RowCount() - 2;
    FUZZ_CHECK(Log.grid.PacketCount() == rowsBefore + 1);
    FUZZ_CHECK(Log.grid.Cell(row, 2) == id && Log.grid.Cell(row, 3) == data.left(2 * Tx.count));
    FUZZ_CHECK(Log.grid.Cell(row, 4) == PacketRowSent);
    FUZZ_CHECK(Log.grid.Line(row).endsWith(PacketRowSent + u'|'));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    SetMessageDlgHook([](const QString &text, int, MsgButtons) {
        LastMessage = text;
        ++Messages;
        return int(mrOk);
    });
    UsbCanEntryPoints table;
    table.TxData = FakeTxData;
    UsbCan.SetEntryPoints(table);
    UsbCan.Connected = true;
    SetPacketTimeSource([] { return QStringLiteral("12:00:00"); });
    SetPacketLog(&Log);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = text.indexOf(u'\n');
    const QString id = cut < 0 ? text : text.left(cut);
    const QString rest = cut < 0 ? QString() : text.mid(cut + 1);

    Execute(id, rest); // set from code
    // Typed: the edits make letters upper case and refuse more than 8 and 16 characters.
    const QString typedId = id.toUpper(), typedData = rest.toUpper();
    if (typedId.size() <= 8 && typedData.size() <= 16)
        Execute(typedId, typedData);

    // The engineer may type anything into a logged row's cells; the saved line keeps it.
    if (Log.grid.PacketCount() > 0) {
        FUZZ_CHECK(Log.grid.SetCell(1, 3, text));
        FUZZ_CHECK(Log.grid.Cell(1, 3) == text);
        FUZZ_CHECK(Log.grid.Line(1).contains(text));
    }
    if (Log.grid.PacketCount() > 1000)
        Log.grid.Clear();
    return 0;
}
