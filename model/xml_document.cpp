#include "model/xml_document.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include "model/xml_scan.h"

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

bool CXmlNode::hasAttribute(const QString &name) const
{
    return isElement() && xmlHasProp(node_, X(name.toUtf8())) != nullptr;
}

QString CXmlNode::attribute(const QString &name) const
{
    if (!isElement())
        return QString();
    xmlChar *v = xmlGetProp(node_, X(name.toUtf8()));
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

void CXmlDocument::load(const QString &path)
{
    close();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw CXmlError(QStringLiteral("Не удалось открыть файл \"%1\": %2")
                            .arg(QFileInfo(path).fileName(), f.errorString())
                            .toStdString());
    loadFromBytes(f.readAll(), path);
}

void CXmlDocument::loadFromBytes(const QByteArray &bytes, const QString &fileName)
{
    close();
    ScanXml(bytes, fileName);
    CXmlQuietErrors quiet;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw CXmlError("libxml2: out of memory");
    // No network, no entity substitution, no external DTD: a file never reaches beyond itself.
    const int options = XML_PARSE_NONET;
    const QByteArray url = QFileInfo(fileName).fileName().toUtf8();
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()),
                                      url.isEmpty() ? nullptr : url.constData(), nullptr, options);
    if (!doc || !ctxt->wellFormed || !xmlDocGetRootElement(doc)) {
        QString reason;
        if (const xmlError *e = xmlCtxtGetLastError(ctxt); e && e->message)
            reason = QStringLiteral("строка %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed());
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
