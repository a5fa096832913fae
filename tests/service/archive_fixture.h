#pragma once
// A fake adapter library with a device behind it that answers archive requests, and a timer
// backend whose ticks the test fires.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "platform/timer.h"
#include "tests/link/fake_dll_fixture.h"

#include <ostream>

// Readable failures.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// What the device behind the fake library answers to a sent frame (identifier and data).
inline std::function<std::vector<CanPacket>(uint32_t id, const std::vector<uint8_t> &data)> g_archiveDevice;

inline uint32_t ArchiveId(uint8_t command, uint8_t section, uint8_t address, uint8_t sub)
{
    return uint32_t(command) << 21 | uint32_t(section) << 13 | uint32_t(address) << 5 | (sub & 0x1Fu);
}

// A record as it stands in RxPackets.
inline CanPacket ArchiveRecord(uint8_t section, uint8_t address, uint8_t sub, std::vector<uint8_t> data)
{
    CanPacket r;
    r[0] = 0xEE;
    r[1] = section;
    r[2] = address;
    r[3] = sub;
    for (std::size_t k = 0; k < data.size() && k < 8; ++k)
        r[4 + k] = data[k];
    return r;
}

inline UsbCanEntryPoints ArchiveFakeTable()
{
    UsbCanEntryPoints t = FakeTable();
    t.TxData = [](uint32_t id, uint8_t *data, int32_t count) -> int32_t {
        std::vector<uint8_t> bytes(data, data + count);
        g_fake.sent.push_back({id, bytes});
        int code = 0;
        if (!g_fake.txCodes.empty()) {
            code = g_fake.txCodes.front();
            g_fake.txCodes.pop_front();
        }
        if (code == 0 && g_archiveDevice)
            for (const CanPacket &r : g_archiveDevice(id, bytes))
                g_fake.rx.push_back(Delivered(ArchiveId(r[0], r[1], r[2], r[3]),
                                              std::vector<uint8_t>(r.bytes + 4, r.bytes + 12)));
        return code;
    };
    return t;
}

class ArchiveTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        UsbCan.SetEntryPoints(ArchiveFakeTable());
        g_archiveDevice = nullptr;
    }
    void TearDown() override
    {
        g_archiveDevice = nullptr;
        LinkTest::TearDown();
    }

    // The identifiers and data of what went out, as packet texts without the blanks.
    QStringList SentTexts() const
    {
        QStringList texts;
        for (const SentFrame &f : g_fake.sent) {
            QString t = QStringLiteral("%1").arg(f.identifier >> 5, 6, 16, QLatin1Char('0')).toUpper() +
                        QStringLiteral("%1").arg(f.identifier & 0x1F, 2, 16, QLatin1Char('0')).toUpper();
            for (uint8_t b : f.data)
                t += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
            texts << t;
        }
        return texts;
    }
};

class ManualTimerBackend : public ITimerBackend {
public:
    explicit ManualTimerBackend(bool *running) : running_(running) {}
    void Start(int) override { *running_ = true; }
    void Stop() override { *running_ = false; }

private:
    bool *running_;
};
