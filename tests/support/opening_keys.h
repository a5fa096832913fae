#pragma once
// Keys typed the moment a window opens, as an engineer types straight after the command: into the
// control that has the focus once the window is active.
#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "tests/support/focus_check.h"

struct TypedOnOpening {
    bool typed = false;
    QPointer<QWidget> focus;                 // what had the focus as the window opened
    const QMetaObject *focusType = nullptr; // its class, also once a dialog is freed
    QString selected;        // the text it showed selected then
};

// Runs open, which shows a window, modal or not. Once a window that opened says yes to is the active
// window, types keys into its focus control and, when enter is set, presses Enter there. A window that
// never becomes active is closed after a few seconds, so a test cannot hang on it.
inline TypedOnOpening TypeAsItOpens(const std::function<bool(QWidget *)> &opened, const QString &keys, bool enter,
                                    const std::function<void()> &open)
{
    TypedOnOpening seen;
    QTimer watch;
    watch.setInterval(0);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.setInterval(5000);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        watch.stop();
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget *window = QApplication::activeWindow();
        QWidget *focus = QApplication::focusWidget();
        if (!window || !opened(window) || !focus || focus->window() != window)
            return;
        watch.stop();
        giveUp.stop();
        seen.typed = true;
        seen.focus = focus;
        seen.focusType = focus->metaObject();
        if (QLineEdit *edit = LineEditOf(focus))
            seen.selected = edit->selectedText();
        QTest::keyClicks(focus, keys);
        if (enter)
            QTest::keyClick(focus, Qt::Key_Return);
    });
    watch.start();
    giveUp.start();
    open();
    (void)QTest::qWaitFor([&] { return seen.typed || !watch.isActive(); }, 5000); // seen.typed tells
    return seen;
}
