#include <gtest/gtest.h>

#include <vector>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QWheelEvent>

#include "demo_pages.h"
#include "editor/param_list_view.h"

namespace {
// "Общие параметры" of the demo in a window small enough that the list scrolls.
class CursorKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(demo.Open(QSize(600, 250)));
        demo.ShowPage("Общие параметры");
        list = demo.Find<CParamListView>("lvQ" + demo.PageNumber("Общие параметры"));
        ASSERT_NE(list, nullptr);
        list->setFocus();
        ASSERT_LT(list->viewport()->height(), list->RowBounds(list->Page().RowCount() - 1).bottom());
    }
    int RowOf(const QString &caption) const
    {
        for (int r = 0; r < list->Page().RowCount(); ++r)
            if (list->Page().Caption(r) == caption)
                return r;
        return -1;
    }
    QPoint CellCenter(int row, int column) const
    {
        int x = 0;
        for (int c = 0; c < column; ++c)
            x += list->ColumnWidth(c);
        return {x + list->ColumnWidth(column) / 2, list->RowBounds(row).center().y()};
    }
    void Wheel(int notches)
    {
        const QPoint at = list->viewport()->rect().center();
        for (int i = 0; i < notches; ++i) {
            QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list->viewport(), &wheel);
        }
    }
    std::vector<QString> Cells() const
    {
        std::vector<QString> cells;
        for (int r = 0; r < list->Page().RowCount(); ++r)
            cells.push_back(list->Page().CellText(r, 0));
        return cells;
    }
    // The rows whose value differs from before, each with whether it was in view.
    std::vector<std::pair<int, bool>> Changed(const std::vector<QString> &before) const
    {
        std::vector<std::pair<int, bool>> rows;
        for (int r = 0; r < list->Page().RowCount(); ++r)
            if (list->Page().CellText(r, 0) != before[size_t(r)])
                rows.emplace_back(r, list->CellInView(r, 1));
        return rows;
    }

    DemoPages demo;
    CParamListView *list = nullptr;
};
} // namespace

// Home, End, PgUp and PgDn after a wheel turn move the cell cursor in its column to where the key
// says, whatever the pointer rests on, and show it; Space then changes only that shown cell.
TEST_F(CursorKeys, PagingKeysMoveTheCursorInItsColumnAndShowIt)
{
    const int sound = RowOf("Задержка звука, с");
    ASSERT_GE(sound, 0);
    const int last = list->Page().RowCount() - 1;
    const struct {
        Qt::Key key;
        bool pointerOnList;
        int row; // where the cursor goes; -1: one page below the clicked row
    } cases[] = {
        {Qt::Key_End, false, last},
        {Qt::Key_End, true, last},
        {Qt::Key_PageDown, true, -1},
        {Qt::Key_PageDown, false, -1},
        {Qt::Key_Home, true, 0},
    };
    for (const auto &c : cases) {
        const std::string where = std::to_string(c.key) + (c.pointerOnList ? " on the list" : " off the window");
        list->scrollToTop();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(sound, 1));
        ASSERT_EQ(demo.form.SelectedRow, sound) << where;
        ASSERT_EQ(demo.form.SelectedColumn, 1) << where;
        Wheel(2);
        QCursor::setPos(c.pointerOnList ? list->viewport()->mapToGlobal(CellCenter(sound, 1))
                                        : demo.form.geometry().bottomRight() + QPoint(200, 200));
        QTest::keyClick(list, c.key);
        if (c.row >= 0)
            EXPECT_EQ(demo.form.SelectedRow, c.row) << where;
        else
            EXPECT_GT(demo.form.SelectedRow, sound) << where;
        EXPECT_EQ(demo.form.SelectedColumn, 1) << where;
        EXPECT_TRUE(list->CellInView(demo.form.SelectedRow, 1)) << where;
        EXPECT_EQ(list->currentIndex().row(), demo.form.SelectedRow) << where;

        const std::vector<QString> before = Cells();
        QTest::keyClick(list, Qt::Key_Space);
        for (const auto &[row, shown] : Changed(before)) {
            EXPECT_EQ(row, demo.form.SelectedRow) << where;
            EXPECT_TRUE(shown) << where << " row " << row;
        }
    }
}

// A cursor cell the wheel took out of view is first brought back into view by Space or Enter; only
// the next key changes it.
TEST_F(CursorKeys, SpaceOnACursorOutOfViewShowsItFirst)
{
    const int sound = RowOf("Задержка звука, с");
    ASSERT_GE(sound, 0);
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        list->scrollToTop();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(sound, 1));
        ASSERT_EQ(demo.form.SelectedRow, sound);
        Wheel(3);
        ASSERT_FALSE(list->CellInView(sound, 1));
        const std::vector<QString> before = Cells();
        QTest::keyClick(list, key);
        EXPECT_TRUE(Changed(before).empty()) << key;
        EXPECT_TRUE(list->CellInView(sound, 1)) << key;
        EXPECT_EQ(QApplication::focusWidget(), list) << key; // no editor opened
        EXPECT_EQ(demo.form.SelectedRow, sound);
    }
    const std::vector<QString> before = Cells();
    QTest::keyClick(list, Qt::Key_Space);
    const auto changed = Changed(before);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].first, sound);
    EXPECT_TRUE(changed[0].second);
}
