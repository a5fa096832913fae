#include "model/tree_model.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "platform/item_delegate.h"

CTreeModel::CTreeModel(CTree *tree, QObject *parent) : QAbstractItemModel(parent), tree_(tree)
{
    tree_->setObserver(this);
}

CTreeModel::~CTreeModel() { tree_->setObserver(nullptr); }

void CTreeModel::setImages(const QList<QIcon> &images)
{
    images_ = images;
    if (!tree_->isEmpty()) {
        beginResetModel();
        endResetModel();
    }
}

CTreeNode *CTreeModel::nodeAt(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<CTreeNode *>(index.internalPointer()) : nullptr;
}

QModelIndex CTreeModel::indexOf(const CTreeNode *node) const
{
    if (!node || node == tree_->hiddenRoot() || node->tree() != tree_)
        return QModelIndex();
    return createIndex(node->index(), 0, const_cast<CTreeNode *>(node));
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0)
        return QModelIndex();
    const CTreeNode *p = parent.isValid() ? nodeAt(parent) : tree_->hiddenRoot();
    CTreeNode *c = p ? p->child(row) : nullptr;
    return c ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex CTreeModel::parent(const QModelIndex &child) const
{
    const CTreeNode *n = nodeAt(child);
    return n ? indexOf(n->parent()) : QModelIndex();
}

int CTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const CTreeNode *p = parent.isValid() ? nodeAt(parent) : tree_->hiddenRoot();
    return p ? p->childCount() : 0;
}

int CTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant CTreeModel::data(const QModelIndex &index, int role) const
{
    const CTreeNode *n = nodeAt(index);
    if (!n)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return n->text;
    if (role == Qt::DecorationRole && n->imageIndex >= 0 && n->imageIndex < images_.size())
        return images_[n->imageIndex];
    return QVariant();
}

bool CTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    CTreeNode *n = nodeAt(index);
    if (!n || !editable_ || role != Qt::EditRole)
        return false;
    n->text = value.toString();
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags CTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_)
        f |= Qt::ItemIsEditable;
    return f;
}

void CTreeModel::nodesAboutToBeInserted(CTreeNode *parent, int first, int last)
{
    beginInsertRows(indexOf(parent), first, last);
}

void CTreeModel::nodesInserted() { endInsertRows(); }

void CTreeModel::nodesAboutToBeRemoved(CTreeNode *parent, int first, int last)
{
    beginRemoveRows(indexOf(parent), first, last);
}

void CTreeModel::nodesRemoved() { endRemoveRows(); }

void CTreeModel::treeAboutToBeReset() { beginResetModel(); }

void CTreeModel::treeReset() { endResetModel(); }

void CTreeModel::nodeChanged(CTreeNode *node)
{
    const QModelIndex i = indexOf(node);
    emit dataChanged(i, i);
}

CTreeView::CTreeView(QWidget *parent)
    : QTreeView(parent), tree_(std::make_unique<CTree>()), model_(new CTreeModel(tree_.get(), this))
{
    setModel(model_);
    header()->hide();
    setUniformRowHeights(true);
    setItemDelegate(new CDesignItemDelegate(this));
}

CTreeView::~CTreeView()
{
    // The view lets go of the model before the tree it shows goes away.
    setModel(nullptr);
    delete model_;
}

CTreeNode *CTreeView::selectedNode() const
{
    return model_->nodeAt(currentIndex());
}

void CTreeView::selectNode(CTreeNode *node)
{
    setCurrentIndex(model_->indexOf(node));
}

bool CTreeView::PressOnEmpty(QMouseEvent *event)
{
    pressedOnEmpty_ = !indexAt(event->position().toPoint()).isValid();
    return pressedOnEmpty_;
}

void CTreeView::mousePressEvent(QMouseEvent *event)
{
    if (PressOnEmpty(event))
        event->accept();
    else
        QTreeView::mousePressEvent(event);
}

void CTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (PressOnEmpty(event))
        event->accept();
    else
        QTreeView::mouseDoubleClickEvent(event);
}

void CTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (pressedOnEmpty_ && event->buttons() != Qt::NoButton)
        event->accept();
    else
        QTreeView::mouseMoveEvent(event);
}

void CTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (pressedOnEmpty_)
        event->accept();
    else
        QTreeView::mouseReleaseEvent(event);
}
