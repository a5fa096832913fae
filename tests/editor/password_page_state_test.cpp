#include <gtest/gtest.h>

#include <vector>

#include "editor/password_page_state.h"
#include "model/config_tree.h"
#include "model/read_tree.h"
#include "pages_fixture.h"

using namespace pages_fixture;

namespace {
std::vector<bool> Flags(std::initializer_list<bool> f) { return f; }

// A user as the file reader leaves it: kind "Pass", the flags read, loop-flag child nodes.
CTreeNode *AddStoredUser(CTree &tree, CTreeNode *table, int id, const QString &name, int hosCount,
                         std::vector<bool> flags, const QString &password = QString())
{
    auto p = std::make_shared<CPass>();
    p->kind = "Pass";
    p->id = id;
    p->name = name;
    p->password = password;
    p->administrator = id == 1;
    p->disabled = true;
    p->access = false;
    p->hos_key = true;
    p->hos_count = hosCount;
    p->hos_chk = flags;
    CTreeNode *node = tree.addChild(table, name, p);
    for (bool f : flags)
        tree.addChild(node, f ? "1" : "0", LoopFlag{f});
    return node;
}

QStringList Names(const CTree &tree)
{
    QStringList names;
    for (int i = 0; i < tree.count(); ++i)
        names << tree.topNode(i)->text;
    return names;
}
} // namespace

TEST(PasswordPageState, FreshUsersByCapacity)
{
    struct Case {
        int capacity;
        QStringList names;
    };
    const std::vector<Case> cases = {
        {4, {"Администратор", "Оператор 1", "Оператор 2", "Оператор 3"}},
        {1, {"Администратор"}},
        {0, {"Администратор"}},
        {-5, {"Администратор"}},
    };
    for (const Case &c : cases) {
        CTree tree;
        AddFreshUsers(tree, c.capacity, 3);
        EXPECT_EQ(Names(tree), c.names) << c.capacity;
        for (int i = 0; i < tree.count(); ++i) {
            const CTreeNode *node = tree.topNode(i);
            const CPass *p = node->pass();
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->id, i + 1);
            EXPECT_EQ(p->name, node->text);
            EXPECT_EQ(node->imageIndex, 8);
            EXPECT_EQ(node->selectedIndex, 8);
            EXPECT_FALSE(node->hasChildren());
            EXPECT_TRUE(p->kind.isEmpty());
            EXPECT_EQ(p->hos_count, 3);
            EXPECT_FALSE(p->disabled);
        }
    }

    CTree tree;
    AddFreshUsers(tree, 2, 3);
    const CPass *admin = tree.topNode(0)->pass();
    EXPECT_TRUE(admin->administrator);
    EXPECT_EQ(admin->password, "6039");
    EXPECT_TRUE(admin->access);
    EXPECT_TRUE(admin->hos_key);
    EXPECT_EQ(admin->hos_chk, Flags({true, true, true}));
    const CPass *op = tree.topNode(1)->pass();
    EXPECT_FALSE(op->administrator);
    EXPECT_TRUE(op->password.isEmpty());
    EXPECT_FALSE(op->access);
    EXPECT_FALSE(op->hos_key);
    EXPECT_EQ(op->hos_chk, Flags({false, false, false}));
}

TEST(PasswordPageState, LoopCountsAndLayout)
{
    EXPECT_EQ(PassLoopCount(0), 0);
    EXPECT_EQ(PassLoopCount(-3), 0);
    EXPECT_EQ(PassLoopCount(16), 16);
    EXPECT_EQ(PassLoopCount(32), 32);
    EXPECT_EQ(PassLoopCount(40), 32);

    EXPECT_EQ(LoopGroupWidth(0), 220);
    EXPECT_EQ(LoopGroupWidth(16), 220);
    EXPECT_EQ(LoopGroupWidth(17), 420);
    EXPECT_EQ(LoopGroupWidth(32), 420);
    EXPECT_EQ(LoopGroupWidth(40), 420); // 32 boxes are laid out: eight columns need the wide box

    struct Case {
        int k, left, top;
    };
    for (const Case &c : std::vector<Case>{{1, 8, 20}, {4, 8, 92}, {5, 58, 20}, {6, 58, 44}, {32, 358, 92}}) {
        EXPECT_EQ(LoopBoxPosition(c.k).Left, c.left) << c.k;
        EXPECT_EQ(LoopBoxPosition(c.k).Top, c.top) << c.k;
    }
    // Columns widened for a wider face keep the last box inside the group box, with its margin.
    for (const int column : {kLoopBoxWidth, 61})
        for (const int loops : {16, 32})
            EXPECT_LE(LoopBoxPosition(loops, column).Left + column, LoopGroupWidth(loops, column) - 8)
                << column << " " << loops;

    // With no loops the users carry no flags.
    CTree tree;
    AddFreshUsers(tree, 2, 0);
    EXPECT_EQ(tree.topNode(0)->pass()->hos_count, 0);
    EXPECT_TRUE(tree.topNode(0)->pass()->hos_chk.empty());
}

TEST(PasswordPageState, CopyStopsAtFirstUserOfAnotherLoopCount)
{
    CTree values;
    CTreeNode *device = AddDevice(values, "Тиврон-А", 3);
    CTreeNode *table = AddTable(values, device, "Таблица паролей", "pass", 1);
    AddStoredUser(values, table, 1, "Администратор", 2, {true, false}, "6039");
    AddStoredUser(values, table, 2, "Оператор 1", 2, {false, true}, "12345678901234567890");
    AddStoredUser(values, table, 3, "Оператор 2", 3, {true, true, true});
    AddStoredUser(values, table, 4, "Оператор 3", 2, {true, true}); // after the break: left out

    CTree tree;
    FillUsers(tree, 8, 2, true, table);
    EXPECT_EQ(Names(tree), (QStringList{"Администратор", "Оператор 1"}));
    const CPass *op = tree.topNode(1)->pass();
    EXPECT_EQ(op->password, "12345678901234567890"); // longer than can be typed, kept whole
    EXPECT_EQ(op->id, 2);
    EXPECT_TRUE(op->disabled);
    EXPECT_TRUE(op->hos_key);
    EXPECT_EQ(op->hos_chk, Flags({false, true}));
    EXPECT_TRUE(op->kind.isEmpty());
    EXPECT_FALSE(tree.topNode(1)->hasChildren());
    // A copy, not the stored record.
    EXPECT_NE(op, table->child(1)->pass());

    // The first user already differs: no users at all.
    CTree none;
    FillUsers(none, 8, 3, true, table);
    EXPECT_TRUE(none.isEmpty());
    // A stored table without users gives an empty tree.
    CTreeNode *empty = AddTable(values, device, "Пусто", "pass", 1);
    CTree fromEmpty;
    FillUsers(fromEmpty, 8, 2, true, empty);
    EXPECT_TRUE(fromEmpty.isEmpty());
}

TEST(PasswordPageState, CopyCarriesExactlyHosCountFlags)
{
    CPass fewer;
    fewer.hos_count = 4;
    fewer.hos_chk = {true, true};
    EXPECT_EQ(CopyUser(fewer)->hos_chk, Flags({true, true, false, false}));

    CPass more;
    more.hos_count = 1;
    more.hos_chk = {true, false, true};
    EXPECT_EQ(CopyUser(more)->hos_chk, Flags({true}));

    CPass negative;
    negative.hos_count = -2;
    negative.hos_chk = {true};
    EXPECT_TRUE(CopyUser(negative)->hos_chk.empty());

    CPass user;
    user.hos_count = 2;
    user.hos_chk = {false, true};
    EXPECT_TRUE(UserLoopFlag(user, 2));
    EXPECT_FALSE(UserLoopFlag(user, 3));
    EXPECT_FALSE(UserLoopFlag(user, 0));
    EXPECT_TRUE(SetUserLoopFlag(user, 1, true));
    EXPECT_FALSE(SetUserLoopFlag(user, 3, true));
    EXPECT_FALSE(SetUserLoopFlag(user, -1, true));
    EXPECT_EQ(user.hos_chk, Flags({true, true}));
}

TEST(PasswordPageState, ReadBackTableStartsWithFreshUsers)
{
    // A description whose password table has a parameter: the read decodes it into parameter nodes.
    CTree description;
    CTreeNode *device = AddDevice(description, "Тиврон-А", 3);
    CTreeNode *withParameter = AddTable(description, device, "Таблица паролей", "pass", 1, {}, 40, 3);
    AddTable(description, device, "Пароли 2", "pass", 1, {}, 40, 2);
    CTreeNode *p = AddParameter(description, withParameter, "Пароль", "числовой", "0");
    p->parameter()->address = "1";
    // The read copies only what the file reader made.
    device->device()->kind = "Device";
    device->device()->version = "3.0";
    for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling())
        t->table()->kind = "Table";
    p->parameter()->kind = "Parameter";

    CTree read;
    CTreeNode *readDevice = BuildReadTree(read, *device, std::vector<CanPacket>{}, {});
    ASSERT_NE(readDevice, nullptr);
    CTreeNode *readTable = readDevice->firstChild();
    ASSERT_NE(readTable, nullptr);
    ASSERT_NE(readTable->firstChild(), nullptr);
    ASSERT_NE(readTable->firstChild()->parameter(), nullptr);
    EXPECT_FALSE(HoldsStoredUsers(*readTable));
    CTree tree;
    FillUsers(tree, 3, 2, true, readTable);
    EXPECT_EQ(Names(tree), (QStringList{"Администратор", "Оператор 1", "Оператор 2"}));

    // The catalogue's password tables have no children: a read leaves an empty table, still no users.
    CTreeNode *emptyRead = readTable->nextSibling();
    ASSERT_NE(emptyRead, nullptr);
    EXPECT_FALSE(emptyRead->hasChildren());
    EXPECT_FALSE(HoldsStoredUsers(*emptyRead));
    CTree fresh;
    FillUsers(fresh, 2, 2, true, emptyRead);
    EXPECT_EQ(Names(fresh), (QStringList{"Администратор", "Оператор 1"}));
}

TEST(PasswordPageState, PanelByIdOnly)
{
    CPass admin;
    admin.id = 1;
    admin.administrator = false;
    CPass op;
    op.id = 2;
    op.administrator = true;
    EXPECT_EQ(PanelFor(&admin), PassPanel::Administrator);
    EXPECT_EQ(PanelFor(&op), PassPanel::Operator);
    EXPECT_EQ(PanelFor(nullptr), PassPanel::None);
}
