// The common dialogs offscreen at their designed sizes, in the faces the program installs: every text
// shows whole.
#include <gtest/gtest.h>

#include <memory>

#include "app/about_box.h"
#include "app/loading_form.h"
#include "app/message_dlg.h"
#include "app/settings_form.h"
#include "tests/support/layout_table.h"

namespace {
std::unique_ptr<QWidget> Message(int kind, MsgButtons buttons)
{
    auto dlg = std::make_unique<TMessageDialogForm>();
    dlg->Prepare(QStringLiteral("Заменить файл 'CAN монитор.txt'"), kind, buttons);
    return dlg;
}

// The progress window with a status text. The longest end in the adapter library's code, at its
// widest -1 (no library).
std::unique_ptr<QWidget> Progress(const QString &status)
{
    auto form = std::make_unique<TLoadingForm>();
    form->ShowStatus(status, 1);
    return form;
}
} // namespace

TEST(Layout, EveryTextShowsWholeAtTheDesignedSizes)
{
    ExpectLaidOutAsDesigned({
        {"message, question", {457, 169}, [] { return Message(mtConfirmation, mbYes | mbNo); }},
        {"message, every button", {457, 169}, [] { return Message(mtWarning, mbYes | mbNo | mbOK | mbCancel); }},
        {"progress, connection failed", {402, 217},
         [] { return Progress(QStringLiteral("Не могу соединиться с прибором, ответ библиотеки UsbCan.dll = -1")); }},
        {"progress, write failed", {402, 217},
         [] { return Progress(QStringLiteral("Не могу записать данные в прибор, ответ библиотеки UsbCan.dll = -1")); }},
        {"settings", {523, 193}, [] { return std::make_unique<TSettingsForm>(); }},
        {"about box", {350, 300}, [] { return std::make_unique<TAboutForm>(); }},
    });
}
