#include <gtest/gtest.h>

#include <set>

#include "model/config_loader.h"
#include "model/tree_search.h"
#include "tests/model/model_fixture.h"
#include "tests/support/test_paths.h"

// The sample catalogue must agree with the packet rules of the read, the write and the decoding,
// or the simulator and the device pages would disagree about where a value travels.

namespace {

int Mask(const CParameter &p) { return ParseDecimalInt(p.address).value_or(-1); }

int HighestByte(int mask)
{
    int high = -1;
    for (int k = 0; k < 8; ++k)
        if (mask & (1 << k))
            high = k;
    return high;
}

class SampleCatalogue : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadXmlToTree(SourcePath("data/devices.xml"), tree)); }
    ModelFixture fx;
    CTree tree;
};

} // namespace

TEST_F(SampleCatalogue, HoldsTheModelsTheProgramKnowsByName)
{
    EXPECT_EQ(TopTexts(tree), QStringList({"Тиврон-А", "Тиврон-АСПТ", "Тиврон-АСПТ-А", "Тиврон-2"}));
    CTreeNode *a = FindDeviceById(tree.firstNode(), 14, -1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text, "Тиврон-А");
    std::set<int> ids, addrs;
    for (CTreeNode *d = tree.firstNode(); d; d = d->nextSibling()) {
        ids.insert(d->device()->device_id);
        addrs.insert(d->device()->device_addr);
        EXPECT_GE(d->device()->device_addr, 1);
        EXPECT_LE(d->device()->device_addr, 255);
        EXPECT_FALSE(d->device()->version.isEmpty());
    }
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_EQ(addrs.size(), 4u);
}

TEST_F(SampleCatalogue, PlainTablesFollowTheTablePacketRules)
{
    for (CTreeNode *d = tree.firstNode(); d; d = d->nextSibling()) {
        std::set<int> codes;
        for (CTreeNode *tn = d->firstChild(); tn; tn = tn->nextSibling()) {
            const CTable &t = *tn->table();
            SCOPED_TRACE((d->text + " / " + t.name).toStdString());
            EXPECT_TRUE(t.type == "table" || t.type == "key" || t.type == "pass");
            EXPECT_TRUE(codes.insert(t.can_type).second) << "table code used twice";
            EXPECT_GE(t.can_type, 0);
            EXPECT_LT(t.can_type, 32);
            if (t.type != "table")
                continue;
            EXPECT_GE(t.columns, 1);
            EXPECT_LE(t.can_data_size, 8);
            ASSERT_EQ(t.tab_addr.size(), t.columns);
            std::set<int> addresses;
            for (const QString &a : t.tab_addr) {
                bool ok = false;
                const int v = a.toInt(&ok, 16);
                EXPECT_TRUE(ok && a.size() == 2) << a.toStdString();
                addresses.insert(v);
            }
            EXPECT_EQ(int(addresses.size()), t.columns);
            ASSERT_TRUE(tn->hasChildren());
            const CParameter &first = *tn->firstChild()->parameter();
            for (CTreeNode *pn = tn->firstChild(); pn; pn = pn->nextSibling()) {
                const CParameter &p = *pn->parameter();
                SCOPED_TRACE(p.name.toStdString());
                // A write sends every parameter in the first one's section: a read must find it there.
                EXPECT_EQ(p.can_id_razdel, first.can_id_razdel);
                const int mask = Mask(p);
                ASSERT_GE(mask, 0);
                EXPECT_LT(mask, 256);
                EXPECT_LT(HighestByte(mask), t.can_data_size);
                if (t.columns > 1 && pn != tn->firstChild()) {
                    EXPECT_EQ(mask & 1, 0) << "data byte 0 carries the column's table address";
                }
                if (p.type == "логический") {
                    EXPECT_NE(p.address_bit, 0);
                }
                if (p.type == "список") {
                    EXPECT_TRUE(pn->hasChildren());
                }
                if (p.type == "числовой" || p.type == "sys") {
                    EXPECT_LE(p.min_value, p.max_value);
                }
            }
            if (t.columns > 1 || first.type.toUpper() == "SYS") {
                // The column travels in data byte 0, as the first parameter's value.
                EXPECT_EQ(Mask(first), 1);
                for (const QString &a : t.tab_addr) {
                    const int shown = WrapToRange(a.toInt(nullptr, 16) + first.formula, first);
                    EXPECT_EQ(shown, a.toInt(nullptr, 16));
                }
            }
        }
        for (int code : {0, 1, 2, 3, 4, 5, 6})
            EXPECT_TRUE(codes.count(code)) << d->text.toStdString() << " lacks table code " << code;
    }
}

TEST_F(SampleCatalogue, KeyTableMirrorsTheKeyPackets)
{
    for (CTreeNode *d = tree.firstNode(); d; d = d->nextSibling()) {
        SCOPED_TRACE(d->text.toStdString());
        CTreeNode *kt = FindNodeByText(d, "Таблица ключей");
        ASSERT_NE(kt, nullptr);
        ASSERT_EQ(kt->parent(), d);
        EXPECT_EQ(kt->table()->type, "key");
        EXPECT_EQ(kt->table()->can_type, 3);
        EXPECT_GE(kt->table()->max_key_count, 1);
        // Loops come from the table "шлейфы", which must come first so the key page sees them.
        CTreeNode *loops = FindNodeByText(d, "шлейфы");
        const bool withLoops = loops && loops->parent() == d;
        if (withLoops) {
            EXPECT_EQ(loops, d->firstChild());
            CTreeNode *type = FindNodeByText(loops->firstChild(), "Тип шлейфа");
            ASSERT_NE(type, nullptr);
            EXPECT_TRUE(type->hasChildren());
        }
        // Position, name, section and data bytes, as the read rule and the two write packets have them.
        struct Row {
            QString name;
            int section, mask;
        };
        std::vector<Row> rows = {{"Номер ключа", 0, 0x03}, {"Тип ключа", 0, 0x04}};
        if (withLoops)
            rows.insert(rows.end(), {{"ШС взятие", 0, 0x18}, {"ШС снятие", 0, 0x60}});
        else
            rows.insert(rows.end(), {{"Функция управления", 0, 0x08}, {"Локальный уровень управления", 0, 0x10}});
        for (int i = 1; i <= 6; ++i)
            rows.push_back({QStringLiteral("ID ключа (код) №%1").arg(i), 1, 1 << (8 - i)});
        ASSERT_EQ(kt->childCount(), int(rows.size()));
        for (size_t m = 0; m < rows.size(); ++m) {
            const CParameter &p = *kt->child(int(m))->parameter();
            EXPECT_EQ(p.name, rows[m].name);
            EXPECT_EQ(p.can_id_razdel, rows[m].section) << p.name.toStdString();
            EXPECT_EQ(Mask(p), rows[m].mask) << p.name.toStdString();
        }
        // The key page takes its type list from the first parameter with entries.
        CTreeNode *withItems = kt->firstChild();
        while (withItems && !withItems->hasChildren())
            withItems = withItems->nextSibling();
        ASSERT_NE(withItems, nullptr);
        EXPECT_EQ(withItems->text, "Тип ключа");
    }
}

TEST_F(SampleCatalogue, EveryValueTypeAndAPasswordTable)
{
    std::set<QString> types;
    int passTables = 0;
    tree.forEach([&](const CTreeNode *n) {
        if (const CParameter *p = n->parameter())
            types.insert(p->type);
        if (const CTable *t = n->table(); t && t->type == "pass") {
            ++passTables;
            EXPECT_GE(t->max_key_count, 1);
        }
    });
    EXPECT_EQ(types, std::set<QString>({"текстовый", "список", "логический", "числовой", "sys"}));
    EXPECT_EQ(passTables, 4);
}
