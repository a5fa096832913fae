#pragma once
// The address-change dialog of the page menu: a new address for the device open in the main
// window, or a detector's or a module's address behind it. It searches nothing: it acts on the
// main window's CurrentDevice, sends without waiting for answers and closes with OK after every
// attempt, so the caller requests the configuration again.
#include <QDialog>

#include "service/service_packets.h"

class CAddressSpinEdit;
class CDevice;
class QGroupBox;
class QLabel;
class QPushButton;
class TMainForm;

// Which of the three group boxes the caller shows.
enum class AddressTarget { Device, Detector, Module };

class TFormChangeAddress : public QDialog {
    Q_OBJECT
public:
    // The old-address edits take the main window's SelectedColumnAddress when it is above 0.
    explicit TFormChangeAddress(TMainForm &owner);
    ~TFormChangeAddress() override;

    // Makes that group box visible, its "Записать" the default button.
    void ShowGroup(AddressTarget target);

    QGroupBox *GroupBox_AddrDev;
    QLabel *StaticText_AddrDev;
    CAddressSpinEdit *CSpinEdit_NewAddrDev;
    QPushButton *btnSaveAddrDev;
    QGroupBox *GroupBox_AddrDet;
    QLabel *StaticText_OldAddrDet, *StaticText_NewAddrDet;
    CAddressSpinEdit *CSpinEdit_OldAddrDet, *CSpinEdit_NewAddrDet;
    QPushButton *btnSaveAddrDet;
    QGroupBox *GroupBox_AddrMod;
    QLabel *StaticText_OldAddrMod, *StaticText_NewAddrMod;
    CAddressSpinEdit *CSpinEdit_OldAddrMod, *CSpinEdit_NewAddrMod;
    QPushButton *btnSaveAddrMod;

    // Handlers.
    void FormShow();
    void btnSaveAddrDevClick();
    void btnSaveAddrDetClick();
    void btnSaveAddrModClick();

    // The close box and Esc: mrCancel (2).
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The open device when the adapter is connected, null otherwise (the click then does nothing).
    CDevice *ConnectedDevice() const;
    // Its wire address; a device_addr outside 1..255 is refused with a message.
    bool DeviceWire(const CDevice &device, uint8_t &wire) const;
    void SensorClick(SensorKind kind, CAddressSpinEdit *oldEdit, CAddressSpinEdit *newEdit);

    TMainForm &Main;
};

inline const QString ChangeAddressCaption = QStringLiteral("ТИВРОН-Diva");
