#include "model/xml_document.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/xml_scan.h"
#include "platform/file_error.h"

namespace {

const xmlChar *X(const QByteArray &utf8) { return reinterpret_cast<const xmlChar *>(utf8.constData()); }

QString FromX(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }

// White-space-only text is not part of the document as the program sees it.
bool Visible(const xmlNode *n)
{
    if (n->type == XML_TEXT_NODE) {
        for (const xmlChar *c = n->content; c && *c; ++c)
            if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n')
                return true;
        return false;
    }
    // Attribute, namespace and DTD-internal nodes never appear as children in libxml2's lists,
    // except the document type node under the document itself.
    return n->type != XML_DTD_NODE;
}

xmlNode *SkipHidden(xmlNode *n)
{
    while (n && !Visible(n))
        n = n->next;
    return n;
}

void Quiet(void *, xmlErrorPtr) {}
void QuietGeneric(void *, const char *, ...) {}

// One error of a parse, kept past the parse.
struct ParseError {
    int code = 0;
    int line = 0;
    int column = 0;
    QString str1, str2; // names the message is made of: an element, an encoding, an attribute
    int int1 = 0;       // a line the message names
    QString message;    // libxml2's own, English
};

// The faults a damaged file has, in Russian words; empty for any other error.
QString OwnText(const ParseError &e, const QByteArray &bytes)
{
    switch (e.code) {
    case XML_ERR_DOCUMENT_EMPTY:
        return bytes.trimmed().isEmpty() ? QStringLiteral("файл пуст") : QStringLiteral("нет корневого элемента");
    case XML_ERR_DOCUMENT_END:
        return QStringLiteral("лишнее содержимое после корневого элемента");
    case XML_ERR_TAG_NOT_FINISHED:
        return QStringLiteral("файл обрывается, элемент %1 из строки %2 не закрыт").arg(e.str1).arg(e.int1);
    case XML_ERR_TAG_NAME_MISMATCH:
        return QStringLiteral("закрывающий тег %1 не соответствует элементу %2 из строки %3").arg(e.str2, e.str1).arg(e.int1);
    case XML_ERR_GT_REQUIRED:
        return e.str1.isEmpty() ? QStringLiteral("тег не закончен")
                                : QStringLiteral("начальный тег элемента %1 из строки %2 не закончен").arg(e.str1).arg(e.int1);
    case XML_ERR_ATTRIBUTE_NOT_FINISHED:
        return QStringLiteral("не закончено значение атрибута");
    case XML_ERR_INVALID_CHAR:
        // libxml2 names the bytes of a broken UTF-8 sequence: a text in another code page, undeclared.
        if (e.str1.startsWith(QLatin1String("Bytes:")))
            return QStringLiteral("недопустимый символ: текст не в кодировке UTF-8, а другая кодировка не объявлена");
        return QStringLiteral("недопустимый символ");
    case XML_ERR_INVALID_HEX_CHARREF:
    case XML_ERR_INVALID_DEC_CHARREF:
    case XML_ERR_INVALID_CHARREF:
        return QStringLiteral("недопустимый символ");
    case XML_ERR_INVALID_ENCODING:
        return QStringLiteral("текст не в объявленной кодировке");
    case XML_ERR_UNKNOWN_ENCODING:
    case XML_ERR_UNSUPPORTED_ENCODING:
        return e.str1.isEmpty() ? QStringLiteral("неизвестная кодировка")
                                : QStringLiteral("неизвестная кодировка %1").arg(e.str1.trimmed());
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return QStringLiteral("атрибут %1 повторяется").arg(e.str1);
    default:
        return QString();
    }
}

// What the engineer reads of a parse error: its own text, or libxml2's after a Russian lead.
QString ParseErrorText(const ParseError &e, const QByteArray &bytes)
{
    const QString own = OwnText(e, bytes);
    return own.isEmpty() ? QStringLiteral("ошибка разбора XML: ") + e.message : own;
}

// The errors of one parse, quiet.
class ParseErrors {
public:
    ParseErrors()
    {
        xmlSetStructuredErrorFunc(this, Record);
        xmlSetGenericErrorFunc(nullptr, QuietGeneric);
    }
    ~ParseErrors()
    {
        xmlSetStructuredErrorFunc(nullptr, nullptr);
        xmlSetGenericErrorFunc(nullptr, nullptr);
    }
    ParseErrors(const ParseErrors &) = delete;
    ParseErrors &operator=(const ParseErrors &) = delete;

    // The error that names the fault. One fault makes libxml2 report several errors at one place, the
    // telling one last: the data ending inside an element (a file cut short) after what the cut left
    // unfinished, a start tag not finished after what it could not read in it. A fault that has words
    // of its own (a tag mismatch, a wrong character) is told as it is. None when libxml2 reported none.
    const ParseError *told(const QByteArray &bytes) const
    {
        if (errors_.empty())
            return nullptr;
        const ParseError &first = errors_.front();
        if (first.code == XML_ERR_TAG_NAME_MISMATCH)
            return &first;
        const ParseError *told = &first;
        for (const ParseError &e : errors_) {
            if (e.line != first.line || e.column != first.column)
                break;
            if (e.code == XML_ERR_TAG_NOT_FINISHED)
                return &e;
            if (e.code == XML_ERR_GT_REQUIRED && told == &first && OwnText(first, bytes).isEmpty())
                told = &e;
        }
        return told;
    }

private:
    static void Record(void *data, xmlErrorPtr e)
    {
        auto &errors = static_cast<ParseErrors *>(data)->errors_;
        // A damaged file makes libxml2 report on and on; the first few tell the fault.
        if (!e || e->level < XML_ERR_ERROR || errors.size() >= 64)
            return;
        errors.push_back({e->code, e->line, e->int2, QString::fromUtf8(e->str1), QString::fromUtf8(e->str2), e->int1,
                          QString::fromUtf8(e->message).trimmed()});
    }

    std::vector<ParseError> errors_;
};

QByteArray Dump(xmlDocPtr doc, const char *encoding)
{
    xmlChar *mem = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &mem, &size, encoding);
    QByteArray out(reinterpret_cast<const char *>(mem), mem ? size : 0);
    xmlFree(mem);
    return out;
}

// Whether serialised bytes parse again. Some encodings libxml2 can write hide the declaration
// that names them (UTF-7 writes "<" as "+ADw-"): such a file could never be opened again.
bool ReadsBack(const QByteArray &bytes)
{
    CXmlQuietErrors quiet;
    xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
    const bool ok = doc && xmlDocGetRootElement(doc);
    if (doc)
        xmlFreeDoc(doc);
    return ok;
}

} // namespace

CXmlQuietErrors::CXmlQuietErrors()
{
    xmlSetStructuredErrorFunc(nullptr, Quiet);
    xmlSetGenericErrorFunc(nullptr, QuietGeneric);
}

CXmlQuietErrors::~CXmlQuietErrors()
{
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    xmlSetGenericErrorFunc(nullptr, nullptr);
}

bool CXmlNode::isElement() const { return node_ && node_->type == XML_ELEMENT_NODE; }

bool CXmlNode::isComment() const { return node_ && node_->type == XML_COMMENT_NODE; }

bool CXmlNode::named(const char *name) const
{
    return isElement() && std::strcmp(reinterpret_cast<const char *>(node_->name), name) == 0;
}

QString CXmlNode::nodeName() const
{
    if (!node_)
        return QString();
    switch (node_->type) {
    case XML_ELEMENT_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_PI_NODE:
        return FromX(node_->name);
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    default:
        return QStringLiteral("#other");
    }
}

int CXmlNode::line() const { return node_ ? int(xmlGetLineNo(node_)) : 0; }

CXmlNode CXmlNode::firstChild() const
{
    // Entity references keep their expansion as children; they are not descended into.
    if (!node_ || node_->type == XML_ENTITY_REF_NODE || node_->type == XML_ATTRIBUTE_NODE)
        return CXmlNode();
    return CXmlNode(SkipHidden(node_->children));
}

CXmlNode CXmlNode::nextSibling() const
{
    return node_ ? CXmlNode(SkipHidden(node_->next)) : CXmlNode();
}

int CXmlNode::childCount() const
{
    int n = 0;
    for (CXmlNode c = firstChild(); c; c = c.nextSibling())
        ++n;
    return n;
}

CXmlNode CXmlNode::child(int index) const
{
    if (index < 0)
        return CXmlNode();
    CXmlNode c = firstChild();
    while (c && index-- > 0)
        c = c.nextSibling();
    return c;
}

CXmlNode CXmlNode::firstChildNamed(const QString &name) const
{
    for (CXmlNode c = firstChild(); c; c = c.nextSibling())
        if (c.isElement() && c.nodeName() == name)
            return c;
    return CXmlNode();
}

bool CXmlNode::hasAttribute(const QString &name) const { return hasAttribute(name.toUtf8().constData()); }

QString CXmlNode::attribute(const QString &name) const { return attribute(name.toUtf8().constData()); }

bool CXmlNode::hasAttribute(const char *name) const
{
    return isElement() && xmlHasProp(node_, reinterpret_cast<const xmlChar *>(name)) != nullptr;
}

QString CXmlNode::attribute(const char *name) const
{
    if (!isElement())
        return QString();
    xmlChar *v = xmlGetProp(node_, reinterpret_cast<const xmlChar *>(name));
    QString s = FromX(v);
    xmlFree(v);
    return s;
}

void CXmlNode::setAttribute(const QString &name, const QString &value)
{
    if (isElement())
        xmlSetProp(node_, X(name.toUtf8()), X(value.toUtf8()));
}

CXmlDocument::CXmlDocument() { xmlInitParser(); }

CXmlDocument::~CXmlDocument() { close(); }

void CXmlDocument::close()
{
    if (doc_)
        xmlFreeDoc(doc_);
    doc_ = nullptr;
    fileName_.clear();
}

QByteArray ReadXmlFile(const QString &path)
{
    const auto fail = [&](const QString &reason) {
        return CXmlError(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(QFileInfo(path).fileName(), reason).toStdString());
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        throw fail(NotAFileReason());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw fail(FileErrorReason(f));
    return f.readAll();
}

void CXmlDocument::load(const QString &path)
{
    close();
    loadFromBytes(ReadXmlFile(path), path);
}

void CXmlDocument::loadFromBytes(const QByteArray &bytes, const QString &fileName)
{
    close();
    ScanXml(bytes, fileName);
    ParseErrors errors;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw CXmlError(QStringLiteral("Недостаточно памяти для разбора XML").toStdString());
    // No network, no entity substitution, no external DTD: a file never reaches beyond itself.
    const int options = XML_PARSE_NONET;
    const QByteArray url = QFileInfo(fileName).fileName().toUtf8();
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()),
                                      url.isEmpty() ? nullptr : url.constData(), nullptr, options);
    if (!doc || !ctxt->wellFormed || !xmlDocGetRootElement(doc)) {
        QString reason;
        if (const ParseError *e = errors.told(bytes))
            reason = QStringLiteral("строка %1: %2").arg(e->line).arg(ParseErrorText(*e, bytes));
        else
            reason = QStringLiteral("документ пуст");
        if (doc)
            xmlFreeDoc(doc);
        xmlFreeParserCtxt(ctxt);
        const QString name = QFileInfo(fileName).fileName();
        throw CXmlError((name.isEmpty() ? reason : name + QStringLiteral(", ") + reason).toStdString());
    }
    xmlFreeParserCtxt(ctxt);
    doc_ = doc;
    fileName_ = fileName;
}

CXmlNode CXmlDocument::documentElement() const
{
    return doc_ ? CXmlNode(xmlDocGetRootElement(doc_)) : CXmlNode();
}

QByteArray CXmlDocument::toBytes() const
{
    if (!doc_)
        return QByteArray();
    if (doc_->encoding) {
        const QByteArray out = Dump(doc_, reinterpret_cast<const char *>(doc_->encoding));
        if (!out.isEmpty() && ReadsBack(out))
            return out;
    }
    return Dump(doc_, "UTF-8");
}

// ---- Streaming

QString CXmlStreamElement::nodeName() const { return FromX(name_); }

bool CXmlStreamElement::named(const char *name) const
{
    return std::strcmp(reinterpret_cast<const char *>(name_), name) == 0;
}

int CXmlStreamElement::indexOf(const char *name) const
{
    for (int i = 0; i < count_; ++i) {
        const char *n = reinterpret_cast<const char *>(attributes_[5 * i]);
        if (n[0] == name[0] && std::strcmp(n, name) == 0)
            return i;
    }
    return -1;
}

std::string_view CXmlStreamElement::attributeBytes(int index) const
{
    const xmlChar *value = attributes_[5 * index + 3];
    return std::string_view(reinterpret_cast<const char *>(value), size_t(attributes_[5 * index + 4] - value));
}

// The values of one parse: a catalogue repeats most of them (types, defaults, masks, list entries),
// so each short one is decoded once and its text shared.
class CXmlTexts {
public:
    QString text(std::string_view bytes)
    {
        if (bytes.size() > 48)
            return decode(bytes);
        const auto known = texts_.find(bytes);
        if (known != texts_.end())
            return known->second;
        QString text = decode(bytes);
        if (texts_.size() < 16384)
            texts_.emplace(std::string(bytes), text);
        return text;
    }

private:
    static QString decode(std::string_view bytes)
    {
        QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        // The parser hands over "&" (from "&amp;" or "&#38;") as "&#38;", which the tree's attribute
        // node turns back into "&"; no other "&" reaches here.
        if (text.contains(u'&'))
            text.replace(QStringLiteral("&#38;"), QStringLiteral("&"));
        return text;
    }
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> texts_;
};

QString CXmlStreamElement::attribute(int index) const { return texts_->text(attributeBytes(index)); }

QString CXmlStreamElement::attribute(const char *name) const
{
    const int i = indexOf(name);
    return i < 0 ? QString() : attribute(i);
}

namespace {

struct StreamState {
    StreamState(CXmlStreamHandler &h, const QString &file, xmlParserCtxtPtr c) : handler(h), fileName(file), ctxt(c) {}

    CXmlStreamHandler &handler;
    const QString &fileName;
    xmlParserCtxtPtr ctxt;
    CXmlTexts texts;
    int depth = 0;
    int ordinal = 0;
    bool documentElement = false;
    bool notStreamed = false;
    std::exception_ptr failure;
    // The last child of the open element, for joining text and CDATA the way the tree does.
    enum { None, Text, CData, Other } last = None;
    bool visibleText = false;

    template <class F>
    void tell(F &&call)
    {
        if (failure || notStreamed)
            return;
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
            xmlStopParser(ctxt);
        }
    }
    // Ends a run of text: a node only when it is not all white space.
    void endText()
    {
        if (last == Text && visibleText)
            tell([this] { handler.otherNode(depth); });
        visibleText = false;
    }
    void other()
    {
        endText();
        last = Other;
        tell([this] { handler.otherNode(depth); });
    }
};

StreamState &StateOf(void *ctx) { return *static_cast<StreamState *>(static_cast<xmlParserCtxtPtr>(ctx)->_private); }

void OnStartElement(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *, int namespaces,
                    const xmlChar **, int count, int defaulted, const xmlChar **attributes)
{
    StreamState &s = StateOf(ctx);
    bool plain = prefix == nullptr && namespaces == 0 && defaulted == 0;
    for (int i = 0; i < count && plain; ++i)
        plain = attributes[5 * i + 1] == nullptr;
    if (!plain) {
        // Prefixed names follow rules of their own in the tree: leave the document to it.
        s.notStreamed = true;
        xmlStopParser(s.ctxt);
        return;
    }
    s.endText();
    s.last = StreamState::None;
    const CXmlStreamElement element(localname, attributes, count, s.ctxt->input ? s.ctxt->input->line : 0,
                                    s.ordinal++, s.fileName, &s.texts);
    s.documentElement = true;
    const int depth = s.depth++;
    s.tell([&] { s.handler.startElement(element, depth); });
}

void OnEndElement(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
{
    StreamState &s = StateOf(ctx);
    s.endText();
    s.last = StreamState::Other;
    const int depth = --s.depth;
    s.tell([&] { s.handler.endElement(depth); });
}

void OnText(void *ctx, const xmlChar *text, int length)
{
    StreamState &s = StateOf(ctx);
    if (s.last != StreamState::Text) {
        s.last = StreamState::Text;
        s.visibleText = false;
    }
    for (int i = 0; i < length && !s.visibleText; ++i)
        s.visibleText = text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n';
}

void OnCData(void *ctx, const xmlChar *, int)
{
    StreamState &s = StateOf(ctx);
    if (s.last != StreamState::CData) {
        s.other();
        s.last = StreamState::CData;
    }
}

void OnComment(void *ctx, const xmlChar *) { StateOf(ctx).other(); }

void OnInstruction(void *ctx, const xmlChar *, const xmlChar *) { StateOf(ctx).other(); }

void OnReference(void *ctx, const xmlChar *) { StateOf(ctx).other(); }

} // namespace

XmlStream StreamXml(const QByteArray &bytes, const CXmlScan &scan, const QString &fileName, CXmlStreamHandler &handler)
{
    if (scan.doctype)
        return XmlStream::NotStreamed; // entities and attribute defaults: the tree's own rules
    xmlInitParser();
    CXmlQuietErrors quiet;
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size()));
    if (!ctxt)
        return XmlStream::NotWellFormed;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStartElement;
    sax.endElementNs = OnEndElement;
    sax.characters = OnText;
    sax.ignorableWhitespace = OnText;
    sax.cdataBlock = OnCData;
    sax.comment = OnComment;
    sax.processingInstruction = OnInstruction;
    sax.reference = OnReference;
    sax.serror = Quiet;
    std::memcpy(ctxt->sax, &sax, sizeof sax);
    StreamState state(handler, fileName, ctxt);
    ctxt->_private = &state;
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
    xmlParseDocument(ctxt);
    const bool wellFormed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);
    if (state.failure)
        std::rethrow_exception(state.failure);
    if (state.notStreamed)
        return XmlStream::NotStreamed;
    return wellFormed && state.documentElement ? XmlStream::Read : XmlStream::NotWellFormed;
}
