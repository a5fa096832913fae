// The description window offscreen at its designed size: every text shows whole, long node texts
// by scrolling sideways.
#include <gtest/gtest.h>

#include <QAbstractItemDelegate>
#include <QScrollBar>

#include "model/config_form.h"
#include "model/config_loader.h"
#include "tests/support/layout_check.h"
#include "tests/support/test_paths.h"

namespace {
// Visible node texts that the view cuts.
QStringList CutNodeTexts(CTreeView *view)
{
    QStringList out;
    for (QModelIndex i = view->model()->index(0, 0); i.isValid(); i = view->indexBelow(i)) {
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.decorationSize = view->iconSize();
        option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        if (view->visualRect(i).width() < view->itemDelegate()->sizeHint(option, i).width())
            out << i.data().toString();
    }
    return out;
}
} // namespace

TEST(Layout, EveryTextShowsWholeAtTheDesignedSizes)
{
    TConfigForm form;
    ASSERT_TRUE(LoadXmlToTree(SourcePath("data/devices.xml"), form.tvConfig));
    ASSERT_TRUE(LoadXmlToTree(SourcePath("tests/model/fixtures/stored.DEV"), form.tvConfigFile));
    form.tvConfig->expandAll();
    form.tvConfigFile->expandAll();
    form.show();
    EXPECT_EQ(form.size(), QSize(298, 373));
    EXPECT_EQ(LayoutReport(&form), "");
    for (CTreeView *view : {form.tvConfig, form.tvConfigFile}) {
        SCOPED_TRACE(view->objectName().toStdString());
        EXPECT_EQ(CutNodeTexts(view).join(u'|').toStdString(), "");
        EXPECT_GT(view->horizontalScrollBar()->maximum(), 0); // the catalogue's texts are wider than the window
    }
}
