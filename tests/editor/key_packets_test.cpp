#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/message_dlg.h"
#include "editor/key_packets.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "tests/editor/pages_fixture.h"

namespace {

CKey Key(const QString &name, int type, const QString &code, std::vector<bool> flags = {}, uint8_t vzSn = 0,
         uint8_t level = 0, bool master = false)
{
    CKey k;
    k.name = name;
    k.key_type = type;
    k.key_code = code;
    k.master = master;
    k.hos_count = int(flags.size()) / 2;
    k.hos_chk = flags;
    k.KeyVz_Sn = vzSn;
    k.KeyLocLevel = level;
    return k;
}

struct KeyCase {
    const char *what;
    CKey key;
    int address;
    QString packet1, packet2;
};

} // namespace

TEST(KeyPackets, GoldenPacketsOfOneKey)
{
    // Four loops: arm loops 1 and 3, disarm loop 2.
    std::vector<bool> four = {true, false, true, false, false, true, false, false};
    const std::vector<KeyCase> cases = {
        {"master key at address 5", Key(QStringLiteral("Мастер-ключ"), 2, QStringLiteral("000000000000"), {}, 0, 0, true),
         5, QStringLiteral("01 00 04 03 00 00 02 00 00 00 00 00"), QStringLiteral("01 01 04 03 00 00 00 00 00 00 00 00")},
        {"key 300 with loops", Key(QStringLiteral("<ключ> №300"), 1, QStringLiteral("0A1b2C3d4E5f"), four), 1,
         QStringLiteral("01 00 00 03 2C 01 01 05 00 02 00 00"), QStringLiteral("01 01 00 03 2C 01 5F 4E 3D 2C 1B 0A")},
        {"key without loops", Key(QStringLiteral("<ключ> №7"), 3, QStringLiteral("112233445566"), {}, 3, 42), 255,
         QStringLiteral("01 00 FE 03 07 00 03 03 2A 00 00 00"), QStringLiteral("01 01 FE 03 07 00 66 55 44 33 22 11")},
        {"sixteen loops fill both mask bytes",
         Key(QStringLiteral("<ключ> №258"), 2, QStringLiteral("FFFFFFFFFFFF"),
             [] {
                 std::vector<bool> f(32, false);
                 f[15] = true;  // arm loop 16
                 f[16] = true;  // disarm loop 1
                 f[24] = true;  // disarm loop 9
                 return f;
             }()),
         2, QStringLiteral("01 00 01 03 02 01 02 00 80 01 01 00"), QStringLiteral("01 01 01 03 02 01 FF FF FF FF FF FF")},
    };
    for (const KeyCase &c : cases) {
        QStringList list;
        EncodeKeyPackets(c.key, uint8_t(c.address - 1), list);
        EXPECT_EQ(list, QStringList({c.packet1, c.packet2})) << c.what;
    }
    EXPECT_EQ(EndPacketText(4), QStringLiteral("02FF04000000000000000000"));
    EXPECT_EQ(EndPacketText(0), QStringLiteral("02FF00000000000000000000"));
    EXPECT_EQ(KeyReadRequestText(4, 300), QStringLiteral("85FF04032C01000000000000"));
}

TEST(KeyPackets, FewerStoredFlagsThanLoopsReadAsUnset)
{
    CKey k = Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("000000000000"));
    k.hos_count = 4;
    k.hos_chk = {true, true, true}; // arm flags of loops 1-3 only
    QStringList list;
    EncodeKeyPackets(k, 0, list);
    EXPECT_EQ(list[0], QStringLiteral("01 00 00 03 01 00 01 07 00 00 00 00"));
}

TEST(KeyPackets, RecordsNoPacketCanHoldAreRefused)
{
    struct Bad {
        const char *what;
        CKey key;
        bool conversion;
    };
    const std::vector<Bad> cases = {
        {"name number is no number", Key(QStringLiteral("<ключ> №x1"), 1, QStringLiteral("000000000000")), true},
        {"code too short", Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("00000000000")), false},
        {"code too long", Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("0000000000000")), false},
        {"code not hex", Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("00000000000G")), false},
        {"number above 65535", Key(QStringLiteral("<ключ> №65536"), 1, QStringLiteral("000000000000")), false},
        {"key type above 255", Key(QStringLiteral("<ключ> №1"), 256, QStringLiteral("000000000000")), false},
        {"seventeen loops", Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("000000000000"), std::vector<bool>(34)),
         false},
    };
    for (const Bad &c : cases) {
        QStringList list{QStringLiteral("before")};
        if (c.conversion)
            EXPECT_THROW(EncodeKeyPackets(c.key, 0, list), CConvertError) << c.what;
        else
            EXPECT_THROW(EncodeKeyPackets(c.key, 0, list), CPacketBuildError) << c.what;
        EXPECT_EQ(list, QStringList{QStringLiteral("before")}) << c.what;
    }
}

TEST(KeyPackets, WireAddressOnlyForAddressesOneTo255)
{
    uint8_t wire = 7;
    EXPECT_FALSE(WireAddressOf(0, wire));
    EXPECT_FALSE(WireAddressOf(256, wire));
    EXPECT_FALSE(WireAddressOf(-1, wire));
    EXPECT_EQ(wire, 7);
    EXPECT_TRUE(WireAddressOf(1, wire));
    EXPECT_EQ(wire, 0);
    EXPECT_TRUE(WireAddressOf(255, wire));
    EXPECT_EQ(wire, 254);
}

// DecodeKeyReply over a scripted wait: each call answers from the list of records it is given.
class KeyReplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        using namespace pages_fixture;
        device = AddDevice(tree, QStringLiteral("Тиврон-2"), 5, 2);
        table = AddTable(tree, device, QStringLiteral("Таблица ключей"), QStringLiteral("key"), 1);
        Param(QStringLiteral("Номер ключа"), 0, QStringLiteral("3"));
        Param(QStringLiteral("Тип ключа"), 0, QStringLiteral("4"));
        Param(QStringLiteral("ШС взятие"), 0, QStringLiteral("24"), 65535);
        Param(QStringLiteral("ШС снятие"), 0, QStringLiteral("96"), 65535);
        // The code pairs listed from №2: "№1" restarts the code, the later ones append.
        Param(QStringLiteral("ID ключа (код) №2"), 1, QStringLiteral("64"));
        Param(QStringLiteral("ID ключа (код) №1"), 1, QStringLiteral("128"));
        for (int i = 3; i <= 6; ++i)
            Param(QStringLiteral("ID ключа (код) №%1").arg(i), 1, QString::number(1 << (8 - i)));
    }
    void TearDown() override { SetMessageDlgHook(nullptr); }

    CTreeNode *Param(const QString &name, int section, const QString &mask, int max = 255)
    {
        CTreeNode *n = pages_fixture::AddParameter(tree, table, name, QStringLiteral("числовой"), QStringLiteral("0"), 0, max);
        n->parameter()->can_id_razdel = section;
        n->parameter()->address = mask;
        return n;
    }

    static CanPacket Answer(int section, int wire, std::vector<uint8_t> data)
    {
        CanPacket r;
        r[0] = 0x10;
        r[1] = uint8_t(section);
        r[2] = uint8_t(wire);
        r[3] = 3;
        for (std::size_t k = 0; k < data.size(); ++k)
            r[4 + k] = data[k];
        return r;
    }

    // A wait over a fixed list, recording the sections asked for.
    PacketWaiter Waiter()
    {
        return [this](const PacketPattern &pattern, uint32_t timeout, CanPacket *matched) {
            asked.push_back(pattern[1]);
            EXPECT_EQ(timeout, 1000u);
            for (std::size_t i = 0; i < rx.size(); ++i)
                if (PacketMatches(rx[i], pattern)) {
                    *matched = rx[i];
                    return int(i) + 1;
                }
            return 0;
        };
    }

    CTree tree;
    CTreeNode *device = nullptr;
    CTreeNode *table = nullptr;
    std::vector<CanPacket> rx;
    std::vector<int> asked;
    QStringList messages;
};

TEST_F(KeyReplyTest, BothAnswersFillTheRecord)
{
    CKey key = Key(QStringLiteral("<ключ> №300"), 1, QStringLiteral("000000000000"), std::vector<bool>(8));
    rx = {Answer(0, 4, {0x2D, 0x01, 0, 9, 9, 9, 9, 9}), // another key: ignored
          Answer(1, 4, {0x2C, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}),
          Answer(0, 4, {0x2C, 0x01, 3, 0x05, 0x00, 0x0A, 0x00, 0x00})};
    ASSERT_TRUE(DecodeKeyReply(key, device, 4, 300, Waiter()));
    EXPECT_EQ(asked, (std::vector<int>{0, 1}));
    EXPECT_EQ(key.key_type, 3);
    EXPECT_EQ(key.hos_chk, (std::vector<bool>{true, false, true, false, false, true, false, true}));
    // №1 (byte 7) starts the code after №2 (byte 6) was appended: №2 is lost, the rest follow.
    EXPECT_EQ(key.key_code, QStringLiteral("6644332211"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(KeyReplyTest, MissingAnswersAreAskedOnceMoreThenWarned)
{
    const CKey before = Key(QStringLiteral("<ключ> №300"), 1, QStringLiteral("ABCDEF012345"));
    CKey key = before;
    rx = {Answer(0, 4, {0x2C, 0x01, 0, 3})};
    EXPECT_FALSE(DecodeKeyReply(key, device, 4, 300, Waiter()));
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(messages, QStringList{NoKeyAnswerText});

    asked.clear();
    rx.clear();
    EXPECT_FALSE(DecodeKeyReply(key, device, 4, 300, Waiter()));
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(key.key_code, before.key_code);
    EXPECT_EQ(key.key_type, before.key_type);
}

TEST_F(KeyReplyTest, AnAnswerThatDoesNotConvertLeavesTheRecordWhole)
{
    Param(QStringLiteral("Тип ключа"), 1, QStringLiteral("0")); // a second one whose mask selects no byte
    CKey key = Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("ABCDEF012345"));
    rx = {Answer(0, 0, {1, 0, 0, 7}), Answer(1, 0, {1, 0, 1, 2, 3, 4, 5, 6})};
    EXPECT_THROW(DecodeKeyReply(key, device, 0, 1, Waiter()), CConvertError);
    EXPECT_EQ(key.key_type, 1);
    EXPECT_EQ(key.key_code, QStringLiteral("ABCDEF012345"));
}

TEST_F(KeyReplyTest, KeyWithoutLoopsTakesFunctionAndLevel)
{
    Param(QStringLiteral("Функция управления"), 0, QStringLiteral("8"), 3);
    Param(QStringLiteral("Локальный уровень управления"), 0, QStringLiteral("16"), 99);
    CKey key = Key(QStringLiteral("<ключ> №2"), 1, QStringLiteral("000000000000"));
    rx = {Answer(0, 0, {2, 0, 0, 2, 2, 0, 0, 0}), Answer(1, 0, {2, 0, 0, 0, 0, 0, 0, 0})};
    ASSERT_TRUE(DecodeKeyReply(key, device, 0, 2, Waiter()));
    EXPECT_EQ(key.KeyVz_Sn, 2);
    EXPECT_EQ(key.KeyLocLevel, 2);
    EXPECT_TRUE(key.hos_chk.empty());
}

TEST_F(KeyReplyTest, NoKeyTableLeavesTheRecord)
{
    table->text = QStringLiteral("Другая таблица");
    CKey key = Key(QStringLiteral("<ключ> №1"), 1, QStringLiteral("ABCDEF012345"));
    rx = {Answer(0, 0, {1, 0, 0, 7}), Answer(1, 0, {1, 0})};
    EXPECT_FALSE(DecodeKeyReply(key, device, 0, 1, Waiter()));
    EXPECT_EQ(messages, QStringList{NoKeyTableText});
    EXPECT_EQ(key.key_type, 1);
}
