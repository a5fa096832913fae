// The service commands over the fake link: what goes out, what is awaited, and the auto-increment
// run with a host that stands for the window.
#include <gtest/gtest.h>

#include "service/service_commands.h"
#include "tests/service/service_fixture.h"

using ServiceCommands = ServiceTest;

TEST_F(ServiceCommands, VersionQuery)
{
    g_responder = [](const QString &text) -> std::vector<CanPacket> {
        if (text.startsWith(QLatin1String("EFFF04")))
            return {Frame(0x47, 0xFF, 5, 0, {0, 9, 9, 9}), Frame(0x47, 0xFF, 4, 0, {0, 3, 0, 11})};
        return {};
    };
    UsbCan.RxPackets.push_back(CanPacket{}); // an old record goes first
    FirmwareQueryResult r = QueryFirmwareVersion(4);
    EXPECT_EQ(Sent(), QStringList{"EFFF04000000000000000000"});
    ASSERT_TRUE(r.sent && r.version);
    EXPECT_EQ(FirmwareVersionText(*r.version), QStringLiteral("3.0.11"));

    g_responder = nullptr;
    r = QueryFirmwareVersion(4);
    EXPECT_TRUE(r.sent);
    EXPECT_FALSE(r.version);

    g_fake.txCodes = {7};
    r = QueryFirmwareVersion(4);
    EXPECT_FALSE(r.sent);
}

TEST_F(ServiceCommands, DeviceAddressChange)
{
    EXPECT_EQ(ChangeDeviceAddress(4, 8), 0);
    EXPECT_EQ(Sent(), (QStringList{"00FF04000800000000000000", "02FF08000000000000000000"}));

    // A failed set-address send gives its code and nothing follows it.
    g_fake.sent.clear();
    g_fake.txCodes = {5};
    EXPECT_EQ(ChangeDeviceAddress(4, 8), 5);
    EXPECT_EQ(Sent().size(), 1);

    g_fake.sent.clear();
    g_fake.txCodes = {0, 9};
    EXPECT_EQ(ChangeDeviceAddress(4, 8), 9);
}

TEST_F(ServiceCommands, DialogDeviceAddressChangeResendsTheEndPacketOnce)
{
    g_fake.txCodes = {0, 3, 0};
    EXPECT_TRUE(ChangeDeviceAddressOnce(4, 8));
    EXPECT_EQ(Sent(), (QStringList{"00FF04000800000000000000", "02FF08000000000000000000", "02FF08000000000000000000"}));

    g_fake.sent.clear();
    g_fake.txCodes = {0, 3, 3};
    EXPECT_FALSE(ChangeDeviceAddressOnce(4, 8));
    EXPECT_EQ(Sent().size(), 3);

    // The end packet would go to whatever device sits at the new address.
    g_fake.sent.clear();
    g_fake.txCodes = {3};
    EXPECT_FALSE(ChangeDeviceAddressOnce(4, 8));
    EXPECT_EQ(Sent(), QStringList{"00FF04000800000000000000"});

    g_fake.sent.clear();
    g_fake.txCodes = {3, 3};
    ChangeSensorAddressOnce(4, SensorKind::Detector, 6, OldSensorWire(0));
    EXPECT_EQ(Sent(), (QStringList{"00FF04010664000000000000", "00FF04010664000000000000"}));
}

TEST_F(ServiceCommands, SensorAddressChangeWaitsForItsConfirmation)
{
    g_responder = [](const QString &text) -> std::vector<CanPacket> {
        if (text.startsWith(QLatin1String("84FF0401")))
            return {Frame(0x20, 0x00, 4, 1, {5}), Frame(0x20, 0x33, 4, 1, {6})}; // the first names another address
        return {};
    };
    SensorChangeResult r = ChangeSensorAddress(4, SensorKind::Detector, 6, OldSensorWire(0));
    EXPECT_EQ(Sent(), (QStringList{"00FF04010664000000000000", "84FF04010600000000000000"}));
    EXPECT_TRUE(r.confirmed);

    g_responder = nullptr;
    g_fake.sent.clear();
    pump.sleeps.clear();
    r = ChangeSensorAddress(4, SensorKind::Module, 6, 7);
    EXPECT_FALSE(r.confirmed);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(pump.sleeps.size(), 10000u); // 20000 ms in passes of 1 ms and a drain

    g_fake.sent.clear();
    g_fake.txCodes = {0, 4};
    r = ChangeSensorAddress(4, SensorKind::Module, 6, 7);
    EXPECT_FALSE(r.confirmed);
    EXPECT_EQ(r.code, 4);
}

namespace {

class FakeHost : public AutoIncHost {
public:
    bool ButtonDown() const override { return down; }
    void SetButtonUp() override { down = false; }
    void SetEditsEnabled(bool enabled) override { editsEnabled.push_back(enabled); }
    int FirstValue() const override { return first; }
    int LastValue() const override { return last; }
    void SetFirstValue(int value) override { first = std::min(value, max); }
    void SetStatus(const QString &text) override { statuses << text; }
    bool PauseSearch() override
    {
        ++pauses;
        const bool was = searching;
        searching = false;
        return was;
    }
    void ResumeSearch(bool wasRunning) override { searching = wasRunning; }
    void Beep() override { ++beeps; }
    int Wait(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched) override
    {
        waits.push_back(timeout);
        return WaitForPacket(pattern, timeout, matched);
    }

    bool down = true;
    int first = 1, last = 3, max = 40;
    bool searching = true;
    int pauses = 0, beeps = 0;
    std::vector<bool> editsEnabled;
    std::vector<uint32_t> waits;
    QStringList statuses;
};

// The one new device behind the device at address 5 takes what it is given.
std::vector<CanPacket> ProgrammedAnswer(const QString &text)
{
    if (!text.startsWith(QLatin1String("00FF0403")))
        return {};
    return {Frame(0x20, 0xFF, 4, 3, {uint8_t(text.mid(8, 2).toInt(nullptr, 16))})};
}

} // namespace

TEST_F(ServiceCommands, AutoIncrementProgramsModulesOneByOne)
{
    g_responder = ProgrammedAnswer;
    FakeHost host;
    ProgramAddressesAutoInc(host, 4, SensorKind::Module);
    EXPECT_EQ(Sent(), (QStringList{"00FF04038000000000000000", "00FF04038100000000000000", "00FF04038200000000000000"}));
    EXPECT_EQ(messages, (std::vector<Message>{{OneDeviceWarningText, mtWarning}}));
    EXPECT_EQ(host.beeps, 3);
    EXPECT_EQ(host.first, 4);
    EXPECT_FALSE(host.down);
    EXPECT_EQ(host.editsEnabled, (std::vector<bool>{false, true}));
    EXPECT_TRUE(host.searching); // paused for each countdown only
    EXPECT_EQ(host.pauses, 3);
    EXPECT_EQ(host.waits, (std::vector<uint32_t>{1000, 1000, 1000}));
    EXPECT_EQ(host.statuses.first(), QStringLiteral("Попытка записи адреса №1 через 7 сек"));
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Попытка записи адреса №3 через 1 сек")));
    EXPECT_EQ(host.statuses.last(), QStringLiteral("Адрес №3 записан"));
}

TEST_F(ServiceCommands, AutoIncrementLastAddressAtTheEditsMaximum)
{
    g_responder = ProgrammedAnswer;
    FakeHost host;
    host.first = host.last = 40;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_EQ(Sent(), QStringList{"00FF04032700000000000000"});
    EXPECT_EQ(host.first, 40);
}

TEST_F(ServiceCommands, AutoIncrementEntryTests)
{
    FakeHost host;
    host.first = 5;
    host.last = 3;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_EQ(messages, (std::vector<Message>{{BadRangeText, mtError}}));
    EXPECT_FALSE(host.down);
    EXPECT_TRUE(Sent().isEmpty());

    messages.clear();
    answer = mrCancel;
    host.down = true;
    host.first = 1;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_FALSE(host.down);
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_TRUE(host.editsEnabled.empty());
}

TEST_F(ServiceCommands, AutoIncrementReleasedDuringTheCountdown)
{
    FakeHost host;
    pump.onEvents = [&](int pass) {
        if (pass == 3)
            host.down = false;
    };
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_EQ(pump.sleeps, (std::vector<unsigned>{1000, 1000, 1000}));
    EXPECT_TRUE(host.searching);
    EXPECT_EQ(host.editsEnabled, (std::vector<bool>{false, true}));
}

TEST_F(ServiceCommands, AutoIncrementSecondDeviceOnTheLine)
{
    g_responder = [](const QString &) -> std::vector<CanPacket> { return {Frame(0x20, 0xFF, 4, 3, {0, 0, 0, 0, 0, 0, 0, 3})}; };
    FakeHost host;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector); // data byte 0 = II too: byte 7 wins
    EXPECT_EQ(Sent().size(), 1);
    EXPECT_EQ(messages.back(), (Message{SeveralDevicesText, mtError}));
    EXPECT_FALSE(host.down);
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(ServiceCommands, AutoIncrementRetriesAnAnswerForAnotherAddress)
{
    int attempts = 0;
    g_responder = [&](const QString &text) -> std::vector<CanPacket> {
        if (++attempts == 1)
            return {Frame(0x20, 0xFF, 4, 3, {9})};
        return ProgrammedAnswer(text);
    };
    FakeHost host;
    host.last = 1;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_EQ(Sent(), (QStringList{"00FF04030000000000000000", "00FF04030000000000000000"}));
    EXPECT_TRUE(host.statuses.contains(QStringLiteral("Адрес №1 записать не удалось, повторная попытка...")));
    EXPECT_EQ(host.pauses, 1); // no second countdown
    EXPECT_EQ(host.first, 2);
}

TEST_F(ServiceCommands, AutoIncrementSendFailure)
{
    g_fake.txCodes = {6};
    FakeHost host;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_EQ(messages.back(), (Message{AutoIncSendFailedText + "6]", mtError}));
    EXPECT_FALSE(host.down);
    EXPECT_EQ(host.editsEnabled.back(), true);
}

TEST_F(ServiceCommands, AutoIncrementReleasedButtonSkipsTheEntryTests)
{
    // A click that released the button: no tests, no packet, the edits enabled again.
    FakeHost host;
    host.down = false;
    host.first = 9;
    host.last = 2;
    ProgramAddressesAutoInc(host, 4, SensorKind::Detector);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_EQ(host.editsEnabled, (std::vector<bool>{false, true}));
}
