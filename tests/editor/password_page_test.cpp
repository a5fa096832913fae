#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include <vector>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/password_page.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "model/xml_document.h"
#include "pages_fixture.h"
#include "tests/support/focus_check.h"
#include "tests/support/test_paths.h"

using namespace pages_fixture;

namespace {
struct Message {
    QString text;
    int kind;
    MsgButtons buttons;
};

// A device with a loop table of the given width and a password table of the given capacity.
struct PassDevice {
    CTree tree;
    CTreeNode *device;
    CTreeNode *passTable;
    PassDevice(int loops, int capacity)
    {
        device = AddDevice(tree, "Тиврон-А", 3);
        CTreeNode *loopTable = AddTable(tree, device, "шлейфы", "table", loops);
        AddParameter(tree, loopTable, "Задержка", "числовой", "10");
        passTable = AddTable(tree, device, "Таблица паролей", "pass", 1, {}, 80, capacity);
    }
};

// The Pass lines a file save writes for the users of a page.
QByteArray SavedFile(CTreeView *tree)
{
    QString text = "<?xml version=\"1.0\"?>\n<Root><DeviceList><Device name=\"Тиврон-А\" version=\"3.0\" "
                   "device_id=\"14\" device_addr=\"3\"><Table type=\"pass\" name=\"Таблица паролей\">\n";
    for (int i = 0; i < tree->items().count(); ++i) {
        const CPass *p = tree->items().topNode(i)->pass();
        text += QString("<Pass id=\"%1\" name=\"%2\" password=\"%3\" administrator=\"%4\" disabled=\"%5\" "
                        "access=\"%6\" hos_key=\"%7\" hos_count=\"%8\">\n")
                    .arg(p->id)
                    .arg(p->name, p->password)
                    .arg(int(p->administrator))
                    .arg(int(p->disabled))
                    .arg(int(p->access))
                    .arg(int(p->hos_key))
                    .arg(p->hos_count);
        for (int k = 1; k <= p->hos_count; ++k)
            text += QString("<Pass_hos id=\"%1\" chk=\"%2\"></Pass_hos>\n").arg(k).arg(int(p->hos_chk[size_t(k - 1)]));
        text += "</Pass>\n";
    }
    text += "</Table></Device></DeviceList></Root>\n";
    return text.toUtf8();
}

class PasswordPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons buttons) {
            messages.push_back({text, kind, buttons});
            return int(mrOk);
        });
    }
    void TearDown() override { SetMessageDlgHook({}); }

    void Build(PassDevice &d, CTreeNode *valuesDevice = nullptr)
    {
        form.BuildDevicePages(d.device, valuesDevice, valuesDevice != nullptr);
        ASSERT_EQ(form.PageIds.size(), 2);
        id = QString::number(form.PageIds[1]);
        tree = Find<CTreeView>("tvPass", 2);
        ASSERT_NE(tree, nullptr);
    }
    template <class T>
    T *Find(const QString &prefix, int depth = 6) const
    {
        return FindComponent<T>(prefix + id, form.PageControl, depth);
    }
    CCheckBox *LoopBox(int k) const { return Find<CCheckBox>("chkPHos", 6, k); }
    template <class T>
    T *Find(const QString &prefix, int depth, int k) const
    {
        return FindComponent<T>(prefix + id + "_" + QString::number(k), form.PageControl, depth);
    }
    int LoopBoxCount() const
    {
        int k = 0;
        while (LoopBox(k + 1))
            ++k;
        return k;
    }
    CPass *User(int i) const { return tree->items().topNode(i)->pass(); }
    void Select(int i) { tree->selectNode(tree->items().topNode(i)); }
    QWidget *AdminPanel() const { return Find<QWidget>("panAdministratorPass", 3); }
    QWidget *OperatorPanel() const { return Find<QWidget>("panOperatorPass", 3); }

    TMainForm form;
    std::vector<Message> messages;
    QString id;
    CTreeView *tree = nullptr;
};
} // namespace

TEST_F(PasswordPage, BuiltWithoutValues)
{
    PassDevice d(6, 4);
    Build(d);
    EXPECT_EQ(form.PassCount, 4);
    EXPECT_EQ(form.LoopCount, 6);
    EXPECT_TRUE(messages.empty());

    ASSERT_EQ(tree->items().count(), 4);
    EXPECT_EQ(tree->items().topNode(3)->text, "Оператор 3");
    EXPECT_EQ(User(3)->id, 4);
    EXPECT_EQ(User(0)->hos_count, 6);
    EXPECT_EQ(tree->selectedNode(), nullptr);

    // Owners as the page is designed: sheet -> tree / panel -> user panels -> their controls.
    QObject *root = form.PageControl;
    EXPECT_NE(FindComponentByName("tb" + id, root, 2), nullptr);
    EXPECT_NE(FindComponentByName("sp" + id, root, 2), nullptr);
    EXPECT_NE(FindComponentByName("panPass" + id, root, 2), nullptr);
    EXPECT_EQ(FindComponentByName("panOperatorPass" + id, root, 2), nullptr);
    ASSERT_NE(AdminPanel(), nullptr);
    ASSERT_NE(OperatorPanel(), nullptr);
    EXPECT_TRUE(AdminPanel()->isHidden());
    EXPECT_TRUE(OperatorPanel()->isHidden());
    EXPECT_NE(FindComponentByName("labAP" + id, AdminPanel(), 1), nullptr);
    auto *adminEdit = FindComponent<CLabeledEdit>("editAdministratorPassword" + id, AdminPanel(), 1);
    ASSERT_NE(adminEdit, nullptr);
    EXPECT_EQ(adminEdit->Text(), "6039");
    EXPECT_EQ(adminEdit->MaxLength(), 16);
    EXPECT_EQ(adminEdit->EditLabel->text(), "Пароль");
    auto *opEdit = FindComponent<CLabeledEdit>("editOperatorPassword" + id, OperatorPanel(), 1);
    ASSERT_NE(opEdit, nullptr);
    EXPECT_TRUE(opEdit->Text().isEmpty());
    EXPECT_EQ(FindComponent<QLabel>("labOP" + id, OperatorPanel(), 1)->text(), "Оператор");
    EXPECT_FALSE(Find<CCheckBox>("chkPassDisabled")->Checked());
    EXPECT_TRUE(Find<CCheckBox>("chkPassAccess")->Checked());
    auto *hos = Find<CCheckBox>("chkPassHos");
    ASSERT_NE(hos, nullptr);
    EXPECT_EQ(hos->text(), "Управляет ШС (взятие/снятие):");
    EXPECT_FALSE(hos->Checked());

    ASSERT_EQ(LoopBoxCount(), 6);
    EXPECT_EQ(FindComponentByName("chkPHos" + id + "_1", OperatorPanel(), 1), nullptr); // inside the group box
    EXPECT_NE(FindComponentByName("chkPHos" + id + "_1", OperatorPanel(), 2), nullptr);
    auto *group = qobject_cast<QGroupBox *>(LoopBox(1)->parentWidget());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), " Шлейфы сигнализации ");
    EXPECT_EQ(group->width(), 220);
    EXPECT_EQ(LoopBox(5)->text(), "ШС5");
    EXPECT_EQ(LoopBox(5)->pos(), QPoint(58, 20));
    EXPECT_EQ(LoopBox(4)->pos(), QPoint(8, 92));
    for (int k = 1; k <= 6; ++k) {
        EXPECT_FALSE(LoopBox(k)->isEnabled()) << k;
        EXPECT_FALSE(LoopBox(k)->Checked()) << k;
    }
}

TEST_F(PasswordPage, CapacityOneOrNoneGivesTheAdministratorAlone)
{
    for (int capacity : {1, 0}) {
        PassDevice d(2, capacity);
        Build(d);
        ASSERT_EQ(tree->items().count(), 1) << capacity;
        EXPECT_EQ(tree->items().topNode(0)->text, "Администратор");
        EXPECT_EQ(form.PassCount, capacity);
    }
}

TEST_F(PasswordPage, NoLoops)
{
    PassDevice d(0, 2);
    Build(d);
    EXPECT_EQ(LoopBoxCount(), 0);
    EXPECT_EQ(User(0)->hos_count, 0);
    EXPECT_TRUE(User(1)->hos_chk.empty());
    auto *hos = Find<CCheckBox>("chkPassHos");
    ASSERT_NE(hos, nullptr);
    QList<QGroupBox *> groups = hos->parentWidget()->findChildren<QGroupBox *>();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->width(), 220);
    EXPECT_TRUE(Components(groups[0]).isEmpty());
}

TEST_F(PasswordPage, MoreThan32LoopsWarnsAndLowersTheCount)
{
    PassDevice d(40, 2);
    Build(d);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Количество шлейфов более 32. Возможно, ошибка в файле параметров.");
    EXPECT_EQ(messages[0].kind, mtWarning);
    EXPECT_EQ(messages[0].buttons, MsgButtons(mbOK));
    EXPECT_EQ(form.LoopCount, 32);
    EXPECT_EQ(LoopBoxCount(), 32);
    EXPECT_EQ(LoopBox(32)->pos(), QPoint(358, 92));
    EXPECT_EQ(LoopBox(32)->parentWidget()->width(), 420);
    // The users are made with the lowered count, as the page can show and a file keeps them.
    EXPECT_EQ(User(0)->hos_count, 32);
    EXPECT_EQ(User(1)->hos_chk.size(), 32u);
}

TEST_F(PasswordPage, UsersSavedWithMoreThan32LoopsOpenAgain)
{
    PassDevice d(40, 3);
    Build(d);
    Select(1);
    Find<CCheckBox>("chkPassHos")->SetChecked(true);
    LoopBox(32)->SetChecked(true);
    Find<CLineEdit>("editOperatorPassword")->SetText("777");

    CXmlDocument doc;
    doc.loadFromBytes(SavedFile(tree));
    CTree file;
    ASSERT_TRUE(ReadXmlToTree(doc, file));
    Build(d, file.firstNode());
    EXPECT_EQ(messages.size(), 2u);
    ASSERT_EQ(tree->items().count(), 3);
    EXPECT_EQ(User(1)->password, "777");
    EXPECT_TRUE(User(1)->hos_key);
    EXPECT_TRUE(User(1)->hos_chk[31]);
    EXPECT_FALSE(User(1)->hos_chk[30]);
}

TEST_F(PasswordPage, SelectionShowsOnePanelByIdAndLoadsTheRecord)
{
    // Stored users: id 1 without its administrator flag, an operator flagged as administrator.
    PassDevice d(3, 8);
    CTree values;
    CTreeNode *device = AddDevice(values, "Тиврон-А", 3);
    CTreeNode *table = AddTable(values, device, "Таблица паролей", "pass", 1);
    auto add = [&](int userId, const QString &name, bool administrator, bool hosKey, std::vector<bool> flags,
                   const QString &password) {
        auto p = std::make_shared<CPass>();
        p->kind = "Pass";
        p->id = userId;
        p->name = name;
        p->administrator = administrator;
        p->password = password;
        p->disabled = userId == 2;
        p->access = userId == 3;
        p->hos_key = hosKey;
        p->hos_count = 3;
        p->hos_chk = flags;
        values.addChild(table, name, p);
    };
    add(1, "Главный", false, true, {true, true, true}, "1111");
    add(2, "Дежурный", true, true, {false, true}, "12345678901234567890"); // one flag short
    add(3, "Сторож", false, false, {true, false, true}, "");
    Build(d, device);
    ASSERT_EQ(tree->items().count(), 3);

    auto *adminEdit = Find<CLineEdit>("editAdministratorPassword");
    auto *opEdit = Find<CLineEdit>("editOperatorPassword");
    auto *label = Find<QLabel>("labOP");
    auto *disabled = Find<CCheckBox>("chkPassDisabled");
    auto *access = Find<CCheckBox>("chkPassAccess");
    auto *hos = Find<CCheckBox>("chkPassHos");

    Select(0);
    EXPECT_FALSE(AdminPanel()->isHidden());
    EXPECT_TRUE(OperatorPanel()->isHidden());
    EXPECT_EQ(adminEdit->Text(), "1111");

    Select(1);
    EXPECT_TRUE(AdminPanel()->isHidden());
    EXPECT_FALSE(OperatorPanel()->isHidden());
    EXPECT_EQ(label->text(), "Дежурный");
    EXPECT_EQ(opEdit->Text(), "12345678901234567890"); // longer than can be typed, shown whole
    EXPECT_TRUE(disabled->Checked());
    EXPECT_FALSE(access->Checked());
    EXPECT_TRUE(hos->Checked());
    EXPECT_FALSE(LoopBox(1)->Checked());
    EXPECT_TRUE(LoopBox(2)->Checked());
    EXPECT_FALSE(LoopBox(3)->Checked());
    for (int k = 1; k <= 3; ++k)
        EXPECT_TRUE(LoopBox(k)->isEnabled()) << k;

    Select(2);
    EXPECT_EQ(label->text(), "Сторож");
    EXPECT_TRUE(opEdit->Text().isEmpty());
    EXPECT_FALSE(disabled->Checked());
    EXPECT_TRUE(access->Checked());
    EXPECT_FALSE(hos->Checked());
    EXPECT_TRUE(LoopBox(1)->Checked());
    EXPECT_TRUE(LoopBox(3)->Checked());
    for (int k = 1; k <= 3; ++k)
        EXPECT_FALSE(LoopBox(k)->isEnabled()) << k;

    // Loading the controls wrote the same values back: nothing of any user changed.
    EXPECT_EQ(User(0)->password, "1111");
    EXPECT_EQ(User(1)->password, "12345678901234567890");
    EXPECT_TRUE(User(1)->disabled);
    EXPECT_EQ(User(1)->hos_chk, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(User(2)->hos_chk, (std::vector<bool>{true, false, true}));
    EXPECT_FALSE(User(2)->hos_key);
}

TEST_F(PasswordPage, EditsGoIntoTheSelectedRecord)
{
    PassDevice d(5, 3);
    Build(d);
    form.PageControl->setCurrentIndex(1);
    form.show();
    Select(1);
    CPass *op = User(1);

    auto *hos = Find<CCheckBox>("chkPassHos");
    hos->click();
    EXPECT_TRUE(op->hos_key);
    for (int k = 1; k <= 5; ++k)
        EXPECT_TRUE(LoopBox(k)->isEnabled()) << k;
    LoopBox(4)->click();
    EXPECT_EQ(op->hos_chk, (std::vector<bool>{false, false, false, true, false}));
    // Unchecking the loop control disables the boxes and keeps their states and the flags.
    hos->click();
    EXPECT_FALSE(op->hos_key);
    EXPECT_FALSE(LoopBox(4)->isEnabled());
    EXPECT_TRUE(LoopBox(4)->Checked());
    EXPECT_TRUE(op->hos_chk[3]);

    Find<CCheckBox>("chkPassDisabled")->click();
    EXPECT_TRUE(op->disabled);
    Find<CCheckBox>("chkPassAccess")->click();
    EXPECT_TRUE(op->access);

    // Typing changes the record character by character; 16 characters can be typed.
    auto *edit = Find<CLineEdit>("editOperatorPassword");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_4);
    EXPECT_EQ(op->password, "4");
    QTest::keyClicks(edit, "1234567890123456789");
    EXPECT_EQ(op->password, "4123456789012345");
    EXPECT_EQ(User(2)->password, "");

    // The administrator's edit writes into the administrator.
    Select(0);
    auto *adminEdit = Find<CLineEdit>("editAdministratorPassword");
    adminEdit->setFocus();
    QTest::keyClick(adminEdit, Qt::Key_Backspace);
    EXPECT_EQ(User(0)->password, "603");
    EXPECT_EQ(op->password, "4123456789012345");
}

TEST_F(PasswordPage, HandlersOfMissingControlsDoNothing)
{
    PassDevice d(3, 2);
    Build(d);
    Select(1);
    CPass *op = User(1);

    // A loop box name whose loop number is no number.
    CCheckBox stray;
    stray.setObjectName("chkPHos" + id + "_x");
    stray.setChecked(true);
    chkPHosClick(form, &stray);
    EXPECT_EQ(op->hos_chk, (std::vector<bool>{false, false, false}));
    // A loop number the record has no flag for.
    stray.setObjectName("chkPHos" + id + "_9");
    chkPHosClick(form, &stray);
    EXPECT_EQ(op->hos_chk.size(), 3u);
    // Another page's name: no tree is found.
    stray.setObjectName("chkPassHos999");
    chkPassHosClick(form, &stray);
    stray.setObjectName("chkPassDisabled999");
    chkPassDisabledClick(form, &stray);
    EXPECT_FALSE(op->hos_key);
    EXPECT_FALSE(op->disabled);
    EXPECT_FALSE(LoopBox(1)->isEnabled());
}

TEST_F(PasswordPage, LoopCountLoweredLaterLimitsTheLoadedBoxes)
{
    PassDevice d(6, 3);
    Build(d);
    Select(1);
    auto *hos = Find<CCheckBox>("chkPassHos");
    hos->SetChecked(true);
    for (int k = 1; k <= 6; ++k)
        LoopBox(k)->SetChecked(true);
    form.LoopCount = 2; // as a key page built after this page lowers it
    hos->SetChecked(false);
    EXPECT_FALSE(LoopBox(2)->isEnabled());
    EXPECT_TRUE(LoopBox(3)->isEnabled());
    // Another operator loads only the boxes 1-2; the others keep what they showed.
    Select(2);
    EXPECT_FALSE(LoopBox(2)->Checked());
    EXPECT_TRUE(LoopBox(3)->Checked());
    EXPECT_EQ(User(2)->hos_chk, std::vector<bool>(6, false));
    EXPECT_EQ(User(1)->hos_chk, std::vector<bool>(6, true));
}

TEST_F(PasswordPage, EveryCatalogueModel)
{
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
    ASSERT_FALSE(catalogue.isEmpty());
    for (int i = 0; i < catalogue.count(); ++i) {
        CTreeNode *device = catalogue.topNode(i);
        form.BuildDevicePages(device, nullptr, false);
        int pages = 0;
        int t = 0;
        for (CTreeNode *table = device->firstChild(); table; table = table->nextSibling(), ++t) {
            if (table->table()->type != "pass")
                continue;
            ++pages;
            id = QString::number(form.PageIds[t]);
            tree = Find<CTreeView>("tvPass", 2);
            ASSERT_NE(tree, nullptr) << device->text.toStdString();
            EXPECT_EQ(tree->items().count(), std::max(1, table->table()->max_key_count)) << device->text.toStdString();
            EXPECT_EQ(form.PassCount, table->table()->max_key_count);
            EXPECT_EQ(LoopBoxCount(), std::min(form.LoopCount, 32)) << device->text.toStdString();
            Select(tree->items().count() - 1);
            EXPECT_FALSE(OperatorPanel()->isHidden() && AdminPanel()->isHidden()) << device->text.toStdString();
        }
        EXPECT_EQ(pages, 1) << device->text.toStdString();
    }
}

// The password boxes select their whole text when the focus comes to them by code: typing replaces it.
TEST_F(PasswordPage, PasswordBoxesSelectTheirTextWhenFocusedByCode)
{
    PassDevice d(2, 3);
    Build(d);
    form.PageControl->setCurrentIndex(1);
    form.show();
    const struct {
        int user;
        const char *box;
    } cases[] = {{0, "editAdministratorPassword"}, {1, "editOperatorPassword"}};
    for (const auto &c : cases) {
        Select(c.user);
        auto *edit = Find<CLineEdit>(c.box);
        ASSERT_NE(edit, nullptr) << c.box;
        edit->SetText("1234");
        EXPECT_EQ(SelectedOnFocus(edit), "1234") << c.box;
        QTest::keyClicks(edit, "98");
        EXPECT_EQ(User(c.user)->password, "98") << c.box;
    }
}
