#include "editor/key_packets.h"

#include <optional>
#include <vector>

#include "app/message_dlg.h"
#include "editor/config_read.h"
#include "link/exchange.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/model_classes.h"
#include "model/read_tree.h"
#include "model/tree_search.h"

CPacketBuildError::CPacketBuildError(const QString &message) : std::runtime_error(message.toStdString()) {}

namespace {

QString Hex2(unsigned byte) { return QStringLiteral("%1").arg(byte & 0xFFu, 2, 16, QLatin1Char('0')).toUpper(); }

QString PairsText(const std::vector<unsigned> &bytes)
{
    QStringList pairs;
    for (unsigned b : bytes)
        pairs << Hex2(b);
    return pairs.join(QLatin1Char(' '));
}

bool Flag(const CKey &key, int index) { return index >= 0 && index < int(key.hos_chk.size()) && key.hos_chk[index]; }

void SetFlag(CKey &key, int index, bool value)
{
    if (index >= 0 && index < int(key.hos_chk.size()))
        key.hos_chk[index] = value;
}

bool IsHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// Loops the key's flags cover; the record keeps hos_count as read.
int KeyLoops(const CKey &key) { return UsableCount(key.hos_count, kMaxLoops); }

} // namespace

int KeyWriteNumber(const CKey &key)
{
    if (key.master)
        return 0;
    const qsizetype sign = key.name.indexOf(QStringLiteral("№"));
    const QString text = sign < 0 ? key.name : key.name.mid(sign + 1);
    const std::optional<int> number = ParseDecimalInt(text.trimmed());
    if (!number)
        throw CConvertError(QStringLiteral("'%1' не является целым числом.").arg(text).toStdString());
    if (*number < 0 || *number > 0xFFFF)
        throw CPacketBuildError(QStringLiteral("Номер ключа '%1' вне диапазона 0..65535.").arg(key.name));
    return *number;
}

void EncodeKeyPackets(const CKey &key, uint8_t wireAddress, QStringList &list)
{
    const int number = KeyWriteNumber(key);
    if (key.key_type < 0 || key.key_type > 0xFF)
        throw CPacketBuildError(QStringLiteral("Тип ключа '%1' вне диапазона 0..255.").arg(key.name));
    const int loops = KeyLoops(key);
    if (loops > kMaxKeyPacketLoops)
        throw CPacketBuildError(QStringLiteral("У ключа '%1' более 16 шлейфов.").arg(key.name));
    const QString code = key.key_code;
    bool codeOk = code.size() == 12;
    for (QChar c : code)
        codeOk = codeOk && IsHexDigit(c);
    if (!codeOk)
        throw CPacketBuildError(
            QStringLiteral("Код ключа '%1' должен состоять из 12 шестнадцатеричных цифр: '%2'.").arg(key.name, code));

    unsigned arm = 0, disarm = 0;
    for (int k = 0; k < loops; ++k) {
        arm |= unsigned(Flag(key, k)) << k;
        disarm |= unsigned(Flag(key, loops + k)) << k;
    }
    const unsigned low = unsigned(number) & 0xFF, high = unsigned(number) >> 8;

    std::vector<unsigned> first{0x01, 0x00, wireAddress, 0x03, low, high, unsigned(key.key_type)};
    if (loops > 0)
        first.insert(first.end(), {arm & 0xFF, arm >> 8, disarm & 0xFF, disarm >> 8, 0});
    else
        first.insert(first.end(), {key.KeyVz_Sn, key.KeyLocLevel, 0, 0, 0});

    std::vector<unsigned> second{0x01, 0x01, wireAddress, 0x03, low, high};
    for (int pair = 5; pair >= 0; --pair) // the code's last pair goes first
        second.push_back(code.mid(pair * 2, 2).toUInt(nullptr, 16));

    list << PairsText(first) << PairsText(second);
}

void EncodeKeyPackets(const CTreeNode &keyNode, uint8_t wireAddress, QStringList &list)
{
    if (const CKey *key = keyNode.key())
        EncodeKeyPackets(*key, wireAddress, list);
}

QString EndPacketText(uint8_t wireAddress)
{
    return QStringLiteral("02FF") + Hex2(wireAddress) + QStringLiteral("000000000000000000");
}

QString KeyReadRequestText(uint8_t wireAddress, int keyNumber)
{
    return QStringLiteral("85FF") + Hex2(wireAddress) + QStringLiteral("03") + Hex2(unsigned(keyNumber)) +
           Hex2(unsigned(keyNumber) >> 8) + QStringLiteral("000000000000");
}

int KeyReadNumber(const CKey &key)
{
    const int number = KeyNumberFromText(key.name);
    if (number < 0 || number > 0xFFFF)
        throw CPacketBuildError(QStringLiteral("Номер ключа '%1' вне диапазона 0..65535.").arg(key.name));
    return number;
}

bool WireAddressOf(int deviceAddress, uint8_t &wireAddress)
{
    if (!IsRequestAddress(deviceAddress))
        return false;
    wireAddress = uint8_t(deviceAddress - 1);
    return true;
}

void ApplyKeyAnswers(CKey &key, const CTreeNode &keyTable, const CanPacket &section0, const CanPacket &section1)
{
    const int loops = KeyLoops(key);
    const QString codePrefix = QStringLiteral("ID ключа (код) №");
    for (const CTreeNode *pn = keyTable.firstChild(); pn; pn = pn->nextSibling()) {
        const CParameter *p = pn->parameter();
        if (!p)
            continue;
        const QString &name = p->name;
        const bool known = name == QStringLiteral("Тип ключа") || name == QStringLiteral("Функция управления") ||
                           name == QStringLiteral("Локальный уровень управления") ||
                           name == QStringLiteral("ШС взятие") || name == QStringLiteral("ШС снятие") ||
                           (name.startsWith(codePrefix) && name.size() == codePrefix.size() + 1 &&
                            name.back() >= QLatin1Char('1') && name.back() <= QLatin1Char('6'));
        if (!known)
            continue;

        const CanPacket &answer = p->can_id_razdel == 0 ? section0 : section1;
        const std::optional<int> mask = ParseDecimalInt(p->address);
        if (!mask)
            throw CConvertError(QStringLiteral("'%1' не является целым числом.").arg(p->address).toStdString());
        uint64_t t = 0;
        int selected = 0;
        for (int k = 0; k < 8; ++k) {
            if (!(*mask & (1 << k)))
                continue;
            if (selected < 8)
                t |= uint64_t(answer[4 + k]) << (8 * selected);
            ++selected;
        }
        if (selected == 0 || t > 0xFFFFFFFFull)
            throw CConvertError(QStringLiteral("Значение параметра '%1' ключа не преобразуется в число.")
                                    .arg(name)
                                    .toStdString());
        const int raw = int32_t(uint32_t(t));
        const int v = WrapToRange(int32_t(uint32_t(int64_t(raw) + p->formula)), *p);
        const uint32_t bits = uint32_t(v);

        if (name == QStringLiteral("Тип ключа")) {
            key.key_type = v;
        } else if (name == QStringLiteral("Функция управления")) {
            // With loops the value is the arm mask, bit k - 1 for loop k.
            if (loops <= 0)
                key.KeyVz_Sn = uint8_t(v);
            else
                for (int k = 0; k < loops && k < 32; ++k)
                    SetFlag(key, k, (bits >> k) & 1u);
        } else if (name == QStringLiteral("Локальный уровень управления")) {
            // With loops the value is the disarm mask.
            if (loops <= 0)
                key.KeyLocLevel = uint8_t(v);
            else
                for (int k = 0; k < loops && k < 32; ++k)
                    SetFlag(key, loops + k, (bits >> k) & 1u);
        } else if (name == QStringLiteral("ШС взятие")) {
            for (int k = 0; k < loops && k < 32; ++k)
                SetFlag(key, k, (bits >> k) & 1u);
        } else if (name == QStringLiteral("ШС снятие")) {
            for (int k = 0; k < loops && k < 32; ++k)
                SetFlag(key, loops + k, (bits >> k) & 1u);
        } else {
            const QString pair = QStringLiteral("%1").arg(bits, 2, 16, QLatin1Char('0')).toUpper();
            if (name.back() == QLatin1Char('1'))
                key.key_code = pair;
            else
                key.key_code += pair;
        }
    }
}

bool DecodeKeyReply(CKey &key, CTreeNode *device, uint8_t wireAddress, int keyNumber, const PacketWaiter &wait)
{
    const PacketWaiter waiter = wait ? wait : PacketWaiter(WaitForPacket);
    auto pattern = [&](int section) {
        return PacketPattern{0x10, section, wireAddress, 0x03, keyNumber & 0xFF, (keyNumber >> 8) & 0xFF,
                             -1, -1, -1, -1, -1, -1};
    };
    CanPacket answers[2];
    bool found[2] = {false, false};
    for (int section = 0; section < 2; ++section)
        found[section] = waiter(pattern(section), 1000, &answers[section]) > 0;
    for (int section = 0; section < 2; ++section)
        if (!found[section])
            found[section] = waiter(pattern(section), 1000, &answers[section]) > 0;
    if (!found[0] || !found[1]) {
        if (!ExchangesCancelled()) // the waits gave up because the program closes
            ShowMessageDlg(NoKeyAnswerText, mtWarning, mbOK);
        return false;
    }

    CTreeNode *table = FindNodeByText(device, KeyTableText);
    if (!table) {
        ShowMessageDlg(NoKeyTableText, mtError, mbOK);
        return false;
    }
    CKey decoded = key;
    ApplyKeyAnswers(decoded, *table, answers[0], answers[1]);
    key = decoded;
    return true;
}
