#include "app/guard.h"
#include "app/settings.h"
#include "editor/key_dll.h"
#include "editor/program.h"
#include "link/usb_can.h"
#include "platform/fonts.h"
#include "platform/qt_translations.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ТИВРОН-программатор"));
    RegisterDesignFonts();
    LoadQtRussianTranslations();
    TMainFormEnv env;
    env.SettingsPath = SettingsFilePath();
    env.LoadAdapterLibrary = [] { UsbCan.LoadDll(); };
    env.LoadKeyReaderLibrary = [] { LoadKeyDll(); };
    env.DisconnectAdapter = [] { UsbCan.Disconnect(); };
    env.UnloadLibraries = [] {
        UsbCan.FreeDll();
        FreeKeyDll();
    };
    RunProgram(env);
    return 0;
}
