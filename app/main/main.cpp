#include "app/guard.h"
#include "app/settings.h"
#include "editor/key_dll.h"
#include "editor/program.h"
#include "link/usb_can.h"
#include "platform/fonts.h"
#include "platform/qt_translations.h"
#include "platform/whole_file.h"

int main(int argc, char **argv)
{
    // A save past a file-size limit is refused like one to a full disk, and the program goes on.
    IgnoreFileSizeLimitSignal();
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
