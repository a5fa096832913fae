#include "platform/auto_select.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QObject>

namespace {
class CSelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn || !SelectsAllOnFocus(static_cast<QFocusEvent *>(event)->reason()))
            return false;
        // Selected before the box's own focus-in, which keeps a selection for these reasons.
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            edit->selectAll();
        else if (auto *spin = qobject_cast<QAbstractSpinBox *>(watched))
            spin->selectAll();
        return false;
    }
};
} // namespace

bool SelectsAllOnFocus(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}

void SelectAllOnFocus(QWidget *box)
{
    if (box)
        box->installEventFilter(new CSelectAllOnFocus(box));
}
