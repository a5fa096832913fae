#pragma once
// What both archive windows share: one request and its answer, the grid model, the pair of
// toggle buttons, the save dialog, the reader's common state and the window around a reader.
#include <QAbstractTableModel>
#include <QDialog>
#include <QObject>
#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "adapters/usbcan/usbcan_api.h"
#include "link/transfer.h"
#include "platform/timer.h"

class CSpinEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
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

// What every archive reader holds besides its grid: the device, the last-record text and the
// state of "Считать архив".
class CArchiveReader {
public:
    explicit CArchiveReader(QString addressHex) : AddressHex(std::move(addressHex)) {}
    virtual ~CArchiveReader() = default;

    QString AddressHex;
    QString TotalLog;     // Edit_TotalLog
    bool Loading = false; // "Считать архив" is down
    // After every change of the grid, the cursor or Loading, also inside a tick's waits.
    std::function<void()> OnChanged;

    // Headers and row numbers; the last-record number unknown.
    virtual void Prepare() = 0;
    // "Считать архив" pressed: the rows to read emptied.
    virtual void Start() = 0;
    // One record; false when the tick failed.
    virtual bool Tick() = 0;

protected:
    void Changed()
    {
        if (OnChanged)
            OnChanged();
    }
    // One request and its answer: fill takes the answer and the change is told; an answer that
    // never came sets failed; a send the library refused leaves everything as it was.
    void Ask(const QString &request, const PacketPattern &pattern, bool &failed,
             const std::function<void(const CanPacket &)> &fill);
};

// Grid row 0 gets the headers, column 0 of every other row its number.
template <std::size_t Columns>
void ArchiveLabelGrid(std::vector<std::array<QString, Columns>> &rows, const char *const (&headers)[Columns])
{
    for (std::size_t c = 0; c < Columns; ++c)
        rows[0][c] = QString::fromUtf8(headers[c]);
    for (std::size_t r = 1; r < rows.size(); ++r)
        rows[r][0] = QString::number(r);
}

// Rows first to last (grid rows, kept within the records) numbered again and their other cells emptied.
template <std::size_t Columns>
void ArchiveClearRows(std::vector<std::array<QString, Columns>> &rows, int first, int last)
{
    for (int r = std::max(first, 1); r <= std::min(last, int(rows.size()) - 1); ++r) {
        rows[r][0] = QString::number(r);
        for (std::size_t c = 1; c < Columns; ++c)
            rows[r][c].clear();
    }
}

// The archive window around a reader: the grid, the three group boxes (the first one's controls
// are the window's own), the read and save toggles, the close button and the reading timer.
class CArchiveForm : public QDialog {
    Q_OBJECT
public:
    ~CArchiveForm() override;

    // Set before the window is shown.
    QString AddressHex;

    QTableView *StringGrid1;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3;
    CSpinEdit *CSpinEdit_Pause;
    QLineEdit *Edit_TotalLog;
    QPushButton *SpeedButton_Load, *sbSaveAddrMod, *btnClose;
    CTimer Timer1;

    void FormShow();
    void SpeedButton_LoadClick();
    void Timer1Timer();
    void btnCloseClick();
    void sbSaveAddrModClick();

    // The save dialog: gives the chosen name or nothing when cancelled. Tests replace it.
    using SaveDialogFn = std::function<std::optional<QString>(QWidget *parent, const QString &preset)>;
    void SetSaveDialog(SaveDialogFn dialog);

public slots:
    // Every way of closing (the button, the close box, Esc) ends here.
    void done(int result) override;

protected:
    CArchiveForm(QWidget *owner, std::unique_ptr<ITimerBackend> timerBackend, QString titlePrefix);
    // The whole window around the subclass's reader (a member, so known only once the subclass's
    // members are made); fillGroupBox1 puts the subclass's own controls into GroupBox1 (called
    // right after it is made, so the tab order stays the order of the controls on screen).
    void Build(CArchiveReader &reader, int records, int columns, const int *widths, CArchiveGridModel::CellFn cell,
               const QString &groupBox1Title, const std::function<void()> &fillGroupBox1);
    // The grid forgets the model before the subclass's reader goes.
    void Detach();

    // The subclass's own controls follow the reader.
    virtual void SyncOwn() = 0;
    // One tick of the reader; the grid row to bring into view, 0 none.
    virtual int TickRow() = 0;
    virtual void SaveTo(const QString &path) = 0;

    // A control of the subclass that sets a field of the reader when the engineer changes it.
    void Follow(QSpinBox *spin, int &field);
    void Sync();
    void showEvent(QShowEvent *event) override;

    CArchiveGridModel *model_ = nullptr;
    bool syncing_ = false; // the controls are being set from the reader

private:
    void FormClose();

    CArchiveReader *archive_ = nullptr;
    QString titlePrefix_;
    CArchiveToggles *toggles_ = nullptr;
    SaveDialogFn saveDialog_;
};
