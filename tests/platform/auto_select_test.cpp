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
        bool entering;  // the box takes its window's focus from another control or none
        bool returning; // the box had its window's focus and gets it back
    } cases[] = {
        {Qt::OtherFocusReason, true, true},         {Qt::TabFocusReason, true, true},
        {Qt::BacktabFocusReason, true, true},       {Qt::ShortcutFocusReason, true, true},
        {Qt::MouseFocusReason, false, false},       {Qt::PopupFocusReason, false, false},
        {Qt::ActiveWindowFocusReason, true, false}, {Qt::MenuBarFocusReason, false, false},
    };
    Boxes b;
    for (const auto &c : cases) {
        EXPECT_EQ(SelectsAllOnFocus(c.reason, false), c.entering) << c.reason;
        EXPECT_EQ(SelectsAllOnFocus(c.reason, true), c.returning) << c.reason;
        // The focus leaves the box for none first: it enters again.
        EXPECT_EQ(SelectedOnFocus(b.edit, c.reason), c.entering ? "Объект" : "") << c.reason;
        EXPECT_EQ(SelectedOnFocus(b.spin, c.reason), c.entering ? "698" : "") << c.reason;
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

// The focus a box takes as its window opens is an entry like any other, so the first key replaces the
// value; the window coming back after another one is not: the engineer goes on where the caret was.
TEST(SelectAllOnFocus, TheBoxFocusedAsItsWindowOpensIsSelected)
{
    for (const bool spinFirst : {true, false}) {
        SCOPED_TRACE(spinFirst ? "spin box first" : "edit box first");
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        QSpinBox *spin = nullptr;
        QLineEdit *edit = nullptr;
        for (int i = 0; i < 2; ++i) { // the tab order is the order made
            if ((i == 0) == spinFirst) {
                spin = new QSpinBox(&window);
                spin->setRange(0, 1000);
                spin->setValue(6);
                layout->addWidget(spin);
            } else {
                edit = new QLineEdit(QStringLiteral("Объект"), &window);
                layout->addWidget(edit);
            }
        }
        SelectAllOnFocus(spin);
        SelectAllOnFocus(edit);
        QWidget *first = spinFirst ? static_cast<QWidget *>(spin) : edit;
        QLineEdit *typed = LineEditOf(first);

        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(QApplication::focusWidget(), first);
        EXPECT_EQ(typed->selectedText(), spinFirst ? "6" : "Объект");
        QTest::keyClicks(first, "9");
        EXPECT_EQ(typed->text(), "9");

        // Mid-edit, another window comes and goes: the caret stays after what was typed.
        QTest::keyClicks(first, "1");
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(QApplication::focusWidget(), first);
        EXPECT_FALSE(typed->hasSelectedText());
        QTest::keyClicks(first, "2");
        EXPECT_EQ(typed->text(), "912");

        // Closed and opened again: a new entry.
        window.hide();
        other.hide();
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(QApplication::focusWidget(), first);
        EXPECT_EQ(typed->selectedText(), "912");
    }
}
