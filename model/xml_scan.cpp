#include "model/xml_scan.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <libxml/encoding.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "model/xml_document.h"

namespace {

// Classes of the bytes the scan stops at.
enum : unsigned char { kSpace = 1, kEndsName = 2 };

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses()
    {
        for (unsigned char c : {' ', '\t', '\r', '\n'})
            of[c] = kSpace | kEndsName;
        // What ends a name, or the bytes taken for one in a broken tag.
        for (unsigned char c : {'>', '/', '<', '=', '"', '\''})
            of[c] = kEndsName;
    }
};
constexpr ByteClasses Classes;

bool IsSpace(char c) { return Classes.of[static_cast<unsigned char>(c)] & kSpace; }
bool EndsName(char c) { return Classes.of[static_cast<unsigned char>(c)] & kEndsName; }

bool At(std::string_view s, qsizetype i, std::string_view what)
{
    return size_t(i) <= s.size() && s.substr(size_t(i), what.size()) == what;
}

// Just past the first what at or after from; the end when there is none.
qsizetype Past(std::string_view s, qsizetype from, std::string_view what)
{
    const size_t hit = s.find(what, size_t(from));
    return hit == std::string_view::npos ? qsizetype(s.size()) : qsizetype(hit + what.size());
}

// The end of a quoted value starting at i: its closing quote, or a "<", where libxml2 stops reading
// the value (and the tag) and goes on with the markup from there.
qsizetype ValueEnd(std::string_view s, qsizetype i, char quote)
{
    const qsizetype n = qsizetype(s.size());
    while (i < n && s[size_t(i)] != quote && s[size_t(i)] != '<')
        ++i;
    return i;
}

// Reads the start tag whose "<" is at i and calls attribute(nameBegin, nameEnd, valueBegin, valueEnd)
// for every attribute name in it (the value -1, -1 when it has none) until attribute returns false.
// Returns where the markup after the tag starts: past its ">", or at a "<" that breaks it off.
template <class F>
qsizetype ReadStartTag(std::string_view s, qsizetype i, F &&attribute)
{
    const qsizetype n = qsizetype(s.size());
    qsizetype j = i + 1;
    while (j < n && !EndsName(s[size_t(j)]))
        ++j;
    while (j < n) {
        const char c = s[size_t(j)];
        if (IsSpace(c) || c == '/' || c == '=') {
            ++j;
            continue;
        }
        if (c == '>')
            return j + 1;
        if (c == '<')
            return j;
        if (c == '"' || c == '\'') { // a value without a name
            j = ValueEnd(s, j + 1, c);
            if (j < n && s[size_t(j)] == c)
                ++j;
            continue;
        }
        const qsizetype nameBegin = j;
        while (j < n && !EndsName(s[size_t(j)]))
            ++j;
        const qsizetype nameEnd = j;
        qsizetype valueBegin = -1;
        qsizetype valueEnd = -1;
        qsizetype k = j;
        while (k < n && IsSpace(s[size_t(k)]))
            ++k;
        if (k < n && s[size_t(k)] == '=') {
            ++k;
            while (k < n && IsSpace(s[size_t(k)]))
                ++k;
            j = k;
            if (k < n && (s[size_t(k)] == '"' || s[size_t(k)] == '\'')) {
                const char quote = s[size_t(k)];
                valueBegin = k + 1;
                valueEnd = ValueEnd(s, valueBegin, quote);
                j = valueEnd < n && s[size_t(valueEnd)] == quote ? valueEnd + 1 : valueEnd;
            }
        }
        if (!attribute(nameBegin, nameEnd, valueBegin, valueEnd))
            return j;
    }
    return n;
}

// The encoding the XML declaration names, and where its value ends; empty and -1 without one.
std::pair<QByteArray, qsizetype> DeclaredEncoding(std::string_view s)
{
    const qsizetype start = At(s, 0, "\xEF\xBB\xBF") ? 3 : 0;
    if (!At(s, start, "<?xml") || start + 5 >= qsizetype(s.size()) || !IsSpace(s[size_t(start + 5)]))
        return {QByteArray(), -1};
    const qsizetype end = Past(s, start, "?>");
    const std::string_view decl = s.substr(0, size_t(end));
    const size_t key = decl.find("encoding", size_t(start));
    if (key == std::string_view::npos)
        return {QByteArray(), -1};
    qsizetype i = qsizetype(key) + 8;
    while (i < end && IsSpace(s[size_t(i)]))
        ++i;
    if (i >= end || s[size_t(i)] != '=')
        return {QByteArray(), -1};
    ++i;
    while (i < end && IsSpace(s[size_t(i)]))
        ++i;
    if (i >= end || (s[size_t(i)] != '"' && s[size_t(i)] != '\''))
        return {QByteArray(), -1};
    const size_t close = decl.find(s[size_t(i)], size_t(i + 1));
    if (close == std::string_view::npos)
        return {QByteArray(), -1};
    return {QByteArray(s.data() + i + 1, qsizetype(close) - i - 1), qsizetype(close) + 1};
}

// Encodings in which every ASCII byte is the ASCII character: their markup can be read from the bytes.
// libxml2 ignores a plain "UTF-16" declared in a file that reads as 8-bit text.
bool AsciiMarkup(const QByteArray &encoding)
{
    const QByteArray e = encoding.toUpper();
    static const char *const exact[] = {"UTF-8", "UTF8", "US-ASCII", "ASCII", "UTF-16", "UTF16"};
    for (const char *x : exact)
        if (e == x)
            return true;
    static const char *const families[] = {"ISO-8859-", "ISO8859", "ISO-LATIN-", "LATIN", "WINDOWS-125",
                                           "CP125", "KOI8", "CP866", "IBM866"};
    for (const char *f : families)
        if (e.startsWith(f))
            return true;
    return false;
}

// Bytes in another encoding as libxml2 converts them to UTF-8; empty when it cannot convert them.
QByteArray ToUtf8(xmlCharEncodingHandler *handler, const char *data, qsizetype size)
{
    QByteArray converted;
    if (!handler)
        return converted;
    xmlBufferPtr in = xmlBufferCreateSize(size_t(size) + 1);
    xmlBufferPtr out = xmlBufferCreateSize(size_t(size) * 2 + 16);
    if (in && out && xmlBufferAdd(in, reinterpret_cast<const xmlChar *>(data), int(size)) == 0) {
        // Each call converts what fits; stop when a call takes nothing more (the end, or bytes the
        // encoding does not have, where libxml2 stops too).
        while (xmlBufferLength(in) > 0) {
            const int before = xmlBufferLength(in);
            xmlCharEncInFunc(handler, out, in);
            if (xmlBufferLength(in) == before)
                break;
        }
        converted = QByteArray(reinterpret_cast<const char *>(xmlBufferContent(out)), xmlBufferLength(out));
    }
    if (in)
        xmlBufferFree(in);
    if (out)
        xmlBufferFree(out);
    xmlCharEncCloseFunc(handler);
    return converted;
}

class Scanner {
public:
    Scanner(std::string_view text, const QString &fileName, CXmlScan &result, bool keepStartTags)
        : s_(text), n_(qsizetype(text.size())), file_(QFileInfo(fileName).fileName()), result_(result),
          keep_(keepStartTags)
    {
    }

    void run()
    {
        qsizetype i = 0;
        while (i < n_) {
            const void *lt = std::memchr(s_.data() + i, '<', size_t(n_ - i));
            if (!lt)
                break;
            i = static_cast<const char *>(lt) - s_.data();
            if (At(s_, i, "<!--"))
                i = Past(s_, i + 4, "-->");
            else if (At(s_, i, "<![CDATA["))
                i = Past(s_, i + 9, "]]>");
            else if (At(s_, i, "<?"))
                i = Past(s_, i + 2, "?>");
            else if (At(s_, i, "<!DOCTYPE"))
                i = doctype(i);
            else if (At(s_, i, "</"))
                i = endTag(i);
            else if (At(s_, i, "<!"))
                i += 2; // no markup libxml2 reads on from
            else
                i = startTag(i);
        }
    }

private:
    qsizetype startTag(qsizetype i)
    {
        if (keep_)
            result_.startTags.push_back(i);
        int count = 0;
        return ReadStartTag(s_, i, [&](qsizetype, qsizetype, qsizetype, qsizetype) {
            if (++count > kMaxXmlAttributes)
                tooMany(QStringLiteral("элемент ") + elementName(i), i);
            return true;
        });
    }

    qsizetype endTag(qsizetype i) const
    {
        qsizetype j = i + 2;
        while (j < n_ && !EndsName(s_[size_t(j)]))
            ++j;
        while (j < n_ && IsSpace(s_[size_t(j)]))
            ++j;
        return j < n_ && s_[size_t(j)] == '>' ? j + 1 : j;
    }

    // The declaration and its internal subset. Each attribute a tag in it (or read as in it) can give
    // holds a quoted value or an "=" inside a quoted entity value (or a character reference standing
    // for one), and each attribute default is a quoted literal: counting those bounds what libxml2
    // will check for every start tag.
    qsizetype doctype(qsizetype i)
    {
        result_.doctype = true;
        int marks = 0;
        bool subset = false;
        qsizetype j = i + 9;
        while (j < n_) {
            const char c = s_[size_t(j)];
            if (c == '"' || c == '\'') {
                const size_t close = s_.find(c, size_t(j + 1));
                const qsizetype end = close == std::string_view::npos ? n_ : qsizetype(close);
                const std::string_view literal = s_.substr(size_t(j + 1), size_t(end - j - 1));
                marks += 1 + int(std::count(literal.begin(), literal.end(), '='));
                for (size_t r = literal.find("&#"); r != std::string_view::npos; r = literal.find("&#", r + 2))
                    ++marks;
                if (marks > kMaxXmlAttributes)
                    tooMany(QStringLiteral("объявление типа документа"), i);
                j = end < n_ ? end + 1 : n_;
                continue;
            }
            if (subset) {
                if (At(s_, j, "<!--")) {
                    j = Past(s_, j + 4, "-->");
                    continue;
                }
                if (At(s_, j, "<?")) {
                    j = Past(s_, j + 2, "?>");
                    continue;
                }
                if (c == ']')
                    subset = false;
            } else if (c == '[') {
                subset = true;
            } else if (c == '>') {
                return j + 1;
            }
            ++j;
        }
        return n_;
    }

    QString elementName(qsizetype i) const
    {
        qsizetype j = i + 1;
        while (j < n_ && !EndsName(s_[size_t(j)]))
            ++j;
        const QByteArray bytes(s_.data() + i + 1, std::min<qsizetype>(j - i - 1, 256));
        // Converted text is UTF-8; so is a file that declares UTF-16 but reads as 8-bit text.
        const QByteArray e = result_.encoding.toUpper();
        const bool declared = result_.bytesAreMarkup && !e.isEmpty() && !e.startsWith("UTF-16") && !e.startsWith("UTF16");
        QStringDecoder decoder(declared ? result_.encoding.constData() : "UTF-8");
        const QString name = decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
        return name.size() > 64 ? name.left(64) + QStringLiteral("…") : name;
    }

    [[noreturn]] void tooMany(const QString &where, qsizetype offset) const
    {
        const qsizetype line = 1 + qsizetype(std::count(s_.begin(), s_.begin() + offset, '\n'));
        QString text = QStringLiteral("Слишком много атрибутов: больше %1 (%2, строка %3")
                           .arg(kMaxXmlAttributes)
                           .arg(where)
                           .arg(line);
        if (!file_.isEmpty())
            text += QStringLiteral(", файл ") + file_;
        throw CXmlError((text + QStringLiteral(").")).toStdString());
    }

    std::string_view s_;
    qsizetype n_;
    QString file_;
    CXmlScan &result_;
    bool keep_;
};

} // namespace

CXmlScan ScanXml(const QByteArray &bytes, const QString &fileName, bool keepStartTags)
{
    CXmlScan result;
    const std::string_view raw(bytes.constData(), size_t(bytes.size()));
    QByteArray converted;
    CXmlQuietErrors quiet; // a conversion that fails is libxml2's to report, when it parses
    const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData());
    const xmlCharEncoding detected = xmlDetectCharEncoding(u, int(std::min<qsizetype>(bytes.size(), 4)));
    switch (detected) {
    case XML_CHAR_ENCODING_UTF16LE:
    case XML_CHAR_ENCODING_UTF16BE:
    case XML_CHAR_ENCODING_UCS4LE:
    case XML_CHAR_ENCODING_UCS4BE:
    case XML_CHAR_ENCODING_UCS4_2143:
    case XML_CHAR_ENCODING_UCS4_3412:
    case XML_CHAR_ENCODING_EBCDIC:
        result.bytesAreMarkup = false;
        converted = ToUtf8(xmlGetCharEncodingHandler(detected), bytes.constData(), bytes.size());
        result.encoding =
            DeclaredEncoding(std::string_view(converted.constData(), size_t(converted.size()))).first;
        break;
    default: {
        const auto [encoding, valueEnd] = DeclaredEncoding(raw);
        result.encoding = encoding;
        if (!encoding.isEmpty() && !AsciiMarkup(encoding)) {
            // libxml2 reads on through the declared encoding from there.
            if (xmlCharEncodingHandler *handler = xmlFindCharEncodingHandler(encoding.constData())) {
                result.bytesAreMarkup = false;
                converted = bytes.left(valueEnd) +
                            ToUtf8(handler, bytes.constData() + valueEnd, bytes.size() - valueEnd);
            }
        }
    }
    }
    const std::string_view text = result.bytesAreMarkup ? raw : std::string_view(converted.constData(),
                                                                                 size_t(converted.size()));
    Scanner(text, fileName, result, keepStartTags && result.bytesAreMarkup).run();
    return result;
}

std::pair<qsizetype, qsizetype> XmlAttributeValueSpan(const QByteArray &bytes, qsizetype tag, const char *name)
{
    const std::string_view s(bytes.constData(), size_t(bytes.size()));
    std::pair<qsizetype, qsizetype> span{-1, -1};
    if (tag < 0 || tag >= bytes.size() || s[size_t(tag)] != '<')
        return span;
    const std::string_view wanted(name);
    ReadStartTag(s, tag, [&](qsizetype nameBegin, qsizetype nameEnd, qsizetype valueBegin, qsizetype valueEnd) {
        if (s.substr(size_t(nameBegin), size_t(nameEnd - nameBegin)) != wanted)
            return true;
        if (valueBegin >= 0)
            span = {valueBegin, valueEnd};
        return false;
    });
    return span;
}
