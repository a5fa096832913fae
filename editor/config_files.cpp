#include "editor/config_files.h"

#include <cstdint>

#include "editor/components.h"
#include "editor/param_list_view.h"
#include "editor/param_page.h"
#include "link/text_file_save.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "model/tree_search.h"
#include "platform/whole_file.h"

QString ModelNotInCatalogueText(const QString &name, const QString &version)
{
    return QStringLiteral("Прибор '") + name + QStringLiteral("' версии '") + version +
           QStringLiteral("' не найден в каталоге приборов devices.xml");
}

namespace {
bool XmlHoldsChar(char16_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xFFFE);
}
} // namespace

QString EscapeXmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[++i];
            continue;
        }
        if (QChar::isSurrogate(c) || !XmlHoldsChar(c))
            continue; // no file could carry it
        switch (c) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        // A reader turns raw line breaks and tabs inside a value into blanks.
        case u'\r': out += QStringLiteral("&#13;"); break;
        case u'\n': out += QStringLiteral("&#10;"); break;
        case u'\t': out += QStringLiteral("&#9;"); break;
        default: out += QChar(c);
        }
    }
    return out;
}

int HexTextToInt(const QString &text)
{
    uint32_t result = 0;
    uint32_t weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0 && weight != 0; --i) {
        const char16_t c = text[i].unicode();
        uint32_t digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        result += digit * weight;
        weight *= 16; // 0 after eight digits: the rest lies beyond 32 bits
    }
    return int(result);
}

namespace {
QString Attr(const char *name, const QString &value)
{
    return QLatin1String(name) + QStringLiteral("=\"") + EscapeXmlText(value) + u'"';
}
QString Attr(const char *name, long long value) { return Attr(name, QString::number(value)); }
// The few attributes the format writes with a blank on each side of "=".
QString SpacedAttr(const char *name, const QString &value)
{
    return QLatin1String(name) + QStringLiteral(" = \"") + EscapeXmlText(value) + u'"';
}
QString SpacedAttr(const char *name, long long value) { return SpacedAttr(name, QString::number(value)); }

QString Tag(const char *element, const QStringList &attributes)
{
    return u'<' + QLatin1String(element) + u' ' + attributes.join(u' ') + u'>';
}
QString EndTag(const char *element) { return QStringLiteral("</") + QLatin1String(element) + u'>'; }

int Flag(const std::vector<bool> &flags, int index)
{
    return index < int(flags.size()) && flags[size_t(index)] ? 1 : 0;
}

void AddFlagLines(QStringList &lines, const char *element, const std::vector<bool> &flags, int count)
{
    for (int j = 1; j <= count; ++j) {
        lines << Tag(element, {Attr("id", j), Attr("chk", Flag(flags, j - 1))});
        lines << EndTag(element);
    }
}

void AddTableLines(QStringList &lines, const TConfigFileTable &t)
{
    lines << Tag("Table", {SpacedAttr("type", t.Type), Attr("name", t.Name), Attr("columns", t.Columns),
                           Attr("column_width", t.ColumnWidth), Attr("obj_id", t.ObjId)});
    if (t.Type == QLatin1String("table")) {
        for (const TConfigFileParameter &p : t.Parameters) {
            lines << Tag("Parameter", {Attr("name", p.Name), Attr("type", p.Type), Attr("address", p.Address),
                                       Attr("default_value", p.DefaultValue)});
            for (int c = 0; c < p.Values.size(); ++c) {
                lines << Tag("ItemValue", {Attr("id", c + 1), Attr("name", QString()), Attr("value", p.Values[c])});
                lines << EndTag("ItemValue");
            }
            lines << EndTag("Parameter");
        }
    } else if (t.Type == QLatin1String("key")) {
        for (const CKey &k : t.Keys) {
            lines << Tag("Key", {Attr("id", k.id), Attr("name", k.name), SpacedAttr("key_type", k.key_type),
                                 SpacedAttr("key_code", k.key_code), Attr("master", k.master ? 1 : 0),
                                 Attr("hos_count", k.hos_count), Attr("KeyVz_Sn", k.KeyVz_Sn),
                                 Attr("KeyLocLevel", k.KeyLocLevel)});
            AddFlagLines(lines, "Key_hos", k.hos_chk, 2 * UsableCount(k.hos_count, kMaxLoops));
            lines << EndTag("Key");
        }
    } else if (t.Type == QLatin1String("pass")) {
        for (const CPass &p : t.Passes) {
            lines << Tag("Pass", {Attr("id", p.id), Attr("name", p.name), SpacedAttr("password", p.password),
                                  Attr("administrator", p.administrator ? 1 : 0), Attr("disabled", p.disabled ? 1 : 0),
                                  Attr("access", p.access ? 1 : 0), Attr("hos_key", p.hos_key ? 1 : 0),
                                  Attr("hos_count", p.hos_count)});
            AddFlagLines(lines, "Pass_hos", p.hos_chk, UsableCount(p.hos_count, kMaxLoops));
            lines << EndTag("Pass");
        }
    }
    lines << EndTag("Table");
}
} // namespace

QStringList ConfigFileLines(const TConfigFileDevice &device)
{
    QStringList lines;
    lines << QStringLiteral("<?xml version=\"1.0\"?>") << QStringLiteral("<Root>") << QStringLiteral("<DeviceList>");
    lines << Tag("Device", {Attr("name", device.Name), Attr("version", device.Version),
                            Attr("device_id", device.DeviceId), Attr("device_addr", device.DeviceAddr)});
    for (const TConfigFileTable &t : device.Tables)
        AddTableLines(lines, t);
    lines << EndTag("Device") << EndTag("DeviceList") << EndTag("Root");
    return lines;
}

QByteArray ConfigFileBytes(const TConfigFileDevice &device)
{
    QString text;
    for (const QString &line : ConfigFileLines(device)) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

void WriteConfigFile(const QString &path, const TConfigFileDevice &device)
{
    WriteWholeFile(path, ConfigFileBytes(device));
}

QString CellRawValue(const QString &cellText, const CParameter &parameter)
{
    const std::optional<int> shown = CellNumber(cellText);
    if (!shown)
        return cellText;
    return QString::number(int64_t(WrapToRange(*shown, parameter)) - parameter.formula);
}

TConfigFileDevice ConfigFileFromPages(const CTreeNode &device, const QList<int> &pageIds, const QObject *pageControl)
{
    TConfigFileDevice out;
    if (const CDevice *d = device.device()) {
        out.Name = d->name;
        out.Version = d->version;
        out.DeviceId = d->device_id;
        out.DeviceAddr = d->device_addr;
    }
    int i = 0;
    for (const CTreeNode *tableNode = device.firstChild(); tableNode && i < pageIds.size();
         tableNode = tableNode->nextSibling(), ++i) {
        static const CTable noTable;
        const CTable &table = tableNode->table() ? *tableNode->table() : noTable;
        const QString id = QString::number(pageIds[i]);
        TConfigFileTable t;
        t.Type = table.type;
        t.Name = table.name;
        t.Columns = table.columns;
        t.ColumnWidth = table.column_width;
        t.ObjId = pageIds[i];
        if (t.Type == QLatin1String("table")) {
            if (const auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + id, pageControl, 3)) {
                const CParamPage &page = list->Page();
                const int columns = UsableCount(table.columns, kMaxColumns);
                int r = 0;
                for (const CTreeNode *p = tableNode->firstChild(); p; p = p->nextSibling(), ++r) {
                    static const CParameter noParameter;
                    const CParameter &parameter = p->parameter() ? *p->parameter() : noParameter;
                    TConfigFileParameter fp{parameter.name, parameter.type, parameter.address,
                                            parameter.default_value, {}, {}};
                    for (int c = 0; c < columns; ++c) {
                        fp.Values << CellRawValue(page.CellText(r, c), parameter);
                        fp.Marked.push_back(page.CellImage(r, c) == DefaultMarker);
                    }
                    t.Parameters.push_back(std::move(fp));
                }
            }
        } else if (t.Type == QLatin1String("key")) {
            if (const auto *tree = FindComponent<CTreeView>(QStringLiteral("tvKey") + id, pageControl, 3))
                tree->items().forEach([&](const CTreeNode *n) {
                    if (const CKey *k = n->key())
                        t.Keys.push_back(*k);
                });
        } else if (t.Type == QLatin1String("pass")) {
            if (const auto *tree = FindComponent<CTreeView>(QStringLiteral("tvPass") + id, pageControl, 3))
                tree->items().forEach([&](const CTreeNode *n) {
                    if (const CPass *p = n->pass())
                        t.Passes.push_back(*p);
                });
        }
        out.Tables.push_back(std::move(t));
    }
    return out;
}

namespace {
std::optional<QString> StandardOpenDialog(QWidget *parent) { return ShowFileDialog(parent, false, ConfigFileFilter); }

std::optional<QString> StandardSaveDialog(QWidget *parent)
{
    // The save asks about an existing file itself, after forcing the extension.
    return ShowFileDialog(parent, true, ConfigFileFilter);
}

TConfigFileDialogs &Dialogs()
{
    static TConfigFileDialogs dialogs{StandardOpenDialog, StandardSaveDialog};
    return dialogs;
}
} // namespace

void SetConfigFileDialogs(TConfigFileDialogs dialogs)
{
    Dialogs().Open = dialogs.Open ? std::move(dialogs.Open) : StandardOpenDialog;
    Dialogs().Save = dialogs.Save ? std::move(dialogs.Save) : StandardSaveDialog;
}

std::optional<QString> ShowOpenConfigDialog(QWidget *parent) { return Dialogs().Open(parent); }
std::optional<QString> ShowSaveConfigDialog(QWidget *parent) { return Dialogs().Save(parent); }
