#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <initializer_list>
#include <optional>
#include <vector>

#include "app/guard.h"
#include "model/config_loader.h"
#include "model/read_tree.h"
#include "tests/model/model_fixture.h"
#include "tests/support/test_paths.h"

namespace {

// A configuration answer: command 10, section, wire address, table code, then up to eight data bytes.
CanPacket Answer(int section, int wire, int code, std::initializer_list<int> data, int command = 0x10)
{
    CanPacket p;
    p[0] = uint8_t(command);
    p[1] = uint8_t(section);
    p[2] = uint8_t(wire);
    p[3] = uint8_t(code);
    int k = 4;
    for (int b : data)
        p[k++] = uint8_t(b);
    return p;
}

// A description built in code, with the kinds the catalogue reader gives.
struct Description {
    CTree tree;

    CTreeNode *device(const QString &name, const QString &version, int addr)
    {
        auto d = std::make_shared<CDevice>();
        d->kind = "Device";
        d->name = name;
        d->version = version;
        d->device_addr = addr;
        CTreeNode *n = tree.add(nullptr, name, std::move(d));
        n->setImage(imgDevice);
        return n;
    }
    CTreeNode *table(CTreeNode *device, const QString &type, const QString &name, int code, int columns,
                     const QStringList &tabAddr)
    {
        auto t = std::make_shared<CTable>();
        t->kind = "Table";
        t->type = type;
        t->name = name;
        t->can_type = code;
        t->columns = columns;
        t->column_width = 60;
        t->can_data_size = 6;
        t->max_key_count = 32;
        t->tab_addr = tabAddr;
        return tree.addChild(device, name, std::move(t));
    }
    CTreeNode *parameter(CTreeNode *table, const QString &name, const QString &type, int section,
                         const QString &address, const QString &defaultValue = "0", int addressBit = 0)
    {
        auto p = std::make_shared<CParameter>();
        p->kind = "Parameter";
        p->name = name;
        p->type = type;
        p->can_id_razdel = section;
        p->address = address;
        p->address_bit = addressBit;
        p->default_value = defaultValue;
        p->max_value = 255;
        return tree.addChild(table, name, std::move(p));
    }
    CTreeNode *item(CTreeNode *parameter, const QString &name, const QString &value)
    {
        auto i = std::make_shared<CItem>();
        i->kind = "Item";
        i->name = name;
        i->value = value;
        return tree.addChild(parameter, name, std::move(i));
    }
};

// value:image of every value node under a parameter node, "!" marking the default marker.
QStringList Values(const CTreeNode *parameterNode)
{
    QStringList out;
    for (const CTreeNode *v = parameterNode->firstChild(); v; v = v->nextSibling())
        out << v->item()->value + (v->imageIndex == DefaultMarker ? "!" : "");
    return out;
}

// The whole tree as lines: depth, text, images, and a value's record.
QStringList Dump(const CTree &tree)
{
    QStringList out;
    tree.forEach([&](const CTreeNode *n) {
        QString line = QString(n->level(), ' ') + n->text + QStringLiteral(" [%1/%2]").arg(n->imageIndex).arg(n->selectedIndex);
        if (const CItem *i = n->item())
            line += " " + i->name + "=" + i->value;
        out << line;
    });
    return out;
}

} // namespace

// ---- the value of one record ----

TEST(AnswerValue, AssemblesTheSelectedBytesLowestFirst)
{
    struct Case {
        const char *what;
        int mask;
        std::vector<int> data;
        int addressBit;
        const char *type;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"two adjacent bytes", 3, {0x34, 0x12}, 0, "числовой", "4660"},
        {"bytes 0 and 2 skip byte 1", 5, {0x01, 0xEE, 0x02}, 0, "числовой", "513"},
        {"bytes 0 and 7", 0x81, {0x34, 0, 0, 0, 0, 0, 0, 0x12}, 0, "числовой", "4660"},
        {"byte 2 alone", 4, {0xFF, 0xFF, 0x07}, 0, "числовой", "7"},
        {"no byte selected", 0, {0x34, 0x12}, 0, "числовой", std::nullopt},
        {"only bit 8", 256, {0x34, 0x12}, 0, "числовой", std::nullopt},
        {"all ones is -1", 15, {0xFF, 0xFF, 0xFF, 0xFF}, 0, "числовой", "-1"},
        {"-1 keeps its bits", 15, {0xFF, 0xFF, 0xFF, 0xFF}, 4, "логический", "-1"},
        {"FFFF0001 is no answer", 15, {0x01, 0x00, 0xFF, 0xFF}, 0, "числовой", std::nullopt},
        {"from 2^31 negative", 15, {0, 0, 0, 0x80}, 0, "числовой", "-2147483648"},
        {"five bytes that fit", 31, {0x01, 0, 0, 0, 0}, 0, "числовой", "1"},
        {"five bytes above FFFFFFFF", 31, {0, 0, 0, 0, 0x01}, 0, "числовой", std::nullopt},
        {"eight zero bytes", 255, {0, 0, 0, 0, 0, 0, 0, 0}, 0, "числовой", "0"},
        {"bit mask not shifted", 1, {6}, 4, "числовой", "4"},
        {"bit mask gives nothing", 1, {3}, 4, "числовой", "0"},
        {"logical set", 1, {6}, 4, "логический", "+"},
        {"logical clear is a blank", 1, {3}, 4, "логический", " "},
        {"logical without bit mask keeps the number", 1, {5}, 0, "логический", "5"},
    };
    for (const Case &c : cases) {
        CanPacket p = Answer(1, 0, 1, {});
        for (size_t k = 0; k < c.data.size(); ++k)
            p[4 + k] = uint8_t(c.data[k]);
        CParameter param;
        param.type = QString::fromUtf8(c.type);
        param.address_bit = c.addressBit;
        EXPECT_EQ(AnswerValueText(p, c.mask, param), c.expected) << c.what;
    }
}

// ---- which record answers a column ----

TEST(AnswerMatching, BothFindersTakeTheEarliestMatchingRecord)
{
    // Device at wire address 4, section 7.
    struct Case {
        const char *what;
        std::vector<CanPacket> packets;
        AnswerQuery query;
        int expected; // index of the record, -1 for none
    };
    const AnswerQuery column10{4, 7, 1, 10, false};
    const std::vector<Case> cases = {
        {"exact", {Answer(7, 4, 1, {10, 1})}, column10, 0},
        {"wrong command", {Answer(7, 4, 1, {10}, 0x11)}, column10, -1},
        {"wrong section", {Answer(8, 4, 1, {10})}, column10, -1},
        {"wrong address", {Answer(7, 5, 1, {10})}, column10, -1},
        {"wrong table code", {Answer(7, 4, 2, {10})}, column10, -1},
        {"wrong column", {Answer(7, 4, 1, {11})}, column10, -1},
        {"earliest wins", {Answer(7, 5, 1, {10, 1}), Answer(7, 4, 1, {10, 2}), Answer(7, 4, 1, {10, 3})}, column10, 1},
        {"any column takes the first of its table",
         {Answer(7, 4, 2, {0}), Answer(7, 4, 1, {33}), Answer(7, 4, 1, {10})}, {4, 7, 1, 10, true}, 1},
        {"no address matches nothing", {Answer(7, 4, 1, {0}), Answer(7, 4, 1, {10})}, {4, 7, 1, std::nullopt, false}, -1},
        {"no address, any column", {Answer(7, 4, 1, {0})}, {4, 7, 1, std::nullopt, true}, 0},
        {"address above a byte", {Answer(7, 4, 1, {0x10})}, {4, 7, 1, 0x110, false}, -1},
        {"key 5 is not key 261", {Answer(7, 4, 3, {5, 1})}, {4, 7, 3, 5, false}, -1},
        {"key 261", {Answer(7, 4, 3, {5, 0}), Answer(7, 4, 3, {5, 1})}, {4, 7, 3, 261, false}, 1},
        {"key 5", {Answer(7, 4, 3, {5, 1}), Answer(7, 4, 3, {5, 0})}, {4, 7, 3, 5, false}, 1},
        {"any key", {Answer(7, 4, 2, {5}), Answer(7, 4, 3, {9, 2}), Answer(7, 4, 3, {5})}, {4, 7, 3, std::nullopt, false}, 1},
        {"negative key is any key", {Answer(7, 4, 3, {9, 2})}, {4, 7, 3, -1, false}, 0},
        {"the key table ignores any column", {Answer(7, 4, 3, {9, 2})}, {4, 7, 3, 5, true}, -1},
        {"key above 16 bits", {Answer(7, 4, 3, {5, 0})}, {4, 7, 3, 65536 + 5, false}, -1},
        {"address out of range", {Answer(7, 255, 1, {10})}, {-1, 7, 1, 10, true}, -1},
    };
    for (const Case &c : cases) {
        const AnswerScan scan(c.packets);
        const AnswerIndex index(c.packets);
        const CanPacket *expected = c.expected < 0 ? nullptr : &c.packets[c.expected];
        EXPECT_EQ(scan.find(c.query), expected) << "scan: " << c.what;
        EXPECT_EQ(index.find(c.query), expected) << "index: " << c.what;
    }
}

TEST(AnswerMatching, IndexAgreesWithTheScanOnRandomLists)
{
    QRandomGenerator rng(20240610);
    auto pick = [&](int n) { return int(rng.bounded(n)); };
    for (int round = 0; round < 200; ++round) {
        std::vector<CanPacket> packets;
        const int n = pick(60);
        for (int i = 0; i < n; ++i)
            packets.push_back(Answer(pick(3), pick(3), pick(2) ? 3 : pick(3), {pick(4), pick(3)}, pick(5) ? 0x10 : 0x11));
        const AnswerScan scan(packets);
        const AnswerIndex index(packets);
        for (int q = 0; q < 50; ++q) {
            AnswerQuery query{pick(4) - 1, pick(3), pick(2) ? 3 : pick(3), std::nullopt, pick(2) == 0};
            if (pick(4))
                query.columnKey = pick(5) - 1 + 256 * pick(3);
            ASSERT_EQ(scan.find(query), index.find(query)) << "round " << round << " query " << q;
        }
        // The keys a read of every key decodes, over any choice of sections (repeats and strays too).
        for (int q = 0; q < 20; ++q) {
            std::vector<int> sections;
            for (int s = pick(4); s > 0; --s)
                sections.push_back(pick(5) - 1);
            const int wire = pick(4) - 1;
            const int code = pick(2) ? 3 : pick(3);
            ASSERT_EQ(scan.answeredKeys(wire, code, sections), index.answeredKeys(wire, code, sections))
                << "round " << round << " keys " << q;
        }
    }
}

TEST(AnswerMatching, BothFindersListTheKeysOnceInTheOrderSent)
{
    // Device at wire address 4; the key table's parameters take sections 0 and 1.
    struct Case {
        const char *what;
        std::vector<CanPacket> packets;
        std::vector<int> sections;
        std::vector<int> expected;
        int code = 3;
    };
    const std::vector<Case> cases = {
        {"none", {}, {0, 1}, {}},
        {"in the order sent",
         {Answer(0, 4, 3, {12, 0}), Answer(1, 4, 3, {12, 0}), Answer(0, 4, 3, {0, 0}), Answer(1, 4, 3, {1, 0})},
         {0, 1},
         {12, 0, 1}},
        {"a key sent twice counts once, where it came first",
         {Answer(1, 4, 3, {1, 0}), Answer(0, 4, 3, {0, 0}), Answer(0, 4, 3, {1, 0})},
         {0, 1},
         {1, 0}},
        {"the whole number", {Answer(0, 4, 3, {5, 1}), Answer(0, 4, 3, {5, 0})}, {0}, {261, 5}},
        {"only the table's sections", {Answer(2, 4, 3, {7, 0}), Answer(1, 4, 3, {8, 0})}, {0, 1}, {8}},
        {"only this device and command",
         {Answer(0, 5, 3, {7, 0}), Answer(0, 4, 3, {8, 0}, 0x11), Answer(0, 4, 2, {9, 0})},
         {0, 1},
         {}},
        {"only the key table", {Answer(0, 4, 2, {9, 0})}, {0}, {}, 2},
    };
    for (const Case &c : cases) {
        const AnswerScan scan(c.packets);
        const AnswerIndex index(c.packets);
        EXPECT_EQ(scan.answeredKeys(4, c.code, c.sections), c.expected) << "scan: " << c.what;
        EXPECT_EQ(index.answeredKeys(4, c.code, c.sections), c.expected) << "index: " << c.what;
    }
}

// ---- the read-back tree ----

class ReadTree : public ::testing::Test {
protected:
    Description d;
    CTree out;
    std::vector<CanPacket> rx;

    CTreeNode *build(CTreeNode *device, const QStringList &keys = {})
    {
        CTreeNode *top = BuildReadTree(out, *device, rx, keys);
        // The plain scan must build the very same tree.
        CTree byScan;
        BuildReadTree(byScan, *device, AnswerScan(rx), keys);
        EXPECT_EQ(Dump(out), Dump(byScan));
        return top;
    }
};

TEST_F(ReadTree, CopiesTheDescriptionShapeWithImagesAndValues)
{
    CTreeNode *dev = d.device("Тиврон-А", "2.1", 5); // wire address 4
    CTreeNode *common = d.table(dev, "table", "Общие параметры", 0, 1, {"00"});
    CTreeNode *mode = d.parameter(common, "Режим", "список", 2, "2", "1");
    d.item(mode, "Выключен", "0");
    d.item(mode, "Включен", "1");
    d.parameter(common, "Задержка", "числовой", 3, "6", "30");
    CTreeNode *keys = d.table(dev, "key", "Таблица ключей", 3, 1, {});
    d.parameter(keys, "Номер ключа", "числовой", 1, "3");
    d.table(dev, "pass", "Таблица паролей", 7, 1, {});
    d.table(dev, "other", "Прочее", 9, 1, {});
    rx = {Answer(2, 4, 0, {0, 1}), Answer(3, 4, 0, {9, 0x10, 0x27}), Answer(1, 4, 3, {7, 0})};

    CTreeNode *top = build(dev, {"2. <ключ> №7"});
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(Dump(out), QStringList({
                             "Тиврон-А (2.1) [0/0]",
                             " Общие параметры [1/1]",
                             "  Режим [2/2]",
                             "   Выключен [3/3] Выключен=1",
                             "  Задержка [2/2]",
                             "   Задержка [3/3] Задержка=10000",
                             " Таблица ключей [4/4]",
                             "  Таблица ключей [4/4]",
                             "   Номер ключа [2/2]",
                             "    Номер ключа [3/3] Номер ключа=7",
                             " Таблица паролей [5/5]",
                             " Прочее [0/0]",
                         }));
    // Copies leave out what the pages never read from them.
    EXPECT_TRUE(top->child(0)->table()->tab_addr.isEmpty());
    EXPECT_EQ(top->child(0)->child(0)->parameter()->can_id_razdel, 0);
    EXPECT_EQ(top->child(0)->child(0)->parameter()->address, "2");
    EXPECT_EQ(top->device()->device_addr, 0);
    // The description is not touched.
    EXPECT_EQ(common->table()->tab_addr, QStringList({"00"}));
    EXPECT_EQ(mode->childCount(), 2);
}

TEST_F(ReadTree, MultiColumnTableWithoutAnswersShowsAddressesAndDefaults)
{
    CTreeNode *dev = d.device("Тиврон-2", "1.0", 1);
    CTreeNode *loops = d.table(dev, "table", "шлейфы", 1, 4, {"01", "0A", "10"}); // one address short
    d.parameter(loops, "Номер", "sys", 1, "1", "нет");
    d.parameter(loops, "Тип", "список", 2, "2", "7");
    rx = {Answer(2, 0, 1, {0x0A, 3}), Answer(1, 0, 1, {0x00, 9})};

    build(dev);
    const CTreeNode *t = out.firstNode()->firstChild();
    EXPECT_EQ(Values(t->child(0)), QStringList({"1!", "10!", "16!", "нет!"}));
    // Column 0A answered; the fourth column has no address, so the answer for 00 is not taken for it.
    EXPECT_EQ(Values(t->child(1)), QStringList({"7!", "3", "7!", "7!"}));
    for (const CTreeNode *v = t->child(0)->firstChild(); v; v = v->nextSibling())
        EXPECT_EQ(v->selectedIndex, imgItem);
}

TEST_F(ReadTree, OneColumnTableTakesAnyColumnUnlessItsFirstParameterIsSys)
{
    struct Case {
        const char *firstType;
        int column; // byte 4 of the only answer
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"числовой", 0x33, "5"}, {"числовой", 0x0A, "5"}, {"sys", 0x33, "0!"},
        {"SYS", 0x33, "0!"},     {"Sys", 0x33, "0!"},     {"sys", 0x0A, "5"},
    };
    for (const Case &c : cases) {
        Description desc;
        CTreeNode *dev = desc.device("Тиврон-АСПТ", "1.0", 2);
        CTreeNode *t = desc.table(dev, "table", "Системные", 5, 1, {"0A"});
        desc.parameter(t, "Первый", QString::fromUtf8(c.firstType), 4, "2");
        rx = {Answer(4, 1, 5, {c.column, 5})};
        CTree tree;
        BuildReadTree(tree, *dev, rx, {});
        EXPECT_EQ(Values(tree.firstNode()->firstChild()->firstChild()), QStringList({c.expected}))
            << c.firstType << " " << c.column;
    }
}

TEST_F(ReadTree, KeysFollowTheListAndMatchTheirWholeNumber)
{
    CTreeNode *dev = d.device("Тиврон-А", "2.1", 3); // wire address 2
    d.table(dev, "table", "Общие параметры", 0, 1, {"00"});
    CTreeNode *keys = d.table(dev, "key", "Таблица ключей", 3, 1, {});
    d.parameter(keys, "Номер ключа", "числовой", 1, "3");
    d.parameter(keys, "Тип ключа", "числовой", 2, "4");
    rx = {
        Answer(1, 2, 3, {5, 1, 5, 1}), // key 261
        Answer(2, 2, 3, {5, 1, 2}),
        Answer(1, 2, 3, {12, 0, 12, 0}),
        Answer(2, 2, 3, {12, 0, 1}),
        Answer(1, 2, 3, {0, 0, 0, 0}), // the master key
        Answer(2, 2, 3, {0, 0, 3}),
    };

    build(dev, {"1. Мастер-ключ", "2. <ключ> №5", "3. <ключ> №12", "4. <ключ> № 261"});
    const CTreeNode *t = out.firstNode()->child(1);
    ASSERT_EQ(t->childCount(), 4);
    auto valuesOf = [&](int key) {
        QStringList v;
        for (const CTreeNode *p = t->child(key)->firstChild(); p; p = p->nextSibling())
            v << Values(p).join(",");
        return v;
    };
    EXPECT_EQ(valuesOf(0), QStringList({"0", "3"}));
    EXPECT_EQ(valuesOf(1), QStringList({"", ""})) << "key 5 did not answer: no values, no defaults";
    EXPECT_EQ(valuesOf(2), QStringList({"12", "1"}));
    EXPECT_EQ(valuesOf(3), QStringList({"261", "2"}));
    EXPECT_EQ(Texts(t->child(1)->firstChild()), QStringList({"Номер ключа", "Тип ключа"}));
}

TEST_F(ReadTree, EmptyKeyListGivesEveryKeyThatAnsweredInTheOrderSent)
{
    // A read that asked for every key (FFFF): each key the device sent gets its own node and values.
    CTreeNode *dev = d.device("Тиврон-А", "2.1", 3); // wire address 2
    CTreeNode *keys = d.table(dev, "key", "Таблица ключей", 3, 1, {});
    d.parameter(keys, "Номер ключа", "числовой", 0, "3");
    d.parameter(keys, "Тип ключа", "числовой", 0, "4");
    d.parameter(keys, "ID ключа (код) №1", "числовой", 1, "128");
    rx = {
        Answer(0, 2, 3, {0, 0, 2}),        // the master key
        Answer(1, 2, 3, {0, 0, 0, 0, 0, 0, 0, 0xA1}),
        Answer(0, 2, 1, {1, 0, 9}),        // another table
        Answer(0, 3, 3, {7, 0, 9}),        // another device
        Answer(0, 2, 3, {1, 0, 1}),
        Answer(1, 2, 3, {1, 0, 0, 0, 0, 0, 0, 0x1A}),
        Answer(0, 2, 3, {1, 0, 3}),        // key 1 again: the first answer stands
        Answer(0, 2, 3, {12, 0, 3}),
        Answer(1, 2, 3, {12, 0, 0, 0, 0, 0, 0, 0xEE}),
    };

    build(dev);
    const CTreeNode *t = out.firstNode()->firstChild();
    ASSERT_EQ(t->childCount(), 3);
    auto valuesOf = [&](int key) {
        QStringList v;
        for (const CTreeNode *p = t->child(key)->firstChild(); p; p = p->nextSibling())
            v << Values(p).join(",");
        return v;
    };
    EXPECT_EQ(valuesOf(0), QStringList({"0", "2", "161"}));
    EXPECT_EQ(valuesOf(1), QStringList({"1", "1", "26"}));
    EXPECT_EQ(valuesOf(2), QStringList({"12", "3", "238"}));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t->child(k)->text, QStringLiteral("Таблица ключей")) << k;
        EXPECT_EQ(t->child(k)->imageIndex, imgKeyTable) << k;
    }

    // The order is the device's, whatever the numbers.
    rx = {Answer(0, 2, 3, {12, 0, 3}), Answer(0, 2, 3, {0, 0, 2}), Answer(1, 2, 3, {1, 0})};
    out.clear();
    build(dev);
    t = out.firstNode()->firstChild();
    ASSERT_EQ(t->childCount(), 3);
    EXPECT_EQ(valuesOf(0), QStringList({"12", "3", ""}));
    EXPECT_EQ(valuesOf(1), QStringList({"0", "2", ""}));
    EXPECT_EQ(valuesOf(2), QStringList({"", "", "0"})) << "key 1 sent only its code";

    // No key answered: one node, without values.
    rx = {Answer(0, 2, 1, {1, 0, 9})};
    out.clear();
    build(dev);
    t = out.firstNode()->firstChild();
    ASSERT_EQ(t->childCount(), 1);
    EXPECT_EQ(valuesOf(0), QStringList({"", "", ""}));
}

TEST_F(ReadTree, ListedKeysTakeOnlyTheirOwnAnswers)
{
    // A read that asked for certain keys shows those, whatever else answered.
    CTreeNode *dev = d.device("Тиврон-А", "2.1", 3);
    CTreeNode *keys = d.table(dev, "key", "Таблица ключей", 3, 1, {});
    d.parameter(keys, "Номер ключа", "числовой", 0, "3");
    rx = {Answer(0, 2, 3, {0, 0}), Answer(0, 2, 3, {1, 0}), Answer(0, 2, 3, {12, 0})};

    build(dev, {"1. <ключ> №12"});
    const CTreeNode *t = out.firstNode()->firstChild();
    ASSERT_EQ(t->childCount(), 1);
    EXPECT_EQ(Values(t->firstChild()->firstChild()), QStringList({"12"}));
}

TEST(KeyNumber, IsTheNumberAfterTheFirstSign)
{
    const std::vector<std::pair<QString, int>> cases = {
        {"№12", 12},          {"3. <ключ> №5", 5}, {"1. Мастер-ключ", 0}, {"№ 1", 1},
        {"<ключ> №abc", 0},   {"17", 17},         {"<a №2> №3", 0},     {"", 0},
    };
    for (const auto &[text, number] : cases)
        EXPECT_EQ(KeyNumberFromText(text), number) << text.toStdString();

    CTree list;
    list.add(nullptr, "1. Мастер-ключ");
    CTreeNode *k = list.add(nullptr, "2. <ключ> №4");
    list.addChild(k, "not a key");
    EXPECT_EQ(KeyListTexts(list), QStringList({"1. Мастер-ключ", "2. <ключ> №4"}));
}

TEST_F(ReadTree, ABadAddressIsAnErrorTheReadCanCatch)
{
    struct Case {
        const char *address;
        QStringList tabAddr;
        const char *message;
    };
    const std::vector<Case> cases = {
        {"abc", {"01", "02"}, "Адрес 'abc' параметра 'Тип' не является целым числом."},
        {"", {"01", "02"}, "Адрес '' параметра 'Тип' не является целым числом."},
        {"1", {"01", "0G"}, "Адрес столбца '0G' таблицы 'Выходы' не является шестнадцатеричным числом."},
        {"1", {"01", ""}, "Адрес столбца '' таблицы 'Выходы' не является шестнадцатеричным числом."},
    };
    for (const Case &c : cases) {
        Description desc;
        CTreeNode *dev = desc.device("Тиврон-2", "1.0", 1);
        CTreeNode *t = desc.table(dev, "table", "Выходы", 2, 2, c.tabAddr);
        desc.parameter(t, "Тип", "список", 1, QString::fromUtf8(c.address));
        CTree tree;
        try {
            BuildReadTree(tree, *dev, rx, {});
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const CConvertError &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), QString::fromUtf8(c.message));
        }
    }

    // Inside a handler it reaches the engineer as an error message, and the program goes on.
    ModelFixture fx;
    CTreeNode *dev = d.device("Тиврон-2", "1.0", 1);
    d.parameter(d.table(dev, "table", "Выходы", 2, 1, {"01"}), "Тип", "список", 1, "x");
    RunGuarded([&] { BuildReadTree(out, *dev, rx, {}); });
    ASSERT_EQ(fx.messages.size(), 1u);
    EXPECT_EQ(fx.messages[0].text, "Адрес 'x' параметра 'Тип' не является целым числом.");
    EXPECT_EQ(fx.messages[0].kind, mtError);
}

TEST(CloneNode, CopiesKeysAndPasswordsAndRefusesOtherKinds)
{
    CTree src, dst;
    auto key = std::make_shared<CKey>();
    key->kind = "Key";
    key->id = 2;
    key->name = "<ключ> №5";
    key->key_type = 3;
    key->key_code = "0000000000AB";
    key->master = false;
    key->hos_count = 2;
    key->hos_chk = {true, false, true, true};
    CTreeNode *k = src.add(nullptr, "k", key);
    auto pass = std::make_shared<CPass>();
    pass->kind = "Pass";
    pass->id = 1;
    pass->name = "Админ";
    pass->password = "1234";
    pass->administrator = true;
    pass->hos_key = true;
    pass->hos_count = 1;
    pass->hos_chk = {true};
    CTreeNode *p = src.add(nullptr, "p", pass);
    auto stored = std::make_shared<CItem>();
    stored->kind = "ItemValue";
    stored->value = "42";
    CTreeNode *s = src.add(nullptr, "s", stored);
    CTreeNode *flag = src.add(nullptr, "ШС1 (1)", LoopFlag{true});
    auto unnamed = std::make_shared<CTable>(); // made by a page, not read from a file
    CTreeNode *u = src.add(nullptr, "u", unnamed);

    CTreeNode *parent = dst.add(nullptr, "parent");
    CTreeNode *kc = CloneNode(*k, parent, "", false, dst);
    ASSERT_NE(kc, nullptr);
    EXPECT_EQ(kc->text, "<ключ> №5");
    EXPECT_EQ(kc->imageIndex, imgKey);
    EXPECT_EQ(kc->key()->id, 2);
    EXPECT_EQ(kc->key()->key_code, "0000000000AB");
    EXPECT_EQ(kc->key()->hos_count, 2);
    EXPECT_EQ(kc->key()->key_type, 0);
    EXPECT_TRUE(kc->key()->hos_chk.empty());

    CTreeNode *pc = CloneNode(*p, parent, "", true, dst);
    ASSERT_NE(pc, nullptr);
    EXPECT_EQ(pc->imageIndex, DefaultMarker);
    EXPECT_EQ(pc->selectedIndex, imgPass);
    EXPECT_EQ(pc->pass()->password, "1234");
    EXPECT_TRUE(pc->pass()->administrator && pc->pass()->hos_key);
    EXPECT_TRUE(pc->pass()->hos_chk.empty());

    CTreeNode *sc = CloneNode(*s, parent, "ignored", false, dst);
    ASSERT_NE(sc, nullptr);
    EXPECT_EQ(sc->item()->value, "42");

    EXPECT_EQ(CloneNode(*flag, parent, "", false, dst), nullptr);
    EXPECT_EQ(CloneNode(*u, parent, "", false, dst), nullptr);
    EXPECT_EQ(Texts(parent->firstChild()), QStringList({"<ключ> №5", "Админ", ""}));
}

TEST(ReadTreeCatalogue, EveryModelDecodesWithoutAnswers)
{
    // The sample catalogue must give a read-back tree for every model: addresses are numbers, table
    // addresses hexadecimal, and every plain value falls back to a marked default.
    ModelFixture fx;
    CTree catalogue;
    ASSERT_TRUE(LoadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    const std::vector<CanPacket> none;
    for (const CTreeNode *dev = catalogue.firstNode(); dev; dev = dev->nextSibling()) {
        CTree out;
        ASSERT_NO_THROW(BuildReadTree(out, *dev, none, {"1. Мастер-ключ"})) << dev->text.toStdString();
        int values = 0;
        out.forEach([&](const CTreeNode *n) {
            if (n->item()) {
                ++values;
                EXPECT_EQ(n->imageIndex, DefaultMarker);
            }
        });
        EXPECT_GT(values, 0) << dev->text.toStdString();
    }
}
