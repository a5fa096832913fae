// The service window through the real adapter library against the simulated demo line: the
// search lists the line, a click reads the version, and the address commands reach the devices.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "link/device_search.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "service/chenge_addres_device.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

class ManualTimer : public ITimerBackend {
public:
    void Start(int) override {}
    void Stop() override {}
};

bool Listed(TChengeAddresDeviceForm &form, const QString &text)
{
    return TopNodeWithText(form.tvDevice->items(), text) != nullptr;
}

// Ticks the search until the list holds text, within the simulator's wait.
bool TickUntilListed(TChengeAddresDeviceForm &form, const QString &text)
{
    QDeadlineTimer deadline(kSimWaitMs);
    while (!Listed(form, text) && !deadline.hasExpired())
        form.TimerFindCanDevices.Tick();
    return Listed(form, text);
}

void Click(TChengeAddresDeviceForm &form, const QString &text)
{
    form.SelectNode(TopNodeWithText(form.tvDevice->items(), text));
    form.tvDeviceClick();
}

} // namespace

TEST(ServiceOverSim, SearchVersionAndAddressCommands)
{
    SimProcess sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--log")})) << "the simulator did not start";
    ASSERT_TRUE(UseSimulatedLine(sim));
    SetLinkPump(nullptr);
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    Usb_TimerSleep = 2;
    QStringList messages;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        messages << text;
        return int(mrOk);
    });
    QTemporaryDir dir;
    ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
    CTree catalogue;
    {
        TServiceHooks hooks;
        hooks.TimerBackend = std::make_unique<ManualTimer>();
        TChengeAddresDeviceForm form(nullptr, catalogue, dir.filePath("devices.xml"), std::move(hooks));
        form.FormShow();
        ASSERT_TRUE(UsbCan.Connected);
        for (const char *text : {"Тиврон-А <3>", "Тиврон-2 <5>", "Тиврон-2 <7>", "Тиврон-АСПТ <12>"})
            EXPECT_TRUE(TickUntilListed(form, QString::fromUtf8(text))) << text;

        Click(form, QStringLiteral("Тиврон-А <3>"));
        EXPECT_EQ(form.Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
        EXPECT_TRUE(form.GroupBox_AddrDet->isEnabled());

        form.CSpinEdit_OldAddrDet->setValue(1);
        form.CSpinEdit_NewAddrDet->setValue(7);
        form.sbSaveAddrDet->click();
        EXPECT_EQ(messages.value(0), QStringLiteral("Команда 'Записать' отправлена!"));

        form.btnRestart->click();
        EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx 00FF02000200000100000000"), kSimWaitMs));

        // The device at 7 moves to 9 and a new search lists it there.
        Click(form, QStringLiteral("Тиврон-2 <7>"));
        form.CSpinEdit_NewAddrDev->setValue(9);
        form.btnSaveAddrDev->click();
        EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx 02FF08000000000000000000"), kSimWaitMs));
        EXPECT_TRUE(TickUntilListed(form, QStringLiteral("Тиврон-2 <9>")));
        EXPECT_TRUE(TickUntilListed(form, QStringLiteral("Тиврон-2 <5>")));
        EXPECT_FALSE(Listed(form, QStringLiteral("Тиврон-2 <7>")));
        form.done(0);
    }
    EXPECT_FALSE(UsbCan.Connected);
    SetMessageDlgHook(nullptr);
    UsbCan.FreeDll();
}
