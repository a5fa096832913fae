#pragma once
// One cheap pass over a description file's bytes before libxml2 is given them. libxml2 checks every
// attribute of a start tag against all those before it, so a tag with tens of thousands of attributes
// holds the window for minutes; such a file is refused here, in linear time.
#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// A catalogue element has about a dozen attributes.
constexpr int kMaxXmlAttributes = 1000;

struct CXmlScan {
    bool doctype = false;       // a document type declaration: entities and attribute defaults
    bool bytesAreMarkup = true; // the markup stands in the bytes as they are (UTF-8 or an 8-bit code page)
    QByteArray encoding;        // as the XML declaration names it; empty when it names none
    std::vector<qsizetype> startTags; // offset of each start tag's "<" in document order (when asked for)
};

// Reads only the ASCII structure: tags, quoted values (which may hold ">" and "="), comments, CDATA
// sections, processing instructions and the document type declaration. A file whose markup is not
// ASCII (UTF-16, or one declared in an encoding that is not a superset of ASCII) is scanned as libxml2
// will convert it to UTF-8; bytesAreMarkup is false then and no offsets are kept.
// Throws CXmlError, naming the element and the line, when a start tag holds more than
// kMaxXmlAttributes attributes or the internal subset of the document type declaration could give
// one that many (attribute defaults, entities holding tags); fileName only names the file.
CXmlScan ScanXml(const QByteArray &bytes, const QString &fileName, bool keepStartTags = false);

// The value of attribute name in the start tag at offset tag of bytes: {begin, end} between its
// quotes, or {-1, -1} when the tag has no such attribute.
std::pair<qsizetype, qsizetype> XmlAttributeValueSpan(const QByteArray &bytes, qsizetype tag, const char *name);
