#pragma once
// The key packets: one key record as its two write packets, the single-key read request, the end
// packet that closes a write, and the decoding of a device's two answers about one key.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "link/transfer.h"

class CKey;
class CTreeNode;

// A record or a description that no packet can hold (a key code that is not twelve hexadecimal
// digits, a key number above 65535, a byte mask beyond the packet). The list is refused whole, so
// nothing is sent. Message() is the text shown to the engineer.
class CPacketBuildError : public std::runtime_error {
public:
    explicit CPacketBuildError(const QString &message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// Loops a key packet can carry (two bytes of flags each for arming and disarming).
constexpr int kMaxKeyPacketLoops = 16;

// The key number the write packets carry: 0 for the master key, otherwise the text of the name
// after its first "№" (the whole name without one). Throws CConvertError when that is no decimal
// number, CPacketBuildError when it is outside 0..65535.
int KeyWriteNumber(const CKey &key);

// Appends the key's packet 1 and packet 2 as twelve blank-separated digit pairs each. Throws as
// KeyWriteNumber, and CPacketBuildError for a key type outside 0..255, more than 16 loops or a key
// code that is not twelve hexadecimal digits. Flags beyond the stored list count as not set.
void EncodeKeyPackets(const CKey &key, uint8_t wireAddress, QStringList &list);
// The same for a key page's node; a node without a key record adds nothing.
void EncodeKeyPackets(const CTreeNode &keyNode, uint8_t wireAddress, QStringList &list);

// "02FF" + wire address + eighteen zeros: closes a configuration write and a single-key load.
QString EndPacketText(uint8_t wireAddress);
// The single-key read request: "85FF" + wire address + "03" + the number low byte first + zeros.
QString KeyReadRequestText(uint8_t wireAddress, int keyNumber);

// The key number the read request carries: KeyNumberFromText of the name (0 for the master key and
// for a name whose number is none). Throws CPacketBuildError when it is outside 0..65535.
int KeyReadNumber(const CKey &key);

// The wire address of a device address (1..255): the address less one. False for any other
// address: 0 would give FF, which the search broadcast uses, and 256 does not fit a byte.
bool WireAddressOf(int deviceAddress, uint8_t &wireAddress);

// The wait of the key answers; WaitForPacket unless a test gives its own.
using PacketWaiter = std::function<int(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched)>;

inline const QString KeyTableText = QStringLiteral("Таблица ключей");
inline const QString NoKeyAnswerText = QStringLiteral("Ответ от прибора по данному ключу, не получен!");
inline const QString NoKeyTableText = QStringLiteral("В описании прибора нет таблицы ключей.");

// Waits for the section 00 and 01 answers about key keyNumber (1000 each, each section asked a second
// time only when its first wait found nothing) and applies them to key as the description's key
// table (the first node "Таблица ключей" from device on) says. The values are decoded into a copy
// and key changes only when every parameter converted. False after the warning that an answer is
// missing or that the description holds no key table; a conversion error (a mask selecting no byte,
// a value above FFFFFFFF, a mask that is no number) throws CConvertError with key unchanged.
bool DecodeKeyReply(CKey &key, CTreeNode *device, uint8_t wireAddress, int keyNumber,
                    const PacketWaiter &wait = {});
// Applies the two answers (section 00, section 01) to key through the key table's parameters,
// in their order; throws CConvertError as above, leaving key partly changed (DecodeKeyReply
// works on a copy).
void ApplyKeyAnswers(CKey &key, const CTreeNode &keyTable, const CanPacket &section0, const CanPacket &section1);
