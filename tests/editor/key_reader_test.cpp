// Key codes for the key page's reader buttons: the desktop reader library and the key-code packet of
// a key reader on the line, over a fake adapter library.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_dll.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/catalogue_model.h"

namespace {

CanPacket Record(std::initializer_list<uint8_t> bytes)
{
    CanPacket r;
    std::size_t i = 0;
    for (uint8_t b : bytes)
        r[i++] = b;
    return r;
}

// The frame of a key reader as the library delivers it: identifier most significant byte first.
CanPacket KeyCodeFrame(uint8_t section, uint8_t wire, uint8_t subCode, std::vector<uint8_t> data)
{
    const uint32_t id = uint32_t(KeyCodePacketCommand) << 21 | uint32_t(section) << 13 | uint32_t(wire) << 5 | subCode;
    return Delivered(id, std::move(data));
}

// A pump whose pauses let the test put frames on the line: before pause k (1-based) onSleep(k) runs.
class LinePump : public FakePump {
public:
    void Sleep(unsigned ms) override
    {
        FakePump::Sleep(ms);
        if (onSleep)
            onSleep(int(sleeps.size()));
    }
    std::function<void(int)> onSleep;
};

// The key reader library with a key file of the test's own.
class KeyFile {
public:
    KeyFile() { qputenv("TIVRON_KEYREADER", QFile::encodeName(dir.filePath(QStringLiteral("key.txt")))); }
    ~KeyFile() { qunsetenv("TIVRON_KEYREADER"); }
    void Lay(const QByteArray &text)
    {
        QFile file(dir.filePath(QStringLiteral("key.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    void Take() { QFile::remove(dir.filePath(QStringLiteral("key.txt"))); }

private:
    QTemporaryDir dir;
};

QString KeyDllPath() { return BinaryPath(QStringLiteral("bin/DLL/libKeyDLL.so")); }

class LineReadTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        SetLinkPump(&linePump);
    }
    LinePump linePump;
};

} // namespace

TEST(KeyReader, ReaderTextGivesTheInnerBytesReversed)
{
    const struct {
        const char *text, *code;
    } cases[] = {
        {"010C0B0A090807FF", "0708090A0B0C"}, // b6 .. b1; b0 and b7 nowhere
        {"112233445566778899", "776655443322"}, // longer: pairs 6 .. 1 of what is left, the rest nowhere
        {"01AABBCCFF", "CCBBAA"},
        {"0102030", "002"},                   // an odd end adds its last character
        {"01AAFF", "AA"},
        {"01FF", ""},
        {"0", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KeyCodeFromReaderText(QLatin1String(c.text)), QLatin1String(c.code)) << c.text;
}

// ./run.sh lays this key on the demo's reader.
TEST(KeyReader, TheDemoKeyReadsAsItsCode)
{
    ASSERT_TRUE(LoadKeyDllFrom(KeyDllPath()));
    qputenv("TIVRON_KEYREADER", QFile::encodeName(SourcePath(QStringLiteral("data/demo-key.txt"))));
    EXPECT_EQ(ReadKeyCode(), "0708090A0B0C");
    qunsetenv("TIVRON_KEYREADER");
    FreeKeyDll();
}

TEST(KeyReader, KeyCodePacketGivesDataBytesSixDownToOne)
{
    EXPECT_EQ(KeyCodeFromPacket(Record({0x46, 0x12, 0x34, 0x1F, 0xA0, 0x01, 0x02, 0x03, 0x04, 0x0A, 0xBC, 0xEF})),
              "BC0A04030201");
}

TEST(KeyReader, ReadsThroughTheLibraryEachTime)
{
    ASSERT_TRUE(LoadKeyDllFrom(KeyDllPath()));
    KeyFile key;
    key.Lay("010C0B0A090807FF");
    EXPECT_EQ(ReadKeyCode(), "0708090A0B0C");
    key.Lay("00665544332211EE");
    EXPECT_EQ(ReadKeyCode(), "112233445566");
    key.Take();
    EXPECT_EQ(ReadKeyCode(), "Ошибка - 3");
    key.Lay("");
    EXPECT_EQ(ReadKeyCode(), "Ошибка - 4");
    FreeKeyDll();
    EXPECT_EQ(KeyDllHandle, nullptr);

    // A library without the two entry points is never called.
    ASSERT_TRUE(LoadKeyDllFrom(BinaryPath(QStringLiteral("bin/DLL/libUsbCAN.so"))));
    EXPECT_EQ(ReadKeyCode(), "Ошибка - -1");
    FreeKeyDll();
    EXPECT_FALSE(LoadKeyDllFrom(BinaryPath(QStringLiteral("bin/DLL/missing.so"))));
    EXPECT_EQ(KeyDllHandle, nullptr);
    EXPECT_EQ(ReadKeyCode(), "Ошибка - -1");
}

TEST_F(LineReadTest, ConnectsAndTakesTheFirstKeyCodePacketFromAnyAddress)
{
    // Other commands go pass by pass; the first key-code packet wins, whatever its identifier.
    g_fake.rx = {Delivered(0x10 << 21, {1, 2, 3, 4, 5, 6, 7, 8})};
    UsbCan.RxPackets.push_back(Record({0x46, 0, 0, 0, 0, 9, 9, 9, 9, 9, 9, 0})); // old: cleared first
    linePump.onSleep = [](int pause) {
        if (pause == 2) {
            g_fake.rx.push_back(Delivered(0x20u << 21));
            g_fake.rx.push_back(KeyCodeFrame(0xFF, 0x7E, 0x1F, {0xEE, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xDD}));
            g_fake.rx.push_back(KeyCodeFrame(0x00, 0x00, 0x00, {0, 1, 1, 1, 1, 1, 1, 0}));
        }
    };
    QString code;
    ASSERT_TRUE(ReadKeyCodeFromLine(code));
    EXPECT_EQ(code, "665544332211");
    EXPECT_EQ(g_fake.connects, 1);
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_EQ(linePump.statuses, (std::vector<Status>{{"Соединяемся...", 1}, {"Соединение прошло успешно", 0}}));
    EXPECT_EQ(linePump.sleeps, (std::vector<unsigned>{1000, 1000}));
    EXPECT_EQ(linePump.passes, 0); // the passes let no messages through
    EXPECT_TRUE(UsbCan.RxPackets.empty());
}

TEST_F(LineReadTest, FivePassesWithoutAPacketChangeNothing)
{
    UsbCan.Connected = true;
    linePump.onSleep = [](int) { g_fake.rx.push_back(Delivered(0x47u << 21, {0, 1, 2, 3, 4, 5, 6, 7})); };
    QString code = QStringLiteral("unchanged");
    EXPECT_FALSE(ReadKeyCodeFromLine(code));
    EXPECT_EQ(code, "unchanged");
    EXPECT_EQ(g_fake.connects, 0);
    EXPECT_TRUE(linePump.statuses.empty()); // already connected: no progress text
    EXPECT_EQ(linePump.sleeps, std::vector<unsigned>(5, 1000));
    EXPECT_TRUE(UsbCan.RxPackets.empty());
    EXPECT_TRUE(UsbCan.Connected);
}

TEST_F(LineReadTest, AFailedConnectionEndsAtOnce)
{
    g_fake.connectCode = 4;
    g_fake.rx = {KeyCodeFrame(0, 0, 0, {0, 1, 2, 3, 4, 5, 6, 7})};
    QString code;
    EXPECT_FALSE(ReadKeyCodeFromLine(code));
    EXPECT_EQ(linePump.statuses, (std::vector<Status>{{"Соединяемся...", 1}}));
    EXPECT_TRUE(linePump.sleeps.empty());
    EXPECT_EQ(g_fake.drains, 0);
    EXPECT_FALSE(UsbCan.Connected);
}

namespace {

// A key page of "Тиврон-АСПТ" (the master key allowed) with the master key and one other key.
class ReaderButtonTest : public LineReadTest {
protected:
    void SetUp() override
    {
        LineReadTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        ASSERT_FALSE(CopySampleCatalogue(dir).isEmpty());
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(dir.path()), ConfigForm->tvConfig));
        CTreeNode *device = nullptr;
        device = CatalogueModel(QStringLiteral("Тиврон-АСПТ"));
        ASSERT_TRUE(device);
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, nullptr, false);
        int i = 0;
        for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i)
            if (t->table() && t->table()->type == QStringLiteral("key"))
                n = QString::number(form->PageIds[i]);
        ASSERT_FALSE(n.isEmpty());
        tree = FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + n, form->PageControl, 3);
        ASSERT_TRUE(tree);
        Button(QStringLiteral("btnMaster"))->click();
        Button(QStringLiteral("btnKeyAdd"))->click();
        ASSERT_EQ(tree->items().count(), 2);
    }
    void TearDown() override
    {
        FreeKeyDll();
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetMessageDlgHook(nullptr);
        LineReadTest::TearDown();
    }

    QToolButton *Button(const QString &prefix) { return FindComponent<QToolButton>(prefix + n, form->PageControl, 4); }
    CLineEdit *Edit(const QString &prefix) { return FindComponent<CLineEdit>(prefix + n, form->PageControl, 4); }
    CKey *Key(int i) { return tree->items().topNode(i)->key(); }
    void Select(int i) { tree->selectNode(tree->items().topNode(i)); }

    QTemporaryDir dir;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    CKeyTreeView *tree = nullptr;
    QString n;
    QStringList messages;
};

} // namespace

TEST_F(ReaderButtonTest, DesktopReaderFillsThePanelsKey)
{
    ASSERT_TRUE(LoadKeyDllFrom(KeyDllPath()));
    KeyFile key;
    key.Lay("010C0B0A090807FF");
    Select(0);
    Button(QStringLiteral("btnMaKNumber"))->click();
    EXPECT_EQ(Edit(QStringLiteral("editMaKNumber"))->Text(), "0708090A0B0C");
    EXPECT_EQ(Key(0)->key_code, "0708090A0B0C");

    key.Lay("00665544332211EE");
    Select(1);
    Button(QStringLiteral("btnKeyNumber"))->click();
    EXPECT_EQ(Key(1)->key_code, "112233445566");
    EXPECT_EQ(Key(0)->key_code, "0708090A0B0C");

    // An error reaches the status bar, never the key.
    key.Take();
    Button(QStringLiteral("btnKeyNumber"))->click();
    EXPECT_EQ(form->StatusText(), "Ошибка - 3 при считывании ключа");
    EXPECT_EQ(Key(1)->key_code, "112233445566");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(g_fake.connects, 0); // the line is not asked
}

TEST_F(ReaderButtonTest, TheReadCodeReplacesTheKeysCode)
{
    ASSERT_TRUE(LoadKeyDllFrom(KeyDllPath()));
    KeyFile key;
    Select(1);
    Edit(QStringLiteral("editKeyNumber"))->SetText(QStringLiteral("ABCDEF012345"));
    EXPECT_EQ(Key(1)->key_code, "ABCDEF012345");
    key.Lay("0000000000000000");
    Button(QStringLiteral("btnKeyNumber"))->click();
    EXPECT_EQ(Key(1)->key_code, "000000000000");
}

TEST_F(ReaderButtonTest, WithoutTheLibraryTheLineGivesTheCode)
{
    ASSERT_EQ(KeyDllHandle, nullptr);
    Select(1);
    linePump.onSleep = [](int pause) {
        if (pause == 1)
            g_fake.rx.push_back(KeyCodeFrame(0x01, 0x02, 0x03, {0xEE, 0x0C, 0x0B, 0x0A, 0x09, 0x08, 0x07, 0xDD}));
    };
    Button(QStringLiteral("btnKeyNumber"))->click();
    EXPECT_EQ(Edit(QStringLiteral("editKeyNumber"))->Text(), "0708090A0B0C");
    EXPECT_EQ(Key(1)->key_code, "0708090A0B0C");
    EXPECT_EQ(g_fake.connects, 1);

    // Nothing on the line: after five passes the key keeps its code.
    linePump.onSleep = nullptr;
    linePump.sleeps.clear();
    Select(0);
    Button(QStringLiteral("btnMaKNumber"))->click();
    EXPECT_EQ(linePump.sleeps.size(), 5u);
    EXPECT_EQ(Key(0)->key_code, "000000000000");
    EXPECT_TRUE(messages.isEmpty());
}
