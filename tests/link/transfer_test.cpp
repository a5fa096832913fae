#include <gtest/gtest.h>

#include "link/exchange.h"
#include "link/packet_text.h"
#include "tests/link/fake_dll_fixture.h"

namespace {

// A rewritten record with the given identifier bytes and data byte 0.
CanPacket Record(uint8_t command, uint8_t section, uint8_t address, uint8_t sub, uint8_t data0 = 0)
{
    CanPacket r;
    r[0] = command;
    r[1] = section;
    r[2] = address;
    r[3] = sub;
    r[4] = data0;
    return r;
}

constexpr int X = -1; // any byte
const PacketPattern kSearchAnswer = {0x20, 0xFF, X, 0x00, X, X, X, X, X, X, X, X};

} // namespace

using WaitForPacketTest = LinkTest;

TEST_F(WaitForPacketTest, FindsARecordAlreadyThereAfterOnePass)
{
    UsbCan.RxPackets = {Record(0x01, 0, 0, 0), Record(0x20, 0xFF, 4, 0, 14), Record(0x20, 0xFF, 6, 0, 2)};
    CanPacket matched;
    EXPECT_EQ(WaitForPacket(kSearchAnswer, 1000, &matched), 2); // the lower of two matches
    EXPECT_EQ(pump.passes, 1);
    EXPECT_EQ(matched[2], 4);
    EXPECT_EQ(matched[4], 14);
    EXPECT_EQ(UsbCan.RxPackets.size(), 3u); // never cleared
}

TEST_F(WaitForPacketTest, PatternsThatNeverMatchRunAllPasses)
{
    UsbCan.RxPackets = {Record(0x20, 0xFF, 4, 0, 14)};
    const PacketPattern allAny = {X, X, X, X, X, X, X, X, X, X, X, X};
    EXPECT_EQ(WaitForPacket(allAny, 11, nullptr), 0);
    EXPECT_EQ(pump.passes, 5);
    EXPECT_EQ(g_fake.drains, 5);
    EXPECT_EQ(pump.sleeps, std::vector<unsigned>(5, 1));

    pump.passes = 0;
    const PacketPattern above255 = {0x20, 0xFF, 4, 0, 300, X, X, X, X, X, X, X};
    EXPECT_EQ(WaitForPacket(above255, 6, nullptr), 0);
    EXPECT_EQ(pump.passes, 3);
}

TEST_F(WaitForPacketTest, TimeOutBelowTwoReturnsAtOnceWithoutDraining)
{
    g_fake.rx = {Delivered(0x041FE040)};
    for (uint32_t timeout : {0u, 1u}) {
        EXPECT_EQ(WaitForPacket(kSearchAnswer, timeout, nullptr), 0);
        EXPECT_EQ(pump.passes, 0);
        EXPECT_EQ(g_fake.drains, 0);
    }
}

TEST_F(WaitForPacketTest, AnswerDrainedOnALaterPassIsFound)
{
    pump.onEvents = [](int pass) {
        if (pass == 3)
            g_fake.rx = {Delivered(0x041FE000 | (5 << 5), {14})}; // 20 FF 05 00 after the rewrite
    };
    CanPacket matched;
    EXPECT_EQ(WaitForPacket(kSearchAnswer, 1000, &matched), 1);
    EXPECT_EQ(pump.passes, 3);
    EXPECT_EQ(PacketTextOf(matched), QStringLiteral("20FF05000E00000000000000"));
}

TEST_F(WaitForPacketTest, ListClearedByATimerMeanwhileHandsBackTheRightRecord)
{
    UsbCan.RxPackets = {Record(0x01, 0, 0, 0), Record(0x02, 0, 0, 0)};
    pump.onEvents = [](int pass) {
        UsbCan.RxPackets.clear(); // a search timer's tick
        if (pass == 2)
            g_fake.rx = {Delivered(0x041FE000 | (9 << 5), {7})};
    };
    CanPacket matched;
    const int index = WaitForPacket(kSearchAnswer, 1000, &matched);
    ASSERT_EQ(index, 1);
    EXPECT_EQ(matched[2], 9);
    EXPECT_EQ(matched[4], 7);
}

TEST_F(WaitForPacketTest, HoldsAnExchangeWhileItRuns)
{
    bool during = false;
    pump.onEvents = [&](int) { during = ExchangeInProgress(); };
    WaitForPacket(kSearchAnswer, 4, nullptr);
    EXPECT_TRUE(during);
    EXPECT_FALSE(ExchangeInProgress());
}

TEST_F(WaitForPacketTest, CancelledExchangesEndTheWaitAtOnce)
{
    // Before the call, or in the middle of it (a close handled while the wait lets messages through).
    for (const bool before : {true, false}) {
        SCOPED_TRACE(before);
        pump.passes = 0;
        ExchangeScope outer; // the exchange the wait belongs to
        if (before)
            CancelExchanges();
        else
            pump.onEvents = [](int pass) {
                if (pass == 3)
                    CancelExchanges();
            };
        UsbCan.RxPackets = {Record(0x01, 0, 0, 0)};
        EXPECT_EQ(WaitForPacket(kSearchAnswer, 20000, nullptr), 0);
        EXPECT_EQ(pump.passes, before ? 0 : 3);
        EXPECT_TRUE(ExchangesCancelled()); // until the last exchange ends
        pump.onEvents = nullptr;
    }
    EXPECT_FALSE(ExchangesCancelled());
    CancelExchanges(); // with none running it does nothing
    EXPECT_FALSE(ExchangesCancelled());
    UsbCan.RxPackets = {Record(0x20, 0xFF, 4, 0)};
    EXPECT_EQ(WaitForPacket(kSearchAnswer, 1000, nullptr), 1);
}

using SendPacketListTest = LinkTest;

// Cancels the exchanges when a given progress text is shown, as a close handled inside it would.
class CancellingPump : public FakePump {
public:
    void Status(const QString &text, int mode) override
    {
        FakePump::Status(text, mode);
        if (text == cancelAt)
            CancelExchanges();
    }
    QString cancelAt;
};

TEST_F(SendPacketListTest, SaysWhyAListWasNotSentWhole)
{
    const QStringList lines = {QStringLiteral("02FF020001"), QStringLiteral("02FF020102"), QStringLiteral("02FF020203")};
    const struct {
        const char *what;
        int connectCode;
        std::deque<int> txCodes;
        QString cancelAt;
        bool result;
        ListSendFailure failure;
        std::size_t sent;
        bool connected;
    } cases[] = {
        {"sent whole", 0, {}, {}, true, ListSendFailure::None, 3, true},
        {"no connection", 5, {}, {}, false, ListSendFailure::Connect, 0, false},
        {"a packet refused", 0, {0, 7, 7, 7}, {}, false, ListSendFailure::Packet, 4, true},
        // The adapter went away: the link is disconnected, and it is still a packet that failed.
        {"no device connected", 0, {6, 6, 6}, {}, false, ListSendFailure::Packet, 3, false},
        {"closed while connecting", 0, {}, QStringLiteral("Соединяемся..."), false, ListSendFailure::Cancelled, 0, false},
        {"closed in the second packet", 0, {}, QStringLiteral("Загрузка пакета №2"), false, ListSendFailure::Cancelled, 1,
         true},
        {"closed at the count", 0, {}, QStringLiteral("Всего загруженно пакетов = 3"), false,
         ListSendFailure::Cancelled, 3, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        g_fake = FakeDll();
        g_fake.connectCode = c.connectCode;
        g_fake.txCodes = c.txCodes;
        UsbCan.Connected = false;
        CancellingPump cancelling;
        cancelling.cancelAt = c.cancelAt;
        SetLinkPump(&cancelling);
        ListSendFailure failure = ListSendFailure::None;
        {
            ExchangeScope caller; // the write or the key load around it
            EXPECT_EQ(SendPacketList(lines, &failure), c.result);
        }
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(g_fake.sent.size(), c.sent);
        EXPECT_EQ(UsbCan.Connected, c.connected);
        EXPECT_FALSE(ExchangesCancelled());
    }
    SetLinkPump(&pump);
}

TEST_F(SendPacketListTest, EmptyList)
{
    EXPECT_TRUE(SendPacketList({}));
    const std::vector<Status> expected = {
        {"Соединяемся...", 1}, {"Соединение прошло успешно", 1}, {"Всего загруженно пакетов = 0", 2}};
    EXPECT_EQ(pump.statuses, expected);
    EXPECT_TRUE(UsbCan.Connected);
}

TEST_F(SendPacketListTest, SendsLinesWithoutBlanksAndPausesAfterEach)
{
    g_fake.txCodes = {0, 6, 0}; // the second line needs a second attempt
    EXPECT_TRUE(SendPacketList({QStringLiteral("02FF02 00 01"), QStringLiteral(" 02FF0201 0203")}));
    ASSERT_EQ(g_fake.sent.size(), 3u);
    EXPECT_EQ(g_fake.sent[0].identifier, 0x005FE040u);
    EXPECT_EQ(g_fake.sent[0].data, std::vector<uint8_t>{0x01});
    EXPECT_EQ(g_fake.sent[2].data, (std::vector<uint8_t>{0x02, 0x03}));
    const std::vector<Status> expected = {
        {"Соединяемся...", 1},        {"Соединение прошло успешно", 1}, {"Загрузка пакета №1", 1},
        {"Пакет №1 загружен", 1},     {"Загрузка пакета №2", 1},        {"Пакет №2 загружен", 1},
        {"Всего загруженно пакетов = 2", 2}};
    EXPECT_EQ(pump.statuses, expected);
    EXPECT_EQ(pump.sleeps, (std::vector<unsigned>{10, 10}));
    EXPECT_FALSE(ExchangeInProgress());
}

// The progress texts of a packet and of the next one (and the send itself) take time on the pump's
// clock. The pause is waited out just before the next packet goes, counting from the packet before:
// what was drawn in between is part of it, so two packets go out max(pause, drawing) apart and the
// list lasts its packets x the pause from its first send, never less on the wire.
TEST_F(SendPacketListTest, TheTextsBetweenTwoPacketsArePartOfThePause)
{
    const QStringList lines = {QStringLiteral("02FF020001"), QStringLiteral("02FF020102"), QStringLiteral("02FF0202")};
    const struct {
        const char *what;
        int pauseMs, statusMs, sendMs;
        std::deque<int> txCodes;
        std::vector<int64_t> gapsMs; // between the frames that went out
    } cases[] = {
        {"texts take no time", 10, 0, 0, {}, {10, 10}},
        {"texts take time", 10, 2, 0, {}, {10, 10}},
        {"the texts and the send fill the pause", 10, 4, 2, {}, {10, 10}},
        // The failed attempt is no frame on the wire: the pause counts from the one that went.
        {"the second packet sent at its second attempt", 10, 2, 1, {0, 6, 0}, {11, 10}},
        {"texts longer than the pause", 10, 7, 0, {}, {14, 14}},
        {"no pause", 0, 2, 0, {}, {4, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        g_fake = FakeDll();
        g_fake.txCodes = c.txCodes;
        UsbCan.Connected = false;
        Usb_TimerSleep = c.pauseMs;
        ClockPump clock;
        clock.statusMs = c.statusMs;
        std::vector<int64_t> sentAt; // of the frames that went out
        g_fake.onTx = [&](int code) {
            if (code == 0)
                sentAt.push_back(clock.now);
            clock.now += c.sendMs;
        };
        int64_t countAt = -1;
        clock.onStatus = [&](const QString &text) {
            if (text.startsWith(QStringLiteral("Всего загруженно пакетов = ")))
                countAt = clock.now - clock.statusMs;
        };
        SetLinkPump(&clock);
        EXPECT_TRUE(SendPacketList(lines));
        SetLinkPump(&pump);
        ASSERT_EQ(sentAt.size(), 3u);
        EXPECT_EQ(clock.moments.size(), 3u); // one pause per packet, the last after the last packet
        EXPECT_EQ((std::vector<int64_t>{sentAt[1] - sentAt[0], sentAt[2] - sentAt[1]}), c.gapsMs);
        // The last pause ends its length after the last packet, then the count.
        EXPECT_EQ(countAt - sentAt.back(), std::max<int64_t>(c.pauseMs, c.sendMs + c.statusMs));
        if (c.gapsMs == std::vector<int64_t>(2, c.pauseMs)) {
            EXPECT_EQ(countAt - sentAt.front(), 3 * c.pauseMs);
        }
        EXPECT_TRUE(clock.sleeps.empty());
    }
}

TEST_F(SendPacketListTest, SecondOfThreeFailingStopsWithAFailureAndKeepsItsText)
{
    g_fake.txCodes = {0, 4, 4, 4};
    EXPECT_FALSE(SendPacketList({QStringLiteral("02FF020001"), QStringLiteral("02FF020102"), QStringLiteral("02FF020203")}));
    ASSERT_EQ(log.rows.size(), 4u);
    EXPECT_EQ(log.rows[0].action, PacketRowSent);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(log.rows[i].id, QStringLiteral("02FF0201"));
        EXPECT_EQ(log.rows[i].action, PacketRowFailed);
    }
    ASSERT_FALSE(pump.statuses.empty());
    EXPECT_EQ(pump.statuses.back(), (Status{"Не могу записать данные в прибор, ответ библиотеки UsbCan.dll = 4", 2}));
    EXPECT_EQ(pump.sleeps, std::vector<unsigned>{10});
}

TEST_F(SendPacketListTest, ConnectionFailureSendsNothing)
{
    g_fake.connectCode = 9;
    EXPECT_FALSE(SendPacketList({QStringLiteral("02FF020001")}));
    EXPECT_TRUE(g_fake.sent.empty());
    const std::vector<Status> expected = {
        {"Соединяемся...", 1}, {"Не могу соединиться с прибором, ответ библиотеки UsbCan.dll = 9", 2}};
    EXPECT_EQ(pump.statuses, expected);
}

TEST_F(SendPacketListTest, RefusedLineClosesTheProgressWindowAndGoesToTheCaller)
{
    EXPECT_THROW(SendPacketList({QStringLiteral("02FF020001"), QStringLiteral("02FF 02")}), PacketTextError);
    EXPECT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(pump.statuses.back(), (Status{"Загрузка пакета №2", 0}));
    EXPECT_FALSE(ExchangeInProgress());
}

TEST(Exchange, NestsAndEndsWithItsScopes)
{
    EXPECT_FALSE(ExchangeInProgress());
    {
        ExchangeScope outer;
        {
            ExchangeScope inner;
            EXPECT_TRUE(ExchangeInProgress());
        }
        EXPECT_TRUE(ExchangeInProgress());
    }
    EXPECT_FALSE(ExchangeInProgress());
    EndExchange(); // an unmatched end does not go below zero
    BeginExchange();
    EXPECT_TRUE(ExchangeInProgress());
    EndExchange();
    EXPECT_FALSE(ExchangeInProgress());
}
