#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include "model/tree_model.h"

#include <memory>
#include <vector>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/main_form.h"
#include "model/config_form.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/stand_in_opener.h"
#include "tests/support/test_files.h"

namespace {
QMenu *TopMenu(QMainWindow &w, const QString &title)
{
    for (QAction *a : w.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

QStringList Texts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (QAction *a : actions)
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}
} // namespace

TEST(MainForm, ActionsAsDesigned)
{
    TMainForm w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ТИВРОН-Diva"));
    const struct {
        QAction *action;
        const char *caption;
        const char *hint;
        bool enabled;
    } rows[] = {
        {w.actNewFile, "Новый", "Создать новую конфигурацию", true},
        {w.actOpenFile, "Открыть", "Открыть конфигурацию из файла", true},
        {w.actSaveFile, "Сохранить", "Сохранить конфигурацию в файл", false},
        {w.actRead, "Считать конфигурацию", "Считать конфигурацию из прибора", true},
        {w.actWrite, "Записать конфигурацию", "Записать конфигурацию в прибор", true},
        {w.actPakets, "Просмотр принятых/отправленных данных", "Просмотр принятых/отправленных данных", true},
        {w.actChangeAddrDev, "Сервис", "Сервис", true},
        {w.actSettings, "Настройки...", "Настройки...", true},
        {w.actExportWord, "Microsoft Word", "Microsoft Word", true},
        {w.actExportExcel, "Microsoft Excel", "Microsoft Excel", true},
        {w.actUsersManual, "Руководство пользователя", "Руководство пользователя", true},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.caption);
        EXPECT_EQ(r.action->text(), QString::fromUtf8(r.caption));
        EXPECT_EQ(r.action->toolTip(), QString::fromUtf8(r.hint));
        EXPECT_EQ(r.action->isEnabled(), r.enabled);
        EXPECT_TRUE(r.action->isVisible()); // no settings file: both settings-driven actions visible too
    }
    EXPECT_EQ(w.actAbout->text(), QStringLiteral("О программе..."));
    EXPECT_EQ(w.actUsersManual->shortcut(), QKeySequence(Qt::Key_F1));
    for (QAction *item : w.PopupMenu1->actions())
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    EXPECT_EQ(Texts(w.PopupMenu1->actions()),
              (QStringList{"Сменить адрес прибора", "Сменить адрес извещателя", "Сменить адрес модуля",
                           "Установка заводских параметров (Тиврон-А)"}));
}

TEST(MainForm, MenusAndToolBar)
{
    TMainForm w;
    EXPECT_EQ(Texts(w.menuBar()->actions()), (QStringList{"Файл", "Вид", "Операции", "Помощь"}));
    EXPECT_EQ(Texts(TopMenu(w, "Файл")->actions()),
              (QStringList{"Новый", "Открыть", "Сохранить", "Экспорт", "-", "Настройки...", "-", "Выход"}));
    QMenu *exportMenu = TopMenu(w, "Файл")->actions()[3]->menu();
    ASSERT_NE(exportMenu, nullptr);
    EXPECT_EQ(Texts(exportMenu->actions()), (QStringList{"Microsoft Word", "Microsoft Excel"}));
    EXPECT_FALSE(exportMenu->actions()[1]->isVisible());
    EXPECT_FALSE(exportMenu->actions()[1]->isEnabled());
    EXPECT_EQ(Texts(TopMenu(w, "Вид")->actions()), (QStringList{"Строка состояния", "Конфигурация..."}));
    EXPECT_EQ(Texts(TopMenu(w, "Операции")->actions()),
              (QStringList{"Считать конфигурацию", "Записать конфигурацию",
                           "Просмотр принятых/отправленных данных", "Сервис"}));
    EXPECT_EQ(Texts(TopMenu(w, "Помощь")->actions()),
              (QStringList{"Руководство пользователя", "-", "О программе..."}));
    EXPECT_EQ(Texts(w.ToolBar->actions()),
              (QStringList{"Новый", "Открыть", "Сохранить", "-", "Считать конфигурацию", "Записать конфигурацию", "-",
                           "Просмотр принятых/отправленных данных", "Сервис", "-", "Настройки...", "Microsoft Word",
                           "-", "Руководство пользователя"}));
    EXPECT_EQ(w.StatusPanel0->width(), 600);
    EXPECT_EQ(w.PageControl->count(), 0);
}

TEST(MainForm, MembersStartEmpty)
{
    TMainFormEnv env;
    env.ProgramDir = QStringLiteral("/opt/tivron/");
    TMainForm w(nullptr, env);
    EXPECT_EQ(w.ProgramDir, QStringLiteral("/opt/tivron"));
    EXPECT_TRUE(w.PageIds.isEmpty());
    EXPECT_EQ(w.PageCounter, 0);
    EXPECT_EQ(w.ActivePageId, 0);
    EXPECT_EQ(w.LoopCount, 0);
    EXPECT_EQ(w.KeyCount, 0);
    EXPECT_EQ(w.PassCount, 0);
    EXPECT_EQ(w.SelectedColumnAddress, 0);
    EXPECT_EQ(w.CurrentDevice, nullptr);
    ASSERT_NE(w.KeyListView, nullptr);
    EXPECT_TRUE(w.KeyListView->isHidden());
    EXPECT_EQ(w.KeyListView->parent(), &w);
    EXPECT_EQ(w.Timer1.Interval(), 0);
    EXPECT_FALSE(w.Timer1.Running());

    TMainForm here;
    EXPECT_EQ(here.ProgramDir, QDir::currentPath());
}

TEST(MainForm, CreationAndDestructionOrder)
{
    QTemporaryDir dir;
    std::vector<std::string> log;
    TMainFormEnv env;
    env.SettingsPath = dir.filePath("Tivron.ini");
    env.LoadAdapterLibrary = [&] { log.push_back("load adapter"); };
    env.LoadKeyReaderLibrary = [&] {
        log.push_back("load key reader");
        EXPECT_FALSE(QFile::exists(dir.filePath("Tivron.ini")));
    };
    env.DisconnectAdapter = [&] { log.push_back("disconnect"); };
    env.UnloadLibraries = [&] {
        log.push_back("unload");
        EXPECT_FALSE(QFile::exists(dir.filePath("Tivron.ini"))); // the settings are written after
    };
    {
        TMainForm w(nullptr, env);
        EXPECT_EQ(Usb_TimerSleep, 10); // the settings were read at creation: no file, no-file values
    }
    EXPECT_EQ(log, (std::vector<std::string>{"load adapter", "load key reader", "disconnect", "unload"}));
    EXPECT_TRUE(ReadFile(dir.filePath("Tivron.ini")).startsWith("[MainWindow]\r\nTop="));
}

TEST(MainForm, SettingsDriveTheWindowAndComeBackUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    const QByteArray file = "[MainWindow]\r\nTop=40\r\nLeft=30\r\nWidth=700\r\nHeight=600\r\nWindowState=0\r\n\r\n"
                            "[Usb-to-CAN]\r\nUsb_TotalPaket=300\r\nUsb_TimerSleep=10\r\nUsb_NoDevice=1\r\n"
                            "Can_BaudRate=50\r\n\r\n[Parameters]\r\nShowLoading=500\r\nWarningDefaultData=1\r\n"
                            "actPakets_Visible=0\r\nactChangeAddrDev_Visible=1\r\nAutoIncProgramWaitAns=1\r\n";
    WriteFile(path, file);
    TMainFormEnv env;
    env.SettingsPath = path;
    {
        TMainForm w(nullptr, env);
        EXPECT_EQ(w.pos(), QPoint(30, 40));
        EXPECT_EQ(w.size(), QSize(700, 600));
        // The monitor action is gone from the menu and the tool bar alike.
        EXPECT_FALSE(w.actPakets->isVisible());
        QWidget *button = w.ToolBar->widgetForAction(w.actPakets);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isHidden());
        EXPECT_TRUE(w.actChangeAddrDev->isVisible());
    }
    EXPECT_EQ(ReadFile(path), file);
}

TEST(MainForm, StoredMaximisedStateIsAskedForBeforeShowing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    WriteFile(path, "[MainWindow]\r\nWindowState=2\r\n");
    TMainFormEnv env;
    env.SettingsPath = path;
    TMainForm w(nullptr, env);
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.GetWindowState(), 2);
}

TEST(MainForm, FailedSettingsWriteAtShutDownIsReported)
{
    QTemporaryDir dir;
    TMainFormEnv env;
    env.SettingsPath = dir.filePath("gone/Tivron.ini");
    QString shown;
    SetMessageDlgHook([&](const QString &text, int kind, MsgButtons) {
        EXPECT_EQ(kind, mtError);
        shown = text;
        return mrOk;
    });
    { TMainForm w(nullptr, env); }
    SetMessageDlgHook({});
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Не удалось сохранить настройки программы.\n"))) << shown.toStdString();
}

// Closing the program with its folder on a full disk: the settings stay as they were, and the
// engineer learns that they were not saved.
TEST(MainForm, SettingsOnAFullDiskAtShutDownStayAndTheFailureIsShown)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    const QByteArray old = "[MainWindow]\r\nTop=1\r\n";
    WriteFile(path, old);
    TMainFormEnv env;
    env.SettingsPath = path;
    QStringList shown;
    SetMessageDlgHook([&](const QString &text, int kind, MsgButtons) {
        EXPECT_EQ(kind, mtError);
        shown << text;
        return mrOk;
    });
    {
        FileSizeLimit limit(64); // of about 300 bytes
        ASSERT_TRUE(limit.Active());
        TMainForm w(nullptr, env); // its destruction writes the settings
    }
    SetMessageDlgHook({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "Не удалось сохранить настройки программы.\nНе удалось записать файл '" + path + "': " + FileTooLargeText);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"Tivron.ini"});
}

// A settings file made read-only stays as it was at shut-down, and the engineer learns why.
TEST(MainForm, AReadOnlySettingsFileAtShutDownStaysAndTheFailureIsShown)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    const QByteArray old = "[MainWindow]\r\nTop=1\r\n";
    WriteFile(path, old);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    TMainFormEnv env;
    env.SettingsPath = path;
    QStringList shown;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        shown << text;
        return mrOk;
    });
    { TMainForm w(nullptr, env); }
    SetMessageDlgHook({});
    EXPECT_EQ(shown, QStringList{"Не удалось сохранить настройки программы.\nНе удалось записать файл '" + path +
                                 "': Доступ запрещён"});
    EXPECT_EQ(ReadFile(path), old);
}

TEST(MainForm, MonitorIsPlacedBesideTheMainWindow)
{
    EXPECT_EQ(MonitorLeft(100, 400), 0);
    EXPECT_EQ(MonitorLeft(500, 400), 100);
    EXPECT_EQ(MonitorLeft(400, 400), 0);

    TMainForm w;
    QWidget monitor(&w, Qt::Window);
    monitor.resize(400, 300);
    w.SetToolWindows(nullptr, &monitor);
    w.move(500, 70);
    w.actPakets->trigger();
    EXPECT_TRUE(monitor.isVisible());
    EXPECT_EQ(monitor.frameGeometry().topLeft(), QPoint(500 - monitor.frameGeometry().width(), 70));
    w.move(100, 20);
    w.actPakets->trigger(); // placed again on every call
    EXPECT_EQ(monitor.frameGeometry().topLeft(), QPoint(0, 20));
}

TEST(MainForm, DescriptionWindowOpensCentredThenWhereTheEngineerLeftIt)
{
    TMainForm w;
    w.move(100, 50);
    w.show();
    TConfigForm config(&w);
    w.SetToolWindows(&config, nullptr);
    w.N23->trigger();
    ASSERT_TRUE(config.isVisible());
    EXPECT_EQ(config.geometry().center(), w.geometry().center());

    config.move(20, 30);
    config.close(); // only hides it
    ASSERT_FALSE(config.isVisible());
    w.move(300, 200);
    w.N23->trigger();
    EXPECT_TRUE(config.isVisible());
    EXPECT_EQ(config.pos(), QPoint(20, 30));
}

TEST(MainForm, PageChangeClearsStatusAndSelection)
{
    TMainForm w;
    auto *first = new QWidget;
    first->setProperty("Tag", 3);
    auto *second = new QWidget;
    second->setProperty("Tag", 4);
    w.PageControl->addTab(first, "a");
    w.PageControl->addTab(second, "b");
    w.SetStatusText(QStringLiteral("Заметка"));
    w.SelectedColumn = 2;
    w.SelectedRow = 5;
    w.PageControl->setCurrentIndex(1);
    EXPECT_EQ(w.ActivePageId, 4);
    EXPECT_EQ(w.SelectedColumn, -1);
    EXPECT_EQ(w.SelectedRow, -1);
    EXPECT_EQ(w.StatusText(), QString());
}

TEST(MainForm, UsersManualIsOpenedOrTheStatusBarSaysWhyNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString manual = dir.filePath("docs/users_manual.pdf");
    const struct {
        bool present;
        bool viewer;
        QString status; // after the command; "Заметка" was there before
    } cases[] = {
        {true, true, "Заметка"},
        {false, true, "Нет файла руководства пользователя: " + manual},
        {true, false, "Нет программы для просмотра PDF: " + manual},
    };
    // The desktop's opener is a stand-in: status 0 as with a PDF viewer, 3 as xdg-open's "no method
    // available" when the desktop has none.
    QTemporaryDir openers;
    ASSERT_TRUE(openers.isValid());
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        QDir(dir.path()).mkpath("docs");
        QFile::remove(manual);
        if (c.present)
            WriteFile(manual, "%PDF-1.4\n");
        TMainFormEnv env;
        env.ProgramDir = dir.path() + "/";
        env.DesktopOpener.Program = StandInOpener(openers, QString::number(++n), c.viewer ? 0 : 3);
        env.DesktopOpener.WaitMs = 600000; // the stand-in answers at once
        TMainForm w(nullptr, env);
        w.SetStatusText("Заметка");
        w.actUsersManual->trigger();
        EXPECT_EQ(StandInOpenerArgument(env.DesktopOpener.Program), c.present ? manual : QString());
        EXPECT_EQ(w.StatusText(), c.status);
    }

    // A path longer than the panel loses its middle, never the file's name.
    const QString deep = dir.filePath(QString(100, u'п'));
    ASSERT_TRUE(QDir().mkpath(deep));
    TMainFormEnv env;
    env.ProgramDir = deep;
    TMainForm w(nullptr, env);
    w.actUsersManual->trigger();
    const QString status = w.StatusText();
    EXPECT_TRUE(status.startsWith("Нет файла руководства пользователя: " + dir.path())) << status.toStdString();
    EXPECT_TRUE(status.endsWith("пп/docs/users_manual.pdf")) << status.toStdString();
    EXPECT_LE(w.StatusPanel0->fontMetrics().horizontalAdvance(status), w.StatusPanel0->width());
}

TEST(MainForm, SmallCommands)
{
    TMainFormEnv env;
    env.ProgramDir = QStringLiteral("/srv/prog");
    TMainForm w(nullptr, env);
    w.show();

    w.miStatusBar->trigger();
    EXPECT_FALSE(w.miStatusBar->isChecked());
    EXPECT_FALSE(w.StatusBar->isVisible());
    w.miStatusBar->trigger();
    EXPECT_TRUE(w.StatusBar->isVisible());

    TConfigForm config(&w);
    w.SetToolWindows(&config, nullptr);
    w.N23->trigger();
    EXPECT_TRUE(config.isVisible());
    w.actPakets->trigger(); // no monitor yet: nothing happens

    QSignalSpy closed(&w, &TMainForm::Closed);
    w.miExit->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(w.isVisible());
}
