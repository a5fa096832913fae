// "Считать конфигурацию" offscreen, through the real adapter library against the simulated demo
// line: the pages show what the device stores, and what it leaves unanswered carries the marker.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/exchange.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/sim/sim_process_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/sim_line.h"

namespace {

QString RecordText(const CanPacket &p)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p.bytes), 12).toHex().toUpper());
}

CTreeNode *ChildWithText(CTreeNode *node, const QString &text)
{
    for (CTreeNode *c = node ? node->firstChild() : nullptr; c; c = c->nextSibling())
        if (c->text == text)
            return c;
    return nullptr;
}

// "Считать конфигурацию" of the device listed as listText, until its pages are built.
bool ReadFromLine(TMainForm &form, const QString &listText)
{
    bool chosen = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget());
        if (!dialog || chosen)
            return;
        for (CTreeNode *n = dialog->tvDevice->items().firstNode(); n; n = n->nextSibling()) {
            if (n->text == listText) {
                chosen = true;
                dialog->SelectListNode(n);
                dialog->btnSelect->click();
                return;
            }
        }
    });
    driver.start(20);
    QTimer::singleShot(kSimWaitMs, [&] {
        if (auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget()))
            dialog->btnCancel->click();
    });
    form.actSaveFile->setEnabled(false);
    form.actRead->trigger();
    if (!chosen || !CollectUpToNow())
        return false;
    return QTest::qWaitFor([&] { return form.actSaveFile->isEnabled() && !ExchangeInProgress(); }, kSimWaitMs);
}

// The records of the key page's keys.
std::vector<const CKey *> PageKeys(TMainForm &form, int page)
{
    std::vector<const CKey *> keys;
    if (page >= form.PageIds.size())
        return keys;
    const auto *tree = FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + QString::number(form.PageIds[page]),
                                                   form.PageControl, 2);
    for (const CTreeNode *n = tree ? tree->items().firstNode() : nullptr; n; n = n->nextSibling())
        keys.push_back(n->key());
    return keys;
}

} // namespace

TEST(ReadOverSim, AFreshReadShowsEveryKeyTheDeviceHoldsAndSaveWritesThem)
{
    SimProcess sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--log")})) << "the simulator did not start";
    ASSERT_TRUE(UseSimulatedLine(sim));
    SetLinkPump(nullptr);
    QStringList messages;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        messages << text;
        return int(mrOk);
    });
    QTemporaryDir dir;
    ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
    const QString saved = dir.filePath(QStringLiteral("backup"));
    SetConfigFileDialogs({[](QWidget *) { return std::optional<QString>(); },
                          [&](QWidget *) { return std::optional<QString>(saved); }});
    TConfigForm config;
    ConfigForm = &config;
    TMainFormEnv env;
    env.ProgramDir = dir.path();
    TMainForm form(nullptr, env);
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    Usb_TimerSleep = 2;
    Usb_TotalPaket = 1000000; // the collection ends once the line has answered (CollectUpToNow)

    // No pages yet: the read asks for every key, and each key the device holds comes with its own record.
    ASSERT_TRUE(ReadFromLine(form, QStringLiteral("Тиврон-А <3>")));
    EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx 85FF0203FFFF000000000000"), kSimWaitMs));
    CTree stored;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/demo/tivron-a-3.DEV")), stored));
    const CTreeNode *storedKeys = stored.firstNode() ? stored.firstNode()->child(3) : nullptr;
    ASSERT_NE(storedKeys, nullptr);
    ASSERT_EQ(storedKeys->childCount(), 3);
    const QStringList names = {QStringLiteral("Мастер-ключ"), QStringLiteral("<ключ> №1"), QStringLiteral("<ключ> №12")};
    auto expectStoredKeys = [&](const std::vector<const CKey *> &keys) {
        ASSERT_EQ(keys.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            const CKey *want = storedKeys->child(k)->key();
            ASSERT_NE(keys[k], nullptr);
            EXPECT_EQ(keys[k]->id, k + 1);
            EXPECT_EQ(keys[k]->name, names[k]);
            EXPECT_EQ(keys[k]->master, k == 0);
            EXPECT_EQ(keys[k]->key_type, want->key_type);
            EXPECT_EQ(keys[k]->key_code, want->key_code);
            EXPECT_EQ(keys[k]->hos_count, want->hos_count);
            if (k > 0) { // the master key's disarm flags are not on the line
                EXPECT_EQ(keys[k]->hos_chk, want->hos_chk);
            }
        }
    };
    expectStoredKeys(PageKeys(form, 3));

    // Save writes all three; the file reads back with them.
    form.actSaveFile->trigger();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    CTree backup;
    ASSERT_TRUE(ReadXmlToTree(saved + QStringLiteral(".DEV"), backup));
    const CTreeNode *backupKeys = backup.firstNode() ? backup.firstNode()->child(3) : nullptr;
    ASSERT_NE(backupKeys, nullptr);
    std::vector<const CKey *> fromFile;
    for (const CTreeNode *n = backupKeys->firstChild(); n; n = n->nextSibling())
        fromFile.push_back(n->key());
    expectStoredKeys(fromFile);

    // Another device read while these pages are open: every key again, not the numbers of this page.
    ASSERT_TRUE(ReadFromLine(form, QStringLiteral("Тиврон-2 <5>")));
    EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx 85FF0403FFFF000000000000"), kSimWaitMs));
    const std::vector<const CKey *> keys = PageKeys(form, 3);
    ASSERT_EQ(keys.size(), 3u);
    const char *codes[] = {"0102030405F0", "11223344AA55", "00000000BEEF"};
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(keys[k]->key_code, QLatin1String(codes[k])) << k;
    EXPECT_EQ(keys[2]->name, QStringLiteral("<ключ> №2"));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));

    UsbCan.Disconnect();
    UsbCan.FreeDll();
    SetConfigFileDialogs({});
    SetMessageDlgHook(nullptr);
    ConfigForm = nullptr;
    qunsetenv("TIVRON_CANBUS");
}

TEST(ReadOverSim, PagesShowTheStoredConfiguration)
{
    SimProcess sim;
    // Тиврон-2 <5> leaves its second loop column unanswered.
    ASSERT_TRUE(sim.Start({QStringLiteral("--omit"), QStringLiteral("5:table:1:02"), QStringLiteral("--log")}))
        << "the simulator did not start";
    ASSERT_TRUE(UseSimulatedLine(sim));
    SetLinkPump(nullptr);
    QStringList messages;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        messages << text;
        return int(mrOk);
    });
    QTemporaryDir dir;
    ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
    TConfigForm config;
    ConfigForm = &config;
    TMainFormEnv env;
    env.ProgramDir = dir.path();
    TMainForm form(nullptr, env);
    // After the window, which sets the settings' defaults.
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    Usb_TimerSleep = 2;
    Usb_TotalPaket = 1000000; // the collection ends once the line has answered (CollectUpToNow)
    // The device's pages are open, as its stored file gives them: the read asks for their keys.
    CTree models, storedFile;
    ASSERT_TRUE(ReadXmlToTree(dir.filePath(QStringLiteral("devices.xml")), models));
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/demo/tivron-2-5.DEV")), storedFile));
    CTreeNode *open = models.firstNode();
    while (open && open->text != QStringLiteral("Тиврон-2"))
        open = open->nextSibling();
    ASSERT_NE(open, nullptr);
    open->device()->device_addr = 5;
    form.BuildDevicePages(open, storedFile.firstNode(), true);
    form.CurrentDevice = open->shared();

    ASSERT_TRUE(ReadFromLine(form, QStringLiteral("Тиврон-2 <5>"))) << "the device was not listed or not read";
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_FALSE(ExchangeInProgress());
    EXPECT_EQ(form.Timer1.Interval(), 0);

    // The requests on the wire, in order.
    for (const char *request : {"85FF0400FF00000000000000", "85FF0401FF00000000000000", "85FF0402FF00000000000000",
                                "85FF0404FF00000000000000", "85FF0405FF00000000000000", "85FF0406FF00000000000000",
                                "85FF04030000000000000000", "85FF04030100000000000000", "85FF04030200000000000000"})
        EXPECT_TRUE(sim.WaitForLine(QStringLiteral("rx ") + QLatin1String(request), kSimWaitMs)) << request;

    // The answers of the keys asked for were collected with the rest (code digit pairs last first).
    QStringList received;
    for (const CanPacket &p : UsbCan.RxPackets)
        received << RecordText(p);
    for (const char *answer : {"100104030000F00504030201", "10010403010055AA44332211", "100104030200EFBE00000000"})
        EXPECT_TRUE(received.contains(QLatin1String(answer))) << answer;

    ASSERT_TRUE(form.CurrentDevice);
    EXPECT_EQ(form.CurrentDevice->text, QStringLiteral("Тиврон-2"));
    EXPECT_EQ(form.CurrentDevice->device()->device_addr, 5);
    EXPECT_TRUE(form.windowTitle().endsWith(QStringLiteral("Адрес-5")));

    // Each parameter page against the same table opened from the device's stored file.
    CTree stored;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/demo/tivron-2-5.DEV")), stored));
    CTreeNode *table = form.CurrentDevice->firstChild();
    int pagesChecked = 0;
    for (int i = 0; i < form.PageIds.size() && table; ++i, table = table->nextSibling()) {
        const auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(form.PageIds[i]),
                                                         form.PageControl, 3);
        if (!list)
            continue;
        SCOPED_TRACE(qPrintable(table->text));
        CParamPage fromFile, fromDescription;
        BuildParamRows(fromFile, table, true, ChildWithText(stored.firstNode(), table->text));
        BuildParamRows(fromDescription, table, false, nullptr);
        const CParamPage &read = list->Page();
        ASSERT_EQ(read.RowCount(), fromFile.RowCount());
        const bool loops = table->text == QStringLiteral("шлейфы");
        for (int r = 0; r < read.RowCount(); ++r) {
            const bool text = read.TypeCode(r) == tcText; // no byte of the answer carries it
            for (int c = 0; c < read.CellCount(r); ++c) {
                SCOPED_TRACE(qPrintable(QStringLiteral("%1 column %2").arg(read.Caption(r)).arg(c + 1)));
                const bool omitted = loops && c == 1;
                EXPECT_EQ(read.CellImage(r, c) == DefaultMarker, omitted || text);
                EXPECT_EQ(read.CellText(r, c), omitted ? fromDescription.CellText(r, c) : fromFile.CellText(r, c));
            }
        }
        ++pagesChecked;
    }
    EXPECT_EQ(pagesChecked, 6);

    // The key page shows the keys asked for with what the device stores for them.
    ASSERT_GE(form.PageIds.size(), 4);
    const auto *keys = FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + QString::number(form.PageIds[3]),
                                                   form.PageControl, 2);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(keys->items().count(), 3);
    const struct {
        int type;
        const char *code;
    } storedKeys[] = {{1, "0102030405F0"}, {2, "11223344AA55"}, {1, "00000000BEEF"}};
    for (int k = 0; k < 3; ++k) {
        const CKey *key = keys->items().topNode(k)->key();
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->key_type, storedKeys[k].type) << k;
        EXPECT_EQ(key->key_code, QLatin1String(storedKeys[k].code)) << k;
    }
    EXPECT_TRUE(keys->items().topNode(0)->key()->master);

    UsbCan.Disconnect();
    UsbCan.FreeDll();
    SetMessageDlgHook(nullptr);
    ConfigForm = nullptr;
    qunsetenv("TIVRON_CANBUS");
}
