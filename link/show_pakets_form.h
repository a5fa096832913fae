#pragma once
// The CAN monitor "Просмотр принятых/отправленных данных": every packet the program sends or
// receives as a row (shown or not), a command line to send one, a once-a-second drain of the
// line, clearing and saving the log. One instance lives for the whole run in ShowPaketsForm;
// closing it only hides it.
#include <QString>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

#include "link/monitor_link.h"
#include "link/packet_row_model.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

class TShowPaketsForm : public QWidget {
    Q_OBJECT

public:
    // mainWindow owns the monitor and is the window it places itself beside when shown.
    explicit TShowPaketsForm(QWidget *mainWindow = nullptr);
    ~TShowPaketsForm() override;

    QGroupBox *GroupBox1;
    QLineEdit *LabeledEdit_Id;   // up to 8 characters, upper case
    QLineEdit *LabeledEdit_Data; // up to 16 characters, upper case
    QPushButton *Button_Execute;
    QTableView *StringGridPaket;
    QCheckBox *CheckBox_CanMonitor;
    QPushButton *Clear;
    QPushButton *SaveToFile;
    QPushButton *Close;
    QTimer *Timer_checkRx;       // 1000 ms, runs only while shown and the box is checked

    // WasConnected and the rules of connecting and disconnecting.
    CMonitorLink Link;

    // The grid (the link's packet-row sink while this window exists).
    CPacketRowModel &Rows() { return rows_; }
    const CPacketRowStore &Grid() const { return rows_.Store(); }

    void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action);

    // The save dialog: given the preset name, gives the chosen name or nothing when cancelled.
    // Tests answer without a dialog; null restores the file dialog.
    using SaveDialogFn = std::function<std::optional<QString>(QWidget *parent, const QString &preset)>;
    void SetSaveDialog(SaveDialogFn dialog);
    // "CAN монитор " + local date and time, made fit for a file name.
    static QString PresetFileName(const QDateTime &moment);

    // Handlers.
    void FormShow();
    void FormClose();
    void CloseClick();
    void ClearClick();
    void Button_ExecuteClick();
    void CheckBox_CanMonitorClick();
    void Timer_checkRxTimer();
    void SaveToFileClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void PlaceBesideMainWindow();
    void ShowNewestRow(int emptyRow);
    void SpanLossRows(int shownRows);
    void DrainMore();

    QPointer<QWidget> mainWindow_;
    CPacketRowModel rows_;
    SaveDialogFn saveDialog_;
    bool drainQueued_ = false;
    // The grid follows the newest packet unless the engineer selected another row or scrolled away
    // from the end; selecting the last row (Ctrl+End) or scrolling back to the end resumes it.
    bool following_ = true;
    bool placing_ = false; // the grid's own moves to the newest row

    std::size_t spannedLosses_ = 0; // loss rows whose text spans its columns
};

extern TShowPaketsForm *ShowPaketsForm;
