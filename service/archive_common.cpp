#include "service/archive_common.h"

#include <QBrush>
#include <QColor>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "link/text_file_save.h"
#include "link/usb_can.h"

QString ArchiveHex2(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString ArchiveAddressHex(int wireAddress)
{
    return ArchiveHex2(wireAddress);
}

int ArchiveWireOf(const QString &addressHex)
{
    bool ok = false;
    const int wire = addressHex.toInt(&ok, 16);
    return ok ? wire : 0;
}

ArchiveAnswer AskArchive(const QString &request, const PacketPattern &pattern, CanPacket &answer)
{
    if (UsbCan.SendPacket(request) != 0)
        return ArchiveAnswer::Refused;
    return WaitForPacket(pattern, kArchiveTimeoutMs, &answer) ? ArchiveAnswer::Received : ArchiveAnswer::Missing;
}

CArchiveGridModel::CArchiveGridModel(int records, int columns, CellFn cell, QObject *parent)
    : QAbstractTableModel(parent), records_(records), columns_(columns), cell_(std::move(cell))
{
}

int CArchiveGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : records_;
}

int CArchiveGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant CArchiveGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return cell_(index.row() + 1, index.column());
    // The fixed column in the classic button face.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QBrush(QColor(0xF0, 0xF0, 0xF0));
    return {};
}

QVariant CArchiveGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < columns_)
        return cell_(0, section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CArchiveGridModel::Refresh()
{
    if (records_ > 0 && columns_ > 0)
        emit dataChanged(index(0, 0), index(records_ - 1, columns_ - 1), {Qt::DisplayRole});
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

CArchiveToggles::CArchiveToggles(QPushButton *first, QPushButton *second, QObject *parent) : QObject(parent)
{
    first->setCheckable(true);
    second->setCheckable(true);
    connect(first, &QPushButton::toggled, this, [second](bool down) {
        if (down)
            second->setChecked(false);
    });
    connect(second, &QPushButton::toggled, this, [first](bool down) {
        if (down)
            first->setChecked(false);
    });
}

void ArrowsOnly(QSpinBox *spin)
{
    if (auto *edit = spin->findChild<QLineEdit *>())
        edit->setReadOnly(true);
}

std::optional<QString> ArchiveSaveDialog(QWidget *parent, const QString &preset)
{
    return SaveTxtFileDialog(parent, preset);
}
