// The program's run offscreen: "Выход" ends the message loop whatever tool windows are shown, and the
// main window's destruction writes the settings.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "app/loading_form.h"
#include "editor/main_form.h"
#include "editor/program.h"
#include "link/show_pakets_form.h"
#include "model/config_form.h"

namespace {

TEST(Program, ExitEndsTheLoopWhateverToolWindowsAreShown)
{
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    for (int shown = 0; shown < 8; ++shown) {
        const bool monitor = shown & 1, description = shown & 2, progress = shown & 4;
        SCOPED_TRACE(std::string("monitor ") + (monitor ? "shown" : "hidden") + ", description " +
                     (description ? "shown" : "hidden") + ", progress " + (progress ? "shown" : "hidden"));
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("Tivron.ini"));
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        env.SettingsPath = settings;
        int disconnects = 0;
        env.DisconnectAdapter = [&] { ++disconnects; };

        bool allShown = false;
        QTimer::singleShot(0, [&] {
            if (monitor)
                MainForm->actPaketsExecute();
            if (description)
                MainForm->N23Click();
            if (progress)
                ShowStatus(QStringLiteral("Соединяемся..."), 1);
            allShown = (!monitor || ShowPaketsForm->isVisible()) && (!description || ConfigForm->isVisible()) &&
                       (!progress || LoadingForm->isVisible());
            MainForm->miExit->trigger();
        });
        // A loop that does not end is given up on here, and the case fails.
        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            hung = true;
            QCoreApplication::exit(1);
        });
        watchdog.start(20000);

        const int code = RunProgram(env);
        watchdog.stop();

        EXPECT_TRUE(allShown);
        EXPECT_FALSE(hung);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(disconnects, 1);
        EXPECT_EQ(MainForm, nullptr);
        EXPECT_EQ(ConfigForm, nullptr);
        EXPECT_EQ(LoadingForm, nullptr);
        EXPECT_EQ(ShowPaketsForm, nullptr);
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains("Usb_TotalPaket"));
    }
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
}

} // namespace
