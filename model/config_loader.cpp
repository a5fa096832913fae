#include "model/config_loader.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>

#include <libxml/tree.h>

#include <exception>
#include <string_view>
#include <vector>

#include "app/message_dlg.h"
#include "model/xml_scan.h"

namespace {

// The wait cursor for the length of a load, restored however the load ends.
class WaitCursor {
public:
    WaitCursor() : active_(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool active_;
};

// The file an element was read from, as messages name it.
QString SourceName(const CXmlNode &element)
{
    if (element.raw() && element.raw()->doc && element.raw()->doc->URL)
        return QString::fromUtf8(reinterpret_cast<const char *>(element.raw()->doc->URL));
    return QString();
}

QString SourceName(const CXmlStreamElement &element) { return QFileInfo(element.fileName()).fileName(); }

unsigned Unit(QChar c) { return c.unicode(); }
unsigned Unit(char c) { return static_cast<unsigned char>(c); }

// An optional sign and decimal digits whose value fits 32 bits, in UTF-16 or UTF-8 alike: only
// ASCII counts, so both give the same answer for the same text.
template <class Char>
std::optional<int> ParseDecimal(const Char *text, qsizetype n)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (Unit(text[i]) == '+' || Unit(text[i]) == '-'))
        negative = Unit(text[i++]) == '-';
    if (i == n)
        return std::nullopt;
    int64_t v = 0;
    for (; i < n; ++i) {
        const unsigned c = Unit(text[i]);
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return std::nullopt;
    return int(v);
}

// The text and the number of an attribute, or nothing when the element has none: libxml2's tree
// is asked twice; a streamed element is searched once.
std::optional<QString> TextIf(const CXmlNode &element, const char *name)
{
    return element.hasAttribute(name) ? std::optional<QString>(element.attribute(name)) : std::nullopt;
}

std::optional<QString> TextIf(const CXmlStreamElement &element, const char *name)
{
    const int i = element.indexOf(name);
    return i < 0 ? std::nullopt : std::optional<QString>(element.attribute(i));
}

// present: whether the element has the attribute; the number it holds, if it holds one.
std::optional<int> NumberIf(const CXmlNode &element, const char *name, bool &present)
{
    present = element.hasAttribute(name);
    if (!present)
        return std::nullopt;
    const QString text = element.attribute(name);
    return ParseDecimal(text.constData(), text.size());
}

std::optional<int> NumberIf(const CXmlStreamElement &element, const char *name, bool &present)
{
    const int i = element.indexOf(name);
    present = i >= 0;
    if (!present)
        return std::nullopt;
    const std::string_view bytes = element.attributeBytes(i);
    return ParseDecimal(bytes.data(), qsizetype(bytes.size()));
}

// The conversions below work on an element of the tree (CXmlNode) and on one being streamed
// (CXmlStreamElement) alike.
template <class E>
[[noreturn]] void ThrowNotANumber(const E &element, const char *name, const QString &text)
{
    QString where = QStringLiteral("атрибут %1 элемента %2, строка %3")
                        .arg(QString::fromUtf8(name), element.nodeName())
                        .arg(element.line());
    if (const QString file = SourceName(element); !file.isEmpty())
        where += QStringLiteral(", файл ") + file;
    throw CConvertError(QStringLiteral("'%1' не является целым числом (%2).").arg(text, where).toStdString());
}

template <class E>
QString TextOf(const E &element, const char *name, const QString &defaultValue = QString())
{
    return TextIf(element, name).value_or(defaultValue);
}

template <class E>
int LenientIntOf(const E &element, const char *name, int defaultValue)
{
    bool present = false;
    return NumberIf(element, name, present).value_or(defaultValue);
}

template <class E>
int StrictIntOf(const E &element, const char *name, int defaultValue)
{
    bool present = false;
    const std::optional<int> v = NumberIf(element, name, present);
    if (!present)
        return defaultValue;
    if (v)
        return *v;
    ThrowNotANumber(element, name, element.attribute(name));
}

template <class E>
bool FlagOf(const E &element, const char *name, bool defaultValue)
{
    return StrictIntOf(element, name, defaultValue ? 1 : 0) != 0;
}

template <class E>
uint8_t ByteOf(const E &element, const char *name, uint8_t defaultValue)
{
    return uint8_t(uint32_t(StrictIntOf(element, name, defaultValue)) & 0xFFu);
}

QString LoopNodeText(int id, bool chk)
{
    return QStringLiteral("ШС") + QString::number(id) + QStringLiteral(" (") + QString::number(chk ? 1 : 0) +
           QStringLiteral(")");
}

int TableImage(const QString &type)
{
    if (type == QLatin1String("table"))
        return imgParamTable;
    if (type == QLatin1String("key"))
        return imgKeyTable;
    if (type == QLatin1String("pass"))
        return imgPassTable;
    return -1;
}

// The element names as the objects' kinds: one text shared by every object of a kind.
const QString KindDevice = QStringLiteral("Device");
const QString KindTable = QStringLiteral("Table");
const QString KindParameter = QStringLiteral("Parameter");
const QString KindItem = QStringLiteral("Item");
const QString KindItemValue = QStringLiteral("ItemValue");
const QString KindKey = QStringLiteral("Key");
const QString KindPass = QStringLiteral("Pass");

// What one element adds; the node its children hang under is returned.
template <class E>
CTreeNode *ReadElement(const E &e, CTreeNode *parent, CTree &tree)
{
    if (!e.isElement())
        return parent;

    if (e.named("Device")) {
        auto d = std::make_shared<CDevice>();
        d->kind = KindDevice;
        d->name = TextOf(e, "name");
        d->version = TextOf(e, "version");
        d->device_id = StrictIntOf(e, "device_id", 0);
        d->device_addr = StrictIntOf(e, "device_addr", 0);
        const QString text = d->name;
        CTreeNode *n = tree.add(parent, text, std::move(d));
        n->setImage(imgDevice);
        return n;
    }
    if (e.named("Table")) {
        auto t = std::make_shared<CTable>();
        t->kind = KindTable;
        t->name = TextOf(e, "name");
        t->type = TextOf(e, "type", QStringLiteral("table"));
        t->can_type = StrictIntOf(e, "can_type", 1);
        t->columns = LenientIntOf(e, "columns", 1);
        t->column_width = LenientIntOf(e, "column_width", 50);
        t->can_data_size = LenientIntOf(e, "can_data_size", 0);
        t->max_key_count = LenientIntOf(e, "max_key_count", 1);
        const QString text = t->name;
        const int image = TableImage(t->type);
        CTreeNode *n = tree.addChild(parent, text, std::move(t));
        if (image >= 0)
            n->setImage(image);
        return n;
    }
    if (e.named("Parameter")) {
        auto p = std::make_shared<CParameter>();
        p->kind = KindParameter;
        p->name = TextOf(e, "name");
        p->type = TextOf(e, "type");
        p->can_id_razdel = LenientIntOf(e, "can_id_razdel", 0);
        p->address = TextOf(e, "address");
        p->address_bit = LenientIntOf(e, "address_bit", 0);
        p->default_value = TextOf(e, "default_value");
        p->min_value = StrictIntOf(e, "min_value", 0);
        p->max_value = StrictIntOf(e, "max_value", 0);
        p->formula = StrictIntOf(e, "formula", 0);
        const QString text = p->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(p));
        n->setImage(imgParameter);
        return n;
    }
    if (const bool item = e.named("Item"); item || e.named("ItemValue")) {
        auto i = std::make_shared<CItem>();
        i->kind = item ? KindItem : KindItemValue;
        i->name = TextOf(e, "name");
        i->value = TextOf(e, "value");
        const QString text = i->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(i));
        n->setImage(imgItem);
        return n;
    }
    if (e.named("Key")) {
        auto k = std::make_shared<CKey>();
        k->kind = KindKey;
        k->id = StrictIntOf(e, "id", 0);
        k->name = TextOf(e, "name");
        k->key_type = StrictIntOf(e, "key_type", 0);
        k->key_code = TextOf(e, "key_code");
        k->master = FlagOf(e, "master", false);
        k->hos_count = StrictIntOf(e, "hos_count", 0);
        k->KeyVz_Sn = ByteOf(e, "KeyVz_Sn", 0);
        k->KeyLocLevel = ByteOf(e, "KeyLocLevel", 0);
        const QString text = k->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(k));
        n->setImage(imgKey);
        return n;
    }
    if (e.named("Pass")) {
        auto p = std::make_shared<CPass>();
        p->kind = KindPass;
        p->id = StrictIntOf(e, "id", 0);
        p->name = TextOf(e, "name");
        p->password = TextOf(e, "password");
        p->administrator = FlagOf(e, "administrator", false);
        p->disabled = FlagOf(e, "disabled", false);
        p->access = FlagOf(e, "access", false);
        p->hos_key = FlagOf(e, "hos_key", false);
        p->hos_count = StrictIntOf(e, "hos_count", 0);
        const QString text = p->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(p));
        n->setImage(imgPass);
        return n;
    }
    const bool keyHos = e.named("Key_hos");
    if (keyHos || e.named("Pass_hos")) {
        // A loop flag belongs to the key or password it stands under; anywhere else it is passed over.
        std::vector<bool> *flags = nullptr;
        if (CKey *k = keyHos && parent ? parent->key() : nullptr)
            flags = &k->hos_chk;
        else if (CPass *p = !keyHos && parent ? parent->pass() : nullptr)
            flags = &p->hos_chk;
        if (!flags)
            return parent;
        const int id = StrictIntOf(e, "id", 0);
        const bool chk = FlagOf(e, "chk", false);
        flags->push_back(chk);
        CTreeNode *n = tree.addChild(parent, LoopNodeText(id, chk), LoopFlag{chk});
        n->setImage(imgLoopFlag);
        return n;
    }
    if (e.named("TabAddr")) {
        if (CTable *t = parent ? parent->table() : nullptr)
            t->tab_addr.append(TextOf(e, "value", QStringLiteral("00")));
        return parent;
    }
    return parent;
}

} // namespace

std::optional<int> ParseDecimalInt(const QString &text) { return ParseDecimal(text.constData(), text.size()); }

QString XmlText(const CXmlNode &element, const QString &name, const QString &defaultValue)
{
    return TextOf(element, name.toUtf8().constData(), defaultValue);
}

int XmlLenientInt(const CXmlNode &element, const QString &name, int defaultValue)
{
    return LenientIntOf(element, name.toUtf8().constData(), defaultValue);
}

int XmlStrictInt(const CXmlNode &element, const QString &name, int defaultValue)
{
    return StrictIntOf(element, name.toUtf8().constData(), defaultValue);
}

bool XmlFlag(const CXmlNode &element, const QString &name, bool defaultValue)
{
    return FlagOf(element, name.toUtf8().constData(), defaultValue);
}

uint8_t XmlByte(const CXmlNode &element, const QString &name, uint8_t defaultValue)
{
    return ByteOf(element, name.toUtf8().constData(), defaultValue);
}

void ParseXmlNode(const CXmlNode &element, CTreeNode *parent, CTree &tree)
{
    CTreeNode *under = ReadElement(element, parent, tree);
    for (CXmlNode c = element.firstChild(); c; c = c.nextSibling())
        ParseXmlNode(c, under, tree);
}

bool ReadXmlToTree(const CXmlDocument &doc, CTree &tree)
{
    const CXmlNode root = doc.documentElement();
    if (!root.hasChildNodes())
        return false;
    CTreeUpdate update(tree);
    tree.clear();
    ParseXmlNode(root, nullptr, tree);
    return true;
}

namespace {

// Fills a tree of its own while the parser streams the document, as ParseXmlNode fills one from
// libxml2's tree: the same elements in the same order under the same parents. A number that is not
// one ends the filling there; the parse goes on, since a document that is not well-formed must
// leave the caller's tree alone all the same.
class CTreeFiller final : public CXmlStreamHandler {
public:
    CTree nodes;
    bool rootHasChildren = false;
    std::exception_ptr notANumber;

    void startElement(const CXmlStreamElement &element, int depth) override
    {
        if (depth == 1)
            rootHasChildren = true;
        CTreeNode *parent = under_.empty() ? nullptr : under_.back();
        CTreeNode *node = parent;
        if (!notANumber) {
            try {
                node = ReadElement(element, parent, nodes);
            } catch (const CConvertError &) {
                notANumber = std::current_exception();
            }
        }
        under_.push_back(node);
    }
    void endElement(int) override { under_.pop_back(); }
    void otherNode(int depth) override
    {
        if (depth == 1)
            rootHasChildren = true;
    }

private:
    std::vector<CTreeNode *> under_;
};

// The load of bytes already read: streamed where the document allows it, else through libxml2's
// tree (which also gives the reason a document cannot be read).
bool ReadXmlBytesToTree(const QByteArray &bytes, const QString &fileName, CTree &tree)
{
    CTreeFiller filler;
    if (StreamXml(bytes, ScanXml(bytes, fileName), fileName, filler) != XmlStream::Read) {
        CXmlDocument doc;
        doc.loadFromBytes(bytes, fileName);
        return ReadXmlToTree(doc, tree);
    }
    if (!filler.rootHasChildren)
        return false;
    {
        CTreeUpdate update(tree);
        tree.clear();
        tree.moveNodesFrom(filler.nodes);
    }
    if (filler.notANumber)
        std::rethrow_exception(filler.notANumber);
    return true;
}

} // namespace

bool ReadXmlToTree(const QString &path, CTree &tree)
{
    return ReadXmlBytesToTree(ReadXmlFile(path), path, tree);
}

bool LoadXmlToTree(const QString &path, CTree &tree)
{
    try {
        const QByteArray bytes = ReadXmlFile(path);
        WaitCursor cursor;
        return ReadXmlBytesToTree(bytes, path, tree);
    } catch (const CXmlError &e) {
        ShowMessageDlg(QStringLiteral("Файл проекта не распознан.\n") + QString::fromUtf8(e.what()), mtError, mbOK);
        return false;
    }
}
