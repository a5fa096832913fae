// The selection dialog over a fake adapter library: the search, the timer tick, selection, address
// edit, sorting and the buttons, without real time.
#include <gtest/gtest.h>

#include <QFile>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "link/packet_text.h"
#include "link/select_device_form.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"

namespace {

class FakeTimerBackend : public ITimerBackend {
public:
    explicit FakeTimerBackend(int *starts) : starts_(starts) {}
    void Start(int) override { ++*starts_; }
    void Stop() override {}

private:
    int *starts_;
};

// A search answer as the library delivers it.
CanPacket Answer(int wireAddress, int typeId)
{
    return Delivered(PacketIdentifier(0x20, 0xFF, uint8_t(wireAddress), 0), {uint8_t(typeId), 0, 0, 0, 0, 0, 0, 0});
}

QStringList ListTexts(TSelectDeviceForm &form)
{
    QStringList out;
    for (CTreeNode *n = form.tvDevice->items().firstNode(); n; n = n->nextSibling())
        out << n->text;
    return out;
}

class SelectDeviceFormTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        catalogueFile = CopySampleCatalogue(dir);
        ASSERT_FALSE(catalogueFile.isEmpty());
        ASSERT_TRUE(ReadXmlToTree(catalogueFile, catalogue));
        original = ReadCatalogueFile();
    }

    std::unique_ptr<TSelectDeviceForm> Make(bool search)
    {
        TSelectDeviceHooks hooks;
        hooks.Clock = [] { return QDateTime(QDate(2017, 3, 2), QTime(14, 5, 9)); };
        hooks.TimerBackend = std::make_unique<FakeTimerBackend>(&timerStarts);
        return std::make_unique<TSelectDeviceForm>(nullptr, search, catalogue, catalogueFile, std::move(hooks));
    }

    QByteArray ReadCatalogueFile() const
    {
        QFile f(catalogueFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int StoredAddress(const QString &model) const
    {
        CTree stored;
        EXPECT_TRUE(ReadXmlToTree(catalogueFile, stored));
        for (CTreeNode *n = stored.firstNode(); n; n = n->nextSibling())
            if (n->text == model)
                return n->device()->device_addr;
        return -1;
    }
    CTreeNode *Model(const QString &name) const
    {
        for (CTreeNode *n = catalogue.firstNode(); n; n = n->nextSibling())
            if (n->text == name)
                return n;
        return nullptr;
    }
    CTreeNode *ListNode(TSelectDeviceForm &form, const QString &text)
    {
        for (CTreeNode *n = form.tvDevice->items().firstNode(); n; n = n->nextSibling())
            if (n->text == text)
                return n;
        return nullptr;
    }

    QTemporaryDir dir;
    QString catalogueFile;
    QByteArray original;
    CTree catalogue;
    int timerStarts = 0;
};

} // namespace

TEST_F(SelectDeviceFormTest, OpensEmptyWithSelectDisabled)
{
    auto form = Make(false);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Выберите прибор"));
    EXPECT_EQ(form->RadioGroup1->title(), QStringLiteral("Сортировка приборов"));
    EXPECT_EQ(form->RadioButtons->button(0)->text(), QStringLiteral("по имени"));
    EXPECT_EQ(form->RadioButtons->button(1)->text(), QStringLiteral("по адресу "));
    EXPECT_EQ(form->RadioButtons->checkedId(), -1);
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Адрес прибора"));
    EXPECT_EQ(form->btnSelect->text(), QStringLiteral("Выбрать"));
    EXPECT_EQ(form->btnCancel->text(), QStringLiteral(" Отмена "));
    EXPECT_TRUE(form->btnSelect->isDefault());
    EXPECT_TRUE(form->LabelNameDev->text().isEmpty());
    EXPECT_FALSE(form->CSpinEdit_addrDev->isEnabled());
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 1);
    EXPECT_EQ(form->CSpinEdit_addrDev->minimum(), 1);
    EXPECT_EQ(form->CSpinEdit_addrDev->maximum(), 255);
    EXPECT_FALSE(form->btnSelect->isEnabled());
    EXPECT_EQ(form->TimerFindCanDevices.Interval(), 1000);
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_EQ(form->SearchPacketTotal, 0);

    // "Выбрать" or Enter with nothing selected does not close the dialog.
    form->show();
    form->btnSelectClick();
    QTest::keyClick(form.get(), Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->Choice().Model);
    EXPECT_EQ(ReadCatalogueFile(), original);
}

TEST_F(SelectDeviceFormTest, SearchBroadcastsOnlyWhenConnected)
{
    {
        auto form = Make(true);
        EXPECT_TRUE(g_fake.sent.empty());
        EXPECT_TRUE(pump.statuses.empty());
        EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
        EXPECT_EQ(timerStarts, 0);
    }

    UsbCan.Connected = true;
    UsbCan.RxPackets.push_back(CanPacket()); // stale: cleared before the broadcast
    {
        auto form = Make(true);
        ASSERT_EQ(g_fake.sent.size(), 1u);
        EXPECT_EQ(g_fake.sent[0].identifier, 0x1FFFFFE0u);
        EXPECT_EQ(g_fake.sent[0].data, (std::vector<uint8_t>{0x11, 0x14, 0x03, 0x02, 0x0E, 0x05, 0x09, 0x04}));
        EXPECT_EQ(pump.statuses, (std::vector<Status>{{QStringLiteral("Поиск приборов на CAN-линии..."), 1}}));
        EXPECT_TRUE(UsbCan.RxPackets.empty());
        EXPECT_TRUE(form->TimerFindCanDevices.Running());
        EXPECT_EQ(timerStarts, 1);
        EXPECT_TRUE(UsbCan.Connected);
    }

    // A broadcast the library refuses leaves the timer off.
    g_fake.txCodes = {7};
    timerStarts = 0;
    auto form = Make(true);
    EXPECT_EQ(g_fake.sent.size(), 2u);
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_EQ(timerStarts, 0);
}

TEST_F(SelectDeviceFormTest, TimerTickCollectsAnswers)
{
    UsbCan.Connected = true;
    auto form = Make(true);
    UsbCan.RxPackets.clear();
    g_fake.rx = {Answer(4, 2),                                  // Тиврон-2 at 5
                 Delivered(0x12345678, {1, 2, 3}),             // noise
                 Answer(4, 2),                                  // the same again
                 Answer(8, 99),                                 // a type id of no model
                 Answer(2, 14),                                 // Тиврон-А at 3
                 Answer(0xFF, 2)};                              // wire address FF: no address
    form->TimerFindCanDevices.Tick();

    EXPECT_EQ(ListTexts(*form), (QStringList{QStringLiteral("Тиврон-2 <5>"), QStringLiteral("Тиврон-А <3>")}));
    EXPECT_EQ(ListNode(*form, QStringLiteral("Тиврон-2 <5>"))->device(), Model(QStringLiteral("Тиврон-2"))->device());
    EXPECT_EQ(Model(QStringLiteral("Тиврон-2"))->device()->device_addr, 5);
    EXPECT_EQ(Model(QStringLiteral("Тиврон-А"))->device()->device_addr, 3);
    EXPECT_EQ(Model(QStringLiteral("Тиврон-АСПТ"))->device()->device_addr, 2); // untouched
    EXPECT_EQ(form->StatusText(), QStringLiteral("Получено пакетов №6"));
    EXPECT_EQ(form->SearchPacketTotal, 6);
    EXPECT_TRUE(UsbCan.RxPackets.empty());
    EXPECT_EQ(pump.sleeps, std::vector<unsigned>(15, 10u)); // 15 polls of Usb_TimerSleep
    EXPECT_EQ(pump.passes, 0);                               // the polls process no messages

    // A later tick: the same model at a second address, a repeated answer; the count goes on.
    g_fake.rx = {Answer(6, 2), Answer(2, 14)};
    form->TimerFindCanDevices.Tick();
    EXPECT_EQ(ListTexts(*form), (QStringList{QStringLiteral("Тиврон-2 <5>"), QStringLiteral("Тиврон-А <3>"),
                                             QStringLiteral("Тиврон-2 <7>")}));
    EXPECT_EQ(Model(QStringLiteral("Тиврон-2"))->device()->device_addr, 7);
    EXPECT_EQ(form->StatusText(), QStringLiteral("Получено пакетов №8"));
    EXPECT_EQ(form->SearchPacketTotal, 8);
    EXPECT_TRUE(UsbCan.RxPackets.empty());

    // Selecting the node at 5 puts 5 into the edit, and so back into the model.
    form->SelectListNode(ListNode(*form, QStringLiteral("Тиврон-2 <5>")));
    EXPECT_EQ(form->LabelNameDev->text(), QStringLiteral("Тиврон-2"));
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 5);
    EXPECT_TRUE(form->CSpinEdit_addrDev->isEnabled());
    EXPECT_TRUE(form->btnSelect->isEnabled());
    EXPECT_EQ(Model(QStringLiteral("Тиврон-2"))->device()->device_addr, 5);

    // "Выбрать": timer off, the addresses written, mrOk.
    form->show();
    QTest::mouseClick(form->btnSelect, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), mrOk);
    EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    EXPECT_EQ(StoredAddress(QStringLiteral("Тиврон-2")), 5);
    EXPECT_EQ(StoredAddress(QStringLiteral("Тиврон-А")), 3);
    const TDeviceChoice choice = form->Choice();
    EXPECT_EQ(choice.Model.get(), Model(QStringLiteral("Тиврон-2")));
    EXPECT_EQ(choice.Address, 5);
}

TEST_F(SelectDeviceFormTest, AddressEditRenamesTheNode)
{
    auto form = Make(false);
    form->AddCatalogueModels();
    EXPECT_EQ(ListTexts(*form), (QStringList{QStringLiteral("Тиврон-А <1>"), QStringLiteral("Тиврон-АСПТ <2>"),
                                             QStringLiteral("Тиврон-АСПТ-А <3>"), QStringLiteral("Тиврон-2 <4>")}));
    CTreeNode *node = ListNode(*form, QStringLiteral("Тиврон-АСПТ <2>"));
    form->SelectListNode(node);
    CDevice *aspt = Model(QStringLiteral("Тиврон-АСПТ"))->device();

    const struct {
        const char *typed;
        const char *text;
        int address;
    } cases[] = {
        {"9", "Тиврон-АСПТ <9>", 9},
        {"255", "Тиврон-АСПТ <255>", 255},
        {"300", "Тиврон-АСПТ <255>", 255}, // beyond the range while typing: clamped
        {"", "Тиврон-АСПТ <255>", 255},    // an empty edit changes nothing
        {"0", "Тиврон-АСПТ <1>", 1},       // no address 0
        {"12", "Тиврон-АСПТ <12>", 12},
    };
    for (const auto &c : cases) {
        form->CSpinEdit_addrDev->SetText(QString::fromLatin1(c.typed));
        EXPECT_EQ(node->text, QString::fromUtf8(c.text)) << c.typed;
        EXPECT_EQ(aspt->device_addr, c.address) << c.typed;
    }
    EXPECT_EQ(form->Choice().Address, 12);
    EXPECT_EQ(form->Choice().Model.get(), Model(QStringLiteral("Тиврон-АСПТ")));

    // Leaving the edit clamps what was typed, as the old spin edit did.
    form->CSpinEdit_addrDev->SetText(QStringLiteral("400"));
    form->CSpinEdit_addrDev->interpretText();
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 255);
    EXPECT_EQ(node->text, QStringLiteral("Тиврон-АСПТ <255>"));

    // A node whose model the catalogue no longer names leaves the label and edit, and cannot be chosen.
    form->SelectListNode(ListNode(*form, QStringLiteral("Тиврон-А <1>")));
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 1);
    Model(QStringLiteral("Тиврон-2"))->text = QStringLiteral("Другой");
    form->SelectListNode(ListNode(*form, QStringLiteral("Тиврон-2 <4>")));
    EXPECT_EQ(form->LabelNameDev->text(), QStringLiteral("Тиврон-А"));
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 1);
    EXPECT_FALSE(form->btnSelect->isEnabled());
    EXPECT_FALSE(form->Choice().Model);
}

TEST_F(SelectDeviceFormTest, AModelAtAddressZeroIsShownChosenAndWrittenAtOne)
{
    CDevice *model = Model(QStringLiteral("Тиврон-АСПТ"))->device();
    for (const int editShows : {1, 7}) { // the clamp changes the edit's text, or it does not
        SCOPED_TRACE(editShows);
        model->device_addr = 0;
        auto form = Make(false);
        form->AddCatalogueModels();
        CTreeNode *node = ListNode(*form, QStringLiteral("Тиврон-АСПТ <0>"));
        ASSERT_TRUE(node);
        form->CSpinEdit_addrDev->setValue(editShows);
        form->SelectListNode(node);
        EXPECT_EQ(form->CSpinEdit_addrDev->value(), 1);
        EXPECT_EQ(node->text, QStringLiteral("Тиврон-АСПТ <1>"));
        EXPECT_EQ(model->device_addr, 1);
        form->show();
        QTest::mouseClick(form->btnSelect, Qt::LeftButton);
        EXPECT_EQ(form->result(), mrOk);
        EXPECT_EQ(form->Choice().Address, 1);
        EXPECT_EQ(StoredAddress(QStringLiteral("Тиврон-АСПТ")), 1);
    }
}

TEST_F(SelectDeviceFormTest, SortsByNameAndByAddress)
{
    auto form = Make(false);
    form->AddDevice(Model(QStringLiteral("Тиврон-АСПТ")), 12);
    form->AddDevice(Model(QStringLiteral("Тиврон-2")), 7);
    form->AddDevice(Model(QStringLiteral("Тиврон-А")), 3);
    form->AddDevice(Model(QStringLiteral("Тиврон-2")), 5);
    EXPECT_EQ(form->AddDevice(Model(QStringLiteral("Тиврон-2")), 5), ListNode(*form, QStringLiteral("Тиврон-2 <5>")));
    form->SelectListNode(ListNode(*form, QStringLiteral("Тиврон-А <3>")));

    form->RadioButtons->button(0)->click();
    EXPECT_EQ(form->SortOrder, 0);
    // Тиврон-2 (number 2) first, then the names without a number, the shorter first.
    EXPECT_EQ(ListTexts(*form), (QStringList{QStringLiteral("Тиврон-2 <7>"), QStringLiteral("Тиврон-2 <5>"),
                                             QStringLiteral("Тиврон-А <3>"), QStringLiteral("Тиврон-АСПТ <12>")}));
    ASSERT_TRUE(form->SelectedListNode());
    EXPECT_EQ(form->SelectedListNode()->text, QStringLiteral("Тиврон-А <3>")); // the selection stays

    form->RadioButtons->button(1)->click();
    EXPECT_EQ(ListTexts(*form), (QStringList{QStringLiteral("Тиврон-А <3>"), QStringLiteral("Тиврон-2 <5>"),
                                             QStringLiteral("Тиврон-2 <7>"), QStringLiteral("Тиврон-АСПТ <12>")}));
    EXPECT_EQ(form->SelectedListNode()->text, QStringLiteral("Тиврон-А <3>"));
    EXPECT_EQ(form->CSpinEdit_addrDev->value(), 3);
    EXPECT_EQ(form->SelectedListNode()->device(), Model(QStringLiteral("Тиврон-А"))->device());
}

TEST_F(SelectDeviceFormTest, CancelCloseAndDoubleClick)
{
    UsbCan.Connected = true;
    {
        auto form = Make(true);
        form->PresetDevice(Model(QStringLiteral("Тиврон-А")), 9);
        form->show();
        QTest::mouseClick(form->btnCancel, Qt::LeftButton);
        EXPECT_EQ(form->result(), mrCancel);
        EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
        EXPECT_EQ(ReadCatalogueFile(), original); // Cancel writes nothing
        EXPECT_TRUE(UsbCan.Connected);             // and never disconnects
    }
    {
        auto form = Make(true);
        form->show();
        form->close();
        EXPECT_EQ(form->result(), mrCancel);
        EXPECT_FALSE(form->TimerFindCanDevices.Enabled());
    }
    {
        auto form = Make(false);
        form->show();
        QTest::keyClick(form.get(), Qt::Key_Escape);
        EXPECT_EQ(form->result(), mrCancel);
    }
    {
        // The write's confirmation: the open device at its address, chosen by a double click.
        auto form = Make(false);
        CTreeNode *node = form->PresetDevice(Model(QStringLiteral("Тиврон-АСПТ-А")), 9);
        EXPECT_EQ(node->text, QStringLiteral("Тиврон-АСПТ-А <9>"));
        EXPECT_EQ(form->LabelNameDev->text(), QStringLiteral("Тиврон-АСПТ-А"));
        EXPECT_EQ(form->CSpinEdit_addrDev->value(), 9);
        form->show();
        const QRect r = form->tvDevice->visualRect(form->tvDevice->treeModel()->indexOf(node));
        QTest::mouseDClick(form->tvDevice->viewport(), Qt::LeftButton, {}, r.center());
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), mrOk);
        EXPECT_EQ(StoredAddress(QStringLiteral("Тиврон-АСПТ-А")), 9);
        EXPECT_EQ(form->Choice().Model.get(), Model(QStringLiteral("Тиврон-АСПТ-А")));
    }
    {
        // A double click with nothing selected does nothing.
        auto form = Make(false);
        form->AddCatalogueModels();
        form->show();
        form->tvDeviceDblClick();
        EXPECT_TRUE(form->isVisible());
    }
}
