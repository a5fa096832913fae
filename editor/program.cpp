#include "editor/program.h"

#include <QCoreApplication>
#include <QWidget>

#include "app/guard.h"
#include "app/loading_form.h"
#include "link/show_pakets_form.h"
#include "model/config_form.h"

int RunProgram(const TMainFormEnv &env)
{
    // The program ends with the main window, even while the monitor or the description window is open.
    QApplication::setQuitOnLastWindowClosed(false);

    int code = 0;
    QWidget *configForm = nullptr;
    QWidget *showPaketsForm = nullptr;
    try {
        // Created first: its creation reads the settings before the other windows exist.
        MainForm = new TMainForm(nullptr, env);
        // The description window and the CAN monitor live in their own units; these are their frames.
        ConfigForm = new TConfigForm(MainForm);
        configForm = ConfigForm;
        LoadingForm = new TLoadingForm(MainForm);
        ShowPaketsForm = new TShowPaketsForm(MainForm);
        showPaketsForm = ShowPaketsForm;
        MainForm->SetToolWindows(configForm, showPaketsForm);
        // Not quit(): it asks every window to close and gives up at the first that refuses, so a tool
        // window could keep the program alive.
        QObject::connect(MainForm, &TMainForm::Closed, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        MainForm->show();
        code = QCoreApplication::exec();
    } catch (...) {
        try {
            ShowCurrentException();
        } catch (...) {
        }
    }
    // The application-owned windows go in the reverse order of their creation.
    delete showPaketsForm;
    ShowPaketsForm = nullptr;
    delete LoadingForm;
    LoadingForm = nullptr;
    delete configForm;
    ConfigForm = nullptr;
    delete MainForm;
    MainForm = nullptr;
    return code;
}
