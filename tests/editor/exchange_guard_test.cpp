// The main window around a running exchange, over a fake adapter library: device commands started
// inside an exchange's waits are refused, a write's read-back that nobody answers keeps the pages,
// and closing the window ends the exchange.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/exchange.h"
#include "link/packet_text.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "service/main_form_service.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/catalogue_model.h"

namespace {

// The fake pump, also told of every progress text (the list sender lets messages through there).
class HookPump : public FakePump {
public:
    void Status(const QString &text, int mode) override
    {
        FakePump::Status(text, mode);
        if (onStatus)
            onStatus(text);
    }
    std::function<void(const QString &text)> onStatus;
};

// Тиврон-2 <5> of the sample catalogue open in the main window, on the fake link.
class ExchangeGuardTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        SetLinkPump(&hooks);
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        SetWriteConfirmationHook([](TSelectDeviceForm &) { return int(mrOk); });
        SetConfigFileDialogs({[](QWidget *) { return std::optional<QString>(SourcePath(QStringLiteral("data/demo/tivron-a-3.DEV"))); },
                              [](QWidget *) { return std::optional<QString>(); }});
        SetServiceDialogRunner([this](QDialog &) {
            ++serviceWindows;
            return int(mrCancel);
        });
        // A selection dialog that a refused command would have opened is cancelled, not waited for.
        QObject::connect(&cancelDialogs, &QTimer::timeout, [] {
            if (auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget()))
                dialog->btnCancel->click();
        });
        cancelDialogs.start(0);
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        MakeForm();
    }
    void TearDown() override
    {
        cancelDialogs.stop();
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        EndReadExchange();
        SetServiceDialogRunner(nullptr);
        SetConfigFileDialogs({});
        SetWriteConfirmationHook(nullptr);
        SetMessageDlgHook(nullptr);
        LinkTest::TearDown();
    }

    // A fresh main window with Тиврон-2 <5> of a freshly loaded catalogue as its device, no pages.
    void MakeForm()
    {
        form.reset();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        env.DisconnectAdapter = [] { UsbCan.Disconnect(); };
        form = std::make_unique<TMainForm>(nullptr, env);
        // After the window, which sets the settings' defaults.
        Usb_TotalPaket = 2;
        Usb_TimerSleep = 3;
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(dir.path()), ConfigForm->tvConfig));
        device = CatalogueModel(QStringLiteral("Тиврон-2"));
        ASSERT_TRUE(device);
        device->device()->device_addr = 5;
        form->CurrentDevice = device->shared();
    }

    // An answer of the device at wire address `wire`, as the library delivers it.
    static CanPacket Answer(int section, int code, std::vector<uint8_t> data, uint8_t wire = 4)
    {
        return Delivered(PacketIdentifier(0x10, uint8_t(section), wire, uint8_t(code)), std::move(data));
    }

    // Ticks the collection to its end.
    void FinishCollection()
    {
        for (int i = 0; i < 10 && form->Timer1.Interval() > 0; ++i)
            form->Timer1.Tick();
        ASSERT_EQ(form->Timer1.Interval(), 0);
    }

    int PageOf(const QString &table) const
    {
        int i = 0;
        for (CTreeNode *t = form->CurrentDevice ? form->CurrentDevice->firstChild() : nullptr; t; t = t->nextSibling(), ++i)
            if (t->text == table)
                return i < form->PageIds.size() ? form->PageIds[i] : -1;
        return -1;
    }
    CParamPage *Page(const QString &table) const
    {
        auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(PageOf(table)),
                                                   form->PageControl, 3);
        return list ? &list->Page() : nullptr;
    }
    QString Cell(const QString &table, int row, int column) const
    {
        const CParamPage *page = Page(table);
        return page ? page->CellText(row, column) : QStringLiteral("<no page>");
    }
    int Image(const QString &table, int row, int column) const
    {
        const CParamPage *page = Page(table);
        return page ? page->CellImage(row, column) : -2;
    }
    CKeyTreeView *Keys() const
    {
        return FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + QString::number(PageOf(KeyTable)), form->PageControl, 3);
    }
    QAbstractButton *Button(const QString &prefix) const
    {
        return FindComponent<QAbstractButton>(prefix + QString::number(PageOf(KeyTable)), form->PageControl, 3);
    }
    // Adds a key on the key page and selects it.
    void AddSelectedKey(const QString &code)
    {
        btnKeyAddClick(*form, Button(QStringLiteral("btnKeyAdd")));
        CTreeNode *node = Keys()->items().topNode(Keys()->items().count() - 1);
        node->key()->key_code = code;
        Keys()->selectNode(node);
    }
    // Every frame sent went to Тиврон-2 <5> as one of the given commands.
    ::testing::AssertionResult SentOnlyToTheDevice(std::initializer_list<uint32_t> commands) const
    {
        for (const SentFrame &f : g_fake.sent) {
            const uint32_t command = f.identifier >> 21, wire = (f.identifier >> 5) & 0xFF;
            if (wire != 4 || std::find(commands.begin(), commands.end(), command) == commands.end())
                return ::testing::AssertionFailure() << "frame " << std::hex << f.identifier;
        }
        return ::testing::AssertionSuccess();
    }

    const QString General = QStringLiteral("Общие параметры");
    const QString Loops = QStringLiteral("шлейфы");
    const QString KeyTable = QStringLiteral("Таблица ключей");

    HookPump hooks;
    QTemporaryDir dir;
    QTimer cancelDialogs;
    QStringList messages;
    int serviceWindows = 0;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    CTreeNode *device = nullptr;
};

TEST_F(ExchangeGuardTest, FileAndExchangeCommandsWaitForARunningRead)
{
    const std::vector<std::pair<const char *, QAction *TMainForm::*>> commands = {
        {"New", &TMainForm::actNewFile},
        {"Open", &TMainForm::actOpenFile},
        {"Read", &TMainForm::actRead},
        {"Write", &TMainForm::actWrite},
    };
    for (const bool inTheWait : {true, false}) {
        for (const auto &[name, action] : commands) {
            SCOPED_TRACE(std::string(name) + (inTheWait ? " in the first-answer wait" : " in the collection"));
            g_fake = FakeDll();
            g_fake.rx = {Answer(1, 0, {1, 45})}; // "Общие параметры": Сетевой, 45 s
            UsbCan.Connected = true;
            messages.clear();
            form->SetStatusText(QString());
            hooks.passes = 0;
            QString shown;
            const auto start = [&] {
                (form.get()->*action)->trigger();
                shown = form->StatusText();
            };
            hooks.onEvents = [&](int pass) {
                if (inTheWait && pass == 1)
                    start();
            };
            ASSERT_EQ(RequestConfiguration(*form, *device), 0);
            hooks.onEvents = nullptr;
            if (!inTheWait) {
                form->Timer1.Tick();
                EXPECT_TRUE(ExchangeInProgress());
                start();
            }
            FinishCollection();

            EXPECT_EQ(shown, WaitForExchangeText);
            EXPECT_EQ(form->StatusText(), QString()); // the read it waited for is over
            EXPECT_EQ(form->CurrentDevice.get(), device);
            EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("Тиврон-2")));
            EXPECT_EQ(form->PageIds.size(), 8);
            EXPECT_EQ(Cell(General, 1, 0), "45");
            EXPECT_EQ(Image(Loops, 1, 1), DefaultMarker);
            EXPECT_EQ(g_fake.sent.size(), 7u); // the read's requests alone
            EXPECT_TRUE(SentOnlyToTheDevice({0x85}));
            EXPECT_EQ(g_fake.connects, 0);
            EXPECT_EQ(g_fake.disconnects, 0);
            EXPECT_TRUE(UsbCan.Connected);
            EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
            EXPECT_FALSE(ExchangeInProgress());
        }
    }
    // With the read over, the same command runs.
    form->actOpenFile->trigger();
    EXPECT_TRUE(form->CurrentDevice && form->CurrentDevice->text == QStringLiteral("Тиврон-А"));
}

TEST_F(ExchangeGuardTest, KeyServiceAndPageMenuCommandsWaitForARunningWrite)
{
    form->BuildDevicePages(device, nullptr, false);
    AddSelectedKey(QStringLiteral("0102030405AB"));
    const std::vector<std::pair<const char *, std::function<void()>>> commands = {
        {"load the key", [&] { Button(QStringLiteral("btnKeySave"))->click(); }},
        {"read the key", [&] { Button(QStringLiteral("btnKeyLoad"))->click(); }},
        {"read a key code", [&] {
             const QString n = QString::number(PageOf(KeyTable));
             const QObject *panel = FindComponentByName(QStringLiteral("panMasterKey") + n, form->PageControl, 3);
             FindComponent<QAbstractButton>(QStringLiteral("btnMaKNumber") + n, panel, 1)->click();
         }},
        {"service", [&] { form->actChangeAddrDev->trigger(); }},
        {"device address", [&] { form->ChangeAddrDevice->trigger(); }},
        {"detector address", [&] { form->ChangeAddrSense->trigger(); }},
        {"module address", [&] { form->ChangeAddrModule->trigger(); }},
        {"factory reset", [&] { form->DefaultSettings_Tivron_A->trigger(); }},
    };
    int tried = 0;
    hooks.onStatus = [&](const QString &text) {
        if (text != QStringLiteral("Загрузка пакета №2"))
            return;
        // The page menu as it opens on a connected line, the reset item as for a Тиврон-А.
        form->PopupMenu1Popup();
        form->DefaultSettings_Tivron_A->setEnabled(true);
        for (const auto &[name, run] : commands) {
            SCOPED_TRACE(name);
            form->SetStatusText(QString());
            const std::size_t sent = g_fake.sent.size(), sleeps = hooks.sleeps.size();
            const int drains = g_fake.drains;
            run();
            EXPECT_EQ(form->StatusText(), WaitForExchangeText);
            EXPECT_EQ(g_fake.sent.size(), sent);
            EXPECT_EQ(g_fake.drains, drains);
            EXPECT_EQ(hooks.sleeps.size(), sleeps);
            ++tried;
        }
    };
    form->actWrite->trigger();
    hooks.onStatus = nullptr;
    EXPECT_EQ(tried, int(commands.size()));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(serviceWindows, 0);
    EXPECT_TRUE(SentOnlyToTheDevice({0x01, 0x02, 0x85}));
    FinishCollection();
    EXPECT_FALSE(ExchangeInProgress());
    EXPECT_EQ(form->StatusText(), QString());
}

// The waiting text lasts as long as the exchange it waits for, also one that builds no pages; a text
// that took its place meanwhile stays. A window closed first is not told.
TEST_F(ExchangeGuardTest, TheWaitingTextGoesWithItsExchange)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced);
        {
            ExchangeScope exchange;
            form->actRead->trigger();
            form->actNewFile->trigger();
            EXPECT_EQ(form->StatusText(), WaitForExchangeText);
            if (replaced)
                form->SetStatusText(QStringLiteral("Название объекта:    Склад 2"));
        }
        EXPECT_EQ(form->StatusText(), replaced ? QStringLiteral("Название объекта:    Склад 2") : QString());
    }
    ExchangeScope exchange;
    auto other = std::make_unique<TMainForm>();
    other->actRead->trigger();
    EXPECT_EQ(other->StatusText(), WaitForExchangeText);
    other.reset();
}

TEST_F(ExchangeGuardTest, WhatAWriteLeavesOnThePages)
{
    struct Case {
        const char *what;
        int connectCode;
        std::deque<int> txCodes;
        std::vector<CanPacket> answers;
        QStringList messages;
        QString general;    // "Задержка звука, с" after the write; the engineer set 37 (its default is 30)
        bool loopsMarked;   // a loops cell without an answer carries the marker
        bool readBack;      // the read-back's requests went out
        bool connected;
    };
    // Тиврон-2 with one key: eleven packets, the end packet last.
    const std::deque<int> listSent(11, 0);
    std::deque<int> requestRefused = listSent;
    requestRefused.push_back(UsbCanNotConnected);
    const Case cases[] = {
        // What it leaves unanswered stays as written, marked; the engineer is told.
        {"the device answers one table", 0, {}, {Answer(1, 0, {1, 45})}, {WritePartlyConfirmedText}, "45", true, true, true},
        {"the device is silent", 0, {}, {}, {WriteNotConfirmedText}, "37", false, true, true},
        {"only another device answers", 0, {}, {Answer(1, 0, {1, 45}, 6)}, {WriteNotConfirmedText}, "37", false, true, true},
        {"no connection", 5, {}, {}, {}, "37", false, false, false},
        {"the adapter went away", 0, {6, 6, 6}, {}, {WriteStoppedText}, "37", false, false, false},
        {"the read-back cannot ask", 0, requestRefused, {}, {WriteNotConfirmedText}, "37", false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MakeForm();
        form->BuildDevicePages(device, nullptr, false);
        ASSERT_TRUE(Page(General)->SetCellText(1, 0, QStringLiteral("37")));
        ASSERT_TRUE(Page(Loops)->SetCellText(2, 0, QStringLiteral("99"))); // "Задержка, с" of loop 1
        // A cell an earlier read left unanswered keeps its marker whatever the write leaves.
        Page(Loops)->Rows[2].Cells[1].Image = DefaultMarker;
        AddSelectedKey(QStringLiteral("0102030405AB"));
        const QString loopsBefore = Cell(Loops, 1, 1);
        g_fake = FakeDll();
        g_fake.connectCode = c.connectCode;
        g_fake.txCodes = c.txCodes;
        g_fake.rx.assign(c.answers.begin(), c.answers.end());
        messages.clear();

        form->actWrite->trigger();
        FinishCollection();

        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(form->CurrentDevice.get(), device);
        EXPECT_EQ(form->PageIds.size(), 8);
        EXPECT_EQ(Cell(General, 1, 0), c.general);
        EXPECT_EQ(Cell(Loops, 1, 1), loopsBefore);
        EXPECT_EQ(Image(Loops, 1, 1) == DefaultMarker, c.loopsMarked);
        EXPECT_EQ(Cell(Loops, 2, 0), QStringLiteral("99"));
        EXPECT_EQ(Image(Loops, 2, 0) == DefaultMarker, c.loopsMarked);
        EXPECT_EQ(Image(Loops, 2, 1), DefaultMarker);
        // A Save now writes what the pages show.
        const TConfigFileDevice saved = ConfigFileFromPages(*device, form->PageIds, form->PageControl);
        ASSERT_GE(saved.Tables.size(), 1u);
        ASSERT_GE(saved.Tables[0].Parameters.size(), 3u);
        EXPECT_EQ(saved.Tables[0].Parameters[2].Values.value(0), QStringLiteral("99"));
        EXPECT_EQ(g_fake.sent.size() > 11, c.readBack);
        EXPECT_EQ(UsbCan.Connected, c.connected);
        EXPECT_FALSE(ExchangeInProgress());
        // The key added before the write is still on the page, with its code.
        ASSERT_TRUE(Keys());
        const CTreeNode *last = Keys()->items().topNode(Keys()->items().count() - 1);
        ASSERT_TRUE(last && last->key());
        EXPECT_EQ(last->key()->key_code, QStringLiteral("0102030405AB"));
        if (c.messages == QStringList{WriteNotConfirmedText}) {
            EXPECT_TRUE(form->actSaveFile->isEnabled());
        }
    }
}

TEST_F(ExchangeGuardTest, ClosingTheWindowEndsTheExchangeInProgress)
{
    enum Moment { FirstAnswerWait, Collection, WriteList, KeyRead };
    const std::pair<Moment, const char *> moments[] = {
        {FirstAnswerWait, "the read's first-answer wait"},
        {Collection, "the collection"},
        {WriteList, "the write's packet list"},
        {KeyRead, "the key read's wait"},
    };
    for (const auto &[moment, what] : moments) {
        SCOPED_TRACE(what);
        MakeForm();
        g_fake = FakeDll();
        messages.clear();
        QSignalSpy closed(form.get(), &TMainForm::Closed);
        std::size_t sentAtClose = 0;
        int passesAtClose = 0;
        const auto close = [&] {
            sentAtClose = g_fake.sent.size();
            passesAtClose = hooks.passes;
            form->miExit->trigger();
        };
        hooks.passes = 0;
        hooks.onEvents = [&](int pass) {
            if ((moment == FirstAnswerWait || moment == KeyRead) && pass == 2)
                close();
        };
        hooks.onStatus = [&](const QString &text) {
            if (moment == WriteList && text == QStringLiteral("Загрузка пакета №3"))
                close();
        };
        switch (moment) {
        case FirstAnswerWait:
        case Collection:
            UsbCan.Connected = true;
            RequestConfiguration(*form, *device);
            if (moment == Collection) {
                form->Timer1.Tick();
                close();
                form->Timer1.Tick();
            }
            break;
        case WriteList:
            form->BuildDevicePages(device, nullptr, false);
            form->actWrite->trigger();
            break;
        case KeyRead:
            form->BuildDevicePages(device, nullptr, false);
            AddSelectedKey(QStringLiteral("0102030405AB"));
            UsbCan.Connected = true;
            Button(QStringLiteral("btnKeyLoad"))->click();
            break;
        }
        hooks.onEvents = nullptr;
        hooks.onStatus = nullptr;

        EXPECT_EQ(closed.count(), 1);
        EXPECT_EQ(g_fake.sent.size(), sentAtClose); // nothing more went out
        EXPECT_EQ(hooks.passes, passesAtClose);     // no wait ran on
        EXPECT_FALSE(UsbCan.Connected);
        EXPECT_EQ(form->Timer1.Interval(), 0);
        EXPECT_FALSE(form->Timer1.Running());
        EXPECT_FALSE(ExchangeInProgress());
        EXPECT_FALSE(ExchangesCancelled());
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        if (moment == FirstAnswerWait || moment == Collection) {
            EXPECT_EQ(form->PageControl->count(), 0); // no pages from a read that was ended
        }
    }
}

} // namespace
