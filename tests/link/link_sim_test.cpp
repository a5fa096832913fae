// The link through the real adapter library and the virtual bus to the simulated demo line.
#include <gtest/gtest.h>

#include <QDateTime>

#include "link/packet_log.h"
#include "link/packet_text.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

constexpr int X = -1;

// The search broadcast with a fixed clock: Thursday 2 March 2017, 14:05:09.
const QString kSearch = QStringLiteral("FFFFFF00111403020E050904");

class LinkOverSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new SimProcess;
        ASSERT_TRUE(sim->Start()) << "the simulator did not start";
        ASSERT_TRUE(UseSimulatedLine(*sim));
    }
    static void TearDownTestSuite()
    {
        UsbCan.FreeDll();
        delete sim;
        sim = nullptr;
        qunsetenv("TIVRON_CANBUS");
    }
    void SetUp() override
    {
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        Usb_TimerSleep = 1;
        UsbCan.RxPackets.clear();
        SetPacketLog(&log);
    }
    void TearDown() override { SetPacketLog(nullptr); }

    static SimProcess *sim;
    RecordingLog log;
};
SimProcess *LinkOverSimTest::sim = nullptr;

} // namespace

TEST_F(LinkOverSimTest, SearchBroadcastIsAnsweredByEveryDevice)
{
    ASSERT_EQ(UsbCan.Connect(), 0);
    ASSERT_TRUE(UsbCan.Connected);
    ASSERT_EQ(UsbCan.SendPacket(kSearch), 0);

    // The demo line: Тиврон-А (14) at 3, Тиврон-2 (2) at 5 and at 7, Тиврон-АСПТ (10) at 12.
    const struct {
        int address, typeId;
    } devices[] = {{3, 14}, {5, 2}, {7, 2}, {12, 10}};
    for (const auto &d : devices) {
        CanPacket answer;
        const PacketPattern pattern = {0x20, 0xFF, d.address - 1, 0x00, X, X, X, X, X, X, X, X};
        ASSERT_GT(WaitForPacket(pattern, 2 * kSimWaitMs, &answer), 0) << "no answer from address " << d.address;
        EXPECT_EQ(answer[4], d.typeId);
    }
    EXPECT_EQ(log.rows.front(), (Row{log.rows.front().time, "FFFFFF00", "111403020E050904", "  (Отправлен)"}));
    EXPECT_EQ(log.rows.back().action, PacketRowReceived);
}

TEST_F(LinkOverSimTest, ListSenderConnectsAndSends)
{
    ASSERT_EQ(sim->Control(QStringLiteral("log on")), QStringLiteral("ok log on"));
    EXPECT_TRUE(SendPacketList({QStringLiteral("02FF0200 0102"), QStringLiteral("02FF0201 0304")}));
    EXPECT_TRUE(sim->WaitForLine(QStringLiteral("rx 02FF02000102"), kSimWaitMs));
    EXPECT_TRUE(sim->WaitForLine(QStringLiteral("rx 02FF02010304"), kSimWaitMs));
    sim->Control(QStringLiteral("log off"));
    EXPECT_EQ(UsbCan.Disconnect(), 0);
    EXPECT_FALSE(UsbCan.Connected);
}
