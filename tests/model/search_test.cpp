#include <gtest/gtest.h>

#include "model/tree_search.h"
#include "tests/model/model_fixture.h"

namespace {

CTreeNode *AddDevice(CTree &tree, const QString &name, int id, int addr)
{
    auto d = std::make_shared<CDevice>();
    d->name = name;
    d->device_id = id;
    d->device_addr = addr;
    return tree.addChild(nullptr, name, d);
}

CParameter Param(const QString &type, int min, int max)
{
    CParameter p;
    p.type = type;
    p.min_value = min;
    p.max_value = max;
    return p;
}

} // namespace

TEST(WrapToRange, OneStepIntoTheRange)
{
    struct Case {
        const char *type;
        int min, max, value, expected;
    } cases[] = {
        {"числовой", 0, 15, 16, 0},
        {"числовой", 0, 15, -1, 15},
        {"числовой", 0, 15, 15, 15},
        {"числовой", 0, 15, 0, 0},
        {"числовой", 0, 15, 33, 17}, // one step only
        {"числовой", 0, 255, 260, 4},
        {"sys", 1, 4, 5, 1},
        {"sys", 1, 4, 0, 4},
        {"числовой", -20, 100, -21, 100},
        // The test against max comes first, also when min > max.
        {"числовой", 10, 5, 7, 11},
        // Computed in 64 bits, brought back to 32.
        {"числовой", INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX},
        {"числовой", 0, 0, INT32_MAX, INT32_MAX - 1},
        {"числовой", 0, 0, INT32_MIN, INT32_MIN + 1},
        {"числовой", INT32_MIN, -1, INT32_MAX, -1},
        {"числовой", -5, 5, INT32_MIN, INT32_MIN + 11}, // still outside after its one step
        {"числовой", 0, INT32_MAX, INT32_MIN, 0},
        // Other types pass unchanged.
        {"список", 0, 15, 16, 16},
        {"логический", 0, 15, -1, -1},
        {"текстовый", 0, 15, 99, 99},
        {"SYS", 0, 15, 99, 99},
        {"Числовой", 0, 15, 99, 99},
        {"", 0, 15, 99, 99},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WrapToRange(c.value, Param(QString::fromUtf8(c.type), c.min, c.max)), c.expected)
            << c.type << " " << c.min << ".." << c.max << " " << c.value;
}

TEST(WrapToRange, OnNodes)
{
    CTree tree;
    CTreeNode *p = tree.addChild(nullptr, "p", std::make_shared<CParameter>(Param("числовой", 0, 15)));
    EXPECT_EQ(WrapToRange(16, p), 0);
    EXPECT_EQ(WrapToRange(16, tree.addChild(nullptr, "no object")), 16);
    EXPECT_EQ(WrapToRange(16, static_cast<const CTreeNode *>(nullptr)), 16);
}

TEST(FindDeviceById, FirstOfTheChainGetsTheAddress)
{
    CTree tree;
    CTreeNode *a = AddDevice(tree, "A", 1, 3);
    a->addChild("table of A", std::make_shared<CDevice>()); // children are never examined
    CTreeNode *b = AddDevice(tree, "B", 14, 4);
    CTreeNode *c = AddDevice(tree, "C", 14, 6);
    tree.addChild(nullptr, "no device");

    EXPECT_EQ(FindDeviceById(a, 14, -1), b);
    EXPECT_EQ(b->device()->device_addr, 4);
    EXPECT_EQ(FindDeviceById(a, 14, 9), b);
    EXPECT_EQ(b->device()->device_addr, 9);
    EXPECT_EQ(c->device()->device_addr, 6);
    EXPECT_EQ(FindDeviceById(c, 14, 2), c); // only from the given node on
    EXPECT_EQ(FindDeviceById(a, 0, 5), nullptr);
    EXPECT_EQ(FindDeviceById(b, 1, 5), nullptr);
    EXPECT_EQ(a->device()->device_addr, 3);
    EXPECT_EQ(FindDeviceById(nullptr, 1, 5), nullptr);
}

TEST(FindNodeByText, DepthFirstAndNeverUpward)
{
    // A { T1 { x, P }, T2 { y } }, B { P, z }
    CTree tree;
    CTreeNode *a = tree.addChild(nullptr, "A");
    CTreeNode *t1 = a->addChild("T1");
    t1->addChild("");
    CTreeNode *x = t1->addChild("x");
    CTreeNode *pa = t1->addChild("P");
    CTreeNode *t2 = a->addChild("T2");
    t2->addChild("y");
    CTreeNode *b = tree.addChild(nullptr, "B");
    CTreeNode *pb = b->addChild("P");
    CTreeNode *z = b->addChild("z");

    EXPECT_EQ(FindNodeByText(a, "P"), pa);  // two levels down before the next device
    EXPECT_EQ(FindNodeByText(a, "A"), a);   // the start node itself first
    EXPECT_EQ(FindNodeByText(a, "z"), z);   // then into the models that follow
    EXPECT_EQ(FindNodeByText(b, "P"), pb);
    EXPECT_EQ(FindNodeByText(b, "A"), nullptr);
    EXPECT_EQ(FindNodeByText(t2, "x"), nullptr); // never up to the parent or back to earlier siblings
    EXPECT_EQ(FindNodeByText(t2, "T1"), nullptr);
    EXPECT_EQ(FindNodeByText(x, "P"), pa);  // a following sibling
    EXPECT_EQ(FindNodeByText(a, "p"), nullptr); // letter case counts
    EXPECT_EQ(FindNodeByText(a, ""), nullptr);  // even where empty texts exist
    EXPECT_EQ(FindNodeByText(nullptr, "A"), nullptr);
}
