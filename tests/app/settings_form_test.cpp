#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "app/settings_form.h"
#include "tests/support/test_files.h"

namespace {
struct FakeWindow : ISettingsWindow {
    int Top = 40, Left = 30, Width = 790, Height = 974, State = 0;
    int GetTop() const override { return Top; }
    int GetLeft() const override { return Left; }
    int GetWidth() const override { return Width; }
    int GetHeight() const override { return Height; }
    int GetWindowState() const override { return State; }
    bool GetPaketsVisible() const override { return true; }
    bool GetChangeAddrDevVisible() const override { return true; }
    void SetTop(int v) override { Top = v; }
    void SetLeft(int v) override { Left = v; }
    void SetWidth(int v) override { Width = v; }
    void SetHeight(int v) override { Height = v; }
    void SetWindowState(int v) override { State = v; }
    void SetPaketsVisible(bool) override {}
    void SetChangeAddrDevVisible(bool) override {}
};

// Replaces the spin edit's text as typing would, leaving the focus in it.
void TypeInto(QSpinBox *spin, const QString &text)
{
    spin->setFocus();
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Delete);
    QTest::keyClicks(spin, text);
}

struct SettingsFormTest : ::testing::Test {
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("Tivron.ini"));
        SetDefaultSettings();
        SetSettingsTarget(&window, path);
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
    }
    void TearDown() override
    {
        SetSettingsTarget(nullptr, QString());
        SetMessageDlgHook({});
    }
    // Shows the dialog as the engineer gets it: active, with the first field focused.
    void Show(TSettingsForm &form)
    {
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    QTemporaryDir dir;
    QString path;
    FakeWindow window;
    QStringList messages;
};
} // namespace

TEST_F(SettingsFormTest, LooksAsDesigned)
{
    TSettingsForm form;
    Show(form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Настройки"));
    EXPECT_EQ(form.size(), QSize(523, 193));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 523, 193));
    EXPECT_EQ(form.Panel1->palette().color(QPalette::Window), QColor(0xA6, 0xC1, 0xEA));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Номер порта для соединения с USB-to-CAN:"));
    EXPECT_EQ(form.Label2->pos(), QPoint(16, 27));
    EXPECT_TRUE(form.Label2->font().bold());
    EXPECT_EQ(form.Label5->text(), QStringLiteral("Время показа заставки \"Обработка запроса\" (мс):"));
    EXPECT_EQ(form.Label5->pos(), QPoint(16, 67));
    EXPECT_EQ(form.CSpinEdit_Device->geometry(), QRect(352, 24, 145, 22));
    EXPECT_EQ(form.CSpinEdit_Device->minimum(), 1);
    EXPECT_EQ(form.CSpinEdit_Device->maximum(), 255);
    EXPECT_EQ(form.CSpinEdit_Device->singleStep(), 1);
    EXPECT_EQ(form.CSpinEdit_ShowLoading->geometry(), QRect(352, 64, 145, 22));
    EXPECT_EQ(form.CSpinEdit_ShowLoading->minimum(), 1);
    EXPECT_EQ(form.CSpinEdit_ShowLoading->maximum(), 10000);
    EXPECT_EQ(form.CSpinEdit_ShowLoading->singleStep(), 100);
    EXPECT_FALSE(form.CheckBox_WarningDefaultData->isVisible());
    EXPECT_EQ(form.CheckBox_WarningDefaultData->text(), QStringLiteral("Предупреждение о данных взятых по умолчанию :"));
    EXPECT_EQ(form.btnOK->text(), QStringLiteral("Применить"));
    EXPECT_EQ(form.btnOK->geometry(), QRect(157, 144, 89, 25));
    EXPECT_TRUE(form.btnOK->isDefault());
    EXPECT_EQ(form.btnCancel->text(), QStringLiteral(" Отмена "));
    EXPECT_EQ(form.btnCancel->geometry(), QRect(275, 144, 81, 25));
    EXPECT_TRUE(form.btnOK->isVisible());
    EXPECT_TRUE(form.btnCancel->isVisible());
}

TEST_F(SettingsFormTest, ShowsTheGlobalsWithinTheRanges)
{
    const struct {
        int device, loading;
        bool warning;
        int shownDevice, shownLoading;
    } cases[] = {
        {7, 500, true, 7, 500},
        {0, 0, false, 1, 1},         // 0 from the file shows as the lower bound
        {300, 20000, true, 255, 10000},
        {-4, -1, false, 1, 1},
    };
    for (const auto &c : cases) {
        Usb_NoDevice = c.device;
        ShowLoading = c.loading;
        WarningDefaultData = c.warning;
        TSettingsForm form;
        form.show();
        EXPECT_EQ(form.CSpinEdit_Device->value(), c.shownDevice) << c.device;
        EXPECT_EQ(form.CSpinEdit_ShowLoading->value(), c.shownLoading) << c.loading;
        EXPECT_EQ(form.CheckBox_WarningDefaultData->isChecked(), c.warning);
    }
}

TEST_F(SettingsFormTest, ApplyStoresTheValuesAndRewritesTheWholeFile)
{
    WriteFile(path, "[Hand]\r\nMine=1\r\n");
    ShowLoading = 0; // shows as 1 and is stored as 1 when left alone
    WarningDefaultData = false;
    window.Top = 123; // the window's present geometry goes into the file
    window.Width = 640;
    TSettingsForm form;
    Show(form);
    TypeInto(form.CSpinEdit_Device, QStringLiteral("12"));
    QTest::mouseClick(form.btnOK, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), int(QDialog::Accepted));
    EXPECT_EQ(Usb_NoDevice, 12);
    EXPECT_EQ(ShowLoading, 1);
    EXPECT_FALSE(WarningDefaultData);
    const QByteArray saved = ReadFile(path);
    EXPECT_EQ(saved, SettingsFileBytes(window));
    EXPECT_TRUE(saved.contains("Top=123\r\n"));
    EXPECT_TRUE(saved.contains("Usb_NoDevice=12\r\n"));
    EXPECT_TRUE(saved.contains("ShowLoading=1\r\n"));
    EXPECT_FALSE(saved.contains("Mine"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SettingsFormTest, ApplyWithNothingChangedStillWritesTheFile)
{
    TSettingsForm form;
    Show(form);
    form.btnOK->click();
    EXPECT_EQ(ReadFile(path), SettingsFileBytes(window));
    EXPECT_EQ(Usb_NoDevice, 1);
    EXPECT_EQ(ShowLoading, 500);
    EXPECT_TRUE(WarningDefaultData); // the hidden box carried it through
}

TEST_F(SettingsFormTest, TypedNumbersOffTheRangeTakeTheNearestBoundOnceTheFieldIsLeft)
{
    TSettingsForm form;
    Show(form);
    TypeInto(form.CSpinEdit_Device, QStringLiteral("300"));
    EXPECT_EQ(form.CSpinEdit_Device->text(), QStringLiteral("300")); // taken while typing
    TypeInto(form.CSpinEdit_ShowLoading, QStringLiteral("99999999999"));
    EXPECT_EQ(form.CSpinEdit_Device->text(), QStringLiteral("255"));
    EXPECT_EQ(form.CSpinEdit_Device->value(), 255);
    QTest::keyClicks(form.CSpinEdit_ShowLoading, QStringLiteral("x")); // not a digit: refused
    EXPECT_EQ(form.CSpinEdit_ShowLoading->text(), QStringLiteral("99999999999"));
    // Enter in the field presses "Применить" with the clamped value.
    QTest::keyClick(form.CSpinEdit_ShowLoading, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ShowLoading, 10000);
    EXPECT_EQ(Usb_NoDevice, 255);
    EXPECT_TRUE(ReadFile(path).contains("ShowLoading=10000\r\n"));
}

TEST_F(SettingsFormTest, CancelTheCloseBoxAndEscStoreNothing)
{
    WriteFile(path, "[Hand]\r\nMine=1\r\n");
    for (int way = 0; way < 3; ++way) {
        TSettingsForm form;
        Show(form);
        TypeInto(form.CSpinEdit_Device, QStringLiteral("9"));
        TypeInto(form.CSpinEdit_ShowLoading, QStringLiteral("2000"));
        form.CheckBox_WarningDefaultData->setChecked(false);
        if (way == 0) {
            QTest::mouseClick(form.btnCancel, Qt::LeftButton);
        } else if (way == 1) {
            form.close();
        } else {
            QTest::keyClick(form.CSpinEdit_ShowLoading, Qt::Key_Escape);
            EXPECT_TRUE(form.isVisible()) << "Esc does nothing";
            form.close();
        }
        EXPECT_FALSE(form.isVisible()) << way;
        EXPECT_EQ(Usb_NoDevice, 1) << way;
        EXPECT_EQ(ShowLoading, 500) << way;
        EXPECT_TRUE(WarningDefaultData) << way;
        EXPECT_EQ(ReadFile(path), QByteArray("[Hand]\r\nMine=1\r\n")) << way;
    }
}

TEST_F(SettingsFormTest, AFileThatCannotBeWrittenIsShownAndTheDialogStaysOpen)
{
    SetSettingsTarget(&window, dir.filePath(QStringLiteral("no/such/folder/Tivron.ini")));
    TSettingsForm form;
    Show(form);
    TypeInto(form.CSpinEdit_Device, QStringLiteral("5"));
    form.btnOK->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Tivron.ini"))) << messages[0].toStdString();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Usb_NoDevice, 5); // the new value stays in memory
}
