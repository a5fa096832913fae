// The address-change dialog and the main window's handlers that open the service windows, over
// the fake link.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QPushButton>

#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/model_classes.h"
#include "model/tree_model.h"
#include "service/change_address.h"
#include "service/chenge_addres_device.h"
#include "service/main_form_service.h"
#include "tests/service/service_fixture.h"
#include "tests/support/opening_keys.h"
#include "tests/support/test_paths.h"

namespace {

class ChangeAddress : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        TMainFormEnv env;
        env.ProgramDir = SourcePath(QStringLiteral("data"));
        main = std::make_unique<TMainForm>(nullptr, env);
        ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/devices.xml")), catalogue));
        device = catalogue.firstNode();
        ASSERT_TRUE(device && device->device());
        device->device()->device_addr = 5;
        main->CurrentDevice = device->shared();
        Usb_TimerSleep = 0;
    }
    void TearDown() override
    {
        SetServiceDialogRunner(nullptr);
        main->Timer1.SetInterval(0);
        EndReadExchange();
        main.reset();
        ServiceTest::TearDown();
    }

    std::unique_ptr<TFormChangeAddress> Opened()
    {
        auto dialog = std::make_unique<TFormChangeAddress>(*main);
        dialog->FormShow();
        g_fake.sent.clear();
        return dialog;
    }

    std::unique_ptr<TMainForm> main;
    CTree catalogue;
    CTreeNode *device = nullptr;
};

} // namespace

TEST_F(ChangeAddress, OldAddressesFromTheSelectedColumn)
{
    const struct {
        int column, detector, module;
    } cases[] = {{12, 12, 12}, {150, 99, 40}, {0, 99, 40}, {-4, 99, 40}};
    for (const auto &c : cases) {
        main->SelectedColumnAddress = c.column;
        TFormChangeAddress dialog(*main);
        EXPECT_EQ(dialog.CSpinEdit_OldAddrDet->value(), c.detector) << c.column;
        EXPECT_EQ(dialog.CSpinEdit_OldAddrMod->value(), c.module) << c.column;
    }
}

TEST_F(ChangeAddress, OpeningConnectsEveryTime)
{
    UsbCan.Connected = true;
    TFormChangeAddress dialog(*main);
    dialog.ShowGroup(AddressTarget::Module);
    EXPECT_TRUE(dialog.GroupBox_AddrMod->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.GroupBox_AddrDev->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.btnSaveAddrMod->isDefault());
    dialog.FormShow();
    EXPECT_EQ(g_fake.connects, 1);
    EXPECT_EQ(pump.statuses, (std::vector<Status>{{ConnectingText, 1}, {ConnectedText, 0}}));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ТИВРОН-Diva"));
    EXPECT_EQ(dialog.CSpinEdit_NewAddrDev->value(), 5);
}

TEST_F(ChangeAddress, FailedConnectionLeavesTheButtonsIdle)
{
    g_fake.connectCode = 8;
    TFormChangeAddress dialog(*main);
    dialog.FormShow();
    EXPECT_EQ(pump.statuses.back(), (Status{ConnectFailedText + "8", 2}));
    dialog.btnSaveAddrDevClick();
    dialog.btnSaveAddrDetClick();
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dialog.result(), 0);
    dialog.reject(); // the close box
    EXPECT_EQ(dialog.result(), int(mrCancel));
}

TEST_F(ChangeAddress, DetectorAndModuleChanges)
{
    auto dialog = Opened();
    dialog->CSpinEdit_OldAddrDet->setValue(0);
    dialog->CSpinEdit_NewAddrDet->setValue(7);
    dialog->btnSaveAddrDet->click();
    EXPECT_EQ(Sent(), QStringList{"00FF04010664000000000000"});
    EXPECT_EQ(dialog->result(), int(mrOk));

    dialog = Opened();
    dialog->CSpinEdit_OldAddrMod->setValue(3);
    dialog->CSpinEdit_NewAddrMod->setValue(1);
    g_fake.txCodes = {2, 2};
    dialog->btnSaveAddrMod->click();
    EXPECT_EQ(Sent(), (QStringList{"00FF04020002000000000000", "00FF04020002000000000000"}));
    EXPECT_EQ(dialog->result(), int(mrOk)); // whatever the sends gave
}

TEST_F(ChangeAddress, DeviceChange)
{
    auto dialog = Opened();
    dialog->CSpinEdit_NewAddrDev->setValue(127);
    dialog->btnSaveAddrDevClick();
    EXPECT_EQ(messages, (std::vector<Message>{{BadAddressText, mtError}}));
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_EQ(dialog->result(), 0);

    dialog->CSpinEdit_NewAddrDev->setValue(9);
    dialog->btnSaveAddrDevClick();
    EXPECT_EQ(Sent(), (QStringList{"00FF04000800000000000000", "02FF08000000000000000000"}));
    EXPECT_EQ(device->device()->device_addr, 9);
    EXPECT_EQ(dialog->result(), int(mrOk));

    // The end packet failing twice keeps the old address.
    dialog = Opened();
    dialog->CSpinEdit_NewAddrDev->setValue(20);
    g_fake.txCodes = {0, 1, 1};
    dialog->btnSaveAddrDevClick();
    EXPECT_EQ(device->device()->device_addr, 9);
    EXPECT_EQ(dialog->result(), int(mrOk));
}

TEST_F(ChangeAddress, StoredAddressOutsideTheLineIsRefused)
{
    device->device()->device_addr = 0;
    auto dialog = Opened();
    dialog->btnSaveAddrDetClick();
    EXPECT_EQ(messages, (std::vector<Message>{{BadAddressText, mtError}}));
    EXPECT_TRUE(Sent().isEmpty());
}

TEST_F(ChangeAddress, PageMenuRequestsTheConfigurationAfterOk)
{
    SetServiceDialogRunner([](QDialog &d) {
        auto *dialog = qobject_cast<TFormChangeAddress *>(&d);
        EXPECT_TRUE(dialog && dialog->GroupBox_AddrDev->isVisibleTo(dialog));
        dialog->FormShow();
        dialog->CSpinEdit_NewAddrDev->setValue(9);
        dialog->btnSaveAddrDevClick();
        return dialog->result();
    });
    main->BuildDevicePages(device, nullptr, false); // the menu is the pages' menu
    main->ChangeAddrDeviceClick();
    const QStringList sent = Sent();
    ASSERT_GE(sent.size(), 3);
    EXPECT_EQ(sent[0], QStringLiteral("00FF04000800000000000000"));
    EXPECT_EQ(sent[2], QStringLiteral("85FF0800FF00000000000000")); // the first table request, at the new address
    EXPECT_EQ(main->CurrentDevice.get(), device);

    // Closed without writing: nothing is asked again.
    EndReadExchange();
    main->Timer1.SetInterval(0);
    main->BuildDevicePages(device, nullptr, false);
    g_fake.sent.clear();
    bool shown = false;
    SetServiceDialogRunner([&](QDialog &d) {
        shown = true;
        EXPECT_TRUE(qobject_cast<TFormChangeAddress *>(&d)->GroupBox_AddrDet->isVisibleTo(&d));
        return int(mrCancel);
    });
    main->ChangeAddrSenseClick();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Sent().isEmpty());
}

TEST_F(ChangeAddress, PageMenuReadsBackTheKeysOfTheOpenPage)
{
    main->BuildDevicePages(device, nullptr, false);
    CTreeView *keys = nullptr;
    for (int tag : main->PageIds)
        if (!keys)
            keys = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(tag), main->PageControl, 3);
    ASSERT_NE(keys, nullptr);
    for (const char *text : {"1. Мастер-ключ", "2. <ключ> №12"})
        keys->items().addChild(nullptr, QString::fromUtf8(text), std::make_shared<CKey>());
    main->KeyListView->items().addChild(nullptr, QStringLiteral("2. <ключ> №7")); // an earlier read's
    SetServiceDialogRunner([](QDialog &) { return int(mrOk); });
    main->ChangeAddrDeviceClick();
    QStringList keyRequests;
    for (const QString &text : Sent())
        if (text.startsWith(QStringLiteral("85FF04")) && text.mid(6, 2) == QStringLiteral("03"))
            keyRequests << text;
    EXPECT_EQ(keyRequests, (QStringList{"85FF04030000000000000000", "85FF04030C00000000000000"}));
}

// No device, or a device whose pages are gone (a new configuration cancelled): the same answer.
TEST_F(ChangeAddress, PageMenuWithoutAnOpenDevice)
{
    for (const bool keepDevice : {false, true}) {
        SCOPED_TRACE(keepDevice);
        main->BuildDevicePages(device, nullptr, false);
        main->FreePages();
        if (!keepDevice)
            main->CurrentDevice.reset();
        messages.clear();
        bool opened = false;
        SetServiceDialogRunner([&](QDialog &) {
            opened = true;
            return int(mrOk);
        });
        main->ChangeAddrModuleClick();
        EXPECT_FALSE(opened);
        EXPECT_EQ(messages, (std::vector<Message>{{NoDeviceDataText, mtInformation}}));
        EXPECT_TRUE(Sent().isEmpty());
    }
}

TEST_F(ChangeAddress, ServiceActionOpensTheServiceWindow)
{
    TConfigForm config;
    ConfigForm = &config;
    UsbCan.Connected = true;
    QString caption;
    SetServiceDialogRunner([&](QDialog &d) {
        caption = qobject_cast<TChengeAddresDeviceForm *>(&d) ? d.windowTitle() : QString();
        return 0;
    });
    main->actChangeAddrDev->trigger();
    ConfigForm = nullptr;
    EXPECT_EQ(caption, QStringLiteral("Сервис"));
}

// Each page-menu dialog opens with its first address selected: the key typed at once replaces it, and
// Enter writes it.
TEST_F(ChangeAddress, TheFirstKeyTypedAsTheDialogOpensReplacesTheAddress)
{
    const struct {
        void (TMainForm::*open)();
        const char *typed;
        const char *selected;
        const char *sent; // the first packet; the device is at address 6
    } cases[] = {
        {&TMainForm::ChangeAddrDeviceClick, "9", "6", "00FF05000800000000000000"},
        {&TMainForm::ChangeAddrSenseClick, "0", "99", "00FF05016264000000000000"},
        {&TMainForm::ChangeAddrModuleClick, "3", "40", "00FF05022702000000000000"},
    };
    for (const auto &c : cases) {
        device->device()->device_addr = 6;
        main->BuildDevicePages(device, nullptr, false); // the read-back of the case before took them
        g_fake.sent.clear();
        const TypedOnOpening seen =
            TypeAsItOpens([](QWidget *window) { return qobject_cast<TFormChangeAddress *>(window); },
                          QString::fromLatin1(c.typed), true, [&] { ((*main).*c.open)(); });
        ASSERT_TRUE(seen.typed) << c.sent;
        EXPECT_EQ(seen.selected, c.selected) << c.sent;
        const QStringList sent = Sent();
        ASSERT_FALSE(sent.isEmpty()) << c.sent;
        EXPECT_EQ(sent[0], c.sent);
        main->Timer1.SetInterval(0); // the configuration asked for again after the dialog
        EndReadExchange();
    }
}
