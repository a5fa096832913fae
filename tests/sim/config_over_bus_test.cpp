// The simulator's configuration answers as the programmer receives them: through the adapter
// library and the virtual bus, with the options and control lines that leave answers out.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "app/settings.h"
#include "link/usb_can.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

const QString kLine = SourcePath(QStringLiteral("tests/sim/fixtures/line.xml"));
const QString kLoops = QStringLiteral("85FF0301FF00000000000000");
const QString kLoops01 = QStringLiteral("1002030101032C0105010000");
const QString kLoops02 = QStringLiteral("100203010201050004010000");
// Asked after each request: its answer comes after every answer to the request.
const QString kFence = QStringLiteral("85FF0305FF00000000000000");
const QString kFenceAnswer = QStringLiteral("100503050504000000000000");

QString Text(const CanPacket &p)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p.bytes), 12).toHex().toUpper());
}

class ConfigOverBusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new SimProcess;
        ASSERT_TRUE(sim->Start({QStringLiteral("--omit"), QStringLiteral("4:table:1:02"), QStringLiteral("--omit"),
                                QStringLiteral("4:key:7:1")},
                               kLine))
            << "the simulator did not start";
        ASSERT_TRUE(UseSimulatedLine(*sim));
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        ASSERT_EQ(UsbCan.Connect(), 0);
    }
    static void TearDownTestSuite()
    {
        UsbCan.Disconnect();
        UsbCan.FreeDll();
        delete sim;
        sim = nullptr;
        qunsetenv("TIVRON_CANBUS");
    }

    // The answers to request, as the programmer's received list holds them.
    static QStringList Ask(const QString &request)
    {
        UsbCan.RxPackets.clear();
        EXPECT_EQ(UsbCan.SendPacket(request), 0);
        EXPECT_EQ(UsbCan.SendPacket(kFence), 0);
        QDeadlineTimer deadline(kSimWaitMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents();
            UsbCan.ReceivePackets(UsbCan.RxPackets);
            QStringList texts;
            for (const CanPacket &p : UsbCan.RxPackets) {
                if (Text(p) == kFenceAnswer)
                    return texts;
                texts << Text(p);
            }
            QThread::msleep(1);
        }
        ADD_FAILURE() << "no answer to " << qPrintable(kFence);
        return {};
    }

    static SimProcess *sim;
};
SimProcess *ConfigOverBusTest::sim = nullptr;

} // namespace

TEST_F(ConfigOverBusTest, OmittedAnswersFromTheCommandLineAndControlLines)
{
    EXPECT_EQ(Ask(kLoops), QStringList({kLoops01}));
    EXPECT_EQ(Ask(QStringLiteral("85FF03030700000000000000")), QStringList({"100003030700010302000000"}));

    EXPECT_EQ(sim->Control(QStringLiteral("answer 4 table 1 02")), QStringLiteral("ok answer 4 table 1 02"));
    EXPECT_EQ(Ask(kLoops), QStringList({kLoops01, kLoops02}));
    EXPECT_EQ(sim->Control(QStringLiteral("omit 4 table 1")), QStringLiteral("ok omit 4 table 1"));
    EXPECT_TRUE(Ask(kLoops).isEmpty());
    EXPECT_EQ(sim->Control(QStringLiteral("answer 4")), QStringLiteral("ok answer 4"));
    EXPECT_EQ(Ask(kLoops), QStringList({kLoops01, kLoops02}));
    EXPECT_EQ(Ask(QStringLiteral("85FF03030700000000000000")).size(), 2);

    EXPECT_TRUE(sim->Control(QStringLiteral("omit 4 fly 1")).startsWith(QStringLiteral("error ")));
    EXPECT_TRUE(sim->Control(QStringLiteral("omit 3 table 1")).startsWith(QStringLiteral("error ")));
    EXPECT_TRUE(sim->Control(QStringLiteral("reset 5")).startsWith(QStringLiteral("error ")));
}

TEST_F(ConfigOverBusTest, WriteThenReadAndSingleKeyRead)
{
    ASSERT_EQ(sim->Control(QStringLiteral("answer 4")), QStringLiteral("ok answer 4"));
    for (const char *packet : {"01020301020458020107", "010003032C01020000000000", "010103032C01AABBCCDDEEFF",
                               "02FF03000000000000000000"})
        ASSERT_EQ(UsbCan.SendPacket(QLatin1String(packet)), 0);
    EXPECT_EQ(Ask(kLoops), QStringList({kLoops01, "100203010204580201070000"}));
    EXPECT_EQ(Ask(QStringLiteral("85FF03032C01000000000000")),
              QStringList({"100003032C01020000000000", "100103032C01AABBCCDDEEFF"}));

    EXPECT_EQ(sim->Control(QStringLiteral("reset 4")), QStringLiteral("ok reset 4"));
    EXPECT_EQ(Ask(kLoops), QStringList({kLoops01, kLoops02}));
}

TEST(SimProcessOptions, RefusedOmitRuleOrCatalogue)
{
    const QStringList cases[] = {
        {QStringLiteral("--omit"), QStringLiteral("3:table:1"), kLine},
        {QStringLiteral("--omit"), QStringLiteral("4:table"), kLine},
        {QStringLiteral("--catalogue"), SourcePath(QStringLiteral("tests/sim/fixtures/none.xml")), kLine},
    };
    for (const QStringList &arguments : cases) {
        SCOPED_TRACE(qPrintable(arguments.join(u' ')));
        QProcess sim;
        sim.start(BinaryPath(QStringLiteral("bin/tivron-sim")), arguments);
        ASSERT_TRUE(sim.waitForFinished(kSimWaitMs));
        EXPECT_EQ(sim.exitCode(), 2);
        EXPECT_FALSE(sim.readAllStandardError().isEmpty());
    }
}
