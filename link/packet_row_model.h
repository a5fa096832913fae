#pragma once
// The monitor's grid as an item model over CPacketRowStore. It is the link's packet-row sink:
// rows go into the store at once and reach the views in batches (one insertion per flush), so a
// saturated line never makes the view lay out row by row. The header row is the horizontal
// header; view row v is grid row v + 1, and the view's last row is always the grid's empty row.
#include <QAbstractTableModel>
#include <QTimer>

#include "link/packet_log.h"
#include "link/packet_rows.h"

class CPacketRowModel : public QAbstractTableModel, public PacketLog {
    Q_OBJECT

public:
    explicit CPacketRowModel(QObject *parent = nullptr);

    // How long rows may wait for the view.
    static constexpr int FlushIntervalMs = 50;

    const CPacketRowStore &Store() const { return store_; }

    void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) override;
    void AddLossRow(const QString &time, uint32_t lost) override;
    // Hands the waiting rows to the views now.
    void Flush();
    // Rows are held back (no timer runs) while the views are hidden; Flush catches up.
    void SetHoldBack(bool hold);
    void Clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // After rows reached the views: the view row of the empty last row.
    void RowsFlushed(int emptyRow);

private:
    int GridRow(int viewRow) const;
    void RowAdded();

    CPacketRowStore store_;
    int shown_ = 0; // packet rows the views know of
    bool holdBack_ = false;
    QTimer flushTimer_;
};
