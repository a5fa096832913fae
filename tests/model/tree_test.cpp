#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

#include "model/config_tree.h"
#include "model/tree_model.h"
#include "tests/model/model_fixture.h"

TEST(ModelClasses, NewObjectsAreEmpty)
{
    CKey k;
    EXPECT_TRUE(k.kind.isEmpty() && k.name.isEmpty() && k.key_code.isEmpty());
    EXPECT_EQ(k.id, 0);
    EXPECT_EQ(k.key_type, 0);
    EXPECT_FALSE(k.master);
    EXPECT_EQ(k.hos_count, 0);
    EXPECT_TRUE(k.hos_chk.empty());
    EXPECT_EQ(k.KeyVz_Sn, 0);
    EXPECT_EQ(k.KeyLocLevel, 0);
    CPass p;
    EXPECT_TRUE(p.name.isEmpty() && p.password.isEmpty() && p.hos_chk.empty());
    CTable t;
    EXPECT_TRUE(t.tab_addr.isEmpty());
}

TEST(ModelClasses, UsableCountBoundsWhatFilesSay)
{
    EXPECT_EQ(UsableCount(-5, kMaxColumns), 0);
    EXPECT_EQ(UsableCount(0, kMaxColumns), 0);
    EXPECT_EQ(UsableCount(8, kMaxLoops), 8);
    EXPECT_EQ(UsableCount(1 << 30, kMaxColumns), 256);
    EXPECT_EQ(UsableCount(INT32_MAX, kMaxKeys), 65535);
}

TEST(Tree, SiblingsParentsAndTypedData)
{
    CTree tree;
    CTreeNode *dev = tree.addChild(nullptr, "dev", std::make_shared<CDevice>());
    CTreeNode *t1 = dev->addChild("t1", std::make_shared<CTable>());
    CTreeNode *t2 = tree.add(t1, "t2", std::make_shared<CTable>()); // beside t1: under dev
    CTreeNode *top2 = tree.add(dev, "dev2");
    CTreeNode *flag = t2->addChild("ШС1 (1)", LoopFlag{true});

    EXPECT_EQ(tree.count(), 2);
    EXPECT_EQ(dev->parent(), nullptr);
    EXPECT_EQ(t2->parent(), dev);
    EXPECT_EQ(dev->nextSibling(), top2);
    EXPECT_EQ(t1->nextSibling(), t2);
    EXPECT_EQ(t2->prevSibling(), t1);
    EXPECT_EQ(t2->nextSibling(), nullptr);
    EXPECT_EQ(flag->level(), 2);
    EXPECT_EQ(flag->tree(), &tree);

    EXPECT_NE(dev->device(), nullptr);
    EXPECT_EQ(dev->table(), nullptr);
    EXPECT_NE(t1->table(), nullptr);
    EXPECT_EQ(t1->key(), nullptr);
    EXPECT_TRUE(flag->isLoopFlag());
    EXPECT_TRUE(flag->loopFlag());
    EXPECT_EQ(flag->key(), nullptr);
    EXPECT_FALSE(top2->isLoopFlag());
    EXPECT_EQ(tree.totalCount(), 5);

    CTreeNode *first = dev->insertChild(0, "t0");
    EXPECT_EQ(first->index(), 0);
    EXPECT_EQ(t1->index(), 1);
    EXPECT_EQ(Texts(dev->firstChild()), QStringList({"t0", "t1", "t2"}));
}

TEST(Tree, HeldNodeOutlivesReloadWithItsSubtree)
{
    CTree tree;
    CTreeNode *a = tree.addChild(nullptr, "A", std::make_shared<CDevice>());
    a->addChild("table")->addChild("param");
    tree.addChild(nullptr, "B");
    std::shared_ptr<CTreeNode> current = a->shared();
    std::shared_ptr<CDevice> device = a->sharedAs<CDevice>();

    tree.clear();
    EXPECT_TRUE(tree.isEmpty());
    // Still whole, but no longer in any tree: no parent, no siblings to wander into.
    EXPECT_EQ(current->tree(), nullptr);
    EXPECT_EQ(current->nextSibling(), nullptr);
    EXPECT_EQ(current->index(), -1);
    ASSERT_EQ(current->childCount(), 1);
    EXPECT_EQ(current->firstChild()->firstChild()->text, "param");
    EXPECT_EQ(current->firstChild()->parent(), current.get());
    EXPECT_EQ(current->device(), device.get());
}

TEST(Tree, DestroyedTreeDetachesHeldNodes)
{
    std::shared_ptr<CTreeNode> held;
    {
        CTree tree;
        CTreeNode *p = tree.addChild(nullptr, "dev")->addChild("table");
        held = p->shared();
    }
    EXPECT_EQ(held->parent(), nullptr);
    EXPECT_EQ(held->tree(), nullptr);
    EXPECT_EQ(held->text, "table");
}

TEST(TreeModel, FollowsEveryChangeOfTheTree)
{
    CTree tree;
    CTreeModel model(&tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    CTreeNode *dev = tree.addChild(nullptr, "dev");
    CTreeNode *t = dev->addChild("table");
    t->addChild("p1");
    t->insertChild(0, "p0");
    EXPECT_EQ(model.rowCount(), 1);
    const QModelIndex ti = model.indexOf(t);
    EXPECT_EQ(model.rowCount(ti), 2);
    EXPECT_EQ(model.data(model.index(0, 0, ti), Qt::DisplayRole).toString(), "p0");
    EXPECT_EQ(model.parent(ti), model.indexOf(dev));

    t->takeChild(1);
    EXPECT_EQ(model.rowCount(ti), 1);

    tree.beginUpdate();
    tree.clear();
    for (int i = 0; i < 3; ++i)
        tree.addChild(nullptr, QString::number(i))->addChild("x");
    tree.endUpdate();
    EXPECT_EQ(model.rowCount(), 3);

    // Nodes filled in another tree move in at once, subtrees and all.
    CTree other;
    other.addChild(nullptr, "m")->addChild("y");
    tree.moveNodesFrom(other);
    EXPECT_TRUE(other.isEmpty());
    ASSERT_EQ(model.rowCount(), 4);
    CTreeNode *moved = tree.topNode(3);
    EXPECT_EQ(moved->text, "m");
    EXPECT_EQ(moved->index(), 3);
    EXPECT_EQ(moved->tree(), &tree);
    EXPECT_EQ(moved->parent(), nullptr);
    EXPECT_EQ(model.data(model.index(0, 0, model.index(3, 0)), Qt::DisplayRole).toString(), "y");
    tree.remove(moved);

    // Captions are edited only where the view allows it.
    const QModelIndex first = model.index(0, 0);
    EXPECT_FALSE(model.setData(first, "new", Qt::EditRole));
    model.setEditable(true);
    EXPECT_TRUE(model.setData(first, "new", Qt::EditRole));
    EXPECT_EQ(tree.firstNode()->text, "new");
    tree.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(TreeModel, ShowsThePictureOfTheImageIndex)
{
    CTree tree;
    CTreeModel model(&tree);
    QPixmap pm(4, 4);
    pm.fill(Qt::red);
    model.setImages({QIcon(pm), QIcon(pm)});
    CTreeNode *n = tree.addChild(nullptr, "n");
    n->setImage(1);
    EXPECT_EQ(n->selectedIndex, 1);
    EXPECT_TRUE(model.data(model.indexOf(n), Qt::DecorationRole).isValid());
    n->setImage(-555);
    EXPECT_FALSE(model.data(model.indexOf(n), Qt::DecorationRole).isValid());
}
