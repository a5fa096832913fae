#include "editor/password_page_state.h"

#include <algorithm>

#include "model/config_tree.h"
#include "model/model_classes.h"

int PassLoopCount(int loopCount) { return std::clamp(loopCount, 0, kMaxPassLoops); }

int LoopGroupWidth(int loopCount, int columnWidth)
{
    const bool wide = loopCount > 16;
    return (wide ? 420 : 220) + (wide ? 8 : 4) * std::max(columnWidth - kLoopBoxWidth, 0);
}

LoopBoxPlace LoopBoxPosition(int k, int columnWidth)
{
    const int i = std::max(k, 1) - 1;
    return {8 + columnWidth * (i / 4), 20 + 24 * (i % 4)};
}

namespace {
std::shared_ptr<CPass> MakeUser(int id, const QString &name, int loops, bool flags)
{
    auto p = std::make_shared<CPass>();
    p->id = id;
    p->name = name;
    p->hos_count = std::max(loops, 0);
    p->hos_chk.assign(size_t(p->hos_count), flags);
    return p;
}

void AddUser(CTree &tree, std::shared_ptr<CPass> user)
{
    const QString text = user->name;
    tree.addChild(nullptr, text, std::move(user))->setImage(kPassImage);
}
} // namespace

std::shared_ptr<CPass> MakeAdministrator(int loops)
{
    auto p = MakeUser(1, kAdministratorName, loops, true);
    p->administrator = true;
    p->password = kDefaultAdminPassword;
    p->disabled = false;
    p->access = true;
    p->hos_key = true;
    return p;
}

std::shared_ptr<CPass> MakeOperator(int number, int loops)
{
    auto p = MakeUser(number + 1, QStringLiteral("Оператор ") + QString::number(number), loops, false);
    p->administrator = false;
    p->disabled = false;
    p->access = false;
    p->hos_key = false;
    return p;
}

std::shared_ptr<CPass> CopyUser(const CPass &stored)
{
    auto p = std::make_shared<CPass>();
    p->id = stored.id;
    p->name = stored.name;
    p->password = stored.password;
    p->administrator = stored.administrator;
    p->disabled = stored.disabled;
    p->access = stored.access;
    p->hos_key = stored.hos_key;
    p->hos_count = stored.hos_count;
    // A file may hold fewer loop flags than its hos_count says, or more: exactly hos_count are kept.
    const size_t count = size_t(std::max(stored.hos_count, 0));
    p->hos_chk.assign(count, false);
    std::copy_n(stored.hos_chk.begin(), std::min(count, stored.hos_chk.size()), p->hos_chk.begin());
    return p;
}

void AddFreshUsers(CTree &tree, int passCount, int loops)
{
    AddUser(tree, MakeAdministrator(loops));
    const int last = std::min(passCount, kMaxKeys);
    for (int j = 1; j <= last - 1; ++j)
        AddUser(tree, MakeOperator(j, loops));
}

void AddStoredUsers(CTree &tree, const CTreeNode &valuesTable, int loops)
{
    for (const CTreeNode *c = valuesTable.firstChild(); c; c = c->nextSibling()) {
        const CPass *stored = c->pass();
        if (!stored || stored->hos_count != loops)
            break;
        AddUser(tree, CopyUser(*stored));
    }
}

bool HoldsStoredUsers(const CTreeNode &valuesTable)
{
    if (const CTreeNode *device = valuesTable.parent())
        if (const CDevice *d = device->device(); d && device->text != d->name)
            return false;
    for (const CTreeNode *c = valuesTable.firstChild(); c; c = c->nextSibling())
        if (c->parameter())
            return false;
    return true;
}

void FillUsers(CTree &tree, int passCount, int loops, bool withValues, const CTreeNode *valuesTable)
{
    tree.beginUpdate();
    if (withValues && valuesTable && HoldsStoredUsers(*valuesTable))
        AddStoredUsers(tree, *valuesTable, loops);
    else
        AddFreshUsers(tree, passCount, loops);
    tree.endUpdate();
}

PassPanel PanelFor(const CPass *user)
{
    if (!user)
        return PassPanel::None;
    return user->id == 1 ? PassPanel::Administrator : PassPanel::Operator;
}

bool UserLoopFlag(const CPass &user, int k)
{
    return k >= 1 && size_t(k) <= user.hos_chk.size() && user.hos_chk[size_t(k - 1)];
}

bool SetUserLoopFlag(CPass &user, int k, bool value)
{
    if (k < 1 || size_t(k) > user.hos_chk.size())
        return false;
    user.hos_chk[size_t(k - 1)] = value;
    return true;
}
