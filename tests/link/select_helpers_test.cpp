// The line search without a window: broadcast bytes, search answers, device texts, sort orders.
#include <gtest/gtest.h>

#include <QDateTime>

#include "link/device_search.h"
#include "model/config_tree.h"
#include "tests/link/fake_dll_fixture.h"

namespace {

CanPacket Record(std::vector<uint8_t> bytes)
{
    CanPacket r;
    for (std::size_t k = 0; k < bytes.size(); ++k)
        r[k] = bytes[k];
    return r;
}

} // namespace

TEST(SearchBroadcast, ClockBytes)
{
    const struct {
        QDateTime clock;
        const char *text;
    } cases[] = {
        {QDateTime(QDate(2017, 3, 2), QTime(14, 5, 9)), "FFFFFF00111403020E050904"},  // a Thursday
        {QDateTime(QDate(2024, 12, 29), QTime(23, 59, 58)), "FFFFFF0018140C1D173B3A00"}, // a Sunday: 0
        {QDateTime(QDate(2023, 1, 2), QTime(0, 0, 0)), "FFFFFF0017140102000000" "01"},   // a Monday: 1
        // Each field is its low byte: never more than two digits.
        {QDateTime(QDate(2300, 6, 1), QTime(1, 2, 3)), "FFFFFF002C17060101020305"}, // a Friday
        {QDateTime(QDate(1999, 6, 1), QTime(1, 2, 3)), "FFFFFF00FF13060101020302"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SearchBroadcastText(c.clock).toStdString(), c.text);
}

TEST(SearchAnswer, OnlyAnswersWithAUsableAddress)
{
    const auto answer = ReadSearchAnswer(Record({0x20, 0xFF, 0x04, 0x00, 0x02, 9, 9, 9, 9, 9, 9, 9}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->typeId, 2);
    EXPECT_EQ(answer->address, 5);
    EXPECT_EQ(ReadSearchAnswer(Record({0x20, 0xFF, 0x00, 0x00, 0x0E}))->address, 1);
    EXPECT_EQ(ReadSearchAnswer(Record({0x20, 0xFF, 0xFE, 0x00, 0x0E}))->address, 255);

    EXPECT_FALSE(ReadSearchAnswer(Record({0x20, 0xFF, 0xFF, 0x00, 0x02}))); // address 256
    EXPECT_FALSE(ReadSearchAnswer(Record({0x21, 0xFF, 0x04, 0x00, 0x02})));
    EXPECT_FALSE(ReadSearchAnswer(Record({0x20, 0xFE, 0x04, 0x00, 0x02})));
    EXPECT_FALSE(ReadSearchAnswer(Record({0x20, 0xFF, 0x04, 0x01, 0x02})));
}

TEST(DeviceText, RoundTripAndOddTexts)
{
    EXPECT_EQ(DeviceText(QStringLiteral("Тиврон-2"), 5), QStringLiteral("Тиврон-2 <5>"));
    const struct {
        QString text;
        QString name;
        int address;
    } cases[] = {
        {DeviceText(QStringLiteral("Тиврон-2"), 5), QStringLiteral("Тиврон-2"), 5},
        {DeviceText(QStringLiteral("Тиврон-АСПТ-А"), 255), QStringLiteral("Тиврон-АСПТ-А"), 255},
        {QStringLiteral("A <1> <2>"), QStringLiteral("A"), 1},
        {QStringLiteral("A<7>"), QString(), 7},  // the character before "<" is dropped, whatever it is
        {QStringLiteral("AB<7>"), QStringLiteral("A"), 7},
        {QStringLiteral("<7>"), QString(), 7},
        {QStringLiteral("A <x>"), QStringLiteral("A"), 0},
        {QStringLiteral("A <12"), QStringLiteral("A"), 0},
        {QStringLiteral("A >3<"), QStringLiteral("A >"), 0},
        {QStringLiteral("A"), QString(), 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DeviceTextName(c.text), c.name) << qPrintable(c.text);
        EXPECT_EQ(DeviceTextAddress(c.text), c.address) << qPrintable(c.text);
    }
}

TEST(DeviceSort, NameAndAddressOrders)
{
    // ё (B8 in Windows-1251) comes before я (FF) there, after it in UTF-16.
    ASSERT_GT(QStringLiteral("ё").compare(QStringLiteral("я")), 0);

    const struct {
        const char *text1;
        const char *text2;
        int order;
        int expected;
    } cases[] = {
        {"X-2 <9>", "X-10 <1>", SortByName, -1},          // numbers 2 and 10
        {"X-10 <1>", "X-2 <9>", SortByName, 1},
        {"X-А <1>", "X-999 <1>", SortByName, 1},          // not a number: 1000
        {"X-А <1>", "X-1000 <1>", SortByName, -1},        // 1000 both: the shorter first
        {"Y <1>", "Тиврон-А <1>", SortByName, -1},        // no "-": the whole name, not a number
        {"Тиврон-А <1>", "Тиврон-АСПТ <1>", SortByName, -1},
        {"Тиврон-ё <1>", "Тиврон-я <1>", SortByName, -1}, // byte-wise in Windows-1251
        {"Тиврон-я <1>", "Тиврон-ё <1>", SortByName, 1},
        {"X-a <1>", "X-A <1>", SortByName, 1},            // case-sensitive: A (41) before a (61)
        {"Тиврон-2 <5>", "Тиврон-2 <7>", SortByName, 0},  // the address plays no part
        {"A <3>", "B <12>", SortByAddress, -1},
        {"B <12>", "A <3>", SortByAddress, 1},
        {"A <5>", "B <5>", SortByAddress, 0},
        {"A <x>", "B <1>", SortByAddress, -1},            // not a number: 0
        {"X-2 <1>", "X-10 <2>", -1, 0},                   // no order chosen
    };
    for (const auto &c : cases)
        EXPECT_EQ(CompareDeviceTexts(QString::fromUtf8(c.text1), QString::fromUtf8(c.text2), c.order), c.expected)
            << c.text1 << " / " << c.text2 << " order " << c.order;
}

TEST(DeviceSort, NameNumber)
{
    EXPECT_EQ(DeviceNameNumber(QStringLiteral("Тиврон-2")), 2);
    EXPECT_EQ(DeviceNameNumber(QStringLiteral("Тиврон-2-3")), 1000);
    EXPECT_EQ(DeviceNameNumber(QStringLiteral("12")), 12);
    EXPECT_EQ(DeviceNameNumber(QStringLiteral("Тиврон-")), 1000);
    EXPECT_EQ(DeviceNameNumber(QStringLiteral("Тиврон--5")), -5);
}

TEST(SearchAnswer, RecordedIntoTheList)
{
    CTree catalogue, list;
    auto model = [&](const QString &name, int id) {
        auto d = std::make_shared<CDevice>();
        d->name = name;
        d->device_id = id;
        catalogue.addChild(nullptr, name, d);
    };
    model(QStringLiteral("Тиврон-А"), 14);
    model(QStringLiteral("Двойник"), 14); // same type id: never receives answers
    model(QStringLiteral("Тиврон-2"), 2);

    EXPECT_TRUE(RecordSearchAnswer(Record({0x20, 0xFF, 0x04, 0x00, 0x02}), catalogue, list));
    EXPECT_FALSE(RecordSearchAnswer(Record({0x20, 0xFF, 0x04, 0x00, 0x02}), catalogue, list)); // already listed
    EXPECT_TRUE(RecordSearchAnswer(Record({0x20, 0xFF, 0x02, 0x00, 0x0E}), catalogue, list));
    EXPECT_TRUE(RecordSearchAnswer(Record({0x20, 0xFF, 0x06, 0x00, 0x0E}), catalogue, list));
    EXPECT_FALSE(RecordSearchAnswer(Record({0x20, 0xFF, 0x06, 0x00, 0x63}), catalogue, list)); // unknown type
    EXPECT_FALSE(RecordSearchAnswer(Record({0x20, 0xFF, 0xFF, 0x00, 0x02}), catalogue, list)); // address 256

    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.topNode(0)->text, QStringLiteral("Тиврон-2 <5>"));
    EXPECT_EQ(list.topNode(1)->text, QStringLiteral("Тиврон-А <3>"));
    EXPECT_EQ(list.topNode(2)->text, QStringLiteral("Тиврон-А <7>"));
    EXPECT_EQ(list.topNode(2)->device(), catalogue.topNode(0)->device()); // the catalogue's own object
    EXPECT_EQ(catalogue.topNode(0)->device()->device_addr, 7);            // the last answer processed
    EXPECT_EQ(catalogue.topNode(1)->device()->device_addr, 0);
    EXPECT_EQ(catalogue.topNode(2)->device()->device_addr, 5);
}

TEST(DeviceSort, ListRebuiltInOrder)
{
    CTree list;
    auto device = std::make_shared<CDevice>();
    const char *texts[] = {"X-10 <1>", "X-2 <9>", "Y-2 <3>", "X-2 <3>"};
    for (const char *t : texts)
        list.addChild(nullptr, QString::fromUtf8(t), device)->setImage(7);
    auto order = [&list] {
        QStringList out;
        for (CTreeNode *n = list.firstNode(); n; n = n->nextSibling())
            out << n->text;
        return out.join(QStringLiteral(", "));
    };

    // Equal names keep their order: the sort is stable.
    CTreeNode *again = SortDeviceList(list, SortByName, list.topNode(3));
    EXPECT_EQ(order(), QStringLiteral("X-2 <9>, X-2 <3>, Y-2 <3>, X-10 <1>"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again, list.topNode(1));
    EXPECT_EQ(again->imageIndex, 7);
    EXPECT_EQ(again->device(), device.get());

    EXPECT_FALSE(SortDeviceList(list, SortByAddress, nullptr));
    EXPECT_EQ(order(), QStringLiteral("X-10 <1>, X-2 <3>, Y-2 <3>, X-2 <9>"));
    EXPECT_EQ(list.count(), 4);
}
