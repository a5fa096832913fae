// Whatever a line delivers as an archive answer, decoding it and reading with it never crashes
// and never leaves the grid: hostile records through every decoder and through both readers.
#include <gtest/gtest.h>

#include <random>

#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"
#include "tests/service/archive_fixture.h"

namespace {

std::vector<CanPacket> HostileRecords()
{
    std::vector<CanPacket> records;
    auto of = [](std::initializer_list<int> bytes) {
        CanPacket r;
        int k = 0;
        for (int b : bytes)
            r[k++] = uint8_t(b);
        return r;
    };
    records.push_back(of({}));                                                     // all zero
    records.push_back(of({255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255})); // all ones
    records.push_back(of({0xEE, 0x1A, 0x02, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})); // sub-code byte beyond 31
    records.push_back(of({0xEE, 0xFF, 0x01, 0x1C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    records.push_back(of({0xEE, 0xFF, 0x01, 0x1B, 0x00, 0x00, 0x80, 0x00, 0xFF, 0xFF}));
    records.push_back(of({0xEE, 0xFF, 0x01, 0x1A, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF}));
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 3000; ++n) {
        CanPacket r;
        for (uint8_t &b : r.bytes)
            b = uint8_t(byte(random));
        records.push_back(r);
    }
    return records;
}

bool IsNumberIn(const QString &text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high;
}

} // namespace

TEST(ArchiveFuzz, EveryDecoderTakesAnyRecord)
{
    for (const CanPacket &r : HostileRecords()) {
        EXPECT_FALSE(AsptLastRecordText(r).isEmpty());
        EXPECT_FALSE(AsptStartCountText(r).isEmpty());
        EXPECT_EQ(AsptElapsedTextOf(r).count(u':'), 2);
        EXPECT_FALSE(AsptEventNameOf(r).isEmpty());
        EXPECT_FALSE(AsptEventSourceOf(r).isEmpty());
        EXPECT_TRUE(IsNumberIn(AsptEventNumberText(r), INT32_MIN, INT32_MAX));

        const std::array<QString, 6> cells = AsptAEventCells(r);
        EXPECT_TRUE(IsNumberIn(cells[0], 1, 65536));
        EXPECT_FALSE(cells[1].isEmpty());
        EXPECT_TRUE(cells[2].isEmpty() || IsNumberIn(cells[2], 1, 4));
        EXPECT_TRUE(cells[3].isEmpty() || IsNumberIn(cells[3], 1, 10));
        EXPECT_TRUE(cells[5].isEmpty() || IsNumberIn(cells[5], 0, 65535));
        const std::array<QString, 2> when = AsptATimeCells(r);
        EXPECT_EQ(when[0].count(u'.'), 2);
        EXPECT_EQ(when[1].count(u':'), 2);
        EXPECT_TRUE(IsNumberIn(AsptALastRecordText(r), 1, 65536));
    }
    // The tables for every value their fields can hold, and beyond.
    for (int code = -1; code <= 65536; ++code) {
        EXPECT_FALSE(AsptEventName(code).isEmpty());
        EXPECT_FALSE(AsptEventSource(code, 65535).isEmpty());
    }
    for (int kind = -1; kind <= 256; ++kind)
        for (int code = -1; code <= 256; ++code)
            EXPECT_FALSE(AsptAEventName(kind, code, 3).isEmpty());
}

using ArchiveFuzzReaderTest = ArchiveTest;

TEST_F(ArchiveFuzzReaderTest, ReadersTakeHostileAnswersAndStayInTheGrid)
{
    // Records of both layouts for the indexes read, with hostile payloads, plus the rest.
    std::vector<CanPacket> records = HostileRecords();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int index = 0; index < 4; ++index) {
        for (int sub : {0x1A, 0x1B, 0x1C, 0x1E}) {
            CanPacket r = ArchiveRecord(0xFF, 0x01, uint8_t(sub), {});
            for (int k = 6; k < 12; ++k)
                r[k] = uint8_t(byte(random));
            r[4] = 0;
            r[5] = uint8_t(index);
            records.push_back(r);
            CanPacket a = ArchiveRecord(uint8_t(sub), 0x01, uint8_t(byte(random)), {});
            for (int k = 6; k < 12; ++k)
                a[k] = uint8_t(byte(random));
            a[4] = uint8_t(index);
            a[5] = 0;
            records.push_back(a);
        }
    }
    // An index beyond the grid's rows in the last-record answers.
    records.push_back(ArchiveRecord(0xFF, 0x01, 0x1E, {0xFF, 0xFF}));
    UsbCan.RxPackets = records;

    CArchiveASPTReader first(QStringLiteral("01"));
    first.Prepare();
    first.LogStart = 1;
    first.LogEnd = 4;
    first.Loading = true;
    first.Start();
    for (int tick = 0; tick < 6 && first.Loading; ++tick)
        first.Tick();
    EXPECT_FALSE(first.Loading);
    EXPECT_EQ(first.Grid.rows.size(), std::size_t(kAsptRecords + 1));
    for (int r = 1; r <= 4; ++r)
        EXPECT_FALSE(first.Grid.rows[r][1].isEmpty()) << r;

    CArchiveASPT_AReader second(QStringLiteral("01"));
    second.Prepare();
    second.LogCount = 4;
    second.Loading = true;
    second.Start();
    for (int tick = 0; tick < 6 && second.Loading; ++tick)
        second.Tick();
    EXPECT_FALSE(second.Loading);
    EXPECT_EQ(second.Grid.rows.size(), std::size_t(kAsptARecords + 1));
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(second.Grid.rows[r][0], QString::number(r));
        EXPECT_FALSE(second.Grid.rows[r][6].isEmpty()) << r;
    }
    EXPECT_EQ(UsbCan.RxPackets.size(), records.size());
}

TEST_F(ArchiveFuzzReaderTest, ACursorOutsideTheGridIsNeverRead)
{
    CArchiveASPTReader first(QStringLiteral("01"));
    first.Prepare();
    for (const auto &range : {std::pair{0, 0}, std::pair{-5, -1}, std::pair{2001, 5000}}) {
        first.LogStart = range.first;
        first.LogEnd = range.second;
        first.Loading = true;
        first.Start();
        g_fake.txCodes.assign(10, 1);
        first.Tick();
        EXPECT_EQ(first.LogStart, range.first);
    }
    CArchiveASPT_AReader second(QStringLiteral("01"));
    second.Prepare();
    second.LogCount = 5000;
    second.Start();
    second.TotalLog = QStringLiteral("1");
    second.RecordCounter = kAsptARecords;
    second.Loading = true;
    g_fake.txCodes.assign(10, 1);
    EXPECT_FALSE(second.Tick());
    EXPECT_FALSE(second.Loading);
}
