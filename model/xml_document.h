#pragma once
#include <QString>

#include <memory>
#include <stdexcept>
#include <string>

// A small DOM over libxml2 that shows a document the way the description files were always read:
// text nodes made only of white space do not exist, comments and every other node do. Files are
// read with network access, external entities and entity substitution off. The document itself
// keeps its white space, so a document that is saved back keeps its layout. Every parse is
// preceded by ScanXml (model/xml_scan.h).

struct _xmlNode;
struct _xmlDoc;

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
    void setAttribute(const QString &name, const QString &value);

    _xmlNode *raw() const { return node_; }

private:
    _xmlNode *node_ = nullptr;
};

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
