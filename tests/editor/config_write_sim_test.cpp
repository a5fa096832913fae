// The configuration write and the single-key exchange, offscreen, through the real adapter library
// against the simulated demo line: what the engineer edits on the pages comes back in the read that
// follows the write.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/exchange.h"
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

// Real events and sleeps, the progress texts only recorded.
class QuietPump : public LinkPump {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(unsigned ms) override { QThread::msleep(ms); }
    void Status(const QString &text, int) override { statuses << text; }
    QStringList statuses;
};

class WriteOverSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start()) << "the simulator did not start";
        ASSERT_TRUE(UseSimulatedLine(sim));
        SetLinkPump(&pump);
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        SetWriteConfirmationHook([](TSelectDeviceForm &) { return int(mrOk); });
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        Usb_TimerSleep = 1;
        // Each collection ends once the line has answered everything (CollectUpToNow), not on a count.
        Usb_TotalPaket = 1000000;
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());

        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(dir.path()), ConfigForm->tvConfig));
    }
    void TearDown() override
    {
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetWriteConfirmationHook(nullptr);
        SetMessageDlgHook(nullptr);
        SetLinkPump(nullptr);
        UsbCan.Disconnect();
        UsbCan.FreeDll();
        UsbCan.RxPackets.clear();
    }

    // Waits for the pages a read builds after the request that starts now.
    bool WaitForPages(int pageCounterBefore)
    {
        return QTest::qWaitFor(
            [&] { return form->Timer1.Interval() == 0 && form->PageCounter > pageCounterBefore && !form->PageIds.isEmpty(); },
            kSimWaitMs);
    }

    int TableIndex(const QString &table)
    {
        int i = 0;
        for (CTreeNode *t = form->CurrentDevice->firstChild(); t; t = t->nextSibling(), ++i)
            if (t->text == table)
                return i;
        return -1;
    }

    CParamPage *Page(const QString &table)
    {
        const int i = TableIndex(table);
        if (i < 0 || i >= form->PageIds.size())
            return nullptr;
        auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(form->PageIds[i]),
                                                   form->PageControl, 3);
        return list ? &list->Page() : nullptr;
    }

    int Row(const CParamPage &page, const QString &caption)
    {
        for (int r = 0; r < page.RowCount(); ++r)
            if (page.Caption(r) == caption)
                return r;
        return -1;
    }

    QString Cell(const QString &table, const QString &caption, int column)
    {
        CParamPage *page = Page(table);
        return page ? page->CellText(Row(*page, caption), column) : QStringLiteral("<no page>");
    }

    void SetCell(const QString &table, const QString &caption, int column, const QString &text)
    {
        CParamPage *page = Page(table);
        ASSERT_TRUE(page);
        ASSERT_TRUE(page->SetCellText(Row(*page, caption), column, text));
    }

    CKeyTreeView *KeyTree()
    {
        const int i = TableIndex(QStringLiteral("Таблица ключей"));
        if (i < 0 || i >= form->PageIds.size())
            return nullptr;
        return FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + QString::number(form->PageIds[i]),
                                           form->PageControl, 3);
    }

    QObject *KeyButton(const QString &prefix)
    {
        const int i = TableIndex(QStringLiteral("Таблица ключей"));
        return FindComponentByName(prefix + QString::number(form->PageIds[i]), form->PageControl, 3);
    }

    SimProcess sim;
    QuietPump pump;
    QStringList messages;
    QTemporaryDir dir;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(WriteOverSim, EditsWrittenComeBackInTheReadThatFollows)
{
    CTreeNode *model = CatalogueModel(QStringLiteral("Тиврон-2"));
    ASSERT_TRUE(model);
    model->device()->device_addr = 5;
    ASSERT_EQ(UsbCan.Connect(), 0);
    int before = form->PageCounter;
    ASSERT_EQ(RequestConfiguration(*form, *model), 0);
    ASSERT_TRUE(CollectUpToNow());
    ASSERT_TRUE(WaitForPages(before));
    // An answer of this read that comes late must not pass for one of the read-back.
    ASSERT_TRUE(DrainLineUpToNow());

    const QString general = QStringLiteral("Общие параметры");
    const QString loops = QStringLiteral("шлейфы");
    ASSERT_NE(Cell(general, QStringLiteral("Задержка звука, с"), 0), QStringLiteral("45"));
    SetCell(general, QStringLiteral("Задержка звука, с"), 0, QStringLiteral("45"));
    SetCell(general, QStringLiteral("Выход на ПЦН"), 0, QStringLiteral("+"));
    SetCell(general, QStringLiteral("Порог температуры, °C"), 0, QStringLiteral("-5"));
    SetCell(loops, QStringLiteral("Задержка, с"), 1, QStringLiteral("300"));

    CKeyTreeView *keys = KeyTree();
    ASSERT_TRUE(keys);
    const int keyCount = keys->items().count();
    btnKeyAddClick(*form, KeyButton(QStringLiteral("btnKeyAdd")));
    ASSERT_EQ(keys->items().count(), keyCount + 1);
    CTreeNode *addedNode = keys->items().topNode(keyCount);
    CKey *added = addedNode->key();
    ASSERT_TRUE(added);
    // A number the device has no key under (a new key is always named №1), as the number edit sets it.
    added->name = QStringLiteral("<ключ> №6");
    addedNode->text = QStringLiteral("%1. <ключ> №6").arg(keyCount + 1);
    const QString addedName = added->name;
    added->key_code = QStringLiteral("A1B2C3D4E5F6");
    added->key_type = 2;
    ASSERT_GE(added->hos_chk.size(), 2u);
    added->hos_chk[0] = true; // arms loop 1

    before = form->PageCounter;
    form->actWriteExecute();
    ASSERT_TRUE(CollectUpToNow());
    ASSERT_TRUE(WaitForPages(before)) << messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(DrainLineUpToNow());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();

    EXPECT_EQ(Cell(general, QStringLiteral("Задержка звука, с"), 0), QStringLiteral("45"));
    EXPECT_EQ(Cell(general, QStringLiteral("Выход на ПЦН"), 0), QStringLiteral("+"));
    EXPECT_EQ(Cell(general, QStringLiteral("Порог температуры, °C"), 0), QStringLiteral("-5"));
    EXPECT_EQ(Cell(loops, QStringLiteral("Задержка, с"), 1), QStringLiteral("300"));

    keys = KeyTree();
    ASSERT_TRUE(keys);
    CTreeNode *back = nullptr;
    for (CTreeNode *n = keys->items().firstNode(); n; n = n->nextSibling())
        if (n->key() && n->key()->name == addedName)
            back = n;
    QStringList names;
    for (CTreeNode *n = keys->items().firstNode(); n; n = n->nextSibling())
        names << n->text + "=" + (n->key() ? n->key()->key_code : QString());
    ASSERT_TRUE(back) << "the added key did not come back: " << names.join(", ").toStdString();
    EXPECT_EQ(back->key()->key_code, QStringLiteral("A1B2C3D4E5F6"));
    EXPECT_EQ(back->key()->key_type, 2);
    EXPECT_TRUE(back->key()->hos_chk[0]);

    // The single key: loaded with a new code, then a local change undone by reading it back.
    keys->selectNode(back);
    back->key()->key_code = QStringLiteral("0000000000FF");
    btnKeySaveClick(*form, KeyButton(QStringLiteral("btnKeySave")));
    EXPECT_TRUE(messages.contains(QStringLiteral("Подтвердите, что хотите загрузить ключ в прибор")));
    EXPECT_EQ(back->key()->key_code, QStringLiteral("0000000000FF"));
    back->key()->key_code = QStringLiteral("111111111111");
    btnKeyLoadClick(*form, KeyButton(QStringLiteral("btnKeyLoad")));
    EXPECT_EQ(back->key()->key_code, QStringLiteral("0000000000FF"));
    EXPECT_FALSE(messages.contains(QStringLiteral("Ответ от прибора по данному ключу, не получен!")));
}

TEST_F(WriteOverSim, WriteOutcomesTheEngineerIsToldOf)
{
    CTreeNode *model = CatalogueModel(QStringLiteral("Тиврон-2"));
    ASSERT_TRUE(model);
    model->device()->device_addr = 5;
    const QString general = QStringLiteral("Общие параметры");
    const QString loops = QStringLiteral("шлейфы");
    const QString outputs = QStringLiteral("Выходы");
    const QString delay = QStringLiteral("Задержка звука, с");
    const QString loopDelay = QStringLiteral("Задержка, с");

    struct Case {
        const char *what;
        QString control;       // simulator control line before the write; "stop" ends the line
        QStringList messages;  // what the engineer may be told: one of these
        bool generalMarked;    // the general table's edited cell carries the marker
        bool loopMarked;       // the edited cell of loop 2 carries the marker
    };
    const Case cases[] = {
        {"the device is silent", QStringLiteral("silent 5"), {WriteNotConfirmedText}, false, false},
        // The write goes through; what the read-back misses stays as written, marked.
        {"the general table unanswered", QStringLiteral("omit 5 table 0"), {WritePartlyConfirmedText}, true, false},
        {"a loop column unanswered", QStringLiteral("omit 5 table 1 02"), {WritePartlyConfirmedText}, false, true},
        // The adapter still sends, onto a bus nobody else is on. Whether it sees the simulator's end
        // before a packet or only after the list is up to the machine: the write stops part way or
        // goes unconfirmed, and either way the pages keep the edits.
        {"the line gone", QStringLiteral("stop"), {WriteNotConfirmedText, WriteStoppedText}, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A line of its own for each case: the stored configuration and the answers as the file has them.
        UsbCan.Disconnect();
        sim.Stop();
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(UseSimulatedLine(sim));
        // The second output is never answered: its marker must outlive every outcome of the write.
        ASSERT_TRUE(sim.Control(QStringLiteral("omit 5 table 2 02")).startsWith(QStringLiteral("ok")));
        messages.clear();
        ASSERT_EQ(UsbCan.Connect(), 0);
        int before = form->PageCounter;
        ASSERT_EQ(RequestConfiguration(*form, *model), 0);
        ASSERT_TRUE(CollectUpToNow());
        ASSERT_TRUE(WaitForPages(before));
        ASSERT_TRUE(DrainLineUpToNow());
        CParamPage *page = Page(outputs);
        ASSERT_TRUE(page);
        ASSERT_EQ(page->CellImage(1, 1), DefaultMarker);
        const QString output = page->CellText(1, 1);
        const QString stored = Cell(general, delay, 0);
        const QString edit = stored == QStringLiteral("77") ? QStringLiteral("78") : QStringLiteral("77");
        SetCell(general, delay, 0, edit);
        SetCell(loops, loopDelay, 1, QStringLiteral("123"));

        if (c.control == QStringLiteral("stop"))
            sim.Stop();
        else
            ASSERT_TRUE(sim.Control(c.control).startsWith(QStringLiteral("ok"))) << c.control.toStdString();
        form->actWriteExecute();
        if (form->Timer1.Interval() > 0) { // the read-back collects
            if (c.control == QStringLiteral("stop"))
                UsbCan.RxCountdown = 1; // nothing can come
            else
                ASSERT_TRUE(CollectUpToNow());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ExchangeInProgress(); }, kSimWaitMs));

        ASSERT_EQ(messages.size(), 1) << messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(c.messages.contains(messages[0])) << messages[0].toStdString();
        EXPECT_EQ(Cell(general, delay, 0), edit);
        EXPECT_EQ(Cell(loops, loopDelay, 1), QStringLiteral("123"));
        page = Page(general);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->CellImage(Row(*page, delay), 0) == DefaultMarker, c.generalMarked);
        page = Page(loops);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->CellImage(Row(*page, loopDelay), 1) == DefaultMarker, c.loopMarked);
        page = Page(outputs);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->CellText(1, 1), output);
        EXPECT_EQ(page->CellImage(1, 1), DefaultMarker);
    }
}
