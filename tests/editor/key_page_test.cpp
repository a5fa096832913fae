#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_page.h"
#include "editor/key_page_state.h"
#include "editor/main_form.h"
#include "key_page_fixture.h"
#include "pages_fixture.h"
#include "tests/support/focus_check.h"

using namespace pages_fixture;
using namespace key_page_fixture;

namespace {

struct Messages {
    QStringList texts;
    Messages()
    {
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            texts << text;
            return int(mrOk);
        });
    }
    ~Messages() { SetMessageDlgHook({}); }
};

// A device with the loop table first (loops columns) or after the key table, a key table of the given
// capacity whose key types carry values 1, 2 and 5, and a values tree of stored keys.
struct KeyDevice {
    CTree tree;
    CTreeNode *device;
    CTree values;
    CTreeNode *valuesDevice;
    KeyDevice(int loops, int capacity, bool loopsFirst = true, int deviceId = 14)
    {
        device = AddDevice(tree, "Тиврон-А", 1, deviceId);
        if (loopsFirst)
            AddLoopTable(loops);
        CTreeNode *keys = AddTable(tree, device, "Таблица ключей", "key", 1, {}, 40, capacity);
        AddParameter(tree, keys, "Номер ключа", "числовой", "0", 0, 65535);
        CTreeNode *type = AddParameter(tree, keys, "Тип ключа", "список", "1");
        AddItem(tree, type, "Ключ ТМ", "1");
        AddItem(tree, type, "Карта", "2");
        AddItem(tree, type, "Брелок", "5");
        if (!loopsFirst)
            AddLoopTable(loops);
        valuesDevice = AddDevice(values, "Тиврон-А", 1, deviceId);
    }
    void AddLoopTable(int loops)
    {
        QStringList addresses;
        for (int c = 1; c <= loops; ++c)
            addresses << QString::number(c, 16);
        CTreeNode *t = AddTable(tree, device, "Шлейфы", "table", loops, addresses);
        AddParameter(tree, t, "Номер", "sys", "0");
        CTreeNode *type = AddParameter(tree, t, "Тип шлейфа", "список", "2");
        AddItem(tree, type, "Охранный", "1");
        AddItem(tree, type, "Пожарный", "2");
    }
    void Build(TMainForm &form, const std::vector<FileKey> &keys = {})
    {
        form.CurrentDevice = device->shared();
        if (keys.empty()) {
            form.BuildDevicePages(device, nullptr, false);
            return;
        }
        AddFileKeyTable(values, keys, valuesDevice);
        form.BuildDevicePages(device, valuesDevice, true);
    }
};

// The controls of the key page n of a form.
struct Page {
    TMainForm &form;
    QString n;
    template <class T>
    T *Get(const QString &prefix, int depth = 4) const
    {
        return FindComponent<T>(prefix + n, form.PageControl, depth);
    }
    CKeyTreeView *Tree() const { return Get<CKeyTreeView>("tvKey"); }
    CTreeNode *Node(int i) const { return Tree()->items().topNode(i); }
    CKey *Key(int i) const { return Node(i)->key(); }
    void Select(int i) const { Tree()->selectNode(Node(i)); }
    QWidget *Master() const { return Get<QWidget>("panMasterKey"); }
    QWidget *Other() const { return Get<QWidget>("panOtherKey"); }
    void Click(const QString &prefix) const { Get<QToolButton>(prefix)->click(); }
};

Page KeyPageOf(TMainForm &form, int tableIndex) { return {form, QString::number(form.PageIds.at(tableIndex))}; }

} // namespace

TEST(KeyPage, ControlsNamesAndOwners)
{
    KeyDevice d(4, 8);
    TMainForm form;
    d.Build(form);
    const Page p = KeyPageOf(form, 1);
    const QObject *root = form.PageControl;
    EXPECT_EQ(form.KeyCount, 8);
    for (const char *name : {"tb", "sp", "tvKey", "panKey"})
        EXPECT_NE(FindComponentByName(name + p.n, root, 2), nullptr) << name;
    for (const char *name : {"btnKeySave", "btnKeyLoad", "btnKeyRemove", "btnKeyAdd", "btnMaster", "panMasterKey",
                             "panOtherKey"}) {
        EXPECT_EQ(FindComponentByName(name + p.n, root, 2), nullptr) << name;
        EXPECT_NE(FindComponentByName(name + p.n, root, 3), nullptr) << name;
    }
    QObject *other = p.Other();
    for (const char *name : {"editKeyName", "editKeyNo", "labelKeyNo", "editKeyType", "labelKeyType", "editKeyNumber",
                             "btnKeyNumber"})
        EXPECT_NE(FindComponentByName(name + p.n, other, 1), nullptr) << name;
    for (const char *name : {"labMK", "editMaKNumber", "btnMaKNumber"})
        EXPECT_NE(FindComponentByName(name + p.n, p.Master(), 1), nullptr) << name;
    EXPECT_EQ(p.Get<QToolButton>("btnKeySave")->toolTip(), "Загрузить ключ в прибор");
    EXPECT_EQ(p.Get<QToolButton>("btnMaster")->toolTip(), "Добавить МАСТЕР-ключ");
    EXPECT_FALSE(p.Get<QToolButton>("btnMaster")->isEnabled()); // device type 14
    EXPECT_EQ(p.Get<QLabel>("labelKeyType")->text(), "Тип ключа");
    auto *type = p.Get<CComboBox>("editKeyType");
    ASSERT_EQ(type->count(), 3);
    EXPECT_EQ(type->ItemIndex(), 0);
    EXPECT_EQ(p.Get<CSpinEdit>("editKeyNo")->MaxValue(), 8);
    EXPECT_EQ(p.Get<CLineEdit>("editMaKNumber")->Text(), "000000000000");

    auto *gb = FindComponent<QGroupBox>("gbKeyHos", other, 1);
    ASSERT_NE(gb, nullptr);
    EXPECT_EQ(gb->title(), " Шлейфы сигнализации ");
    EXPECT_EQ(gb->height(), 24 * 4 + 40);
    for (int k = 1; k <= 8; ++k) {
        auto *box = FindComponent<CCheckBox>("chkHos" + p.n + "_" + QString::number(k), other, 2);
        ASSERT_NE(box, nullptr) << k;
        EXPECT_EQ(box->text(), "ШС" + QString::number(k <= 4 ? k : k - 4));
        EXPECT_EQ(box->x(), k <= 4 ? 8 : 8 + box->width()); // arm column, then disarm column
        EXPECT_GE(box->width(), std::max(50, box->sizeHint().width()));
    }
    EXPECT_EQ(FindComponentByName("chkHos" + p.n + "_9", other, 2), nullptr);
    for (int r = 3; r <= 6; ++r)
        EXPECT_NE(FindComponentByName("gblabelType" + QString::number(r) + "_" + p.n, gb, 1), nullptr) << r;
    EXPECT_EQ(FindComponentByName("gbKeyVz_Sn", other, 1), nullptr);

    EXPECT_TRUE(p.Master()->isHidden());
    EXPECT_TRUE(p.Other()->isHidden());
    EXPECT_EQ(p.Tree()->selectedNode(), nullptr);

    // A key table before the loop table is built without loops; another model type enables the master.
    KeyDevice d2(4, 8, false, 10);
    TMainForm form2;
    d2.Build(form2);
    const Page p2 = KeyPageOf(form2, 0);
    EXPECT_NE(FindComponent<QGroupBox>("gbKeyVz_Sn", p2.Other(), 1), nullptr);
    EXPECT_NE(FindComponentByName("chkKeyVz_Sn" + p2.n + "_1", p2.Other(), 2), nullptr);
    EXPECT_EQ(p2.Get<CSpinEdit>("CSpinKeyLocLevel")->MaxValue(), 99);
    EXPECT_EQ(FindComponentByName("gbKeyHos", p2.Other(), 1), nullptr);
    EXPECT_TRUE(p2.Get<QToolButton>("btnMaster")->isEnabled());
}

TEST(KeyPage, MoreThanSixteenLoopsWarnsOnceAndHoldsSixteen)
{
    Messages messages;
    KeyDevice d(20, 8);
    AddTable(d.tree, d.device, "Таблица ключей 2", "key", 1, {}, 40, 4);
    TMainForm form;
    d.Build(form);
    EXPECT_EQ(messages.texts, QStringList{"Количество шлейфов более 16. Возможно, ошибка в файле параметров."});
    EXPECT_EQ(form.LoopCount, 16);
    EXPECT_EQ(form.KeyCount, 4); // the last key table built sets it
    for (int table : {1, 2}) {
        const Page p = KeyPageOf(form, table);
        QObject *gb = FindComponentByName("gbKeyHos", p.Other(), 1);
        EXPECT_NE(FindComponentByName("chkHos" + p.n + "_32", gb, 1), nullptr);
        EXPECT_EQ(FindComponentByName("chkHos" + p.n + "_33", gb, 1), nullptr);
        EXPECT_EQ(dynamic_cast<QWidget *>(gb)->height(), 24 * 16 + 40);
    }
    const Page p = KeyPageOf(form, 1);
    p.Click("btnKeyAdd");
    EXPECT_EQ(p.Key(0)->hos_count, 16);
    EXPECT_EQ(p.Key(0)->hos_chk.size(), 32u);
}

TEST(KeyPage, ButtonsAddAndRemove)
{
    KeyDevice d(2, 3, true, 10);
    TMainForm form;
    d.Build(form);
    const Page p = KeyPageOf(form, 1);
    for (int i = 0; i < 3; ++i)
        p.Click("btnKeyAdd");
    p.Click("btnMaster");
    p.Click("btnKeyAdd");
    EXPECT_EQ(TopTexts(p.Tree()->items()), (QStringList{"1. Мастер-ключ", "2. <ключ> №1", "3. <ключ> №1"}));
    EXPECT_EQ(p.Tree()->selectedNode(), nullptr); // new keys are not selected
    EXPECT_TRUE(p.Other()->isHidden());

    p.Select(1);
    EXPECT_TRUE(p.Master()->isHidden());
    EXPECT_FALSE(p.Other()->isHidden());
    p.Click("btnKeyRemove");
    EXPECT_EQ(TopTexts(p.Tree()->items()), (QStringList{"1. Мастер-ключ", "2. <ключ> №1"}));
    EXPECT_EQ(p.Tree()->selectedNode(), p.Node(1)); // the next key is shown
    p.Click("btnKeyRemove");
    EXPECT_EQ(p.Tree()->selectedNode(), p.Node(0)); // at the end, the previous one
    EXPECT_FALSE(p.Master()->isHidden());
    EXPECT_TRUE(p.Other()->isHidden());
    p.Click("btnKeyRemove");
    EXPECT_EQ(p.Tree()->items().count(), 0);
    EXPECT_TRUE(p.Master()->isHidden());
    EXPECT_TRUE(p.Other()->isHidden());
    EXPECT_EQ(p.Tree()->State().MasterMark, 0);
    p.Click("btnKeyRemove"); // nothing selected: nothing happens
}

TEST(KeyPage, ShowingAKeyWritesItsValuesBack)
{
    KeyDevice d(2, 3);
    TMainForm form;
    d.Build(form, {{1, "Мастер-ключ", 2, {false, false, false, false}, 2, "112233445566"},
                   {2, "<a> №9", 2, {true, false, false, true}, 5, "ABCDEF012345"},
                   {3, "<b> №2", 2, {false, true, true, false}, 4, "000000000001"}});
    form.show();
    form.PageControl->setCurrentIndex(1);
    const Page p = KeyPageOf(form, 1);
    auto *name = p.Get<CLineEdit>("editKeyName");
    auto *number = p.Get<CSpinEdit>("editKeyNo");
    auto *type = p.Get<CComboBox>("editKeyType");
    auto *code = p.Get<CLineEdit>("editKeyNumber");

    p.Select(0);
    EXPECT_FALSE(p.Master()->isHidden());
    EXPECT_TRUE(p.Other()->isHidden());
    EXPECT_EQ(p.Get<CLineEdit>("editMaKNumber")->Text(), "112233445566");

    // Number 9 above the capacity 3: shown as 3 and written back as 3.
    p.Select(1);
    EXPECT_TRUE(p.Master()->isHidden());
    EXPECT_FALSE(p.Other()->isHidden());
    EXPECT_EQ(name->Text(), "a");
    EXPECT_EQ(number->Value(), 3);
    EXPECT_EQ(p.Key(1)->name, "<a> №3");
    EXPECT_EQ(p.Node(1)->text, "2. <a> №3");
    EXPECT_EQ(type->ItemIndex(), 2); // value 5
    EXPECT_EQ(code->Text(), "ABCDEF012345");
    const std::vector<bool> shown = {true, false, false, true};
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(FindComponent<CCheckBox>("chkHos" + p.n + "_" + QString::number(k), p.Other(), 2)->Checked(),
                  shown[size_t(k - 1)]);

    // Type 4 matches no entry: the list keeps showing the last type, and nothing is written.
    p.Select(2);
    EXPECT_EQ(type->ItemIndex(), 2);
    EXPECT_EQ(p.Key(2)->key_type, 4);
    EXPECT_EQ(p.Key(2)->name, "<b> №2");
    // The engineer's choice writes the entry's value, not its position.
    type->setCurrentIndex(0);
    EXPECT_EQ(p.Key(2)->key_type, 1);
    type->setCurrentIndex(2);
    EXPECT_EQ(p.Key(2)->key_type, 5);

    // A typed ">" ends the shown name the next time; the name is rebuilt from what is shown.
    name->setFocus();
    name->end(false);
    QTest::keyClicks(name, ">x");
    EXPECT_EQ(p.Key(2)->name, "<b>x> №2");
    EXPECT_EQ(p.Node(2)->text, "3. <b>x> №2");
    p.Select(1);
    p.Select(2);
    EXPECT_EQ(name->Text(), "b");
    EXPECT_EQ(p.Key(2)->name, "<b> №2");

    // Edits go into the selected record.
    code->SetText("FFFFFFFFFFFF");
    FindComponent<CCheckBox>("chkHos" + p.n + "_4", p.Other(), 2)->click();
    number->SetValue(1);
    EXPECT_EQ(p.Key(2)->key_code, "FFFFFFFFFFFF");
    EXPECT_EQ(p.Key(2)->hos_chk, (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(p.Node(2)->text, "3. <b> №1");
    EXPECT_EQ(p.Key(1)->key_code, "ABCDEF012345");

    // A stored code longer than the typing limit is shown and kept whole.
    p.Key(1)->key_code = "0123456789ABCDEF";
    p.Select(1);
    EXPECT_EQ(p.Key(1)->key_code, "0123456789ABCDEF");
}

TEST(KeyPage, SmallCapacitiesShowTheNumberUnchanged)
{
    for (int capacity : {1, 0, -2}) {
        SCOPED_TRACE(capacity);
        KeyDevice d(1, capacity);
        TMainForm form;
        d.Build(form, {{2, "<a> №5", 1, {}}});
        const Page p = KeyPageOf(form, 1);
        p.Select(0);
        EXPECT_EQ(p.Get<CSpinEdit>("editKeyNo")->Value(), 5);
        EXPECT_EQ(p.Key(0)->name, "<a> №5");
    }
}

TEST(KeyPage, KeyFunctionsAndLocalLevelWithoutLoops)
{
    KeyDevice d(0, 8, false);
    TMainForm form;
    d.Build(form, {{2, "<a> №5", 0, {}, 1, "000000000000", 2, 200}, {3, "<b> №6", 0, {}, 1, "000000000000", 1, 7}});
    const Page p = KeyPageOf(form, 0);
    p.Select(0);
    auto *arm = FindComponent<CCheckBox>("chkKeyVz_Sn" + p.n + "_0", p.Other(), 2);
    auto *disarm = FindComponent<CCheckBox>("chkKeyVz_Sn" + p.n + "_1", p.Other(), 2);
    auto *level = p.Get<CSpinEdit>("CSpinKeyLocLevel");
    EXPECT_FALSE(arm->Checked());
    EXPECT_TRUE(disarm->Checked());
    EXPECT_EQ(level->Value(), 99);
    EXPECT_EQ(p.Key(0)->KeyLocLevel, 99);
    arm->click();
    EXPECT_EQ(p.Key(0)->KeyVz_Sn, 3);
    p.Select(1);
    EXPECT_EQ(p.Key(1)->KeyVz_Sn, 1);
    EXPECT_EQ(p.Key(1)->KeyLocLevel, 7);
    EXPECT_EQ(p.Key(0)->KeyVz_Sn, 3);
}

TEST(KeyPage, ShowingAKeyWithABadNumberFillsTheNameAndStops)
{
    KeyDevice d(1, 8);
    TMainForm form;
    d.Build(form, {{2, "<a> №5", 1, {true, false}}, {3, "<zz> №x", 1, {false, true}}});
    Messages messages;
    const Page p = KeyPageOf(form, 1);
    p.Select(0);
    p.Select(1);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(p.Get<CLineEdit>("editKeyName")->Text(), "zz");
    EXPECT_EQ(p.Get<CSpinEdit>("editKeyNo")->Value(), 5);
    EXPECT_TRUE(FindComponent<CCheckBox>("chkHos" + p.n + "_1", p.Other(), 2)->Checked()); // not reached
}

TEST(KeyPage, LoopTypeLabelsReadTheFirstParameterPage)
{
    KeyDevice d(3, 8);
    TMainForm form;
    d.Build(form, {{2, "<a> №5", 3, {}}});
    const Page p = KeyPageOf(form, 1);
    QObject *gb = FindComponentByName("gbKeyHos", p.Other(), 1);
    auto label = [&](int r) {
        return FindComponent<QLabel>("gblabelType" + QString::number(r + 2) + "_" + p.n, gb, 1)->text();
    };
    tvKeyCustomDrawItem(form, p.Tree()); // nothing selected: nothing changes
    EXPECT_EQ(label(1), "-");
    p.Select(0);
    form.show();
    form.PageControl->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    p.Tree()->viewport()->repaint(); // the labels follow every repaint of the tree
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(label(r), "- Пожарный") << r;

    // A first parameter page without that row: the labels show no type, and nothing is reported.
    Messages messages;
    KeyDevice d2(3, 8);
    auto zonesTable = std::make_shared<CTable>();
    zonesTable->name = "Зоны";
    zonesTable->type = "table";
    zonesTable->columns = 1;
    zonesTable->tab_addr = {"01"};
    CTreeNode *zones = d2.device->insertChild(0, "Зоны", zonesTable);
    AddParameter(d2.tree, zones, "Задержка", "числовой", "10");
    TMainForm form2;
    d2.Build(form2, {{2, "<a> №5", 3, {}}});
    const Page p2 = KeyPageOf(form2, 2);
    p2.Select(0);
    tvKeyCustomDrawItem(form2, p2.Tree());
    QObject *gb2 = FindComponentByName("gbKeyHos", p2.Other(), 1);
    EXPECT_EQ(FindComponent<QLabel>("gblabelType3_" + p2.n, gb2, 1)->text(), "-");
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(KeyPage, HandlerNamesTakeTheIdAfterThePrefix)
{
    EXPECT_EQ(KeyPageId("chkKeyVz_Sn12_1", "chkKeyVz_Sn"), 12);
    EXPECT_EQ(KeyNameTail("chkKeyVz_Sn12_1", "chkKeyVz_Sn"), "1");
    EXPECT_EQ(KeyPageId("chkHos7_15", "chkHos"), 7);
    EXPECT_EQ(KeyNameTail("chkHos7_15", "chkHos"), "15");
    EXPECT_EQ(KeyNameTail("chkHos7", "chkHos"), "");
    EXPECT_EQ(KeyPageId("tvKey3", "btnKeyAdd"), -1);
}

// The key's boxes select their whole text when the focus comes to them by code, so typing replaces it.
TEST(KeyPage, BoxesSelectTheirTextWhenFocusedByCode)
{
    KeyDevice d(2, 8, false); // built before the loop table: the page has the local level box
    TMainForm form;
    d.Build(form, {{1, "Мастер-ключ", 0, {}, 2, "112233445566"}, {2, "<склад> №4", 0, {}, 5, "ABCDEF012345", 0, 7}});
    form.show();
    const Page p = KeyPageOf(form, 0);
    const struct {
        int key;
        const char *box;
        const char *selected;
    } cases[] = {
        {0, "editMaKNumber", "112233445566"}, {1, "editKeyName", "склад"}, {1, "editKeyNo", "4"},
        {1, "editKeyNumber", "ABCDEF012345"}, {1, "CSpinKeyLocLevel", "7"},
    };
    for (const auto &c : cases) {
        p.Select(c.key);
        auto *box = p.Get<QWidget>(c.box, 6);
        ASSERT_NE(box, nullptr) << c.box;
        EXPECT_EQ(SelectedOnFocus(box), c.selected) << c.box;
    }
    auto *name = p.Get<CLineEdit>("editKeyName");
    SelectedOnFocus(name);
    QTest::keyClicks(name, "vhod");
    EXPECT_EQ(p.Key(1)->name, "<vhod> №4");
}

// Another window coming and going leaves a key box as the engineer left it, caret and all; a box the
// focus went to while the window was in the background is entered as the window comes back.
TEST(KeyPage, BoxesKeepTheirCaretWhenTheWindowComesBack)
{
    KeyDevice d(2, 8, false);
    TMainForm form;
    d.Build(form, {{1, "Мастер-ключ", 0, {}, 2, "112233445566"}, {2, "<склад> №4", 0, {}, 5, "ABCDEF012345", 0, 7}});
    const Page p = KeyPageOf(form, 0);
    p.Select(1);
    auto *name = p.Get<CLineEdit>("editKeyName");
    auto *number = p.Get<CLineEdit>("editKeyNumber");
    ASSERT_TRUE(name && number);
    ASSERT_EQ(SelectedOnFocus(name), "склад");
    QTest::keyClicks(name, "vh");
    QWidget other;
    auto away = [&] {
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    };
    auto back = [&] {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    };
    away();
    back();
    EXPECT_TRUE(name->hasFocus());
    EXPECT_FALSE(name->hasSelectedText());
    QTest::keyClicks(name, "od");
    EXPECT_EQ(p.Key(1)->name, "<vhod> №4");

    away();
    number->setFocus();
    back();
    EXPECT_TRUE(number->hasFocus());
    EXPECT_EQ(number->selectedText(), "ABCDEF012345");
}
