#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <QCanBusFrame>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include "model/config_loader.h"
#include "model/tree_search.h"
#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "sim/sim_bus.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"

namespace {

LineDescription DemoLine()
{
    LineDescription line;
    QString error;
    EXPECT_TRUE(LoadLineDescription(SourcePath(QStringLiteral("data/demo-line.xml")), line, &error)) << qPrintable(error);
    return line;
}

SimFrame Search()
{
    SimFrame f;
    f.command = f.section = f.address = 0xFF;
    f.data = QByteArray::fromHex("111403020E050904");
    return f;
}

QCanBusFrame Wire(const SimFrame &f)
{
    QCanBusFrame frame(f.Identifier(), f.data);
    frame.setExtendedFrameFormat(true);
    return frame;
}

} // namespace

TEST(LineDescription, DemoLine)
{
    const LineDescription line = DemoLine();
    ASSERT_EQ(line.devices.size(), 4u);
    EXPECT_EQ(line.devices[0].model, QStringLiteral("Тиврон-А"));
    EXPECT_EQ(line.devices[0].typeId, 14);
    EXPECT_EQ(line.devices[0].address, 3);
    for (const SimDevice &d : line.devices)
        EXPECT_TRUE(QFile::exists(d.configPath)) << qPrintable(d.configPath);
    EXPECT_EQ(line.cataloguePath, SourcePath(QStringLiteral("data/devices.xml"))); // beside the line file
}

TEST(LineDescription, RefusedFiles)
{
    QTemporaryDir dir;
    const struct {
        const char *text;
    } cases[] = {
        {"<Line><LineDevice model=\"X\" device_id=\"14\"/></Line>"},                   // no address
        {"<Line><LineDevice model=\"X\" device_id=\"300\" device_addr=\"3\"/></Line>"}, // type id above a byte
        {"<Line><LineDevice model=\"X\" device_id=\"1\" device_addr=\"0\"/></Line>"},   // addresses start at 1
        {"<Line><LineDevice"},                                                           // not XML
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const QString path = dir.filePath(QStringLiteral("line.xml"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.text);
        f.close();
        LineDescription line;
        QString error;
        EXPECT_FALSE(LoadLineDescription(path, line, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    LineDescription line;
    QString error;
    EXPECT_FALSE(LoadLineDescription(dir.filePath(QStringLiteral("none.xml")), line, &error));
}

TEST(LineSimulator, EveryDeviceAnswersTheSearchBroadcast)
{
    LineSimulator sim(DemoLine());
    RegisterHandlers(sim);
    const std::vector<SimAnswer> answers = sim.Answer(Search());
    ASSERT_EQ(answers.size(), 4u);
    // Тиврон-А at 3: command 20, section FF, wire address 2, sub-code 0, data byte 0 the type id.
    EXPECT_EQ(answers[0].frame.Identifier(), 0x041FE040u);
    EXPECT_EQ(answers[0].frame.Text(), QStringLiteral("20FF02000E00000000000000"));
    EXPECT_EQ(answers[1].frame.Text(), QStringLiteral("20FF04000200000000000000"));
    EXPECT_EQ(answers[2].frame.Text(), QStringLiteral("20FF06000200000000000000")); // the second Тиврон-2
    EXPECT_EQ(answers[3].frame.Text(), QStringLiteral("20FF0B000A00000000000000"));

    sim.Options().silentAddresses = {5};
    EXPECT_EQ(sim.Answer(Search()).size(), 3u);

    SimFrame notASearch = Search();
    notASearch.section = 0x01;
    EXPECT_TRUE(sim.Answer(notASearch).empty());
    SimFrame unknown = Search();
    unknown.command = 0x55;
    EXPECT_TRUE(sim.Answer(unknown).empty());
}

TEST(LineSimulator, AddressedRequestReachesOneDevice)
{
    LineSimulator sim(DemoLine());
    sim.SetHandler(0x02, [](const SimFrame &, SimDevice &d) {
        SimFrame f;
        f.command = 0x85;
        f.address = uint8_t(d.address - 1);
        return std::vector<SimFrame>{f};
    });
    SimFrame request;
    request.command = 0x02;
    request.address = 4; // device 5
    const std::vector<SimAnswer> answers = sim.Answer(request);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].deviceAddress, 5);
}

TEST(SimBus, OptionsShapeTheAnswers)
{
    LineSimulator sim(DemoLine());
    RegisterHandlers(sim);
    SimBus bus(sim);
    std::vector<QCanBusFrame> sent;
    bus.sendHook = [&](const QCanBusFrame &f) { sent.push_back(f); };

    EXPECT_EQ(bus.Control(QStringLiteral("twice on")), QStringLiteral("ok twice on"));
    bus.Receive(Wire(Search()));
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(sent[0].frameId(), sent[1].frameId());
    EXPECT_TRUE(sent[0].hasExtendedFrameFormat());
    bus.Control(QStringLiteral("twice off"));

    sent.clear();
    EXPECT_EQ(bus.Control(QStringLiteral("fail-next 2")), QStringLiteral("ok fail-next 2"));
    bus.Receive(Wire(Search()));
    bus.Receive(Wire(Search()));
    EXPECT_TRUE(sent.empty());
    bus.Receive(Wire(Search()));
    EXPECT_EQ(sent.size(), 4u);

    sent.clear();
    bus.Control(QStringLiteral("silent 3"));
    bus.Control(QStringLiteral("silent 12"));
    bus.Receive(Wire(Search()));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].frameId(), 0x041FE000u | (4u << 5));
    EXPECT_EQ(sent[1].frameId(), 0x041FE000u | (6u << 5));
    bus.Control(QStringLiteral("speak 3"));
    bus.Control(QStringLiteral("speak 12"));

    sent.clear();
    QCanBusFrame standard(0x7FF, QByteArray(1, '\1')); // not one of ours
    bus.Receive(standard);
    EXPECT_TRUE(sent.empty());

    // A late answer comes through the event loop.
    bus.Control(QStringLiteral("delay 20"));
    bus.Receive(Wire(Search()));
    EXPECT_TRUE(sent.empty());
    QDeadlineTimer deadline(kSimWaitMs);
    while (sent.size() < 4 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(sent.size(), 4u);

    sent.clear();
    EXPECT_EQ(bus.Control(QStringLiteral("noise-mixed 6")), QStringLiteral("ok noise-mixed 6"));
    ASSERT_EQ(sent.size(), 6u);
    int extendedData = 0;
    for (const QCanBusFrame &f : sent)
        extendedData += f.hasExtendedFrameFormat() && f.frameType() == QCanBusFrame::DataFrame;
    EXPECT_EQ(extendedData, 2);

    EXPECT_TRUE(bus.Control(QStringLiteral("delay x")).startsWith(QStringLiteral("error ")));
    EXPECT_TRUE(bus.Control(QStringLiteral("send 12")).startsWith(QStringLiteral("error ")));
    EXPECT_TRUE(bus.Control(QStringLiteral("fly")).startsWith(QStringLiteral("error ")));
}

TEST(SimBus, FloodSendsItsRateForItsTimeNumbered)
{
    LineSimulator sim(DemoLine());
    SimBus bus(sim);
    std::vector<QCanBusFrame> sent;
    bus.sendHook = [&](const QCanBusFrame &f) { sent.push_back(f); };
    int64_t flooded = -1;
    bus.onFloodEnd = [&](uint32_t n) { flooded = n; };

    EXPECT_EQ(bus.Control(QStringLiteral("flood 2000 60")), QStringLiteral("ok flood 2000 60"));
    QDeadlineTimer deadline(kSimWaitMs);
    while (flooded < 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(flooded, 120);
    ASSERT_EQ(sent.size(), 120u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const QByteArray d = sent[i].payload();
        ASSERT_EQ(d.size(), 8);
        EXPECT_TRUE(sent[i].hasExtendedFrameFormat());
        EXPECT_EQ(sent[i].frameId() >> 21, 0x7Eu);
        EXPECT_EQ(uint32_t(uint8_t(d[0])) << 24 | uint32_t(uint8_t(d[1])) << 16 | uint32_t(uint8_t(d[2])) << 8 | uint8_t(d[3]),
                  uint32_t(i));
    }
    for (const char *bad : {"flood", "flood 100", "flood 0 10", "flood 100 0", "flood x 10"})
        EXPECT_TRUE(bus.Control(QString::fromLatin1(bad)).startsWith(QStringLiteral("error "))) << bad;
}

TEST(SimProcessTest, StartsOnItsPortAndRefusesATakenOne)
{
    SimProcess sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--delay"), QStringLiteral("5")}));
    // A second simulator on the same port would not serve the bus: it stops with code 3.
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TIVRON_CANBUS"), sim.Bus());
    second.setProcessEnvironment(env);
    second.start(BinaryPath(QStringLiteral("bin/tivron-sim")), {SourcePath(QStringLiteral("data/demo-line.xml"))});
    ASSERT_TRUE(second.waitForFinished(kSimWaitMs));
    EXPECT_EQ(second.exitCode(), 3);

    QProcess missing;
    missing.start(BinaryPath(QStringLiteral("bin/tivron-sim")), {SourcePath(QStringLiteral("data/no-such-line.xml"))});
    ASSERT_TRUE(missing.waitForFinished(kSimWaitMs));
    EXPECT_EQ(missing.exitCode(), 2);
    EXPECT_EQ(sim.Control(QStringLiteral("delay 0")), QStringLiteral("ok delay 0"));
}

// The demo line plays catalogue models: each line device names a model of data/devices.xml by name
// and type id, and its stored configuration is that model at that address.
TEST(LineDescription, DemoLineMatchesTheCatalogue)
{
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/devices.xml")), catalogue));
    const LineDescription line = DemoLine();
    std::map<int, int> perType;
    for (const SimDevice &d : line.devices) {
        SCOPED_TRACE(d.configPath.toStdString());
        const CTreeNode *model = FindNodeByText(catalogue.firstNode(), d.model);
        ASSERT_TRUE(model && model->device());
        EXPECT_EQ(model->device()->device_id, d.typeId);
        ++perType[d.typeId];

        CTree stored;
        ASSERT_TRUE(ReadXmlToTree(d.configPath, stored));
        ASSERT_EQ(stored.count(), 1);
        const CDevice *device = stored.firstNode()->device();
        ASSERT_TRUE(device);
        EXPECT_EQ(device->name, model->device()->name);
        EXPECT_EQ(device->version, model->device()->version);
        EXPECT_EQ(device->device_id, d.typeId);
        EXPECT_EQ(device->device_addr, d.address);
    }
    // One model at two addresses, so a search lists it twice.
    EXPECT_TRUE(std::any_of(perType.begin(), perType.end(), [](const auto &p) { return p.second == 2; }));
}
