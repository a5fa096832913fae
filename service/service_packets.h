#pragma once
// The service commands of the line as packet texts, the answers they wait for, and the rules the
// service windows apply by device model. No window and no link here.
#include <QString>

#include <cstdint>

#include "link/transfer.h" // PacketPattern

// What a detector or module address command is about: the sub-code of its packets.
enum class SensorKind : uint8_t { Detector = 1, Module = 2 };

// The wire address a "Старый" edit value stands for: the value less one, 64 hexadecimal for 0.
uint8_t OldSensorWire(int editValue);

// "00FF" + AA + "00" + NN + "00000000000000": the device at AA takes the wire address NN.
QString SetDeviceAddressText(uint8_t wire, uint8_t newWire);
// "00FF" + AA + SS + NN + OO + "000000000000".
QString SetSensorAddressText(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire);
// "84FF" + AA + SS + NN + "00000000000000".
QString ConfirmSensorAddressText(uint8_t wire, SensorKind kind, uint8_t newWire);
// "00FF" + AA + "03" + II + "00000000000000": the one new detector or module gets II.
QString ProgramNewSensorText(uint8_t wire, uint8_t programmed);
// The factory settings and the restart: for "Тиврон-А" the set-address command with its own
// address and FF or 01 in data byte 3, for every other model commands 87 and 88.
QString FactorySettingsText(const QString &modelName, uint8_t wire);
QString RestartText(const QString &modelName, uint8_t wire);
// "EFFF" + AA + "000000000000000000".
QString FirmwareQueryText(uint8_t wire);

// 20 ?? AA / SS with data byte 0 = NN.
PacketPattern SensorConfirmPattern(uint8_t wire, SensorKind kind, uint8_t newWire);
// 20 ?? AA / 03.
PacketPattern ProgramAnswerPattern(uint8_t wire);
// 47 FF AA / 00.
PacketPattern FirmwareAnswerPattern(uint8_t wire);

constexpr uint32_t SensorConfirmTimeout = 20000;
constexpr uint32_t FirmwareTimeout = 2000;
constexpr int AutoIncCountdownSeconds = 7;
constexpr uint8_t ModuleWireFlag = 0x80;
// Data byte 7 of a programming answer when more than one new device took the packet.
constexpr uint8_t SeveralDevicesMark = 3;

struct FirmwareVersion {
    uint8_t major = 0, minor = 0, build = 0;
};
// 3.0.11 or later, compared part by part from the left.
bool AutoIncFirmwareOk(const FirmwareVersion &version);
// "3.0.11".
QString FirmwareVersionText(const FirmwareVersion &version);

// What the service window enables for a model it lists.
struct ServiceModelRule {
    bool sensorGroups = false; // the detector and module groups
    bool setsLimits = false;   // captions and spin-edit maxima below are set
    QString detectorCaption, moduleCaption;
    int detectorMax = 0, moduleMax = 0;
    bool archive = false;
};
ServiceModelRule ServiceModelRuleOf(const QString &modelName);

// The archive windows a model has.
enum class ArchiveKind { None, Aspt, AsptA };
ArchiveKind ArchiveKindOf(const QString &modelName);

inline const QString ModelTivronA = QStringLiteral("Тиврон-А");
inline const QString ModelTivronAspt = QStringLiteral("Тиврон-АСПТ");
inline const QString ModelTivronAsptA = QStringLiteral("Тиврон-АСПТ-А");

inline const QString NoDeviceSelectedText = QStringLiteral("Не выбран прибор.");
inline const QString BadAddressText = QStringLiteral("Выбраный адрес не является корректным.");
inline const QString BadDetectorAddressText = QStringLiteral("Выбранный адрес не является корректным.");
inline const QString AddressMaybeNotWrittenText = QStringLiteral("Новый адрес возможно не записан. Ошибка [");
inline const QString AutoIncSendFailedText =
    QStringLiteral("Новый адрес возможно не записан. Не удалось отправить команду, ошибка [");
inline const QString BadRangeText = QStringLiteral("Некорректно задан диапазон адресации");
inline const QString OneDeviceWarningText =
    QStringLiteral("Внимание! Убедитесь, что на линии(ДПЛС) находится только одно устройство!");
inline const QString SeveralDevicesText = QStringLiteral("На линии(ДПЛС) находится более чем одно устройство");
inline const QString FirmwareTooOldText = QStringLiteral("Версия прошивки прибора должна быть не меньше чем 3.0.11");
inline const QString UnknownVersionText = QStringLiteral("версия неопределена");
inline const QString DeviceCountText = QStringLiteral("Всего приборов - ");
