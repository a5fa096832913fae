#include "editor/word_report.h"

#include <algorithm>
#include <memory>

#include <QDir>
#include <QTemporaryFile>

#include <zip.h>

#include "editor/components.h"
#include "editor/param_list_view.h"
#include "editor/param_page.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "platform/file_error.h"
#include "platform/whole_file.h"

QString ReportColorHex(uint32_t bgr)
{
    const uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    return QStringLiteral("%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

TReportTable::TReportTable(int rows, int columns)
    : Columns(columns), Rows(size_t(std::max(rows, 0)), std::vector<TReportCell>(size_t(std::max(columns, 0))))
{
}

TReportCell *TReportTable::Cell(int row, int column)
{
    if (row < 1 || row > int(Rows.size()) || column < 1 || column > Columns)
        return nullptr;
    return &Rows[size_t(row - 1)][size_t(column - 1)];
}

const TReportCell *TReportTable::Cell(int row, int column) const
{
    return const_cast<TReportTable *>(this)->Cell(row, column);
}

QString ReportTitle(const QString &deviceName)
{
    return QStringLiteral("Конфигурация прибора ") + deviceName + QStringLiteral(" ");
}

std::vector<std::pair<int, int>> ReportChunks(int columns)
{
    columns = std::max(columns, 0);
    if (columns <= kReportChunkColumns)
        return {{0, columns}};
    std::vector<std::pair<int, int>> chunks;
    for (int first = 0; first < columns; first += kReportChunkColumns)
        chunks.emplace_back(first, std::min(kReportChunkColumns, columns - first));
    return chunks;
}

namespace {
const QString kPlus = QStringLiteral("+");

TReportCell HeaderCell(const QString &text)
{
    TReportCell c;
    c.Text = text;
    c.Shading = kReportHeaderShading;
    return c;
}

void SetText(TReportTable &table, int row, int column, const QString &text)
{
    if (TReportCell *c = table.Cell(row, column))
        c->Text = text;
}

void SetHeader(TReportTable &table, int column, const QString &text)
{
    if (TReportCell *c = table.Cell(1, column))
        *c = HeaderCell(text);
}

void Mark(TReportTable &table, int row, int column, bool set)
{
    if (set)
        SetText(table, row, column, kPlus);
}

bool Flag(const std::vector<bool> &flags, int index) { return index >= 0 && index < int(flags.size()) && flags[size_t(index)]; }

int Loops(int hosCount) { return UsableCount(hosCount, kMaxLoops); }
} // namespace

std::vector<TReportSection> ParameterReportSections(const CTreeNode &table, const CParamPage &page)
{
    const CTable *t = table.table();
    const int columns = t ? UsableCount(t->columns, kMaxColumns) : 0;
    std::vector<const CTreeNode *> parameters;
    for (const CTreeNode *p = table.firstChild(); p; p = p->nextSibling())
        parameters.push_back(p);
    const int count = int(parameters.size());

    std::vector<TReportSection> sections;
    for (const auto &[first, width] : ReportChunks(columns)) {
        TReportSection s;
        s.Caption = t ? t->name : QString();
        s.Table = TReportTable(count + 1, width + 1);
        SetHeader(s.Table, 1, QStringLiteral("Конфигурационные параметры"));
        for (int j = 1; j <= width; ++j)
            SetHeader(s.Table, j + 1, QString::number(first + j));
        for (int r = 1; r <= count; ++r) {
            const CParameter *parameter = parameters[size_t(r - 1)]->parameter();
            TReportCell *name = s.Table.Cell(r + 1, 1);
            *name = HeaderCell(parameter ? parameter->name : QString());
            name->Align = TReportAlign::Left;
            for (int j = 1; j <= width; ++j) {
                TReportCell *c = s.Table.Cell(r + 1, j + 1);
                const int cell = first + j - 1;
                if (page.CellImage(r - 1, cell) == DefaultMarker) {
                    c->Shading = kReportMarkedShading;
                    c->TextColor = kReportMarkedText;
                }
                c->Text = page.CellText(r - 1, cell);
            }
        }
        sections.push_back(std::move(s));
    }
    return sections;
}

TReportSection KeyReportSection(const std::vector<CKey> &keys)
{
    TReportSection s;
    s.Caption = QStringLiteral("Таблица ключей");
    const int n = keys.empty() ? 0 : Loops(keys.front().hos_count);
    s.Table = TReportTable(int(keys.size()) + 1, 4 + 2 * n);
    const QStringList heads = {QStringLiteral("№ п/п"), QStringLiteral("Имя ключа"), QStringLiteral("Номер ключа"),
                               QStringLiteral("Мастер")};
    for (int c = 0; c < heads.size(); ++c)
        SetHeader(s.Table, c + 1, heads[c]);
    for (int k = 1; k <= n; ++k) {
        SetHeader(s.Table, 4 + k, QStringLiteral("ШС") + QString::number(k) + QStringLiteral(" Взятие"));
        SetHeader(s.Table, 4 + n + k, QStringLiteral("ШС") + QString::number(k) + QStringLiteral(" Снятие"));
    }
    int row = 1;
    for (const CKey &key : keys) {
        ++row;
        SetText(s.Table, row, 1, QString::number(key.id));
        SetText(s.Table, row, 2, key.name);
        SetText(s.Table, row, 3, key.key_code);
        Mark(s.Table, row, 4, key.master);
        const int own = Loops(key.hos_count);
        for (int k = 1; k <= own; ++k) {
            Mark(s.Table, row, 4 + k, Flag(key.hos_chk, k - 1));
            Mark(s.Table, row, 4 + own + k, Flag(key.hos_chk, own + k - 1));
        }
    }
    return s;
}

TReportSection PassReportSection(const std::vector<CPass> &users)
{
    TReportSection s;
    s.Caption = QStringLiteral("Таблица паролей");
    const int n = users.empty() ? 0 : Loops(users.front().hos_count);
    s.Table = TReportTable(int(users.size()) + 1, 7 + n);
    const QStringList heads = {QStringLiteral("№ п/п"),         QStringLiteral("Имя"),
                               QStringLiteral("Пароль"),        QStringLiteral("Администратор"),
                               QStringLiteral("Заблокирован"),  QStringLiteral("Доступ"),
                               QStringLiteral("Управляет ШС")};
    for (int c = 0; c < heads.size(); ++c)
        SetHeader(s.Table, c + 1, heads[c]);
    for (int k = 1; k <= n; ++k)
        SetHeader(s.Table, 7 + k, QStringLiteral("ШС") + QString::number(k));
    int row = 1;
    for (const CPass &user : users) {
        ++row;
        SetText(s.Table, row, 1, QString::number(user.id));
        SetText(s.Table, row, 2, user.name);
        SetText(s.Table, row, 3, user.password);
        Mark(s.Table, row, 4, user.administrator);
        Mark(s.Table, row, 5, user.disabled);
        Mark(s.Table, row, 6, user.access);
        Mark(s.Table, row, 7, user.hos_key);
        const int own = Loops(user.hos_count);
        for (int k = 1; k <= own; ++k)
            Mark(s.Table, row, 7 + k, Flag(user.hos_chk, k - 1));
    }
    return s;
}

TReportDocument ReportFromPages(const CTreeNode &device, const QList<int> &pageIds, const QObject *pageControl)
{
    TReportDocument doc;
    doc.Title = ReportTitle(device.device() ? device.device()->name : QString());
    int i = 0;
    for (const CTreeNode *tableNode = device.firstChild(); tableNode && i < pageIds.size();
         tableNode = tableNode->nextSibling(), ++i) {
        const CTable *table = tableNode->table();
        if (!table)
            continue;
        const QString id = QString::number(pageIds[i]);
        if (table->type == QLatin1String("table")) {
            if (const auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + id, pageControl, 3))
                for (TReportSection &s : ParameterReportSections(*tableNode, list->Page()))
                    doc.Sections.push_back(std::move(s));
        } else if (table->type == QLatin1String("key")) {
            const auto *tree = FindComponent<CTreeView>(QStringLiteral("tvKey") + id, pageControl, 3);
            if (!tree || tree->items().isEmpty())
                continue;
            std::vector<CKey> keys;
            tree->items().forEach([&](const CTreeNode *n) {
                if (const CKey *k = n->key())
                    keys.push_back(*k);
            });
            doc.Sections.push_back(KeyReportSection(keys));
        } else if (table->type == QLatin1String("pass")) {
            const auto *tree = FindComponent<CTreeView>(QStringLiteral("tvPass") + id, pageControl, 3);
            if (!tree || tree->items().isEmpty())
                continue;
            std::vector<CPass> users;
            tree->items().forEach([&](const CTreeNode *n) {
                if (const CPass *p = n->pass())
                    users.push_back(*p);
            });
            doc.Sections.push_back(PassReportSection(users));
        }
    }
    return doc;
}

// The file itself.

namespace {
// A4 landscape in twentieths of a point; top margin 40 points.
constexpr int kPageWidth = 16838;
constexpr int kPageHeight = 11906;
constexpr int kMarginTop = 800;
constexpr int kMargin = 1134;
constexpr int kTextWidth = kPageWidth - 2 * kMargin;
// Column widths from the texts: a Tahoma 10 point character, the cell margins, and the longest text
// a column is widened for (longer ones wrap).
constexpr int kCharWidth = 155;
constexpr int kCellPadding = 216; // the default cell margins, 108 each side
constexpr int kMaxFittedChars = 30;
// Texts this short are not wrapped while wider columns can give way.
constexpr int kShortChars = 3;

// Font sizes in half-points.
constexpr int kParagraphSize = 32; // 16 points
constexpr int kCellSize = 20;      // Tahoma 10 points

QString XmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const char16_t u = ch.unicode();
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += ch;
            out += text[++i];
        } else if (ch.isSurrogate() || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)) {
            continue; // no XML document can hold it
        } else if (u == '&') {
            out += QStringLiteral("&amp;");
        } else if (u == '<') {
            out += QStringLiteral("&lt;");
        } else if (u == '>') {
            out += QStringLiteral("&gt;");
        } else if (u == '"') {
            out += QStringLiteral("&quot;");
        } else {
            out += ch;
        }
    }
    return out;
}

struct RunFormat {
    bool Bold = false;
    bool Tahoma = false;
    int Size = kParagraphSize;
    std::optional<uint32_t> Color;
};

QString RunProperties(const RunFormat &f)
{
    QString out = QStringLiteral("<w:rPr>");
    if (f.Tahoma)
        out += QStringLiteral("<w:rFonts w:ascii=\"Tahoma\" w:hAnsi=\"Tahoma\" w:cs=\"Tahoma\"/>");
    if (f.Bold)
        out += QStringLiteral("<w:b/><w:bCs/>");
    if (f.Color)
        out += QStringLiteral("<w:color w:val=\"%1\"/>").arg(ReportColorHex(*f.Color));
    out += QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/></w:rPr>").arg(f.Size);
    return out;
}

// Text runs: a line break inside a text becomes a break, a tab a tab; blanks are kept.
QString Runs(const QString &text, const RunFormat &f)
{
    if (text.isEmpty())
        return {};
    QString body;
    QString pending;
    auto flush = [&] {
        if (!pending.isEmpty())
            body += QStringLiteral("<w:t xml:space=\"preserve\">") + XmlEscaped(pending) + QStringLiteral("</w:t>");
        pending.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue; // CR LF is one break
        if (ch == u'\n' || ch == u'\r') {
            flush();
            body += QStringLiteral("<w:br/>");
        } else if (ch == u'\t') {
            flush();
            body += QStringLiteral("<w:tab/>");
        } else {
            pending += ch;
        }
    }
    flush();
    return QStringLiteral("<w:r>") + RunProperties(f) + body + QStringLiteral("</w:r>");
}

QString Paragraph(const QString &text, const RunFormat &f, bool titleSpacing, TReportAlign align)
{
    QString out = QStringLiteral("<w:p><w:pPr>");
    if (titleSpacing)
        out += QStringLiteral("<w:spacing w:line=\"360\" w:lineRule=\"auto\"/>");
    out += align == TReportAlign::Left ? QStringLiteral("<w:jc w:val=\"left\"/>") : QStringLiteral("<w:jc w:val=\"center\"/>");
    out += RunProperties(f) + QStringLiteral("</w:pPr>") + Runs(text, f) + QStringLiteral("</w:p>\n");
    return out;
}

// Width of a column that holds a text of chars characters.
int WidthFor(int chars) { return std::min(chars, kMaxFittedChars) * kCharWidth + kCellPadding; }

// Each column as wide as its texts need: header texts may wrap between words, the others are kept
// whole. A table too wide for the page keeps short columns whole (numbers, marks) and narrows the
// wide ones; one that cannot even do that (many loop columns) shares the page by its values alone,
// so names and key codes stay readable and the headers wrap.
std::vector<int> ColumnWidths(const TReportTable &table)
{
    const size_t columns = size_t(std::max(table.Columns, 1));
    std::vector<int> need(columns, WidthFor(1)), values(columns, WidthFor(1));
    for (size_t r = 0; r < table.Rows.size(); ++r)
        for (size_t c = 0; c < table.Rows[r].size() && c < columns; ++c)
            for (const QString &line : table.Rows[r][c].Text.split(QLatin1Char('\n'))) {
                if (r > 0) {
                    values[c] = std::max(values[c], WidthFor(int(line.size())));
                    continue;
                }
                for (const QString &word : line.split(QLatin1Char(' ')))
                    need[c] = std::max(need[c], WidthFor(int(word.size())));
            }
    long long total = 0, minimum = 0, valueTotal = 0;
    std::vector<int> least(columns);
    for (size_t c = 0; c < columns; ++c) {
        need[c] = std::max(need[c], values[c]);
        least[c] = std::min(need[c], WidthFor(kShortChars));
        total += need[c];
        minimum += least[c];
        valueTotal += values[c];
    }
    if (total <= kTextWidth)
        return need;
    std::vector<int> widths(columns);
    if (minimum <= kTextWidth) {
        const long long spare = kTextWidth - minimum, wanted = total - minimum;
        for (size_t c = 0; c < columns; ++c)
            widths[c] = least[c] + int((need[c] - least[c]) * spare / wanted);
    } else {
        for (size_t c = 0; c < columns; ++c)
            widths[c] = int(values[c] * kTextWidth / valueTotal);
    }
    return widths;
}

QString Table(const TReportTable &table)
{
    const std::vector<int> widths = ColumnWidths(table);
    QString out = QStringLiteral("<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblBorders>");
    // Single lines of half a point, the inside ones included.
    for (const char *side : {"top", "left", "bottom", "right", "insideH", "insideV"})
        out += QStringLiteral("<w:%1 w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"auto\"/>").arg(QLatin1String(side));
    // The widths stay as set: no fitting to the contents.
    out += QStringLiteral("</w:tblBorders><w:tblLayout w:type=\"fixed\"/></w:tblPr><w:tblGrid>");
    for (int w : widths)
        out += QStringLiteral("<w:gridCol w:w=\"%1\"/>").arg(w);
    out += QStringLiteral("</w:tblGrid>\n");
    for (const std::vector<TReportCell> &row : table.Rows) {
        out += QStringLiteral("<w:tr>");
        for (size_t c = 0; c < row.size(); ++c) {
            const TReportCell &cell = row[c];
            out += QStringLiteral("<w:tc><w:tcPr><w:tcW w:w=\"%1\" w:type=\"dxa\"/>").arg(widths[std::min(c, widths.size() - 1)]);
            if (cell.Shading)
                out += QStringLiteral("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"%1\"/>").arg(ReportColorHex(*cell.Shading));
            out += QStringLiteral("</w:tcPr>");
            RunFormat f;
            f.Tahoma = true;
            f.Size = kCellSize;
            f.Color = cell.TextColor;
            QString p = Paragraph(cell.Text, f, false, cell.Align);
            p.chop(1); // no line end inside a row
            out += p + QStringLiteral("</w:tc>");
        }
        out += QStringLiteral("</w:tr>\n");
    }
    out += QStringLiteral("</w:tbl>\n");
    return out;
}
} // namespace

QByteArray ReportDocumentXml(const TReportDocument &document)
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                 "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">\n"
                                 "<w:body>\n");
    RunFormat title;
    title.Bold = true;
    // The title and the empty paragraph its text ends with.
    out += Paragraph(document.Title, title, true, TReportAlign::Left);
    out += Paragraph(QString(), title, true, TReportAlign::Left);
    const RunFormat plain;
    for (const TReportSection &s : document.Sections) {
        out += Paragraph(s.Caption, plain, false, TReportAlign::Left);
        out += Table(s.Table);
        out += Paragraph(QString(), plain, false, TReportAlign::Left);
    }
    // The paragraph that ends the document.
    out += Paragraph(QString(), plain, false, TReportAlign::Left);
    out += QStringLiteral("<w:sectPr><w:pgSz w:w=\"%1\" w:h=\"%2\" w:orient=\"landscape\"/>"
                          "<w:pgMar w:top=\"%3\" w:right=\"%4\" w:bottom=\"%4\" w:left=\"%4\" w:header=\"708\" "
                          "w:footer=\"708\" w:gutter=\"0\"/></w:sectPr>\n</w:body>\n</w:document>\n")
               .arg(kPageWidth)
               .arg(kPageHeight)
               .arg(kMarginTop)
               .arg(kMargin);
    return out.toUtf8();
}

namespace {
const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "<Override PartName=\"/word/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
    "</Types>\n";

const char kPackageRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/>"
    "</Relationships>\n";

const char kDocumentRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>\n";

// Only the document's language, so the word processor checks the texts as Russian; everything else
// is the word processor's own default.
const char kStyles[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:docDefaults><w:rPrDefault><w:rPr><w:lang w:val=\"ru-RU\" w:eastAsia=\"ru-RU\" w:bidi=\"ar-SA\"/>"
    "</w:rPr></w:rPrDefault></w:docDefaults>"
    "</w:styles>\n";

struct ZipDiscard {
    void operator()(zip_t *z) const { zip_discard(z); }
};
struct ZipSourceFree {
    void operator()(zip_source_t *s) const { zip_source_free(s); }
};

QString ZipErrorText(zip_error_t *error)
{
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

// The package built in memory: nothing touches the disk before the whole file is there to write.
QByteArray DocxBytes(const std::vector<std::pair<const char *, QByteArray>> &parts, const QString &path)
{
    zip_error_t error;
    zip_error_init(&error);
    const auto fail = [&](const QString &why) {
        zip_error_fini(&error);
        return TReportError(CannotWriteFileText(path, why));
    };
    zip_source_t *memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!memory)
        throw fail(ZipErrorText(&error));
    zip_t *opened = zip_open_from_source(memory, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!opened) {
        zip_source_free(memory);
        throw fail(ZipErrorText(&error));
    }
    // One reference more than the archive's, so the bytes outlive zip_close.
    zip_source_keep(memory);
    const std::unique_ptr<zip_source_t, ZipSourceFree> kept(memory);
    std::unique_ptr<zip_t, ZipDiscard> zip(opened);
    for (const auto &[name, bytes] : parts) {
        // The buffers outlive zip_close, so libzip need not copy them.
        zip_source_t *source = zip_source_buffer(zip.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source)
            throw fail(QString::fromLocal8Bit(zip_strerror(zip.get())));
        if (zip_file_add(zip.get(), name, source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            throw fail(QString::fromLocal8Bit(zip_strerror(zip.get())));
        }
    }
    if (zip_close(zip.get()) < 0)
        throw fail(QString::fromLocal8Bit(zip_strerror(zip.get())));
    zip.release(); // closed: freed by zip_close

    if (zip_source_open(memory) < 0)
        throw fail(ZipErrorText(zip_source_error(memory)));
    QByteArray out;
    char chunk[65536];
    zip_int64_t n = 0;
    while ((n = zip_source_read(memory, chunk, sizeof chunk)) > 0)
        out.append(chunk, qsizetype(n));
    const bool complete = n == 0;
    const QString why = complete ? QString() : ZipErrorText(zip_source_error(memory));
    zip_source_close(memory);
    if (!complete)
        throw fail(why);
    zip_error_fini(&error);
    return out;
}
} // namespace

void WriteReportDocx(const QString &path, const TReportDocument &document)
{
    const QByteArray documentXml = ReportDocumentXml(document);
    const std::vector<std::pair<const char *, QByteArray>> parts = {
        {"[Content_Types].xml", QByteArray(kContentTypes)},
        {"_rels/.rels", QByteArray(kPackageRels)},
        {"word/document.xml", documentXml},
        {"word/_rels/document.xml.rels", QByteArray(kDocumentRels)},
        {"word/styles.xml", QByteArray(kStyles)},
    };
    WriteWholeFile(path, DocxBytes(parts, path));
}

QString NewReportPath()
{
    // The folder is empty when TMPDIR names one that does not exist: the file is not made at the root.
    QString folder = QDir::tempPath();
    if (folder.isEmpty())
        folder = qEnvironmentVariable("TMPDIR");
    QTemporaryFile file(folder + QStringLiteral("/Конфигурация-XXXXXX.docx"));
    file.setAutoRemove(false);
    if (!file.open())
        throw TReportError(CannotWriteFileText(file.fileTemplate(), FileErrorReason(file)));
    return file.fileName();
}
