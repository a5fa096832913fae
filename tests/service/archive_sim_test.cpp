// Both archive windows read through the real adapter library from the simulated line, with their
// own timers, as the engineer sees it.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/controls.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

class ArchiveOverSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new SimProcess;
        ASSERT_TRUE(sim->Start({QStringLiteral("--log")}, SourcePath(QStringLiteral("tests/service/fixtures/archive-line.xml"))))
            << "the simulator did not start";
        ASSERT_TRUE(UseSimulatedLine(*sim));
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        ASSERT_EQ(UsbCan.Connect(), 0);
    }
    static void TearDownTestSuite()
    {
        UsbCan.Disconnect();
        UsbCan.FreeDll();
        delete sim;
        sim = nullptr;
        qunsetenv("TIVRON_CANBUS");
    }
    void SetUp() override
    {
        ASSERT_TRUE(UsbCan.Connected);
        SetLinkPump(nullptr);
        UsbCan.RxPackets.clear();
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
    }
    void TearDown() override { SetMessageDlgHook(nullptr); }

    static QString Cell(QTableView *grid, int row, int column)
    {
        return grid->model()->data(grid->model()->index(row, column)).toString();
    }

    static SimProcess *sim;
    QStringList messages;
};
SimProcess *ArchiveOverSimTest::sim = nullptr;

} // namespace

TEST_F(ArchiveOverSimTest, FirstLayout)
{
    TArchiveASPTForm form;
    form.AddressHex = QStringLiteral("01");
    form.show();
    form.CSpinEdit_LogEnd->SetValue(2);
    form.CSpinEdit_Pause->SetValue(1);
    form.SpeedButton_Load->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.SpeedButton_Load->isChecked(); }, kSimWaitMs));
    EXPECT_EQ(form.Edit_TotalLog->text(), QStringLiteral("2"));
    const char *rows[2][6] = {{"1", "-2", "3", "25:01:01", "logger_event_sl_BREAKAGE", "ШС №1"},
                              {"2", "12", "4", "00:00:59", "logger_event_pw_MAIN_FAILURE", "монитор питания"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(Cell(form.StringGrid1, r, c), QString::fromUtf8(rows[r][c])) << r << " " << c;
    EXPECT_TRUE(sim->WaitForLine(QStringLiteral("rx EEFF0101000100000000000"), kSimWaitMs));
    EXPECT_TRUE(messages.isEmpty());
    form.close();
}

TEST_F(ArchiveOverSimTest, SecondLayout)
{
    TArchiveASPT_AForm form;
    form.AddressHex = QStringLiteral("02");
    form.show();
    form.CSpinEdit_LogCount->SetValue(2);
    form.CSpinEdit_Pause->SetValue(1);
    form.SpeedButton_Load->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.SpeedButton_Load->isChecked(); }, kSimWaitMs));
    const char *rows[2][8] = {{"1", "Старт прибора", "", "", "Плата", "", "01.02.23", "09:05:00"},
                              {"2", "Неисправность(Отказ)", "4", "2", "Вход ", "0", "31.12.99", "23:59:59"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(Cell(form.StringGrid1, r, c), QString::fromUtf8(rows[r][c])) << r << " " << c;
    EXPECT_EQ(form.Reader().TotalLog, QStringLiteral("259"));
    EXPECT_TRUE(sim->WaitForLine(QStringLiteral("rx EEFF0201010000000000000"), kSimWaitMs));
    EXPECT_TRUE(messages.isEmpty());
    form.close();
}
