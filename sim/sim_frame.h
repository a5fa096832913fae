#pragma once
// A frame on the simulated line, split into the fields of the packet identifier.
#include <QByteArray>
#include <QString>

#include <cstdint>

struct SimFrame {
    uint8_t command = 0;
    uint8_t section = 0;
    uint8_t address = 0;   // wire address
    uint8_t subCode = 0;   // 0-31
    QByteArray data;       // 0-8 bytes

    uint32_t Identifier() const
    {
        return (uint32_t(command) << 21) | (uint32_t(section) << 13) | (uint32_t(address) << 5) | (subCode & 0x1Fu);
    }
    static SimFrame FromIdentifier(uint32_t id, const QByteArray &data)
    {
        SimFrame f;
        f.command = uint8_t(id >> 21);
        f.section = uint8_t(id >> 13);
        f.address = uint8_t(id >> 5);
        f.subCode = uint8_t(id & 0x1F);
        f.data = data.left(8);
        return f;
    }
    // As the programmer writes it: CCSSAALL and two digits per data byte.
    QString Text() const
    {
        return QStringLiteral("%1%2%3%4").arg(command, 2, 16, QLatin1Char('0')).arg(section, 2, 16, QLatin1Char('0'))
                   .arg(address, 2, 16, QLatin1Char('0')).arg(subCode, 2, 16, QLatin1Char('0')).toUpper() +
               QString::fromLatin1(data.toHex().toUpper());
    }
};

constexpr uint8_t BroadcastAddress = 0xFF;
