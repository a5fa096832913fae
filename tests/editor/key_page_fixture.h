#pragma once
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "model/config_tree.h"

// Values trees of a key table as a read and an opened file give them.
namespace key_page_fixture {

// One key of a read: the value of parameter m, none where no answer came.
using ReadKey = std::vector<std::optional<QString>>;

// A read's key table: one node per requested key, one node per parameter under it, the decoded value
// as its only child.
inline CTreeNode *AddReadKeyTable(CTree &tree, const std::vector<ReadKey> &keys, CTreeNode *device = nullptr)
{
    auto table = std::make_shared<CTable>();
    table->type = QStringLiteral("key");
    table->name = QStringLiteral("Таблица ключей");
    CTreeNode *t = tree.addChild(device, table->name, table);
    for (const ReadKey &key : keys) {
        CTreeNode *k = tree.addChild(t, table->name, table);
        int m = 0;
        for (const std::optional<QString> &value : key) {
            auto p = std::make_shared<CParameter>();
            p->name = QStringLiteral("p") + QString::number(m++);
            CTreeNode *pn = tree.addChild(k, p->name, p);
            if (value) {
                auto item = std::make_shared<CItem>();
                item->kind = QStringLiteral("Item");
                item->value = *value;
                tree.addChild(pn, *value, item);
            }
        }
    }
    return t;
}

struct FileKey {
    int id = 0;
    QString name;
    int hosCount = 0;
    std::vector<bool> flags;
    int keyType = 1;
    QString code = QStringLiteral("0A0B0C0D0E0F");
    int vzSn = 0;
    int locLevel = 0;
};

// A stored file's key table: key records of kind "Key" with their loop-flag nodes.
inline CTreeNode *AddFileKeyTable(CTree &tree, const std::vector<FileKey> &keys, CTreeNode *device = nullptr)
{
    auto table = std::make_shared<CTable>();
    table->type = QStringLiteral("key");
    table->name = QStringLiteral("Таблица ключей");
    CTreeNode *t = tree.addChild(device, table->name, table);
    for (const FileKey &fk : keys) {
        auto k = std::make_shared<CKey>();
        k->kind = QStringLiteral("Key");
        k->id = fk.id;
        k->name = fk.name;
        k->master = fk.id == 1;
        k->hos_count = fk.hosCount;
        k->hos_chk = fk.flags;
        k->key_type = fk.keyType;
        k->key_code = fk.code;
        k->KeyVz_Sn = uint8_t(fk.vzSn);
        k->KeyLocLevel = uint8_t(fk.locLevel);
        CTreeNode *kn = tree.addChild(t, fk.name, k);
        for (bool f : fk.flags)
            tree.addChild(kn, f ? QStringLiteral("1") : QStringLiteral("0"), LoopFlag{f});
    }
    return t;
}

inline QStringList TopTexts(const CTree &tree)
{
    QStringList texts;
    for (const CTreeNode *n = tree.firstNode(); n; n = n->nextSibling())
        texts << n->text;
    return texts;
}

inline std::vector<int> TopIds(const CTree &tree)
{
    std::vector<int> ids;
    for (const CTreeNode *n = tree.firstNode(); n; n = n->nextSibling())
        ids.push_back(n->key() ? n->key()->id : -1);
    return ids;
}

} // namespace key_page_fixture
