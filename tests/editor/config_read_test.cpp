// The configuration read over a fake adapter library: the request packets, the failure and cancel
// paths, the collection ticks and the page rebuild.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/exchange.h"
#include "link/packet_text.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"

namespace {


TEST(ConfigurationRequests, TablesThenKeysLowByteFirst)
{
    const QStringList keys = {QStringLiteral("1. Мастер-ключ"), QStringLiteral("2. <Вахта> №1"),
                              QStringLiteral("3. <Склад> №12")};
    EXPECT_EQ(ConfigurationRequestTexts(5, keys), (QStringList{
                                                      "85FF0400FF00000000000000",
                                                      "85FF0401FF00000000000000",
                                                      "85FF0402FF00000000000000",
                                                      "85FF0404FF00000000000000",
                                                      "85FF0405FF00000000000000",
                                                      "85FF0406FF00000000000000",
                                                      "85FF04030000000000000000",
                                                      "85FF04030100000000000000",
                                                      "85FF04030C00000000000000",
                                                  }));
}

TEST(ConfigurationRequests, WithoutKeysOneRequestForEveryKey)
{
    const QStringList texts = ConfigurationRequestTexts(5, {});
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts.last(), "85FF0403FFFF000000000000");
    // The wire address is the address less one, over the whole range.
    EXPECT_EQ(ConfigurationRequestTexts(1, {}).first(), "85FF0000FF00000000000000");
    EXPECT_EQ(ConfigurationRequestTexts(255, {QStringLiteral("<k> №258")}).last(), "85FFFE030201000000000000");
    for (int a : {0, 256, -1})
        EXPECT_FALSE(IsRequestAddress(a)) << a;
    for (int a : {1, 255})
        EXPECT_TRUE(IsRequestAddress(a)) << a;
}

// The main window on the fake link, with the catalogue's Тиврон-2 as the device to read.
class ReadTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
        ASSERT_TRUE(ReadXmlToTree(dir.filePath("devices.xml"), catalogue));
        device = catalogue.topNode(3);
        ASSERT_EQ(device->text, QStringLiteral("Тиврон-2"));
        device->device()->device_addr = 5;
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        savedTotal = Usb_TotalPaket;
        savedSleep = Usb_TimerSleep;
        Usb_TotalPaket = 2;
        Usb_TimerSleep = 3;
    }
    void TearDown() override
    {
        form.reset();
        SetMessageDlgHook(nullptr);
        Usb_TotalPaket = savedTotal;
        Usb_TimerSleep = savedSleep;
        LinkTest::TearDown();
    }

    // An answer of device address 5 as the library delivers it.
    static CanPacket Answer(int section, int code, std::vector<uint8_t> data)
    {
        return Delivered(PacketIdentifier(0x10, uint8_t(section), 4, uint8_t(code)), std::move(data));
    }

    const CParamPage *Page(int table) const
    {
        if (table >= form->PageIds.size())
            return nullptr;
        const auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(form->PageIds[table]),
                                                         form->PageControl, 3);
        return list ? &list->Page() : nullptr;
    }

    bool HasStatus(const QString &text, int mode) const
    {
        for (const Status &s : pump.statuses)
            if (s.text == text && s.mode == mode)
                return true;
        return false;
    }

    QTemporaryDir dir;
    CTree catalogue;
    CTreeNode *device = nullptr;
    std::unique_ptr<TMainForm> form;
    QStringList messages;
    int savedTotal = 0, savedSleep = 0;
};

TEST_F(ReadTest, RequestsCollectsAndBuildsThePages)
{
    g_fake.rx.push_back(Answer(1, 0, {1, 45})); // "Общие параметры": Сетевой, 45 s
    form->KeyListView->items().addChild(nullptr, QStringLiteral("2. <Охрана> №1"));
    form->SelectedRow = form->SelectedColumn = 3;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);

    ASSERT_EQ(g_fake.sent.size(), 7u);
    EXPECT_EQ(g_fake.sent[6].identifier, PacketIdentifier(0x85, 0xFF, 4, 3));
    EXPECT_EQ(g_fake.sent[6].data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pump.sleeps.front(), 3u);
    EXPECT_TRUE(HasStatus(RequestingText, 1));
    EXPECT_TRUE(HasStatus(AwaitingAnswerText, 1));
    EXPECT_EQ(form->CurrentDevice.get(), device);
    EXPECT_EQ(form->SelectedRow, -1);
    EXPECT_EQ(form->SelectedColumn, -1);
    EXPECT_EQ(UsbCan.RxPackets.size(), 1u); // the first answer stays for the decoding
    EXPECT_EQ(UsbCan.RxCountdown, 2);
    EXPECT_EQ(form->Timer1.Interval(), 3);
    EXPECT_TRUE(form->Timer1.Running());
    EXPECT_TRUE(ExchangeInProgress());

    form->Timer1.Tick();
    EXPECT_EQ(form->PageControl->count(), 0);
    EXPECT_TRUE(HasStatus(QStringLiteral("Получено пакетов №1"), 1));
    EXPECT_TRUE(form->Timer1.Running());
    EXPECT_FALSE(form->actSaveFile->isEnabled());

    form->Timer1.Tick();
    EXPECT_TRUE(HasStatus(CollectedText + "1", 2));
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_FALSE(ExchangeInProgress());
    EXPECT_TRUE(form->actSaveFile->isEnabled());
    EXPECT_EQ(form->PageIds.size(), 8);
    const CParamPage *general = Page(1);
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->Caption(0), QStringLiteral("Режим работы"));
    EXPECT_EQ(general->CellText(0, 0), QStringLiteral("Сетевой"));
    EXPECT_NE(general->CellImage(0, 0), DefaultMarker);
    EXPECT_EQ(general->CellText(1, 0), "45");
    const CParamPage *loops = Page(0); // no answer: defaults, marked
    ASSERT_NE(loops, nullptr);
    EXPECT_EQ(loops->CellText(1, 1), QStringLiteral("Пожарный дымовой"));
    EXPECT_EQ(loops->CellImage(1, 1), DefaultMarker);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReadTest, RequestsGoOutTheirPauseApart)
{
    ClockPump clock;
    clock.statusMs = 2;
    SetLinkPump(&clock);
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    SetLinkPump(&pump);
    EXPECT_EQ(clock.moments, (std::vector<int64_t>{2, 5, 8, 11, 14, 17, 20})); // after "Запрос конфигурации прибора..."
    EXPECT_EQ(g_fake.sent.size(), 7u);
}

TEST_F(ReadTest, ATickDueDuringTheTicksOwnProgressTextWaitsForTheNext)
{
    Usb_TotalPaket = 3;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    int inner = 0;
    pump.onStatus = [&](const QString &text) {
        if (!text.startsWith(PacketsReceivedText) || inner++)
            return;
        EXPECT_TRUE(form->Timer1.Held());
        form->Timer1.Tick(); // the timer falls due while the text lets events through
    };
    form->Timer1.Tick();
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(UsbCan.RxCountdown, 2);
    EXPECT_FALSE(form->Timer1.Held());
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(form->Timer1.Running());
    pump.onStatus = nullptr;
    form->Timer1.Tick();
    form->Timer1.Tick();
    EXPECT_EQ(form->PageIds.size(), 8);
    EXPECT_EQ(form->Timer1.Interval(), 0);
}

TEST_F(ReadTest, NoTicksToCollectAndNoPause)
{
    Usb_TotalPaket = 0;
    Usb_TimerSleep = 0;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    EXPECT_EQ(pump.sleeps.front(), 0u);
    // A timer of interval 0 would never tick: the collection still ends.
    EXPECT_EQ(form->Timer1.Interval(), 1);
    EXPECT_TRUE(form->Timer1.Running());
    form->Timer1.Tick();
    EXPECT_EQ(form->PageIds.size(), 8);
    EXPECT_EQ(Page(1)->CellImage(0, 0), DefaultMarker);
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_FALSE(ExchangeInProgress());
}

TEST_F(ReadTest, AddressOutsideTheLineIsRefusedAndNothingSent)
{
    form->BuildDevicePages(device, nullptr, false);
    const int pages = form->PageControl->count();
    for (int address : {0, 256}) {
        SCOPED_TRACE(address);
        messages.clear();
        device->device()->device_addr = address;
        EXPECT_EQ(RequestConfiguration(*form, *device), kRequestAddressRefused);
        EXPECT_EQ(messages, QStringList{BadRequestAddressText});
        EXPECT_TRUE(g_fake.sent.empty());
        EXPECT_EQ(form->PageControl->count(), pages);
        EXPECT_FALSE(form->Timer1.Running());
        EXPECT_FALSE(ExchangeInProgress());
    }
}

TEST_F(ReadTest, AnyFailedRequestStopsTheReadAndDisconnects)
{
    form->BuildDevicePages(device, nullptr, false);
    UsbCan.Connected = true;
    g_fake.txCodes = {0, 0, 7}; // the third of seven fails; those after it would succeed
    EXPECT_EQ(RequestConfiguration(*form, *device), 7);
    EXPECT_EQ(g_fake.sent.size(), 3u);
    EXPECT_TRUE(HasStatus(RequestFailedText, 1));
    EXPECT_TRUE(HasStatus(ConnectFailedText + "7", 2));
    EXPECT_FALSE(HasStatus(AwaitingAnswerText, 1));
    EXPECT_EQ(g_fake.disconnects, 1);
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(form->PageControl->count(), 0);
    EXPECT_EQ(form->CurrentDevice.get(), device);
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_FALSE(form->Timer1.Running());
    EXPECT_FALSE(ExchangeInProgress());
}

TEST_F(ReadTest, DecodingErrorIsShownAndTheNextReadCollectsAgain)
{
    // A parameter of the loops table without its byte mask.
    device->firstChild()->firstChild()->parameter()->address = QString();
    Usb_TotalPaket = 1;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    form->Timer1.Tick();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(form->actSaveFile->isEnabled());
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_FALSE(ExchangeInProgress());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    device->firstChild()->firstChild()->parameter()->address = QStringLiteral("1");
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    EXPECT_TRUE(form->Timer1.Running());
    form->Timer1.Tick();
    EXPECT_TRUE(form->actSaveFile->isEnabled());
    EXPECT_EQ(form->PageIds.size(), 8);
}

// The status text of a cell of the pages before the read goes with them: the read's pages start
// without it.
TEST_F(ReadTest, TheReadsPagesStartWithAnEmptyStatus)
{
    form->BuildDevicePages(device, nullptr, false);
    form->CurrentDevice = device->shared();
    auto *general = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(form->PageIds[1]),
                                                  form->PageControl, 3);
    ASSERT_NE(general, nullptr);
    int row = 0;
    while (row < general->Page().RowCount() && general->Page().Caption(row) != QStringLiteral("Название объекта"))
        ++row;
    ASSERT_TRUE(general->Page().SetCellText(row, 0, QStringLiteral("Склад 2")));
    form->SelectedRow = row;
    form->SelectedColumn = 1;
    form->lvQSelectItem(general);
    ASSERT_EQ(form->StatusText(), QStringLiteral("Название объекта:    Склад 2"));

    Usb_TotalPaket = 1;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    form->Timer1.Tick();
    ASSERT_EQ(form->PageIds.size(), 8);
    EXPECT_EQ(form->StatusText(), QString());
    EXPECT_EQ(form->windowTitle(), MainCaption + QStringLiteral("    прибор Тиврон-2  Адрес-5"));
}

TEST_F(ReadTest, CurrentDeviceOutlivesACatalogueReload)
{
    Usb_TotalPaket = 1;
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    ASSERT_TRUE(ReadXmlToTree(dir.filePath("devices.xml"), catalogue)); // the tree is cleared and refilled
    ASSERT_NE(catalogue.topNode(3), device);
    form->Timer1.Tick();
    EXPECT_EQ(form->CurrentDevice->text, QStringLiteral("Тиврон-2"));
    EXPECT_EQ(form->PageIds.size(), 8);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReadTest, KeyListComesFromTheOpenKeyPageAndStaysWithoutOne)
{
    form->BuildDevicePages(device, nullptr, false);
    const int keyPage = form->PageIds[3];
    auto *keys = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(keyPage), form->PageControl, 2);
    ASSERT_NE(keys, nullptr);
    keys->items().clear();
    keys->items().addChild(nullptr, QStringLiteral("1. Мастер-ключ"));
    CTreeNode *key = keys->items().addChild(nullptr, QStringLiteral("2. <Охрана> №12"), std::make_shared<CKey>());
    key->setImage(6);
    keys->items().addChild(key, QStringLiteral("ШС1 (1)"), LoopFlag{true});
    form->KeyListView->items().addChild(nullptr, QStringLiteral("old"));

    CopyKeyListFromPages(*form);
    const CTree &list = form->KeyListView->items();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.topNode(1)->text, QStringLiteral("2. <Охрана> №12"));
    EXPECT_EQ(list.topNode(1)->key(), key->key());
    EXPECT_EQ(list.topNode(1)->imageIndex, 6);
    ASSERT_EQ(list.topNode(1)->childCount(), 1);
    EXPECT_TRUE(list.topNode(1)->firstChild()->loopFlag());

    // A second read without a key page asks for the keys the first one copied.
    form->FreePages();
    CopyKeyListFromPages(*form);
    ASSERT_EQ(list.count(), 2);
    ASSERT_EQ(RequestConfiguration(*form, *device), 0);
    ASSERT_EQ(g_fake.sent.size(), 8u);
    EXPECT_EQ(g_fake.sent[6].data[0], 0);
    EXPECT_EQ(g_fake.sent[7].data[0], 12);
}

// The pages of the fixture's device (Тиврон-2 at 5) with a key page that holds the master key and
// the keys 1 and 12; the device is the current one.
void OpenPagesWithKeys(TMainForm &form, CTreeNode *device)
{
    form.BuildDevicePages(device, nullptr, false);
    form.CurrentDevice = device->shared();
    auto *keys = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(form.PageIds[3]), form.PageControl, 2);
    ASSERT_NE(keys, nullptr);
    keys->items().clear();
    for (const char *text : {"1. Мастер-ключ", "2. <Охрана> №1", "3. <Склад> №12"})
        keys->items().addChild(nullptr, QString::fromUtf8(text), std::make_shared<CKey>());
}

// The key requests sent (command 85, sub-code 03), as packet texts.
QStringList KeyRequestsSent()
{
    QStringList texts;
    for (const SentFrame &f : g_fake.sent)
        if (const QString text = SentText(f); text.startsWith(QStringLiteral("85")) && text.mid(6, 2) == QStringLiteral("03"))
            texts << text;
    return texts;
}

TEST_F(ReadTest, OnlyTheOpenDeviceIsAskedForItsPagesKeys)
{
    struct Case {
        const char *what;
        bool pages;        // the device's pages are open
        const char *model; // the model read
        QString version;   // empty: the catalogue's
        int address;
        QStringList keyRequests;
    };
    const QStringList pageKeys = {"85FF04030000000000000000", "85FF04030100000000000000", "85FF04030C00000000000000"};
    const QStringList everyKey = {"85FF0403FFFF000000000000"};
    const std::vector<Case> cases = {
        {"the open device", true, "Тиврон-2", {}, 5, pageKeys},
        {"another address", true, "Тиврон-2", {}, 7, {"85FF0603FFFF000000000000"}},
        {"another model", true, "Тиврон-А", {}, 5, everyKey},
        {"another version", true, "Тиврон-2", "9.9", 5, everyKey},
        {"no pages open", false, "Тиврон-2", {}, 5, everyKey},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_fake.sent.clear();
        device->device()->device_addr = 5;
        OpenPagesWithKeys(*form, device);
        if (!c.pages) {
            form->FreePages();
            form->PageIds.clear();
        }
        CTree read; // the model as a reloaded catalogue gives it
        ASSERT_TRUE(ReadXmlToTree(dir.filePath("devices.xml"), read));
        CTreeNode *model = nullptr;
        for (CTreeNode *n = read.firstNode(); n && !model; n = n->nextSibling())
            if (n->text == QString::fromUtf8(c.model))
                model = n;
        ASSERT_NE(model, nullptr);
        if (!c.version.isEmpty())
            model->device()->version = c.version;
        model->device()->device_addr = c.address;

        ChooseReadKeyList(*form, form->PageControl->count() > 0 ? form->CurrentDevice.get() : nullptr, *model,
                          c.address);
        ASSERT_EQ(RequestConfiguration(*form, *model), 0);
        EXPECT_EQ(KeyRequestsSent(), c.keyRequests);
    }
}

// actReadExecute with the description window and the selection dialog.
class ReadActionTest : public ReadTest {
protected:
    void SetUp() override
    {
        ReadTest::SetUp();
        config = std::make_unique<TConfigForm>();
        ConfigForm = config.get();
    }
    void TearDown() override
    {
        ReadTest::TearDown();
        config.reset();
    }
    std::unique_ptr<TConfigForm> config;
};

TEST_F(ReadActionTest, FailedConnectionIsShownAndDisconnects)
{
    form->BuildDevicePages(device, nullptr, false);
    g_fake.connectCode = 5;
    form->actRead->trigger();
    EXPECT_TRUE(HasStatus(ConnectingText, 1));
    EXPECT_TRUE(HasStatus(ConnectFailedText + "5", 2));
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(form->PageControl->count(), 8); // the pages stay
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_EQ(config->tvConfig->items().count(), 4); // the catalogue was loaded
}

TEST_F(ReadActionTest, OnlyAReadOfTheOpenDeviceAsksForItsPagesKeys)
{
    // Тиврон-2 at 5 is open with its keys; the line holds Тиврон-2 at 5 and at 7.
    const struct {
        const char *choice;
        QStringList keyRequests;
    } cases[] = {
        {"Тиврон-2 <7>", {"85FF0603FFFF000000000000"}},
        {"Тиврон-2 <5>", {"85FF04030000000000000000", "85FF04030100000000000000", "85FF04030C00000000000000"}},
    };
    for (const auto &c : cases) {
        const QString choice = QString::fromUtf8(c.choice);
        SCOPED_TRACE(c.choice);
        g_fake.sent.clear();
        device->device()->device_addr = 5;
        OpenPagesWithKeys(*form, device);
        for (int wire : {4, 6})
            g_fake.rx.push_back(Delivered(PacketIdentifier(0x20, 0xFF, uint8_t(wire), 0), {2, 0, 0, 0, 0, 0, 0, 0}));
        bool chosen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            for (CTreeNode *n = dialog->tvDevice->items().firstNode(); n && !chosen; n = n->nextSibling())
                if (n->text == choice) {
                    chosen = true;
                    dialog->SelectListNode(n);
                    dialog->btnSelect->click();
                }
        });
        poll.start(10);
        form->actRead->trigger();
        ASSERT_TRUE(chosen);
        EXPECT_EQ(KeyRequestsSent(), c.keyRequests);
        form->Timer1.SetInterval(0);
        EndReadExchange();
    }
}

TEST_F(ReadActionTest, CancelledDialogDisconnects)
{
    form->BuildDevicePages(device, nullptr, false);
    form->CurrentDevice = device->shared();
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget())) {
            seen = true;
            dialog->btnCancel->click();
        }
    });
    poll.start(10);
    form->actRead->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(HasStatus(ConnectedText, 0));
    EXPECT_EQ(g_fake.connects, 1);
    EXPECT_EQ(g_fake.disconnects, 1);
    EXPECT_FALSE(UsbCan.Connected);
    ASSERT_EQ(g_fake.sent.size(), 1u); // the search broadcast, no request
    // The pages stay with their device, to be saved or written.
    EXPECT_EQ(form->CurrentDevice.get(), device);
    EXPECT_EQ(form->PageControl->count(), 8);
    EXPECT_TRUE(form->HasPages());
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_FALSE(ExchangeInProgress());
}

} // namespace
