// The selection dialog and the CAN monitor offscreen at their sizes, in the faces the program
// installs: every text shows whole; the standard texts are Russian.
#include <gtest/gtest.h>

#include <QAbstractProxyModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("архив")));
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(QLocale(), russian);

    QString size, date, folderType;
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
                             EXPECT_TRUE(QTest::qWaitFor(
                                 [&] { return files->size(files->index(file.fileName())) == 9840; }));
                             size = text(file.fileName(), 1);
                             date = text(file.fileName(), 3);
                             folderType = text(dir.filePath(QStringLiteral("архив")), 2);
                         });
    EXPECT_EQ(size, russian.formattedDataSize(9840));
    EXPECT_TRUE(size.contains(u',')) << size.toStdString();
    EXPECT_EQ(date, russian.toString(QFileInfo(file.fileName()).lastModified(), QLocale::ShortFormat));
    EXPECT_EQ(folderType, QStringLiteral("Папка"));
}
