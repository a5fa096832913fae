#include "editor/controls.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include "model/config_loader.h"
#include "platform/auto_select.h"
#include "platform/colors.h"

bool IsExitReason(Qt::FocusReason reason)
{
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

void HideControl(QWidget *control)
{
    if (!control)
        return;
    if (control->hasFocus())
        control->clearFocus(); // the exit handler runs here, once
    control->hide();
}

namespace {
void Fire(const ControlHandler &handler)
{
    if (handler)
        handler();
}

// Digits, a leading minus where allowed, and no more digits than the box is wide; a longer text only
// when it does not grow (one set from code may be longer).
bool NumberTextOk(const QString &input, bool allowSign, int width, qsizetype previousLength)
{
    int digits = 0;
    for (int i = 0; i < input.size(); ++i) {
        if (input[i] == u'-' && i == 0 && allowSign)
            continue;
        if (input[i] < u'0' || input[i] > u'9')
            return false;
        ++digits;
    }
    return digits <= width || input.size() <= previousLength;
}
} // namespace

// CLineEdit

CLineEdit::CLineEdit(QWidget *parent) : QLineEdit(parent)
{
    SelectAllOnFocus(this);
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text == LastText)
            return;
        LastText = text;
        Fire(OnChange);
    });
}

void CLineEdit::SetText(const QString &text)
{
    if (Gate)
        Gate->SetText(text);
    else
        QLineEdit::setText(text);
}

void CLineEdit::SetTypingRule(TypingRule rule)
{
    delete Gate;
    Gate = rule ? new CTypingValidator(this, std::move(rule)) : nullptr;
    QLineEdit::setValidator(Gate);
}

void CLineEdit::SetMaxLength(int length)
{
    Limit = std::max(0, length);
    if (Limit == 0) {
        SetTypingRule(nullptr);
        return;
    }
    SetTypingRule([limit = Limit](const QString &text, const QString &previous) {
        return WithinLength(text, previous, limit);
    });
}

void CLineEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (IsExitReason(event->reason()))
        Fire(OnExit);
}

void CLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (OnKeyDown)
        OnKeyDown(event->key(), event->modifiers());
    if (!isVisible())
        return;
    QLineEdit::keyPressEvent(event);
}

// CLabeledEdit

CLabeledEdit::CLabeledEdit(QWidget *parent) : CLineEdit(parent), EditLabel(new QLabel(parent))
{
    PlaceLabel();
}

void CLabeledEdit::SetFlatBevel()
{
    setFrame(false);
    setTextMargins(2, 2, 2, 2);
    FlatBevel = true;
    update();
}

void CLabeledEdit::paintEvent(QPaintEvent *event)
{
    CLineEdit::paintEvent(event);
    if (!FlatBevel)
        return;
    QPainter p(this);
    p.setPen(kClassicBtnShadow);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(kClassicBtnFace);
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}

void CLabeledEdit::PlaceLabel()
{
    EditLabel->adjustSize();
    // An edit near its parent's top would push the label's first row out of it: that row (room for
    // accents) is blank in the label's texts, so the label stops at the top instead.
    EditLabel->move(x(), std::max(0, y() - EditLabel->height() - 3));
}

void CLabeledEdit::moveEvent(QMoveEvent *event)
{
    CLineEdit::moveEvent(event);
    PlaceLabel();
}

void CLabeledEdit::showEvent(QShowEvent *event)
{
    CLineEdit::showEvent(event);
    PlaceLabel();
    EditLabel->show();
}

void CLabeledEdit::hideEvent(QHideEvent *event)
{
    CLineEdit::hideEvent(event);
    if (!isHidden()) // hidden with its parent: the label goes with the parent too
        return;
    EditLabel->hide();
}

void FillAsPanel(QWidget *panel)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, kClassicBtnFace);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

// CComboBox

CComboBox::CComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!Programmatic)
            Fire(OnChange);
    });
    // Installed after the drop-down's own filter on its list, so it sees the keys first.
    view()->installEventFilter(this);
}

void CComboBox::SetItemIndex(int index)
{
    Programmatic = true;
    setCurrentIndex(index);
    Programmatic = false;
}

void CComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    // Focus that moves into the open drop-down list stays with the control.
    const bool toOwnList = view() && view()->isVisible();
    if (IsExitReason(event->reason()) && !toOwnList)
        Fire(OnExit);
}

namespace {
// Left and Right step a pick-only drop-down list's choice as Up and Down do, open or closed, as in the
// old drop-down list; Qt's closed box would pass them on to its parent, its open list ignores them.
std::optional<Qt::Key> StepKeyOf(const QKeyEvent *event)
{
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier))
        return std::nullopt;
    if (event->key() == Qt::Key_Left)
        return Qt::Key_Up;
    if (event->key() == Qt::Key_Right)
        return Qt::Key_Down;
    return std::nullopt;
}
} // namespace

bool CComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::KeyPress && view()->isVisible() && !isEditable()) {
        if (const std::optional<Qt::Key> step = StepKeyOf(static_cast<QKeyEvent *>(event))) {
            QKeyEvent moved(QEvent::KeyPress, *step, Qt::NoModifier);
            QCoreApplication::sendEvent(view(), &moved);
            return true;
        }
    }
    // The open drop-down closes on Escape before the key reaches this control, and on the override
    // check before the key press itself. The old control's key handler got that Escape: the drop-down
    // closes keeping the choice the control holds, and the handler follows.
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (watched == view() && key && view()->isVisible()) {
        auto *press = static_cast<QKeyEvent *>(event);
        if (press->key() == Qt::Key_Escape) {
            press->accept();
            hidePopup();
            if (OnKeyDown)
                OnKeyDown(press->key(), press->modifiers());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void CComboBox::keyPressEvent(QKeyEvent *event)
{
    if (OnKeyDown)
        OnKeyDown(event->key(), event->modifiers());
    if (!isVisible())
        return;
    if (const std::optional<Qt::Key> step = isEditable() ? std::nullopt : StepKeyOf(event)) {
        QKeyEvent moved(QEvent::KeyPress, *step, Qt::NoModifier);
        QComboBox::keyPressEvent(&moved);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
    // Qt passes Enter on to the parent; an open cell list would then be opened anew over itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        event->accept();
}

// CCheckBox

CCheckBox::CCheckBox(QWidget *parent) : CCheckBox(QString(), parent) {}

CCheckBox::CCheckBox(const QString &caption, QWidget *parent) : QCheckBox(caption, parent)
{
    connect(this, &QCheckBox::toggled, this, [this] { Fire(OnClick); });
}

int CheckBoxWidth(const QString &caption, const QFont &font, int designedWidth)
{
    QCheckBox probe(caption);
    probe.setFont(font);
    const QStyle *style = probe.style();
    const int need = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &probe) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &probe) +
                     QFontMetrics(font).horizontalAdvance(caption);
    return std::max(designedWidth, need);
}

// CSpinEdit

CSpinEdit::CSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    SelectAllOnFocus(this);
    ApplyRange();
    connect(this, &QSpinBox::valueChanged, this, [this] { Fire(OnChange); });
}

int CSpinEdit::Clamp(int value, int minValue, int maxValue)
{
    if (minValue == maxValue)
        return value;
    if (value < minValue)
        return minValue;
    if (value > maxValue)
        return maxValue;
    return value;
}

void CSpinEdit::ApplyRange()
{
    // Equal bounds do not limit the value at all.
    if (Min == Max)
        setRange(INT_MIN, INT_MAX);
    else
        setRange(Min, std::max(Min, Max));
}

void CSpinEdit::SetMinValue(int value) { SetRange(value, Max); }
void CSpinEdit::SetMaxValue(int value) { SetRange(Min, value); }

void CSpinEdit::SetRange(int minValue, int maxValue)
{
    Min = minValue;
    Max = maxValue;
    ApplyRange();
}

void CSpinEdit::SetValue(int value) { setValue(Clamp(value, Min, Max)); }

QValidator::State CSpinEdit::validate(QString &input, int &) const
{
    const QString t = input.trimmed();
    if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
        return QValidator::Intermediate;
    const std::optional<int> v = ParseDecimalInt(t);
    if (!v)
        return QValidator::Invalid;
    // Out of range while typing: taken, and clamped when the control is left.
    return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void CSpinEdit::fixup(QString &input) const
{
    const std::optional<int> v = ParseDecimalInt(input.trimmed());
    const int clamped = v ? Clamp(*v, minimum(), maximum()) : value();
    input = QString::number(clamped);
}

void CSpinEdit::focusOutEvent(QFocusEvent *event)
{
    QSpinBox::focusOutEvent(event); // interprets the text, clamped by fixup
    if (IsExitReason(event->reason()))
        Fire(OnExit);
}

// CSpinButton

CSpinButton::CSpinButton(QWidget *parent)
    : QWidget(parent), UpButton(new QToolButton(this)), DownButton(new QToolButton(this))
{
    setFocusPolicy(Qt::NoFocus);
    UpButton->setArrowType(Qt::UpArrow);
    DownButton->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {UpButton, DownButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(UpButton, &QToolButton::clicked, this, [this] { Fire(OnUpClick); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Fire(OnDownClick); });
    resize(16, 24);
}

void CSpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    UpButton->setGeometry(0, 0, width(), half);
    DownButton->setGeometry(0, half, width(), height() - half);
}

// CNumberEdit

CNumberEdit::CNumberEdit(QWidget *parent) : CLineEdit(parent)
{
    SetTypingRule([this](const QString &text, const QString &previous) {
        return NumberTextOk(text, Signed, Digits, previous.size());
    });
    connect(this, &QLineEdit::textEdited, this, [this] { Edited = true; });
}

namespace {
int DigitsOf(int value)
{
    return int(QString::number(qAbs(qint64(value))).size());
}
} // namespace

void CNumberEdit::SetBounds(int minValue, int maxValue)
{
    Signed = minValue < 0;
    Digits = std::max(DigitsOf(minValue), DigitsOf(maxValue));
}

QString CNumberEdit::EditMaskFor(int minValue, int maxValue)
{
    const int width = std::max(int(QString::number(minValue).size()), int(QString::number(maxValue).size()));
    return QStringLiteral("!") + QString(width, u'9') + QStringLiteral(";1;_");
}

bool CNumberEdit::Acceptable(const QString &text, int minValue, int maxValue)
{
    CNumberEdit probe;
    probe.SetBounds(minValue, maxValue);
    return NumberTextOk(text, probe.AllowsSign(), probe.Width(), 0);
}

// CPageTreeView

void CPageTreeView::focusInEvent(QFocusEvent *event)
{
    if (currentIndex().isValid()) {
        CTreeView::focusInEvent(event);
        return;
    }
    QWidget::focusInEvent(event); // skips the view's own, which would make the first node current
    viewport()->update();
}
