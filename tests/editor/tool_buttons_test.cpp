#include <gtest/gtest.h>

#include <QAction>
#include <QToolBar>
#include <QToolButton>

#include "editor/components.h"
#include "editor/main_form.h"
#include "pages_fixture.h"
#include "tests/support/picture_check.h"

using namespace pages_fixture;

namespace {

// How much a tool button's look changes when it is disabled (itself or its action, the switch); the
// switch is left as it was.
template <class Switch>
double DisabledChange(QWidget *button, Switch *by)
{
    const bool was = by->isEnabled();
    by->setEnabled(true);
    const QImage enabled = button->grab().toImage();
    by->setEnabled(false);
    const QImage disabled = button->grab().toImage();
    by->setEnabled(was);
    return ChangedShare(enabled, disabled, button->palette().color(QPalette::Window));
}

} // namespace

// The engineer tells by its look whether a button works: the bin and the page of the key page's
// remove and add buttons as well as the coloured pictures.
TEST(ToolButtons, KeyPageButtonsLookDisabledWhenTheyAre)
{
    CTree tree;
    CTreeNode *device = AddDevice(tree, "Тиврон-А", 1, 14);
    CTreeNode *keys = AddTable(tree, device, "Таблица ключей", "key", 1, {}, 40, 3);
    AddParameter(tree, keys, "Номер ключа", "числовой", "0", 0, 65535);
    TMainForm form;
    form.CurrentDevice = device->shared();
    form.BuildDevicePages(device, nullptr, false);
    const QString n = QString::number(form.PageIds.value(0));
    for (const char *name : {"btnKeySave", "btnKeyLoad", "btnKeyRemove", "btnKeyAdd", "btnMaster", "btnMaKNumber"}) {
        auto *button = FindComponent<QToolButton>(QString::fromLatin1(name) + n, form.PageControl, 4);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_GT(DisabledChange(button, button), 0.4) << name;
    }
}

// The main tool bar's buttons follow their actions' states ("Сохранить" starts disabled).
TEST(ToolButtons, MainToolBarButtonsLookDisabledWhenTheyAre)
{
    TMainForm form;
    for (QAction *action : form.ToolBar->actions()) {
        QWidget *button = form.ToolBar->widgetForAction(action);
        if (action->isSeparator() || !button)
            continue;
        EXPECT_GT(DisabledChange(button, action), 0.4) << action->text().toStdString();
    }
}
