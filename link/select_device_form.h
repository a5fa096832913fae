#pragma once
// The modal dialog "Выберите прибор": the engineer chooses one catalogue model and its line
// address. Search mode broadcasts the search and lists the devices that answer; list mode shows
// what the caller adds (New lists every model, the write lists the open device to confirm it).
#include <QDateTime>
#include <QDialog>
#include <QSpinBox>
#include <QString>

#include <functional>
#include <memory>

#include "app/message_dlg.h" // mrOk, mrCancel
#include "link/device_search.h" // SearchingText
#include "platform/timer.h"

class CTree;
class CTreeNode;
class CTreeView;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QWidget;

// The address spin edit: typing may leave the range for a moment and the value is clamped when the
// edit is left, as the old spin edit did; Value() reads the text as it stands, clamped.
class CAddressSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit CAddressSpinEdit(QWidget *parent = nullptr);
    int Value() const;
    QString Text() const;
    void SetText(const QString &text); // as typing it

signals:
    void TextChanged(const QString &text);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    void Changed(const QString &text);
    QString LastText;
};

// What tests replace: the clock of the broadcast and the timer's backend.
struct TSelectDeviceHooks {
    std::function<QDateTime()> Clock;             // empty: the local clock
    std::unique_ptr<ITimerBackend> TimerBackend; // empty: a real timer
};

// The engineer's choice after mrOk.
struct TDeviceChoice {
    std::shared_ptr<CTreeNode> Model; // the model's node in the catalogue tree
    int Address = 0;                  // the address chosen, 1-255
};

class TSelectDeviceForm : public QDialog {
    Q_OBJECT
public:
    // catalogue is the description window's catalogue tree (ConfigForm->tvConfig->items()); it must
    // outlive the dialog and may be reloaded while the dialog is not shown. cataloguePath is the file
    // that "Выбрать" writes the models' addresses into (CataloguePath(ProgramDir)); empty: none.
    // With search true and the adapter connected it broadcasts the search at once.
    TSelectDeviceForm(QWidget *owner, bool search, CTree &catalogue, const QString &cataloguePath,
                      TSelectDeviceHooks hooks = {});
    ~TSelectDeviceForm() override;

    // List mode: adds a node "name <address>" for a catalogue model (a node of the catalogue tree)
    // unless the list has that text; returns the list node, null for a node without a CDevice.
    CTreeNode *AddDevice(CTreeNode *model, int address);
    // Every top-level catalogue model at its own device_addr, in catalogue order (New).
    void AddCatalogueModels();
    // Selects a list node as a click would: the label and the address edit follow it.
    void SelectListNode(CTreeNode *node);
    // AddDevice then SelectListNode, and the address edit set to address (the write's confirmation).
    CTreeNode *PresetDevice(CTreeNode *model, int address);

    // Shows the dialog modally: mrOk (1) or mrCancel (2), also for the close box and Esc.
    int Execute();
    // After mrOk: the chosen catalogue node and address; an empty Model when none is chosen.
    TDeviceChoice Choice() const;

    // The selected node of the list, or null.
    CTreeNode *SelectedListNode() const;
    // The catalogue node whose text is the selected node's model name, or null.
    CTreeNode *SelectedModel() const;
    QString StatusText() const;

    // Controls, named as in the design.
    QGroupBox *RadioGroup1;
    QButtonGroup *RadioButtons; // item 0 "по имени", item 1 "по адресу "
    CTreeView *tvDevice;
    QWidget *Panel1;
    QGroupBox *GroupBox1;
    QLabel *LabelNameDev;
    CAddressSpinEdit *CSpinEdit_addrDev;
    QPushButton *btnSelect;
    QPushButton *btnCancel;
    QStatusBar *StatusBar;
    QLabel *StatusPanel0;
    CTimer TimerFindCanDevices;

    int SearchPacketTotal = 0; // records drained by earlier ticks
    int SortOrder = -1;        // the chosen radio item, -1 before one is chosen

    // Handlers.
    void TimerFindCanDevicesTimer();
    void tvDeviceChange();
    void CSpinEdit_addrDevChange();
    void RadioGroup1Click();
    int tvDeviceCompare(const CTreeNode *node1, const CTreeNode *node2) const;
    void btnSelectClick();
    void tvDeviceDblClick();
    void btnCancelClick();

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void StartSearch(const QDateTime &clock);
    void UpdateSelectEnabled();
    void Choose();

    CTree &Catalogue;
    QString CatalogueFile;
    bool Sorting = false;
};

// The device list of the selection dialog and the service window: one column of device texts,
// no tree decoration, single selection, no editing, Tahoma 16 px; object name "tvDevice".
CTreeView *NewDeviceListView(QWidget *parent);
// The radio items of a sort order box, side by side: id 0 "по имени", id 1 "по адресу " (the
// DeviceSortOrder values). The group belongs to owner.
QButtonGroup *AddSortOrderButtons(QGroupBox *box, QObject *owner);

inline const QString PacketsReceivedText = QStringLiteral("Получено пакетов №");
