#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "editor/components.h"
#include "editor/controls.h"

TEST(Controls, LineEditFiresOnRealChangesOnly)
{
    CLineEdit edit;
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    edit.SetText("abc");
    edit.SetText("abc");
    EXPECT_EQ(changes, 1);
    edit.SetText("");
    EXPECT_EQ(changes, 2);
}

TEST(Controls, TypingLimitKeepsCodeSetText)
{
    QWidget w;
    CLineEdit edit(&w);
    edit.SetMaxLength(4);
    edit.SetText("1234567890"); // a longer stored value stays whole
    EXPECT_EQ(edit.Text(), "1234567890");
    w.show();
    edit.setFocus();
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_5);
    EXPECT_EQ(edit.Text(), "1234567890"); // never grows
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.Text(), "123456789"); // may shrink
    edit.SetText("");
    QTest::keyClicks(&edit, "abcdef");
    EXPECT_EQ(edit.Text(), "abcd");
}

TEST(Controls, ComboFiresForTheEngineersChoiceOnly)
{
    QWidget w;
    CComboBox cb(&w);
    cb.addItems({"a", "b", "c"});
    int changes = 0;
    cb.OnChange = [&] { ++changes; };
    cb.SetItemIndex(2);
    cb.SetItemIndex(-1);
    EXPECT_EQ(changes, 0);
    w.show();
    cb.setFocus();
    QTest::keyClick(&cb, Qt::Key_Down);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(cb.ItemIndex(), 0);
}

TEST(Controls, CheckBoxClickFiresForCodeToo)
{
    CCheckBox box("x");
    int clicks = 0;
    box.OnClick = [&] { ++clicks; };
    box.SetChecked(true);
    box.SetChecked(true);
    box.SetChecked(false);
    EXPECT_EQ(clicks, 2);
}

TEST(Controls, SpinEditClampsUnlessBoundsAreEqual)
{
    const struct {
        int min, max, set, expected;
    } cases[] = {
        {1, 10, 15, 10}, {1, 10, -3, 1}, {1, 10, 7, 7}, {0, 99, 300, 99}, {1, 1, 5, 5}, {1, 1, -20, -20},
    };
    for (const auto &c : cases) {
        CSpinEdit spin;
        spin.SetRange(c.min, c.max);
        spin.SetValue(c.set);
        EXPECT_EQ(spin.Value(), c.expected) << c.min << ".." << c.max << " set " << c.set;
        EXPECT_EQ(CSpinEdit::Clamp(c.set, c.min, c.max), c.expected);
    }
}

TEST(Controls, SpinEditTakesTypedOutOfRangeTextAndClampsOnExit)
{
    QWidget w;
    CSpinEdit spin(&w);
    QLineEdit other(&w);
    spin.SetRange(0, 255);
    spin.SetValue(5);
    int changes = 0;
    spin.OnChange = [&] { ++changes; };
    w.show();
    QApplication::setActiveWindow(&w);
    spin.setFocus();
    spin.selectAll();
    QTest::keyClicks(&spin, "300");
    EXPECT_EQ(spin.text(), "300"); // a plain spin box would have refused the last digit
    other.setFocus();
    EXPECT_EQ(spin.Value(), 255);
    EXPECT_GE(changes, 1);
}

TEST(Controls, ExitIgnoresPopupAndOtherWindows)
{
    EXPECT_FALSE(IsExitReason(Qt::PopupFocusReason));
    EXPECT_FALSE(IsExitReason(Qt::ActiveWindowFocusReason));
    EXPECT_FALSE(IsExitReason(Qt::MenuBarFocusReason));
    EXPECT_TRUE(IsExitReason(Qt::OtherFocusReason));
    EXPECT_TRUE(IsExitReason(Qt::MouseFocusReason));
}

TEST(Controls, HidingAFocusedControlRaisesItsExitOnce)
{
    QWidget w;
    CLineEdit edit(&w);
    int exits = 0;
    edit.OnExit = [&] { ++exits; };
    w.show();
    QApplication::setActiveWindow(&w);
    edit.setFocus();
    ASSERT_TRUE(edit.hasFocus());
    HideControl(&edit);
    HideControl(&edit);
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(edit.isVisible());
}

TEST(Controls, NumberEditAcceptsSignOnlyForNegativeMinimum)
{
    const struct {
        int min, max;
        const char *text;
        bool ok;
    } cases[] = {
        {5, 120, "999", true}, {5, 120, "1000", false}, {5, 120, "-1", false}, {-40, 5, "-40", true},
        {-40, 5, "40", true},  {-1000, 5, "-1000", true}, {0, 9, "a", false},  {0, 9, "", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CNumberEdit::Acceptable(c.text, c.min, c.max), c.ok) << c.min << " " << c.max << " " << c.text;
    EXPECT_EQ(CNumberEdit::EditMaskFor(5, 120), "!999;1;_");
    EXPECT_EQ(CNumberEdit::EditMaskFor(-1000, 5), "!99999;1;_");
}

TEST(Components, FindComponentByNameKeepsTheDepthRule)
{
    QObject root, sheet, list, editor, other;
    NameComponent(&sheet, &root, "ts5");
    NameComponent(&list, &sheet, "lvQ5");
    NameComponent(&editor, &list, "cb5");
    NameComponent(&other, &root, "ts6");
    EXPECT_EQ(FindComponentByName("ts5", &root, 1), &sheet);
    EXPECT_EQ(FindComponentByName("lvQ5", &root, 1), nullptr);
    EXPECT_EQ(FindComponentByName("lvQ5", &root, 2), &list);
    EXPECT_EQ(FindComponentByName("cb5", &root, 2), nullptr);
    EXPECT_EQ(FindComponentByName("cb5", &root, 3), &editor);
    EXPECT_EQ(FindComponentByName("CB5", &root, 3), nullptr); // case-sensitive
    EXPECT_EQ(FindComponentByName("ts6", &root, 3), &other);
    EXPECT_EQ(FindComponentByName("x", nullptr, 3), nullptr);
}

TEST(Components, DeletedComponentsDropOut)
{
    QObject root;
    auto *sheet = new QObject;
    NameComponent(sheet, &root, "ts1");
    EXPECT_EQ(Components(&root).size(), 1);
    delete sheet;
    EXPECT_TRUE(Components(&root).isEmpty());
    EXPECT_EQ(FindComponentByName("ts1", &root, 2), nullptr);
}

TEST(Components, PageIdsFromSenderNames)
{
    EXPECT_EQ(PageIdFromName("lvQ12", "lvQ"), 12);
    EXPECT_EQ(PageIdFromName("chkPHos12_3", "chkPHos"), 12);
    EXPECT_EQ(PageIdFromName("tvKey7", "tvPass"), -1);
    EXPECT_EQ(PageIdFromName("tvKeyx", "tvKey"), -1);
    EXPECT_EQ(NameTail("chkPHos12_3"), "3");
    EXPECT_EQ(NameTail("lvQ12"), "");
    EXPECT_EQ(SwapNamePrefix("medit4", "medit", "ud"), "ud4");
    EXPECT_EQ(SwapNamePrefix("edit4", "medit", "ud"), "");
}
