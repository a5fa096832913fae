#pragma once
#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QTreeView>

#include <memory>

#include "model/config_tree.h"

// Shows a CTree in Qt's item views: one column, the node text, the picture of its image index.
class CTreeModel : public QAbstractItemModel, private CTreeObserver {
    Q_OBJECT

public:
    explicit CTreeModel(CTree *tree, QObject *parent = nullptr);
    ~CTreeModel() override;

    CTree *tree() const { return tree_; }
    void setImages(const QList<QIcon> &images);
    // Node captions can be edited in place; an edit goes into the node's text.
    void setEditable(bool editable) { editable_ = editable; }

    CTreeNode *nodeAt(const QModelIndex &index) const;
    QModelIndex indexOf(const CTreeNode *node) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void nodesAboutToBeInserted(CTreeNode *parent, int first, int last) override;
    void nodesInserted() override;
    void nodesAboutToBeRemoved(CTreeNode *parent, int first, int last) override;
    void nodesRemoved() override;
    void treeAboutToBeReset() override;
    void treeReset() override;
    void nodeChanged(CTreeNode *node) override;

    CTree *tree_;
    QList<QIcon> images_;
    bool editable_ = false;
};

// A tree view that owns its headless tree, as the old tree views owned their nodes.
class CTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit CTreeView(QWidget *parent = nullptr);
    ~CTreeView() override;

    CTree &items() { return *tree_; }
    const CTree &items() const { return *tree_; }
    CTreeModel *treeModel() const { return model_; }

    CTreeNode *selectedNode() const;
    void selectNode(CTreeNode *node);

    // The mouse button last went down below the last node: that press, its drag and its release
    // changed nothing.
    bool pressedOnEmpty() const { return pressedOnEmpty_; }

protected:
    // A press below the last node keeps the chosen node chosen and highlighted, as the old tree views
    // did; Qt's view would drop the highlight there, or choose another node by the drag that follows.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool PressOnEmpty(QMouseEvent *event);

    std::unique_ptr<CTree> tree_;
    CTreeModel *model_;
    bool pressedOnEmpty_ = false;
};
