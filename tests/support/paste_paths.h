#pragma once
// The ways text reaches an edit box besides typing, each driven as Qt runs it.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace paste_paths {

// The ways text reaches an edit box besides typing.
enum class Path { CtrlV, ShiftInsert, Menu, MiddleButton, Drop, InputMethod };

inline const char *NameOf(Path path)
{
    switch (path) {
    case Path::CtrlV: return "Ctrl+V";
    case Path::ShiftInsert: return "Shift+Insert";
    case Path::Menu: return "menu";
    case Path::MiddleButton: return "middle button";
    case Path::Drop: return "drop";
    case Path::InputMethod: return "input method";
    }
    return "";
}

// The middle button and a drop put the text where the pointer is, after the box's text; the other
// ways replace the selection, all of the text as the box opens.
inline bool InsertsAtTheEnd(Path path) { return path == Path::MiddleButton || path == Path::Drop; }

inline QPoint AfterTheText(const QLineEdit *edit) { return {edit->width() - 3, edit->height() / 2}; }

// Puts text into edit the way path does, as Qt runs it.
inline void Paste(QLineEdit *edit, Path path, const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    switch (path) {
    case Path::CtrlV:
        clipboard->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case Path::ShiftInsert:
        clipboard->setText(text);
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Path::Menu: {
        // The edit's own menu; Qt runs its paste after the menu event has returned and the menu closed.
        clipboard->setText(text);
        const QPoint at(2, edit->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, edit->mapToGlobal(at));
        QApplication::sendEvent(edit, &event);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        // Its paste action, whatever the language: the one that names the paste shortcut.
        const QString shortcut = u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        QAction *paste = nullptr;
        for (QAction *action : menu->actions())
            if (action->text().endsWith(shortcut))
                paste = action;
        ASSERT_NE(paste, nullptr);
        ASSERT_TRUE(paste->isEnabled());
        menu->hide();
        paste->trigger();
        break;
    }
    case Path::MiddleButton:
        if (clipboard->supportsSelection()) {
            clipboard->setText(text, QClipboard::Selection);
            QTest::mouseClick(edit, Qt::MiddleButton, {}, AfterTheText(edit));
        } else {
            // No selection clipboard on this platform: the box's own middle-button paste, as its
            // release handler runs it (the caret where the button went down, then an insert).
            QTest::mousePress(edit, Qt::LeftButton, {}, AfterTheText(edit));
            QTest::mouseRelease(edit, Qt::LeftButton, {}, AfterTheText(edit));
            edit->deselect();
            edit->insert(text);
        }
        break;
    case Path::Drop: {
        QMimeData data;
        data.setText(text);
        // A drop goes to the widget that took the drag as it entered.
        QDragEnterEvent enter(AfterTheText(edit), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(AfterTheText(edit)), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &drop);
        ASSERT_TRUE(drop.isAccepted());
        break;
    }
    case Path::InputMethod: {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(edit, &commit);
        break;
    }
    }
}

} // namespace paste_paths
