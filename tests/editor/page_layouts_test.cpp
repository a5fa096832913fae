// The pages of the sample catalogue and the factory-reset question as the engineer sees them at the
// designed sizes: every text whole, no control squeezed, and the trees of the key and password pages
// showing a panel only for a node the engineer chose.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <QTest>

#include "app/message_dlg.h"
#include "demo_pages.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/factory_reset.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "editor/param_page.h"
#include "editor/password_page_state.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "platform/fonts.h"
#include "tests/support/layout_check.h"
#include "tests/support/test_paths.h"

namespace {

CTreeNode *TableOfType(CTreeNode *device, const QString &type)
{
    for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling())
        if (t->table() && t->table()->type == type)
            return t;
    return nullptr;
}

// The model's loop table made `loops` columns wide, each with its table address.
void SetLoops(CTreeNode *device, int loops)
{
    for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling())
        if (LoopCountOfTable(*t->table())) {
            t->table()->columns = loops;
            t->table()->tab_addr.clear();
            for (int c = 1; c <= loops; ++c)
                t->table()->tab_addr << QStringLiteral("%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        }
}

// What the catalogue's own widths promise on a parameter page: the page fits the window, and a list
// row's item names show whole unless columns wide enough for them would not fit the window.
std::string CatalogueWidthReport(const CParamListView *list, const CTreeNode *table)
{
    std::string out;
    const int room = list->viewport()->width();
    if (list->header()->length() > room)
        out += "the page is wider than the window\n";
    const QFontMetrics fm(list->font());
    const CParamPage &page = list->Page();
    for (const CTreeNode *p = table->firstChild(); p; p = p->nextSibling()) {
        int widest = 0;
        for (const CTreeNode *item = p->firstChild(); item; item = item->nextSibling())
            widest = std::max(widest, fm.horizontalAdvance(item->item()->name));
        const bool couldFit = 250 + page.Columns * (widest + 1) <= room;
        if (couldFit && !CellTextFits(widest, page.ColumnWidth))
            out += p->text.toStdString() + ": an item name is cut where the page could show it\n";
    }
    return out;
}

struct PageCase {
    const char *model;
    int loops;            // -1: as the catalogue gives them
    bool withoutKeyTable; // the password page then keeps more than 16 loops
};

class PageLayouts : public testing::TestWithParam<PageCase> {
protected:
    void SetUp() override
    {
        SetMessageDlgHook([](const QString &, int, MsgButtons) { return int(mrOk); });
        ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    }
    void TearDown() override { SetMessageDlgHook({}); }

    // Every page's faults, each page in the states that show its texts.
    std::string Report(TMainForm &form, CTreeNode *device, bool catalogueWidths)
    {
        std::string out;
        int i = 0;
        for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i) {
            const QString n = QString::number(form.PageIds.value(i));
            auto *sheet = FindComponent<QWidget>("ts" + n, form.PageControl, 1);
            if (!sheet)
                continue;
            form.PageControl->setCurrentWidget(sheet);
            auto add = [&](const QString &state, const std::string &report) {
                if (!report.empty())
                    out += (t->text + state).toStdString() + ":\n" + report + "\n";
            };
            auto check = [&](const QString &state) {
                sheet->grab(); // paints: the key page's loop type labels take their texts
                add(state, LayoutReport(sheet));
            };
            const QString &type = t->table()->type;
            if (type == "key") {
                auto *tree = FindComponent<CKeyTreeView>("tvKey" + n, form.PageControl, 2);
                auto *master = FindComponent<QWidget>("btnMaster" + n, form.PageControl, 3);
                master->setEnabled(true);
                btnKeyAddClick(form, master);
                btnKeyAddClick(form, FindComponent<QObject>("btnKeyAdd" + n, form.PageControl, 3));
                tree->selectNode(tree->items().topNode(0));
                check(" master key");
                tree->selectNode(tree->items().topNode(1));
                check(" key");
            } else if (type == "pass") {
                auto *tree = FindComponent<CTreeView>("tvPass" + n, form.PageControl, 2);
                for (const auto &[user, edit] : {std::pair(0, "editAdministratorPassword"), std::pair(1, "editOperatorPassword")}) {
                    tree->selectNode(tree->items().topNode(user));
                    // The longest password that can be typed shows whole.
                    auto *password = FindComponent<CLineEdit>(edit + n, form.PageControl, 4);
                    password->SetText(QString(kPasswordTypingLimit, u'0'));
                    if (password->fontMetrics().horizontalAdvance(password->Text()) + 5 > password->width())
                        add(QStringLiteral(" user %1").arg(user), "the password scrolls out of its edit\n");
                    check(QStringLiteral(" user %1").arg(user));
                }
            } else if (auto *list = FindComponent<CParamListView>("lvQ" + n, form.PageControl, 2)) {
                check("");
                if (catalogueWidths)
                    add(" widths", CatalogueWidthReport(list, t));
            }
        }
        return out;
    }

    CTree catalogue;
};

} // namespace

TEST_P(PageLayouts, EveryPageShowsItsTextsWhole)
{
    const PageCase c = GetParam();
    CTreeNode *device = ModelNamed(catalogue, QString::fromUtf8(c.model));
    ASSERT_NE(device, nullptr);
    if (c.loops >= 0)
        SetLoops(device, c.loops);
    if (c.withoutKeyTable)
        catalogue.remove(TableOfType(device, "key"));
    TMainForm form;
    form.CurrentDevice = device->shared();
    form.resize(790, 974);
    form.show();
    form.BuildDevicePages(device, nullptr, false);
    EXPECT_EQ(Report(form, device, c.loops < 0), "");
}

INSTANTIATE_TEST_SUITE_P(SampleCatalogue, PageLayouts,
                         testing::Values(PageCase{"Тиврон-А", -1, false}, PageCase{"Тиврон-АСПТ", -1, false},
                                         PageCase{"Тиврон-АСПТ-А", -1, false}, PageCase{"Тиврон-2", -1, false},
                                         PageCase{"Тиврон-А", 16, false}, PageCase{"Тиврон-А", 32, false},
                                         PageCase{"Тиврон-А", 32, true}));

// The question and the answers the engineer reads after it.
// The tallest and deepest letters of a painted row stay between its grid lines, none of them cut.
TEST(ParamRowPainting, TallAndDeepLettersClearTheGridLines)
{
    CParamListView list;
    const QFont font = list.font();
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.font = font;
    const int h = list.itemDelegate()->sizeHint(option, QModelIndex()).height(); // the list's rows
    EXPECT_GE(h, 17);
    CParamRowPaint row;
    row.ColumnWidths = {100, 60};
    auto paint = [&](const QString &text) {
        row.Caption = text;
        row.Cells = {{text, NoCellImage}};
        return PaintParamRow(row, QSize(160, h), font);
    };
    const QString letters = QStringLiteral("Йрру");
    const QImage blank = paint(QString());
    const QImage drawn = paint(letters);
    for (const auto &[left, right] : {std::pair(0, 100), std::pair(100, 160)}) {
        SCOPED_TRACE(left);
        int top = h;
        int bottom = -1;
        for (int y = 0; y < h; ++y)
            for (int x = left; x < right; ++x)
                if (drawn.pixel(x, y) != blank.pixel(x, y)) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        EXPECT_GE(top, 1);      // below the caption's light edge and the grid line of the row above
        EXPECT_LE(bottom, h - 2); // above this row's grid line
        EXPECT_EQ(bottom - top + 1, QFontMetrics(font).tightBoundingRect(letters).height());
    }
}

TEST(FactoryResetMessages, ShowTheirTextsAndButtonsWhole)
{
    const QString caption = "Установка заводских параметров (Тиврон-А)";
    const struct {
        QString text;
        int kind;
        MsgButtons buttons;
    } messages[] = {{FactoryResetQuestionText, mtConfirmation, mbYes | mbNo},
                    {CommandDoneText(caption), mtInformation, mbOK},
                    {CommandFailedText(-2147483647, caption), mtError, mbOK}};
    for (const auto &m : messages) {
        TMessageDialogForm dialog;
        dialog.Prepare(m.text, m.kind, m.buttons);
        dialog.show();
        EXPECT_EQ(dialog.size(), QSize(457, 169));
        EXPECT_EQ(LayoutReport(&dialog), "") << m.text.toStdString();
    }
}

// The stored configuration of the demo Тиврон-А <3>: its loop types and output modes show whole in
// every column, as a read of that device shows them.
TEST(DemoConfiguration, ListValuesShowInEveryColumn)
{
    CTree catalogue, file;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/demo/tivron-a-3.DEV"), file));
    CTreeNode *device = ModelNamed(catalogue, "Тиврон-А");
    TMainForm form;
    form.CurrentDevice = device->shared();
    form.resize(790, 974);
    form.show();
    form.BuildDevicePages(device, file.firstNode(), true);
    int rows = 0;
    for (int n : form.PageIds) {
        auto *list = FindComponent<CParamListView>("lvQ" + QString::number(n), form.PageControl, 2);
        if (!list)
            continue;
        const CParamPage &page = list->Page();
        const QFontMetrics fm(list->font());
        for (int r = 0; r < page.RowCount(); ++r) {
            if (page.Caption(r) != "Тип шлейфа" && page.Caption(r) != "Режим выхода")
                continue;
            ++rows;
            for (int c = 0; c < page.CellCount(r); ++c) {
                EXPECT_FALSE(page.CellText(r, c).isEmpty());
                EXPECT_EQ(CellTextShown(page.CellText(r, c), fm, list->ColumnWidth(c + 1)), page.CellText(r, c));
            }
        }
    }
    EXPECT_EQ(rows, 2);
}

namespace {
struct TreeCase {
    const char *type;      // the page's table type
    const char *tree;      // its tree's name prefix
    const char *panels[2]; // the other panel, then the panel the first node shows
};
class PageTreeFocus : public testing::TestWithParam<TreeCase> {};
} // namespace

// A tab switch that gives the tree the focus selects nothing: no panel shows a node that is not
// highlighted. The first selection shows it.
TEST_P(PageTreeFocus, FocusAloneShowsNoPanel)
{
    const TreeCase c = GetParam();
    SetMessageDlgHook([](const QString &, int, MsgButtons) { return int(mrOk); });
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    CTreeNode *device = ModelNamed(catalogue, "Тиврон-АСПТ");
    TMainForm form;
    form.CurrentDevice = device->shared();
    form.show();
    QApplication::setActiveWindow(&form);
    form.BuildDevicePages(device, nullptr, false);
    const int i = TableOfType(device, c.type)->index();
    const QString n = QString::number(form.PageIds[i]);
    auto *tree = FindComponent<CTreeView>(c.tree + n, form.PageControl, 2);
    ASSERT_NE(tree, nullptr);
    if (QString(c.type) == "key")
        btnKeyAddClick(form, FindComponent<QObject>("btnKeyAdd" + n, form.PageControl, 3));
    ASSERT_GT(tree->items().count(), 0);

    form.PageControl->setCurrentIndex(i);
    tree->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(tree->hasFocus());
    EXPECT_EQ(tree->selectedNode(), nullptr);
    for (const char *panel : c.panels)
        EXPECT_TRUE(FindComponent<QWidget>(panel + n, form.PageControl, 3)->isHidden()) << panel;

    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->selectedNode(), tree->items().firstNode());
    EXPECT_TRUE(tree->selectionModel()->isSelected(tree->currentIndex()));
    EXPECT_TRUE(FindComponent<QWidget>(c.panels[1] + n, form.PageControl, 3)->isVisible());
    SetMessageDlgHook({});
}

INSTANTIATE_TEST_SUITE_P(KeyAndPasswordPages, PageTreeFocus,
                         testing::Values(TreeCase{"key", "tvKey", {"panMasterKey", "panOtherKey"}},
                                         TreeCase{"pass", "tvPass", {"panOperatorPass", "panAdministratorPass"}}));
