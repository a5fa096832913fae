#include <gtest/gtest.h>

#include <vector>

#include "link/packet_text.h"

namespace {

struct TextCase {
    const char *text;
    uint32_t identifier;
    std::vector<uint8_t> data;
    const char *idText;
    const char *dataText;
};

CanPacket Delivered(uint32_t id, std::vector<uint8_t> data = {})
{
    CanPacket r;
    r[0] = uint8_t(id >> 24);
    r[1] = uint8_t(id >> 16);
    r[2] = uint8_t(id >> 8);
    r[3] = uint8_t(id);
    for (std::size_t k = 0; k < data.size(); ++k)
        r[4 + k] = data[k];
    return r;
}

} // namespace

TEST(PacketText, TextToFrame)
{
    const TextCase cases[] = {
        {"FFFFFF000", 0x1FFFFFE0, {}, "FFFFFF00", ""},               // odd last digit dropped
        {"85ff0200", 0x10BFE040, {}, "85ff0200", ""},                // lower case, logged as written
        {"85FF0200", 0x10BFE040, {}, "85FF0200", ""},
        {"000000FF", 0xFF, {}, "000000FF", ""},                      // sub-code carries into the address
        {"85FF0200FF00000000000000", 0x10BFE040, {0xFF, 0, 0, 0, 0, 0, 0, 0}, "85FF0200", "FF00000000000000"},
        {"FFFFFF00111403020E050904", 0x1FFFFFE0, {0x11, 0x14, 0x03, 0x02, 0x0E, 0x05, 0x09, 0x04}, "FFFFFF00",
         "111403020E050904"},
        {"02FF0200ab", 0x005FE040, {0xAB}, "02FF0200", "ab"},
        {"02FF0200ab1", 0x005FE040, {0xAB}, "02FF0200", "ab"},
    };
    for (const TextCase &c : cases) {
        if (!c.idText)
            continue;
        SCOPED_TRACE(c.text);
        const TxFrame f = PacketTextToFrame(QString::fromLatin1(c.text));
        EXPECT_EQ(f.identifier, c.identifier);
        ASSERT_EQ(f.count, int(c.data.size()));
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(f.data[k], k < f.count ? c.data[k] : 0) << k;
        EXPECT_EQ(f.idText, QString::fromLatin1(c.idText));
        EXPECT_EQ(f.dataText, QString::fromLatin1(c.dataText));
    }
    EXPECT_EQ(PacketIdentifier(0xFF, 0xFF, 0xFF, 0), 0x1FFFFFE0u);
    EXPECT_EQ(PacketIdentifier(0x85, 0xFF, 0x02, 0x00), 0x10BFE040u);
}

TEST(PacketText, RefusedTexts)
{
    const char16_t *refused[] = {
        u"", u"1234567", u"1234567X", u"FFFFFF0G", u"85FF0200 FF", u"+1234567",
        u"85FF0200FF000000000000001A",                    // 26 digits: more than 8 data bytes
        u"85FF0200FF000000000000001A2",                   // 27, still 26 after the drop
        u"\u0661\u0662\u0663\u0664\u0665\u0666\u0667\u0668", // digits, but not hexadecimal ones
        u"0x123456",
    };
    for (const char16_t *text : refused) {
        const QString t = QString::fromUtf16(text);
        SCOPED_TRACE(t.toStdString());
        try {
            PacketTextToFrame(t);
            ADD_FAILURE() << "accepted";
        } catch (const PacketTextError &e) {
            EXPECT_TRUE(e.Message().contains(u'\'' + t + u'\'')) << e.what();
        }
    }
    // Exactly 24 digits, and 25 that shrink to 24, are accepted.
    EXPECT_EQ(PacketTextToFrame(QStringLiteral("85FF0200FF00000000000001")).count, 8);
    EXPECT_EQ(PacketTextToFrame(QStringLiteral("85FF0200FF000000000000012")).count, 8);
}

TEST(PacketText, ReceiveRewrite)
{
    CanPacket r = Delivered(0x10BFE043, {1, 2, 3});
    RewriteReceivedIdentifier(r);
    EXPECT_EQ(r[0], 0x85);
    EXPECT_EQ(r[1], 0xFF);
    EXPECT_EQ(r[2], 0x02);
    EXPECT_EQ(r[3], 0x03);
    EXPECT_EQ(PacketIdText(r), QStringLiteral("85FF0203"));
    // All eight data bytes, whatever the frame carried.
    EXPECT_EQ(PacketDataText(r), QStringLiteral("0102030000000000"));

    // Bits above bit 28 are lost.
    CanPacket top = Delivered(0xFFFFFFFF);
    RewriteReceivedIdentifier(top);
    EXPECT_EQ(PacketIdText(top), QStringLiteral("FFFFFF1F"));
}

TEST(PacketText, RoundTripBelowSubCode20)
{
    const uint8_t heads[][3] = {{0x00, 0x00, 0x00}, {0x85, 0xFF, 0x02}, {0xFF, 0xFF, 0xFF}, {0x20, 0xFF, 0x0B}, {0x01, 0x80, 0x7F}};
    for (const auto &h : heads) {
        for (int sub = 0; sub < 0x20; ++sub) {
            const QString text = QStringLiteral("%1%2%3%4A55A")
                                     .arg(h[0], 2, 16, QLatin1Char('0'))
                                     .arg(h[1], 2, 16, QLatin1Char('0'))
                                     .arg(h[2], 2, 16, QLatin1Char('0'))
                                     .arg(sub, 2, 16, QLatin1Char('0'))
                                     .toUpper();
            const TxFrame f = PacketTextToFrame(text);
            CanPacket r = Delivered(f.identifier, {f.data[0], f.data[1]});
            RewriteReceivedIdentifier(r);
            EXPECT_EQ(PacketIdText(r), text.left(8));
            EXPECT_EQ(PacketTextOf(r), text + QStringLiteral("000000000000"));
        }
    }
}
