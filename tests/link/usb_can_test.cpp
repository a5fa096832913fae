#include <gtest/gtest.h>

#include <QLibrary>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "link/monitor_link.h"
#include "link/packet_text.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"

using UsbCanTest = LinkTest;

TEST_F(UsbCanTest, ConnectAndDisconnectStateTable)
{
    struct Case {
        bool connectedBefore;
        const char *call;
        int libraryCode;
        int result;
        bool connectedAfter;
        int libraryCalls;
    };
    const Case cases[] = {
        {false, "connect", 0, 0, true, 1},
        {true, "connect", 0, 0, true, 1},      // connects again every time
        {false, "connect", 7, 7, false, 1},
        {true, "connect", 7, 7, false, 1},     // a failure clears the flag without closing
        {false, "disconnect", 5, 0, false, 0}, // not connected: the library is not called
        {true, "disconnect", 5, 5, false, 1},  // its code handed back unread
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.connectedBefore) + " " + std::to_string(c.libraryCode));
        g_fake = FakeDll();
        g_fake.connectCode = g_fake.disconnectCode = c.libraryCode;
        UsbCan.Connected = c.connectedBefore;
        const bool connect = std::string(c.call) == "connect";
        EXPECT_EQ(connect ? UsbCan.Connect() : UsbCan.Disconnect(), c.result);
        EXPECT_EQ(UsbCan.Connected, c.connectedAfter);
        EXPECT_EQ(connect ? g_fake.connects : g_fake.disconnects, c.libraryCalls);
    }
    Usb_NoDevice = 2;
    Can_BaudRate = 125;
    UsbCan.Connect();
    EXPECT_EQ(g_fake.adapter, 2);
    EXPECT_EQ(g_fake.baud, 125);
}

TEST_F(UsbCanTest, MissingEntryPointsAreNeverCalled)
{
    UsbCan.SetEntryPoints(UsbCanEntryPoints());
    UsbCan.Connected = true;
    EXPECT_EQ(UsbCan.Connect(), UsbCanMissingLibrary);
    EXPECT_FALSE(UsbCan.Connected);
    UsbCan.Connected = true;
    EXPECT_EQ(UsbCan.Disconnect(), UsbCanMissingLibrary);
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), 0);
    EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("85FF0200")), UsbCanMissingLibrary);
    ASSERT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(log.rows[0].action, PacketRowFailed);
}

TEST_F(UsbCanTest, DrainKeepsOrderRewritesAndLogs)
{
    g_fake.rx = {Delivered(0x10BFE043, {9, 8, 7}), Delivered(0x1FFFFFE0), Delivered(0x0041FE40, {0xAA})};
    std::vector<CanPacket> list(1); // what a list already holds stays in front
    EXPECT_EQ(UsbCan.ReceivePackets(list), 3);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(PacketTextOf(list[1]), QStringLiteral("85FF02030908070000000000"));
    EXPECT_EQ(PacketTextOf(list[2]), QStringLiteral("FFFFFF000000000000000000"));
    EXPECT_EQ(PacketTextOf(list[3]), QStringLiteral("020FF200AA00000000000000"));
    const std::vector<Row> expected = {
        {"12:34:56", "85FF0203", "0908070000000000", "  (Получен)"},
        {"12:34:56", "FFFFFF00", "0000000000000000", "  (Получен)"},
        {"12:34:56", "020FF200", "AA00000000000000", "  (Получен)"},
    };
    EXPECT_EQ(log.rows, expected);

    log.rows.clear();
    EXPECT_EQ(UsbCan.ReceivePackets(list), 0); // empty buffer
    EXPECT_TRUE(log.rows.empty());
    EXPECT_EQ(list.size(), 4u);
}

TEST_F(UsbCanTest, FloodedLineIsDrainedInBoundedSteps)
{
    for (int i = 0; i < 2500; ++i)
        g_fake.rx.push_back(Delivered(0x0FC01FC0 + (i & 0x1F), {uint8_t(i >> 8), uint8_t(i)}));
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), CUsbCan::MaxFramesPerDrain);
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), CUsbCan::MaxFramesPerDrain);
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), 2500 - 2 * CUsbCan::MaxFramesPerDrain);
    ASSERT_EQ(UsbCan.RxPackets.size(), 2500u);
    EXPECT_EQ(UsbCan.RxPackets[2499][4], 2499 >> 8);
    EXPECT_EQ(UsbCan.RxPackets[2499][5], 2499 & 0xFF);
}

TEST_F(UsbCanTest, LostFramesGetARowWhereTheyWereLost)
{
    UsbCan.Connected = true;
    g_fake.dropped = 3; // lost before this drain
    for (int i = 0; i < 4; ++i)
        g_fake.rx.push_back(Delivered(0x0FC01FC0, {uint8_t(i)}));
    g_fake.onTaken = [](int taken) {
        if (taken == 2)
            g_fake.dropped += 4096; // the queue overflowed while the drain ran
    };
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), 4);
    std::vector<QString> ids;
    for (const Row &r : log.rows)
        ids.push_back(r.id + u'|' + r.data.left(2) + u'|' + r.action);
    EXPECT_EQ(ids, (std::vector<QString>{"Потеряно пакетов = 3||", "7E00FE00|00|  (Получен)", "7E00FE00|01|  (Получен)",
                                         "Потеряно пакетов = 4096||", "7E00FE00|02|  (Получен)",
                                         "7E00FE00|03|  (Получен)"}));
    EXPECT_EQ(UsbCan.RxPackets.size(), 4u); // the loss is a row, not a packet

    // Nothing new lost: no row. After a reconnect the library counts afresh.
    log.rows.clear();
    UsbCan.ReceivePackets(UsbCan.RxPackets);
    EXPECT_TRUE(log.rows.empty());
    UsbCan.Disconnect();
    ASSERT_EQ(UsbCan.Connect(), 0);
    g_fake.dropped = 5;
    UsbCan.ReceivePackets(UsbCan.RxPackets);
    ASSERT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(log.rows[0].id, QStringLiteral("Потеряно пакетов = 5"));

    // A library without the entry point reports no losses.
    UsbCanEntryPoints without = FakeTable();
    without.RxDropped = nullptr;
    UsbCan.SetEntryPoints(without);
    log.rows.clear();
    g_fake.dropped = 100;
    g_fake.rx.push_back(Delivered(0x0FC01FC0));
    EXPECT_EQ(UsbCan.ReceivePackets(UsbCan.RxPackets), 1);
    ASSERT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(log.rows[0].action, PacketRowReceived);
}

TEST_F(UsbCanTest, SendConvertsLogsAndReturnsTheCode)
{
    g_fake.txCodes = {0, 3};
    EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("85ff0200FF0")), 0);
    EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("000000FF")), 3);
    ASSERT_EQ(g_fake.sent.size(), 2u);
    EXPECT_EQ(g_fake.sent[0].identifier, 0x10BFE040u);
    EXPECT_EQ(g_fake.sent[0].data, std::vector<uint8_t>{0xFF});
    EXPECT_EQ(g_fake.sent[1].identifier, 0xFFu);
    EXPECT_TRUE(g_fake.sent[1].data.empty());
    const std::vector<Row> expected = {
        {"12:34:56", "85ff0200", "FF", "  (Отправлен)"},
        {"12:34:56", "000000FF", "", "  (Ошибка)"},
    };
    EXPECT_EQ(log.rows, expected);
}

TEST_F(UsbCanTest, SendAnsweredNoDeviceConnectedDisconnects)
{
    const struct {
        int code;
        bool connectedAfter;
        int disconnects;
    } cases[] = {
        {0, true, 0},
        {UsbCanWriteFailed, true, 0}, // the device refused one frame: the adapter is still there
        {UsbCanNotConnected, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        g_fake = FakeDll();
        g_fake.txCodes = {c.code};
        log.rows.clear();
        UsbCan.Connected = true;
        EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("85FF0200")), c.code);
        EXPECT_EQ(UsbCan.Connected, c.connectedAfter);
        EXPECT_EQ(g_fake.disconnects, c.disconnects);
        ASSERT_EQ(log.rows.size(), 1u);
        EXPECT_EQ(log.rows[0].action, c.code == 0 ? PacketRowSent : PacketRowFailed);
    }
    // The monitor's command line, which connects only when not connected, connects again.
    CMonitorLink monitor;
    EXPECT_TRUE(monitor.Execute(QStringLiteral("85FF0200"), QString()));
    EXPECT_EQ(g_fake.connects, 1);
    EXPECT_TRUE(UsbCan.Connected);
}

TEST_F(UsbCanTest, RefusedTextSendsAndLogsNothingAndIsShownAsAnError)
{
    QString shown;
    int kind = -1;
    SetMessageDlgHook([&](const QString &text, int k, MsgButtons) {
        shown = text;
        kind = k;
        return int(mrOk);
    });
    EXPECT_THROW(UsbCan.SendPacket(QStringLiteral("FFFF")), PacketTextError);
    // As a handler runs it: the error stops at the guard, shown like every exception.
    RunGuarded([] { UsbCan.SendPacket(QStringLiteral("85FF02ZZ")); });
    SetMessageDlgHook(nullptr);
    EXPECT_TRUE(g_fake.sent.empty());
    EXPECT_TRUE(log.rows.empty());
    EXPECT_EQ(shown, QStringLiteral("Недопустимый символ в пакете '85FF02ZZ': допустимы только шестнадцатеричные цифры"));
    EXPECT_EQ(kind, mtError);
}

TEST_F(UsbCanTest, LoadDllReportsAMissingLibraryWordForWord)
{
    std::vector<QString> shown;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        shown.push_back(text);
        return int(mrOk);
    });
    EXPECT_FALSE(UsbCan.LoadDllFrom(BinaryPath(QStringLiteral("bin/DLL/no-such-library.so"))));
    SetMessageDlgHook(nullptr);
    EXPECT_EQ(UsbCanDllHandle, nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], QStringLiteral("Не удалось загрузить библиотеку 'UsbCAN.dll' для связи через USB с CAN-протоколом "));
}

TEST_F(UsbCanTest, LoadDllFindsTheEntryPoints)
{
    ASSERT_TRUE(UsbCan.LoadDllFrom(BinaryPath(QStringLiteral("bin/DLL/libUsbCAN.so"))));
    ASSERT_NE(UsbCanDllHandle, nullptr);
    const UsbCanEntryPoints &t = UsbCan.EntryPoints();
    EXPECT_NE(t.Connect, nullptr);
    EXPECT_NE(t.Disconnect, nullptr);
    EXPECT_NE(t.RxBufferData, nullptr);
    EXPECT_NE(t.TxData, nullptr);
    EXPECT_NE(t.RxDropped, nullptr);
    // Unconnected, the real library refuses a frame and the row says so.
    EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("85FF0200")), UsbCanNotConnected);
    EXPECT_EQ(log.rows.back().action, PacketRowFailed);
    UsbCan.FreeDll();
    EXPECT_EQ(UsbCanDllHandle, nullptr);
    EXPECT_EQ(UsbCan.EntryPoints().TxData, nullptr);
}
