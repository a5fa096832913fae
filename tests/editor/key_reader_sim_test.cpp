// The reader button without the desktop reader and the page menu's factory reset, offscreen, through
// the real adapter library against the simulated demo line.
#include <gtest/gtest.h>

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_dll.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"
#include "tests/support/catalogue_model.h"

namespace {

// Real events and real pauses (the line's frames need them on a loaded machine), and the test's own
// step run at the first pause of a wait.
class SimPump : public LinkPump {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(unsigned ms) override
    {
        ++pauses;
        if (ms >= 1000 && onPause) {
            auto step = std::move(onPause);
            onPause = nullptr;
            step();
        }
        QThread::msleep(ms);
    }
    void Status(const QString &, int) override {}
    std::function<void()> onPause;
    int pauses = 0;
};

class KeyReaderOverSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start({QStringLiteral("--log")})) << "the simulator did not start";
        ASSERT_TRUE(UseSimulatedLine(sim));
        ASSERT_EQ(KeyDllHandle, nullptr);
        SetLinkPump(&pump);
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons) {
            messages << text;
            return int(kind == mtConfirmation ? mrYes : mrOk);
        });
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(dir.path()), ConfigForm->tvConfig));
        device = CatalogueModel(QStringLiteral("Тиврон-А"));
        ASSERT_TRUE(device);
        device->device()->device_addr = 3; // as on the demo line
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, nullptr, false);
    }
    void TearDown() override
    {
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetMessageDlgHook(nullptr);
        SetLinkPump(nullptr);
        UsbCan.Disconnect();
        UsbCan.FreeDll();
        UsbCan.RxPackets.clear();
    }

    // Whether the device at 3 answers a request for all its keys.
    bool HoldsKeys()
    {
        UsbCan.RxPackets.clear();
        EXPECT_EQ(UsbCan.SendPacket(QStringLiteral("85FF0203FFFF000000000000")), 0);
        PacketPattern keyAnswer;
        keyAnswer.fill(-1);
        keyAnswer[0] = 0x10;
        keyAnswer[2] = 0x02;
        keyAnswer[3] = 0x03;
        return WaitForPacket(keyAnswer, 2000) > 0;
    }

    SimProcess sim;
    SimPump pump;
    QTemporaryDir dir;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    CTreeNode *device = nullptr;
    QStringList messages;
};

} // namespace

TEST_F(KeyReaderOverSim, ReaderButtonTakesTheKeyCodePacketOfTheLine)
{
    QString n;
    int i = 0;
    for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i)
        if (t->table() && t->table()->type == QStringLiteral("key"))
            n = QString::number(form->PageIds[i]);
    ASSERT_FALSE(n.isEmpty());
    auto *tree = FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + n, form->PageControl, 3);
    ASSERT_TRUE(tree);
    FindComponent<QToolButton>(QStringLiteral("btnKeyAdd") + n, form->PageControl, 3)->click();
    tree->selectNode(tree->items().topNode(0));

    // A key laid on the reader of some device while the button waits: another packet first. The
    // pause lasts until both have reached the adapter, as the button's next drain would take them: on
    // a loaded machine they may come later than its five seconds.
    pump.onPause = [this] {
        // The button has only just connected, and the bus hands a frame only to the adapters it has
        // seen join: until the line has answered us, what it sends on its own may pass us by.
        ASSERT_TRUE(DrainLineUpToNow());
        EXPECT_TRUE(sim.Control(QStringLiteral("send 10020203AABBCCDDEEFF0011")).startsWith(QStringLiteral("ok")));
        EXPECT_TRUE(sim.Control(QStringLiteral("send 46010A1FEE0C0B0A090807DD")).startsWith(QStringLiteral("ok")));
        QDeadlineTimer deadline(kSimWaitMs);
        const auto keyCode = [] {
            return std::any_of(UsbCan.RxPackets.begin(), UsbCan.RxPackets.end(),
                               [](const CanPacket &r) { return r[0] == 0x46; });
        };
        while (!keyCode() && !deadline.hasExpired()) {
            UsbCan.ReceivePackets(UsbCan.RxPackets);
            QThread::msleep(5);
        }
        EXPECT_TRUE(keyCode()) << "the key-code packet did not reach the adapter";
    };
    FindComponent<QToolButton>(QStringLiteral("btnKeyNumber") + n, form->PageControl, 4)->click();
    EXPECT_EQ(FindComponent<CLineEdit>(QStringLiteral("editKeyNumber") + n, form->PageControl, 4)->Text(),
              "0708090A0B0C");
    EXPECT_EQ(tree->items().topNode(0)->key()->key_code, "0708090A0B0C");
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_TRUE(UsbCan.RxPackets.empty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(KeyReaderOverSim, FactoryResetClearsTheDevicesKeys)
{
    ASSERT_EQ(UsbCan.Connect(), 0);
    ASSERT_TRUE(HoldsKeys()); // the demo device holds stored keys
    form->PopupMenu1Popup();
    ASSERT_TRUE(form->DefaultSettings_Tivron_A->isEnabled());
    form->DefaultSettings_Tivron_A->trigger();
    EXPECT_EQ(messages, (QStringList{"Вы уверены, что хотите восстановить заводские параметры прибора",
                                     "Команда 'Установка заводских параметров (Тиврон-А)' выполнена."}));
    EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx 00FF0200020000FF00000000"), kSimWaitMs));
    // The first request's later key answers may still be on their way.
    ASSERT_TRUE(DrainLineUpToNow());
    EXPECT_FALSE(HoldsKeys()); // the catalogue's defaults hold none
}
