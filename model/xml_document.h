#pragma once
#include <QString>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// A small DOM over libxml2 that shows a document the way the description files were always read:
// text nodes made only of white space do not exist, comments and every other node do. Files are
// read with network access, external entities and entity substitution off. The document itself
// keeps its white space, so a document that is saved back keeps its layout. Large catalogues are
// read without libxml2's tree, through StreamXml below, which shows them the same way.
// Every parse is preceded by ScanXml (model/xml_scan.h).

struct _xmlNode;
struct _xmlDoc;
struct CXmlScan;
class CXmlTexts;

// Keeps libxml2 from printing to stderr while it works on one file.
class CXmlQuietErrors {
public:
    CXmlQuietErrors();
    ~CXmlQuietErrors();
    CXmlQuietErrors(const CXmlQuietErrors &) = delete;
    CXmlQuietErrors &operator=(const CXmlQuietErrors &) = delete;
};

// Raised when a file cannot be read or is not well-formed XML; what() is UTF-8.
class CXmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CXmlNode {
public:
    CXmlNode() = default;
    explicit CXmlNode(_xmlNode *node) : node_(node) {}

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }
    bool isElement() const;
    bool isComment() const;
    bool named(const char *name) const; // an element of that name

    // Element name; "#text", "#comment", "#cdata-section" etc. for the other kinds.
    QString nodeName() const;
    int line() const;

    bool hasChildNodes() const { return !firstChild().isNull(); }
    CXmlNode firstChild() const;
    CXmlNode nextSibling() const;
    int childCount() const;                          // walks the children: O(count)
    CXmlNode child(int index) const;                 // walks the children: O(index)
    CXmlNode firstChildNamed(const QString &name) const; // first child element of that name

    bool hasAttribute(const QString &name) const;
    QString attribute(const QString &name) const; // empty when missing
    bool hasAttribute(const char *name) const;
    QString attribute(const char *name) const;
    void setAttribute(const QString &name, const QString &value);

    _xmlNode *raw() const { return node_; }

private:
    _xmlNode *node_ = nullptr;
};

// The bytes of a file; throws CXmlError when it cannot be read.
QByteArray ReadXmlFile(const QString &path);

class CXmlDocument {
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument &) = delete;
    CXmlDocument &operator=(const CXmlDocument &) = delete;

    // Reads the file; throws CXmlError with a readable reason. The previous document is closed first.
    void load(const QString &path);
    // Parses bytes already read; fileName only names the source in messages.
    void loadFromBytes(const QByteArray &bytes, const QString &fileName = QString());
    void close();
    bool isOpen() const { return doc_ != nullptr; }
    QString fileName() const { return fileName_; }

    CXmlNode documentElement() const;

    // The document serialised in its declared encoding, as libxml2 writes it; in UTF-8 (and so
    // declared) when that encoding cannot be written or would not read back.
    QByteArray toBytes() const;

    _xmlDoc *raw() const { return doc_; }

private:
    _xmlDoc *doc_ = nullptr;
    QString fileName_;
};

// One start tag as the parser reports it while StreamXml runs; valid only during the handler's call.
// Its names and lookups are those of CXmlNode for the same element.
class CXmlStreamElement {
public:
    // attributes: libxml2's five pointers per attribute (name, prefix, URI, value, value end).
    // texts: where values already decoded during this parse are kept, to be shared.
    CXmlStreamElement(const unsigned char *name, const unsigned char **attributes, int count, int line,
                      int ordinal, const QString &fileName, CXmlTexts *texts)
        : name_(name), attributes_(attributes), count_(count), line_(line), ordinal_(ordinal), fileName_(&fileName),
          texts_(texts)
    {
    }

    bool isElement() const { return true; }
    QString nodeName() const;
    bool named(const char *name) const;
    int line() const { return line_; }
    int ordinal() const { return ordinal_; } // start tags before this one in the document
    bool hasAttribute(const char *name) const { return indexOf(name) >= 0; }
    QString attribute(const char *name) const; // empty when missing
    // The same by position: the attribute of that name, -1 when there is none.
    int indexOf(const char *name) const;
    QString attribute(int index) const;
    // The value's UTF-8 as the parser has it ("&" still as "&#38;"): for reading numbers only.
    std::string_view attributeBytes(int index) const;
    const QString &fileName() const { return *fileName_; }

private:
    const unsigned char *name_;
    const unsigned char **attributes_;
    int count_;
    int line_;
    int ordinal_;
    const QString *fileName_;
    CXmlTexts *texts_;
};

// What StreamXml tells, in document order.
class CXmlStreamHandler {
public:
    // depth: the elements open around it; 0 for the document element.
    virtual void startElement(const CXmlStreamElement &element, int depth) = 0;
    virtual void endElement(int depth) = 0;
    // A node CXmlNode shows that is not an element (a comment, a processing instruction, a CDATA
    // section, text not made only of white space), under depth open elements.
    virtual void otherNode(int depth) = 0;

protected:
    ~CXmlStreamHandler() = default;
};

enum class XmlStream {
    Read,          // every node reached the handler
    NotStreamed,   // a document type declaration or namespaces: CXmlDocument reads it
    NotWellFormed, // no document; CXmlDocument gives the reason
};

// Parses bytes that ScanXml let through (scan is its result) without building libxml2's tree, with
// the options of CXmlDocument, and tells handler of every node as CXmlNode would show it: adjacent
// text is one node and so are adjacent CDATA sections, as libxml2 joins them. fileName only names
// the file in messages. An exception from the handler stops the parse and leaves StreamXml.
XmlStream StreamXml(const QByteArray &bytes, const CXmlScan &scan, const QString &fileName,
                    CXmlStreamHandler &handler);
