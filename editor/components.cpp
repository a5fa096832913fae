#include "editor/components.h"

#include <vector>

#include <QVariant>

#include "model/config_loader.h"

namespace {
// The list of an owner's components, kept as a hidden child so it dies with the owner.
class CComponentList : public QObject {
public:
    explicit CComponentList(QObject *owner) : QObject(owner) { setObjectName(QStringLiteral("__components")); }
    std::vector<QPointer<QObject>> Items;
};

CComponentList *ListOf(const QObject *owner, bool create)
{
    if (!owner)
        return nullptr;
    for (QObject *c : owner->children())
        if (auto *list = dynamic_cast<CComponentList *>(c))
            return list;
    return create ? new CComponentList(const_cast<QObject *>(owner)) : nullptr;
}

const char *const kOwnerProperty = "__componentOwner";
} // namespace

void AddComponent(QObject *owner, QObject *component)
{
    if (!owner || !component)
        return;
    if (auto *old = component->property(kOwnerProperty).value<QObject *>())
        RemoveComponent(old, component);
    ListOf(owner, true)->Items.emplace_back(component);
    component->setProperty(kOwnerProperty, QVariant::fromValue<QObject *>(owner));
}

void RemoveComponent(QObject *owner, QObject *component)
{
    CComponentList *list = ListOf(owner, false);
    if (!list)
        return;
    std::erase_if(list->Items, [component](const QPointer<QObject> &p) { return p.isNull() || p == component; });
}

QList<QObject *> Components(const QObject *owner)
{
    QList<QObject *> result;
    if (CComponentList *list = ListOf(owner, false))
        for (const QPointer<QObject> &p : list->Items)
            if (!p.isNull())
                result.append(p.data());
    return result;
}

QObject *FindComponentByName(const QString &name, const QObject *root, int depth)
{
    if (!root || depth < 1)
        return nullptr;
    for (QObject *c : Components(root)) {
        if (c->objectName() == name)
            return c;
        if (depth > 1)
            if (QObject *found = FindComponentByName(name, c, depth - 1))
                return found;
    }
    return nullptr;
}

int PageIdFromName(const QString &name, const QString &prefix)
{
    if (!name.startsWith(prefix))
        return -1;
    QString rest = name.mid(prefix.size());
    const qsizetype underscore = rest.indexOf(u'_');
    if (underscore >= 0)
        rest.truncate(underscore);
    return ParseDecimalInt(rest).value_or(-1);
}

QString NameTail(const QString &name)
{
    const qsizetype underscore = name.indexOf(u'_');
    return underscore < 0 ? QString() : name.mid(underscore + 1);
}

QString SwapNamePrefix(const QString &name, const QString &oldPrefix, const QString &newPrefix)
{
    if (!name.startsWith(oldPrefix))
        return QString();
    return newPrefix + name.mid(oldPrefix.size());
}

int PageTag(const QObject *sheet) { return sheet ? sheet->property("Tag").toInt() : 0; }
void SetPageTag(QObject *sheet, int tag)
{
    if (sheet)
        sheet->setProperty("Tag", tag);
}
