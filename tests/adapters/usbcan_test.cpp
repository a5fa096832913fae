// libUsbCAN.so on its own: connect codes, the wire format and the receive queue, against the
// simulator on a virtual bus of this program's own port.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QLibrary>
#include <QProcess>
#include <QThread>

#include "adapters/usbcan/usbcan_api.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"

namespace {

struct Library {
    QLibrary lib{BinaryPath(QStringLiteral("bin/DLL/libUsbCAN.so"))};
    DeviceConnectFn connect = nullptr;
    DeviceDisconnectFn disconnect = nullptr;
    RxBufferDataFn rx = nullptr;
    TxDataFn tx = nullptr;
    RxDroppedFn dropped = nullptr;

    bool Load()
    {
        if (!lib.load())
            return false;
        connect = reinterpret_cast<DeviceConnectFn>(lib.resolve("DLL_Device_Connect"));
        disconnect = reinterpret_cast<DeviceDisconnectFn>(lib.resolve("DLL_Device_Disconnect"));
        rx = reinterpret_cast<RxBufferDataFn>(lib.resolve("DLL_Rx_Buffer_Data"));
        tx = reinterpret_cast<TxDataFn>(lib.resolve("DLL_Tx_Data"));
        dropped = reinterpret_cast<RxDroppedFn>(lib.resolve("DLL_Rx_Dropped"));
        return connect && disconnect && rx && tx && dropped;
    }
};

uint32_t IdOf(const CanPacket &r) { return uint32_t(r[0]) << 24 | uint32_t(r[1]) << 16 | uint32_t(r[2]) << 8 | r[3]; }

class UsbCanLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new SimProcess;
        ASSERT_TRUE(sim->Start()) << "the simulator did not start";
        library = new Library;
        ASSERT_TRUE(library->Load()) << qPrintable(library->lib.errorString());
    }
    static void TearDownTestSuite()
    {
        library->disconnect();
        delete library; // stays loaded until the process ends: its thread serves the bus
        delete sim;
        library = nullptr;
        sim = nullptr;
    }
    void SetUp() override
    {
        qputenv("TIVRON_CANBUS", sim->Bus().toLocal8Bit());
        qunsetenv("TIVRON_CANBUS_TIMEOUT_MS");
    }
    void TearDown() override
    {
        library->disconnect();
        qunsetenv("TIVRON_CANBUS");
        qunsetenv("TIVRON_CANBUS_TIMEOUT_MS");
    }

    // Takes frames until one with the identifier arrives; returns those before it.
    static std::vector<CanPacket> DrainUntil(uint32_t identifier, bool *found)
    {
        std::vector<CanPacket> got;
        QDeadlineTimer deadline(kSimWaitMs);
        *found = false;
        while (!deadline.hasExpired()) {
            CanPacket r;
            if (!library->rx(&r, 0)) {
                QThread::msleep(2);
                continue;
            }
            if (IdOf(r) == identifier) {
                *found = true;
                got.push_back(r);
                return got;
            }
            got.push_back(r);
        }
        return got;
    }

    // Connects and makes sure the simulator's server routes frames to us.
    static void ConnectAndSync()
    {
        ASSERT_EQ(library->connect(1, 50, 1, 1), 0);
        uint8_t clock[8] = {0x11, 0x14, 3, 2, 14, 5, 9, 4};
        ASSERT_EQ(library->tx(0x1FFFFFE0, clock, 8), 0);
        bool found = false;
        DrainUntil(0x041FE000 | (11 << 5), &found); // the last device of the demo line, address 12
        ASSERT_TRUE(found);
        CanPacket r;
        while (library->rx(&r, 0)) {
        }
    }

    static SimProcess *sim;
    static Library *library;
};
SimProcess *UsbCanLibraryTest::sim = nullptr;
Library *UsbCanLibraryTest::library = nullptr;

} // namespace

TEST_F(UsbCanLibraryTest, ConnectCodes)
{
    const struct {
        const char *bus;
        int adapter;
        int code;
    } cases[] = {
        {"nosuchplugin:can0", 1, UsbCanUnknownPlugin},
        {"virtualcan:can7", 1, UsbCanUnknownInterface},     // virtualcan would share can0 silently
        {"virtualcan:tcp://127.0.0.1:1/foo", 1, UsbCanUnknownInterface},
        {"virtualcan", 9, UsbCanUnknownInterface},          // no can8
        {"virtualcan", 0, UsbCanUnknownInterface},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bus);
        qputenv("TIVRON_CANBUS", c.bus);
        EXPECT_EQ(library->connect(uint8_t(c.adapter), 50, 1, 1), c.code);
    }
    // No time to connect: virtualcan is still connecting when the wait ends.
    qputenv("TIVRON_CANBUS", sim->Bus().toLocal8Bit());
    qputenv("TIVRON_CANBUS_TIMEOUT_MS", "0");
    EXPECT_EQ(library->connect(1, 50, 1, 1), UsbCanTimeout);
    uint8_t data[8] = {};
    EXPECT_EQ(library->tx(0x10BFE040, data, 8), UsbCanNotConnected);
    qunsetenv("TIVRON_CANBUS_TIMEOUT_MS");
    EXPECT_EQ(library->connect(1, 50, 1, 1), 0);
    EXPECT_EQ(library->tx(0x10BFE040, data, 9), UsbCanBadArgument);
    EXPECT_EQ(library->tx(0x10BFE040, nullptr, 1), UsbCanBadArgument);
    EXPECT_EQ(library->disconnect(), 0);
    EXPECT_EQ(library->tx(0x10BFE040, data, 8), UsbCanNotConnected);
}

TEST_F(UsbCanLibraryTest, ReceivedFramesMostSignificantByteFirstAndZeroFilled)
{
    ConnectAndSync();
    // Only extended data frames are delivered: the mixed noise holds standard and remote frames.
    ASSERT_EQ(sim->Control(QStringLiteral("noise-mixed 9")), QStringLiteral("ok noise-mixed 9"));
    ASSERT_EQ(sim->Control(QStringLiteral("send 7F00FE1FA1B2")), QStringLiteral("ok send 7F00FE1FA1B2"));
    bool found = false;
    const std::vector<CanPacket> got = DrainUntil((0x7F00FEu << 5) + 0x1F, &found);
    ASSERT_TRUE(found);
    ASSERT_EQ(got.size(), 4u); // three extended noise frames, then ours
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(IdOf(got[i]) >> 21, 0x7Eu);
    const CanPacket &r = got.back();
    EXPECT_EQ(r[0], 0x0F);
    EXPECT_EQ(r[1], 0xE0);
    EXPECT_EQ(r[2], 0x1F);
    EXPECT_EQ(r[3], 0xDF);
    EXPECT_EQ(r[4], 0xA1);
    EXPECT_EQ(r[5], 0xB2);
    for (int k = 6; k < 12; ++k)
        EXPECT_EQ(r[k], 0) << k;
}

TEST_F(UsbCanLibraryTest, ConnectWhileConnectedKeepsTheQueue)
{
    ConnectAndSync();
    ASSERT_EQ(sim->Control(QStringLiteral("send 7F00FE0101")), QStringLiteral("ok send 7F00FE0101"));
    // Wait for the frame to be queued without taking it.
    ASSERT_EQ(sim->Control(QStringLiteral("send 7F00FE0202")), QStringLiteral("ok send 7F00FE0202"));
    QThread::msleep(50);
    EXPECT_EQ(library->connect(1, 50, 1, 1), 0);
    bool found = false;
    const std::vector<CanPacket> got = DrainUntil((0x7F00FEu << 5) + 2, &found);
    ASSERT_TRUE(found);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(IdOf(got[0]), (0x7F00FEu << 5) + 1);
}

TEST_F(UsbCanLibraryTest, FullQueueDropsTheOldestAndCountsThem)
{
    ConnectAndSync();
    constexpr uint32_t kOver = 905;
    const uint32_t capacity = uint32_t(UsbCanQueueCapacity);
    const QString noise = QStringLiteral("noise %1").arg(capacity + kOver - 1);
    ASSERT_EQ(sim->Control(noise), QStringLiteral("ok ") + noise);
    ASSERT_EQ(sim->Control(QStringLiteral("send 7F00FE0301")), QStringLiteral("ok send 7F00FE0301"));
    QDeadlineTimer deadline(kSimWaitMs);
    while (library->dropped() < kOver && !deadline.hasExpired())
        QThread::msleep(5);
    QThread::msleep(50);
    ASSERT_EQ(library->dropped(), kOver);
    std::vector<CanPacket> got;
    CanPacket r;
    while (library->rx(&r, 0))
        got.push_back(r);
    ASSERT_EQ(got.size(), std::size_t(capacity));
    // The noise numbers itself in its first four data bytes: the oldest are gone, the rest in order.
    const auto number = [](const CanPacket &p) {
        return uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
    };
    for (std::size_t i = 1; i + 1 < got.size(); ++i)
        ASSERT_EQ(number(got[i]), number(got[i - 1]) + 1) << i;
    EXPECT_EQ(IdOf(got.back()), (0x7F00FEu << 5) + 3);
    // A new connect counts afresh.
    ASSERT_EQ(library->disconnect(), 0);
    ConnectAndSync();
    EXPECT_EQ(library->dropped(), 0u);
}

TEST_F(UsbCanLibraryTest, CanbusutilSeesAn29BitExtendedFrame)
{
    ConnectAndSync();
    QProcess listener;
    listener.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    listener.start(QStringLiteral("/usr/lib/qt6/bin/canbusutil"),
                   {QStringLiteral("-l"), QStringLiteral("virtualcan"), sim->Interface()});
    ASSERT_TRUE(listener.waitForStarted(kSimWaitMs));
    // canbusutil says nothing when it is on the bus: send until it prints the frame.
    uint8_t data[8] = {0xFF, 0, 0, 0, 0, 0, 0, 0x5A};
    QByteArray out;
    QDeadlineTimer deadline(kSimWaitMs);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        ASSERT_EQ(library->tx(0xF0BFE040, data, 8), 0); // bits above 28 are masked off
        listener.waitForReadyRead(250);
        out += listener.readAllStandardOutput();
    }
    listener.kill();
    listener.waitForFinished(kSimWaitMs);
    const QString line = QString::fromLatin1(out).section(u'\n', 0, 0).simplified();
    EXPECT_EQ(line, QStringLiteral("10BFE040 [8] FF 00 00 00 00 00 00 5A"));
}
