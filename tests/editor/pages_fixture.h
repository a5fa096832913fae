#pragma once
#include <QString>
#include <QStringList>

#include <memory>

#include "model/config_tree.h"

// Small description and values trees built in code for the page tests.
namespace pages_fixture {

inline CTreeNode *AddDevice(CTree &tree, const QString &name, int address, int id = 14)
{
    auto d = std::make_shared<CDevice>();
    d->name = name;
    d->device_addr = address;
    d->device_id = id;
    return tree.addChild(nullptr, name, d);
}

inline CTreeNode *AddTable(CTree &tree, CTreeNode *device, const QString &name, const QString &type, int columns,
                           const QStringList &addresses = {}, int width = 40, int capacity = 0)
{
    auto t = std::make_shared<CTable>();
    t->name = name;
    t->type = type;
    t->columns = columns;
    t->column_width = width;
    t->tab_addr = addresses;
    t->max_key_count = capacity;
    return tree.addChild(device, name, t);
}

inline CTreeNode *AddParameter(CTree &tree, CTreeNode *table, const QString &name, const QString &type,
                               const QString &defaultValue, int min = 0, int max = 255, int formula = 0)
{
    auto p = std::make_shared<CParameter>();
    p->name = name;
    p->type = type;
    p->default_value = defaultValue;
    p->min_value = min;
    p->max_value = max;
    p->formula = formula;
    return tree.addChild(table, name, p);
}

inline CTreeNode *AddItem(CTree &tree, CTreeNode *parent, const QString &name, const QString &value,
                          int image = 3)
{
    auto i = std::make_shared<CItem>();
    i->name = name;
    i->value = value;
    CTreeNode *node = tree.addChild(parent, name, i);
    node->setImage(image);
    return node;
}

} // namespace pages_fixture
