// The key pages of the sample catalogue, filled from the stored fixture and from decoded answers.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <initializer_list>
#include <vector>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_page.h"
#include "editor/key_page_state.h"
#include "editor/main_form.h"
#include "model/config_loader.h"
#include "model/read_tree.h"
#include "tests/support/test_paths.h"

namespace {

CTreeNode *DeviceNamed(const CTree &catalogue, const QString &name)
{
    for (CTreeNode *d = catalogue.firstNode(); d; d = d->nextSibling())
        if (d->device() && d->device()->name == name)
            return d;
    return nullptr;
}

CKeyTreeView *KeyTree(TMainForm &form, QString *id = nullptr)
{
    for (int n : form.PageIds)
        if (auto *tree = FindComponent<CKeyTreeView>("tvKey" + QString::number(n), form.PageControl, 2)) {
            if (id)
                *id = QString::number(n);
            return tree;
        }
    return nullptr;
}

QStringList Texts(const CTree &tree)
{
    QStringList texts;
    for (const CTreeNode *n = tree.firstNode(); n; n = n->nextSibling())
        texts << n->text;
    return texts;
}

CanPacket Answer(int section, int wire, std::initializer_list<int> data)
{
    CanPacket p;
    p[0] = 0x10;
    p[1] = uint8_t(section);
    p[2] = uint8_t(wire);
    p[3] = 3;
    int k = 4;
    for (int b : data)
        p[k++] = uint8_t(b);
    return p;
}

struct KeyPageSamples : testing::Test {
    CTree catalogue;
    QStringList messages;
    void SetUp() override
    {
        ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
    }
    void TearDown() override { SetMessageDlgHook({}); }
};

} // namespace

TEST_F(KeyPageSamples, EveryModelsKeyPageAddsShowsAndEdits)
{
    for (CTreeNode *device = catalogue.firstNode(); device; device = device->nextSibling()) {
        SCOPED_TRACE(device->text.toStdString());
        TMainForm form;
        form.CurrentDevice = device->shared();
        form.BuildDevicePages(device, nullptr, false);
        QString n;
        CKeyTreeView *tree = KeyTree(form, &n);
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(tree->items().count(), 0);
        auto *master = FindComponent<QToolButton>("btnMaster" + n, form.PageControl, 3);
        EXPECT_EQ(master->isEnabled(), device->device()->device_id != 14);
        FindComponent<QToolButton>("btnKeyAdd" + n, form.PageControl, 3)->click();
        master->click(); // does nothing where the button is disabled
        const bool withMaster = master->isEnabled();
        ASSERT_EQ(tree->items().count(), withMaster ? 2 : 1);
        EXPECT_EQ(tree->items().firstNode()->text, withMaster ? "1. Мастер-ключ" : "1. <ключ> №1");
        EXPECT_EQ(FindComponent<QLabel>("labelKeyType" + n, form.PageControl, 4)->text(), "Тип ключа");

        const int last = tree->items().count() - 1;
        tree->selectNode(tree->items().topNode(last));
        auto *type = FindComponent<CComboBox>("editKeyType" + n, form.PageControl, 4);
        EXPECT_EQ(type->Text(), "Ключ ТМ");
        type->setCurrentIndex(1);
        const CKey *key = tree->items().topNode(last)->key();
        EXPECT_EQ(key->key_type, 2);
        EXPECT_EQ(key->hos_count, form.LoopCount);
        EXPECT_EQ(int(key->hos_chk.size()), 2 * form.LoopCount);
        tvKeyCustomDrawItem(form, tree);
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(KeyPageSamples, StoredFileFillsTheKeysWhenItsLoopCountMatches)
{
    CTree file;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("tests/model/fixtures/stored.DEV"), file));

    // Two loops, as the file's keys: both keys are copied.
    CTreeNode *two = DeviceNamed(catalogue, "Тиврон-2");
    TMainForm form;
    form.CurrentDevice = two->shared();
    form.BuildDevicePages(two, file.firstNode(), true);
    CKeyTreeView *tree = KeyTree(form);
    ASSERT_NE(tree, nullptr);
    const QString name = "<Склад \"Север\" & гараж/2> №7";
    EXPECT_EQ(Texts(tree->items()), (QStringList{"1. Мастер-ключ", "2. " + name}));
    const CKey *k = tree->items().topNode(1)->key();
    EXPECT_EQ(k->key_code, "0123456789AB");
    EXPECT_EQ(k->hos_chk, (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(k->KeyVz_Sn, 3);
    EXPECT_EQ(tree->State().MasterMark, 1);

    // Four loops in the description: the first key already differs, the list stays empty.
    CTreeNode *a = DeviceNamed(catalogue, "Тиврон-А");
    TMainForm formA;
    formA.CurrentDevice = a->shared();
    formA.BuildDevicePages(a, file.firstNode(), true);
    EXPECT_EQ(KeyTree(formA)->items().count(), 0);
}

TEST_F(KeyPageSamples, DecodedAnswersFillTheKeys)
{
    CTreeNode *a = DeviceNamed(catalogue, "Тиврон-А"); // address 1: wire address 0
    const std::vector<CanPacket> packets = {
        Answer(0, 0, {5, 0, 3, 0x05, 0x00, 0x0A, 0x00, 0}),
        Answer(1, 0, {5, 0, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}),
        Answer(0, 0, {0, 0, 2, 0, 0, 0, 0, 0}),
        Answer(1, 0, {0, 0, 0, 0, 0, 0, 0, 0xAB}),
    };
    CTree read;
    CTreeNode *values =
        BuildReadTree(read, *a, packets, {"1. Мастер-ключ", "2. <ключ> №5", "3. <ключ> №9", "4. <ключ>"});
    ASSERT_NE(values, nullptr);
    TMainForm form;
    form.CurrentDevice = a->shared();
    form.BuildDevicePages(a, values, true);
    CKeyTreeView *tree = KeyTree(form);
    ASSERT_NE(tree, nullptr);
    // Key 9 did not answer; the last key asked for number 0 again and is not a second master.
    EXPECT_EQ(Texts(tree->items()), (QStringList{"1. Мастер-ключ", "2. <ключ> №5"}));
    const CKey *master = tree->items().topNode(0)->key();
    EXPECT_EQ(master->key_type, 2);
    EXPECT_EQ(master->key_code, "AB0000000000");
    const CKey *k5 = tree->items().topNode(1)->key();
    EXPECT_EQ(k5->key_type, 3);
    EXPECT_EQ(k5->key_code, "112233445566");
    // arm word 5: loops 1 and 3; disarm word 10: loops 2 and 4
    EXPECT_EQ(k5->hos_chk, (std::vector<bool>{true, false, true, false, false, true, false, true}));
}
