#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QString>
#include <QWidget>

#include <functional>

#include "model/tree_model.h"
#include "platform/typing_rule.h"

class QFocusEvent;
class QKeyEvent;
class QToolButton;

// Controls of the pages with the old class library's behaviour, which the page handlers rely on:
// - OnChange / OnClick fire whenever the content really changes, by typing or from code, and never
//   for a value that stays the same;
// - OnExit fires when the control loses the focus, but not to its own drop-down list, a menu or
//   another window (a message dialog): those come back;
// - OnKeyDown sees every key first; the control's own handling follows;
// - edit boxes and spin edits select their whole text when they take the focus other than by a
//   click (SelectAllOnFocus), so an editor opened by code is overwritten by the first key typed.
// Handlers are plain callbacks set by the page builder; wrap their bodies in RunGuarded.

using ControlHandler = std::function<void()>;
using KeyHandler = std::function<void(int key, Qt::KeyboardModifiers modifiers)>;

// Whether a focus loss counts as leaving the control.
bool IsExitReason(Qt::FocusReason reason);

// Hides a control; when it has the focus, the focus leaves it first, so its exit handler runs once.
void HideControl(QWidget *control);

// Edit box (TEdit). Its limits (MaxLength, a number box's digits) hold for every way the engineer's
// text reaches it, a paste by any means included, each leaving what typing would; text set from code
// through SetText (or setText on this class) is kept whole, and a longer text may be shortened by the
// engineer but never grow.
class CLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CLineEdit(QWidget *parent = nullptr);
    ControlHandler OnChange;
    ControlHandler OnExit;
    KeyHandler OnKeyDown;
    void SetText(const QString &text);
    // Hides QLineEdit's, so that code setting the text through this class is never checked.
    void setText(const QString &text) { SetText(text); }
    QString Text() const { return text(); }
    void SetMaxLength(int length); // 0: no limit
    int MaxLength() const { return Limit; }

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // The rule every change from the engineer's side must keep; none: any text.
    void SetTypingRule(TypingRule rule);

private:
    int Limit = 0;
    CTypingValidator *Gate = nullptr;
    QString LastText;
};

// Edit box with a caption label above it (TLabeledEdit). The label sits on the same parent, 3 pixels
// above the edit, and follows it when the edit moves or hides.
class CLabeledEdit : public CLineEdit {
    Q_OBJECT
public:
    explicit CLabeledEdit(QWidget *parent = nullptr);
    QLabel *EditLabel;
    // A flat bevel in place of the frame (flat bevel kind, no border): a line of button shadow and one
    // of button face around the white field, so that the box shows against its panel.
    void SetFlatBevel();

protected:
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void PlaceLabel();
    bool FlatBevel = false;
};

// A panel (TPanel) drawn in the classic button face, as the design's panels are.
void FillAsPanel(QWidget *panel);

// Pick-only drop-down list (TComboBox, drop-down list style). OnChange fires for the engineer's choice
// only; SetItemIndex from code fires nothing. OnKeyDown also sees the Escape that closes the open
// drop-down, which Qt's drop-down takes for itself. Left and Right step the choice as Up and Down do,
// closed or dropped down, where Qt's would pass them on to the parent or ignore them.
class CComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBox(QWidget *parent = nullptr);
    ControlHandler OnChange;
    ControlHandler OnExit;
    KeyHandler OnKeyDown;
    void SetItemIndex(int index); // -1: none
    int ItemIndex() const { return currentIndex(); }
    QString Text() const { return currentText(); }

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool Programmatic = false;
};

// Check box. OnClick fires whenever the state changes, by a click or from code.
class CCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CCheckBox(QWidget *parent = nullptr);
    explicit CCheckBox(const QString &caption, QWidget *parent = nullptr);
    ControlHandler OnClick;
    void SetChecked(bool checked) { setChecked(checked); }
    bool Checked() const { return isChecked(); }
};

// A check box's designed width, or more where the face draws its caption wider than the design's
// face did, so that a substituted face does not cut the caption.
int CheckBoxWidth(const QString &caption, const QFont &font, int designedWidth);

// Spin edit (TCSpinEdit). The value stays within MinValue .. MaxValue, also when set from code, unless
// both are equal: then any value is taken as it is. Typed text may leave the range while the engineer
// types; it is clamped when the control is left. OnChange fires when the value changes.
class CSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit CSpinEdit(QWidget *parent = nullptr);
    ControlHandler OnChange;
    ControlHandler OnExit;
    void SetMinValue(int value);
    void SetMaxValue(int value);
    void SetRange(int minValue, int maxValue);
    int MinValue() const { return Min; }
    int MaxValue() const { return Max; }
    void SetValue(int value);
    int Value() const { return value(); }
    // The value the control takes for value.
    static int Clamp(int value, int minValue, int maxValue);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void ApplyRange();
    int Min = 0;
    int Max = 100;
};

// Up/down button pair (TCSpinButton). It never takes the focus, so the editor beside it keeps it.
class CSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButton(QWidget *parent = nullptr);
    ControlHandler OnUpClick;
    ControlHandler OnDownClick;
    QToolButton *UpButton;
    QToolButton *DownButton;

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// Number box of the parameter pages (the masked edit of the old design): digits only, as many as the
// longer of the bounds' decimal texts, with a leading minus accepted when MinValue is negative; a
// paste keeps what typing its characters would.
// Edited tells whether the engineer typed into it since it was opened.
class CNumberEdit : public CLineEdit {
    Q_OBJECT
public:
    explicit CNumberEdit(QWidget *parent = nullptr);
    void SetBounds(int minValue, int maxValue);
    int Width() const { return Digits; }
    bool AllowsSign() const { return Signed; }
    bool Edited = false;
    // The old design's edit mask for these bounds: "!" + one "9" per character + ";1;_".
    static QString EditMaskFor(int minValue, int maxValue);
    // Whether text is acceptable while typing into a box with these bounds.
    static bool Acceptable(const QString &text, int minValue, int maxValue);

private:
    int Digits = 0;
    bool Signed = false;
};

// The tree of a key or password page. Its current node is the one the page's panels show, so only
// the engineer or the code makes one current: Qt would make the first node current when the tree
// gets the focus without one, and a panel would show a node that is not highlighted.
class CPageTreeView : public CTreeView {
    Q_OBJECT
public:
    using CTreeView::CTreeView;

protected:
    void focusInEvent(QFocusEvent *event) override;
};
