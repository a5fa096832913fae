// Keys typed into an open cell editor stay with it: the list's cell cursor does not move, and however
// the editor ends, it stores into the cell it was opened on and into no other.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "tests/support/catalogue_model.h"
#include "tests/support/shown_page.h"
#include "tests/support/test_paths.h"

namespace {

using Cells = std::vector<QStringList>; // per row, the texts of its value columns

// A new configuration of a sample model on the pages, the main window shown and active, the file
// dialogs replaced by the files of a temporary folder.
class EditorKeys : public ::testing::Test, protected ShownPageControls {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_FALSE(CopySampleCatalogue(tmp).isEmpty());
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        SetConfigFileDialogs({[this](QWidget *) { return std::optional<QString>(tmp.filePath("conf.DEV")); },
                              [this](QWidget *) { return std::optional<QString>(tmp.filePath("conf")); }});
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(tmp.path()), ConfigForm->tvConfig));
        TMainFormEnv env;
        env.ProgramDir = tmp.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        form->resize(900, 700);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override
    {
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetConfigFileDialogs({});
        SetMessageDlgHook(nullptr);
    }

    // The pages of model, showing the page of that caption.
    void Show(const QString &model, const QString &page)
    {
        CTreeNode *device = CatalogueModel(model);
        ASSERT_TRUE(device);
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, nullptr, false);
        form->actSaveFile->setEnabled(true);
        ShowPage(page);
    }
    void ShowPage(const QString &page)
    {
        for (int i = 0; i < form->PageControl->count(); ++i)
            if (form->PageControl->tabText(i) == page)
                form->PageControl->setCurrentIndex(i);
        ASSERT_EQ(form->PageControl->tabText(form->PageControl->currentIndex()), page);
        ASSERT_TRUE(FindShownPage(*form));
        list->setFocus();
    }
    int Row(const QString &caption) const
    {
        for (int r = 0; r < list->Page().RowCount(); ++r)
            if (list->Page().Caption(r) == caption)
                return r;
        ADD_FAILURE() << "no row " << caption.toStdString();
        return -1;
    }
    Cells AllCells() const
    {
        Cells cells;
        for (int r = 0; r < list->Page().RowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < list->Page().Columns; ++c)
                row << list->Page().CellText(r, c);
            cells.push_back(row);
        }
        return cells;
    }
    void SetAllCells(const Cells &cells)
    {
        for (int r = 0; r < int(cells.size()); ++r)
            for (int c = 0; c < int(cells[size_t(r)].size()); ++c)
                list->Page().SetCellText(r, c, cells[size_t(r)][c]);
    }
    QPoint CellCenter(int row, int column) const
    {
        int x = 0;
        for (int c = 0; c < column; ++c)
            x += list->ColumnWidth(c);
        return {x + list->ColumnWidth(column) / 2, list->RowBounds(row).center().y()};
    }
    // The cursor to (row, column) and Enter, as the engineer opens an editor by keyboard.
    void Open(int row, int column)
    {
        list->setFocus();
        form->SelectedRow = row;
        form->SelectedColumn = column;
        QTest::keyClick(list, Qt::Key_Return);
    }
    // The list editor's drop-down closes with its choice; the main window is active again.
    void CloseDropDown()
    {
        ASSERT_TRUE(cb->view()->isVisible());
        QTest::keyClick(cb->view(), Qt::Key_Return);
        ASSERT_FALSE(cb->view()->isVisible());
        QApplication::setActiveWindow(form.get()); // the drop-down had it
        ASSERT_TRUE(cb->hasFocus());
    }

    QTemporaryDir tmp;
    QStringList messages;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
};

const Qt::Key kKeys[] = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_Left,   Qt::Key_Right,
                         Qt::Key_Home, Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown};

const char *KeyName(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Up: return "Up";
    case Qt::Key_Down: return "Down";
    case Qt::Key_Left: return "Left";
    case Qt::Key_Right: return "Right";
    case Qt::Key_Home: return "Home";
    case Qt::Key_End: return "End";
    case Qt::Key_PageUp: return "PgUp";
    case Qt::Key_PageDown: return "PgDn";
    default: return "?";
    }
}

} // namespace

// Every editor, every cursor key, every way it ends. The number and list cells are in the middle of a
// page of four columns, so each arrow has a cell to go to (the text is the last row of its page). The
// text and number editors use no arrow but for the caret; the list editor steps its choice through its
// items, stored at once when its drop-down is closed and on Enter when it is open.
TEST_F(EditorKeys, AKeyInAnOpenEditorMovesNoCursorAndTheValueStaysInItsCell)
{
    enum class Editor { Text, Number, List, DroppedList };
    const struct {
        Editor editor;
        const char *page;
        const char *caption;
        int column;
        const char *typed; // the text and number editors: typed over the value
        const char *clicked; // the row of a boolean cell a click ends the editor on
    } editors[] = {
        {Editor::Text, "Общие параметры", "Название объекта", 1, "Sklad 2", "Звук включен"},
        {Editor::Number, "шлейфы", "Задержка, с", 2, "45", "Автоперевзятие"},
        {Editor::List, "шлейфы", "Тип шлейфа", 2, nullptr, "Автоперевзятие"},
        {Editor::DroppedList, "шлейфы", "Тип шлейфа", 2, nullptr, nullptr},
    };
    // The list's items: Пожарный дымовой, тепловой, ручной, Охранный, Технологический; it opens on the
    // middle one. A closed list steps one item by a page key, the open one a page: here all of them.
    const QString listBefore = "Пожарный ручной";
    auto listChoice = [](Qt::Key key, bool dropped) -> QString {
        switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Left: return "Пожарный тепловой";
        case Qt::Key_Down:
        case Qt::Key_Right: return "Охранный";
        case Qt::Key_Home: return "Пожарный дымовой";
        case Qt::Key_End: return "Технологический";
        case Qt::Key_PageUp: return dropped ? "Пожарный дымовой" : "Пожарный тепловой";
        case Qt::Key_PageDown: return dropped ? "Технологический" : "Охранный";
        default: return {};
        }
    };
    enum class End { Enter, Escape, Tab, Click, PageChange, Command };
    const char *endNames[] = {"Enter", "Escape", "Tab", "click", "page change", "command"};

    Show("Тиврон-А", "шлейфы");
    for (const auto &e : editors) {
        const bool isList = e.editor == Editor::List || e.editor == Editor::DroppedList;
        const bool dropped = e.editor == Editor::DroppedList;
        ShowPage(QString::fromUtf8(e.page));
        const int row = Row(QString::fromUtf8(e.caption));
        const int clickRow = e.clicked ? Row(QString::fromUtf8(e.clicked)) : -1;
        const int otherPage = form->PageControl->currentIndex() == 0 ? 1 : 0;
        const Cells original = AllCells();
        for (const Qt::Key key : kKeys) {
            for (const End end : {End::Enter, End::Escape, End::Tab, End::Click, End::PageChange, End::Command}) {
                // The open drop-down takes the click or the page change as a click outside it.
                if (dropped && end != End::Enter && end != End::Escape && end != End::Command)
                    continue;
                const std::string where = std::string(e.caption) + (dropped ? " dropped down, " : ", ") +
                                          KeyName(key) + ", " + endNames[int(end)];
                ShowPage(QString::fromUtf8(e.page));
                if (isList) {
                    ASSERT_TRUE(list->Page().SetCellText(row, e.column - 1, listBefore));
                }
                Open(row, e.column);
                QWidget *box = isList ? static_cast<QWidget *>(cb) : e.editor == Editor::Text ? edit : medit;
                QString typed;
                if (e.editor == Editor::List) {
                    CloseDropDown();
                } else if (!isList) {
                    ASSERT_TRUE(box->hasFocus()) << where;
                    QTest::keyClicks(box, QString::fromUtf8(e.typed));
                    typed = QString::fromUtf8(e.typed);
                } else {
                    ASSERT_TRUE(cb->view()->isVisible()) << where;
                }
                const QString status = form->StatusText();

                QTest::keyClick(dropped ? static_cast<QWidget *>(cb->view()) : box, key);

                EXPECT_EQ(form->SelectedRow, row) << where;
                EXPECT_EQ(form->SelectedColumn, e.column) << where;
                QString stored = typed;
                if (dropped) {
                    EXPECT_TRUE(cb->view()->isVisible()) << where;
                    EXPECT_EQ(cb->view()->currentIndex().data().toString(), listChoice(key, true)) << where;
                    EXPECT_EQ(form->StatusText(), status) << where;
                    stored = end == End::Enter ? listChoice(key, true) : listBefore;
                } else if (isList) {
                    EXPECT_TRUE(cb->hasFocus()) << where;
                    stored = listChoice(key, false);
                    EXPECT_EQ(cb->currentText(), stored) << where;
                    EXPECT_EQ(form->StatusText(), stored) << where;
                } else {
                    EXPECT_TRUE(box->hasFocus()) << where;
                    EXPECT_EQ(static_cast<QLineEdit *>(box)->text(), typed) << where;
                    EXPECT_EQ(form->StatusText(), status) << where;
                }
                // Only a closed list stores before the editor ends.
                const QString cellNow = !isList ? original[row][e.column - 1] : dropped ? listBefore : stored;
                EXPECT_EQ(list->Page().CellText(row, e.column - 1), cellNow) << where;

                QWidget *keys = dropped ? static_cast<QWidget *>(cb->view()) : box;
                switch (end) {
                case End::Enter:
                    QTest::keyClick(keys, Qt::Key_Return);
                    break;
                case End::Escape:
                    QTest::keyClick(keys, Qt::Key_Escape);
                    break;
                case End::Tab:
                    QTest::keyClick(keys, Qt::Key_Tab);
                    break;
                case End::Click:
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(clickRow, e.column));
                    break;
                case End::PageChange: {
                    QTabBar *tabs = form->PageControl->tabBar();
                    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(otherPage).center());
                    ASSERT_EQ(form->PageControl->currentIndex(), otherPage) << where;
                    break;
                }
                case End::Command:
                    form->EndCellEditing();
                    break;
                }
                QApplication::setActiveWindow(form.get()); // a drop-down may have had it
                // Enter leaves the list editor open, its drop-down closed, as the design's drop-down does.
                const bool staysOpen = isList && end == End::Enter;
                EXPECT_EQ(box->isVisible(), staysOpen) << where;
                if (staysOpen)
                    list->setFocus();
                EXPECT_TRUE(box->isHidden()) << where;
                Cells expected = original;
                expected[size_t(row)][e.column - 1] = stored;
                EXPECT_EQ(AllCells(), expected) << where;
                if (end == End::Click) {
                    EXPECT_EQ(form->SelectedRow, clickRow) << where; // the click moves the cursor
                } else if (end != End::PageChange) {
                    EXPECT_EQ(form->SelectedRow, row) << where;
                    EXPECT_EQ(form->SelectedColumn, e.column) << where;
                }
                SetAllCells(original);
            }
        }
    }
}

// The engineer's case: 45 over 30, Down, Enter; saved, the file read back shows the same.
TEST_F(EditorKeys, DownInTheNumberEditorLeavesTheRowBelowAloneAndTheFileAgrees)
{
    Show("Тиврон-А", "Общие параметры");
    const int delay = Row("Задержка звука, с");
    const int threshold = Row("Порог температуры, °C");
    ASSERT_EQ(threshold, delay + 1);
    ASSERT_EQ(list->Page().CellText(delay, 0), "30");
    ASSERT_EQ(list->Page().CellText(threshold, 0), "60");
    Open(delay, 1);
    ASSERT_TRUE(medit->hasFocus());
    QTest::keyClicks(medit, "45");
    QTest::keyClick(medit, Qt::Key_Down);
    EXPECT_EQ(form->SelectedRow, delay);
    QTest::keyClick(medit, Qt::Key_Return);
    EXPECT_EQ(list->Page().CellText(delay, 0), "45");
    EXPECT_EQ(list->Page().CellText(threshold, 0), "60");
    EXPECT_EQ(form->StatusText(), "45");

    form->actSaveFile->trigger();
    ASSERT_TRUE(QFile::exists(tmp.filePath("conf.DEV")));
    form->actOpenFile->trigger();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    ShowPage("Общие параметры");
    EXPECT_EQ(list->Page().CellText(delay, 0), "45");
    EXPECT_EQ(list->Page().CellText(threshold, 0), "60");
}

// Whatever moves the cursor while an editor is open (a page change clears it), the editor stores into
// the cell it was opened on.
TEST_F(EditorKeys, AnEditorStoresIntoItsOwnCellWhereverTheCursorWent)
{
    Show("Тиврон-А", "шлейфы");
    const struct {
        const char *caption;
        int column;
        std::function<void()> change; // after opening, the drop-down closed
        const char *stored;
    } cases[] = {
        {"Задержка, с", 3, [&] { QTest::keyClicks(medit, "45"); }, "45"},
        {"Задержка, с", 3, [&] { QTest::mouseClick(Find<CSpinButton>("ud")->UpButton, Qt::LeftButton); }, "1"},
        {"Тип шлейфа", 3, [&] { QTest::keyClick(cb, Qt::Key_Down); }, "Пожарный тепловой"},
    };
    const Cells original = AllCells();
    for (const auto &c : cases) {
        const int row = Row(QString::fromUtf8(c.caption));
        for (const std::pair<int, int> &cursor : {std::pair(-1, -1), std::pair(row + 1, c.column - 1)}) {
            const std::string where = std::string(c.caption) + " " + c.stored + ", cursor " +
                                      std::to_string(cursor.first) + "," + std::to_string(cursor.second);
            Open(row, c.column);
            if (cb->isVisible())
                CloseDropDown();
            form->SelectedRow = cursor.first;
            form->SelectedColumn = cursor.second;
            c.change();
            form->EndCellEditing();
            Cells expected = original;
            expected[size_t(row)][c.column - 1] = QString::fromUtf8(c.stored);
            EXPECT_EQ(AllCells(), expected) << where;
            SetAllCells(original);
        }
    }
}

// The key and password pages' own boxes keep their keys too: no key moves the page's tree, and the
// focus stays in the box. The key type steps with Left and Right as with Up and Down.
TEST_F(EditorKeys, AKeyInABoxOfTheKeyOrPasswordPageStaysWithTheBox)
{
    Show("Тиврон-А", "шлейфы");
    const struct {
        const char *page;
        const char *tree;
        QStringList boxes;
    } pages[] = {
        {"Таблица ключей", "tvKey", {"editKeyName", "editKeyNo", "editKeyType", "editKeyNumber"}},
        {"Таблица паролей", "tvPass", {"editOperatorPassword"}},
    };
    for (const auto &p : pages) {
        for (int i = 0; i < form->PageControl->count(); ++i)
            if (form->PageControl->tabText(i) == p.page)
                form->PageControl->setCurrentIndex(i);
        n = QString::number(form->ActivePageId);
        if (auto *add = Find<QAbstractButton>("btnKeyAdd")) {
            add->click();
            add->click();
        }
        auto *tree = Find<QAbstractItemView>(p.tree);
        ASSERT_TRUE(tree) << p.page;
        ASSERT_GE(tree->model()->rowCount(), 2) << p.page;
        tree->setCurrentIndex(tree->model()->index(1, 0)); // the second node: its panel shows
        for (const QString &name : p.boxes) {
            auto *box = FindComponent<QWidget>(name + n, form->PageControl, 4);
            ASSERT_TRUE(box && box->isVisible()) << name.toStdString();
            for (const Qt::Key key : kKeys) {
                box->setFocus();
                QTest::keyClick(box, key);
                EXPECT_EQ(tree->currentIndex().row(), 1) << name.toStdString() << " " << KeyName(key);
                EXPECT_EQ(QApplication::focusWidget(), box) << name.toStdString() << " " << KeyName(key);
            }
        }
        if (p.boxes.contains("editKeyType")) {
            auto *type = FindComponent<CComboBox>("editKeyType" + n, form->PageControl, 4);
            CKey *key = static_cast<CTreeView *>(tree)->items().topNode(1)->key();
            ASSERT_TRUE(type && key);
            type->setFocus();
            QTest::keyClick(type, Qt::Key_Home);
            ASSERT_EQ(type->currentText(), "Ключ ТМ");
            QTest::keyClick(type, Qt::Key_Right);
            EXPECT_EQ(type->currentText(), "Карта");
            EXPECT_EQ(key->key_type, 2);
            QTest::keyClick(type, Qt::Key_Left);
            EXPECT_EQ(type->currentText(), "Ключ ТМ");
            EXPECT_EQ(key->key_type, 1);
        }
    }
}
