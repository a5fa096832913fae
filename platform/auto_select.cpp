#include "platform/auto_select.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QObject>

namespace {
bool ComesBack(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason;
}

class CSelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::FocusIn: {
            const bool selects = SelectsAllOnFocus(static_cast<QFocusEvent *>(event)->reason(), HasWindowFocus);
            HasWindowFocus = true;
            if (!selects)
                break;
            // Selected before the box's own focus-in, which keeps a selection for these reasons.
            if (auto *edit = qobject_cast<QLineEdit *>(watched))
                edit->selectAll();
            else if (auto *spin = qobject_cast<QAbstractSpinBox *>(watched))
                spin->selectAll();
            break;
        }
        case QEvent::FocusOut: {
            // Another window, a menu or the box's own drop-down give the focus back to this box; a
            // control of its own window takes it for good, but for the menu bar.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            const QWidget *next = QApplication::focusWidget();
            const QWidget *box = static_cast<QWidget *>(watched);
            const bool toOwnWindow = next && next != box && next->window() == box->window();
            if (!ComesBack(reason) || (toOwnWindow && reason != Qt::MenuBarFocusReason))
                HasWindowFocus = false;
            break;
        }
        case QEvent::Hide:
            // Closed with its window: the next opening is a new entry. Minimising is not.
            if (!event->spontaneous())
                HasWindowFocus = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool HasWindowFocus = false; // the box holds its window's focus, active or not
};
} // namespace

bool SelectsAllOnFocus(Qt::FocusReason reason, bool returning)
{
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    case Qt::ActiveWindowFocusReason:
        return !returning;
    default:
        return true;
    }
}

void SelectAllOnFocus(QWidget *box)
{
    if (box)
        box->installEventFilter(new CSelectAllOnFocus(box));
}
