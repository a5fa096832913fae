#pragma once
// The controls of the parameter page the main window shows: its list and the three cell editors,
// found by their names and the page's number.
#include <QString>

#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"

struct ShownPageControls {
    // Finds the shown page's controls of form; all are set, or the test stops.
    bool FindShownPage(const TMainForm &form)
    {
        pages = form.PageControl;
        n = QString::number(form.ActivePageId);
        list = Find<CParamListView>("lvQ");
        edit = Find<CLineEdit>("edit");
        medit = Find<CNumberEdit>("medit");
        cb = Find<CComboBox>("cb");
        return list && edit && medit && cb;
    }
    // The shown page's control named prefix and the page's number.
    template <class T>
    T *Find(const QString &prefix) const
    {
        return FindComponent<T>(prefix + n, pages, 3);
    }

    QWidget *pages = nullptr;
    QString n;
    CParamListView *list = nullptr;
    CLineEdit *edit = nullptr;
    CNumberEdit *medit = nullptr;
    CComboBox *cb = nullptr;
};
