#pragma once
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

#include "model/config_tree.h"
#include "model/xml_document.h"

// Reading devices.xml and .DEV files into a description tree.

// A strict-integer attribute that is not a number. what() is UTF-8 Russian, meant for the engineer.
class CConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An optional sign and decimal digits whose value fits 32 bits; nothing else is a number.
std::optional<int> ParseDecimalInt(const QString &text);

// Attribute conversions; a missing attribute gives the default.
QString XmlText(const CXmlNode &element, const QString &name, const QString &defaultValue = QString());
int XmlLenientInt(const CXmlNode &element, const QString &name, int defaultValue); // no number: default
int XmlStrictInt(const CXmlNode &element, const QString &name, int defaultValue);  // no number: CConvertError
bool XmlFlag(const CXmlNode &element, const QString &name, bool defaultValue);     // strict, true when nonzero
uint8_t XmlByte(const CXmlNode &element, const QString &name, uint8_t defaultValue); // strict, low 8 bits

// Picture numbers of the description trees (the ilConfig image list).
enum ConfigImage {
    imgDevice = 0,
    imgParamTable = 1,
    imgParameter = 2,
    imgItem = 3,
    imgKeyTable = 4,
    imgPassTable = 5,
    imgKey = 6,
    imgLoopFlag = 7,
    imgPass = 8,
};

// Loads the XML file at path into tree, under the wait cursor.
// - A file that cannot be opened or parsed, or that ScanXml refuses (a start tag of too many
//   attributes): "Файл проекта не распознан.\n" + the reason as an error message; the tree is not
//   touched and false is returned.
// - A document element without children: the tree keeps what it held, false.
// - Otherwise the tree is cleared and filled; true.
// The document is streamed into the tree (StreamXml) where it allows it, else read through
// libxml2's tree; both give the same tree.
// A strict-integer attribute that is not a number ends the load with CConvertError: the nodes read
// before it stay, the cursor is restored, and the error reaches the caller's handler (RunGuarded
// shows it).
bool LoadXmlToTree(const QString &path, CTree &tree);

// The same load without a message or cursor, for code that has no window (the simulator, tools):
// throws CXmlError for a file that cannot be read or parsed (the tree untouched) and CConvertError
// as above; false when the document element has no children.
bool ReadXmlToTree(const QString &path, CTree &tree);
// From a document already parsed into libxml2's tree.
bool ReadXmlToTree(const CXmlDocument &doc, CTree &tree);

// Reads one element and its descendants under parent (top level when null).
void ParseXmlNode(const CXmlNode &element, CTreeNode *parent, CTree &tree);
