// The main window's settings dialog and about box: each made for one showing and freed when it closes.
#include "editor/main_form.h"

#include "app/about_box.h"
#include "app/settings_form.h"

void TMainForm::actSettingsExecute()
{
    TSettingsForm form(this);
    form.exec();
}

void TMainForm::actAboutExecute()
{
    TAboutForm form(this);
    form.exec();
}
