// New, Open and Save of the main window, offscreen: the selection dialog is answered by clicking it,
// the file dialogs are replaced, the files are real.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/protected_file.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_files.h"

namespace {
QByteArray WithoutObjIds(QByteArray bytes)
{
    return QString::fromUtf8(bytes).replace(QRegularExpression(QStringLiteral("obj_id=\"\\d+\"")),
                                            QStringLiteral("obj_id=\"\"")).toUtf8();
}

QStringList ObjIds(const QByteArray &bytes)
{
    QStringList ids;
    auto it = QRegularExpression(QStringLiteral("obj_id=\"(\\d+)\"")).globalMatch(QString::fromUtf8(bytes));
    while (it.hasNext())
        ids << it.next().captured(1);
    return ids;
}

class ConfigFilesFormTest : public ::testing::Test {
protected:
    void SetUp() override { Start(SourcePath(QStringLiteral("data/devices.xml"))); }

    void Start(const QString &catalogue)
    {
        QFile::remove(dir.filePath(QStringLiteral("devices.xml")));
        ASSERT_TRUE(QFile::copy(catalogue, dir.filePath(QStringLiteral("devices.xml"))));
        QFile::setPermissions(dir.filePath(QStringLiteral("devices.xml")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons) {
            messages << text;
            kinds << kind;
            return answer;
        });
        SetConfigFileDialogs({[this](QWidget *) { return openName; }, [this](QWidget *) { return saveName; }});
        configForm = std::make_unique<TConfigForm>();
        ConfigForm = configForm.get();
        TMainFormEnv env;
        env.ProgramDir = dir.path();
        form = std::make_unique<TMainForm>(nullptr, env);
        MainForm = form.get();
    }

    void TearDown() override
    {
        form.reset();
        configForm.reset();
        SetConfigFileDialogs({});
        SetMessageDlgHook(nullptr);
    }

    // Answers the next selection dialog: the model whose list text starts with model, at address
    // (0: as listed); an empty model cancels.
    void AnswerSelection(const QString &model, int address)
    {
        auto *poll = new QTimer(form.get());
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, model, address] {
            auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            listed.clear();
            for (CTreeNode *n = dialog->tvDevice->items().firstNode(); n; n = n->nextSibling())
                listed << n->text;
            if (model.isEmpty()) {
                dialog->btnCancel->click();
                return;
            }
            for (CTreeNode *n = dialog->tvDevice->items().firstNode(); n; n = n->nextSibling())
                if (n->text.startsWith(model + QStringLiteral(" <"))) {
                    dialog->SelectListNode(n);
                    break;
                }
            if (address > 0)
                dialog->CSpinEdit_addrDev->SetText(QString::number(address));
            dialog->btnSelect->click();
        });
        poll->start();
    }

    void New(const QString &model, int address = 0)
    {
        AnswerSelection(model, address);
        form->actNewFile->trigger();
    }
    QByteArray Save(const QString &name)
    {
        saveName = dir.filePath(name);
        form->actSaveFile->trigger();
        return ReadFile(dir.filePath(name + QStringLiteral(".DEV")));
    }
    void Open(const std::optional<QString> &path)
    {
        openName = path;
        form->actOpenFile->trigger();
    }
    CParamListView *List(int pageId) const
    {
        return FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(pageId), form->PageControl, 3);
    }
    CTreeView *Tree(const QString &prefix, int pageId) const
    {
        return FindComponent<CTreeView>(prefix + QString::number(pageId), form->PageControl, 3);
    }
    void Click(const QString &name) const
    {
        auto *button = FindComponent<QAbstractButton>(name, form->PageControl, 3);
        ASSERT_NE(button, nullptr) << name.toStdString();
        button->click();
    }

    QTemporaryDir dir;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TMainForm> form;
    QStringList messages;
    QList<int> kinds;
    int answer = mrOk;
    QStringList listed;
    std::optional<QString> openName;
    std::optional<QString> saveName;
};

class SmallCatalogueTest : public ConfigFilesFormTest {
protected:
    void SetUp() override { Start(SourcePath(QStringLiteral("tests/editor/fixtures/files-catalogue.xml"))); }

    // A new configuration of the small model with every page edited.
    void MakeEdited()
    {
        New(QStringLiteral("Тиврон-М"), 5);
        ASSERT_EQ(form->PageIds, (QList<int>{1, 2, 3, 0}));
        ASSERT_NE(List(1), nullptr);
        ASSERT_TRUE(List(1)->Page().SetCellText(1, 1, QStringLiteral("Охранный")));
        Click(QStringLiteral("btnMaster2"));
        Click(QStringLiteral("btnKeyAdd2"));
        CTreeView *keys = Tree(QStringLiteral("tvKey"), 2);
        ASSERT_NE(keys, nullptr);
        ASSERT_EQ(keys->items().count(), 2);
        CKey *key = keys->items().topNode(1)->key();
        key->key_code = QStringLiteral("123456789ABC");
        key->hos_chk = {true, false, false, true};
        CTreeView *users = Tree(QStringLiteral("tvPass"), 3);
        ASSERT_NE(users, nullptr);
        ASSERT_EQ(users->items().count(), 2);
        CPass *op = users->items().topNode(1)->pass();
        op->password = QStringLiteral("1&<2\""); // must not spoil the file
        op->access = true;
        op->hos_key = true;
        op->hos_chk = {true, false};
    }
};
} // namespace

TEST_F(SmallCatalogueTest, SavedFileIsGoldenAndReopensToTheSameBytes)
{
    MakeEdited();
    const QByteArray saved = Save(QStringLiteral("conf"));
    EXPECT_EQ(saved, ReadFile(SourcePath(QStringLiteral("tests/editor/fixtures/small-saved.DEV"))));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    Open(dir.filePath(QStringLiteral("conf.DEV")));
    EXPECT_EQ(form->PageIds, (QList<int>{4, 5, 6, 0})); // page ids are never reused
    answer = mrYes;
    const QByteArray again = Save(QStringLiteral("again"));
    EXPECT_EQ(WithoutObjIds(again), WithoutObjIds(saved));
    EXPECT_EQ(ObjIds(again), (QStringList{QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                          QStringLiteral("0")}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(SmallCatalogueTest, NewListsEveryModelAndSetsTheChosenAddress)
{
    New(QStringLiteral("Тиврон-М"), 7);
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Тиврон-М <1>"), QStringLiteral("Тиврон-М <2>"),
                               QStringLiteral("Тиврон-Б <3>")}));
    ASSERT_TRUE(form->CurrentDevice);
    EXPECT_EQ(form->CurrentDevice.get(), ConfigForm->tvConfig->items().firstNode());
    EXPECT_EQ(form->CurrentDevice->device()->device_addr, 7);
    EXPECT_EQ(form->PageControl->count(), 4);
    EXPECT_TRUE(form->actSaveFile->isEnabled());
    CTree stored;
    ASSERT_TRUE(ReadXmlToTree(dir.filePath(QStringLiteral("devices.xml")), stored));
    EXPECT_EQ(stored.firstNode()->device()->device_addr, 7);
}

TEST_F(SmallCatalogueTest, NewCancelledLeavesNoPagesAndSaveRefuses)
{
    MakeEdited();
    New(QString());
    EXPECT_EQ(form->PageControl->count(), 0);
    EXPECT_EQ(form->SelectedColumn, -1);
    EXPECT_EQ(form->SelectedRow, -1);
    EXPECT_TRUE(form->actSaveFile->isEnabled());
    EXPECT_FALSE(ConfigForm->tvConfig->items().isEmpty());

    saveName = dir.filePath(QStringLiteral("empty"));
    form->actSaveFile->trigger();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Нет данных, выберите прибор!")});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("empty.DEV"))));
}

TEST_F(SmallCatalogueTest, SaveWithoutDeviceWritesNothing)
{
    saveName = dir.filePath(QStringLiteral("none"));
    form->actSaveFileExecute(); // the action itself is disabled until New or Open
    EXPECT_EQ(messages, QStringList{QStringLiteral("Нет данных, выберите прибор!")});
    EXPECT_EQ(kinds, QList<int>{mtError});
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.DEV")}).isEmpty());
}

TEST_F(SmallCatalogueTest, SaveNamingAndReplaceQuestion)
{
    MakeEdited();
    const QByteArray first = Save(QStringLiteral("conf"));
    ASSERT_FALSE(first.isEmpty());
    List(1)->Page().SetCellText(1, 0, QStringLiteral("Охранный"));

    answer = mrNo;
    saveName = dir.filePath(QStringLiteral("conf"));
    form->actSaveFile->trigger();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Заменить файл '") + dir.filePath(QStringLiteral("conf.DEV")) + u'\''});
    EXPECT_EQ(ReadFile(dir.filePath(QStringLiteral("conf.DEV"))), first);

    saveName = QStringLiteral("   ");
    form->actSaveFile->trigger();
    EXPECT_EQ(messages.value(1), QStringLiteral("Имя файла не указано"));

    saveName.reset(); // cancelled
    form->actSaveFile->trigger();
    EXPECT_EQ(messages.size(), 2);

    answer = mrCancel; // closing the question replaces the file
    saveName = dir.filePath(QStringLiteral("conf.xml"));
    form->actSaveFile->trigger();
    EXPECT_NE(ReadFile(dir.filePath(QStringLiteral("conf.DEV"))), first);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("conf.xml"))));
}

TEST_F(SmallCatalogueTest, SaveRefusesAFileNameOfBlanks)
{
    MakeEdited();
    const QStringList before = FolderEntries(dir.path());
    for (const QString &blank : BlankFileNames(dir)) {
        SCOPED_TRACE(blank.toStdString());
        messages.clear();
        kinds.clear();
        saveName = blank;
        form->actSaveFile->trigger();
        EXPECT_EQ(messages, QStringList{"Имя файла не указано"});
        EXPECT_EQ(kinds, QList<int>{mtInformation});
        EXPECT_EQ(FolderEntries(dir.path()), before);
    }
}

// A folder where the file would go: no question whose answer could not matter, only why nothing is saved.
TEST_F(SmallCatalogueTest, SaveOverAFolderIsRefusedWithoutTheReplaceQuestion)
{
    MakeEdited();
    ASSERT_TRUE(QDir(dir.path()).mkpath("conf.DEV/inside"));
    const QStringList before = FolderEntries(dir.path());
    messages.clear();
    kinds.clear();
    answer = mrYes;
    saveName = dir.filePath("conf");
    form->actSaveFile->trigger();
    EXPECT_EQ(messages, QStringList{"Не удалось записать файл '" + dir.filePath("conf.DEV") + "': Это каталог"});
    EXPECT_EQ(kinds, QList<int>{mtError});
    EXPECT_EQ(FolderEntries(dir.path()), before);
    EXPECT_EQ(FolderEntries(dir.filePath("conf.DEV")), QStringList{"inside"});
}

// The disk takes 1,024 bytes of the 2 KB file: the old one stays whole and the engineer is told.
TEST_F(SmallCatalogueTest, SaveOnAFullDiskKeepsTheOldFileAndShowsWhy)
{
    MakeEdited();
    messages.clear();
    kinds.clear();
    answer = mrYes;
    saveName = dir.filePath("conf");
    ExpectFullDiskSaveKeepsTheOldFile(dir.filePath("conf.DEV"), "old\r\n", 1024, [&] { form->actSaveFile->trigger(); },
                                      messages);
    EXPECT_EQ(kinds.value(1), mtError);
}

// A .DEV the engineer may not write: after the question it stays byte for byte and the engineer is told.
TEST_F(SmallCatalogueTest, SaveOverAFileThatMayNotBeWrittenKeepsItAndShowsWhy)
{
    MakeEdited();
    answer = mrYes;
    saveName = dir.filePath("conf");
    ExpectSavesOverProtectedFiles(dir.filePath("conf.DEV"), [&] { form->actSaveFile->trigger(); }, messages);
}

TEST_F(SmallCatalogueTest, OpenKeepsThePagesWhenNothingCanBeShown)
{
    MakeEdited();
    const QByteArray saved = Save(QStringLiteral("conf"));

    Open(std::nullopt); // cancelled
    EXPECT_EQ(form->PageIds, (QList<int>{1, 2, 3, 0}));

    // The same model name in a version the catalogue lacks.
    QString other = QString::fromUtf8(saved);
    other.replace(QStringLiteral("version=\"1.0\" device_id"), QStringLiteral("version=\"9.9\" device_id"));
    QFile f(dir.filePath(QStringLiteral("other.DEV")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(other.toUtf8());
    f.close();
    Open(f.fileName());
    EXPECT_EQ(messages, QStringList{QStringLiteral("Прибор 'Тиврон-М' версии '9.9' не найден в каталоге приборов devices.xml")});
    EXPECT_EQ(kinds, QList<int>{mtError});
    EXPECT_EQ(form->PageIds, (QList<int>{1, 2, 3, 0}));
    EXPECT_EQ(List(1)->Page().CellText(1, 1), QStringLiteral("Охранный"));

    // A file that does not parse: the loader's message, and the file opened before is not shown.
    messages.clear();
    QFile bad(dir.filePath(QStringLiteral("bad.DEV")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<Root><DeviceList>");
    bad.close();
    Open(bad.fileName());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Файл проекта не распознан.")));
    EXPECT_EQ(form->PageIds, (QList<int>{1, 2, 3, 0}));

    // Afterwards a good file still opens.
    Open(dir.filePath(QStringLiteral("conf.DEV")));
    EXPECT_EQ(form->PageIds, (QList<int>{4, 5, 6, 0}));
}

TEST_F(SmallCatalogueTest, OpenChoosesTheModelByNameAndVersion)
{
    // Both models share the name: the version tells them apart.
    QString v2 = QStringLiteral("<?xml version=\"1.0\"?>\r\n<Root>\r\n<DeviceList>\r\n"
                                "<Device name=\"Тиврон-М\" version=\"2.0\" device_id=\"21\" device_addr=\"9\">\r\n"
                                "<Table type = \"table\" name=\"Общие\" columns=\"1\" column_width=\"80\" obj_id=\"1\">\r\n"
                                "<Parameter name=\"Порог, °C\" type=\"числовой\" address=\"4\" default_value=\"80\">\r\n"
                                "<ItemValue id=\"1\" name=\"\" value=\"30\">\r\n</ItemValue>\r\n</Parameter>\r\n"
                                "</Table>\r\n</Device>\r\n</DeviceList>\r\n</Root>\r\n");
    QFile f(dir.filePath(QStringLiteral("v2.DEV")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(v2.toUtf8());
    f.close();
    Open(f.fileName());
    ASSERT_TRUE(form->CurrentDevice);
    EXPECT_EQ(form->CurrentDevice->device()->version, QStringLiteral("2.0"));
    EXPECT_EQ(form->CurrentDevice->device()->device_addr, 2);
    ASSERT_EQ(form->PageIds.size(), 1);
    // Raw 30 with formula -20 shows 10 and is written back as 30.
    EXPECT_EQ(List(form->PageIds[0])->Page().CellText(0, 0), QStringLiteral("10"));
    EXPECT_EQ(WithoutObjIds(Save(QStringLiteral("v2again"))), WithoutObjIds(v2.replace(QStringLiteral("\"9\""), QStringLiteral("\"2\"")).toUtf8()));
}

TEST_F(SmallCatalogueTest, OpenReportsAFailedBuild)
{
    // A list entry whose value is no number cannot be matched against the stored 3.
    QFile f(dir.filePath(QStringLiteral("b.DEV")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<?xml version=\"1.0\"?>\r\n<Root>\r\n<DeviceList>\r\n"
                           "<Device name=\"Тиврон-Б\" version=\"1.0\" device_id=\"22\" device_addr=\"3\">\r\n"
                           "<Table type = \"table\" name=\"Режимы\" columns=\"1\" column_width=\"80\" obj_id=\"1\">\r\n"
                           "<Parameter name=\"Режим\" type=\"список\" address=\"1\" default_value=\"0\">\r\n"
                           "<ItemValue id=\"1\" name=\"\" value=\"3\">\r\n</ItemValue>\r\n</Parameter>\r\n"
                           "</Table>\r\n</Device>\r\n</DeviceList>\r\n</Root>\r\n")
                .toUtf8());
    f.close();
    Open(f.fileName());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Не удалось создать интерфейс для конфигурации прибора.\n")))
        << messages[0].toStdString();
    EXPECT_EQ(kinds, QList<int>{mtError});
    EXPECT_TRUE(form->actSaveFile->isEnabled());
    EXPECT_EQ(form->CurrentDevice->text, QStringLiteral("Тиврон-Б"));
}

// A cell's text in the status bar speaks of the pages it was shown on: the pages of a file opened
// start without it, and a new configuration cancelled leaves neither it nor the device's name.
TEST_F(ConfigFilesFormTest, TheStatusOfACellGoesWithItsPages)
{
    const auto showObjectName = [this] {
        int i = 0;
        for (CTreeNode *t = form->CurrentDevice->firstChild(); t && t->text != QStringLiteral("Общие параметры");
             t = t->nextSibling())
            ++i;
        CParamListView *list = List(form->PageIds.value(i));
        ASSERT_NE(list, nullptr);
        int row = 0;
        while (row < list->Page().RowCount() && list->Page().Caption(row) != QStringLiteral("Название объекта"))
            ++row;
        ASSERT_TRUE(list->Page().SetCellText(row, 0, QStringLiteral("Склад 2")));
        form->SelectedRow = row;
        form->SelectedColumn = 1;
        form->lvQSelectItem(list);
        ASSERT_EQ(form->StatusText(), QStringLiteral("Название объекта:    Склад 2"));
    };
    New(QStringLiteral("Тиврон-2"), 5);
    ASSERT_TRUE(form->CurrentDevice);
    ASSERT_FALSE(Save(QStringLiteral("conf")).isEmpty());
    New(QStringLiteral("Тиврон-А"), 3);
    showObjectName();

    Open(dir.filePath(QStringLiteral("conf.DEV")));
    ASSERT_EQ(form->CurrentDevice->text, QStringLiteral("Тиврон-2"));
    EXPECT_EQ(form->StatusText(), QString());
    EXPECT_EQ(form->windowTitle(), MainCaption + QStringLiteral("    прибор Тиврон-2  Адрес-5"));

    showObjectName();
    New(QString());
    EXPECT_EQ(form->StatusText(), QString());
    EXPECT_EQ(form->windowTitle(), MainCaption);
    EXPECT_EQ(form->CurrentDevice, nullptr);
}

// Every sample model: a new configuration saved, opened and saved again gives the same file.
TEST_F(ConfigFilesFormTest, EverySampleModelRoundTrips)
{
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/devices.xml")), catalogue));
    int n = 0;
    for (CTreeNode *model = catalogue.firstNode(); model; model = model->nextSibling(), ++n) {
        SCOPED_TRACE(model->text.toStdString());
        New(model->text, 0);
        ASSERT_TRUE(form->CurrentDevice);
        ASSERT_EQ(form->CurrentDevice->text, model->text);
        // A key on each key page, so the file holds more than the fresh pages.
        for (int id : form->PageIds)
            if (FindComponentByName(QStringLiteral("btnKeyAdd") + QString::number(id), form->PageControl, 3))
                Click(QStringLiteral("btnKeyAdd") + QString::number(id));
        const QString name = QStringLiteral("model") + QString::number(n);
        const QByteArray saved = Save(name);
        ASSERT_FALSE(saved.isEmpty());
        Open(dir.filePath(name + QStringLiteral(".DEV")));
        ASSERT_EQ(form->CurrentDevice->text, model->text);
        const QByteArray again = Save(name + QStringLiteral("again"));
        EXPECT_EQ(WithoutObjIds(again), WithoutObjIds(saved));
    }
    EXPECT_EQ(n, 4);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}
