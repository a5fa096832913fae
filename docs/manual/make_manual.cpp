// Builds the users' manual: the Russian source (HTML as QTextDocument takes it) with pictures of the
// program's own windows, made offscreen from the real windows over the sample catalogue, printed
// into a PDF. A picture is named in the source as <img src="window:NAME">.
//
//   tivron-manual SOURCE.html CATALOGUE.xml KEYREADER.so DEMOKEY OUT.pdf
#include <algorithm>
#include <cstdio>
#include <map>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "app/settings_form.h"
#include "editor/components.h"
#include "editor/key_dll.h"
#include "editor/main_form.h"
#include "link/packet_log.h"
#include "link/select_device_form.h"
#include "link/show_pakets_form.h"
#include "model/config_form.h"
#include "model/tree_model.h"
#include "platform/fonts.h"
#include "platform/timer.h"
#include "service/chenge_addres_device.h"

namespace {

using Pictures = std::map<QString, QImage>;

// Lets the windows lay themselves out and paint before they are grabbed.
void Settle()
{
    for (int i = 0; i < 10; ++i) { // the monitor shows its rows in batches, every 50 ms at most
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

QImage Picture(QWidget *window)
{
    Settle();
    return window->grab().toImage();
}

// The service window without its search: the manual shows its controls, not a line.
class IdleTimer : public ITimerBackend {
public:
    void Start(int) override {}
    void Stop() override {}
};

QToolButton *PageButton(TMainForm &form, const QString &name, int page)
{
    return FindComponent<QToolButton>(name + QString::number(page), form.PageControl, 5);
}

// "Новый" for the model at the address, answering the selection dialog as the engineer would.
void NewConfiguration(TMainForm &form, const QString &model, int address, Pictures &pictures)
{
    auto *poll = new QTimer(&form);
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        for (CTreeNode *n = dialog->tvDevice->items().firstNode(); n; n = n->nextSibling())
            if (n->text.startsWith(model + QStringLiteral(" <"))) {
                dialog->SelectListNode(n);
                break;
            }
        dialog->CSpinEdit_addrDev->SetText(QString::number(address));
        pictures[QStringLiteral("select")] = Picture(dialog);
        dialog->btnSelect->click();
    });
    poll->start();
    form.actNewFile->trigger();
}

int TabOf(const TMainForm &form, const QString &caption)
{
    for (int i = 0; i < form.PageControl->count(); ++i)
        if (form.PageControl->tabText(i) == caption)
            return i;
    return -1;
}

Pictures MakePictures(const QString &catalogue, const QString &keyReader, const QString &demoKey)
{
    Pictures pictures;
    QTemporaryDir dir;
    const QString catalogueCopy = dir.filePath(QStringLiteral("devices.xml"));
    if (!dir.isValid() || !QFile::copy(catalogue, catalogueCopy))
        return pictures;
    QFile::setPermissions(catalogueCopy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    SetDefaultSettings();

    ConfigForm = new TConfigForm;
    TMainFormEnv env;
    env.ProgramDir = dir.path();
    MainForm = new TMainForm(nullptr, env);
    ShowPaketsForm = new TShowPaketsForm(MainForm);
    MainForm->SetToolWindows(ConfigForm, ShowPaketsForm);
    MainForm->resize(790, 470); // the pages' upper part is what the pictures need
    MainForm->show();

    NewConfiguration(*MainForm, QStringLiteral("Тиврон-А"), 3, pictures);
    MainForm->PageControl->setCurrentIndex(0);
    pictures[QStringLiteral("main")] = Picture(MainForm);

    // The key page with a key whose code came from the demo's desktop reader.
    const int keys = TabOf(*MainForm, QStringLiteral("Таблица ключей"));
    if (keys >= 0) {
        const int page = MainForm->PageIds.value(keys);
        MainForm->PageControl->setCurrentIndex(keys);
        if (QToolButton *b = PageButton(*MainForm, QStringLiteral("btnKeyAdd"), page))
            b->click();
        if (auto *tree = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(page),
                                                  MainForm->PageControl, 3);
            tree && !tree->items().isEmpty())
            tree->selectNode(tree->items().topNode(tree->items().count() - 1));
        Settle();
        qputenv("TIVRON_KEYREADER", QFile::encodeName(demoKey));
        if (LoadKeyDllFrom(keyReader))
            if (QToolButton *b = PageButton(*MainForm, QStringLiteral("btnKeyNumber"), page))
                b->click();
        pictures[QStringLiteral("keys")] = Picture(MainForm);
    }
    const int users = TabOf(*MainForm, QStringLiteral("Таблица паролей"));
    if (users >= 0) {
        MainForm->PageControl->setCurrentIndex(users);
        if (auto *tree = FindComponent<CTreeView>(QStringLiteral("tvPass") + QString::number(MainForm->PageIds.value(users)),
                                                  MainForm->PageControl, 3);
            tree && !tree->items().isEmpty())
            tree->selectNode(tree->items().topNode(0)); // the administrator
        pictures[QStringLiteral("passwords")] = Picture(MainForm);
    }

    // The monitor with the first packets of a read.
    ShowPaketsForm->show();
    ShowPaketsForm->AddPacketRow(QStringLiteral("10:15:02"), QStringLiteral("85FF0200"),
                                 QStringLiteral("FF00000000000000"), PacketRowSent);
    ShowPaketsForm->AddPacketRow(QStringLiteral("10:15:02"), QStringLiteral("10000201"),
                                 QStringLiteral("0103000000000000"), PacketRowReceived);
    ShowPaketsForm->AddPacketRow(QStringLiteral("10:15:02"), QStringLiteral("10010201"),
                                 QStringLiteral("0100320000000000"), PacketRowReceived);
    pictures[QStringLiteral("monitor")] = Picture(ShowPaketsForm);
    ShowPaketsForm->hide();

    {
        TServiceHooks hooks;
        hooks.TimerBackend = std::make_unique<IdleTimer>();
        CTree catalogueTree;
        TChengeAddresDeviceForm service(MainForm, catalogueTree, catalogueCopy, std::move(hooks));
        service.show();
        pictures[QStringLiteral("service")] = Picture(&service);
    }
    {
        TSettingsForm settings(MainForm);
        settings.show();
        pictures[QStringLiteral("settings")] = Picture(&settings);
    }

    FreeKeyDll();
    delete ShowPaketsForm;
    ShowPaketsForm = nullptr;
    delete MainForm;
    MainForm = nullptr;
    delete ConfigForm;
    ConfigForm = nullptr;
    return pictures;
}

// The paged layout never sets a line across a page break, but it divides a paragraph (or a table
// cell) there, and drawing a page draws that paragraph's last line above the page too, clipped out of
// sight: a search would find the line twice. Divides the first such paragraph at its page break into
// two that print as the one did; false when there is none.
bool SplitFirstParagraphAtPageBreak(QTextDocument &doc)
{
    const qreal pageHeight = doc.pageSize().height();
    auto page = [&](qreal y) { return int(y / pageHeight); };
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *lines = block.layout();
        const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
        int next = 1; // the first line on a later page than its previous one
        while (next < lines->lineCount() &&
               page(top + lines->lineAt(next - 1).y()) == page(top + lines->lineAt(next).y()))
            ++next;
        if (next >= lines->lineCount())
            continue;
        QTextCursor cursor(block);
        QTextBlockFormat above = block.blockFormat();
        above.setBottomMargin(0);
        cursor.setBlockFormat(above);
        cursor.setPosition(block.position() + lines->lineAt(next).textStart());
        cursor.insertBlock();
        // The lower half goes on with the paragraph: no space above it, no indent of a first line, and
        // in a list no marker of its own (leaving the list keeps its indent).
        const QTextBlock below = cursor.block();
        if (QTextList *list = below.textList())
            list->remove(below);
        QTextBlockFormat format = below.blockFormat();
        format.setTopMargin(0);
        format.setTextIndent(0);
        cursor.setBlockFormat(format);
        return true;
    }
    return false;
}

// The tops of a block's lines in the document.
QList<qreal> LineTops(const QTextDocument &doc, const QTextBlock &block)
{
    QList<qreal> tops;
    const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
    for (int i = 0; i < block.layout()->lineCount(); ++i)
        tops << top + block.layout()->lineAt(i).y();
    return tops;
}

// The tops of a table row's lines, from the highest.
QList<qreal> RowLineTops(const QTextDocument &doc, const QTextTable &table, int row)
{
    QList<qreal> tops;
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        for (auto it = cell.begin(); !it.atEnd(); ++it)
            if (it.currentBlock().isValid())
                tops << LineTops(doc, it.currentBlock());
    }
    std::sort(tops.begin(), tops.end());
    return tops;
}

// Divides a table before the row: the rows from it on go on in a copy of the table under its header,
// from the top of the next page.
void BreakTableBefore(QTextTable &table, int row)
{
    QTextDocument &doc = *table.document();
    QTextCursor whole(&doc);
    whole.setPosition(table.firstPosition() - 1);
    whole.setPosition(table.lastPosition() + 1, QTextCursor::KeepAnchor);
    QTextCursor after = table.lastCursorPosition();
    after.movePosition(QTextCursor::NextBlock);
    after.insertFragment(whole.selection());
    const QList<QTextFrame *> frames = doc.rootFrame()->childFrames();
    auto *rest = qobject_cast<QTextTable *>(frames.value(frames.indexOf(&table) + 1));
    const int header = table.format().headerRowCount();
    rest->removeRows(header, row - header);
    table.removeRows(row, table.rows() - row);
    QTextTableFormat format = rest->format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    rest->setFormat(format);
}

// The paged layout carries a table row over a page break cell by cell: below the repeated header the
// next page goes on with the divided cells beside empty ones, as if they were a row of their own. Moves
// the first row a page break divides to the next page, the table's header with it; false when there is
// none. A row that starts its page and still does not fit stays divided.
bool MoveFirstDividedRowToNextPage(QTextDocument &doc)
{
    const qreal pageHeight = doc.pageSize().height();
    auto page = [&](qreal y) { return int(y / pageHeight); };
    QTextBlock before; // the last block above the current table
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        auto *table = qobject_cast<QTextTable *>(it.currentFrame());
        if (!table) {
            before = it.currentBlock();
            continue;
        }
        const int firstRow = std::min(table->format().headerRowCount(), table->rows() - 1);
        // What a row follows on its page: the text above the table, or the row before.
        QList<qreal> above = LineTops(doc, before);
        for (int row = firstRow; row < table->rows(); above = RowLineTops(doc, *table, row), ++row) {
            const QList<qreal> tops = RowLineTops(doc, *table, row);
            if (tops.isEmpty() || page(tops.first()) == page(tops.last()) || above.isEmpty() ||
                page(above.last()) != page(tops.first()))
                continue;
            if (row > firstRow) {
                BreakTableBefore(*table, row);
            } else { // the whole table starts the next page
                QTextTableFormat format = table->format();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                table->setFormat(format);
            }
            return true;
        }
    }
    return false;
}

// Fits the laid out text to its pages: whole table rows first, then paragraphs divided where they must.
void BreakPages(QTextDocument &doc)
{
    // Laid out anew from the top after each change: Qt's own update of the layout after the edit
    // leaves what follows an edited table undrawn.
    while (MoveFirstDividedRowToNextPage(doc))
        doc.setPageSize(doc.pageSize());
    while (SplitFirstParagraphAtPageBreak(doc))
        doc.setPageSize(doc.pageSize());
}

// Pictures are printed at one scale, so the windows keep their sizes to each other.
constexpr qreal kPictureScale = 1.4; // window pixels per layout pixel of 96 dpi

bool WriteManual(const QString &sourcePath, Pictures pictures, const QString &outPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QPdfWriter pdf(outPath);
    pdf.setTitle(QStringLiteral("ТИВРОН-программатор. Руководство пользователя"));
    pdf.setCreator(QStringLiteral("ТИВРОН-программатор"));
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 15, 15),
                                  QPageLayout::Millimeter));

    QTextDocument doc;
    // Laid out for the PDF itself: the text in points, each picture at its scale of the window.
    doc.documentLayout()->setPaintDevice(&pdf);
    doc.setDefaultFont(QFont(QStringLiteral("Tahoma"), 10));
    doc.setDefaultStyleSheet(QStringLiteral("h1 { font-size: 20pt; color: #1c3f78; }"
                                            "h2 { font-size: 14pt; color: #1c3f78; }"
                                            "th { background-color: #ece9d8; }"));
    for (auto &[name, image] : pictures) {
        image.setDevicePixelRatio(kPictureScale);
        doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("window:") + name), image);
    }
    doc.setHtml(QString::fromUtf8(source.readAll()));
    const QRect body = pdf.pageLayout().paintRectPixels(pdf.resolution());
    doc.setPageSize(QSizeF(body.size()));
    BreakPages(doc);

    QPainter painter(&pdf);
    // Screenshots of text stay sharp: no JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    for (int page = 0; page < doc.pageCount(); ++page) {
        if (page > 0)
            pdf.newPage();
        painter.save();
        painter.translate(0, -page * body.height());
        doc.drawContents(&painter, QRectF(0, page * body.height(), body.width(), body.height()));
        painter.restore();
    }
    return painter.end() && QFile::exists(outPath);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ТИВРОН-программатор"));
    if (argc != 6) {
        std::fprintf(stderr, "usage: tivron-manual SOURCE.html CATALOGUE.xml KEYREADER.so DEMOKEY OUT.pdf\n");
        return 2;
    }
    RegisterDesignFonts();
    // Nothing here asks the engineer: a message would only wait for a click.
    SetMessageDlgHook([](const QString &text, int, MsgButtons) {
        std::fprintf(stderr, "tivron-manual: %s\n", qPrintable(text));
        return int(mrOk);
    });
    const QString out = QString::fromLocal8Bit(argv[5]);
    QFile::remove(out);
    const Pictures pictures = MakePictures(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                           QString::fromLocal8Bit(argv[4]));
    for (const char *name : {"main", "select", "keys", "passwords", "monitor", "service", "settings"})
        if (!pictures.count(QString::fromLatin1(name))) {
            std::fprintf(stderr, "tivron-manual: no picture of the window \"%s\"\n", name);
            return 1;
        }
    if (!WriteManual(QString::fromLocal8Bit(argv[1]), pictures, out)) {
        std::fprintf(stderr, "tivron-manual: %s not written\n", argv[5]);
        return 1;
    }
    return 0;
}
