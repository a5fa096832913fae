// The users' manual the build prints: a PDF whose pages carry the section titles as text and the
// pictures of the windows. The text is read back the way a viewer reads it: the glyphs each page
// shows, through their fonts' ToUnicode maps.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

#include "tests/support/test_paths.h"
#include "tests/support/test_files.h"

namespace {

// The PDF's objects by number: dictionary and (inflated) stream.
struct PdfObject {
    QString dict;
    QByteArray stream;
};

QByteArray Inflate(const QByteArray &deflated)
{
    // qUncompress takes zlib data behind a four-byte length hint; it grows past a short one.
    QByteArray framed(4, '\0');
    const quint32 hint = quint32(deflated.size()) * 4 + 1024;
    for (int i = 0; i < 4; ++i)
        framed[i] = char((hint >> (24 - 8 * i)) & 0xFF);
    return qUncompress(framed + deflated);
}

QHash<int, PdfObject> PdfObjects(const QByteArray &bytes)
{
    QHash<int, PdfObject> objects;
    const QString text = QString::fromLatin1(bytes); // one character per byte
    static const QRegularExpression object(QStringLiteral("(\\d+) 0 obj(.*?)endobj"),
                                           QRegularExpression::DotMatchesEverythingOption);
    for (auto it = object.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        PdfObject o;
        const QString body = m.captured(2);
        const qsizetype start = body.indexOf(QStringLiteral("stream"));
        o.dict = start < 0 ? body : body.left(start);
        if (start >= 0) {
            qsizetype from = start + 6;
            if (body.mid(from, 2) == QStringLiteral("\r\n"))
                from += 2;
            else if (body.mid(from, 1) == QStringLiteral("\n"))
                ++from;
            const qsizetype end = body.lastIndexOf(QStringLiteral("endstream"));
            QByteArray data = body.mid(from, end - from).toLatin1();
            o.stream = o.dict.contains(QStringLiteral("/FlateDecode")) ? Inflate(data) : data;
        }
        objects.insert(m.captured(1).toInt(), o);
    }
    return objects;
}

QString HexText(const QString &hex)
{
    QString out;
    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
        out += QChar(char16_t(hex.mid(i, 4).toUShort(nullptr, 16)));
    return out;
}

// A ToUnicode map: glyph code to its text.
QHash<int, QString> UnicodeMap(const QByteArray &cmap)
{
    QHash<int, QString> map;
    const QString text = QString::fromLatin1(cmap);
    static const QRegularExpression section(QStringLiteral("begin(bfrange|bfchar)(.*?)end\\1"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>|\\[([^\\]]*)\\]"));
    for (auto s = section.globalMatch(text); s.hasNext();) {
        const auto sm = s.next();
        QStringList tokens; // hex texts; an array as one token of blank-separated hex texts
        for (auto t = hex.globalMatch(sm.captured(2)); t.hasNext();) {
            const auto tm = t.next();
            tokens << (tm.captured(1).isEmpty() ? QStringLiteral("[") + tm.captured(2) : tm.captured(1));
        }
        const int width = sm.captured(1) == QStringLiteral("bfrange") ? 3 : 2;
        for (qsizetype i = 0; i + width <= tokens.size(); i += width) {
            const int first = tokens[i].toInt(nullptr, 16);
            if (width == 2) {
                map.insert(first, HexText(tokens[i + 1]));
                continue;
            }
            const int last = tokens[i + 1].toInt(nullptr, 16);
            if (tokens[i + 2].startsWith(u'[')) {
                const QStringList each = tokens[i + 2].mid(1).remove(u'<').remove(u'>').split(
                    QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
                for (int c = first; c <= last && c - first < each.size(); ++c)
                    map.insert(c, HexText(each[c - first]));
            } else {
                const QString base = HexText(tokens[i + 2]);
                for (int c = first; c <= last && !base.isEmpty(); ++c)
                    map.insert(c, QString(base.left(base.size() - 1)) + QChar(base.back().unicode() + (c - first)));
            }
        }
    }
    return map;
}

int Ref(const QString &dict, const QString &key)
{
    const auto m = QRegularExpression(QRegularExpression::escape(key) + QStringLiteral("\\s+(\\d+) 0 R")).match(dict);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text each page shows, in the order it is drawn.
QStringList PageTexts(const QByteArray &bytes)
{
    const QHash<int, PdfObject> objects = PdfObjects(bytes);
    QHash<int, QHash<int, QString>> maps; // font object -> its map
    QStringList pages;
    static const QRegularExpression pageType(QStringLiteral("/Type\\s*/Page[^s]"));
    static const QRegularExpression fontRef(QStringLiteral("/(\\w+)\\s+(\\d+) 0 R"));
    // A face drawn bold by a second, offset pass marks that pass as text of its own ("/ActualText <>",
    // none): a viewer finds the word once, and so does this reader.
    static const QRegularExpression op(QStringLiteral(
        "/(\\w+)\\s+[\\d.]+\\s+Tf|<([0-9A-Fa-f]*)>\\s*Tj|\\[([^\\]]*)\\]\\s*TJ"
        "|/Span\\s*<<\\s*/ActualText\\s*<([0-9A-Fa-f]*)>\\s*>>\\s*BDC|\\bEMC\\b"));
    static const QRegularExpression hexString(QStringLiteral("<([0-9A-Fa-f]*)>"));
    QList<int> numbers = objects.keys();
    std::sort(numbers.begin(), numbers.end());
    for (int n : numbers) {
        const PdfObject &page = objects[n];
        if (!pageType.match(page.dict + u' ').hasMatch())
            continue;
        // The page's fonts by resource name: inline in its resources, or in a resources object.
        QString resources = page.dict;
        if (const int r = Ref(page.dict, QStringLiteral("/Resources")); r >= 0)
            resources = objects.value(r).dict;
        QHash<QString, int> fonts;
        const qsizetype fontStart = resources.indexOf(QStringLiteral("/Font"));
        if (fontStart >= 0) {
            const QString fontDict = resources.mid(fontStart, resources.indexOf(u'>', fontStart) - fontStart);
            for (auto f = fontRef.globalMatch(fontDict); f.hasNext();) {
                const auto fm = f.next();
                fonts.insert(fm.captured(1), fm.captured(2).toInt());
            }
        }
        QString shown;
        const int contents = Ref(page.dict, QStringLiteral("/Contents"));
        const QString stream = QString::fromLatin1(objects.value(contents).stream);
        const QHash<int, QString> *map = nullptr;
        bool replaced = false; // inside a span whose text is given as its ActualText
        for (auto o = op.globalMatch(stream); o.hasNext();) {
            const auto om = o.next();
            if (om.capturedStart(4) >= 0) {
                QString actual = HexText(om.captured(4));
                if (actual.startsWith(QChar(0xFEFF)))
                    actual.remove(0, 1);
                shown += actual;
                replaced = true;
                continue;
            }
            if (om.captured(0) == QStringLiteral("EMC")) {
                replaced = false;
                continue;
            }
            if (!om.captured(1).isEmpty()) {
                const int font = fonts.value(om.captured(1), -1);
                if (!maps.contains(font))
                    maps.insert(font, UnicodeMap(objects.value(Ref(objects.value(font).dict, QStringLiteral("/ToUnicode"))).stream));
                map = &maps[font];
                continue;
            }
            if (replaced)
                continue;
            QString hex = om.captured(2);
            for (auto h = hexString.globalMatch(om.captured(3)); h.hasNext();)
                hex += h.next().captured(1);
            for (qsizetype i = 0; map && i + 4 <= hex.size(); i += 4)
                shown += map->value(hex.mid(i, 4).toInt(nullptr, 16));
        }
        pages << shown;
    }
    return pages;
}

QString WithoutBlanks(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s"))); }

// What a text prints: no blanks (nor line separators) and no picture's place holder.
QString Printed(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isSpace() && c != QChar::ObjectReplacementCharacter)
            out += c;
    return out;
}

QStringList PdfPages()
{
    QFile file(BinaryPath(QStringLiteral("docs/users_manual.pdf")));
    return file.open(QIODevice::ReadOnly) ? PageTexts(file.readAll()) : QStringList();
}

// The manual's source as the build reads it.
bool LoadSource(QTextDocument &doc)
{
    const QByteArray html = ReadFile(SourcePath(QStringLiteral("docs/manual/users_manual.html")));
    if (html.isEmpty())
        return false;
    doc.setHtml(QString::fromUtf8(html));
    return true;
}

// A section of the manual's source, from its title to the next one, as it prints.
struct SourceSection {
    QString title;
    QString text;           // every character it prints, in the source's order
    QStringList paragraphs; // those outside tables, each printed in one piece
};

QList<SourceSection> SourceSections()
{
    QTextDocument doc;
    if (!LoadSource(doc))
        return {};
    QList<SourceSection> sections(1); // the title page
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QString text = Printed(b.text());
        if (text.isEmpty())
            continue;
        if (b.blockFormat().headingLevel() == 2) {
            sections.append({text, {}, {}});
        } else if (!QTextCursor(b).currentTable()) {
            sections.last().paragraphs << text; // a cell's lines are printed row by row of the table
        }
        sections.last().text += text;
    }
    return sections;
}

// A table of the manual's source as it prints: its header row and each row below it.
struct SourceTable {
    QString header;
    QStringList rows;
};

QString PrintedRow(const QTextTable &table, int row)
{
    QString text;
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        for (auto it = cell.begin(); !it.atEnd(); ++it)
            text += Printed(it.currentBlock().text());
    }
    return text;
}

QList<SourceTable> SourceTables()
{
    QTextDocument doc;
    if (!LoadSource(doc))
        return {};
    QList<SourceTable> tables;
    for (QTextFrame *frame : doc.rootFrame()->childFrames())
        if (const auto *table = qobject_cast<QTextTable *>(frame)) {
            SourceTable t;
            const int header = table->format().headerRowCount();
            for (int row = 0; row < table->rows(); ++row)
                if (row < header)
                    t.header += PrintedRow(*table, row);
                else
                    t.rows << PrintedRow(*table, row);
            tables << t;
        }
    return tables;
}

// The characters a holds more often than b, in a's order.
QString Surplus(const QString &a, const QString &b)
{
    QString out;
    QHash<QChar, int> count;
    for (const QChar c : b)
        ++count[c];
    for (const QChar c : a)
        if (--count[c] < 0)
            out += c;
    return out;
}

} // namespace

TEST(UsersManual, IsAPdfWithTheSectionTitlesAndTheWindowsPictures)
{
    QFile file(BinaryPath(QStringLiteral("docs/users_manual.pdf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the build makes it";
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-1."));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));

    const QStringList pages = PageTexts(bytes);
    ASSERT_GE(pages.size(), 5);
    const QString text = WithoutBlanks(pages.join(QString()));
    // The order of work, as the engineer meets it.
    const QStringList titles = {
        "ТИВРОН-программатор",
        "Руководство пользователя",
        "1. Назначение программы",
        "2. Подключение адаптера и линии",
        "3. Выбор прибора и его адреса",
        "4. Чтение конфигурации",
        "5. Страницы и клавиши редактирования",
        "6. Ключи и считыватель ключей",
        "7. Пароли",
        "8. Сохранение и открытие файлов .DEV",
        "9. Запись конфигурации и сообщения о её результате",
        "10. CAN-монитор",
        "11. Окно «Сервис»",
        "12. Отчёт",
        "13. Настройки и их влияние на время обмена",
        "14. Если прибор не отвечает",
    };
    qsizetype at = 0;
    for (const QString &title : titles) {
        const qsizetype found = text.indexOf(WithoutBlanks(title), at);
        EXPECT_GE(found, 0) << "missing or out of order: " << title.toStdString();
        if (found >= 0)
            at = found;
    }
    // The pictures of the windows: three pages of the main window, selection, monitor, service, settings.
    EXPECT_EQ(bytes.count("/Subtype /Image"), 7);
}

// A line the page break falls under is printed on one page only, not again, clipped out of sight, above
// the top of the next: a search finds each line once, and every line is there.
TEST(UsersManual, PrintsEachLineOnceInPageOrder)
{
    const QStringList pages = PdfPages();
    ASSERT_GE(pages.size(), 5) << "the build makes it";
    const QList<SourceSection> sections = SourceSections();
    ASSERT_EQ(sections.size(), 15);
    const QList<SourceTable> tables = SourceTables();
    QString text;
    for (const QString &page : pages) {
        QString printed = Printed(page);
        for (const SourceTable &table : tables) // a table going on from an earlier page repeats its header there
            if (printed.startsWith(table.header) && text.contains(table.header))
                printed.remove(0, table.header.size());
        text += printed;
    }

    // Each section of the PDF: from its title to the next.
    QList<qsizetype> starts{0};
    for (qsizetype i = 1; i < sections.size(); ++i) {
        const qsizetype at = text.indexOf(sections[i].title, starts.last());
        ASSERT_GE(at, 0) << "missing or out of order: " << sections[i].title.toStdString();
        starts << at;
    }
    starts << text.size();
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const SourceSection &section = sections[i];
        SCOPED_TRACE(section.title.toStdString());
        const QString printed = text.mid(starts[i], starts[i + 1] - starts[i]);
        EXPECT_EQ(Surplus(printed, section.text).toStdString(), "") << "printed more often than the source has it";
        EXPECT_EQ(Surplus(section.text, printed).toStdString(), "") << "not printed";
        qsizetype at = 0;
        for (const QString &paragraph : section.paragraphs) {
            EXPECT_EQ(printed.count(paragraph), 1) << paragraph.toStdString();
            const qsizetype found = printed.indexOf(paragraph, at);
            EXPECT_GE(found, 0) << "out of order: " << paragraph.toStdString();
            if (found >= 0)
                at = found + paragraph.size();
        }
    }

    // The line first seen twice: the last of its page, after the key reader's file.
    const QString line = Printed(QStringLiteral("run.sh кладёт на него ключ из demo-key.txt в папке запуска"));
    EXPECT_EQ(text.count(line), 1);
    EXPECT_EQ(std::count_if(pages.begin(), pages.end(), [&](const QString &page) { return Printed(page).contains(line); }),
              1);
    EXPECT_EQ(text.count(QStringLiteral("TIVRON_KEYREADER")), 1);
}

// A table a page break divides goes on under its header on the next page, no header stands alone at a
// page's foot, and a row is never divided: the next page does not go on with a cell beside empty ones.
TEST(UsersManual, PrintsEachTableRowWholeUnderItsHeaderOnEveryPage)
{
    QStringList pages = PdfPages();
    ASSERT_GE(pages.size(), 5) << "the build makes it";
    for (QString &page : pages)
        page = Printed(page);
    const QList<SourceTable> tables = SourceTables();
    ASSERT_EQ(tables.size(), 3);
    for (const SourceTable &table : tables) {
        SCOPED_TRACE(table.header.toStdString());
        ASSERT_FALSE(table.header.isEmpty()) << "the source marks the header row";
        QList<qsizetype> pageOf; // each row's page
        for (const QString &row : table.rows) {
            const auto on = std::find_if(pages.begin(), pages.end(), [&](const QString &p) { return p.contains(row); });
            EXPECT_NE(on, pages.end()) << "not printed whole on one page: " << row.toStdString();
            EXPECT_LE(pages.join(QString()).count(row), 1) << row.toStdString();
            pageOf << (on == pages.end() ? -1 : on - pages.begin());
        }
        for (qsizetype p = 0; p < pages.size(); ++p) {
            const QString &page = pages[p];
            const qsizetype first = pageOf.indexOf(p); // the table's first row on this page
            if (first < 0) {
                EXPECT_FALSE(page.contains(table.header)) << "a header without its rows on page " << p + 1;
                continue;
            }
            EXPECT_EQ(page.count(table.header), 1) << "page " << p + 1;
            EXPECT_TRUE(page.contains(table.header + table.rows[first])) << "page " << p + 1;
            if (first > 0) {
                EXPECT_TRUE(page.startsWith(table.header)) << "page " << p + 1 << " goes on with the table";
            }
        }
    }
}
