// The service command packets against the bytes the devices take, and the model rules.
#include <gtest/gtest.h>

#include "service/service_packets.h"

TEST(ServicePackets, TextsForTheDeviceAtAddressFive)
{
    const uint8_t aa = 4;
    const std::pair<QString, const char *> cases[] = {
        {SetDeviceAddressText(aa, 8), "00FF04000800000000000000"},
        {SetSensorAddressText(aa, SensorKind::Detector, 6, OldSensorWire(0)), "00FF04010664000000000000"},
        {SetSensorAddressText(aa, SensorKind::Module, 0, OldSensorWire(40)), "00FF04020027000000000000"},
        {ConfirmSensorAddressText(aa, SensorKind::Detector, 6), "84FF04010600000000000000"},
        {ProgramNewSensorText(aa, 0x80), "00FF04038000000000000000"},
        {FactorySettingsText(ModelTivronA, aa), "00FF0400040000FF00000000"},
        {RestartText(ModelTivronA, aa), "00FF04000400000100000000"},
        {FactorySettingsText(ModelTivronAspt, aa), "87FF04000000000000000000"},
        {RestartText(QStringLiteral("Тиврон-2"), aa), "88FF04000000000000000000"},
        // Only the exact name is "Тиврон-А".
        {RestartText(QStringLiteral("тиврон-А"), aa), "88FF04000000000000000000"},
        {FirmwareQueryText(aa), "EFFF04000000000000000000"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(text, QString::fromLatin1(expected));
}

TEST(ServicePackets, AnswerPatterns)
{
    CanPacket confirm{};
    for (int k = 0; k < 4; ++k)
        confirm[k] = std::array<uint8_t, 4>{0x20, 0x12, 4, 1}[k];
    confirm[4] = 6;
    EXPECT_TRUE(PacketMatches(confirm, SensorConfirmPattern(4, SensorKind::Detector, 6))); // any section
    EXPECT_FALSE(PacketMatches(confirm, SensorConfirmPattern(4, SensorKind::Detector, 7)));
    EXPECT_FALSE(PacketMatches(confirm, SensorConfirmPattern(4, SensorKind::Module, 6)));

    CanPacket version{};
    version[0] = 0x47;
    version[1] = 0xFF;
    version[2] = 4;
    EXPECT_TRUE(PacketMatches(version, FirmwareAnswerPattern(4)));
    version[1] = 0x00;
    EXPECT_FALSE(PacketMatches(version, FirmwareAnswerPattern(4)));
}

TEST(ServicePackets, AutoIncFirmware)
{
    EXPECT_FALSE(AutoIncFirmwareOk({3, 0, 10}));
    EXPECT_TRUE(AutoIncFirmwareOk({3, 0, 11}));
    EXPECT_TRUE(AutoIncFirmwareOk({3, 1, 0}));
    EXPECT_TRUE(AutoIncFirmwareOk({4, 0, 0}));
    EXPECT_FALSE(AutoIncFirmwareOk({2, 9, 99}));
    EXPECT_FALSE(AutoIncFirmwareOk({0, 0, 0}));
    EXPECT_EQ(FirmwareVersionText({3, 0, 11}), QStringLiteral("3.0.11"));
}

TEST(ServicePackets, ModelRules)
{
    const ServiceModelRule a = ServiceModelRuleOf(ModelTivronA);
    EXPECT_TRUE(a.sensorGroups);
    EXPECT_EQ(a.detectorMax, 99);
    EXPECT_EQ(a.moduleMax, 40);
    EXPECT_FALSE(a.archive);
    const ServiceModelRule asptA = ServiceModelRuleOf(ModelTivronAsptA);
    EXPECT_EQ(asptA.detectorCaption, QStringLiteral("Смена адреса извещателя (Тиврон-АСПТ-А)"));
    EXPECT_EQ(asptA.moduleMax, 30);
    EXPECT_TRUE(asptA.archive);
    const ServiceModelRule aspt = ServiceModelRuleOf(ModelTivronAspt);
    EXPECT_FALSE(aspt.sensorGroups);
    EXPECT_FALSE(aspt.setsLimits);
    EXPECT_TRUE(aspt.archive);
    const ServiceModelRule other = ServiceModelRuleOf(QStringLiteral("Тиврон-2"));
    EXPECT_FALSE(other.sensorGroups || other.archive);
    EXPECT_EQ(ArchiveKindOf(ModelTivronAsptA), ArchiveKind::AsptA);
    EXPECT_EQ(ArchiveKindOf(ModelTivronA), ArchiveKind::None);
}
