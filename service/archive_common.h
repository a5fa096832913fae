#pragma once
// What both archive windows share: one request and its answer, the grid model, the pair of
// toggle buttons and the save dialog.
#include <QAbstractTableModel>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

#include "adapters/usbcan/usbcan_api.h"
#include "link/transfer.h"

class QPushButton;
class QSpinBox;
class QWidget;

constexpr uint8_t kArchiveCommand = 0xEE;
constexpr uint32_t kArchiveTimeoutMs = 2000;

enum class ArchiveAnswer {
    Refused,  // the library refused the send: not awaited, not a failure
    Missing,  // sent, and no answer within the time-out: the tick fails
    Received,
};

// Wire address as two upper-case hexadecimal digits (AddressHex); the device address is one more.
QString ArchiveAddressHex(int wireAddress);
// The wire address AddressHex names; 0 for a text that is not hexadecimal.
int ArchiveWireOf(const QString &addressHex);
// Two hexadecimal digits of a byte, upper case.
QString ArchiveHex2(int value);

// Sends the request and, when it went out, waits for the first matching record of RxPackets.
ArchiveAnswer AskArchive(const QString &request, const PacketPattern &pattern, CanPacket &answer);

// The bytes of an answer as numbers.
inline int ArchiveByte(const CanPacket &p, int data) { return p.bytes[4 + data]; }
inline int ArchiveWordBE(const CanPacket &p, int data) { return ArchiveByte(p, data) * 256 + ArchiveByte(p, data + 1); }
inline int ArchiveWordLE(const CanPacket &p, int data) { return ArchiveByte(p, data + 1) * 256 + ArchiveByte(p, data); }

// A read-only grid over cells the reader holds: grid row 0 is the header, grid rows 1.. the view's
// rows; column 0 looks fixed.
class CArchiveGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using CellFn = std::function<QString(int gridRow, int column)>;
    CArchiveGridModel(int records, int columns, CellFn cell, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The cells changed: the view reads them again.
    void Refresh();

private:
    int records_, columns_;
    CellFn cell_;
};

// Two toggle buttons of which at most one is down; both may be up.
class CArchiveToggles : public QObject {
    Q_OBJECT
public:
    CArchiveToggles(QPushButton *first, QPushButton *second, QObject *parent = nullptr);
};

// Spin edit changed by its arrows only.
void ArrowsOnly(QSpinBox *spin);

// The file dialog of both windows: filter "*.txt", the overwrite question left to the caller.
std::optional<QString> ArchiveSaveDialog(QWidget *parent, const QString &preset);
