#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/auto_select.h"
#include "tests/support/focus_check.h"

namespace {
// A window with a plain line edit and spin box beside ones that select on focus.
struct Boxes {
    QWidget window;
    QLineEdit *plainEdit = new QLineEdit(QStringLiteral("Объект"), &window);
    QLineEdit *edit = new QLineEdit(QStringLiteral("Объект"), &window);
    QSpinBox *plainSpin = new QSpinBox(&window);
    QSpinBox *spin = new QSpinBox(&window);
    Boxes()
    {
        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w : {static_cast<QWidget *>(plainEdit), static_cast<QWidget *>(edit),
                           static_cast<QWidget *>(plainSpin), static_cast<QWidget *>(spin)})
            layout->addWidget(w);
        for (QSpinBox *s : {plainSpin, spin}) {
            s->setRange(0, 1000);
            s->setValue(698);
        }
        SelectAllOnFocus(edit);
        SelectAllOnFocus(spin);
    }
};
} // namespace

TEST(SelectAllOnFocus, FocusByCodeTabOrShortcutSelectsTheWholeText)
{
    const struct {
        Qt::FocusReason reason;
        bool selects;
    } cases[] = {
        {Qt::OtherFocusReason, true},         {Qt::TabFocusReason, true},     {Qt::BacktabFocusReason, true},
        {Qt::ShortcutFocusReason, true},      {Qt::MouseFocusReason, false},  {Qt::PopupFocusReason, false},
        {Qt::ActiveWindowFocusReason, false}, {Qt::MenuBarFocusReason, false},
    };
    Boxes b;
    for (const auto &c : cases) {
        EXPECT_EQ(SelectsAllOnFocus(c.reason), c.selects) << c.reason;
        EXPECT_EQ(SelectedOnFocus(b.edit, c.reason), c.selects ? "Объект" : "") << c.reason;
        EXPECT_EQ(SelectedOnFocus(b.spin, c.reason), c.selects ? "698" : "") << c.reason;
    }
    // Qt's own boxes select only for Tab: focus by code leaves the caret where it was.
    EXPECT_EQ(SelectedOnFocus(b.plainEdit, Qt::OtherFocusReason), "");
    EXPECT_EQ(SelectedOnFocus(b.plainSpin, Qt::OtherFocusReason), "");
}

TEST(SelectAllOnFocus, TypingReplacesTheValueAndAClickPlacesTheCaret)
{
    Boxes b;
    ASSERT_EQ(SelectedOnFocus(b.edit), "Объект");
    QTest::keyClicks(b.edit, "Sklad");
    EXPECT_EQ(b.edit->text(), "Sklad");

    ASSERT_EQ(SelectedOnFocus(b.spin), "698");
    QTest::keyClicks(b.spin, "700");
    EXPECT_EQ(b.spin->text(), "700");

    // A click into the box that has the focus puts the caret there and selects nothing.
    ASSERT_EQ(SelectedOnFocus(b.edit), "Sklad");
    QTest::mouseClick(b.edit, Qt::LeftButton, {}, QPoint(2, b.edit->height() / 2));
    EXPECT_FALSE(b.edit->hasSelectedText());
    EXPECT_EQ(b.edit->cursorPosition(), 0);
    // A first click into a box without the focus too.
    b.edit->clearFocus();
    QTest::mouseClick(b.edit, Qt::LeftButton, {}, QPoint(2, b.edit->height() / 2));
    EXPECT_TRUE(b.edit->hasFocus());
    EXPECT_FALSE(b.edit->hasSelectedText());
}
