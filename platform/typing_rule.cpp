#include "platform/typing_rule.h"

#include <algorithm>
#include <utility>

#include <QLineEdit>
#include <QScopedValueRollback>

namespace {
// Where one change of previous into input lies: input = head + inserted + tail and previous = head +
// removed + tail. The inserted part ends at the caret where the texts allow it (a paste or a typed key
// leaves the caret after what it put in); otherwise the common ends decide.
struct CChange {
    qsizetype Head = 0;
    qsizetype Tail = 0;
};

CChange ChangeOf(const QString &previous, const QString &input, int cursor)
{
    CChange c;
    const qsizetype afterCaret = input.size() - cursor;
    if (cursor >= 0 && afterCaret >= 0 && afterCaret <= previous.size() &&
        QStringView(previous).endsWith(QStringView(input).mid(cursor))) {
        c.Tail = afterCaret;
    } else {
        const qsizetype most = std::min(previous.size(), input.size());
        while (c.Tail < most && previous[previous.size() - 1 - c.Tail] == input[input.size() - 1 - c.Tail])
            ++c.Tail;
    }
    const qsizetype most = std::min(previous.size(), input.size()) - c.Tail;
    while (c.Head < most && previous[c.Head] == input[c.Head])
        ++c.Head;
    return c;
}
} // namespace

std::optional<CTypedText> AsTyped(const QString &previous, const QString &input, int cursor, const TypingRule &rule)
{
    if (input == previous)
        return CTypedText{input, cursor};
    const CChange change = ChangeOf(previous, input, cursor);
    const QString head = input.left(change.Head);
    const QString tail = input.right(change.Tail);
    const QString inserted = input.mid(change.Head, input.size() - change.Tail - change.Head);
    if (inserted.isEmpty()) // only removed: the rule takes the result or not
        return rule(input, previous) ? std::optional<CTypedText>(CTypedText{input, cursor}) : std::nullopt;

    QString current = previous;
    QString kept;
    for (qsizetype i = 0; i < inserted.size(); ++i) {
        // A character beyond the basic plane is one key, not two halves.
        const qsizetype length = inserted[i].isHighSurrogate() && i + 1 < inserted.size() ? 2 : 1;
        const QString key = inserted.mid(i, length);
        i += length - 1;
        QString next = head + kept + key + tail;
        if (rule(next, current)) {
            kept += key;
            current = std::move(next);
        }
    }
    if (kept.isEmpty())
        return std::nullopt;
    return CTypedText{current, int(head.size() + kept.size())};
}

bool WithinLength(const QString &text, const QString &previous, int limit)
{
    return text.size() <= limit || text.size() <= previous.size();
}

CTypingValidator::CTypingValidator(QLineEdit *edit, TypingRule rule)
    : QValidator(edit), Edit(edit), Rule(std::move(rule)), Accepted(edit->text())
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { Accepted = text; });
}

void CTypingValidator::SetText(const QString &text)
{
    const QScopedValueRollback<bool> program(FromProgram, true);
    Edit->setText(text);
}

QValidator::State CTypingValidator::validate(QString &input, int &pos) const
{
    if (FromProgram)
        return Acceptable;
    Shape(input);
    const std::optional<CTypedText> typed = AsTyped(Accepted, input, pos, Rule);
    if (!typed)
        return Invalid;
    // The box takes a text changed here in place of its own, as what the engineer entered.
    input = typed->Text;
    pos = typed->Cursor;
    return Acceptable;
}
