// The service windows as the engineer sees them at their designed sizes: every text whole, no
// control squeezed, the archive grids' texts readable at their columns' widths.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>

#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "platform/item_delegate.h"
#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"
#include "service/change_address.h"
#include "service/chenge_addres_device.h"
#include "tests/service/service_fixture.h"
#include "tests/support/layout_check.h"
#include "tests/support/test_paths.h"

// Readable failures.
inline void PrintTo(const QSize &size, std::ostream *os) { *os << size.width() << "x" << size.height(); }

namespace {

class IdleTimer : public ITimerBackend {
public:
    void Start(int) override {}
    void Stop() override {}
};

// Grid texts the engineer cannot read whole: a header or a filled cell wider than its column.
std::string GridReport(const QTableView *grid)
{
    const QFontMetrics fm(grid->font());
    const QFontMetrics headerFm(grid->horizontalHeader()->font());
    const int headerMargin = grid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, grid);
    const auto *cells = dynamic_cast<const CDesignItemDelegate *>(grid->itemDelegate());
    if (!cells)
        return "the grid does not draw its cells as designed\n";
    const QAbstractItemModel *model = grid->model();
    std::string out;
    for (int c = 0; c < model->columnCount(); ++c) {
        // The cell less its grid line, the text 2 px in from its left edge.
        const int room = cells->TextRoom(QRect(0, 0, grid->columnWidth(c) - 1, grid->rowHeight(0))).width();
        const QString header = model->headerData(c, Qt::Horizontal).toString();
        if (headerFm.horizontalAdvance(header) > grid->columnWidth(c) - 2 * headerMargin)
            out += "header \"" + header.toStdString() + "\" wider than its column\n";
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString text = model->data(model->index(r, c)).toString();
            if (fm.horizontalAdvance(text) > room)
                out += "cell \"" + text.toStdString() + "\" wider than its column\n";
        }
    }
    return out;
}

class ServiceLayouts : public ServiceTest {
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        catalogueFile = CopySampleCatalogue(dir);
        ASSERT_FALSE(catalogueFile.isEmpty());
    }
    QTemporaryDir dir;
    QString catalogueFile;
    CTree catalogue;
};

} // namespace

TEST_F(ServiceLayouts, ServiceWindowShowsItsTextsForEveryModel)
{
    TServiceHooks hooks;
    hooks.TimerBackend = std::make_unique<IdleTimer>();
    TChengeAddresDeviceForm form(nullptr, catalogue, catalogueFile, std::move(hooks));
    form.show();
    EXPECT_EQ(form.size(), QSize(523, 689));
    EXPECT_EQ(LayoutReport(&form), "");

    UsbCan.Connected = true;
    form.FormShow();
    auto answer = [](int address, int typeId) {
        return Frame(0x20, 0xFF, uint8_t(address - 1), 0, {uint8_t(typeId)});
    };
    for (const CanPacket &p : {answer(3, 14), answer(4, 11), answer(12, 10)})
        g_fake.rx.push_back(p);
    form.TimerFindCanDevices.Tick();
    ASSERT_EQ(form.tvDevice->items().count(), 3);
    for (int i = 0; i < 3; ++i) {
        CTreeNode *node = form.tvDevice->items().topNode(i);
        SCOPED_TRACE(node->text.toStdString());
        form.SelectNode(node);
        form.tvDeviceClick(); // no version answer: the longest version text
        QCoreApplication::processEvents();
        EXPECT_EQ(LayoutReport(&form), "");
    }
}

TEST_F(ServiceLayouts, AddressDialogOpensUsableForEachTarget)
{
    TMainFormEnv env;
    env.ProgramDir = SourcePath(QStringLiteral("data"));
    TMainForm main(nullptr, env);
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("data/devices.xml")), catalogue));
    main.CurrentDevice = catalogue.firstNode()->shared();
    for (AddressTarget target : {AddressTarget::Device, AddressTarget::Detector, AddressTarget::Module}) {
        SCOPED_TRACE(int(target));
        TFormChangeAddress dialog(main);
        dialog.ShowGroup(target);
        dialog.show();
        EXPECT_EQ(dialog.size(), QSize(274, 76));
        EXPECT_EQ(LayoutReport(&dialog), "");
    }
}

TEST_F(ServiceLayouts, ArchiveWindowsOpenAtTheirSizesWithReadableGrids)
{
    TArchiveASPTForm first(nullptr, std::make_unique<IdleTimer>());
    first.AddressHex = QStringLiteral("01");
    first.show();
    AsptRow &row = first.Reader().Grid.rows[2000];
    row = {QStringLiteral("2000"), QStringLiteral("-2147483648"), QStringLiteral("65535"), AsptElapsedText(0xFFFFFFFFu),
           AsptEventName(36), AsptEventSource(30, 65535)};
    EXPECT_EQ(first.size(), QSize(936, 628));
    EXPECT_EQ(LayoutReport(&first), "");
    EXPECT_EQ(GridReport(first.StringGrid1), "");

    TArchiveASPT_AForm second(nullptr, std::make_unique<IdleTimer>());
    second.AddressHex = QStringLiteral("02");
    second.show();
    // Texts a few pixels narrower than their columns, which Qt's own item margins would elide.
    second.Reader().Grid.rows[1022] = {QStringLiteral("1022"), QStringLiteral("Автоматика откл."), {}, {}, {}, {},
                                       QStringLiteral("100.200.09"), {}};
    second.Reader().Grid.rows[1023] = {QStringLiteral("1023"), QStringLiteral("Удержание двери")};
    AsptARow &last = second.Reader().Grid.rows[1024];
    last = {QStringLiteral("1024"), AsptAEventName(0, 0, 0), QStringLiteral("4"), QStringLiteral("10"),
            AsptASourceName(3), QStringLiteral("65536"), QStringLiteral("31.12.99"), QStringLiteral("23:59:59")};
    EXPECT_EQ(second.size(), QSize(1124, 628));
    EXPECT_EQ(LayoutReport(&second), "");
    EXPECT_EQ(GridReport(second.StringGrid1), "");
}

// A cell draws its text 2 px in from its left edge and up to its grid line: a text 4 px narrower than
// its column shows whole, one wider than the cell is elided.
TEST_F(ServiceLayouts, ArchiveCellsShowTextsThatFitTheirColumnsWhole)
{
    TArchiveASPT_AForm form(nullptr, std::make_unique<IdleTimer>());
    form.show();
    QTableView *grid = form.StringGrid1;
    const QFontMetrics fm(grid->font());
    const QString fits = QStringLiteral("Автоматика откл.");
    grid->setColumnWidth(1, fm.horizontalAdvance(fits) + 4);
    struct Case {
        QString text;
        bool whole;
    };
    const Case cases[] = {{fits, true}, {fits + QStringLiteral("ш"), false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        form.Reader().Grid.rows[1][1] = c.text;
        grid->viewport()->update();
        const QRect cell = grid->visualRect(grid->model()->index(0, 1));
        const QImage seen = grid->viewport()->grab(cell.adjusted(0, 0, -1, -1)).toImage();
        int dark = 0;
        for (int y = 0; y < seen.height(); ++y)
            for (int x = 0; x < seen.width(); ++x)
                dark += qGray(seen.pixel(x, y)) < 128 ? 1 : 0;
        const int whole = DarkPixels(grid->font(), c.text);
        if (c.whole)
            EXPECT_GE(dark * 10, whole * 9) << dark << " of " << whole;
        else
            EXPECT_LT(dark * 10, whole * 9) << dark << " of " << whole;
    }
}
