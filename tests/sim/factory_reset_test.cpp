// The factory reset a simulated "Тиврон-А" takes: back to the catalogue's defaults, other uses of
// the same command left to the handler registered before.
#include <gtest/gtest.h>

#include "sim/device_state.h"
#include "sim/handlers_keys.h"
#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "sim/stored_config.h"
#include "tests/support/test_paths.h"

namespace {

// The demo line; without stored configurations every device holds the defaults.
LineDescription DemoLine(bool stored = true)
{
    LineDescription line;
    QString error;
    EXPECT_TRUE(LoadLineDescription(SourcePath(QStringLiteral("data/demo-line.xml")), line, &error)) << qPrintable(error);
    if (!stored)
        for (SimDevice &d : line.devices)
            d.configPath.clear();
    EXPECT_TRUE(LoadDeviceStates(line, &error)) << qPrintable(error);
    return line;
}

SimFrame Packet(const QString &text)
{
    const uint32_t v = text.left(8).toUInt(nullptr, 16);
    SimFrame f;
    f.command = uint8_t(v >> 24);
    f.section = uint8_t(v >> 16);
    f.address = uint8_t(v >> 8);
    f.subCode = uint8_t(v);
    f.data = QByteArray::fromHex(text.mid(8).toLatin1());
    return f;
}

// Everything a device at wire address 02 gives for its tables and all its keys.
QStringList Everything(LineSimulator &sim)
{
    QStringList texts;
    for (const char *request : {"85FF0200FF00000000000000", "85FF0201FF00000000000000", "85FF0202FF00000000000000",
                                "85FF0204FF00000000000000", "85FF0205FF00000000000000", "85FF0206FF00000000000000",
                                "85FF0203FFFF000000000000"})
        for (const SimAnswer &a : sim.Answer(Packet(QLatin1String(request))))
            texts << a.frame.Text();
    return texts;
}

} // namespace

TEST(SimFactoryReset, TivronAGoesBackToTheDefaults)
{
    LineSimulator defaults(DemoLine(false));
    RegisterHandlers(defaults);
    LineSimulator sim(DemoLine());
    QStringList passedOn;
    sim.SetHandler(DeviceCommand, [&](const SimFrame &f, SimDevice &) {
        passedOn << f.Text();
        return std::vector<SimFrame>{};
    });
    RegisterHandlers(sim);
    const QStringList stored = Everything(sim);
    ASSERT_NE(stored, Everything(defaults));

    // Not a factory reset of the Тиврон-А at 3: the restart, another data byte 0, the Тиврон-2 at 5.
    for (const char *other : {"00FF02000200000100000000", "00FF02000700000000000000", "00FF04000400FF0000000000",
                              "00FF0400040000FF00000000"})
        EXPECT_TRUE(sim.Answer(Packet(QLatin1String(other))).empty()) << other;
    EXPECT_EQ(passedOn.size(), 4);
    EXPECT_EQ(Everything(sim), stored);

    EXPECT_TRUE(sim.Answer(Packet(QStringLiteral("00FF0200020000FF00000000"))).empty());
    EXPECT_EQ(passedOn.size(), 4);
    EXPECT_EQ(Everything(sim), Everything(defaults));
    // The stored configuration can still be brought back.
    EXPECT_TRUE(sim.Reset(3));
    EXPECT_EQ(Everything(sim), stored);
}
