#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/about_box.h"
#include "app/settings.h"
#include "app/settings_form.h"
#include "editor/main_form.h"
#include "tests/support/opening_keys.h"

// Each action opens its window modally over the main window and frees it once it closes.
TEST(MainFormDialogs, SettingsAndAboutOpenModallyAndAreFreedAfterwards)
{
    QTemporaryDir dir;
    TMainFormEnv env;
    env.SettingsPath = dir.filePath(QStringLiteral("Tivron.ini"));
    TMainForm w(nullptr, env);
    w.show();

    QPointer<QWidget> seen;
    QString version;
    QTimer::singleShot(0, [&] {
        auto *form = qobject_cast<TSettingsForm *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->parentWidget(), &w);
        seen = form;
        form->CSpinEdit_Device->setValue(17);
        form->btnOK->click();
    });
    w.actSettings->trigger();
    EXPECT_TRUE(seen.isNull());
    EXPECT_EQ(Usb_NoDevice, 17);
    QFile saved(env.SettingsPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("Usb_NoDevice=17\r\n"));

    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<TAboutForm *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget(), &w);
        seen = box;
        version = box->Label_Version->text();
        box->btnOk->click();
    });
    w.actAbout->trigger();
    EXPECT_TRUE(seen.isNull());
    EXPECT_TRUE(version.startsWith(QStringLiteral("Версия: ")));
}

// The settings dialog opens with its adapter number selected: the first key typed replaces it, and a
// number off the range is clamped when Enter applies it.
TEST(MainFormDialogs, TheFirstKeyTypedAsTheSettingsOpenReplacesTheAdapterNumber)
{
    QTemporaryDir dir;
    TMainFormEnv env;
    env.SettingsPath = dir.filePath(QStringLiteral("Tivron.ini"));
    TMainForm w(nullptr, env);
    w.show();
    const struct {
        int before;
        const char *typed;
        int stored;
    } cases[] = {{1, "7", 7}, {255, "7", 7}, {7, "300", 255}};
    for (const auto &c : cases) {
        Usb_NoDevice = c.before;
        const TypedOnOpening seen = TypeAsItOpens([](QWidget *window) { return qobject_cast<TSettingsForm *>(window); },
                                                  QString::fromLatin1(c.typed), true, [&] { w.actSettings->trigger(); });
        ASSERT_TRUE(seen.typed) << c.typed;
        EXPECT_TRUE(seen.focusType->inherits(&QSpinBox::staticMetaObject)) << c.typed;
        EXPECT_EQ(seen.selected, QString::number(c.before)) << c.typed;
        EXPECT_EQ(Usb_NoDevice, c.stored) << c.typed;
        QFile saved(env.SettingsPath);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_TRUE(saved.readAll().contains("Usb_NoDevice=" + QByteArray::number(c.stored) + "\r\n")) << c.typed;
    }
}
