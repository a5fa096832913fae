#pragma once
#include <QString>

#include "model/config_form.h"

// The catalogue's first model of that name among the description window's top-level nodes, or null.
inline CTreeNode *CatalogueModel(const QString &name)
{
    for (CTreeNode *n = ConfigForm->tvConfig->items().firstNode(); n; n = n->nextSibling())
        if (n->text == name)
            return n;
    return nullptr;
}
