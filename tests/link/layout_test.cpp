// The selection dialog and the CAN monitor offscreen at their sizes, in the faces the program
// installs: every text shows whole; the standard texts are Russian.
#include <gtest/gtest.h>

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFont>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <memory>
#include <utility>

#include "link/select_device_form.h"
#include "link/show_pakets_form.h"
#include "link/text_file_save.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "platform/item_delegate.h"
#include "tests/link/fake_dll_fixture.h"
#include "tests/support/file_dialogs.h"
#include "tests/support/layout_table.h"
#include "tests/support/test_paths.h"

namespace {
class LinkLayoutTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/devices.xml")), catalogue));
    }
    CTree catalogue;
};

// Grid cells and headers that their column cuts (the grid elides them); widestNumber stands for the
// row numbers to come.
QStringList CutGridTexts(const QTableView *grid, const QString &widestNumber)
{
    QStringList out;
    const QAbstractItemModel *m = grid->model();
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    const auto *cells = dynamic_cast<const CDesignItemDelegate *>(grid->itemDelegate());
    if (!cells)
        return {QStringLiteral("the grid does not draw its cells as designed")};
    for (int col = 0; col < m->columnCount(); ++col) {
        const QString header = m->headerData(col, Qt::Horizontal).toString();
        if (grid->horizontalHeader()->fontMetrics().horizontalAdvance(header) + margin > grid->columnWidth(col))
            out << header;
        const int room = cells->TextRoom(QRect(0, 0, grid->columnWidth(col) - 1, grid->rowHeight(0))).width();
        for (int row = 0; row <= m->rowCount(); ++row) {
            const QString text = row == m->rowCount() ? (col == 0 ? widestNumber : QString())
                                                      : m->index(row, col).data().toString();
            if (grid->fontMetrics().horizontalAdvance(text) > room)
                out << text;
        }
    }
    return out;
}

// Texts of a file dialog's detail view that their column cuts (the view elides them): its headers and
// the cells of the folder it shows.
QStringList CutDetailTexts(const QTreeView *details)
{
    QStringList out;
    const QAbstractItemModel *m = details->model();
    const QModelIndex folder = details->rootIndex();
    const QHeaderView *header = details->header();
    const QStyle *style = details->style();
    const int margin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, details) + 1);
    const int icon = style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, details);
    for (int col = 0; col < m->columnCount(folder); ++col) {
        const QString title = m->headerData(col, Qt::Horizontal).toString();
        if (header->isSectionHidden(col) ||
            header->fontMetrics().horizontalAdvance(title) + 2 * style->pixelMetric(QStyle::PM_HeaderMargin) >
                header->sectionSize(col))
            out << title;
        for (int row = 0; row < m->rowCount(folder); ++row) {
            const QModelIndex cell = m->index(row, col, folder);
            QStyleOptionViewItem item;
            item.initFrom(details);
            item.rect = details->visualRect(cell);
            item.features = QStyleOptionViewItem::HasDisplay;
            item.text = cell.data().toString();
            if (!cell.data(Qt::DecorationRole).isNull()) {
                item.features |= QStyleOptionViewItem::HasDecoration;
                item.decorationSize = details->iconSize().isValid() ? details->iconSize() : QSize(icon, icon);
            }
            const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &item, details).width() - margin;
            if (details->fontMetrics().horizontalAdvance(item.text) > room)
                out << item.text;
        }
    }
    return out;
}
} // namespace

TEST_F(LinkLayoutTest, EveryTextShowsWholeAtTheDesignedSizes)
{
    CTreeNode *longest = catalogue.topNode(2);
    ASSERT_EQ(longest->text, QStringLiteral("Тиврон-АСПТ-А"));
    ExpectLaidOutAsDesigned({
        {"selection, every model listed, the longest chosen", {330, 420},
         [&] {
             auto form = std::make_unique<TSelectDeviceForm>(nullptr, false, catalogue, QString());
             form->AddCatalogueModels();
             form->SelectListNode(form->AddDevice(longest, 255));
             return std::unique_ptr<QWidget>(std::move(form));
         }},
        {"selection, search with a long count", {330, 420},
         [&] {
             UsbCan.Connected = true;
             auto form = std::make_unique<TSelectDeviceForm>(nullptr, true, catalogue, QString());
             form->SearchPacketTotal = 99990;
             g_fake.rx.assign(9, Delivered(0x12345678));
             form->TimerFindCanDevicesTimer();
             return std::unique_ptr<QWidget>(std::move(form));
         }},
        {"monitor", {436, 601}, [] { return std::make_unique<TShowPaketsForm>(); }},
    });

    // The monitor's columns keep their widths and hold the widest packet rows.
    TShowPaketsForm monitor;
    monitor.show();
    monitor.AddPacketRow(QStringLiteral("23:59:59"), QStringLiteral("FFFFFFFF"), QStringLiteral("FFFFFFFFFFFFFFFF"),
                         PacketRowSent);
    monitor.AddPacketRow(QStringLiteral("23:59:59"), QStringLiteral("FFFFFFFF"), QStringLiteral("FFFFFFFFFFFFFFFF"),
                         PacketRowReceived);
    monitor.AddPacketRow(QStringLiteral("23:59:59"), QStringLiteral("FFFFFFFF"), QString(), PacketRowFailed);
    monitor.Rows().Flush();
    EXPECT_EQ(CutGridTexts(monitor.StringGridPaket, QStringLiteral("99999")).join(u'|').toStdString(), "");
}

TEST(RussianTexts, FileDialogsAndEditMenusSpeakRussian)
{
    const SeenFileDialog save =
        CancelNextFileDialog([] { EXPECT_EQ(SaveTxtFileDialog(nullptr, QStringLiteral("a.txt")), std::nullopt); });
    EXPECT_TRUE(save.shown);
    EXPECT_FALSE(save.native);
    EXPECT_EQ(save.cancelText, QStringLiteral("Отмена"));
    const SeenFileDialog open =
        CancelNextFileDialog([] { EXPECT_EQ(ShowFileDialog(nullptr, false, QStringLiteral("*.DEV")), std::nullopt); });
    EXPECT_TRUE(open.shown);
    EXPECT_FALSE(open.native);
    EXPECT_EQ(open.cancelText, QStringLiteral("Отмена"));

    TShowPaketsForm monitor;
    std::unique_ptr<QMenu> menu(monitor.LabeledEdit_Id->createStandardContextMenu());
    QStringList texts;
    for (const QAction *a : menu->actions())
        texts << a->text().section(u'\t', 0, 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("&Копировать"))) << texts.join(u' ').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("В&ставить"))) << texts.join(u' ').toStdString();
}

// Qt's file model would write sizes and dates in the system's locale, English on most machines.
TEST(RussianTexts, FileDialogDetailsShowRussianSizesDatesAndTypes)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("CAN монитор.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(9840, 'a'));
    file.close();
    QFile small(dir.filePath(QStringLiteral("журнал.txt")));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write(QByteArray(216, 'a'));
    small.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("архив")));
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(QLocale(), russian);

    QString size, smallSize, date, folderType;
    CancelNextFileDialog([&] { ShowFileDialog(nullptr, false, QStringLiteral("*.txt (*.txt *.TXT)"), file.fileName()); },
                         [&](QFileDialog *dialog) {
                             dialog->setViewMode(QFileDialog::Detail);
                             auto *files = dialog->findChild<QFileSystemModel *>();
                             ASSERT_NE(files, nullptr);
                             const QAbstractProxyModel *shown = dialog->proxyModel();
                             ASSERT_NE(shown, nullptr);
                             auto text = [&](const QString &path, int column) {
                                 return shown->mapFromSource(files->index(path, column)).data().toString();
                             };
                             EXPECT_TRUE(QTest::qWaitFor([&] {
                                 return files->size(files->index(file.fileName())) == 9840 &&
                                        files->size(files->index(small.fileName())) == 216;
                             }));
                             size = text(file.fileName(), 1);
                             smallSize = text(small.fileName(), 1);
                             date = text(file.fileName(), 3);
                             folderType = text(dir.filePath(QStringLiteral("архив")), 2);
                         });
    EXPECT_EQ(size.toStdString(), "9,6 КБ");
    EXPECT_EQ(smallSize.toStdString(), "216 байт");
    EXPECT_EQ(date, russian.toString(QFileInfo(file.fileName()).lastModified(), QLocale::ShortFormat));
    EXPECT_EQ(folderType, QStringLiteral("Папка"));
}

// Qt sizes the detail columns for English types and dates; the program's Russian ones were cut
// ("До…ML", "11.12.2…6 02:15"). Over a folder of the program's own files, every detail shows whole,
// in a dialog that fits a 1024 x 768 screen; with a larger face the dialog opens wider.
TEST(FileDialogs, DetailsOfTheProgramsFilesShowWhole)
{
    QTemporaryDir dir;
    for (const char *name : {"data/demo/tivron-a-3.DEV", "data/devices.xml"})
        ASSERT_TRUE(QFile::copy(SourcePath(QString::fromLatin1(name)), dir.filePath(QFileInfo(name).fileName())));
    const QString monitorLog =
        TShowPaketsForm::PresetFileName(QDateTime(QDate(2025, 12, 28), QTime(22, 58, 58))) + QStringLiteral(".txt");
    const QString archive = QStringLiteral("Протокол событий АСПТ-А-12.txt");
    for (const auto &[name, size] : {std::pair{monitorLog, 9840}, std::pair{archive, 124'000},
                                     std::pair{QStringLiteral("Конфигурация-a1B2c3.docx"), 21'000}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'a'));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("архив")));
    const int files = 6;

    const QFont face = QApplication::font();
    // The program's face; a larger one the dialog widens for; one too large for a small screen, where
    // the dialog stops at the screen's size.
    for (const auto &[pixels, whole] :
         {std::pair{QFontInfo(face).pixelSize(), true}, std::pair{13, true}, std::pair{40, false}}) {
        SCOPED_TRACE(pixels);
        QFont larger = face;
        larger.setPixelSize(pixels);
        QApplication::setFont(larger);
        for (const bool save : {false, true}) {
            QStringList cut;
            int spare = 0; // the view's width beyond its columns
            QRect frame;
            QRect screen;
            CancelNextFileDialog(
                [&] { ShowFileDialog(nullptr, save, QStringLiteral("Все файлы (*)"), dir.filePath(archive)); },
                [&](QFileDialog *dialog) {
                    dialog->setViewMode(QFileDialog::Detail);
                    auto *details = dialog->findChild<QTreeView *>();
                    ASSERT_NE(details, nullptr);
                    auto *model = dialog->findChild<QFileSystemModel *>();
                    ASSERT_NE(model, nullptr);
                    EXPECT_TRUE(QTest::qWaitFor([&] {
                        return details->model()->rowCount(details->rootIndex()) == files &&
                               model->size(model->index(dir.filePath(monitorLog))) == 9840;
                    }));
                    // The columns follow the folder's texts as the view lays them out.
                    auto look = [&] {
                        cut = CutDetailTexts(details);
                        spare = details->viewport()->width() - details->header()->length();
                        return cut.isEmpty() && spare >= 0;
                    };
                    if (whole)
                        (void)QTest::qWaitFor(look);
                    else
                        look();
                    frame = dialog->frameGeometry();
                    screen = dialog->screen()->availableGeometry();
                });
            if (whole) {
                EXPECT_EQ(cut.join(u'|').toStdString(), "") << (save ? "save" : "open");
                EXPECT_GE(spare, 0) << "columns beyond the view's right edge";
            }
            EXPECT_LE(frame.width(), 1024);
            EXPECT_LE(frame.height(), 768);
            EXPECT_TRUE(screen.contains(frame)) << "off the screen";
        }
    }
    QApplication::setFont(face);
}
