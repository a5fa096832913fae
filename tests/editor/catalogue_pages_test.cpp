#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include "../support/test_paths.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "model/config_loader.h"
#include "pages_fixture.h"

using namespace pages_fixture;

namespace {
// A values tree for a device as a read gives it: every cell the description's default, every other
// one marked as taken from the default.
void MirrorValues(const CTreeNode *device, CTree &values)
{
    CTreeNode *vd = values.addChild(nullptr, device->text, std::make_shared<CDevice>(*device->device()));
    for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling()) {
        CTreeNode *vt = values.addChild(vd, t->text, std::make_shared<CTable>(*t->table()));
        if (t->table()->type != QLatin1String("table"))
            continue;
        for (const CTreeNode *p = t->firstChild(); p; p = p->nextSibling()) {
            CTreeNode *vp = values.addChild(vt, p->text, std::make_shared<CParameter>(*p->parameter()));
            for (int c = 0; c < t->table()->columns; ++c)
                AddItem(values, vp, "", p->parameter()->default_value, c % 2 ? DefaultMarker : 3);
        }
    }
}

int Tables(const CTreeNode *device, const QString &type, bool withRows)
{
    int n = 0;
    for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling())
        n += t->table()->type == type && (!withRows || t->hasChildren());
    return n;
}
} // namespace

TEST(CataloguePages, EveryModelBuildsAndEveryKindOfCellEdits)
{
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    ASSERT_EQ(catalogue.count(), 4);
    TMainForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    for (int d = 0; d < catalogue.count(); ++d) {
        CTreeNode *device = catalogue.topNode(d);
        CTree values;
        MirrorValues(device, values);
        for (const bool withValues : {false, true}) {
            SCOPED_TRACE(device->text.toStdString() + (withValues ? " with values" : " defaults"));
            form.BuildDevicePages(device, withValues ? values.firstNode() : nullptr, withValues);
            ASSERT_EQ(form.PageIds.size(), device->childCount());
            EXPECT_EQ(form.ActivePageId, form.PageIds.value(0));
            int lists = 0, marked = 0;
            int i = 0;
            for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i) {
                auto *list = FindComponent<CParamListView>("lvQ" + QString::number(form.PageIds[i]),
                                                           form.PageControl, 2);
                if (!list)
                    continue;
                ++lists;
                const CParamPage &page = list->Page();
                ASSERT_EQ(page.RowCount(), t->childCount()) << t->text.toStdString();
                for (int r = 0; r < page.RowCount(); ++r) {
                    ASSERT_EQ(page.CellCount(r), t->table()->columns);
                    for (int c = 0; c < page.CellCount(r); ++c)
                        marked += page.CellImage(r, c) == DefaultMarker;
                }
                // Every kind of cell: step it forwards, then back, through the handlers.
                form.PageControl->setCurrentWidget(list->parentWidget());
                for (int r = 0; r < page.RowCount(); ++r) {
                    form.SelectedRow = r;
                    form.SelectedColumn = page.CellCount(r);
                    const QString before = page.CellText(r, form.SelectedColumn - 1);
                    const int type = page.TypeCode(r);
                    form.StepCellValue(list, false);
                    if (type == tcText) {
                        auto *edit = FindComponent<CLineEdit>("edit" + list->objectName().mid(3), form.PageControl, 3);
                        ASSERT_TRUE(edit);
                        ASSERT_TRUE(edit->isVisible());
                        edit->setText(before + "1");
                        list->setFocus();
                        EXPECT_EQ(page.CellText(r, form.SelectedColumn - 1), before + "1");
                        continue;
                    }
                    form.StepCellValue(list, true);
                    if (type == tcNumber && before.toInt() > page.Param(r)->MinValue &&
                        before.toInt() < page.Param(r)->MaxValue) {
                        EXPECT_EQ(page.CellText(r, form.SelectedColumn - 1), before) << r;
                    }
                    if (type == tcBool) {
                        EXPECT_EQ(page.CellText(r, form.SelectedColumn - 1), before) << r;
                    }
                }
            }
            EXPECT_EQ(lists, Tables(device, "table", true));
            EXPECT_EQ(marked > 0, withValues);
        }
    }
}

TEST(CataloguePages, StoredFileValues)
{
    CTree catalogue, stored;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    ASSERT_TRUE(ReadXmlToTree(SourcePath("tests/model/fixtures/stored.DEV"), stored));
    TMainForm form;
    CTreeNode *device = catalogue.topNode(0);
    form.BuildDevicePages(device, stored.firstNode(), true);
    EXPECT_EQ(form.LoopCount, 4);
    auto *loops = FindComponent<CParamListView>("lvQ" + QString::number(form.PageIds[0]), form.PageControl, 2);
    ASSERT_NE(loops, nullptr);
    const CParamPage &page = loops->Page();
    EXPECT_EQ(page.CellText(0, 0), "1");
    EXPECT_EQ(page.CellText(0, 1), "2");
    EXPECT_EQ(page.CellText(0, 2), "3"); // the file has two columns: the rest from the description
    EXPECT_EQ(page.CellText(1, 0), "Охранный");
    EXPECT_EQ(page.CellText(1, 1), "Охранный"); // 3 is that item's value
    EXPECT_EQ(page.CellText(1, 2), "Пожарный дымовой");
}
