#pragma once
// A tree as one line per node: its depth, text, pictures and every member of its object. Two trees
// are the same when their lines are.
#include <QString>
#include <QStringList>

#include <vector>

#include "model/config_tree.h"

inline QString DumpFlags(const std::vector<bool> &flags)
{
    QString out;
    for (bool f : flags)
        out += f ? u'1' : u'0';
    return out;
}

inline QStringList TreeDump(const CTree &tree)
{
    QStringList lines;
    tree.forEach([&](const CTreeNode *n) {
        const auto num = [](long long v) { return QString::number(v); };
        QStringList f{QString(n->level(), u' ') + n->text, num(n->imageIndex), num(n->selectedIndex)};
        if (const CDevice *d = n->device())
            f << d->kind << d->name << d->version << num(d->device_id) << num(d->device_addr);
        else if (const CTable *t = n->table())
            f << t->kind << t->type << num(t->can_type) << t->name << num(t->columns) << num(t->column_width)
              << num(t->can_data_size) << num(t->max_key_count) << t->tab_addr.join(u',');
        else if (const CParameter *p = n->parameter())
            f << p->kind << p->name << p->type << num(p->can_id_razdel) << p->address << num(p->address_bit)
              << p->default_value << num(p->min_value) << num(p->max_value) << num(p->formula);
        else if (const CItem *i = n->item())
            f << i->kind << i->name << i->value;
        else if (const CKey *k = n->key())
            f << k->kind << num(k->id) << k->name << num(k->key_type) << k->key_code << num(k->master)
              << num(k->hos_count) << DumpFlags(k->hos_chk) << num(k->KeyVz_Sn) << num(k->KeyLocLevel);
        else if (const CPass *p = n->pass())
            f << p->kind << num(p->id) << p->name << p->password << num(p->administrator) << num(p->disabled)
              << num(p->access) << num(p->hos_key) << num(p->hos_count) << DumpFlags(p->hos_chk);
        else if (n->isLoopFlag())
            f << QStringLiteral("flag") << num(n->loopFlag());
        lines << f.join(u'|');
    });
    return lines;
}
