#include <gtest/gtest.h>

#include <QIcon>
#include <QTabWidget>

#include "editor/components.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "model/tree_model.h"
#include "pages_fixture.h"

using namespace pages_fixture;

namespace {
// Tables: "шлейфы" (4 columns), key, a table of unknown type, an empty table, pass.
struct MixedDevice {
    CTree tree;
    CTreeNode *device;
    MixedDevice()
    {
        device = AddDevice(tree, "Тиврон-А", 3);
        CTreeNode *loops = AddTable(tree, device, " Шлейфы ", "table", 4, {"01", "02", "03", "04"});
        AddParameter(tree, loops, "Номер", "sys", "0");
        AddParameter(tree, loops, "Задержка", "числовой", "10");
        AddTable(tree, device, "Таблица ключей", "key", 1, {}, 40, 8);
        AddTable(tree, device, "Прочее", "other", 1);
        AddTable(tree, device, "Пустая", "table", 2, {"05", "06"});
        AddTable(tree, device, "Таблица паролей", "pass", 1, {}, 40, 4);
    }
};
} // namespace

TEST(PageBuilding, BookkeepingOfMixedTables)
{
    MixedDevice d;
    TMainForm form;
    form.PageCounter = 10;
    form.BuildDevicePages(d.device, nullptr, false);
    EXPECT_EQ(form.windowTitle(), "ТИВРОН-Diva    прибор Тиврон-А  Адрес-3");
    EXPECT_EQ(form.PageIds, (QList<int>{11, 12, 0, 13, 14}));
    EXPECT_EQ(form.PageCounter, 14);
    EXPECT_EQ(form.LoopCount, 4);
    EXPECT_EQ(form.ActivePageId, 11);
    ASSERT_EQ(form.PageControl->count(), 5);
    EXPECT_EQ(form.PageControl->tabText(2), "Прочее");
    EXPECT_EQ(form.PageControl->widget(2)->objectName(), "");
    EXPECT_EQ(PageTag(form.PageControl->widget(2)), 0);
    EXPECT_EQ(form.PageControl->widget(3)->objectName(), "ts13");
    EXPECT_EQ(PageTag(form.PageControl->widget(4)), 14);

    QObject *root = form.PageControl;
    EXPECT_NE(FindComponent<CParamListView>("lvQ11", root, 2), nullptr);
    for (const char *editor : {"edit11", "cb11", "medit11", "ud11"}) {
        EXPECT_EQ(FindComponentByName(editor, root, 2), nullptr) << editor;
        EXPECT_NE(FindComponentByName(editor, root, 3), nullptr) << editor;
    }
    EXPECT_EQ(FindComponentByName("lvQ13", root, 3), nullptr); // an empty table has no list
    EXPECT_EQ(FindComponentByName("edit13", root, 3), nullptr);

    // A second build numbers after the first; no name repeats.
    form.BuildDevicePages(d.device, nullptr, false);
    EXPECT_EQ(form.PageIds, (QList<int>{15, 16, 0, 17, 18}));
    EXPECT_EQ(FindComponentByName("lvQ11", root, 3), nullptr);
    EXPECT_NE(FindComponentByName("lvQ15", root, 3), nullptr);
    EXPECT_EQ(form.PageControl->count(), 5);
}

// The tabs' pictures and the users' picture are made once: pages are built anew on every New, Open
// and read, and Qt's pixmap cache kept the pictures of each new icon for good.
TEST(PageBuilding, RebuiltPagesShowTheSameIcons)
{
    MixedDevice d;
    TMainForm form;
    const auto icons = [&] {
        QList<qint64> keys;
        for (int i = 0; i < form.PageControl->count(); ++i)
            keys << form.PageControl->tabIcon(i).cacheKey();
        const auto *users = FindComponent<CTreeView>("tvPass" + QString::number(form.PageIds.value(4)), form.PageControl, 2);
        if (users && users->model()->rowCount() > 0)
            keys << users->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey();
        return keys;
    };
    form.BuildDevicePages(d.device, nullptr, false);
    const QList<qint64> first = icons();
    ASSERT_EQ(first.size(), 6);
    EXPECT_EQ(first[2], QIcon().cacheKey()); // a table of unknown type has no picture
    EXPECT_NE(first[5], QIcon().cacheKey());
    form.BuildDevicePages(d.device, nullptr, false);
    EXPECT_EQ(icons(), first);
    TMainForm other;
    other.BuildDevicePages(d.device, nullptr, false);
    QList<qint64> others;
    for (int i = 0; i < other.PageControl->count(); ++i)
        others << other.PageControl->tabIcon(i).cacheKey();
    EXPECT_EQ(others, first.mid(0, 5));
}

TEST(PageBuilding, PageChangeResetsTheCursorAndIsNotRaisedByBuilding)
{
    MixedDevice d;
    TMainForm form;
    form.SelectedRow = 2;
    form.SelectedColumn = 3;
    form.SetStatusText("x");
    form.BuildDevicePages(d.device, nullptr, false);
    EXPECT_EQ(form.SelectedRow, 2); // the callers reset it, not the build
    EXPECT_EQ(form.StatusText(), ""); // it spoke of the pages before
    form.SetStatusText("x");
    form.PageControl->setCurrentIndex(1);
    EXPECT_EQ(form.ActivePageId, PageTag(form.PageControl->widget(1)));
    EXPECT_EQ(form.SelectedRow, -1);
    EXPECT_EQ(form.SelectedColumn, -1);
    EXPECT_EQ(form.StatusText(), "");
}
