#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <QApplication>
#include <QTest>

#include "demo_pages.h"
#include "editor/controls.h"
#include "editor/key_page.h"
#include "editor/param_list_view.h"
#include "editor/password_page_state.h"
#include "model/config_tree.h"
#include "tests/support/paste_paths.h"

using namespace paste_paths;

namespace {

// A limited box of the demo's pages: made ready with its value from the program, then given text,
// then ended as the engineer ends it; Stored reads what the configuration then holds.
struct Box {
    const char *name;
    std::function<QLineEdit *()> open;
    std::function<void(QLineEdit *)> end;
    std::function<QString()> stored;
};

class PasteLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(demo.Open(QSize(900, 700)));
        general = demo.PageNumber("Общие параметры");
        keys = demo.PageNumber("Таблица ключей");
        passwords = demo.PageNumber("Таблица паролей");
        ASSERT_FALSE(general.isEmpty());
        ASSERT_FALSE(keys.isEmpty());
        ASSERT_FALSE(passwords.isEmpty());
        list = demo.Find<CParamListView>("lvQ" + general);
        ASSERT_NE(list, nullptr);
        sirenRow = RowOf("Время сирены, с");
        nameRow = RowOf("Название объекта");
        ASSERT_GE(sirenRow, 0);
        ASSERT_GE(nameRow, 0);
    }
    int RowOf(const QString &caption) const
    {
        for (int r = 0; r < list->Page().RowCount(); ++r)
            if (list->Page().Caption(r) == caption)
                return r;
        return -1;
    }
    // Opens the cell editor of row with the cell set to value first.
    QLineEdit *OpenCell(int row, const QString &value, const QString &editor)
    {
        demo.ShowPage("Общие параметры");
        list->Page().SetCellText(row, 0, value);
        list->setFocus();
        demo.form.SelectedRow = row;
        demo.form.SelectedColumn = 1;
        demo.form.lvQDblClick(list);
        return demo.Find<QLineEdit>(editor + general);
    }
    // Selects node 0 of a key or password page's tree and gives its box value from the program.
    QLineEdit *OpenNodeBox(const QString &caption, const QString &tree, const QString &edit, const QString &value)
    {
        demo.ShowPage(caption);
        auto *view = demo.Find<CTreeView>(tree, 2);
        if (!view)
            return nullptr;
        if (view->items().count() == 0) // the demo stores no users: the page's fresh ones
            AddFreshUsers(view->items(), demo.form.PassCount, PassLoopCount(demo.form.LoopCount));
        view->selectNode(view->items().topNode(0));
        auto *box = demo.Find<CLineEdit>(edit);
        if (!box)
            return nullptr;
        box->SetText(value);
        box->setFocus();
        box->selectAll();
        return box;
    }
    CTreeNode *FirstNode(const QString &tree)
    {
        return demo.Find<CTreeView>(tree, 2)->items().topNode(0);
    }

    std::vector<Box> Boxes()
    {
        auto enter = [](QLineEdit *edit) { QTest::keyClick(edit, Qt::Key_Return); };
        auto nothing = [](QLineEdit *) {};
        return {
            {"number 0..3600", [this] { return OpenCell(sirenRow, "180", "medit"); }, enter,
             [this] { return list->Page().CellText(sirenRow, 0); }},
            {"text parameter", [this] { return OpenCell(nameRow, "Объект", "edit"); }, enter,
             [this] { return list->Page().CellText(nameRow, 0); }},
            {"password",
             [this] {
                 return OpenNodeBox("Таблица паролей", "tvPass" + passwords, "editAdministratorPassword" + passwords,
                                    "6039");
             },
             nothing, [this] { return FirstNode("tvPass" + passwords)->pass()->password; }},
            {"key code",
             [this] {
                 return OpenNodeBox("Таблица ключей", "tvKey" + keys, "editMaKNumber" + keys, "A1B2C3D4E5F6");
             },
             nothing, [this] { return FirstNode("tvKey" + keys)->key()->key_code; }},
        };
    }

    DemoPages demo;
    QString general, keys, passwords;
    CParamListView *list = nullptr;
    int sirenRow = -1;
    int nameRow = -1;
};

} // namespace

// Whatever way the text comes, the box keeps what typing it would have left: digits within the number
// box's width and no sign where none is allowed, 16 characters of a password, 12 of a key code.
TEST_F(PasteLimits, EveryWayLeavesWhatTypingWould)
{
    const QString texts[] = {"abc", QString(300, u'9'), "-5", "099999999999", "12abc"};
    const Path paths[] = {Path::CtrlV, Path::ShiftInsert, Path::Menu, Path::MiddleButton, Path::Drop,
                          Path::InputMethod};
    for (const Box &box : Boxes()) {
        for (const QString &text : texts) {
            for (const bool atEnd : {false, true}) {
                QLineEdit *edit = box.open();
                ASSERT_NE(edit, nullptr) << box.name;
                ASSERT_TRUE(edit->hasFocus()) << box.name;
                if (atEnd)
                    edit->end(false);
                QTest::keyClicks(edit, text);
                box.end(edit);
                const QString typed = box.stored();
                for (const Path path : paths) {
                    if (InsertsAtTheEnd(path) != atEnd)
                        continue;
                    const std::string where = std::string(box.name) + ", " + NameOf(path) + ", " +
                                              text.left(14).toStdString() + " (" + std::to_string(text.size()) + ")";
                    edit = box.open();
                    ASSERT_NE(edit, nullptr) << where;
                    ASSERT_TRUE(edit->hasSelectedText()) << where;
                    Paste(edit, path, text);
                    box.end(edit);
                    EXPECT_EQ(box.stored(), typed) << where;
                }
            }
        }
    }
}

// The examples as the engineer met them: letters leave the number as it was, not 0; 300 nines in the
// siren's time give its maximum; a long password or key code keeps its first 16 or 12 characters.
TEST_F(PasteLimits, TheEngineersExamples)
{
    const std::vector<Box> boxes = Boxes();
    const struct {
        size_t box;
        QString text;
        QString stored;
    } cases[] = {
        {0, "abc", "180"},
        {0, QString(300, u'9'), "3600"},
        {2, QString(300, u'x'), QString(16, u'x')},
        {3, QString(300, u'F'), QString(12, u'F')},
        {1, QString(300, u'z'), QString(300, u'z')}, // a text parameter has no limit
    };
    for (const auto &c : cases) {
        const Box &box = boxes[c.box];
        QLineEdit *edit = box.open();
        ASSERT_NE(edit, nullptr) << box.name;
        Paste(edit, Path::Menu, c.text);
        box.end(edit);
        EXPECT_EQ(box.stored(), c.stored) << box.name;
    }
}

// Text the program sets stays whole in a limited box: a longer stored value is shown as it is, may be
// shortened and never grows, by a paste no more than by typing.
TEST_F(PasteLimits, ProgramTextStaysWholeAndNeverGrows)
{
    const Box box = Boxes()[2];
    auto *edit = static_cast<CLineEdit *>(box.open());
    ASSERT_NE(edit, nullptr);
    const QString stored(20, u'7');
    edit->SetText(stored);
    EXPECT_EQ(box.stored(), stored);
    edit->end(false);
    Paste(edit, Path::Menu, "12");
    EXPECT_EQ(box.stored(), stored);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(box.stored(), QString(18, u'7'));
    Paste(edit, Path::CtrlV, "1");
    EXPECT_EQ(box.stored(), QString(18, u'7')); // still above the limit: no growing back
    edit->setSelection(15, 3);
    // The first character typed takes the selection's place; then the 16 characters are full.
    Paste(edit, Path::CtrlV, "12345");
    EXPECT_EQ(box.stored(), QString(15, u'7') + "1");
}
