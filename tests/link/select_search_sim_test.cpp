// The selection dialog's search, offscreen, through the real adapter library against the simulated
// demo line: every device is listed, both sorts work, and "Выбрать" writes the address back.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/settings.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

QStringList ListTexts(TSelectDeviceForm &form)
{
    QStringList out;
    for (CTreeNode *n = form.tvDevice->items().firstNode(); n; n = n->nextSibling())
        out << n->text;
    return out;
}

} // namespace

TEST(SelectDeviceSearchOverSim, ListsSortsAndChoosesTheDemoLine)
{
    SimProcess sim;
    ASSERT_TRUE(sim.Start()) << "the simulator did not start";
    ASSERT_TRUE(UseSimulatedLine(sim));
    SetLinkPump(nullptr);
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    Usb_TimerSleep = 1;
    ASSERT_EQ(UsbCan.Connect(), 0);

    QTemporaryDir dir;
    const QString file = CopySampleCatalogue(dir);
    ASSERT_FALSE(file.isEmpty());
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(file, catalogue));

    {
        TSelectDeviceForm form(nullptr, true, catalogue, file);
        ASSERT_TRUE(form.TimerFindCanDevices.Running());
        form.show();
        // The timer ticks once a second; answers may come in over more than one tick.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.tvDevice->items().count() >= 4; }, kSimWaitMs));
        QTest::qWait(50);

        form.RadioButtons->button(0)->click();
        EXPECT_EQ(ListTexts(form).mid(2), (QStringList{QStringLiteral("Тиврон-А <3>"), QStringLiteral("Тиврон-АСПТ <12>")}));
        QStringList both = ListTexts(form).mid(0, 2);
        both.sort();
        EXPECT_EQ(both, (QStringList{QStringLiteral("Тиврон-2 <5>"), QStringLiteral("Тиврон-2 <7>")}));

        form.RadioButtons->button(1)->click();
        EXPECT_EQ(ListTexts(form), (QStringList{QStringLiteral("Тиврон-А <3>"), QStringLiteral("Тиврон-2 <5>"),
                                                QStringLiteral("Тиврон-2 <7>"), QStringLiteral("Тиврон-АСПТ <12>")}));
        EXPECT_TRUE(form.StatusText().startsWith(QStringLiteral("Получено пакетов №")));
        EXPECT_GE(form.SearchPacketTotal, 4);

        form.SelectListNode(form.tvDevice->items().topNode(2)); // Тиврон-2 <7>
        QTest::mouseClick(form.btnSelect, Qt::LeftButton);
        EXPECT_EQ(form.result(), mrOk);
        EXPECT_EQ(form.Choice().Address, 7);
        ASSERT_TRUE(form.Choice().Model);
        EXPECT_EQ(form.Choice().Model->text, QStringLiteral("Тиврон-2"));
    }

    CTree stored;
    ASSERT_TRUE(ReadXmlToTree(file, stored));
    EXPECT_EQ(stored.topNode(0)->device()->device_addr, 3);  // Тиврон-А
    EXPECT_EQ(stored.topNode(1)->device()->device_addr, 12); // Тиврон-АСПТ
    EXPECT_EQ(stored.topNode(2)->device()->device_addr, 3);  // Тиврон-АСПТ-А: not on the line
    EXPECT_EQ(stored.topNode(3)->device()->device_addr, 7);  // Тиврон-2: the one chosen

    EXPECT_TRUE(UsbCan.Connected); // the dialog never disconnects
    UsbCan.Disconnect();
    UsbCan.FreeDll();
    qunsetenv("TIVRON_CANBUS");
}
