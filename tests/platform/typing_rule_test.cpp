#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "platform/typing_rule.h"

namespace {
// Digits only, at most three, as a small number box.
bool ThreeDigits(const QString &text, const QString &previous)
{
    for (QChar c : text)
        if (!c.isDigit())
            return false;
    return text.size() <= 3 || text.size() <= previous.size();
}
} // namespace

// One change from the engineer's side is taken as if its characters were typed one by one.
TEST(TypingRule, AChangeKeepsWhatTypingItWould)
{
    const struct {
        const char *previous;
        const char *input; // the text after the change, the caret after the inserted part
        int cursor;
        const char *result; // nullptr: refused whole
        int resultCursor;
    } cases[] = {
        {"12", "12abc", 5, nullptr, 0},          // letters: nothing of them
        {"12", "12a3b4", 6, "123", 3},           // the digits that fit
        {"", "099999999999", 12, "099", 3},      // 12 digits into three
        {"12", "a12", 1, nullptr, 0},            // at the start
        {"12", "912", 1, "912", 1},
        {"33", "9999", 4, "999", 3},             // in place of the selected whole
        {"33", "abc", 3, nullptr, 0},            // the selection stays when nothing is taken
        {"123", "13", 1, "13", 1},               // a removal
        {"1234", "124", 2, "124", 2},            // a removal from a longer text set by the program
        {"1234", "12345", 5, nullptr, 0},        // which never grows
        {"1234", "12", 2, "12", 2},
        {"5", "5", 1, "5", 1},                   // no change
    };
    for (const auto &c : cases) {
        const std::optional<CTypedText> typed = AsTyped(c.previous, c.input, c.cursor, ThreeDigits);
        ASSERT_EQ(typed.has_value(), c.result != nullptr) << c.previous << " -> " << c.input;
        if (!typed)
            continue;
        EXPECT_EQ(typed->Text, QString(c.result)) << c.previous << " -> " << c.input;
        EXPECT_EQ(typed->Cursor, c.resultCursor) << c.previous << " -> " << c.input;
    }
    // A caret that does not follow the change (an undo) still finds it by the texts' common ends.
    const std::optional<CTypedText> undone = AsTyped("1", "1a2", 0, ThreeDigits);
    ASSERT_TRUE(undone.has_value());
    EXPECT_EQ(undone->Text, "12");
    // A character beyond the basic plane is one key.
    const QString wide = QString::fromUcs4(U"\U0001F600");
    const std::optional<CTypedText> emoji =
        AsTyped("ab", "ab" + wide + wide, 6, [](const QString &text, const QString &) { return text.size() <= 4; });
    ASSERT_TRUE(emoji.has_value());
    EXPECT_EQ(emoji->Text, "ab" + wide);
}

TEST(TypingRule, WithinLengthLetsALongerTextShrinkOnly)
{
    EXPECT_TRUE(WithinLength("1234", "", 4));
    EXPECT_FALSE(WithinLength("12345", "1234", 4));
    EXPECT_TRUE(WithinLength("123456", "1234567", 4));
    EXPECT_TRUE(WithinLength("1234567", "1234567", 4));
    EXPECT_FALSE(WithinLength("12345678", "1234567", 4));
}

// The box's own paste and the program's text: the rule holds for the one, not the other.
TEST(TypingRule, ValidatorChecksTheEngineersTextOnly)
{
    QLineEdit edit;
    auto *gate = new CTypingValidator(&edit, ThreeDigits);
    edit.setValidator(gate);
    gate->SetText("123456");
    EXPECT_EQ(edit.text(), "123456");
    gate->SetText("");
    edit.insert("4a5b6c7"); // the path of a paste
    EXPECT_EQ(edit.text(), "456");
    EXPECT_EQ(edit.cursorPosition(), 3);
    edit.insert("8");
    EXPECT_EQ(edit.text(), "456");
}
