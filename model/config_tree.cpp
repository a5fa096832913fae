#include "model/config_tree.h"

CTreeNode::~CTreeNode()
{
    // Children that someone still holds outlive us: they become detached.
    for (auto &c : children_) {
        c->parent_ = nullptr;
        c->index_ = -1;
    }
}

CTreeNode *CTreeNode::parent() const
{
    return parent_ && !parent_->rootOf_ ? parent_ : nullptr;
}

CTreeNode *CTreeNode::child(int index) const
{
    return index >= 0 && index < childCount() ? children_[size_t(index)].get() : nullptr;
}

CTreeNode *CTreeNode::nextSibling() const
{
    return parent_ ? parent_->child(index_ + 1) : nullptr;
}

CTreeNode *CTreeNode::prevSibling() const
{
    return parent_ ? parent_->child(index_ - 1) : nullptr;
}

int CTreeNode::level() const
{
    int n = 0;
    for (const CTreeNode *p = parent(); p; p = p->parent())
        ++n;
    return n;
}

CTree *CTreeNode::tree() const
{
    const CTreeNode *n = this;
    while (n->parent_)
        n = n->parent_;
    return n->rootOf_;
}

CTreeNode *CTreeNode::addChild(const QString &text, NodeData data)
{
    return insertChild(childCount(), text, std::move(data));
}

CTreeNode *CTreeNode::insertChild(int position, const QString &text, NodeData data)
{
    if (position < 0 || position > childCount())
        position = childCount();
    CTree *t = tree();
    CTreeObserver *o = t ? t->notifying() : nullptr;
    if (o)
        o->nodesAboutToBeInserted(this, position, position);
    auto node = make();
    node->text = text;
    node->data = std::move(data);
    node->parent_ = this;
    children_.insert(children_.begin() + position, node);
    for (int i = position; i < childCount(); ++i)
        children_[size_t(i)]->index_ = i;
    if (o)
        o->nodesInserted();
    return node.get();
}

std::shared_ptr<CTreeNode> CTreeNode::takeChild(int position)
{
    if (position < 0 || position >= childCount())
        return nullptr;
    CTree *t = tree();
    CTreeObserver *o = t ? t->notifying() : nullptr;
    if (o)
        o->nodesAboutToBeRemoved(this, position, position);
    auto node = children_[size_t(position)];
    children_.erase(children_.begin() + position);
    for (int i = position; i < childCount(); ++i)
        children_[size_t(i)]->index_ = i;
    node->parent_ = nullptr;
    node->index_ = -1;
    if (o)
        o->nodesRemoved();
    return node;
}

void CTreeNode::clearChildren()
{
    if (children_.empty())
        return;
    CTree *t = tree();
    CTreeObserver *o = t ? t->notifying() : nullptr;
    if (o)
        o->nodesAboutToBeRemoved(this, 0, childCount() - 1);
    auto old = std::move(children_);
    children_.clear();
    for (auto &c : old) {
        c->parent_ = nullptr;
        c->index_ = -1;
    }
    old.clear();
    if (o)
        o->nodesRemoved();
}

CTree::CTree() : root_(CTreeNode::make())
{
    root_->rootOf_ = this;
}

CTree::~CTree()
{
    root_->rootOf_ = nullptr;
    observer_ = nullptr;
}

CTreeNode *CTree::add(CTreeNode *sibling, const QString &text, NodeData data)
{
    CTreeNode *level = sibling && sibling->parent_ ? sibling->parent_ : root_.get();
    return level->addChild(text, std::move(data));
}

CTreeNode *CTree::addChild(CTreeNode *parent, const QString &text, NodeData data)
{
    return (parent ? parent : root_.get())->addChild(text, std::move(data));
}

void CTree::remove(CTreeNode *node)
{
    if (node && node->tree() == this && node->parent_)
        node->parent_->takeChild(node->index_);
}

void CTree::clear()
{
    root_->clearChildren();
}

void CTree::moveNodesFrom(CTree &other)
{
    if (&other == this || other.isEmpty())
        return;
    CTreeObserver *from = other.notifying();
    if (from)
        from->nodesAboutToBeRemoved(other.root_.get(), 0, other.count() - 1);
    auto moved = std::move(other.root_->children_);
    other.root_->children_.clear();
    if (from)
        from->nodesRemoved();
    CTreeObserver *o = notifying();
    if (o)
        o->nodesAboutToBeInserted(root_.get(), count(), count() + int(moved.size()) - 1);
    for (auto &node : moved) {
        node->parent_ = root_.get();
        node->index_ = count();
        root_->children_.push_back(std::move(node));
    }
    if (o)
        o->nodesInserted();
}

void CTree::beginUpdate()
{
    if (updating_++ == 0 && observer_)
        observer_->treeAboutToBeReset();
}

void CTree::endUpdate()
{
    if (updating_ > 0 && --updating_ == 0 && observer_)
        observer_->treeReset();
}

void CTree::changed(CTreeNode *node)
{
    if (CTreeObserver *o = notifying(); o && node && node->tree() == this)
        o->nodeChanged(node);
}

int CTree::totalCount() const
{
    int n = 0;
    forEach([&n](const CTreeNode *) { ++n; });
    return n;
}
