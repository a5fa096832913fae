#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "editor/config_files.h"
#include "editor/config_write.h"
#include "editor/param_page.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "tests/editor/pages_fixture.h"

namespace {

using namespace pages_fixture;

struct ParamDef {
    QString type;
    QString mask;
    QString cell;          // the same text in every column unless cells is given
    int bit = 0;
    int formula = 0;
    int min = 0, max = 255;
    QStringList items = {}; // name=value
    QStringList cells = {};
};

// A "table" table with its page made as the pages make it, then the cells set as shown.
struct TableFixture {
    CTree tree;
    CTreeNode *device = nullptr;
    CTreeNode *table = nullptr;
    CParamPage page;

    TableFixture(int dataSize, int section, int canType, int columns, const std::vector<ParamDef> &params,
                 QStringList tabAddr = {})
    {
        device = AddDevice(tree, QStringLiteral("Тиврон-А"), 5);
        table = AddTable(tree, device, QStringLiteral("Т"), QStringLiteral("table"), columns, tabAddr);
        table->table()->can_data_size = dataSize;
        table->table()->can_type = canType;
        int i = 0;
        for (const ParamDef &s : params) {
            CTreeNode *n = AddParameter(tree, table, QStringLiteral("P%1").arg(i++), s.type, QStringLiteral("0"), s.min,
                                        s.max, s.formula);
            n->parameter()->can_id_razdel = section;
            n->parameter()->address = s.mask;
            n->parameter()->address_bit = s.bit;
            for (const QString &item : s.items)
                AddItem(tree, n, item.section('=', 0, 0), item.section('=', 1, 1));
        }
        BuildParamRows(page, table, false, nullptr);
        for (int r = 0; r < int(params.size()); ++r)
            for (int c = 0; c < page.Columns; ++c)
                page.SetCellText(r, c, params[r].cells.isEmpty() ? params[r].cell : params[r].cells[c]);
    }
};

const QString kNum = QStringLiteral("числовой");
const QString kBool = QStringLiteral("логический");
const QString kList = QStringLiteral("список");
const QString kText = QStringLiteral("текстовый");

} // namespace

TEST(HexTextToInt, CapitalsOnlyAndEveryCharacterTakesItsPlace)
{
    EXPECT_EQ(HexTextToInt(QStringLiteral("FF")), 255);
    EXPECT_EQ(HexTextToInt(QStringLiteral("ff")), 0);
    EXPECT_EQ(HexTextToInt(QStringLiteral("1a")), 16);
    EXPECT_EQ(HexTextToInt(QString()), 0);
    EXPECT_EQ(HexTextToInt(QStringLiteral("7FFFFFFF")), 0x7FFFFFFF);
}

TEST(ConfigWrite, GoldenTablePackets)
{
    struct Case {
        const char *what;
        int dataSize, section, canType, columns;
        std::vector<ParamDef> params;
        QStringList expected; // one per column, at device address 5
        QStringList tabAddr = {};
    };
    const std::vector<Case> cases = {
        {"a one-byte and a two-byte little-endian number", 3, 2, 1, 1,
         {{kNum, "1", "5"}, {kNum, "6", "4660", 0, 0, 0, 65535}},
         {"01 02 04 01 05 34 12"}},
        {"formula 10: 4 is shown for raw 250", 1, 0, 0, 1, {{kNum, "1", "4", 0, 10}}, {"01 00 04 00 FA"}},
        {"two booleans sharing a byte", 1, 0, 2, 1, {{kBool, "1", "+", 2}, {kBool, "1", "+", 16}}, {"01 00 04 02 12"}},
        {"a blank boolean leaves its bit out", 1, 0, 2, 1, {{kBool, "1", "+", 2}, {kBool, "1", " ", 16}},
         {"01 00 04 02 02"}},
        {"booleans without a bit mask write what they show", 2, 0, 2, 1, {{kBool, "1", "+"}, {kBool, "2", " "}},
         {"01 00 04 02 01 00"}},
        {"a list name and a name no item has", 2, 0, 2, 1,
         {{kList, "1", "Два", 0, 0, 0, 255, {"Один=1", "Два=2"}}, {kList, "2", "7", 0, 0, 0, 255, {"Один=1"}}},
         {"01 00 04 02 02 00"}},
        {"a text parameter adds nothing", 2, 0, 2, 1, {{kText, "3", "ABC"}, {kNum, "2", "9"}}, {"01 00 04 02 00 09"}},
        {"a negative value over two bytes", 2, 0, 2, 1, {{kNum, "3", "-2", 0, 0, -100, 100}}, {"01 00 04 02 FE FF"}},
        {"sys in any letter case", 1, 5, 5, 1, {{QStringLiteral("SYS"), "1", "5"}}, {"01 05 04 05 05"}},
        {"a value wider than its mask keeps its low byte", 1, 0, 0, 1, {{kNum, "1", "300", 0, 0, 0, 1000}},
         {"01 00 04 00 2C"}},
        {"three columns share one identifier", 3, 4, 4, 3,
         {{kNum, "1", "", 0, 0, 0, 255, {}, {"1", "2", "3"}}, {kNum, "2", "", 0, 0, 0, 255, {}, {"10", "20", "30"}},
          {kBool, "4", "", 1, 0, 0, 255, {}, {"+", " ", "+"}}},
         {"01 04 04 04 01 0A 01", "01 04 04 04 02 14 00", "01 04 04 04 03 1E 01"},
         {"01", "02", "03"}},
        {"no columns, no packet", 1, 0, 0, 0, {{kNum, "1", "5"}}, {}},
    };
    for (const Case &c : cases) {
        TableFixture f(c.dataSize, c.section, c.canType, c.columns, c.params, c.tabAddr);
        QStringList list;
        AppendTablePackets(*f.table, f.page, 4, list);
        EXPECT_EQ(list, c.expected) << c.what;
    }
}

TEST(ConfigWrite, ListItemValueThatIsNoIntegerEndsTheBuild)
{
    TableFixture f(1, 0, 0, 1, {{kList, "1", "Один", 0, 0, 0, 255, {"Один=1"}}});
    f.page.Rows[0].Param->ItemValues[0] = QStringLiteral("x");
    QStringList list;
    EXPECT_THROW(AppendTablePackets(*f.table, f.page, 0, list), CConvertError);
}

TEST(ConfigWrite, TablesNoPacketCanHoldAreRefused)
{
    {
        TableFixture f(2, 0, 0, 1, {{kNum, "4", "1"}}); // byte 2 of a two-byte packet
        EXPECT_THROW(TableWritePacket(*f.table, f.page, 0, 0), CPacketBuildError);
    }
    {
        TableFixture f(9, 0, 0, 1, {{kNum, "1", "1"}});
        EXPECT_THROW(TableWritePacket(*f.table, f.page, 0, 0), CPacketBuildError);
    }
    {
        TableFixture f(1, 0, 32, 1, {{kNum, "1", "1"}});
        EXPECT_THROW(TableWritePacket(*f.table, f.page, 0, 0), CPacketBuildError);
    }
}

namespace {

std::shared_ptr<CKey> MakeKey(const QString &name, const QString &code, bool master = false)
{
    auto k = std::make_shared<CKey>();
    k->name = name;
    k->key_type = 1;
    k->key_code = code;
    k->master = master;
    return k;
}

// A device with a parameter table, a key table, a password table and a table without a page.
struct DeviceFixture {
    CTree tree, keys;
    CTreeNode *device = nullptr;
    CParamPage page;
    std::map<int, const CParamPage *> pages;
    std::map<int, const CTree *> keyTrees;

    DeviceFixture()
    {
        device = AddDevice(tree, QStringLiteral("Тиврон-2"), 1, 2);
        CTreeNode *t = AddTable(tree, device, QStringLiteral("Системные"), QStringLiteral("table"), 1);
        t->table()->can_data_size = 2;
        t->table()->can_type = 5;
        CTreeNode *p = AddParameter(tree, t, QStringLiteral("Яркость"), kNum, QStringLiteral("4"));
        p->parameter()->can_id_razdel = 5;
        p->parameter()->address = QStringLiteral("2");
        BuildParamRows(page, t, false, nullptr);
        AddTable(tree, device, QStringLiteral("Таблица ключей"), QStringLiteral("key"), 1);
        AddTable(tree, device, QStringLiteral("Таблица паролей"), QStringLiteral("pass"), 1);
        AddTable(tree, device, QStringLiteral("Без страницы"), QStringLiteral("table"), 1);
        keys.addChild(nullptr, QStringLiteral("1. Мастер-ключ"), MakeKey(QStringLiteral("Мастер-ключ"), "000000000000", true));
        keys.addChild(nullptr, QStringLiteral("2. <ключ> №5"), MakeKey(QStringLiteral("<ключ> №5"), "0102030405AB"));
        pages[11] = &page;
        keyTrees[12] = &keys;
    }

    TWritePages Pages()
    {
        return {[this](int n) { return pages.count(n) ? pages[n] : nullptr; },
                [this](int n) { return keyTrees.count(n) ? keyTrees[n] : nullptr; }};
    }
};

} // namespace

TEST(ConfigWrite, WholeListInTableOrderEndsWithTheEndPacket)
{
    DeviceFixture f;
    const QStringList list = BuildWritePacketList(*f.device, {11, 12, 13, 14}, 0, f.Pages());
    EXPECT_EQ(list, QStringList({
                        "01 05 00 05 00 04",
                        "01 00 00 03 00 00 01 00 00 00 00 00",
                        "01 01 00 03 00 00 00 00 00 00 00 00",
                        "01 00 00 03 05 00 01 00 00 00 00 00",
                        "01 01 00 03 05 00 AB 05 04 03 02 01",
                        "02FF00000000000000000000",
                    }));

    // PageIds shorter than the tables: the walk stops with them.
    EXPECT_EQ(BuildWritePacketList(*f.device, {11}, 0, f.Pages()),
              QStringList({"01 05 00 05 00 04", "02FF00000000000000000000"}));
}

TEST(ConfigWrite, OneBadKeyRefusesTheWholeList)
{
    DeviceFixture f;
    f.keys.addChild(nullptr, QStringLiteral("3. <ключ> №6"), MakeKey(QStringLiteral("<ключ> №6"), "12345"));
    EXPECT_THROW(BuildWritePacketList(*f.device, {11, 12, 13, 14}, 0, f.Pages()), CPacketBuildError);
}

TEST(ConfigWrite, MalformedLinesAreFoundBeforeSending)
{
    EXPECT_NO_THROW(CheckPacketList({"01 02 03 04 05", "02FF00000000000000000000"}));
    EXPECT_THROW(CheckPacketList({"01 02 03 04 05", "01 02 0G 04"}), CPacketBuildError);
    EXPECT_THROW(CheckPacketList({"010203"}), CPacketBuildError);
    EXPECT_THROW(CheckPacketList({"01020304" + QString(18, '0')}), CPacketBuildError);
}
