#include "link/packet_text.h"

namespace {

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Upper-case digits of the value's lowest digits * 4 bits; every received frame is logged with nine
// of these, so they are made by hand rather than through QString::arg.
void PutHex(QChar *out, uint32_t value, int digits)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[i] = QChar(kDigits[value & 0xF]);
}

QString Hex(uint32_t value, int digits)
{
    QString text(digits, Qt::Uninitialized);
    PutHex(text.data(), value, digits);
    return text;
}

} // namespace

PacketTextError::PacketTextError(const QString &message) : std::runtime_error(message.toUtf8().toStdString()) {}

TxFrame PacketTextToFrame(const QString &original)
{
    QString text = original;
    if (text.size() % 2 != 0)
        text.chop(1);
    if (text.size() < PacketTextMinLength || text.size() > PacketTextMaxLength)
        throw PacketTextError(QStringLiteral("Неверная длина пакета '%1': нужно от 8 до 24 шестнадцатеричных цифр")
                                  .arg(original));
    for (QChar c : text) {
        if (HexDigit(c) < 0)
            throw PacketTextError(
                QStringLiteral("Недопустимый символ в пакете '%1': допустимы только шестнадцатеричные цифры")
                    .arg(original));
    }

    TxFrame frame;
    uint32_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 4) | uint32_t(HexDigit(text[i]));
    frame.identifier = (v >> 8) * 32 + (v & 0xFF);
    frame.count = int(text.size() - 8) / 2;
    for (int k = 0; k < frame.count; ++k)
        frame.data[k] = uint8_t(HexDigit(text[8 + 2 * k]) * 16 + HexDigit(text[9 + 2 * k]));
    frame.idText = text.left(8);
    frame.dataText = text.mid(8);
    return frame;
}

void RewriteReceivedIdentifier(CanPacket &record)
{
    const uint32_t id = (uint32_t(record[0]) << 24) | (uint32_t(record[1]) << 16) | (uint32_t(record[2]) << 8) | record[3];
    const uint32_t value = ((id >> 5) << 8) + (id & 0x1F);
    record[0] = uint8_t(value >> 24);
    record[1] = uint8_t(value >> 16);
    record[2] = uint8_t(value >> 8);
    record[3] = uint8_t(value);
}

QString PacketIdText(const CanPacket &record)
{
    const uint32_t value = (uint32_t(record[0]) << 24) | (uint32_t(record[1]) << 16) | (uint32_t(record[2]) << 8) | record[3];
    return Hex(value, 8);
}

QString PacketDataText(const CanPacket &record)
{
    QString text(16, Qt::Uninitialized);
    for (int k = 0; k < 8; ++k)
        PutHex(text.data() + 2 * k, record[4 + k], 2);
    return text;
}
