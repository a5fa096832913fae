#include "model/config_loader.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>

#include <libxml/tree.h>

#include "app/message_dlg.h"

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

[[noreturn]] void ThrowNotANumber(const CXmlNode &element, const QString &name, const QString &text)
{
    QString where = QStringLiteral("атрибут %1 элемента %2, строка %3").arg(name, element.nodeName()).arg(element.line());
    if (element.raw() && element.raw()->doc && element.raw()->doc->URL)
        where += QStringLiteral(", файл ") +
                 QString::fromUtf8(reinterpret_cast<const char *>(element.raw()->doc->URL));
    throw CConvertError(QStringLiteral("'%1' не является целым числом (%2).").arg(text, where).toStdString());
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

// What one element adds; the node its children hang under is returned.
CTreeNode *ReadElement(const CXmlNode &e, CTreeNode *parent, CTree &tree)
{
    if (!e.isElement())
        return parent;
    const QString tag = e.nodeName();

    if (tag == QLatin1String("Device")) {
        auto d = std::make_shared<CDevice>();
        d->kind = tag;
        d->name = XmlText(e, QStringLiteral("name"));
        d->version = XmlText(e, QStringLiteral("version"));
        d->device_id = XmlStrictInt(e, QStringLiteral("device_id"), 0);
        d->device_addr = XmlStrictInt(e, QStringLiteral("device_addr"), 0);
        const QString text = d->name;
        CTreeNode *n = tree.add(parent, text, std::move(d));
        n->setImage(imgDevice);
        return n;
    }
    if (tag == QLatin1String("Table")) {
        auto t = std::make_shared<CTable>();
        t->kind = tag;
        t->name = XmlText(e, QStringLiteral("name"));
        t->type = XmlText(e, QStringLiteral("type"), QStringLiteral("table"));
        t->can_type = XmlStrictInt(e, QStringLiteral("can_type"), 1);
        t->columns = XmlLenientInt(e, QStringLiteral("columns"), 1);
        t->column_width = XmlLenientInt(e, QStringLiteral("column_width"), 50);
        t->can_data_size = XmlLenientInt(e, QStringLiteral("can_data_size"), 0);
        t->max_key_count = XmlLenientInt(e, QStringLiteral("max_key_count"), 1);
        const QString text = t->name;
        const int image = TableImage(t->type);
        CTreeNode *n = tree.addChild(parent, text, std::move(t));
        if (image >= 0)
            n->setImage(image);
        return n;
    }
    if (tag == QLatin1String("Parameter")) {
        auto p = std::make_shared<CParameter>();
        p->kind = tag;
        p->name = XmlText(e, QStringLiteral("name"));
        p->type = XmlText(e, QStringLiteral("type"));
        p->can_id_razdel = XmlLenientInt(e, QStringLiteral("can_id_razdel"), 0);
        p->address = XmlText(e, QStringLiteral("address"));
        p->address_bit = XmlLenientInt(e, QStringLiteral("address_bit"), 0);
        p->default_value = XmlText(e, QStringLiteral("default_value"));
        p->min_value = XmlStrictInt(e, QStringLiteral("min_value"), 0);
        p->max_value = XmlStrictInt(e, QStringLiteral("max_value"), 0);
        p->formula = XmlStrictInt(e, QStringLiteral("formula"), 0);
        const QString text = p->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(p));
        n->setImage(imgParameter);
        return n;
    }
    if (tag == QLatin1String("Item") || tag == QLatin1String("ItemValue")) {
        auto i = std::make_shared<CItem>();
        i->kind = tag;
        i->name = XmlText(e, QStringLiteral("name"));
        i->value = XmlText(e, QStringLiteral("value"));
        const QString text = i->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(i));
        n->setImage(imgItem);
        return n;
    }
    if (tag == QLatin1String("Key")) {
        auto k = std::make_shared<CKey>();
        k->kind = tag;
        k->id = XmlStrictInt(e, QStringLiteral("id"), 0);
        k->name = XmlText(e, QStringLiteral("name"));
        k->key_type = XmlStrictInt(e, QStringLiteral("key_type"), 0);
        k->key_code = XmlText(e, QStringLiteral("key_code"));
        k->master = XmlFlag(e, QStringLiteral("master"), false);
        k->hos_count = XmlStrictInt(e, QStringLiteral("hos_count"), 0);
        k->KeyVz_Sn = XmlByte(e, QStringLiteral("KeyVz_Sn"), 0);
        k->KeyLocLevel = XmlByte(e, QStringLiteral("KeyLocLevel"), 0);
        const QString text = k->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(k));
        n->setImage(imgKey);
        return n;
    }
    if (tag == QLatin1String("Pass")) {
        auto p = std::make_shared<CPass>();
        p->kind = tag;
        p->id = XmlStrictInt(e, QStringLiteral("id"), 0);
        p->name = XmlText(e, QStringLiteral("name"));
        p->password = XmlText(e, QStringLiteral("password"));
        p->administrator = XmlFlag(e, QStringLiteral("administrator"), false);
        p->disabled = XmlFlag(e, QStringLiteral("disabled"), false);
        p->access = XmlFlag(e, QStringLiteral("access"), false);
        p->hos_key = XmlFlag(e, QStringLiteral("hos_key"), false);
        p->hos_count = XmlStrictInt(e, QStringLiteral("hos_count"), 0);
        const QString text = p->name;
        CTreeNode *n = tree.addChild(parent, text, std::move(p));
        n->setImage(imgPass);
        return n;
    }
    const bool keyHos = tag == QLatin1String("Key_hos");
    if (keyHos || tag == QLatin1String("Pass_hos")) {
        // A loop flag belongs to the key or password it stands under; anywhere else it is passed over.
        std::vector<bool> *flags = nullptr;
        if (CKey *k = keyHos && parent ? parent->key() : nullptr)
            flags = &k->hos_chk;
        else if (CPass *p = !keyHos && parent ? parent->pass() : nullptr)
            flags = &p->hos_chk;
        if (!flags)
            return parent;
        const int id = XmlStrictInt(e, QStringLiteral("id"), 0);
        const bool chk = XmlFlag(e, QStringLiteral("chk"), false);
        flags->push_back(chk);
        CTreeNode *n = tree.addChild(parent, LoopNodeText(id, chk), LoopFlag{chk});
        n->setImage(imgLoopFlag);
        return n;
    }
    if (tag == QLatin1String("TabAddr")) {
        if (CTable *t = parent ? parent->table() : nullptr)
            t->tab_addr.append(XmlText(e, QStringLiteral("value"), QStringLiteral("00")));
        return parent;
    }
    return parent;
}

} // namespace

std::optional<int> ParseDecimalInt(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    if (i == n)
        return std::nullopt;
    int64_t v = 0;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
        if (v > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return std::nullopt;
    return int(v);
}

QString XmlText(const CXmlNode &element, const QString &name, const QString &defaultValue)
{
    return element.hasAttribute(name) ? element.attribute(name) : defaultValue;
}

int XmlLenientInt(const CXmlNode &element, const QString &name, int defaultValue)
{
    if (!element.hasAttribute(name))
        return defaultValue;
    return ParseDecimalInt(element.attribute(name)).value_or(defaultValue);
}

int XmlStrictInt(const CXmlNode &element, const QString &name, int defaultValue)
{
    if (!element.hasAttribute(name))
        return defaultValue;
    const QString text = element.attribute(name);
    if (auto v = ParseDecimalInt(text))
        return *v;
    ThrowNotANumber(element, name, text);
}

bool XmlFlag(const CXmlNode &element, const QString &name, bool defaultValue)
{
    if (!element.hasAttribute(name))
        return defaultValue;
    return XmlStrictInt(element, name, 0) != 0;
}

uint8_t XmlByte(const CXmlNode &element, const QString &name, uint8_t defaultValue)
{
    if (!element.hasAttribute(name))
        return defaultValue;
    return uint8_t(uint32_t(XmlStrictInt(element, name, 0)) & 0xFFu);
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

bool ReadXmlToTree(const QString &path, CTree &tree)
{
    CXmlDocument doc;
    doc.load(path);
    return ReadXmlToTree(doc, tree);
}

bool LoadXmlToTree(const QString &path, CTree &tree)
{
    CXmlDocument doc;
    try {
        doc.load(path);
    } catch (const CXmlError &e) {
        ShowMessageDlg(QStringLiteral("Файл проекта не распознан.\n") + QString::fromUtf8(e.what()), mtError, mbOK);
        return false;
    }
    if (!doc.documentElement().hasChildNodes())
        return false;
    WaitCursor cursor;
    return ReadXmlToTree(doc, tree);
}
