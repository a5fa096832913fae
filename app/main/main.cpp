#include <QWidget>

#include "app/guard.h"
#include "app/loading_form.h"
#include "app/settings.h"
#include "editor/key_dll.h"
#include "editor/main_form.h"
#include "link/show_pakets_form.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "platform/fonts.h"
#include "platform/qt_translations.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ТИВРОН-программатор"));
    // The program ends with the main window, even while the monitor or the description window is open.
    QApplication::setQuitOnLastWindowClosed(false);
    RegisterDesignFonts();
    LoadQtRussianTranslations();

    QWidget *configForm = nullptr;
    QWidget *showPaketsForm = nullptr;
    try {
        TMainFormEnv env;
        env.SettingsPath = SettingsFilePath();
        env.LoadAdapterLibrary = [] { UsbCan.LoadDll(); };
        env.LoadKeyReaderLibrary = [] { LoadKeyDll(); };
        env.DisconnectAdapter = [] { UsbCan.Disconnect(); };
        env.UnloadLibraries = [] {
            UsbCan.FreeDll();
            FreeKeyDll();
        };
        // Created first: its creation reads the settings before the other windows exist.
        MainForm = new TMainForm(nullptr, env);
        // The description window and the CAN monitor live in their own units; these are their frames.
        ConfigForm = new TConfigForm(MainForm);
        configForm = ConfigForm;
        LoadingForm = new TLoadingForm(MainForm);
        ShowPaketsForm = new TShowPaketsForm(MainForm);
        showPaketsForm = ShowPaketsForm;
        MainForm->SetToolWindows(configForm, showPaketsForm);
        QObject::connect(MainForm, &TMainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        MainForm->show();
        app.exec();
    } catch (...) {
        try {
            ShowCurrentException();
        } catch (...) {
        }
    }
    // The application-owned windows go in the reverse order of their creation.
    delete showPaketsForm;
    delete LoadingForm;
    LoadingForm = nullptr;
    delete configForm;
    ConfigForm = nullptr;
    delete MainForm;
    return 0;
}
