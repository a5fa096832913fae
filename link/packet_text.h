#pragma once
// The packet identifier, the text form PacketText and the received record CanPacket.
#include <QString>

#include <cstdint>
#include <stdexcept>

#include "adapters/usbcan/usbcan_api.h"

// A packet text the link refuses: too short, too long or not hexadecimal. what() is UTF-8.
class PacketTextError : public std::runtime_error {
public:
    explicit PacketTextError(const QString &message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// One frame to send, read from a PacketText.
struct TxFrame {
    uint32_t identifier = 0;
    uint8_t data[8] = {};
    int count = 0;       // data bytes, 0-8
    QString idText;      // characters 1-8 as the caller wrote them
    QString dataText;    // the rest, unchanged
};

constexpr int PacketTextMinLength = 8;
constexpr int PacketTextMaxLength = 24;

// 29-bit identifier: command, section, wire address (8 bits each), sub-code (5 bits), from the top.
constexpr uint32_t PacketIdentifier(uint8_t command, uint8_t section, uint8_t wireAddress, uint8_t subCode)
{
    return (uint32_t(command) << 21) | (uint32_t(section) << 13) | (uint32_t(wireAddress) << 5) | (subCode & 0x1Fu);
}

// Text to frame. An odd last character is dropped first; then a text shorter than 8 or longer
// than 24 characters, or holding anything but hexadecimal digits, throws PacketTextError.
// The two sub-code digits are added to the identifier, not masked: above 1F they carry into the
// wire-address bits.
TxFrame PacketTextToFrame(const QString &text);

// Frame to record: the library's identifier (most significant byte first in bytes 0-3)
// becomes command, section, wire address and sub-code. Bits above bit 28 are lost.
void RewriteReceivedIdentifier(CanPacket &record);

// Texts of a rewritten record: bytes 0-3 as 8 upper-case digits, the data as 16.
QString PacketIdText(const CanPacket &record);
QString PacketDataText(const CanPacket &record);

// A record as the PacketText that would send it back (identifier text and data text joined).
inline QString PacketTextOf(const CanPacket &record) { return PacketIdText(record) + PacketDataText(record); }
