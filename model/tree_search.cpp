#include "model/tree_search.h"

#include <cstdint>

CTreeNode *FindDeviceById(CTreeNode *node, int id, int address)
{
    for (; node; node = node->nextSibling()) {
        CDevice *d = node->device();
        if (d && d->device_id == id) {
            if (address != -1)
                d->device_addr = address;
            return node;
        }
    }
    return nullptr;
}

int WrapToRange(int value, const CParameter &parameter)
{
    if (parameter.type != QStringLiteral("числовой") && parameter.type != QLatin1String("sys"))
        return value;
    const int64_t v = value;
    const int64_t min = parameter.min_value;
    const int64_t max = parameter.max_value;
    int64_t r = v;
    if (v > max)
        r = v - max + min - 1;
    else if (v < min)
        r = max - min + v + 1;
    return int32_t(uint32_t(uint64_t(r)));
}

int WrapToRange(int value, const CTreeNode *node)
{
    const CParameter *p = node ? node->parameter() : nullptr;
    return p ? WrapToRange(value, *p) : value;
}

CTreeNode *FindNodeByText(CTreeNode *node, const QString &text)
{
    if (!node || text.isEmpty())
        return nullptr;
    for (; node; node = node->nextSibling()) {
        if (node->text == text)
            return node;
        if (CTreeNode *found = FindNodeByText(node->firstChild(), text))
            return found;
    }
    return nullptr;
}
