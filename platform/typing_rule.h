#pragma once
#include <QString>
#include <QValidator>

#include <functional>
#include <optional>

class QLineEdit;

// Whether a box takes text, the engineer's next state of it, after previous.
using TypingRule = std::function<bool(const QString &text, const QString &previous)>;

// The box's text after one change from the engineer's side (a key, a paste by any means, a drop, an
// input method's commit, an undo), and its caret.
struct CTypedText {
    QString Text;
    int Cursor = 0;
};

// What typing would leave of input, the text after one change of previous with the caret at cursor:
// the characters the change put in are taken one by one, as if typed, each only where rule takes the
// text with it; the others are dropped, as typing refuses them. A selection the change replaced goes
// with the first character taken. nullopt: typing would refuse the change whole.
std::optional<CTypedText> AsTyped(const QString &previous, const QString &input, int cursor, const TypingRule &rule);

// No longer than limit characters, or, a longer text set by the program, not growing.
bool WithinLength(const QString &text, const QString &previous, int limit);

// The one gate of a line edit's text from the engineer's side: every way text reaches the box (typing,
// Ctrl+V, Shift+Insert, the edit menu, the middle button, a drop, an input method) leaves what typing
// would. Text the program sets through SetText is taken whole.
class CTypingValidator : public QValidator {
public:
    CTypingValidator(QLineEdit *edit, TypingRule rule);
    // Sets the box's text from the program, whatever the rule says.
    void SetText(const QString &text);
    State validate(QString &input, int &pos) const override;

protected:
    // A hook for a box that shapes every text it takes (upper case), applied before the rule.
    virtual void Shape(QString &) const {}

private:
    QLineEdit *Edit;
    TypingRule Rule;
    QString Accepted; // the box's text before the change being checked
    bool FromProgram = false;
};
