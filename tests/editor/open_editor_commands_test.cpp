// The commands that read the pages, given while a cell editor is open with a value typed but not
// entered: the tool bar and the menus take no focus, yet the file, the frames sent and the report hold
// what the editor shows, and no editor is left on screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <optional>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/controls.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/packet_text.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/catalogue_model.h"
#include "tests/support/shown_page.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_files.h"
#include "tests/support/zip_entries.h"

namespace {

// The value a saved file holds in the first column of a parameter.
QString SavedValue(const QByteArray &file, const QString &parameter)
{
    const QRegularExpression value(QStringLiteral("<Parameter name=\"%1\"[^\\n]*\\n<ItemValue id=\"1\" name=\"\" value=\"([^\"]*)\"")
                                       .arg(QRegularExpression::escape(parameter)));
    const QRegularExpressionMatch m = value.match(QString::fromUtf8(file));
    return m.hasMatch() ? m.captured(1) : QStringLiteral("<none>");
}

// The catalogue's Тиврон-А at address 5 on the pages, the main window shown and active, the adapter
// library fake, the file dialog and the word processor replaced.
class OpenEditorCommands : public LinkTest, protected ShownPageControls {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(tmp.isValid());
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrOk);
        });
        SetWriteConfirmationHook([](TSelectDeviceForm &) { return int(mrOk); });
        SetConfigFileDialogs({[](QWidget *) { return std::optional<QString>(); },
                              [this](QWidget *) { return std::optional<QString>(tmp.filePath("conf")); }});
        ASSERT_FALSE(CopySampleCatalogue(tmp).isEmpty());
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        ASSERT_TRUE(LoadXmlToTree(CataloguePath(tmp.path()), ConfigForm->tvConfig));
        TMainFormEnv env;
        env.ProgramDir = tmp.path();
        env.OpenDocument = [this](const QString &path) {
            reports << path;
            return true;
        };
        form = std::make_unique<TMainForm>(nullptr, env);
        device = CatalogueModel(QStringLiteral("Тиврон-А"));
        ASSERT_TRUE(device);
        device->device()->device_addr = 5;
        form->actSaveFile->setEnabled(true);
        form->resize(900, 600);
        form->show();
    }

    // Fresh pages on "Общие параметры", the window active; exits counts the editors' exit handlers.
    void Rebuild()
    {
        form->Timer1.SetInterval(0); // a write's read-back
        EndReadExchange();
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, nullptr, false);
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->PageControl->setCurrentIndex(1);
        ASSERT_TRUE(FindShownPage(*form));
        ASSERT_EQ(list->Page().Caption(1), QStringLiteral("Задержка звука, с"));
        for (CLineEdit *box : {static_cast<CLineEdit *>(edit), static_cast<CLineEdit *>(medit)}) {
            const ControlHandler exit = box->OnExit;
            box->OnExit = [this, exit] {
                ++exits;
                exit();
            };
        }
    }
    // The cell editors of every page that are on screen.
    QStringList EditorsShown() const
    {
        static const QRegularExpression editor(QStringLiteral("^(edit|medit|cb|ud)\\d+$"));
        QStringList shown;
        for (const QWidget *w : form->PageControl->findChildren<QWidget *>(editor))
            if (w->isVisible())
                shown << w->objectName();
        return shown;
    }
    void TearDown() override
    {
        form->Timer1.SetInterval(0);
        EndReadExchange();
        form.reset();
        ConfigForm = nullptr;
        configForm.reset();
        SetConfigFileDialogs({});
        SetWriteConfirmationHook(nullptr);
        SetMessageDlgHook(nullptr);
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
        LinkTest::TearDown();
    }

    void ClickToolButton(QAction *action) const
    {
        QWidget *button = form->ToolBar->widgetForAction(action);
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The pointer goes to "Файл" on the menu bar, the menu drops down below it, and the item is clicked.
    void ChooseFromFileMenu(QAction *action) const
    {
        QMenuBar *bar = form->menuBar();
        QAction *fileItem = bar->actions().value(0);
        ASSERT_TRUE(fileItem && fileItem->menu());
        QMenu *file = fileItem->menu();
        const QRect item = bar->actionGeometry(fileItem);
        QTest::mouseMove(bar, item.center());
        file->popup(bar->mapToGlobal(item.bottomLeft()));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(action).center());
        EXPECT_FALSE(file->isVisible());
    }
    // The frame of the "Общие параметры" table, or none.
    std::optional<SentFrame> GeneralFrame() const
    {
        for (const SentFrame &f : g_fake.sent)
            if (f.identifier == PacketIdentifier(0x01, 0x01, 4, 0x00))
                return f;
        return std::nullopt;
    }

    QTemporaryDir tmp;
    QByteArray savedTmp;
    QStringList messages;
    QStringList reports;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    CTreeNode *device = nullptr;
    int exits = 0;
};

} // namespace

TEST_F(OpenEditorCommands, TheCommandsTakeTheValueTheOpenEditorShows)
{
    enum class Editor { Number, Text, List };
    const struct {
        Editor editor;
        int row;
        const char *caption;
        const char *before;
        const char *typed; // for the list: what Down and Enter choose in its drop-down
        uint8_t sentByte; // the data byte the write carries it in, and its value; none for a text
        int sentValue;
    } editors[] = {
        {Editor::Number, 1, "Задержка звука, с", "34", "77", 1, 77},
        {Editor::Text, 7, "Название объекта", "Объект", "Sklad 2", 0, -1},
        {Editor::List, 0, "Режим работы", "Автономный", "Сетевой", 0, 1},
    };
    struct Command {
        const char *what;
        std::function<void()> give;
        bool file, frames, report;
        bool pagesStay; // a write's read-back replaces the pages with the device's
    };
    const std::vector<Command> commands = {
        {"Save on the tool bar", [&] { ClickToolButton(form->actSaveFile); }, true, false, false, true},
        {"Save in the file menu", [&] { ChooseFromFileMenu(form->actSaveFile); }, true, false, false, true},
        {"Write on the tool bar", [&] { ClickToolButton(form->actWrite); }, false, true, false, false},
        {"the report on the tool bar", [&] { ClickToolButton(form->actExportWord); }, false, false, true, true},
        {"the key load", [&] {
             const QString keys = QString::number(form->PageIds.value(3));
             btnKeySaveClick(*form, FindComponentByName(QStringLiteral("btnKeySave") + keys, form->PageControl, 3));
         }, false, false, false, true},
    };

    for (const Command &command : commands) {
        for (const auto &e : editors) {
            const std::string where = std::string(command.what) + ", " + e.typed;
            Rebuild();
            g_fake.sent.clear();
            reports.clear();
            QFile::remove(tmp.filePath("conf.DEV"));
            ASSERT_TRUE(list->Page().SetCellText(e.row, 0, QString::fromUtf8(e.before))) << where;
            list->setFocus();
            form->SelectedRow = e.row;
            form->SelectedColumn = 1;
            QTest::keyClick(list, Qt::Key_Return);
            if (e.editor == Editor::List) {
                ASSERT_TRUE(cb->view()->isVisible()) << where;
                QTest::keyClick(cb->view(), Qt::Key_Down);
                QTest::keyClick(cb->view(), Qt::Key_Return);
                form->activateWindow(); // the drop-down had it
                ASSERT_TRUE(QTest::qWaitForWindowActive(form.get())) << where;
                ASSERT_TRUE(cb->hasFocus()) << where;
            } else {
                QWidget *box = e.editor == Editor::Text ? static_cast<QWidget *>(edit) : medit;
                ASSERT_TRUE(box->hasFocus()) << where;
                QTest::keyClicks(box, QString::fromUtf8(e.typed));
                ASSERT_EQ(list->Page().CellText(e.row, 0), QString::fromUtf8(e.before)) << where; // not entered
            }
            ASSERT_FALSE(EditorsShown().isEmpty()) << where;
            exits = 0;

            command.give();

            EXPECT_EQ(exits, e.editor == Editor::List ? 0 : 1) << where;
            EXPECT_EQ(EditorsShown(), QStringList()) << where;
            if (command.pagesStay) {
                EXPECT_EQ(list->Page().CellText(e.row, 0), QString::fromUtf8(e.typed)) << where;
            }
            if (command.file) {
                EXPECT_EQ(SavedValue(ReadFile(tmp.filePath("conf.DEV")), QString::fromUtf8(e.caption)),
                          QString::fromUtf8(e.typed))
                    << where;
            }
            if (command.frames && e.sentValue >= 0) {
                const std::optional<SentFrame> frame = GeneralFrame();
                ASSERT_TRUE(frame) << where;
                ASSERT_GT(frame->data.size(), e.sentByte) << where;
                EXPECT_EQ(frame->data[e.sentByte], e.sentValue) << where;
            }
            if (command.report) {
                ASSERT_EQ(reports.size(), 1) << where;
                const QByteArray document = ZipEntry(reports[0], "word/document.xml");
                EXPECT_TRUE(document.contains(">" + QByteArray(e.typed) + "<")) << where;
            }
        }
    }
    EXPECT_EQ(messages.count(QStringLiteral("Не выбран ключ")), 3); // the key load's own answer
}

// The window in the background when the command comes (another window active): nothing leaves the
// editor, yet it is ended as leaving it would, once.
TEST_F(OpenEditorCommands, AnEditorOfAWindowInTheBackgroundIsEndedToo)
{
    Rebuild();
    list->setFocus();
    form->SelectedRow = 1;
    form->SelectedColumn = 1;
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(medit->hasFocus());
    QTest::keyClicks(medit, "77");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_TRUE(medit->isVisible());
    exits = 0;
    form->actSaveFile->trigger();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(EditorsShown(), QStringList());
    EXPECT_EQ(SavedValue(ReadFile(tmp.filePath("conf.DEV")), QStringLiteral("Задержка звука, с")), "77");
}
