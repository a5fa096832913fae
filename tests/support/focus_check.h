#pragma once
// How an edit box or a spin box takes the focus: what it shows selected afterwards.
#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QWidget>

// The line edit of a box: the box itself or the one inside a spin box.
inline QLineEdit *LineEditOf(QWidget *box)
{
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        return edit;
    return box ? box->findChild<QLineEdit *>() : nullptr;
}

// Shows the box's window active, moves the focus away from the box, gives it back for reason and
// returns the text then selected. A box that cannot take the focus gives "<no focus>".
inline QString SelectedOnFocus(QWidget *box, Qt::FocusReason reason = Qt::OtherFocusReason)
{
    QLineEdit *edit = LineEditOf(box);
    if (!edit)
        return QStringLiteral("<no line edit>");
    QWidget *window = box->window();
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return QStringLiteral("<window not active>");
    if (box->hasFocus())
        box->clearFocus();
    edit->deselect();
    box->setFocus(reason);
    if (!box->hasFocus())
        return QStringLiteral("<no focus>");
    return edit->selectedText();
}
