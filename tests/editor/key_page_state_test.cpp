#include <gtest/gtest.h>

#include "editor/key_page_state.h"
#include "key_page_fixture.h"
#include "model/config_loader.h"
#include "pages_fixture.h"

using namespace key_page_fixture;

namespace {
const QString K1 = QStringLiteral("<ключ> №1");
const QString M = QStringLiteral("Мастер-ключ");

std::vector<bool> Flags(const CTreeNode *node) { return node->key()->hos_chk; }
} // namespace

TEST(KeyPageState, NameRules)
{
    EXPECT_EQ(ShownKeyName("<ключ> №5"), "ключ");
    EXPECT_EQ(ShownKeyName("<ab>c> №5"), "ab");
    EXPECT_EQ(ShownKeyName("no bracket"), "");
    EXPECT_EQ(ShownKeyName(">x"), "");
    EXPECT_EQ(NameWithShownName("<ключ> №5", "Иванов"), "<Иванов> №5");
    EXPECT_EQ(NameWithShownName("plain", "a"), "<a> plain");
    EXPECT_EQ(NameWithNumber("<ключ> №5", 12), "<ключ> №12");
    EXPECT_EQ(NameWithNumber("plain", 3), "3");
    EXPECT_EQ(KeyNumberOfName("<ключ> №300"), 300);
    EXPECT_THROW(KeyNumberOfName("<ключ> №x"), CConvertError);
    EXPECT_THROW(KeyNumberOfName(M), CConvertError);
    EXPECT_EQ(RenumberedText(4, "2. <a> №7"), "4. <a> №7");
    EXPECT_EQ(RenumberedText(4, "x"), "4x");
}

// Adding and removing as one scenario: each step acts, then the list must read as given.
TEST(KeyPageState, AddingAndRemovingScenario)
{
    enum Act { Add, Master, RemoveAt };
    struct Step {
        Act act;
        int position; // RemoveAt only
        bool changes;
        QStringList texts;
        std::vector<int> ids;
        int mark;
    };
    const Step steps[] = {
        {Add, 0, true, {"1. " + K1}, {2}, 0},
        {Add, 0, true, {"1. " + K1, "2. " + K1}, {2, 3}, 0},
        {Add, 0, false, {"1. " + K1, "2. " + K1}, {2, 3}, 0}, // one place kept for the master
        {Master, 0, true, {"1. " + M, "2. " + K1, "3. " + K1}, {1, 2, 3}, 1},
        {Add, 0, false, {"1. " + M, "2. " + K1, "3. " + K1}, {1, 2, 3}, 1}, // full
        {Master, 0, false, {"1. " + M, "2. " + K1, "3. " + K1}, {1, 2, 3}, 1},
        {RemoveAt, 1, true, {"1. " + M, "2. " + K1}, {1, 2}, 1},
        {RemoveAt, 0, true, {"1. " + K1}, {2}, 0},
        {Add, 0, true, {"1. " + K1, "2. " + K1}, {2, 3}, 0},
        {Master, 0, true, {"1. " + M, "2. " + K1, "3. " + K1}, {1, 2, 3}, 1},
    };
    CTree tree;
    CKeyPageState state(tree);
    int i = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(i++);
        const int before = state.Count();
        if (s.act == Add)
            EXPECT_EQ(state.AddKey(3, 4) != nullptr, s.changes);
        else if (s.act == Master)
            EXPECT_EQ(state.AddMaster(4) != nullptr, s.changes);
        else
            state.Remove(state.Node(s.position));
        EXPECT_EQ(state.Count() != before, s.changes);
        EXPECT_EQ(TopTexts(tree), s.texts);
        EXPECT_EQ(TopIds(tree), s.ids);
        EXPECT_EQ(state.MasterMark, s.mark);
    }
    const CKey *master = state.Node(0)->key();
    EXPECT_TRUE(master->master);
    EXPECT_EQ(master->key_type, 2);
    EXPECT_EQ(master->key_code, "000000000000");
    EXPECT_EQ(master->hos_count, 4);
    EXPECT_EQ(master->hos_chk, std::vector<bool>(8, false));
    const CKey *plain = state.Node(1)->key();
    EXPECT_FALSE(plain->master);
    EXPECT_EQ(plain->key_type, 1);
    EXPECT_EQ(state.Node(1)->imageIndex, 6);
}

TEST(KeyPageState, SmallCapacities)
{
    for (int capacity : {1, 0, -1}) {
        SCOPED_TRACE(capacity);
        CTree tree;
        CKeyPageState state(tree);
        EXPECT_EQ(state.AddKey(capacity, 0) != nullptr, capacity == 1); // capacity 1: one key fits
        EXPECT_EQ(state.AddKey(capacity, 0), nullptr);
        EXPECT_NE(state.AddMaster(0), nullptr); // the master is never refused for capacity
        EXPECT_EQ(state.AddKey(capacity, 0), nullptr);
    }
}

TEST(KeyPageState, RemovingTheMasterRenumbersAndFileKeysWithoutMaster)
{
    CTree values;
    CTreeNode *file = AddFileKeyTable(values, {{1, M, 2, {true, false, false, true}},
                                               {2, "<ключ> №4", 2, {false, true, true, false}},
                                               {3, "<ключ> №7", 2, {}}});
    CTree tree;
    CKeyPageState state(tree);
    state.Fill(*file, 2);
    EXPECT_EQ(state.MasterMark, 1);
    state.Remove(state.Node(0));
    EXPECT_EQ(TopTexts(tree), (QStringList{"1. <ключ> №4", "2. <ключ> №7"}));
    EXPECT_EQ(TopIds(tree), (std::vector<int>{2, 3}));
    EXPECT_EQ(state.MasterMark, 0);
    EXPECT_NE(state.AddMaster(2), nullptr);

    // Ids 2, 3 without a master: nodes numbered as the ids until an edit or the master renumbers.
    CTree values2;
    CTreeNode *noMaster = AddFileKeyTable(values2, {{2, "<a> №5", 0, {}}, {3, "<b> №6", 0, {}}});
    CTree tree2;
    CKeyPageState state2(tree2);
    state2.Fill(*noMaster, 0);
    EXPECT_EQ(TopTexts(tree2), (QStringList{"2. <a> №5", "3. <b> №6"}));
    EXPECT_EQ(state2.MasterMark, 0);
    state2.SetNumber(state2.Node(0), 9);
    state2.SetShownName(state2.Node(1), "c");
    EXPECT_EQ(TopTexts(tree2), (QStringList{"1. <a> №9", "2. <c> №6"}));
    state2.AddMaster(0);
    EXPECT_EQ(TopTexts(tree2), (QStringList{"1. " + M, "2. <a> №9", "3. <c> №6"}));
}

TEST(KeyPageState, FileRule)
{
    CTree values;
    CTreeNode *file = AddFileKeyTable(values, {
                                                  {1, M, 2, {true, true, false, false}},
                                                  {2, "<a> №3", 2, {true}}, // fewer flags than its count
                                                  {1, "Мастер-ключ", 2, {}}, // a second master
                                                  {4, "<b> №8", 3, {}},      // another loop count: stops here
                                                  {5, "<c> №9", 2, {}},
                                              });
    CTree tree;
    CKeyPageState state(tree);
    state.Fill(*file, 2);
    EXPECT_EQ(TopTexts(tree), (QStringList{"1. " + M, "2. <a> №3"}));
    EXPECT_EQ(Flags(state.Node(0)), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(Flags(state.Node(1)), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(state.Node(1)->childCount(), 0); // loop-flag nodes are not copied
    EXPECT_EQ(state.Node(1)->key()->key_code, "0A0B0C0D0E0F");
    EXPECT_TRUE(state.Node(1)->key()->kind.isEmpty());
    EXPECT_NE(state.Node(1)->key(), file->child(1)->key()); // copied, never shared

    CTree tree2;
    CKeyPageState state2(tree2);
    state2.Fill(*file, 4); // the first key already differs
    EXPECT_EQ(state2.Count(), 0);
}

TEST(KeyPageState, ReadRule)
{
    using V = std::optional<QString>;
    const V none;
    CTree values;
    CTreeNode *read = AddReadKeyTable(
        values, {
                    // number, type, arm word, disarm word, six code bytes, an unused parameter
                    {V("5"), V("3"), V("5"), V("10"), V("1"), V("171"), V("0"), V("255"), V("16"), V("256"), V("x")},
                    {none, V("2"), V("0"), V("0")},                      // a key that did not answer
                    {V("0"), V("2"), V("0"), V("0"), V("18"), V("52")}, // the master, read second
                    {V("7"), none, none, V("abc")},                      // missing type, a word that is no number
                    {V("0"), V("1")},                                    // a second key 0
                });
    CTree tree;
    CKeyPageState state(tree);
    state.Fill(*read, 4);
    ASSERT_EQ(state.Count(), 3);
    EXPECT_EQ(TopTexts(tree), (QStringList{"1. " + M, "2. <ключ> №5", "3. <ключ> №7"}));
    EXPECT_EQ(TopIds(tree), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(state.MasterMark, 1);

    const CKey *master = state.Node(0)->key();
    EXPECT_TRUE(master->master);
    EXPECT_EQ(master->key_type, 2);
    EXPECT_EQ(master->key_code, "1234");
    EXPECT_EQ(master->hos_chk, (std::vector<bool>{true, true, true, true, false, false, false, false}));

    const CKey *k5 = state.Node(1)->key();
    EXPECT_EQ(k5->key_type, 3);
    EXPECT_EQ(k5->key_code, "01AB00FF10100");
    // arm word 5: loops 1 and 3; disarm word 10: loops 2 and 4
    EXPECT_EQ(k5->hos_chk, (std::vector<bool>{true, false, true, false, false, true, false, true}));
    EXPECT_EQ(k5->hos_count, 4);
    EXPECT_EQ(k5->KeyVz_Sn, 0);

    const CKey *k7 = state.Node(2)->key();
    EXPECT_EQ(k7->key_type, 1);
    EXPECT_EQ(k7->key_code, "");
    EXPECT_EQ(k7->hos_chk, std::vector<bool>(8, false));
}

TEST(KeyPageState, ReadRuleWithoutLoopsAndBadCodeByte)
{
    using V = std::optional<QString>;
    CTree values;
    CTreeNode *read = AddReadKeyTable(values, {{V("2"), V("1"), V("3"), V("45")},
                                               {V("3"), V("1"), V("0"), V("0"), V("1"), V("z")}});
    CTree tree;
    CKeyPageState state(tree);
    EXPECT_THROW(state.Fill(*read, 0), CConvertError);
    ASSERT_EQ(state.Count(), 1); // the key before the bad byte stays
    const CKey *k = state.Node(0)->key();
    EXPECT_EQ(k->KeyVz_Sn, 3);
    EXPECT_EQ(k->KeyLocLevel, 45);
    EXPECT_TRUE(k->hos_chk.empty());
    EXPECT_EQ(TopTexts(tree), (QStringList{"1. <ключ> №2"}));
    EXPECT_EQ(TopIds(tree), (std::vector<int>{2}));
}

TEST(KeyPageState, KeyTypeEntries)
{
    using namespace pages_fixture;
    CTree tree;
    CTreeNode *device = AddDevice(tree, "Тиврон-А", 1);
    AddTable(tree, device, "Шлейфы", "table", 2);
    CTreeNode *keys = AddTable(tree, device, "Таблица ключей", "KEY", 1);
    AddParameter(tree, keys, "Номер ключа", "числовой", "0");
    CTreeNode *type = AddParameter(tree, keys, "Тип ключа", "список", "1");
    AddItem(tree, type, "Ключ ТМ", "1");
    AddItem(tree, type, "Карта", "2");
    AddItem(tree, type, "Брелок", "05");
    const KeyTypeList list = KeyTypeListOf(device);
    EXPECT_EQ(list.Parameter, "Тип ключа");
    EXPECT_EQ(list.Names, (QStringList{"Ключ ТМ", "Карта", "Брелок"}));
    EXPECT_EQ(KeyTypeNode(device), type);
    EXPECT_EQ(KeyTypeIndex(type, 3, 5), 2);
    EXPECT_EQ(KeyTypeIndex(type, 2, 5), -1); // only as many entries as the list holds
    EXPECT_EQ(KeyTypeIndex(type, 3, 4), -1);
    EXPECT_EQ(KeyTypeValue(type, 3, "Брелок"), 5);
    EXPECT_EQ(KeyTypeValue(type, 3, "Нет такого"), std::nullopt);
    EXPECT_TRUE(KeyTypeListOf(nullptr).Names.isEmpty());
}
