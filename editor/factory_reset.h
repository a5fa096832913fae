#pragma once
// The factory reset of the open device, from the main window's page menu.
#include <QString>

#include <cstdint>

// Model type id of the only device the page menu resets.
constexpr int FactoryResetDeviceId = 14;

// The one packet that restores a device's factory settings: command 00, section FF, the wire
// address, sub-code 00; data the wire address, 00 00 FF 00 00 00 00. The device does not answer.
QString FactorySettingsPacketText(uint8_t wire);

inline const QString FactoryResetQuestionText =
    QStringLiteral("Вы уверены, что хотите восстановить заводские параметры прибора");
// Asks FactoryResetQuestionText (confirmation, Yes and No): true only for Yes.
bool FactoryResetConfirmed();
// caption: the menu item's.
QString CommandDoneText(const QString &caption);
QString CommandFailedText(int code, const QString &caption);
