#pragma once
#include <QString>

#include <memory>
#include <variant>
#include <vector>

#include "model/model_classes.h"

// A headless tree of description nodes, the data behind the description window's tree views and
// behind every tree the editor builds without showing it.
//
// Ownership: a node owns its children and its data object through shared pointers. Whoever must
// keep a node beyond the next reload of its tree (the editor's current device) holds
// node->shared() instead of a raw pointer: clearing the tree then detaches the node, which keeps its
// whole subtree and objects but has no parent and no siblings any more.

// The loop flag that a loop-flag node carries instead of an object.
// Image of a value that a read took from the default because no answer came for it.
constexpr int DefaultMarker = -555;

struct LoopFlag {
    bool value = false;
};

using NodeData = std::variant<std::monostate, std::shared_ptr<CDevice>, std::shared_ptr<CTable>,
                              std::shared_ptr<CParameter>, std::shared_ptr<CItem>,
                              std::shared_ptr<CKey>, std::shared_ptr<CPass>, LoopFlag>;

class CTree;

class CTreeNode : public std::enable_shared_from_this<CTreeNode> {
    struct Key {};

public:
    explicit CTreeNode(Key) {}
    ~CTreeNode();
    CTreeNode(const CTreeNode &) = delete;
    CTreeNode &operator=(const CTreeNode &) = delete;

    QString text;
    int imageIndex = 0;    // a node shows picture 0 until one is set
    int selectedIndex = 0;
    NodeData data;

    // Sets the image and the selected image together, as every loader does.
    void setImage(int index) { imageIndex = selectedIndex = index; }

    // Structure. parent() is null for a top-level node and for a detached one.
    CTreeNode *parent() const;
    int childCount() const { return int(children_.size()); }
    bool hasChildren() const { return !children_.empty(); }
    CTreeNode *child(int index) const;  // null when out of range
    CTreeNode *firstChild() const { return child(0); }
    CTreeNode *lastChild() const { return child(childCount() - 1); }
    CTreeNode *nextSibling() const;     // null for the last and for a detached node
    CTreeNode *prevSibling() const;
    int index() const { return index_; } // position among its siblings, -1 when detached
    int level() const;                   // 0 for a top-level node
    CTree *tree() const;                 // the tree it hangs in, null when detached

    // Adds a node as the last child (or at position), with the tree's views told.
    CTreeNode *addChild(const QString &text, NodeData data = {});
    CTreeNode *insertChild(int position, const QString &text, NodeData data = {});
    // Detaches the child at position and returns it; it lives on while someone holds it.
    std::shared_ptr<CTreeNode> takeChild(int position);
    void clearChildren();

    std::shared_ptr<CTreeNode> shared() { return shared_from_this(); }

    // The data object of the given class, or null when the node carries another one or none.
    template <class T>
    T *as() const
    {
        auto *p = std::get_if<std::shared_ptr<T>>(&data);
        return p ? p->get() : nullptr;
    }
    template <class T>
    std::shared_ptr<T> sharedAs() const
    {
        auto *p = std::get_if<std::shared_ptr<T>>(&data);
        return p ? *p : nullptr;
    }
    CDevice *device() const { return as<CDevice>(); }
    CTable *table() const { return as<CTable>(); }
    CParameter *parameter() const { return as<CParameter>(); }
    CItem *item() const { return as<CItem>(); }
    CKey *key() const { return as<CKey>(); }
    CPass *pass() const { return as<CPass>(); }
    bool isLoopFlag() const { return std::holds_alternative<LoopFlag>(data); }
    bool loopFlag() const { return isLoopFlag() && std::get<LoopFlag>(data).value; }

private:
    friend class CTree;
    static std::shared_ptr<CTreeNode> make() { return std::make_shared<CTreeNode>(Key{}); }
    void detach(CTreeNode *child);

    CTreeNode *parent_ = nullptr; // the owner; the hidden root for top-level nodes
    CTree *rootOf_ = nullptr;     // set only on a tree's hidden root
    int index_ = -1;
    std::vector<std::shared_ptr<CTreeNode>> children_;
};

// What a view of a tree needs to hear. The tree has at most one observer.
class CTreeObserver {
public:
    virtual void nodesAboutToBeInserted(CTreeNode *parent, int first, int last) = 0;
    virtual void nodesInserted() = 0;
    virtual void nodesAboutToBeRemoved(CTreeNode *parent, int first, int last) = 0;
    virtual void nodesRemoved() = 0;
    virtual void treeAboutToBeReset() = 0;
    virtual void treeReset() = 0;
    virtual void nodeChanged(CTreeNode *node) = 0;

protected:
    ~CTreeObserver() = default;
};

class CTree {
public:
    CTree();
    ~CTree();
    CTree(const CTree &) = delete;
    CTree &operator=(const CTree &) = delete;

    // Top level.
    int count() const { return root_->childCount(); }
    bool isEmpty() const { return count() == 0; }
    CTreeNode *topNode(int index) const { return root_->child(index); }
    CTreeNode *firstNode() const { return root_->firstChild(); }

    // Adds at the end of sibling's level (the top level when sibling is null).
    CTreeNode *add(CTreeNode *sibling, const QString &text, NodeData data = {});
    // Adds as the last child of parent (at the top level when parent is null).
    CTreeNode *addChild(CTreeNode *parent, const QString &text, NodeData data = {});
    // Removes node and its subtree from this tree; holders keep it alive.
    void remove(CTreeNode *node);
    void clear();
    // Moves every top-level node of other, with its subtree, to the end of this tree's top level.
    void moveNodesFrom(CTree &other);

    // Between beginUpdate and endUpdate the views are not told of each change; endUpdate resets them.
    void beginUpdate();
    void endUpdate();
    // Tell the views that a node's text or image changed.
    void changed(CTreeNode *node);

    // Every node in depth-first order, each before its children.
    template <class F>
    void forEach(F &&visit) const
    {
        walk(root_.get(), visit);
    }
    int totalCount() const;

    void setObserver(CTreeObserver *observer) { observer_ = observer; }
    CTreeNode *hiddenRoot() const { return root_.get(); }

private:
    friend class CTreeNode;
    template <class F>
    static void walk(const CTreeNode *node, F &visit)
    {
        for (const auto &c : node->children_) {
            visit(c.get());
            walk(c.get(), visit);
        }
    }
    CTreeObserver *notifying() const { return updating_ > 0 ? nullptr : observer_; }

    std::shared_ptr<CTreeNode> root_;
    CTreeObserver *observer_ = nullptr;
    int updating_ = 0;
};

// Keeps a tree's views quiet while it is filled, and tells them once at the end.
class CTreeUpdate {
public:
    explicit CTreeUpdate(CTree &tree) : tree_(tree) { tree_.beginUpdate(); }
    ~CTreeUpdate() { tree_.endUpdate(); }
    CTreeUpdate(const CTreeUpdate &) = delete;
    CTreeUpdate &operator=(const CTreeUpdate &) = delete;

private:
    CTree &tree_;
};
