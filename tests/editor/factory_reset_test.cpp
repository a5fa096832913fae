// The page menu's item states and the factory reset of the open device, over a fake adapter library.
#include <gtest/gtest.h>

#include <QAction>

#include <memory>

#include "app/message_dlg.h"
#include "editor/factory_reset.h"
#include "editor/main_form.h"
#include "model/config_tree.h"
#include "tests/link/fake_dll_fixture.h"

namespace {

class PageMenuTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons buttons) {
            asked.push_back({text, kind, buttons});
            if (kind == mtConfirmation)
                return answer;
            return int(mrOk);
        });
        form = std::make_unique<TMainForm>();
    }
    void TearDown() override
    {
        form.reset();
        SetMessageDlgHook(nullptr);
        LinkTest::TearDown();
    }

    void OpenDevice(int deviceId, int address)
    {
        auto d = std::make_shared<CDevice>();
        d->name = QStringLiteral("Тиврон-А");
        d->device_id = deviceId;
        d->device_addr = address;
        CTreeNode *node = tree.add(nullptr, d->name, d);
        auto table = std::make_shared<CTable>();
        table->type = QStringLiteral("table");
        tree.addChild(node, QStringLiteral("Общие параметры"), table);
        form->CurrentDevice = node->shared();
        form->BuildDevicePages(node, nullptr, false);
    }

    std::vector<bool> States()
    {
        form->PopupMenu1Popup();
        std::vector<bool> states;
        for (QAction *a : {form->ChangeAddrDevice, form->ChangeAddrSense, form->ChangeAddrModule,
                           form->DefaultSettings_Tivron_A})
            states.push_back(a->isEnabled());
        return states;
    }

    struct Asked {
        QString text;
        int kind;
        MsgButtons buttons;
    };
    CTree tree;
    std::unique_ptr<TMainForm> form;
    std::vector<Asked> asked;
    int answer = mrYes;
};

const QString kCaption = QStringLiteral("Установка заводских параметров (Тиврон-А)");

} // namespace

TEST(FactoryReset, PacketText)
{
    EXPECT_EQ(FactorySettingsPacketText(0), "00FF0000000000FF00000000");
    EXPECT_EQ(FactorySettingsPacketText(16), "00FF1000100000FF00000000");
    EXPECT_EQ(FactorySettingsPacketText(254), "00FFFE00FE0000FF00000000");
}

TEST_F(PageMenuTest, ItemsFollowTheConnectionAndTheDevice)
{
    using S = std::vector<bool>;
    EXPECT_EQ(States(), S(4, false));
    OpenDevice(14, 1);
    EXPECT_EQ(States(), S(4, false)); // not connected
    UsbCan.Connected = true;
    EXPECT_EQ(States(), S(4, true));
    OpenDevice(10, 1);
    EXPECT_EQ(States(), (S{true, true, true, false})); // enabled at the last opening, not now
    form->CurrentDevice.reset();
    EXPECT_EQ(States(), (S{true, true, true, false}));
    UsbCan.Connected = false;
    EXPECT_EQ(States(), S(4, false));
    EXPECT_EQ(form->DefaultSettings_Tivron_A->text(), kCaption);
}

TEST_F(PageMenuTest, FactoryResetAsksThenSendsOnePacket)
{
    UsbCan.Connected = true;
    OpenDevice(14, 17);
    form->DefaultSettings_Tivron_AClick();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, FactoryResetQuestionText);
    EXPECT_EQ(asked[0].kind, mtConfirmation);
    EXPECT_EQ(asked[0].buttons, MsgButtons(mbYes | mbNo));
    EXPECT_EQ(asked[1].text, "Команда 'Установка заводских параметров (Тиврон-А)' выполнена.");
    EXPECT_EQ(asked[1].kind, mtInformation);
    ASSERT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(g_fake.sent[0].identifier, (0xFFu << 13) | (0x10u << 5));
    EXPECT_EQ(g_fake.sent[0].data, (std::vector<uint8_t>{0x10, 0, 0, 0xFF, 0, 0, 0, 0}));
    EXPECT_EQ(g_fake.connects, 0); // the menu is open only while connected
    ASSERT_EQ(log.rows.size(), 1u);
    EXPECT_EQ(log.rows[0].id + log.rows[0].data, "00FF1000100000FF00000000");
}

TEST_F(PageMenuTest, AnswersAndRefusals)
{
    UsbCan.Connected = true;
    const struct {
        int answer, address, sendCode;
        std::size_t sent;
        const char *message; // the message after the question, or none
    } cases[] = {
        {mrNo, 1, 0, 0, nullptr},
        {mrCancel, 1, 0, 0, nullptr}, // the question closed without an answer
        {mrYes, 1, 5, 1, "Ошибка №5, команда 'Установка заводских параметров (Тиврон-А)' не выполнена."},
        {mrYes, 0, 0, 0, "Выбраный адрес не является корректным."},
        {mrYes, -3, 0, 0, "Выбраный адрес не является корректным."},
        // 256 would go to wire address FF, which every device takes as its own.
        {mrYes, 256, 0, 0, "Выбраный адрес не является корректным."},
        {mrYes, 255, 0, 1, "Команда 'Установка заводских параметров (Тиврон-А)' выполнена."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        g_fake.sent.clear();
        log.rows.clear();
        g_fake.txCodes = {c.sendCode};
        asked.clear();
        answer = c.answer;
        OpenDevice(14, c.address);
        form->DefaultSettings_Tivron_AClick();
        EXPECT_EQ(g_fake.sent.size(), c.sent);
        EXPECT_EQ(log.rows.size(), c.sent);
        ASSERT_EQ(asked.size(), c.message ? 2u : 1u);
        if (c.message) {
            EXPECT_EQ(asked[1].text, QString::fromUtf8(c.message));
            EXPECT_EQ(asked[1].kind, c.sendCode == 0 && c.sent ? mtInformation : mtError);
        }
    }
    // No device, or its pages gone: told so before any question, and nothing is sent.
    for (const bool keepDevice : {false, true}) {
        SCOPED_TRACE(keepDevice);
        OpenDevice(14, 1);
        form->FreePages();
        if (!keepDevice)
            form->CurrentDevice.reset();
        asked.clear();
        g_fake.sent.clear();
        answer = mrYes;
        form->DefaultSettings_Tivron_AClick();
        EXPECT_TRUE(g_fake.sent.empty());
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, "Нет данных, выберите прибор!");
        EXPECT_EQ(asked[0].kind, mtInformation);
        EXPECT_EQ(asked[0].buttons, MsgButtons(mbOK));
    }
}
