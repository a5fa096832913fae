// The write and the single-key handlers over a fake adapter library: what goes out, what is refused
// before the adapter is touched, and what a stopped list leaves on the pages.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/packet_text.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/catalogue_model.h"

namespace {

class WriteHandlerTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return answer;
        });
        SetWriteConfirmationHook([this](TSelectDeviceForm &) { return confirm; });
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(dir.path()), ConfigForm->tvConfig));
        device = CatalogueModel(QStringLiteral("Тиврон-2"));
        ASSERT_TRUE(device);
        device->device()->device_addr = 5;
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, nullptr, false);
        ASSERT_FALSE(form->PageIds.isEmpty());
    }
    void TearDown() override
    {
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetWriteConfirmationHook(nullptr);
        SetMessageDlgHook(nullptr);
        LinkTest::TearDown();
    }

    int PageOf(const QString &table)
    {
        int i = 0;
        for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i)
            if (t->text == table)
                return form->PageIds[i];
        return -1;
    }

    CParamPage &General()
    {
        auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ%1").arg(PageOf(QStringLiteral("Общие параметры"))),
                                                   form->PageControl, 3);
        EXPECT_TRUE(list);
        return list->Page();
    }

    QObject *KeyButton(const QString &prefix)
    {
        return FindComponentByName(prefix + QString::number(PageOf(QStringLiteral("Таблица ключей"))), form->PageControl, 3);
    }

    CKeyTreeView *Keys()
    {
        return FindComponent<CKeyTreeView>(QStringLiteral("tvKey%1").arg(PageOf(QStringLiteral("Таблица ключей"))),
                                           form->PageControl, 3);
    }

    // Adds a key on the key page and selects it.
    CKey *AddSelectedKey(const QString &code)
    {
        btnKeyAddClick(*form, KeyButton(QStringLiteral("btnKeyAdd")));
        CTreeNode *node = Keys()->items().topNode(Keys()->items().count() - 1);
        node->key()->key_code = code;
        Keys()->selectNode(node);
        return node->key();
    }

    static uint32_t Id(uint8_t command, uint8_t section, uint8_t sub) { return PacketIdentifier(command, section, 4, sub); }

    QStringList messages;
    int answer = mrOk;
    int confirm = mrOk;
    QTemporaryDir dir;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    CTreeNode *device = nullptr;
};

} // namespace

TEST_F(WriteHandlerTest, WholeListGoesOutThenTheDeviceIsReadBack)
{
    AddSelectedKey(QStringLiteral("0102030405AB"));
    const int pagesBefore = form->PageCounter;
    form->actWriteExecute();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    // Тиврон-2: two loop columns, one general column, two output columns, a key, the zones, the
    // system and the link tables, no password packet; then the end packet.
    ASSERT_GE(g_fake.sent.size(), 11u);
    EXPECT_EQ(g_fake.sent[0].identifier, Id(0x01, 2, 1));
    EXPECT_EQ(g_fake.sent[5].identifier, Id(0x01, 0, 3));
    EXPECT_EQ(g_fake.sent[6].identifier, Id(0x01, 1, 3));
    EXPECT_EQ(g_fake.sent[6].data, (std::vector<uint8_t>{1, 0, 0xAB, 5, 4, 3, 2, 1}));
    EXPECT_EQ(g_fake.sent[7].identifier, Id(0x01, 4, 4));
    EXPECT_EQ(g_fake.sent[10].identifier, Id(0x02, 0xFF, 0));
    EXPECT_EQ(g_fake.sent[10].data, std::vector<uint8_t>(8, 0));
    // The read-back's requests follow, and its collection has started.
    ASSERT_GT(g_fake.sent.size(), 11u);
    EXPECT_EQ(g_fake.sent[11].identifier >> 21, 0x85u);
    // It asks for the keys just written (key 1), not for the key list of the last read (none: FFFF).
    ASSERT_EQ(g_fake.sent.size(), 11u + 7u);
    EXPECT_EQ(g_fake.sent.back().identifier, PacketIdentifier(0x85, 0xFF, 4, 3));
    EXPECT_EQ(g_fake.sent.back().data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_GT(form->Timer1.Interval(), 0);
    EXPECT_EQ(form->PageCounter, pagesBefore); // the pages come with the collection's last tick
    form->Timer1.SetInterval(0);
    EndReadExchange();
}

TEST_F(WriteHandlerTest, AStoppedWriteIsAFailureAndKeepsTheEdits)
{
    CParamPage &general = General();
    ASSERT_TRUE(general.SetCellText(1, 0, QStringLiteral("45")));
    const int pagesBefore = form->PageCounter;
    g_fake.txCodes = {0, 9, 9, 9}; // the second packet fails all three attempts
    form->actWriteExecute();
    EXPECT_EQ(g_fake.sent.size(), 4u); // nothing after it, the end packet included
    EXPECT_EQ(messages, QStringList{WriteStoppedText});
    EXPECT_EQ(form->PageCounter, pagesBefore);
    EXPECT_EQ(form->Timer1.Interval(), 0); // no read-back
    EXPECT_EQ(General().CellText(1, 0), QStringLiteral("45"));
}

TEST_F(WriteHandlerTest, NothingIsSentForAWriteRefusedOrNotConfirmed)
{
    struct Case {
        const char *what;
        std::function<void()> prepare;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"a key code of eleven digits", [&] { AddSelectedKey(QStringLiteral("01020304050")); },
         {QStringLiteral("Код ключа '<ключ> №1' должен состоять из 12 шестнадцатеричных цифр: '01020304050'.")}},
        {"the dialog cancelled", [&] { confirm = mrCancel; }, {}},
        {"no open device", [&] { form->CurrentDevice.reset(); }, {NoDeviceDataText}},
    };
    for (const Case &c : cases) {
        messages.clear();
        c.prepare();
        form->actWriteExecute();
        EXPECT_EQ(messages, c.expected) << c.what;
        EXPECT_EQ(g_fake.connects, 0) << c.what;
        EXPECT_TRUE(g_fake.sent.empty()) << c.what;
    }
}

TEST_F(WriteHandlerTest, AStoppedKeyLoadIsNotReadBack)
{
    CKey *key = AddSelectedKey(QStringLiteral("0102030405AB"));
    g_fake.txCodes = {0, 9, 9, 9};
    btnKeySaveClick(*form, KeyButton(QStringLiteral("btnKeySave")));
    EXPECT_EQ(messages, (QStringList{QStringLiteral("Подтвердите, что хотите загрузить ключ в прибор"), KeyLoadStoppedText}));
    EXPECT_EQ(g_fake.sent.size(), 4u); // no end packet, no read request
    EXPECT_EQ(key->key_code, QStringLiteral("0102030405AB"));
}

TEST_F(WriteHandlerTest, KeyLoadNeedsASelectionConsentAndAnAddress)
{
    btnKeySaveClick(*form, KeyButton(QStringLiteral("btnKeySave")));
    btnKeyLoadClick(*form, KeyButton(QStringLiteral("btnKeyLoad")));
    EXPECT_EQ(messages, (QStringList{QStringLiteral("Не выбран ключ"), QStringLiteral("Не выбран ключ")}));

    AddSelectedKey(QStringLiteral("0102030405AB"));
    messages.clear();
    answer = mrCancel;
    btnKeySaveClick(*form, KeyButton(QStringLiteral("btnKeySave")));
    EXPECT_EQ(messages, QStringList{QStringLiteral("Подтвердите, что хотите загрузить ключ в прибор")});

    messages.clear();
    answer = mrOk;
    device->device()->device_addr = 0;
    btnKeyLoadClick(*form, KeyButton(QStringLiteral("btnKeyLoad")));
    EXPECT_EQ(messages, QStringList{BadRequestAddressText});
    EXPECT_EQ(g_fake.connects, 0);
    EXPECT_TRUE(g_fake.sent.empty());
}

TEST_F(WriteHandlerTest, KeyReadWithoutAnAnswerWarnsAndKeepsTheRecord)
{
    CKey *key = AddSelectedKey(QStringLiteral("0102030405AB"));
    // Answers already in the list before the request do not count: the list is cleared after it.
    CanPacket early0, early1;
    for (CanPacket *r : {&early0, &early1}) {
        (*r)[0] = 0x10;
        (*r)[2] = 4;
        (*r)[3] = 3;
        (*r)[4] = 1;
    }
    early1[1] = 1;
    UsbCan.RxPackets = {early0, early1};
    btnKeyLoadClick(*form, KeyButton(QStringLiteral("btnKeyLoad")));
    ASSERT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(g_fake.sent[0].identifier, PacketIdentifier(0x85, 0xFF, 4, 3));
    EXPECT_EQ(g_fake.sent[0].data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pump.passes, 4 * 500); // four waits of 1000
    EXPECT_EQ(messages, QStringList{NoKeyAnswerText});
    EXPECT_EQ(key->key_code, QStringLiteral("0102030405AB"));
}

// A new configuration cancelled leaves the window without pages: it names no device, and every
// command that takes the pages says so and sends and writes nothing.
TEST_F(WriteHandlerTest, WithoutPagesNoCommandTakesThem)
{
    EXPECT_EQ(form->windowTitle(), MainCaption + QStringLiteral("    прибор Тиврон-2  Адрес-5"));
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget()))
            dialog->btnCancel->click();
    });
    cancel.start(0);
    form->actNewFile->trigger();
    cancel.stop();
    ASSERT_EQ(form->PageControl->count(), 0);
    EXPECT_EQ(form->windowTitle(), MainCaption);
    EXPECT_FALSE(form->HasPages());

    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(out.path()));
    SetConfigFileDialogs({{}, [&](QWidget *) { return std::optional<QString>(out.filePath(QStringLiteral("conf"))); }});
    answer = mrYes; // a question would be answered
    UsbCan.Connected = true;
    const std::vector<std::pair<const char *, std::function<void()>>> commands = {
        {"Save", [&] { form->actSaveFile->trigger(); }},
        {"Write", [&] { form->actWrite->trigger(); }},
        {"the report", [&] { form->actExportWord->trigger(); }},
        {"the factory reset", [&] { form->DefaultSettings_Tivron_AClick(); }},
    };
    for (const auto &[what, run] : commands) {
        messages.clear();
        g_fake.sent.clear();
        run();
        EXPECT_EQ(messages, QStringList{NoDeviceDataText}) << what;
        EXPECT_TRUE(g_fake.sent.empty()) << what;
        EXPECT_EQ(g_fake.connects, 0) << what;
        EXPECT_TRUE(QDir(out.path()).isEmpty()) << what;
    }
    UsbCan.Connected = false;
    SetConfigFileDialogs({});
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
}
