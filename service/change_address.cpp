#include "service/change_address.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/key_packets.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_tree.h"
#include "model/model_classes.h"
#include "service/address_widgets.h"
#include "service/service_commands.h"

namespace {

// The designed 274 x 76 pixels hold one group box with a row of edits under its caption: Qt's
// default margins would push the edits out of it.
void TightGroupLayout(QLayout *layout)
{
    layout->setContentsMargins(6, 4, 6, 4);
}

QLabel *GreyText(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setEnabled(false);
    return label;
}

QPushButton *WriteButton(QWidget *parent, const char *name)
{
    auto *button = new QPushButton(QStringLiteral("Записать"), parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QGroupBox *SensorBox(QWidget *parent, const char *name, const QString &caption, QLabel *&oldText,
                     CAddressSpinEdit *&oldEdit, QLabel *&newText, CAddressSpinEdit *&newEdit, QPushButton *&button,
                     const char *oldTextName, const char *oldEditName, const char *newTextName, const char *newEditName,
                     const char *buttonName, int max)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    oldText = GreyText(box, oldTextName, QStringLiteral("Старый"));
    oldEdit = AddressSpinEdit(box, oldEditName, 0, max, max);
    newText = GreyText(box, newTextName, QStringLiteral("Новый"));
    newEdit = AddressSpinEdit(box, newEditName, 1, max, max);
    button = WriteButton(box, buttonName);
    auto *grid = new QGridLayout(box);
    TightGroupLayout(grid);
    grid->setVerticalSpacing(0); // each text right above its edit, as designed
    grid->addWidget(oldText, 0, 0);
    grid->addWidget(newText, 0, 1);
    grid->addWidget(oldEdit, 1, 0);
    grid->addWidget(newEdit, 1, 1);
    grid->addWidget(button, 1, 2);
    return box;
}

} // namespace

TFormChangeAddress::TFormChangeAddress(TMainForm &owner) : QDialog(&owner, Qt::Tool), Main(owner)
{
    setObjectName(QStringLiteral("FormChangeAddress"));
    setModal(true);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);
    resize(274, 76);

    GroupBox_AddrDev = new QGroupBox(QStringLiteral("Смена адреса прибора"), this);
    GroupBox_AddrDev->setObjectName(QStringLiteral("GroupBox_AddrDev"));
    StaticText_AddrDev = GreyText(GroupBox_AddrDev, "StaticText_AddrDev", QStringLiteral("Новый"));
    CSpinEdit_NewAddrDev = AddressSpinEdit(GroupBox_AddrDev, "CSpinEdit_NewAddrDev", 1, 127, 1);
    btnSaveAddrDev = WriteButton(GroupBox_AddrDev, "btnSaveAddrDev");
    auto *devLayout = new QHBoxLayout(GroupBox_AddrDev);
    TightGroupLayout(devLayout);
    devLayout->addWidget(StaticText_AddrDev);
    devLayout->addWidget(CSpinEdit_NewAddrDev);
    devLayout->addStretch(1);
    devLayout->addWidget(btnSaveAddrDev);

    GroupBox_AddrDet = SensorBox(this, "GroupBox_AddrDet", QStringLiteral("Смена адреса извещателя"),
                                 StaticText_OldAddrDet, CSpinEdit_OldAddrDet, StaticText_NewAddrDet,
                                 CSpinEdit_NewAddrDet, btnSaveAddrDet, "StaticText_OldAddrDet", "CSpinEdit_OldAddrDet",
                                 "StaticText_NewAddrDet", "CSpinEdit_NewAddrDet", "btnSaveAddrDet", 99);
    GroupBox_AddrMod = SensorBox(this, "GroupBox_AddrMod", QStringLiteral("Смена адреса модуля"),
                                 StaticText_OldAddrMod, CSpinEdit_OldAddrMod, StaticText_NewAddrMod,
                                 CSpinEdit_NewAddrMod, btnSaveAddrMod, "StaticText_OldAddrMod", "CSpinEdit_OldAddrMod",
                                 "StaticText_NewAddrMod", "CSpinEdit_NewAddrMod", "btnSaveAddrMod", 40);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 2);
    for (QGroupBox *box : {GroupBox_AddrDev, GroupBox_AddrDet, GroupBox_AddrMod}) {
        box->hide();
        layout->addWidget(box);
    }
    layout->addStretch(1);

    connect(btnSaveAddrDev, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSaveAddrDevClick(); }); });
    connect(btnSaveAddrDet, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSaveAddrDetClick(); }); });
    connect(btnSaveAddrMod, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSaveAddrModClick(); }); });

    if (Main.SelectedColumnAddress > 0) {
        CSpinEdit_OldAddrDet->setValue(Main.SelectedColumnAddress);
        CSpinEdit_OldAddrMod->setValue(Main.SelectedColumnAddress);
    }
}

TFormChangeAddress::~TFormChangeAddress() = default;

void TFormChangeAddress::ShowGroup(AddressTarget target)
{
    QGroupBox *boxes[] = {GroupBox_AddrDev, GroupBox_AddrDet, GroupBox_AddrMod};
    QPushButton *buttons[] = {btnSaveAddrDev, btnSaveAddrDet, btnSaveAddrMod};
    const int shown = int(target);
    for (int i = 0; i < 3; ++i) {
        boxes[i]->setVisible(i == shown);
        buttons[i]->setDefault(i == shown);
    }
}

void TFormChangeAddress::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void TFormChangeAddress::FormShow()
{
    setWindowTitle(ChangeAddressCaption);
    LinkPump &pump = CurrentLinkPump();
    pump.Status(ConnectingText, 1);
    const int code = UsbCan.Connect();
    if (code != 0) {
        pump.Status(ConnectFailedText + IntToText(code), 2);
        UsbCan.Disconnect();
        return;
    }
    pump.Status(ConnectedText, 0);
    if (CDevice *device = Main.CurrentDevice ? Main.CurrentDevice->device() : nullptr)
        CSpinEdit_NewAddrDev->setValue(device->device_addr);
}

CDevice *TFormChangeAddress::ConnectedDevice() const
{
    if (!UsbCan.Connected)
        return nullptr;
    return Main.CurrentDevice ? Main.CurrentDevice->device() : nullptr;
}

bool TFormChangeAddress::DeviceWire(const CDevice &device, uint8_t &wire) const
{
    if (WireAddressOf(device.device_addr, wire))
        return true;
    ShowMessageDlg(BadAddressText, mtError, mbOK);
    return false;
}

void TFormChangeAddress::btnSaveAddrDevClick()
{
    CDevice *device = ConnectedDevice();
    if (!device)
        return;
    const int value = CSpinEdit_NewAddrDev->Value();
    if (value > 126) {
        ShowMessageDlg(BadAddressText, mtError, mbOK);
        return;
    }
    uint8_t wire = 0;
    if (!DeviceWire(*device, wire))
        return;
    if (ChangeDeviceAddressOnce(wire, uint8_t(value - 1)))
        device->device_addr = value;
    done(mrOk);
}

void TFormChangeAddress::SensorClick(SensorKind kind, CAddressSpinEdit *oldEdit, CAddressSpinEdit *newEdit)
{
    CDevice *device = ConnectedDevice();
    if (!device)
        return;
    uint8_t wire = 0;
    if (!DeviceWire(*device, wire))
        return;
    ChangeSensorAddressOnce(wire, kind, uint8_t(newEdit->Value() - 1), OldSensorWire(oldEdit->Value()));
    done(mrOk);
}

void TFormChangeAddress::btnSaveAddrDetClick() { SensorClick(SensorKind::Detector, CSpinEdit_OldAddrDet, CSpinEdit_NewAddrDet); }
void TFormChangeAddress::btnSaveAddrModClick() { SensorClick(SensorKind::Module, CSpinEdit_OldAddrMod, CSpinEdit_NewAddrMod); }

void TFormChangeAddress::reject() { done(mrCancel); }
