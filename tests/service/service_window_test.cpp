// The service window offscreen over the fake link: opening and closing, the search, the model
// rules of a clicked device with its version, and the command buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "editor/factory_reset.h"
#include "link/device_search.h"
#include "link/select_device_form.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "service/chenge_addres_device.h"
#include "tests/service/service_fixture.h"
#include "tests/support/focus_check.h"
#include "tests/support/test_paths.h"

namespace {

class FakeTimerBackend : public ITimerBackend {
public:
    void Start(int) override {}
    void Stop() override {}
};

CanPacket Answer(int address, int typeId) { return Frame(0x20, 0xFF, uint8_t(address - 1), 0, {uint8_t(typeId)}); }

// Answers the version query of the devices at the given addresses with 3.0.11.
std::function<std::vector<CanPacket>(const QString &)> VersionOf(std::vector<int> addresses, uint8_t build = 11)
{
    return [addresses, build](const QString &text) -> std::vector<CanPacket> {
        for (int a : addresses)
            if (text.startsWith(QStringLiteral("EFFF%1").arg(a - 1, 2, 16, QLatin1Char('0')).toUpper()))
                return {Frame(0x47, 0xFF, uint8_t(a - 1), 0, {0, 3, 0, build})};
        return {};
    };
}

class ServiceWindow : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        catalogueFile = CopySampleCatalogue(dir);
        ASSERT_FALSE(catalogueFile.isEmpty());
        TServiceHooks hooks;
        hooks.Clock = [] { return QDateTime(QDate(2017, 3, 2), QTime(14, 5, 9)); };
        hooks.TimerBackend = std::make_unique<FakeTimerBackend>();
        hooks.Beep = [this] { ++beeps; };
        hooks.ShowArchive = [this](ArchiveKind kind, QWidget *, int address) { archives.push_back({kind, address}); };
        form = std::make_unique<TChengeAddresDeviceForm>(nullptr, catalogue, catalogueFile, std::move(hooks));
    }
    void TearDown() override
    {
        form.reset();
        ServiceTest::TearDown();
    }

    // Opens connected and lists the devices that answer at one tick.
    void OpenWith(std::vector<CanPacket> answers)
    {
        UsbCan.Connected = true;
        form->FormShow();
        for (const CanPacket &p : answers)
            g_fake.rx.push_back(p);
        form->TimerFindCanDevices.Tick();
        g_fake.sent.clear();
    }
    void Click(const QString &text)
    {
        CTreeNode *node = TopNodeWithText(form->tvDevice->items(), text);
        ASSERT_TRUE(node) << text.toStdString();
        form->SelectNode(node);
        form->tvDeviceClick();
    }
    QStringList ListTexts() const
    {
        QStringList out;
        for (CTreeNode *n = form->tvDevice->items().firstNode(); n; n = n->nextSibling())
            out << n->text;
        return out;
    }

    QTemporaryDir dir;
    QString catalogueFile;
    CTree catalogue;
    std::unique_ptr<TChengeAddresDeviceForm> form;
    int beeps = 0;
    std::vector<std::pair<ArchiveKind, int>> archives;
};

} // namespace

TEST_F(ServiceWindow, OpenedWhileConnectedLeavesTheConnection)
{
    UsbCan.Connected = true;
    form = std::make_unique<TChengeAddresDeviceForm>(nullptr, catalogue, catalogueFile,
                                                     TServiceHooks{[] { return QDateTime(QDate(2017, 3, 2), QTime(14, 5, 9)); },
                                                                   std::make_unique<FakeTimerBackend>(), {}, {}});
    form->FormShow();
    EXPECT_EQ(pump.statuses, (std::vector<Status>{{SearchingText, 0}}));
    EXPECT_EQ(Sent(), QStringList{"FFFFFF00111403020E050904"});
    EXPECT_TRUE(form->TimerFindCanDevices.Enabled());
    EXPECT_GT(catalogue.count(), 0); // loaded for the search
    form->done(0);
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_EQ(g_fake.disconnects, 0);
}

TEST_F(ServiceWindow, OpenedDisconnectedConnectsAndDisconnectsOnClose)
{
    form->FormShow();
    EXPECT_EQ(pump.statuses, (std::vector<Status>{{ConnectingText, 1}, {ConnectedText, 0}, {SearchingText, 0}}));
    form->done(0);
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(g_fake.disconnects, 1);
}

TEST_F(ServiceWindow, FailedConnectionSearchesNothing)
{
    g_fake.connectCode = 3;
    form->FormShow();
    EXPECT_EQ(pump.statuses.back(), (Status{ConnectFailedText + "3", 2}));
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_EQ(catalogue.count(), 0);

    // The broadcast that cannot go out leaves the timer off.
    g_fake.txCodes = {1};
    form->SpeedButton1Click();
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_TRUE(ListTexts().isEmpty());
}

TEST_F(ServiceWindow, TicksListTheDevicesAndCountThem)
{
    OpenWith({Answer(3, 14), Answer(5, 2), Frame(0x10, 0, 0, 0), Answer(7, 2), Answer(5, 2),
              Answer(9, 99)});
    EXPECT_EQ(ListTexts(), (QStringList{"Тиврон-А <3>", "Тиврон-2 <5>", "Тиврон-2 <7>"}));
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Всего приборов - 3"));
    EXPECT_EQ(form->StatusPanel1->text(), QStringLiteral("Получено пакетов №6"));
    EXPECT_TRUE(UsbCan.RxPackets.empty());

    form->SpeedButton1->click();
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Всего приборов - 0"));
    EXPECT_TRUE(ListTexts().isEmpty());
    EXPECT_EQ(Sent(), QStringList{"FFFFFF00111403020E050904"});
    g_fake.rx.push_back(Answer(12, 10));
    form->TimerFindCanDevices.Tick();
    EXPECT_EQ(ListTexts(), QStringList{"Тиврон-АСПТ <12>"});
    EXPECT_EQ(form->StatusPanel1->text(), QStringLiteral("Получено пакетов №7"));

    form->RadioButtons->button(1)->click();
    EXPECT_EQ(form->SortOrder, 1);
}

TEST_F(ServiceWindow, ModelRulesOfTheClickedDevice)
{
    OpenWith({Answer(3, 14), Answer(4, 11), Answer(12, 10), Answer(5, 2)});
    g_responder = VersionOf({3, 4});

    Click("Тиврон-А <3>");
    EXPECT_EQ(Sent(), QStringList{"EFFF02000000000000000000"});
    EXPECT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
    EXPECT_TRUE(form->GroupBox_AddrDet->isEnabled() && form->cbAutoIncAddrMod->isEnabled());
    EXPECT_TRUE(form->btnRestart->isEnabled() && form->btnDefSettings->isEnabled());
    EXPECT_FALSE(form->btnArchive->isEnabled());
    EXPECT_EQ(form->CSpinEdit_NewAddrDev->value(), 3);
    EXPECT_EQ(form->CSpinEdit_OldAddrMod->value(), 40);

    Click("Тиврон-АСПТ-А <4>");
    EXPECT_EQ(form->GroupBox_AddrDet->title(), QStringLiteral("Смена адреса извещателя (Тиврон-АСПТ-А)"));
    EXPECT_EQ(form->GroupBox_AddrMod->title(), QStringLiteral("Смена адреса модуля (Тиврон-АСПТ-А)"));
    for (CAddressSpinEdit *e : {form->CSpinEdit_OldAddrDet, form->CSpinEdit_NewAddrDet, form->CSpinEdit_OldAddrMod,
                                form->CSpinEdit_NewAddrMod}) {
        EXPECT_EQ(e->value(), 30);
        EXPECT_EQ(e->maximum(), 30);
    }
    EXPECT_TRUE(form->btnArchive->isEnabled());

    // No answer: the version members keep what the last answer gave.
    Click("Тиврон-АСПТ <12>");
    EXPECT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-АСПТ   версия неопределена"));
    EXPECT_EQ(form->FirmwareBuild, 11);
    EXPECT_FALSE(form->GroupBox_AddrDet->isEnabled() || form->sbSaveAddrMod->isEnabled());
    EXPECT_EQ(form->GroupBox_AddrDet->title(), QStringLiteral("Смена адреса извещателя (Тиврон-АСПТ-А)"));
    EXPECT_EQ(form->CSpinEdit_NewAddrDet->maximum(), 30);
    EXPECT_TRUE(form->btnArchive->isEnabled());

    Click("Тиврон-2 <5>");
    EXPECT_TRUE(form->GroupBox_AddrDev->isEnabled() && form->btnSaveAddrDev->isEnabled());
    EXPECT_TRUE(form->GroupBox_SpecCommand->isEnabled());
    EXPECT_FALSE(form->btnArchive->isEnabled() || form->GroupBox_AddrMod->isEnabled());

    // A click with nothing selected disables everything again.
    form->tvDevice->selectionModel()->clearSelection();
    form->tvDeviceClick();
    EXPECT_TRUE(form->Label_ver->text().isEmpty());
    EXPECT_FALSE(form->GroupBox_AddrDev->isEnabled() || form->btnRestart->isEnabled());
}

TEST_F(ServiceWindow, ASearchTickDuringTheVersionWaitLeavesTheAnswer)
{
    OpenWith({Answer(3, 14)});
    g_responder = VersionOf({3});
    pump.onEvents = [this](int) { form->TimerFindCanDevices.Tick(); };
    Click("Тиврон-А <3>");
    EXPECT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
}

TEST_F(ServiceWindow, AutoIncrementBoxes)
{
    OpenWith({Answer(3, 14), Answer(4, 11)});
    // Before any version answer a Тиврон-А cannot be programmed by auto-increment.
    Click("Тиврон-А <3>");
    form->cbAutoIncAddrDet->click();
    EXPECT_EQ(messages.back(), (Message{FirmwareTooOldText, mtInformation}));
    EXPECT_FALSE(form->cbAutoIncAddrDet->isChecked());
    EXPECT_EQ(form->StaticText_OldAddrDet->text(), QStringLiteral("Старый"));

    g_responder = VersionOf({3}, 10);
    Click("Тиврон-А <3>");
    form->cbAutoIncAddrDet->click();
    EXPECT_FALSE(form->cbAutoIncAddrDet->isChecked());

    g_responder = VersionOf({3});
    Click("Тиврон-А <3>");
    messages.clear();
    form->cbAutoIncAddrDet->click();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->cbAutoIncAddrDet->isChecked());
    EXPECT_EQ(form->StaticText_OldAddrDet->text(), QStringLiteral("Начальный"));
    EXPECT_EQ(form->StaticText_NewAddrDet->text(), QStringLiteral("Конечный"));

    form->sbSaveAddrDet->setChecked(true);
    form->cbAutoIncAddrMod->click();
    EXPECT_FALSE(form->cbAutoIncAddrDet->isChecked());
    EXPECT_FALSE(form->sbSaveAddrDet->isChecked());
    EXPECT_EQ(form->StaticText_OldAddrDet->text(), QStringLiteral("Старый"));
    EXPECT_EQ(form->StaticText_NewAddrDet->text(), QStringLiteral("Новый"));
    EXPECT_TRUE(form->cbAutoIncAddrMod->isChecked());
    EXPECT_EQ(form->StaticText_OldAddrMod->text(), QStringLiteral("Начальный"));

    form->cbAutoIncAddrMod->click();
    EXPECT_EQ(form->StaticText_NewAddrMod->text(), QStringLiteral("Новый"));
}

TEST_F(ServiceWindow, AutoIncrementFromTheWindowAndItsEnd)
{
    OpenWith({Answer(5, 11)});
    Click("Тиврон-АСПТ-А <5>"); // no firmware test for this model
    form->cbAutoIncAddrMod->click();
    form->CSpinEdit_OldAddrMod->setValue(1);
    form->CSpinEdit_NewAddrMod->setValue(3);
    g_fake.sent.clear();
    g_responder = [](const QString &text) -> std::vector<CanPacket> {
        if (!text.startsWith(QLatin1String("00FF0403")))
            return {};
        return {Frame(0x20, 0xFF, 4, 3, {uint8_t(text.mid(8, 2).toInt(nullptr, 16))})};
    };
    bool pausedInCountdown = true;
    pump.onEvents = [&](int) {
        if (form->StatusPanel1->text().contains(QLatin1String(" через ")))
            pausedInCountdown = pausedInCountdown && !form->TimerFindCanDevices.Enabled();
    };
    form->sbSaveAddrMod->click();
    EXPECT_EQ(Sent(), (QStringList{"00FF04038000000000000000", "00FF04038100000000000000", "00FF04038200000000000000"}));
    EXPECT_TRUE(pausedInCountdown);
    EXPECT_TRUE(form->TimerFindCanDevices.Enabled());
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(form->CSpinEdit_OldAddrMod->value(), 4);
    EXPECT_TRUE(form->CSpinEdit_OldAddrMod->isEnabled());
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());

    // "Закрыть" during the countdown ends the run before its packet.
    g_fake.sent.clear();
    form->CSpinEdit_OldAddrMod->setValue(1);
    pump.passes = 0;
    pump.onEvents = [&](int pass) {
        if (pass == 2)
            form->btnCloseClick();
    };
    form->sbSaveAddrMod->click();
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_EQ(pump.passes, 2);
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
}

TEST_F(ServiceWindow, DeviceAddressChange)
{
    OpenWith({Answer(128, 2), Answer(127, 14)});
    Click("Тиврон-2 <128>");
    g_fake.sent.clear();
    form->btnSaveAddrDev->click();
    EXPECT_EQ(messages.back(), (Message{BadAddressText, mtError}));
    EXPECT_TRUE(Sent().isEmpty());

    Click("Тиврон-А <127>");
    form->CSpinEdit_NewAddrDev->setValue(9);
    g_fake.sent.clear();
    g_fake.txCodes = {5};
    form->btnSaveAddrDev->click();
    EXPECT_EQ(messages.back(), (Message{AddressMaybeNotWrittenText + "5]", mtError}));
    EXPECT_EQ(Sent(), QStringList{"00FF7E000800000000000000"});
    EXPECT_EQ(ListTexts().size(), 2);

    g_fake.sent.clear();
    messages.clear();
    form->btnSaveAddrDev->click();
    EXPECT_EQ(Sent(), (QStringList{"00FF7E000800000000000000", "02FF08000000000000000000", "FFFFFF00111403020E050904"}));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(ListTexts().isEmpty()); // a new search
}

TEST_F(ServiceWindow, CommandsNeedASelectedDeviceAndTheConnection)
{
    OpenWith({Answer(5, 14)});
    form->sbSaveAddrDet->setChecked(true);
    form->sbSaveAddrDetClick();
    EXPECT_EQ(messages.back(), (Message{NoDeviceSelectedText, mtInformation}));
    EXPECT_FALSE(form->sbSaveAddrDet->isChecked());
    form->btnArchiveClick();
    EXPECT_EQ(messages.back(), (Message{NoDeviceSelectedText, mtInformation}));

    // A node at address 0 has no wire address: the detector handler spells its text its own way.
    form->tvDevice->items().addChild(nullptr, QStringLiteral("Тиврон-А <0>"));
    Click("Тиврон-А <0>");
    form->sbSaveAddrDetClick();
    EXPECT_EQ(messages.back(), (Message{BadDetectorAddressText, mtError}));
    form->sbSaveAddrModClick();
    EXPECT_EQ(messages.back(), (Message{BadAddressText, mtError}));

    Click("Тиврон-А <5>");
    messages.clear();
    g_fake.sent.clear();
    UsbCan.Connected = false;
    form->btnRestartClick();
    form->btnSaveAddrDevClick();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(Sent().isEmpty());
}

TEST_F(ServiceWindow, DetectorWriteAndSpecialCommands)
{
    OpenWith({Answer(5, 14), Answer(6, 2)});
    Click("Тиврон-А <5>");
    form->CSpinEdit_OldAddrDet->setValue(1);
    form->CSpinEdit_NewAddrDet->setValue(7);
    g_fake.sent.clear();
    g_responder = [](const QString &text) -> std::vector<CanPacket> {
        return text.startsWith(QLatin1String("84FF")) ? std::vector<CanPacket>{Frame(0x20, 0x01, 4, 1, {6})}
                                                      : std::vector<CanPacket>{};
    };
    form->sbSaveAddrDet->click();
    EXPECT_EQ(Sent(), (QStringList{"00FF04010600000000000000", "84FF04010600000000000000"}));
    EXPECT_EQ(messages.back(), (Message{"Команда 'Записать' отправлена!", mtInformation}));
    EXPECT_FALSE(form->sbSaveAddrDet->isChecked());

    // The restart goes at once; the factory settings only after a Yes to the question.
    for (const int reply : {int(mrNo), int(mrCancel)}) {
        g_fake.sent.clear();
        messages.clear();
        answer = reply;
        form->btnDefSettings->click();
        EXPECT_TRUE(Sent().isEmpty());
        EXPECT_EQ(messages, (std::vector<Message>{{FactoryResetQuestionText, mtConfirmation}}));
    }
    g_fake.sent.clear();
    messages.clear();
    answer = mrYes;
    form->btnRestart->click();
    EXPECT_TRUE(messages.size() == 1 && messages[0].kind == mtInformation); // no question
    form->btnDefSettings->click();
    EXPECT_EQ(Sent(), (QStringList{"00FF04000400000100000000", "00FF0400040000FF00000000"}));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], (Message{FactoryResetQuestionText, mtConfirmation}));
    EXPECT_EQ(messages.back(), (Message{"Команда 'Установка заводских параметров' отправлена.", mtInformation}));

    Click("Тиврон-2 <6>");
    g_fake.sent.clear();
    g_fake.txCodes = {4};
    form->btnDefSettings->click();
    EXPECT_EQ(Sent(), QStringList{"87FF05000000000000000000"});
    EXPECT_EQ(messages.back(), (Message{"Ошибка №4, команда 'Установка заводских параметров' не отправлена.", mtError}));

    // Another device selected while the question is open: the Yes was for the first one.
    Click("Тиврон-А <5>");
    g_fake.sent.clear();
    g_fake.txCodes.clear();
    SetMessageDlgHook([this](const QString &, int kind, MsgButtons) {
        if (kind == mtConfirmation)
            Click("Тиврон-2 <6>");
        return int(mrYes);
    });
    form->btnDefSettings->click();
    EXPECT_FALSE(Sent().contains("00FF0400040000FF00000000")) << Sent().join(' ').toStdString();
    EXPECT_FALSE(Sent().contains("87FF05000000000000000000")) << Sent().join(' ').toStdString();
}

TEST_F(ServiceWindow, ArchiveOpensByModel)
{
    OpenWith({Answer(12, 10), Answer(4, 11), Answer(3, 14)});
    Click("Тиврон-АСПТ <12>");
    form->btnArchive->click();
    Click("Тиврон-АСПТ-А <4>");
    form->btnArchive->click();
    Click("Тиврон-А <3>");
    form->btnArchiveClick(); // disabled for this model; the handler still opens nothing
    EXPECT_EQ(archives, (std::vector<std::pair<ArchiveKind, int>>{{ArchiveKind::Aspt, 12}, {ArchiveKind::AsptA, 4}}));
}

TEST_F(ServiceWindow, ShownWindowReactsToAMouseClickOnTheList)
{
    UsbCan.Connected = true;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(Sent(), QStringList{"FFFFFF00111403020E050904"}); // the window's showing searched
    g_fake.rx.push_back(Answer(3, 14));
    form->TimerFindCanDevices.Tick();
    g_responder = VersionOf({3});
    const QModelIndex index = form->tvDevice->treeModel()->indexOf(form->tvDevice->items().firstNode());
    QTest::mouseClick(form->tvDevice->viewport(), Qt::LeftButton, {}, form->tvDevice->visualRect(index).center());
    EXPECT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
    EXPECT_TRUE(form->btnSaveAddrDev->isEnabled());
    // Constructed while disconnected: closing disconnects.
    form->btnClose->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_FALSE(UsbCan.Connected);
}

// Below the last device the list keeps its choice: nothing is asked, the controls stay, and a
// command goes to the highlighted device. Only a lost choice disables them.
TEST_F(ServiceWindow, AClickBelowTheDevicesKeepsTheChosenOne)
{
    UsbCan.Connected = true;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    g_fake.rx.push_back(Answer(3, 14));
    g_fake.rx.push_back(Answer(5, 2));
    form->TimerFindCanDevices.Tick();
    g_responder = VersionOf({3});
    QWidget *viewport = form->tvDevice->viewport();
    CTreeNode *chosen = TopNodeWithText(form->tvDevice->items(), QStringLiteral("Тиврон-А <3>"));
    ASSERT_TRUE(chosen);
    const QModelIndex index = form->tvDevice->treeModel()->indexOf(chosen);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, form->tvDevice->visualRect(index).center());
    ASSERT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
    form->CSpinEdit_NewAddrDev->setValue(20);

    QRect rows;
    for (CTreeNode *n = form->tvDevice->items().firstNode(); n; n = n->nextSibling())
        rows |= form->tvDevice->visualRect(form->tvDevice->treeModel()->indexOf(n));
    const QPoint below(rows.center().x(), (rows.bottom() + viewport->height()) / 2);
    ASSERT_FALSE(form->tvDevice->indexAt(below).isValid());
    const QPoint onTheOther = form->tvDevice->visualRect(form->tvDevice->treeModel()->indexOf(chosen->nextSibling())).center();
    g_fake.sent.clear();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, below);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, below);
    // A drag that starts below the devices chooses none of them either.
    QTest::mousePress(viewport, Qt::LeftButton, {}, below);
    QMouseEvent move(QEvent::MouseMove, onTheOther, viewport->mapToGlobal(onTheOther), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, onTheOther);

    EXPECT_TRUE(Sent().isEmpty()) << Sent().join(' ').toStdString();
    EXPECT_EQ(form->SelectedNode(), chosen);
    EXPECT_TRUE(form->tvDevice->selectionModel()->isSelected(index));
    EXPECT_EQ(form->Label_ver->text(), QStringLiteral("Тиврон-А   3.0.11"));
    EXPECT_EQ(form->CSpinEdit_NewAddrDev->Value(), 20);
    EXPECT_TRUE(form->btnRestart->isEnabled() && form->GroupBox_AddrDet->isEnabled());
    form->btnRestart->click();
    EXPECT_EQ(Sent(), QStringList{"00FF02000200000100000000"});
    EXPECT_EQ(messages, (std::vector<Message>{{"Команда 'Перезапуск прибора' отправлена.", mtInformation}}));

    // The list sorted keeps the choice and its controls.
    form->RadioButtons->button(1)->click();
    EXPECT_EQ(form->SelectedNode()->text, QStringLiteral("Тиврон-А <3>"));
    EXPECT_TRUE(form->btnRestart->isEnabled());

    // Ctrl+Space takes the choice away without a click: every control that needs a device goes.
    form->tvDevice->setFocus();
    QTest::keyClick(form->tvDevice, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_EQ(form->SelectedNode(), nullptr);
    for (QWidget *w : std::initializer_list<QWidget *>{form->GroupBox_AddrDev, form->btnSaveAddrDev,
                                                       form->GroupBox_AddrDet, form->sbSaveAddrDet,
                                                       form->GroupBox_AddrMod, form->GroupBox_SpecCommand,
                                                       form->btnRestart, form->btnArchive, form->btnDefSettings})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
}

// The address boxes select their whole value when the focus comes to them by code: typing replaces it.
TEST_F(ServiceWindow, AddressBoxesSelectTheirValueWhenFocusedByCode)
{
    UsbCan.Connected = true;
    form->show(); // its showing searches the line anew
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    g_fake.rx.push_back(Answer(5, 11));
    form->TimerFindCanDevices.Tick();
    Click("Тиврон-АСПТ-А <5>");
    const struct {
        CAddressSpinEdit *box;
        int value;
    } cases[] = {
        {form->CSpinEdit_NewAddrDev, 12}, {form->CSpinEdit_OldAddrDet, 7},  {form->CSpinEdit_NewAddrDet, 25},
        {form->CSpinEdit_OldAddrMod, 2},  {form->CSpinEdit_NewAddrMod, 9},
    };
    for (const auto &c : cases) {
        c.box->setValue(c.value);
        EXPECT_EQ(SelectedOnFocus(c.box), QString::number(c.value)) << c.box->objectName().toStdString();
    }
    SelectedOnFocus(form->CSpinEdit_NewAddrDev);
    QTest::keyClicks(form->CSpinEdit_NewAddrDev, "100");
    EXPECT_EQ(form->CSpinEdit_NewAddrDev->Value(), 100);
}
