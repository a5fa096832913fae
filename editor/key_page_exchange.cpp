// Exchange buttons of the key page: the key reader. Loading and reading the selected key are in
// editor/key_exchange.cpp.
#include <QPointer>

#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_dll.h"
#include "editor/key_page.h"
#include "editor/main_form.h"

void btnNumberOnClick(TMainForm &form, QObject *sender)
{
    if (!sender)
        return;
    // btnMaKNumber + id on the master key's panel, btnKeyNumber + id on the other keys' panel.
    const QString name = sender->objectName();
    const QString panelKind = name.mid(3, 3).toUpper();
    const QString id = name.mid(12);
    QString panelName, editName;
    if (panelKind == QStringLiteral("MAK")) {
        panelName = QStringLiteral("panMasterKey") + id;
        editName = QStringLiteral("editMaKNumber") + id;
    } else if (panelKind == QStringLiteral("KEY")) {
        panelName = QStringLiteral("panOtherKey") + id;
        editName = QStringLiteral("editKeyNumber") + id;
    } else {
        return;
    }
    QObject *panel = form.FindComponentByName(panelName, form.PageControl, 3);
    if (!panel)
        return;
    // The connection's progress texts let the window run: the page may go meanwhile.
    const QPointer<CLineEdit> edit = FindComponent<CLineEdit>(editName, panel, 1);
    if (!edit)
        return;

    if (KeyDllHandle) {
        QString code = ReadKeyCode();
        if (code.isEmpty())
            code = EmptyKeyCode;
        if (code.left(6) == QStringLiteral("Ошибка")) {
            form.SetStatusText(code + KeyReadErrorSuffix);
            return;
        }
        edit->SetText(code);
        return;
    }
    QString code;
    if (ReadKeyCodeFromLine(code) && edit)
        edit->SetText(code);
}
