// The CAN monitor window offscreen: what the engineer sees and clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/message_dlg.h"
#include "link/exchange.h"
#include "link/packet_text.h"
#include "link/show_pakets_form.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/protected_file.h"
#include "tests/support/focus_check.h"
#include "tests/support/opening_keys.h"
#include "tests/support/paste_paths.h"
#include "tests/support/test_files.h"

namespace {

class MonitorFormTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return answer;
        });
        main = new QWidget;
        main->resize(790, 500);
        main->move(50, 40);
        form = new TShowPaketsForm(main);
        form->SetSaveDialog([this](QWidget *, const QString &preset) {
            presets << preset;
            return chosen;
        });
    }
    void TearDown() override
    {
        delete main; // owns the form
        SetMessageDlgHook(nullptr);
        LinkTest::TearDown();
    }

    QString ViewCell(int row, int col) const
    {
        return form->StringGridPaket->model()->index(row, col).data().toString();
    }

    QWidget *main = nullptr;
    TShowPaketsForm *form = nullptr;
    QStringList messages;
    QStringList presets;
    std::optional<QString> chosen;
    int answer = mrOk;
};

} // namespace

TEST_F(MonitorFormTest, DesignAsTheEngineerSeesIt)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Просмотр принятых/отправленных данных"));
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Командная строка"));
    EXPECT_EQ(form->Button_Execute->text(), QStringLiteral("Выполнить"));
    EXPECT_EQ(form->CheckBox_CanMonitor->text(), QStringLiteral(" мониторинг CAN линии"));
    EXPECT_FALSE(form->CheckBox_CanMonitor->isChecked());
    EXPECT_EQ(form->Clear->text(), QStringLiteral("Очистить"));
    EXPECT_EQ(form->SaveToFile->text(), QStringLiteral("Сохранить в файл"));
    EXPECT_EQ(form->Close->text(), QStringLiteral("Закрыть"));
    EXPECT_EQ(form->Timer_checkRx->interval(), 1000);
    EXPECT_FALSE(form->Timer_checkRx->isActive());

    QTableView *grid = form->StringGridPaket;
    const char *headers[] = {"Номер", "Время", "ID", "Data", "Действие"};
    const int widths[] = {40, 72, 72, 128, 88};
    for (int col = 0; col < 5; ++col) {
        EXPECT_EQ(grid->model()->headerData(col, Qt::Horizontal).toString(), QString(headers[col]));
        EXPECT_EQ(grid->columnWidth(col), widths[col]);
    }
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 18);
    EXPECT_EQ(grid->model()->rowCount(), 1); // the empty row
    EXPECT_EQ(form->Grid().RowCount(), 2);

    // Typed letters become upper case; the edits take at most 8 and 16 characters.
    QTest::keyClicks(form->LabeledEdit_Id, "85ff02001");
    EXPECT_EQ(form->LabeledEdit_Id->text(), QStringLiteral("85FF0200"));
    QTest::keyClicks(form->LabeledEdit_Data, "0123456789abcdef01");
    EXPECT_EQ(form->LabeledEdit_Data->text(), QStringLiteral("0123456789ABCDEF"));
}

// A paste, by any way, leaves what typing the same text would: upper case, at most 8 and 16
// characters, the first ones kept.
TEST_F(MonitorFormTest, EveryPasteLeavesWhatTypingWould)
{
    using namespace paste_paths;
    form->show();
    QApplication::setActiveWindow(form);
    const struct {
        QLineEdit *edit;
        const char *text;
    } cases[] = {{form->LabeledEdit_Id, "85ff0200ffff"}, {form->LabeledEdit_Data, "0123456789abcdef0123"}};
    for (const auto &c : cases) {
        c.edit->clear();
        c.edit->setFocus();
        QTest::keyClicks(c.edit, c.text);
        const QString typed = c.edit->text();
        for (const Path path : {Path::CtrlV, Path::ShiftInsert, Path::Menu, Path::MiddleButton, Path::Drop,
                                Path::InputMethod}) {
            c.edit->clear();
            c.edit->setFocus();
            Paste(c.edit, path, c.text);
            EXPECT_EQ(c.edit->text(), typed) << c.text << " " << NameOf(path);
        }
    }
}

TEST_F(MonitorFormTest, LogsWhileHiddenAndShowsTheNewestRowSelected)
{
    UsbCan.Connected = true;
    UsbCan.SendPacket("85FF0200FF");
    g_fake.rx = {Delivered(0x10BFE043, {1, 2, 3})};
    UsbCan.ReceivePackets(UsbCan.RxPackets);
    EXPECT_EQ(form->Grid().RowCount(), 4); // logged while hidden
    EXPECT_EQ(form->Grid().Line(2), QStringLiteral("2|12:34:56|85FF0203|0102030000000000|  (Получен)|"));

    form->show();
    QTableView *grid = form->StringGridPaket;
    ASSERT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(ViewCell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(ViewCell(0, 3), QStringLiteral("FF"));
    EXPECT_EQ(ViewCell(0, 4), QStringLiteral("  (Отправлен)"));
    EXPECT_EQ(ViewCell(2, 0), QString());
    EXPECT_EQ(grid->currentIndex().row(), 2);

    // Shown: rows reach the view in a batch.
    UsbCan.SendPacket("85FF0201");
    EXPECT_EQ(form->Grid().RowCount(), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->model()->rowCount() == 4; }, 5000));
    EXPECT_EQ(ViewCell(2, 0), QStringLiteral("3"));
    EXPECT_EQ(grid->currentIndex().row(), 3);

    // The engineer's edit of a cell goes into the grid, and into the saved file.
    EXPECT_TRUE(grid->model()->setData(grid->model()->index(0, 3), QStringLiteral("правка")));
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(form->Grid().Cell(1, 3), QStringLiteral("правка"));

    form->Clear->click();
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(form->Grid().RowCount(), 2);
    UsbCan.SendPacket("85FF0202");
    form->Rows().Flush();
    EXPECT_EQ(ViewCell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

TEST_F(MonitorFormTest, ShowingPlacesTheWindowsAndNotesTheConnection)
{
    form->show();
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(main->pos().x(), form->width());
    EXPECT_EQ(form->height(), main->height());
    EXPECT_FALSE(form->Link.WasConnected);
    EXPECT_FALSE(form->Timer_checkRx->isActive());

    // The box starts the timer while shown; closing stops it and the box keeps its state.
    form->CheckBox_CanMonitor->click();
    EXPECT_TRUE(form->Timer_checkRx->isActive());
    UsbCan.Connect();
    form->Close->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer_checkRx->isActive());
    EXPECT_TRUE(form->CheckBox_CanMonitor->isChecked());
    EXPECT_FALSE(UsbCan.Connected); // it was not connected at showing

    UsbCan.Connect();
    form->show();
    EXPECT_TRUE(form->Link.WasConnected);
    EXPECT_TRUE(form->Timer_checkRx->isActive());
    form->close();
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_EQ(g_fake.disconnects, 1);
}

TEST_F(MonitorFormTest, ClosingDuringAnExchangeWaitsForIt)
{
    form->show();
    BeginExchange();
    UsbCan.Connect();
    form->close();
    EXPECT_TRUE(UsbCan.Connected);
    EndExchange();
    EXPECT_FALSE(UsbCan.Connected);
}

TEST_F(MonitorFormTest, CommandLineSendsAndRefuses)
{
    form->show();
    form->LabeledEdit_Id->setText("85FF0200");
    form->LabeledEdit_Data->setText("FF00");
    QTest::keyClick(form->LabeledEdit_Data, Qt::Key_Return);
    ASSERT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(g_fake.sent[0].data, std::vector<uint8_t>({0xFF, 0x00}));
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_EQ(form->Grid().Cell(1, 2), QStringLiteral("85FF0200"));

    form->LabeledEdit_Id->setText("FF0200");
    form->Button_Execute->click();
    form->LabeledEdit_Id->clear();
    form->Button_Execute->click();
    EXPECT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(messages, QStringList({BadIdentifierText, "Нет команды."}));
}

TEST_F(MonitorFormTest, SaveWritesTheLogUnderTheChosenName)
{
    QTemporaryDir dir;
    UsbCan.SendPacket("85FF0200");

    chosen = std::nullopt; // cancelled
    form->SaveToFile->click();
    ASSERT_EQ(presets.size(), 1);
    EXPECT_TRUE(presets[0].startsWith(QStringLiteral("CAN монитор ")));
    EXPECT_FALSE(presets[0].contains(u':'));
    EXPECT_FALSE(presets[0].contains(u'/'));
    EXPECT_TRUE(messages.isEmpty());

    chosen = QStringLiteral("  ");
    form->SaveToFile->click();
    EXPECT_EQ(messages, QStringList({"Имя файла не указано"}));

    chosen = dir.filePath("log");
    form->SaveToFile->click();
    QFile f(dir.filePath("log.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, one packet, the empty row, nothing after the last CR LF
    EXPECT_EQ(lines[1], QByteArray("1|12:34:56|85FF0200||  (\xCE\xF2\xEF\xF0\xE0\xE2\xEB\xE5\xED)|\r"));
    EXPECT_EQ(lines[2], QByteArray("|||||\r"));
    f.close();

    // The answer No keeps the file; an unwritable name is shown, not thrown through Qt.
    messages.clear();
    answer = mrNo;
    UsbCan.SendPacket("85FF0201");
    form->SaveToFile->click();
    EXPECT_EQ(messages, QStringList({"Заменить файл '" + dir.filePath("log.txt") + "'"}));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 3);

    messages.clear();
    chosen = dir.filePath("no/such/log.txt");
    form->SaveToFile->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(dir.filePath("no/such/log.txt")));
}

// The proposed name is written in the program's own locale, Russian, also on a machine whose system
// locale is C ("CAN монитор 11 Dec 2026 11_57_36" was proposed there). The system's locale is read
// once per process, so the C case runs this test again in a process started under LC_ALL=C, which
// writes what it saw to a file.
TEST(MonitorPresetName, FollowsTheProgramsLocaleWhateverTheSystems)
{
    const QDateTime moment(QDate(2026, 12, 11), QTime(11, 57, 36));
    const QString expected = QStringLiteral("CAN монитор 11.12.2026 11_57_36");
    const QByteArray seenVariable = "TIVRON_PRESET_NAME_SEEN";
    if (qEnvironmentVariableIsSet(seenVariable)) {
        QFile seen(qEnvironmentVariable(seenVariable));
        ASSERT_TRUE(seen.open(QIODevice::WriteOnly));
        seen.write((QLocale::system().name() + u'\n' + TShowPaketsForm::PresetFileName(moment)).toUtf8());
        return;
    }
    EXPECT_EQ(TShowPaketsForm::PresetFileName(moment).toStdString(), expected.toStdString());

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(QString::fromLatin1(seenVariable), dir.filePath(QStringLiteral("seen.txt")));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=MonitorPresetName.FollowsTheProgramsLocaleWhateverTheSystems")});
    ASSERT_TRUE(child.waitForFinished(120'000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    const QStringList seen = QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("seen.txt")))).split(u'\n');
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].toStdString(), "C");
    EXPECT_EQ(seen[1].toStdString(), expected.toStdString());
}

TEST_F(MonitorFormTest, SaveRefusesAFileNameOfBlanks)
{
    QTemporaryDir dir;
    UsbCan.SendPacket("85FF0200");
    for (const QString &blank : BlankFileNames(dir)) {
        SCOPED_TRACE(blank.toStdString());
        messages.clear();
        chosen = blank;
        form->SaveToFile->click();
        EXPECT_EQ(messages, QStringList{"Имя файла не указано"});
        EXPECT_EQ(FolderEntries(dir.path()), QStringList());
    }
}

// A disk that takes 1,024 bytes of a 6 KB log: the old file stays whole and the engineer is told.
TEST_F(MonitorFormTest, SaveOnAFullDiskKeepsTheOldFileAndShowsWhy)
{
    QTemporaryDir dir;
    for (int i = 0; i < 100; ++i)
        UsbCan.SendPacket("85FF0200");
    chosen = dir.filePath("log.txt");
    answer = mrYes;
    ExpectFullDiskSaveKeepsTheOldFile(*chosen, "old log\r\n", 1024, [&] { form->SaveToFile->click(); }, messages);
}

// A log the engineer may not write: after the question it stays byte for byte and the engineer is told.
TEST_F(MonitorFormTest, SaveOverAFileThatMayNotBeWrittenKeepsItAndShowsWhy)
{
    QTemporaryDir dir;
    UsbCan.SendPacket("85FF0200");
    chosen = dir.filePath("log.txt");
    answer = mrYes;
    ExpectSavesOverProtectedFiles(*chosen, [&] { form->SaveToFile->click(); }, messages);
}

TEST_F(MonitorFormTest, MonitoringTickDrainsAFloodInPassesAndShowsWhereFramesWereLost)
{
    QTemporaryDir dir;
    form->show();
    form->CheckBox_CanMonitor->setChecked(true);
    const std::size_t flood = 2 * CUsbCan::MaxFramesPerDrain + 5;
    for (std::size_t i = 0; i < flood; ++i)
        g_fake.rx.push_back(Delivered(0x10BFE043, {uint8_t(i >> 8), uint8_t(i)}));
    g_fake.onTaken = [](int taken) {
        if (taken == 1500)
            g_fake.dropped += 700; // the library's queue overflowed there
    };
    form->Timer_checkRxTimer(); // connects, drains its limit and leaves the rest to the event loop
    EXPECT_TRUE(UsbCan.Connected);
    EXPECT_EQ(UsbCan.RxPackets.size(), std::size_t(CUsbCan::MaxFramesPerDrain));
    std::size_t seenBetween = 0;
    QTimer::singleShot(0, [&] { seenBetween = UsbCan.RxPackets.size(); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return g_fake.rx.empty() && seenBetween > 0; }, 5000));
    EXPECT_LT(seenBetween, flood); // the window's events ran between the passes
    EXPECT_EQ(UsbCan.RxPackets.size(), flood);
    form->Rows().Flush();

    // Row 1501 stands where the 700 were lost, its text across the identifier, data and action.
    const CPacketRowStore &grid = form->Grid();
    EXPECT_EQ(grid.PacketCount(), int(flood) + 1);
    EXPECT_EQ(grid.Line(1500), QStringLiteral("1500|12:34:56|85FF0203|05DB000000000000|  (Получен)|"));
    EXPECT_EQ(grid.Line(1501), QStringLiteral("1501|12:34:56|Потеряно пакетов = 700|||"));
    EXPECT_EQ(grid.Line(1502), QStringLiteral("1502|12:34:56|85FF0203|05DC000000000000|  (Получен)|"));
    EXPECT_EQ(ViewCell(1500, 2), QStringLiteral("Потеряно пакетов = 700"));
    EXPECT_EQ(form->StringGridPaket->columnSpan(1500, 2), 3);
    EXPECT_EQ(form->StringGridPaket->columnSpan(1499, 2), 1);
    const QTableView *view = form->StringGridPaket;
    EXPECT_LT(QFontMetrics(view->font()).horizontalAdvance(LostPacketsText(4294967295u)) + 8,
              view->columnWidth(2) + view->columnWidth(3) + view->columnWidth(4));

    // The saved file has it too, in the program's code page.
    chosen = dir.filePath("flood.txt");
    form->SaveToFile->click();
    QFile f(dir.filePath("flood.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GT(lines.size(), 1501);
    EXPECT_EQ(lines[1501], QByteArray("1501|12:34:56|\xCF\xEE\xF2\xE5\xF0\xFF\xED\xEE \xEF\xE0\xEA\xE5\xF2\xEE\xE2 = 700|||\r"));

    form->Clear->click();
    EXPECT_EQ(form->StringGridPaket->columnSpan(1500, 2), 1);
}

// The command line's boxes select their whole text when the focus comes to them by code.
TEST_F(MonitorFormTest, CommandLineSelectsItsTextWhenFocusedByCode)
{
    const struct {
        QLineEdit *edit;
        const char *text;
    } cases[] = {{form->LabeledEdit_Id, "85FF0200"}, {form->LabeledEdit_Data, "0102"}};
    for (const auto &c : cases) {
        c.edit->setText(c.text);
        EXPECT_EQ(SelectedOnFocus(c.edit), c.text) << c.text;
    }
    SelectedOnFocus(form->LabeledEdit_Id);
    QTest::keyClicks(form->LabeledEdit_Id, "ef");
    EXPECT_EQ(form->LabeledEdit_Id->text(), QStringLiteral("EF"));
}

TEST_F(MonitorFormTest, GridFollowsTheNewestPacketUntilTheEngineerLooksElsewhere)
{
    form->show();
    QTableView *grid = form->StringGridPaket;
    QScrollBar *bar = grid->verticalScrollBar();
    form->CheckBox_CanMonitor->setChecked(true);
    int frames = 0;
    const auto burst = [&](int count) {
        for (int i = 0; i < count; ++i, ++frames)
            g_fake.rx.push_back(Delivered(0x10BFE043, {uint8_t(frames >> 8), uint8_t(frames)}));
        form->Timer_checkRxTimer();
        // Drained in passes, the rows reaching the view in batches on their own timer.
        return QTest::qWaitFor([&] { return g_fake.rx.empty() && grid->model()->rowCount() == frames + 1; }, 5000);
    };
    // The last packet in view, above the empty row, which is the selected one.
    const auto newestInView = [&] {
        const int last = grid->model()->rowCount() - 1;
        QApplication::processEvents();
        return grid->currentIndex().row() == last && bar->value() == bar->maximum() &&
               grid->viewport()->rect().intersects(grid->visualRect(grid->model()->index(last - 1, 1)));
    };

    ASSERT_TRUE(burst(4000));
    EXPECT_TRUE(newestInView());
    ASSERT_TRUE(burst(3));
    EXPECT_TRUE(newestInView());

    // A row the engineer selected stays where he put it.
    grid->setCurrentIndex(grid->model()->index(10, 2));
    ASSERT_TRUE(burst(500));
    EXPECT_EQ(grid->currentIndex().row(), 10);
    EXPECT_LT(bar->value(), bar->maximum());
    // Ctrl+End resumes the following.
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    ASSERT_TRUE(burst(500));
    EXPECT_TRUE(newestInView());

    // Scrolled up, the grid stays there; back at the end it follows again.
    bar->setValue(bar->maximum() / 2);
    const int scrolled = bar->value();
    ASSERT_TRUE(burst(500));
    EXPECT_EQ(bar->value(), scrolled);
    bar->setValue(bar->maximum());
    ASSERT_TRUE(burst(500));
    EXPECT_TRUE(newestInView());

    // Clearing starts the following anew.
    grid->setCurrentIndex(grid->model()->index(3, 2));
    form->Clear->click();
    frames = 0;
    ASSERT_TRUE(burst(200));
    EXPECT_TRUE(newestInView());
}

// The monitor opens with the focus in its identifier box, its last command selected: the command
// typed at once replaces it.
TEST_F(MonitorFormTest, TheCommandTypedAsTheMonitorOpensReplacesTheLastOne)
{
    const char *commands[] = {"85FF0200", "85FF0300"};
    for (const char *command : commands) {
        const TypedOnOpening seen =
            TypeAsItOpens([this](QWidget *window) { return window == form; }, QString::fromLatin1(command), true,
                          [this] { form->show(); });
        ASSERT_TRUE(seen.typed) << command;
        EXPECT_EQ(seen.focus.data(), form->LabeledEdit_Id) << command;
        EXPECT_EQ(seen.selected, command == commands[0] ? "" : commands[0]) << command;
        EXPECT_EQ(form->LabeledEdit_Id->text(), QString::fromLatin1(command));
        form->Close->click();
        EXPECT_FALSE(form->isVisible());
    }
    ASSERT_EQ(g_fake.sent.size(), 2u);
    EXPECT_EQ(g_fake.sent[1].identifier, PacketIdentifier(0x85, 0xFF, 0x03, 0x00));
}
