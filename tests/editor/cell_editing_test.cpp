#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "pages_fixture.h"
#include "platform/fonts.h"

using namespace pages_fixture;

namespace {
// One page: rows 0 number 5..120, 1 list (А=1, Б=2), 2 boolean, 3 text, 4 sys, 5 number 0..1000.
class CellEditing : public ::testing::Test {
protected:
    void Build(int columns)
    {
        CTreeNode *device = AddDevice(tree, "Тиврон-А", 1);
        QStringList addresses;
        for (int c = 0; c < columns; ++c)
            addresses << QString::number(10 + c, 16); // 10, 11, ...: within the first row's range
        CTreeNode *t = AddTable(tree, device, "Общие", "table", columns, addresses, 60);
        AddParameter(tree, t, "Число", "числовой", "50", 5, 120);
        CTreeNode *list = AddParameter(tree, t, "Режим", "список", "1");
        AddItem(tree, list, "А", "1");
        AddItem(tree, list, "Б", "2");
        AddParameter(tree, t, "Флаг", "логический", "");
        AddParameter(tree, t, "Имя", "текстовый", "abc");
        AddParameter(tree, t, "Сис", "sys", "0");
        AddParameter(tree, t, "Период опроса", "числовой", "0", 0, 1000);
        form.resize(900, 600);
        form.BuildDevicePages(device, nullptr, false);
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        n = QString::number(form.ActivePageId);
        list_ = FindComponent<CParamListView>("lvQ" + n, form.PageControl, 3);
        ASSERT_NE(list_, nullptr);
        list_->setFocus();
    }
    template <class T>
    T *Control(const QString &prefix)
    {
        return FindComponent<T>(prefix + n, form.PageControl, 3);
    }
    void Open(int row, int column)
    {
        form.SelectedRow = row;
        form.SelectedColumn = column;
        form.lvQDblClick(list_);
    }
    QString Cell(int row, int column) { return list_->Page().CellText(row, column - 1); }
    QPoint CellCenter(int row, int column) const
    {
        int x = 0;
        for (int c = 0; c < column; ++c)
            x += list_->ColumnWidth(c);
        return {x + list_->ColumnWidth(column) / 2, list_->RowBounds(row).center().y()};
    }

    CTree tree;
    TMainForm form;
    QString n;
    CParamListView *list_ = nullptr;
};
} // namespace

TEST_F(CellEditing, EscapeKeepsTheTypedTextAndEachHideExitsOnce)
{
    Build(1);
    auto *edit = Control<CLineEdit>("edit");
    ASSERT_NE(edit, nullptr);
    int exits = 0;
    const ControlHandler exit = edit->OnExit;
    edit->OnExit = [&] { ++exits; exit(); };

    Open(3, 1);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "abc");
    EXPECT_EQ(edit->geometry(), QRect(form.EditorRect.Left, form.EditorRect.Top, form.EditorRect.Width,
                                      form.EditorRect.Height));
    QTest::keyClicks(edit, "new");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(Cell(3, 1), "new");
    EXPECT_TRUE(list_->hasFocus());
    EXPECT_EQ(exits, 1);

    Open(3, 1);
    QTest::keyClick(edit, Qt::Key_End); // the caret after the text, which is then kept
    QTest::keyClicks(edit, "!");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Cell(3, 1), "new!");
    EXPECT_EQ(exits, 2);
    EXPECT_FALSE(edit->isVisible());
}

TEST_F(CellEditing, AListChoiceIsStoredAtOnceAndStaysAfterEscape)
{
    Build(1);
    auto *cb = Control<CComboBox>("cb");
    ASSERT_NE(cb, nullptr);
    Open(1, 1);
    ASSERT_TRUE(cb->isVisible());
    EXPECT_EQ(cb->count(), 2);
    EXPECT_EQ(cb->currentText(), "А");
    EXPECT_EQ(Cell(1, 1), "А"); // opening selects without storing
    cb->hidePopup();
    QApplication::setActiveWindow(&form); // the list's popup had it
    cb->setFocus();
    QTest::keyClick(cb, Qt::Key_Down);
    EXPECT_EQ(Cell(1, 1), "Б");
    EXPECT_EQ(form.StatusText(), "Б");
    // Enter stays with the open list: it does not reach the page, which would open the list anew.
    QTest::keyClick(cb, Qt::Key_Return);
    EXPECT_FALSE(cb->view()->isVisible());
    EXPECT_EQ(cb->currentText(), "Б");
    QTest::keyClick(cb, Qt::Key_Escape);
    EXPECT_FALSE(cb->isVisible());
    EXPECT_EQ(Cell(1, 1), "Б");
    EXPECT_TRUE(list_->hasFocus());
}

TEST_F(CellEditing, NumberEditorClampsAndStoresOnlyWhatWasEdited)
{
    Build(1);
    auto *medit = Control<CNumberEdit>("medit");
    auto *ud = Control<CSpinButton>("ud");
    ASSERT_TRUE(medit && ud);

    // Looking at an out-of-range value does not rewrite it.
    list_->Page().SetCellText(0, 0, "300");
    Open(0, 1);
    ASSERT_TRUE(medit->isVisible());
    EXPECT_TRUE(ud->isVisible());
    EXPECT_EQ(medit->text(), "300");
    EXPECT_EQ(medit->width(), form.EditorRect.Width - 16);
    list_->setFocus();
    EXPECT_FALSE(medit->isVisible());
    EXPECT_FALSE(ud->isVisible());
    EXPECT_EQ(Cell(0, 1), "300");

    const struct {
        const char *typed;
        const char *stored;
    } cases[] = {{"2", "5"}, {"999", "120"}, {"77", "77"}};
    for (const auto &c : cases) {
        Open(0, 1);
        QTest::keyClicks(medit, c.typed);
        list_->setFocus(); // leaving stores the clamped value
        EXPECT_EQ(Cell(0, 1), c.stored) << c.typed;
    }
    Open(0, 1);
    QTest::keyClicks(medit, "-1234"); // no sign for MinValue 5, no fourth digit
    EXPECT_EQ(medit->text(), "123");

    list_->Page().SetCellText(0, 0, "120");
    Open(0, 1);
    QTest::mouseClick(ud->UpButton, Qt::LeftButton);
    EXPECT_EQ(medit->text(), "120");
    QTest::mouseClick(ud->DownButton, Qt::LeftButton);
    EXPECT_EQ(medit->text(), "119");
    EXPECT_EQ(Cell(0, 1), "119");
    EXPECT_TRUE(medit->hasFocus()); // the button never takes the focus
    QTest::keyClick(medit, Qt::Key_Return);
    EXPECT_EQ(form.StatusText(), "119");
    EXPECT_FALSE(medit->isVisible());
}

TEST_F(CellEditing, BooleanToggleSysAndTheMultiColumnAddressRow)
{
    Build(1);
    Open(2, 1);
    EXPECT_EQ(Cell(2, 1), "+");
    EXPECT_EQ(form.StatusText(), "Да");
    Open(2, 1);
    EXPECT_EQ(Cell(2, 1), " ");
    EXPECT_EQ(form.StatusText(), "Нет");
    Open(4, 1);
    EXPECT_EQ(Cell(4, 1), "10");
    for (const char *editor : {"edit", "cb", "medit"})
        EXPECT_FALSE(Control<QWidget>(editor)->isVisible()) << editor;
}

TEST_F(CellEditing, RowZeroOfAThreeColumnListTableOpensNothing)
{
    CTreeNode *device = AddDevice(tree, "D", 1);
    CTreeNode *t = AddTable(tree, device, "Выходы", "table", 3, {"01", "02", "03"});
    CTreeNode *p = AddParameter(tree, t, "Выход", "список", "0");
    AddItem(tree, p, "Первый", "1");
    AddItem(tree, p, "Второй", "2");
    CTreeNode *q = AddParameter(tree, t, "Режим", "список", "2");
    AddItem(tree, q, "Первый", "1");
    AddItem(tree, q, "Второй", "2");
    form.BuildDevicePages(device, nullptr, false);
    form.show();
    n = QString::number(form.ActivePageId);
    list_ = Control<CParamListView>("lvQ");
    ASSERT_NE(list_, nullptr);
    EXPECT_EQ(Cell(0, 1), "Первый");
    EXPECT_EQ(Cell(0, 2), "Второй");
    EXPECT_EQ(Cell(0, 3), "3");
    Open(0, 2);
    EXPECT_FALSE(Control<QWidget>("cb")->isVisible());
    form.StepCellValue(list_, false);
    EXPECT_EQ(Cell(0, 2), "Второй");
    Open(1, 2);
    EXPECT_TRUE(Control<QWidget>("cb")->isVisible());
}

TEST_F(CellEditing, MouseAndKeyboardMoveTheCursor)
{
    Build(2);
    const QRect row1 = list_->RowBounds(1);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, QPoint(100, row1.center().y()));
    EXPECT_EQ(form.SelectedRow, 1);
    EXPECT_EQ(form.SelectedColumn, 0); // the caption column: no cursor cell
    EXPECT_EQ(form.StatusText(), "");

    const QRect row0 = list_->RowBounds(0);
    QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, QPoint(250 + 60 + 10, row0.center().y()));
    EXPECT_EQ(form.SelectedRow, 0);
    EXPECT_EQ(form.SelectedColumn, 2);
    EXPECT_EQ(form.StatusText(), "Число:    11"); // the first row of two columns: the table address
    EXPECT_EQ(form.SelectedColumnAddress, 11);

    list_->setFocus();
    QTest::keyClick(list_, Qt::Key_Space);
    EXPECT_EQ(Cell(0, 2), "12");
    EXPECT_EQ(form.StatusText(), "12");
    QTest::keyClick(list_, Qt::Key_Space, Qt::ShiftModifier);
    QTest::keyClick(list_, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(Cell(0, 2), "10");
    QTest::keyClick(list_, Qt::Key_Left);
    EXPECT_EQ(form.SelectedColumn, 1);
    EXPECT_TRUE(form.SelectByKeyboard);
    QTest::keyClick(list_, Qt::Key_Down);
    EXPECT_EQ(form.SelectedRow, 1);
    EXPECT_EQ(form.SelectedColumn, 1);
    EXPECT_EQ(form.StatusText(), "Режим:    А");
    QTest::keyClick(list_, Qt::Key_Return);
    EXPECT_TRUE(Control<QWidget>("cb")->isVisible());

    form.UpdateEditorRect();
    const QRect r = list_->RowBounds(1);
    EXPECT_EQ(form.EditorRect.Left, r.left() + 250);
    EXPECT_EQ(form.EditorRect.Top, r.top());
    EXPECT_EQ(form.EditorRect.Width, 59);
    EXPECT_EQ(form.EditorRect.Height, r.height() - 1);
}

TEST(ParamRowPainting, WideTextsAreElidedAndMarksShow)
{
    const QFont font = TahomaPoints(10);
    const QFontMetrics metrics(font);
    EXPECT_EQ(CellTextShown("Пуск", metrics, 40), "Пуск");
    const QString wide = "Пожарный тепловой"; // a list value as wide as its column or wider
    for (const int column : {metrics.horizontalAdvance(wide), 40}) {
        const QString shown = CellTextShown(wide, metrics, column);
        EXPECT_TRUE(shown.endsWith(u'…')) << column;
        EXPECT_TRUE(wide.startsWith(shown.chopped(1))) << column;
        EXPECT_LE(metrics.horizontalAdvance(shown), column - 2) << column;
    }
    EXPECT_EQ(CellTextShown(wide, metrics, metrics.horizontalAdvance(wide) + 1), wide);

    CParamRowPaint row;
    row.Index = 0;
    row.Caption = "Параметр";
    row.ColumnWidths = {100, 40, 40, 40};
    row.Cells = {{"1", NoCellImage}, {wide, NoCellImage}, {"", DefaultMarker}};
    const QSize size(220, 18);
    const QImage plain = PaintParamRow(row, size, font);
    auto darkPixels = [&](const QImage &image, int left, int width) {
        int dark = 0;
        for (int x = left + 1; x < left + width - 2; ++x)
            for (int y = 1; y < size.height() - 2; ++y)
                if (qGray(image.pixel(x, y)) < 120)
                    ++dark;
        return dark;
    };
    EXPECT_GT(darkPixels(plain, 100, 40), 0); // "1" fits and is drawn
    EXPECT_GT(darkPixels(plain, 140, 40), 0); // too wide: drawn elided
    EXPECT_EQ(darkPixels(plain, 180, 40), 0); // within its own cell
    EXPECT_EQ(QColor(plain.pixel(110, 2)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(plain.pixel(200, 5)), QColor(212, 208, 200)); // the default mark
    EXPECT_EQ(QColor(plain.pixel(95, 8)), QColor(212, 208, 200));  // the caption cell

    row.Index = 1;
    row.CursorColumn = 3;
    const QImage cursor = PaintParamRow(row, size, font);
    EXPECT_EQ(QColor(cursor.pixel(110, 2)), QColor(240, 240, 240));
    EXPECT_EQ(QColor(cursor.pixel(200, 5)), QColor(160, 160, 255)); // the cursor covers the mark
    EXPECT_EQ(QColor(cursor.pixel(180, 0)), QColor(0, 0, 128));
}

TEST_F(CellEditing, AnotherWindowDoesNotCloseTheEditor)
{
    Build(1);
    auto *edit = Control<CLineEdit>("edit");
    Open(3, 1);
    ASSERT_TRUE(edit->hasFocus());
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(Cell(3, 1), "abc");
    QApplication::setActiveWindow(&form);
    EXPECT_TRUE(edit->isVisible());
}

// What the engineer types into a freshly opened editor replaces the cell's value.
TEST_F(CellEditing, TypingIntoAnOpenedEditorReplacesTheValue)
{
    Build(1);
    const struct {
        int row;
        const char *before;
        const char *typed; // nullptr: a list choice by Down in its drop-down; "": nothing (a boolean)
        const char *stored;
    } cases[] = {
        {3, "Объект", "Sklad", "Sklad"},
        {5, "0", "700", "700"},
        {0, "50", "999", "120"}, // clamped to the bounds
        {0, "50", "2", "5"},
        {1, "А", nullptr, "Б"},
        {2, "", "", "+"},
    };
    for (const bool byDoubleClick : {false, true}) {
        for (const auto &c : cases) {
            const std::string where = std::string(byDoubleClick ? "double click, " : "Enter, ") + c.stored;
            list_->Page().SetCellText(c.row, 0, c.before);
            list_->setFocus();
            if (byDoubleClick) {
                QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, CellCenter(c.row, 1));
            } else {
                form.SelectedRow = c.row;
                form.SelectedColumn = 1;
                QTest::keyClick(list_, Qt::Key_Return);
            }
            ASSERT_EQ(form.SelectedRow, c.row) << where;
            ASSERT_EQ(form.SelectedColumn, 1) << where;
            if (!c.typed) {
                auto *cb = Control<CComboBox>("cb");
                ASSERT_TRUE(cb->view()->isVisible()) << where;
                QTest::keyClick(cb->view(), Qt::Key_Down);
                QTest::keyClick(cb->view(), Qt::Key_Return);
                EXPECT_FALSE(cb->view()->isVisible()) << where;
                QApplication::setActiveWindow(&form); // the drop-down had it
                QTest::keyClick(cb, Qt::Key_Escape);
            } else if (*c.typed) {
                QWidget *editor = QApplication::focusWidget();
                ASSERT_TRUE(editor && editor != list_) << where;
                QTest::keyClicks(editor, c.typed);
                QTest::keyClick(editor, Qt::Key_Return);
            }
            EXPECT_EQ(Cell(c.row, 1), c.stored) << where;
            EXPECT_EQ(form.StatusText(), c.row == 2 ? "Да" : c.stored) << where;
            EXPECT_TRUE(list_->hasFocus()) << where;
        }
    }
}

TEST_F(CellEditing, AClickInsideAnOpenEditorPlacesTheCaret)
{
    Build(1);
    auto *edit = Control<CLineEdit>("edit");
    Open(3, 1);
    EXPECT_EQ(edit->selectedText(), "abc");
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(1, edit->height() / 2));
    EXPECT_FALSE(edit->hasSelectedText());
    EXPECT_EQ(edit->cursorPosition(), 0);
    QTest::keyClicks(edit, "x");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Cell(3, 1), "xabc");
}

// Whatever closes the number editor, the status shows what the cell then holds; a value only looked
// at is not rewritten.
TEST_F(CellEditing, TheStatusAgreesWithTheCellWhenTheNumberEditorCloses)
{
    Build(1);
    auto *medit = Control<CNumberEdit>("medit");
    const struct {
        const char *typed;
        Qt::Key key; // Qt::Key_unknown: the editor is left for the list
        const char *stored;
    } cases[] = {
        {"", Qt::Key_Escape, "1200"}, {"", Qt::Key_unknown, "1200"}, {"", Qt::Key_Return, "1000"},
        {"50", Qt::Key_Escape, "50"}, {"2000", Qt::Key_Escape, "1000"}, {"50", Qt::Key_unknown, "50"},
    };
    for (const auto &c : cases) {
        const std::string where = std::string(c.typed) + " " + std::to_string(c.key);
        list_->Page().SetCellText(5, 0, "1200");
        Open(5, 1);
        ASSERT_TRUE(medit->hasFocus()) << where;
        QTest::keyClicks(medit, c.typed);
        if (c.key == Qt::Key_unknown)
            list_->setFocus();
        else
            QTest::keyClick(medit, c.key);
        EXPECT_FALSE(medit->isVisible()) << where;
        EXPECT_EQ(Cell(5, 1), c.stored) << where;
        EXPECT_EQ(form.StatusText(), c.stored) << where;
    }
}

// The status names the cursor cell after every arrow key, also where the list's own row cannot move
// with the cursor (the first and the last row), and the list's current row follows the cursor.
TEST_F(CellEditing, TheStatusFollowsTheCursorOnEveryRow)
{
    Build(1);
    const QStringList status = {"Число:    50", "Режим:    А", "Флаг:    Нет", "Имя:    abc", "", "Период опроса:    0"};
    const int last = int(status.size()) - 1;
    for (const bool fromLastCaption : {false, true}) {
        SCOPED_TRACE(fromLastCaption ? "from the last row's caption" : "from no cursor");
        form.SelectedRow = -1;
        form.SelectedColumn = -1;
        list_->setCurrentIndex({});
        list_->setFocus();
        int row = -1;
        if (fromLastCaption) {
            QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, CellCenter(last, 0));
            ASSERT_EQ(form.SelectedRow, last);
            ASSERT_EQ(form.SelectedColumn, 0);
            row = last;
        }
        QTest::keyClick(list_, Qt::Key_Right);
        if (!fromLastCaption) {
            EXPECT_EQ(form.SelectedColumn, 0); // the caption column first: no cursor cell
            EXPECT_EQ(form.StatusText(), "");
            QTest::keyClick(list_, Qt::Key_Right);
            QTest::keyClick(list_, Qt::Key_Down);
            row = 0;
        }
        auto check = [&](const char *key) {
            EXPECT_EQ(form.SelectedRow, row) << key;
            EXPECT_EQ(form.SelectedColumn, 1) << key;
            EXPECT_EQ(form.StatusText(), status[row]) << key << " " << row;
            EXPECT_EQ(list_->currentIndex().row(), row) << key << " " << row;
        };
        check("Right");
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
            for (int i = 0; i <= last; ++i) { // one more than there are rows: the end holds
                QTest::keyClick(list_, key);
                row = std::clamp(row + (key == Qt::Key_Down ? 1 : -1), 0, last);
                check(key == Qt::Key_Down ? "Down" : "Up");
            }
        }
        QTest::keyClick(list_, Qt::Key_Right); // one column: the cursor stays, and so does the status
        check("Right");
    }
}

// One Escape closes the list editor, dropped down or not: the list has the focus, so the next Down
// moves the cursor and leaves the value as it was when Escape was pressed, a choice made included.
TEST_F(CellEditing, OneEscapeClosesTheListEditorAndDownThenMovesTheCursor)
{
    Build(1);
    auto *cb = Control<CComboBox>("cb");
    const struct {
        bool choose; // Down and Enter in the drop-down before Escape, which then finds it closed
        const char *stored;
    } cases[] = {{false, "А"}, {true, "Б"}};
    for (const auto &c : cases) {
        list_->Page().SetCellText(1, 0, "А");
        list_->setFocus();
        form.SelectedRow = 1;
        form.SelectedColumn = 1;
        QTest::keyClick(list_, Qt::Key_Return);
        ASSERT_TRUE(cb->view()->isVisible()) << c.stored;
        QTest::keyClick(cb->view(), Qt::Key_Down); // only moves the drop-down's highlight
        if (c.choose) {
            QTest::keyClick(cb->view(), Qt::Key_Return);
            ASSERT_FALSE(cb->view()->isVisible()) << c.stored;
            QApplication::setActiveWindow(&form); // the drop-down had it
            ASSERT_TRUE(cb->hasFocus()) << c.stored;
            QTest::keyClick(cb, Qt::Key_Escape);
        } else {
            QTest::keyClick(cb->view(), Qt::Key_Escape);
        }
        EXPECT_FALSE(cb->view()->isVisible()) << c.stored;
        EXPECT_FALSE(cb->isVisible()) << c.stored;
        EXPECT_EQ(Cell(1, 1), c.stored);
        QApplication::setActiveWindow(&form);
        ASSERT_EQ(QApplication::focusWidget(), list_) << c.stored;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(form.SelectedRow, 2) << c.stored;
        EXPECT_EQ(Cell(1, 1), c.stored);
        EXPECT_EQ(form.StatusText(), "Флаг:    Нет") << c.stored;
    }
}
