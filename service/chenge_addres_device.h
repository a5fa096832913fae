#pragma once
// The service window "Сервис": lists the devices that answer the line search, and for the device
// clicked offers its address change, the address changes of its detectors and modules (one by one
// or by auto-increment), the factory settings, the restart, its firmware version and its event
// archive. It works on the line, not on the configuration open in the main window.
#include <QDateTime>
#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/timer.h"
#include "service/service_packets.h"

class CAddressSpinEdit;
class CTree;
class CTreeNode;
class CTreeView;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QToolButton;

// What tests replace.
struct TServiceHooks {
    std::function<QDateTime()> Clock;             // empty: the local clock
    std::unique_ptr<ITimerBackend> TimerBackend; // empty: a real timer
    std::function<void()> Beep;                   // empty: the desktop's beep
    // empty: ShowArchiveASPT / ShowArchiveASPT_A (service/archive_open.h)
    std::function<void(ArchiveKind kind, QWidget *owner, int address)> ShowArchive;
};

class TChengeAddresDeviceForm : public QDialog {
    Q_OBJECT
public:
    // catalogue is the description window's catalogue tree, which every search reloads from
    // cataloguePath (CataloguePath(ProgramDir)); it must outlive the window.
    TChengeAddresDeviceForm(QWidget *owner, CTree &catalogue, const QString &cataloguePath, TServiceHooks hooks = {});
    ~TChengeAddresDeviceForm() override;

    // Controls, named as in the design.
    QGroupBox *GroupBox_NameDevice;
    CTreeView *tvDevice;
    QGroupBox *RadioGroup1;
    QButtonGroup *RadioButtons; // item 0 "по имени", item 1 "по адресу "
    QPushButton *SpeedButton1;
    QGroupBox *GroupBox1;
    QLabel *Label_ver;
    QGroupBox *GroupBox_AddrDev;
    QLabel *StaticText_AddrDev;
    CAddressSpinEdit *CSpinEdit_NewAddrDev;
    QPushButton *btnSaveAddrDev;
    QGroupBox *GroupBox_AddrDet;
    QLabel *StaticText_OldAddrDet, *StaticText_NewAddrDet;
    CAddressSpinEdit *CSpinEdit_OldAddrDet, *CSpinEdit_NewAddrDet;
    QToolButton *sbSaveAddrDet;
    QGroupBox *GroupBox3;
    QCheckBox *cbAutoIncAddrDet;
    QGroupBox *GroupBox_AddrMod;
    QLabel *StaticText_OldAddrMod, *StaticText_NewAddrMod;
    CAddressSpinEdit *CSpinEdit_OldAddrMod, *CSpinEdit_NewAddrMod;
    QToolButton *sbSaveAddrMod;
    QGroupBox *GroupBox2;
    QCheckBox *cbAutoIncAddrMod;
    QGroupBox *GroupBox_SpecCommand;
    QPushButton *btnRestart, *btnArchive, *btnDefSettings;
    QWidget *Panel2;
    QLabel *Image1;
    QPushButton *btnClose;
    QStatusBar *StatusBar;
    QLabel *StatusPanel0, *StatusPanel1;
    CTimer TimerFindCanDevices;

    bool WasConnected = false;
    uint8_t FirmwareMajor = 0, FirmwareMinor = 0, FirmwareBuild = 0;
    int SearchPacketTotal = 0;
    QString ModelName;
    int SortOrder = -1; // the chosen radio item, -1 before one is chosen

    void StartDeviceSearch();
    void DisableServiceControls();

    // Handlers.
    void FormShow();
    void FormClose();
    void btnCloseClick();
    void SpeedButton1Click();
    void TimerFindCanDevicesTimer();
    void RadioGroup1Click();
    int tvDeviceCompare(const CTreeNode *node1, const CTreeNode *node2) const;
    void tvDeviceClick();
    void btnArchiveClick();
    void btnSaveAddrDevClick();
    void sbSaveAddrDetClick();
    void sbSaveAddrModClick();
    void cbAutoIncAddrDetClick();
    void cbAutoIncAddrModClick();
    void btnDefSettingsClick();
    void btnRestartClick();

    CTreeNode *SelectedNode() const;
    void SelectNode(CTreeNode *node); // selects as a click would, without the click's handler

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class ServiceAutoIncHost;
    struct SensorGroup {
        QGroupBox *box;
        QLabel *oldText, *newText;
        CAddressSpinEdit *oldEdit, *newEdit;
        QToolButton *button;
        QCheckBox *autoInc;
    };
    SensorGroup Group(SensorKind kind) const;
    void EnableSensorGroup(SensorKind kind, bool enabled);
    void SetSensorTexts(SensorKind kind, bool autoInc);
    void AutoIncBoxClick(SensorKind kind);
    void SensorWriteClick(SensorKind kind);
    // confirm: asks the factory-reset question first and sends only on Yes.
    void SpecialCommand(QPushButton *button, QString (*build)(const QString &, uint8_t), bool confirm = false);
    // The common start of the command handlers: the selected node's wire address when a node is
    // selected, the adapter connected and the wire address within 0..maxWire; button (if any) up
    // wherever it stops.
    std::optional<int> CommandWire(int maxWire, const QString &badText, QToolButton *button);
    int GuardedWait(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched);

    CTree &Catalogue;
    QString CatalogueFile;
    TServiceHooks Hooks;
    int WaitDepth = 0;  // waits of this window running: the search tick keeps off their answers
    int ClickCount = 0; // list clicks so far, so a click's late version answer yields to a newer click
    bool Closing = false;
};

inline const QString ServiceCaption = QStringLiteral("Сервис");
