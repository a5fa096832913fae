#include "link/packet_row_model.h"

#include <QColor>

namespace {
// The fixed number column in the classic button face.
const QColor kFixedCell(0xC0, 0xC0, 0xC0);
} // namespace

CPacketRowModel::CPacketRowModel(QObject *parent) : QAbstractTableModel(parent)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &CPacketRowModel::Flush);
}

void CPacketRowModel::AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action)
{
    store_.Append(time, id, data, action);
    RowAdded();
}

void CPacketRowModel::AddLossRow(const QString &time, uint32_t lost)
{
    store_.AppendLoss(time, lost);
    RowAdded();
}

void CPacketRowModel::RowAdded()
{
    if (!holdBack_ && !flushTimer_.isActive())
        flushTimer_.start();
}

void CPacketRowModel::Flush()
{
    flushTimer_.stop();
    const int total = store_.PacketCount();
    if (total > shown_) {
        // New packets go in before the empty row, which drops what was typed into it.
        beginInsertRows(QModelIndex(), shown_, total - 1);
        shown_ = total;
        endInsertRows();
        emit dataChanged(index(shown_, 0), index(shown_, CPacketRowStore::ColCount - 1));
    }
    emit RowsFlushed(shown_);
}

void CPacketRowModel::SetHoldBack(bool hold)
{
    holdBack_ = hold;
    if (hold)
        flushTimer_.stop();
    else if (store_.PacketCount() > shown_)
        flushTimer_.start();
}

void CPacketRowModel::Clear()
{
    beginResetModel();
    store_.Clear();
    shown_ = 0;
    endResetModel();
    flushTimer_.stop();
    emit RowsFlushed(0);
}

int CPacketRowModel::GridRow(int viewRow) const
{
    return viewRow < shown_ ? viewRow + 1 : store_.RowCount() - 1;
}

int CPacketRowModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : shown_ + 1; }

int CPacketRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : CPacketRowStore::ColCount;
}

QVariant CPacketRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return store_.Cell(GridRow(index.row()), index.column());
    case Qt::BackgroundRole:
        return index.column() == 0 ? QVariant(kFixedCell) : QVariant();
    default:
        return QVariant();
    }
}

bool CPacketRowModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    if (!store_.SetCell(GridRow(index.row()), index.column(), value.toString()))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags CPacketRowModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (CPacketRowStore::IsEditable(GridRow(index.row()), index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant CPacketRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < CPacketRowStore::ColCount)
        return CPacketRowStore::HeaderTexts()[std::size_t(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}
