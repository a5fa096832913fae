#include "service/service_packets.h"

#include <tuple>

#include "editor/factory_reset.h"

namespace {

QString Hex(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

PacketPattern AnyPattern()
{
    PacketPattern p;
    p.fill(-1);
    return p;
}

} // namespace

uint8_t OldSensorWire(int editValue) { return editValue == 0 ? 0x64 : uint8_t(editValue - 1); }

QString SetDeviceAddressText(uint8_t wire, uint8_t newWire)
{
    return QStringLiteral("00FF") + Hex(wire) + QStringLiteral("00") + Hex(newWire) + QStringLiteral("00000000000000");
}

QString SetSensorAddressText(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire)
{
    return QStringLiteral("00FF") + Hex(wire) + Hex(int(kind)) + Hex(newWire) + Hex(oldWire) +
           QStringLiteral("000000000000");
}

QString ConfirmSensorAddressText(uint8_t wire, SensorKind kind, uint8_t newWire)
{
    return QStringLiteral("84FF") + Hex(wire) + Hex(int(kind)) + Hex(newWire) + QStringLiteral("00000000000000");
}

QString ProgramNewSensorText(uint8_t wire, uint8_t programmed)
{
    return QStringLiteral("00FF") + Hex(wire) + QStringLiteral("03") + Hex(programmed) + QStringLiteral("00000000000000");
}

QString FactorySettingsText(const QString &modelName, uint8_t wire)
{
    if (modelName == ModelTivronA)
        return FactorySettingsPacketText(wire); // the same command the editor's page menu sends
    return QStringLiteral("87FF") + Hex(wire) + QStringLiteral("000000000000000000");
}

QString RestartText(const QString &modelName, uint8_t wire)
{
    if (modelName == ModelTivronA)
        return QStringLiteral("00FF") + Hex(wire) + QStringLiteral("00") + Hex(wire) + QStringLiteral("00000100000000");
    return QStringLiteral("88FF") + Hex(wire) + QStringLiteral("000000000000000000");
}

QString FirmwareQueryText(uint8_t wire) { return QStringLiteral("EFFF") + Hex(wire) + QStringLiteral("000000000000000000"); }

PacketPattern SensorConfirmPattern(uint8_t wire, SensorKind kind, uint8_t newWire)
{
    PacketPattern p = AnyPattern();
    p[0] = 0x20;
    p[2] = wire;
    p[3] = int(kind);
    p[4] = newWire;
    return p;
}

PacketPattern ProgramAnswerPattern(uint8_t wire)
{
    PacketPattern p = AnyPattern();
    p[0] = 0x20;
    p[2] = wire;
    p[3] = 0x03;
    return p;
}

PacketPattern FirmwareAnswerPattern(uint8_t wire)
{
    PacketPattern p = AnyPattern();
    p[0] = 0x47;
    p[1] = 0xFF;
    p[2] = wire;
    p[3] = 0x00;
    return p;
}

bool AutoIncFirmwareOk(const FirmwareVersion &v)
{
    return std::make_tuple(v.major, v.minor, v.build) >= std::make_tuple(uint8_t(3), uint8_t(0), uint8_t(11));
}

QString FirmwareVersionText(const FirmwareVersion &v)
{
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.build);
}

ServiceModelRule ServiceModelRuleOf(const QString &modelName)
{
    ServiceModelRule rule;
    if (modelName == ModelTivronA) {
        rule.sensorGroups = rule.setsLimits = true;
        rule.detectorCaption = QStringLiteral("Смена адреса извещателя (Тиврон-А)");
        rule.moduleCaption = QStringLiteral("Смена адреса модуля (Тиврон-А)");
        rule.detectorMax = 99;
        rule.moduleMax = 40;
    } else if (modelName == ModelTivronAsptA) {
        rule.sensorGroups = rule.setsLimits = true;
        rule.detectorCaption = QStringLiteral("Смена адреса извещателя (Тиврон-АСПТ-А)");
        rule.moduleCaption = QStringLiteral("Смена адреса модуля (Тиврон-АСПТ-А)");
        rule.detectorMax = 30;
        rule.moduleMax = 30;
        rule.archive = true;
    } else if (modelName == ModelTivronAspt) {
        rule.archive = true;
    }
    return rule;
}

ArchiveKind ArchiveKindOf(const QString &modelName)
{
    if (modelName == ModelTivronAspt)
        return ArchiveKind::Aspt;
    if (modelName == ModelTivronAsptA)
        return ArchiveKind::AsptA;
    return ArchiveKind::None;
}
