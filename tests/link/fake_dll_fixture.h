#pragma once
// A fake adapter library table, a recording packet log and a pump without real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include <QString>

#include "app/settings.h"
#include "link/packet_log.h"
#include "link/transfer.h"
#include "link/usb_can.h"

struct SentFrame {
    uint32_t identifier;
    std::vector<uint8_t> data;
};

struct FakeDll {
    int connectCode = 0;
    int disconnectCode = 0;
    std::deque<int> txCodes; // codes of the next sends; 0 when empty
    std::deque<CanPacket> rx; // as delivered: identifier most significant byte first
    std::vector<SentFrame> sent;
    int connects = 0, disconnects = 0, drains = 0;
    uint32_t dropped = 0;                     // the library's count of lost frames
    std::function<void(int taken)> onTaken;   // after each frame taken (taken so far)
    std::function<void(int code)> onTx;       // as each frame goes to the adapter, with its code
    int taken = 0;
    uint8_t adapter = 0;
    uint16_t baud = 0;
};

inline FakeDll g_fake;

inline UsbCanEntryPoints FakeTable()
{
    UsbCanEntryPoints t;
    t.Connect = [](uint8_t adapter, uint16_t baud, uint8_t, uint8_t) -> int32_t {
        ++g_fake.connects;
        g_fake.adapter = adapter;
        g_fake.baud = baud;
        return g_fake.connectCode;
    };
    t.Disconnect = []() -> int32_t {
        ++g_fake.disconnects;
        return g_fake.disconnectCode;
    };
    t.RxBufferData = [](CanPacket *record, uint8_t) -> uint8_t {
        ++g_fake.drains;
        if (g_fake.rx.empty())
            return 0;
        *record = g_fake.rx.front();
        g_fake.rx.pop_front();
        ++g_fake.taken;
        if (g_fake.onTaken)
            g_fake.onTaken(g_fake.taken);
        return 1;
    };
    t.RxDropped = []() -> uint32_t { return g_fake.dropped; };
    t.TxData = [](uint32_t id, uint8_t *data, int32_t count) -> int32_t {
        g_fake.sent.push_back({id, std::vector<uint8_t>(data, data + count)});
        int code = 0;
        if (!g_fake.txCodes.empty()) {
            code = g_fake.txCodes.front();
            g_fake.txCodes.pop_front();
        }
        if (g_fake.onTx)
            g_fake.onTx(code);
        return code;
    };
    return t;
}

// A frame as the library delivers it.
inline CanPacket Delivered(uint32_t id, std::vector<uint8_t> data = {})
{
    CanPacket r;
    r[0] = uint8_t(id >> 24);
    r[1] = uint8_t(id >> 16);
    r[2] = uint8_t(id >> 8);
    r[3] = uint8_t(id);
    for (std::size_t k = 0; k < data.size() && k < 8; ++k)
        r[4 + k] = data[k];
    return r;
}

// A sent frame as PacketText.
inline QString SentText(const SentFrame &f)
{
    QString text = QStringLiteral("%1%2%3%4")
                       .arg((f.identifier >> 21) & 0xFF, 2, 16, QLatin1Char('0'))
                       .arg((f.identifier >> 13) & 0xFF, 2, 16, QLatin1Char('0'))
                       .arg((f.identifier >> 5) & 0xFF, 2, 16, QLatin1Char('0'))
                       .arg(f.identifier & 0x1F, 2, 16, QLatin1Char('0'));
    for (uint8_t b : f.data)
        text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return text.toUpper();
}

struct Row {
    QString time, id, data, action;
    bool operator==(const Row &) const = default;
};

class RecordingLog : public PacketLog {
public:
    void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) override
    {
        rows.push_back({time, id, data, action});
    }
    std::vector<Row> rows;
};

struct Status {
    QString text;
    int mode;
    bool operator==(const Status &) const = default;
};

class FakePump : public LinkPump {
public:
    void ProcessEvents() override
    {
        ++passes;
        if (onEvents)
            onEvents(passes);
    }
    void Sleep(unsigned ms) override { sleeps.push_back(ms); }
    void Status(const QString &text, int mode) override
    {
        statuses.push_back({text, mode});
        if (onStatus)
            onStatus(text);
    }

    int passes = 0;
    std::vector<unsigned> sleeps;
    std::vector<::Status> statuses;
    std::function<void(int pass)> onEvents;
    std::function<void(const QString &text)> onStatus; // as if the text let other events run
};

// The fake pump on a clock of its own: every progress text takes statusMs, a pause ends its
// milliseconds after the moment it is given. moments: the moment of each pause.
class ClockPump : public FakePump {
public:
    void Status(const QString &text, int mode) override
    {
        now += statusMs;
        FakePump::Status(text, mode);
    }
    int64_t Moment() override { return now; }
    void PauseSince(int64_t moment, unsigned ms) override
    {
        moments.push_back(moment);
        now = std::max(now, moment + int64_t(ms));
    }

    int64_t now = 0;
    int64_t statusMs = 0;
    std::vector<int64_t> moments;
};

// UsbCan on the fake table, with a recording log and the fake pump.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeDll();
        UsbCan.SetEntryPoints(FakeTable());
        UsbCan.Connected = false;
        UsbCan.RxPackets.clear();
        SetPacketLog(&log);
        SetPacketTimeSource([] { return QStringLiteral("12:34:56"); });
        SetLinkPump(&pump);
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        Usb_TimerSleep = 10;
    }
    void TearDown() override
    {
        SetPacketLog(nullptr);
        SetPacketTimeSource(nullptr);
        SetLinkPump(nullptr);
        UsbCan.SetEntryPoints(UsbCanEntryPoints());
        UsbCan.Connected = false;
        UsbCan.RxPackets.clear();
    }

    RecordingLog log;
    FakePump pump;
};
