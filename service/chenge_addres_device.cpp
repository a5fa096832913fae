#include "service/chenge_addres_device.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/factory_reset.h"
#include "link/device_search.h"
#include "link/exchange.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "service/address_widgets.h"
#include "service/archive_open.h"
#include "service/service_commands.h"
#include "platform/fonts.h"

namespace {

QLabel *Text(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QGroupBox *Box(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

const QString OldText = QStringLiteral("Старый");
const QString NewText = QStringLiteral("Новый");
const QString FirstText = QStringLiteral("Начальный");
const QString LastText = QStringLiteral("Конечный");

// Holds a wait of the window, so the search tick leaves the answers it waits for alone.
class WaitScope {
public:
    explicit WaitScope(int &depth) : depth_(depth) { ++depth_; }
    ~WaitScope() { --depth_; }

private:
    int &depth_;
};

} // namespace

// The auto-increment run's view of one group of the window.
class ServiceAutoIncHost : public AutoIncHost {
public:
    ServiceAutoIncHost(TChengeAddresDeviceForm &form, SensorKind kind) : form_(form), kind_(kind) {}
    bool ButtonDown() const override { return form_.Group(kind_).button->isChecked(); }
    void SetButtonUp() override { form_.Group(kind_).button->setChecked(false); }
    void SetEditsEnabled(bool enabled) override
    {
        form_.Group(kind_).oldEdit->setEnabled(enabled);
        form_.Group(kind_).newEdit->setEnabled(enabled);
    }
    int FirstValue() const override { return form_.Group(kind_).oldEdit->Value(); }
    int LastValue() const override { return form_.Group(kind_).newEdit->Value(); }
    void SetFirstValue(int value) override { form_.Group(kind_).oldEdit->setValue(value); }
    void SetStatus(const QString &text) override { form_.StatusPanel1->setText(text); }
    bool PauseSearch() override
    {
        const bool running = form_.TimerFindCanDevices.Enabled();
        form_.TimerFindCanDevices.SetEnabled(false);
        return running;
    }
    void ResumeSearch(bool wasRunning) override
    {
        // A window closed during the countdown keeps its timer off.
        if (!form_.Closing)
            form_.TimerFindCanDevices.SetEnabled(wasRunning);
    }
    void Beep() override
    {
        if (form_.Hooks.Beep)
            form_.Hooks.Beep();
        else
            QApplication::beep();
    }
    int Wait(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched) override
    {
        return form_.GuardedWait(pattern, timeout, matched);
    }

private:
    TChengeAddresDeviceForm &form_;
    SensorKind kind_;
};

TChengeAddresDeviceForm::TChengeAddresDeviceForm(QWidget *owner, CTree &catalogue, const QString &cataloguePath,
                                                 TServiceHooks hooks)
    : QDialog(owner), TimerFindCanDevices(this, std::move(hooks.TimerBackend)), Catalogue(catalogue),
      CatalogueFile(cataloguePath), Hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("ChengeAddresDeviceForm"));
    setWindowTitle(ServiceCaption);
    setModal(true);
    setFont(Tahoma(11));
    resize(523, 689);

    // Left column: the list, the sort order, the refresh button.
    GroupBox_NameDevice = Box(this, "GroupBox_NameDevice", QStringLiteral("Список доступных приборов"));
    GroupBox_NameDevice->setFixedWidth(249);
    tvDevice = NewDeviceListView(GroupBox_NameDevice);
    tvDevice->viewport()->installEventFilter(this);
    // However the choice is lost (a Ctrl+click, Ctrl+Space), the commands would refuse: so do the controls.
    connect(tvDevice->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!SelectedNode())
            DisableServiceControls();
    });
    RadioGroup1 = Box(GroupBox_NameDevice, "RadioGroup1", QStringLiteral("Сортировка приборов"));
    RadioButtons = AddSortOrderButtons(RadioGroup1, this);
    SpeedButton1 = Button(GroupBox_NameDevice, "SpeedButton1", QStringLiteral("Обновить список приборов"));
    auto *left = new QVBoxLayout(GroupBox_NameDevice);
    left->addWidget(tvDevice, 1);
    left->addWidget(RadioGroup1);
    left->addWidget(SpeedButton1);

    // Right column, top to bottom.
    GroupBox1 = Box(this, "GroupBox1", QStringLiteral("Версия прибора"));
    Label_ver = Text(GroupBox1, "Label_ver", QString());
    Label_ver->setAlignment(Qt::AlignCenter);
    QFont bold = Label_ver->font();
    bold.setBold(true);
    Label_ver->setFont(bold);
    QPalette redText = Label_ver->palette();
    redText.setColor(QPalette::WindowText, QColor(61, 149, 255));
    Label_ver->setPalette(redText);
    (new QVBoxLayout(GroupBox1))->addWidget(Label_ver);

    GroupBox_AddrDev = Box(this, "GroupBox_AddrDev", QStringLiteral("Смена адреса прибора"));
    StaticText_AddrDev = Text(GroupBox_AddrDev, "StaticText_AddrDev", NewText);
    CSpinEdit_NewAddrDev = AddressSpinEdit(GroupBox_AddrDev, "CSpinEdit_NewAddrDev", 1, 127, 1);
    btnSaveAddrDev = Button(GroupBox_AddrDev, "btnSaveAddrDev", QStringLiteral("Записать"));
    auto *devLayout = new QHBoxLayout(GroupBox_AddrDev);
    devLayout->addWidget(StaticText_AddrDev);
    devLayout->addWidget(CSpinEdit_NewAddrDev);
    devLayout->addStretch(1);
    devLayout->addWidget(btnSaveAddrDev);

    auto makeSensorGroup = [this](const char *box, const QString &caption, const char *oldText, const char *oldEdit,
                                  const char *newText, const char *newEdit, int max, const char *button,
                                  const char *inner, const char *check, QGroupBox *&outBox, QLabel *&outOldText,
                                  CAddressSpinEdit *&outOld, QLabel *&outNewText, CAddressSpinEdit *&outNew,
                                  QToolButton *&outButton, QGroupBox *&outInner, QCheckBox *&outCheck) {
        outBox = Box(this, box, caption);
        outOldText = Text(outBox, oldText, OldText);
        outOld = AddressSpinEdit(outBox, oldEdit, 1, max, max);
        outNewText = Text(outBox, newText, NewText);
        outNew = AddressSpinEdit(outBox, newEdit, 1, max, max);
        outButton = new QToolButton(outBox);
        outButton->setObjectName(QLatin1String(button));
        outButton->setText(QStringLiteral("Записать"));
        outButton->setCheckable(true);
        outInner = Box(outBox, inner, QStringLiteral("Для новых устройств"));
        outCheck = new QCheckBox(QStringLiteral("Программирование с автоинкрементом"), outInner);
        outCheck->setObjectName(QLatin1String(check));
        // Qt's default margins, twice nested, would not leave the right column room for the
        // check box's caption.
        auto *innerLayout = new QVBoxLayout(outInner);
        innerLayout->addWidget(outCheck);
        auto *grid = new QGridLayout(outBox);
        for (QLayout *l : {static_cast<QLayout *>(innerLayout), static_cast<QLayout *>(grid)}) {
            const QMargins m = l->contentsMargins();
            l->setContentsMargins(5, m.top(), 5, m.bottom());
        }
        grid->addWidget(outOldText, 0, 0);
        grid->addWidget(outNewText, 0, 1);
        grid->addWidget(outOld, 1, 0);
        grid->addWidget(outNew, 1, 1);
        grid->addWidget(outButton, 1, 2);
        grid->addWidget(outInner, 2, 0, 1, 3);
    };
    makeSensorGroup("GroupBox_AddrDet", QStringLiteral("Смена адреса извещателя (Тиврон-А)"), "StaticText_OldAddrDet",
                    "CSpinEdit_OldAddrDet", "StaticText_NewAddrDet", "CSpinEdit_NewAddrDet", 99, "sbSaveAddrDet",
                    "GroupBox3", "cbAutoIncAddrDet", GroupBox_AddrDet, StaticText_OldAddrDet, CSpinEdit_OldAddrDet,
                    StaticText_NewAddrDet, CSpinEdit_NewAddrDet, sbSaveAddrDet, GroupBox3, cbAutoIncAddrDet);
    makeSensorGroup("GroupBox_AddrMod", QStringLiteral("Смена адреса модуля (Тиврон-А)"), "StaticText_OldAddrMod",
                    "CSpinEdit_OldAddrMod", "StaticText_NewAddrMod", "CSpinEdit_NewAddrMod", 40, "sbSaveAddrMod",
                    "GroupBox2", "cbAutoIncAddrMod", GroupBox_AddrMod, StaticText_OldAddrMod, CSpinEdit_OldAddrMod,
                    StaticText_NewAddrMod, CSpinEdit_NewAddrMod, sbSaveAddrMod, GroupBox2, cbAutoIncAddrMod);

    GroupBox_SpecCommand = Box(this, "GroupBox_SpecCommand", QStringLiteral("Специальные команды"));
    btnRestart = Button(GroupBox_SpecCommand, "btnRestart", QStringLiteral("Перезапуск прибора"));
    btnArchive = Button(GroupBox_SpecCommand, "btnArchive", QStringLiteral("Считать протокол событий"));
    btnDefSettings = Button(GroupBox_SpecCommand, "btnDefSettings", QStringLiteral("Установка заводских параметров"));
    auto *specLayout = new QVBoxLayout(GroupBox_SpecCommand);
    specLayout->addWidget(btnRestart);
    specLayout->addWidget(btnArchive);
    specLayout->addStretch(1);
    specLayout->addWidget(btnDefSettings);

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Image1 = Text(Panel2, "Image1", QString());
    Image1->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    btnClose = Button(Panel2, "btnClose", QStringLiteral("Закрыть"));
    auto *panelLayout = new QHBoxLayout(Panel2);
    panelLayout->addWidget(Image1);
    panelLayout->addStretch(1);
    panelLayout->addWidget(btnClose);

    auto *right = new QVBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(GroupBox1), static_cast<QWidget *>(GroupBox_AddrDev),
                       static_cast<QWidget *>(GroupBox_AddrDet), static_cast<QWidget *>(GroupBox_AddrMod),
                       static_cast<QWidget *>(GroupBox_SpecCommand)})
        right->addWidget(w);
    right->addStretch(1);
    right->addWidget(Panel2);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(DeviceCountText + QStringLiteral("0"), StatusBar);
    StatusPanel0->setAlignment(Qt::AlignCenter);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setAlignment(Qt::AlignCenter);
    StatusPanel1->setMinimumWidth(50);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1, 1);
    // Panel 0 spans the device list's column.
    StatusPanel0->setFixedWidth(GroupBox_NameDevice->width());

    auto *columns = new QHBoxLayout;
    columns->addWidget(GroupBox_NameDevice);
    columns->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addLayout(columns, 1);
    layout->addWidget(StatusBar);

    auto guarded = [this](void (TChengeAddresDeviceForm::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(RadioButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            SortOrder = id;
            RunGuarded([this] { RadioGroup1Click(); });
        }
    });
    connect(SpeedButton1, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::SpeedButton1Click));
    connect(btnSaveAddrDev, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::btnSaveAddrDevClick));
    connect(sbSaveAddrDet, &QToolButton::clicked, this, guarded(&TChengeAddresDeviceForm::sbSaveAddrDetClick));
    connect(sbSaveAddrMod, &QToolButton::clicked, this, guarded(&TChengeAddresDeviceForm::sbSaveAddrModClick));
    connect(cbAutoIncAddrDet, &QCheckBox::clicked, this, guarded(&TChengeAddresDeviceForm::cbAutoIncAddrDetClick));
    connect(cbAutoIncAddrMod, &QCheckBox::clicked, this, guarded(&TChengeAddresDeviceForm::cbAutoIncAddrModClick));
    connect(btnRestart, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::btnRestartClick));
    connect(btnArchive, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::btnArchiveClick));
    connect(btnDefSettings, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::btnDefSettingsClick));
    connect(btnClose, &QPushButton::clicked, this, guarded(&TChengeAddresDeviceForm::btnCloseClick));

    TimerFindCanDevices.SetEnabled(false);
    TimerFindCanDevices.SetInterval(1000);
    TimerFindCanDevices.SetOnTimer([this] { RunGuarded([this] { TimerFindCanDevicesTimer(); }); });

    WasConnected = UsbCan.Connected;
    ModelName.clear();
    DisableServiceControls();
}

TChengeAddresDeviceForm::~TChengeAddresDeviceForm() { TimerFindCanDevices.SetEnabled(false); }

TChengeAddresDeviceForm::SensorGroup TChengeAddresDeviceForm::Group(SensorKind kind) const
{
    if (kind == SensorKind::Detector)
        return {GroupBox_AddrDet, StaticText_OldAddrDet, StaticText_NewAddrDet, CSpinEdit_OldAddrDet,
                CSpinEdit_NewAddrDet, sbSaveAddrDet, cbAutoIncAddrDet};
    return {GroupBox_AddrMod, StaticText_OldAddrMod, StaticText_NewAddrMod, CSpinEdit_OldAddrMod,
            CSpinEdit_NewAddrMod, sbSaveAddrMod, cbAutoIncAddrMod};
}

void TChengeAddresDeviceForm::EnableSensorGroup(SensorKind kind, bool enabled)
{
    const SensorGroup g = Group(kind);
    for (QWidget *w : std::initializer_list<QWidget *>{g.box, g.oldText, g.newText, g.oldEdit, g.newEdit, g.button,
                                                       g.autoInc})
        w->setEnabled(enabled);
}

void TChengeAddresDeviceForm::DisableServiceControls()
{
    Label_ver->clear();
    for (QWidget *w : std::initializer_list<QWidget *>{GroupBox_AddrDev, StaticText_AddrDev, CSpinEdit_NewAddrDev,
                                                       btnSaveAddrDev, GroupBox_SpecCommand, btnDefSettings,
                                                       btnRestart, btnArchive})
        w->setEnabled(false);
    EnableSensorGroup(SensorKind::Detector, false);
    EnableSensorGroup(SensorKind::Module, false);
}

CTreeNode *TChengeAddresDeviceForm::SelectedNode() const
{
    const QModelIndexList rows = tvDevice->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : tvDevice->treeModel()->nodeAt(rows.first());
}

void TChengeAddresDeviceForm::SelectNode(CTreeNode *node)
{
    const QModelIndex index = tvDevice->treeModel()->indexOf(node);
    if (index.isValid())
        tvDevice->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---- opening, search, closing

void TChengeAddresDeviceForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void TChengeAddresDeviceForm::FormShow()
{
    Closing = false;
    LinkPump &pump = CurrentLinkPump();
    if (!WasConnected) {
        pump.Status(ConnectingText, 1);
        const int code = UsbCan.Connect();
        if (code != 0) {
            pump.Status(ConnectFailedText + IntToText(code), 2);
            UsbCan.Disconnect();
            TimerFindCanDevices.SetEnabled(false);
            return;
        }
        pump.Status(ConnectedText, 0);
    }
    StartDeviceSearch();
}

void TChengeAddresDeviceForm::StartDeviceSearch()
{
    DisableServiceControls();
    tvDevice->items().clear();
    if (SendSearchBroadcast(Hooks.Clock ? Hooks.Clock() : QDateTime::currentDateTime(), 0) == 0) {
        LoadXmlToTree(CatalogueFile, Catalogue);
        TimerFindCanDevices.SetEnabled(true);
    } else {
        TimerFindCanDevices.SetEnabled(false);
    }
}

void TChengeAddresDeviceForm::TimerFindCanDevicesTimer()
{
    // A tick inside a wait of this window would drain and drop the answer it waits for.
    if (WaitDepth > 0)
        return;
    PollSearchAnswers(Catalogue, tvDevice->items(), SearchPacketTotal,
                      [this](int count) { StatusPanel1->setText(PacketsReceivedText + IntToText(count)); });
    StatusPanel0->setText(DeviceCountText + IntToText(tvDevice->items().count()));
}

void TChengeAddresDeviceForm::SpeedButton1Click()
{
    StatusPanel0->setText(DeviceCountText + QStringLiteral("0"));
    StartDeviceSearch();
}

void TChengeAddresDeviceForm::FormClose()
{
    Closing = true;
    TimerFindCanDevices.SetEnabled(false);
    // However the window closes, an auto-increment run behind it ends.
    sbSaveAddrDet->setChecked(false);
    sbSaveAddrMod->setChecked(false);
    if (!WasConnected) {
        if (ExchangeInProgress())
            CallWhenExchangesEnd([] { UsbCan.Disconnect(); });
        else
            UsbCan.Disconnect();
    }
}

void TChengeAddresDeviceForm::btnCloseClick()
{
    sbSaveAddrDet->setChecked(false);
    sbSaveAddrMod->setChecked(false);
    close();
}

void TChengeAddresDeviceForm::done(int result)
{
    if (!Closing)
        RunGuarded([this] { FormClose(); });
    QDialog::done(result);
}

// ---- the list

int TChengeAddresDeviceForm::tvDeviceCompare(const CTreeNode *node1, const CTreeNode *node2) const
{
    return CompareDeviceTexts(node1->text, node2->text, SortOrder);
}

void TChengeAddresDeviceForm::RadioGroup1Click()
{
    if (SortOrder < 0)
        return;
    if (CTreeNode *again = SortDeviceList(tvDevice->items(), SortOrder, SelectedNode()))
        SelectNode(again);
}

bool TChengeAddresDeviceForm::eventFilter(QObject *watched, QEvent *event)
{
    // The press has moved the selection by the time the button comes up; one below the last device
    // chose nothing and asks nothing.
    if (watched == tvDevice->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && !tvDevice->pressedOnEmpty()) {
        const bool handled = QDialog::eventFilter(watched, event);
        RunGuarded([this] { tvDeviceClick(); });
        return handled;
    }
    return QDialog::eventFilter(watched, event);
}

int TChengeAddresDeviceForm::GuardedWait(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched)
{
    WaitScope scope(WaitDepth);
    return WaitForPacket(pattern, timeout, matched);
}

void TChengeAddresDeviceForm::tvDeviceClick()
{
    const int click = ++ClickCount;
    DisableServiceControls();
    const CTreeNode *node = SelectedNode();
    if (!node)
        return;
    const QString name = DeviceTextName(node->text);
    const int address = DeviceTextAddress(node->text);
    ModelName = name;
    for (QWidget *w : std::initializer_list<QWidget *>{GroupBox_AddrDev, StaticText_AddrDev, CSpinEdit_NewAddrDev,
                                                       btnSaveAddrDev, GroupBox_SpecCommand, btnDefSettings, btnRestart})
        w->setEnabled(true);
    const ServiceModelRule rule = ServiceModelRuleOf(name);
    EnableSensorGroup(SensorKind::Detector, rule.sensorGroups);
    EnableSensorGroup(SensorKind::Module, rule.sensorGroups);
    if (rule.setsLimits) {
        GroupBox_AddrDet->setTitle(rule.detectorCaption);
        GroupBox_AddrMod->setTitle(rule.moduleCaption);
        for (CAddressSpinEdit *e : {CSpinEdit_OldAddrDet, CSpinEdit_NewAddrDet}) {
            e->setMaximum(rule.detectorMax);
            e->setValue(rule.detectorMax);
        }
        for (CAddressSpinEdit *e : {CSpinEdit_OldAddrMod, CSpinEdit_NewAddrMod}) {
            e->setMaximum(rule.moduleMax);
            e->setValue(rule.moduleMax);
        }
    }
    btnArchive->setEnabled(rule.archive);
    CSpinEdit_NewAddrDev->setValue(address);

    QString version = QStringLiteral("-");
    Label_ver->setText(version);
    // Address 0 or above 256 has no wire address of its own (FF is the broadcast's).
    if (address >= 1 && address <= 255) {
        FirmwareQueryResult result;
        {
            WaitScope scope(WaitDepth);
            result = QueryFirmwareVersion(uint8_t(address - 1));
        }
        if (result.version) {
            FirmwareMajor = result.version->major;
            FirmwareMinor = result.version->minor;
            FirmwareBuild = result.version->build;
            version = FirmwareVersionText(*result.version);
        } else if (result.sent) {
            version = UnknownVersionText;
        }
        // Another click during the wait has put its own device there.
        if (click != ClickCount)
            return;
    }
    Label_ver->setText(name + QStringLiteral("   ") + version);
}

void TChengeAddresDeviceForm::btnArchiveClick()
{
    const CTreeNode *node = SelectedNode();
    if (!node) {
        ShowMessageDlg(NoDeviceSelectedText, mtInformation, mbOK);
        return;
    }
    if (!UsbCan.Connected)
        return;
    const int address = DeviceTextAddress(node->text);
    if (address - 1 < 0 || address - 1 > 255) {
        ShowMessageDlg(BadAddressText, mtError, mbOK);
        return;
    }
    ModelName = DeviceTextName(node->text);
    const ArchiveKind kind = ArchiveKindOf(ModelName);
    if (kind == ArchiveKind::None)
        return;
    if (Hooks.ShowArchive)
        Hooks.ShowArchive(kind, this, address);
    else if (kind == ArchiveKind::Aspt)
        ShowArchiveASPT(this, address);
    else
        ShowArchiveASPT_A(this, address);
}

// ---- commands

std::optional<int> TChengeAddresDeviceForm::CommandWire(int maxWire, const QString &badText, QToolButton *button)
{
    const CTreeNode *node = SelectedNode();
    std::optional<int> wire;
    if (!node) {
        ShowMessageDlg(NoDeviceSelectedText, mtInformation, mbOK);
    } else if (UsbCan.Connected) {
        const int w = DeviceTextAddress(node->text) - 1;
        if (w < 0 || w > maxWire)
            ShowMessageDlg(badText, mtError, mbOK);
        else
            wire = w;
    }
    if (!wire && button)
        button->setChecked(false);
    return wire;
}

void TChengeAddresDeviceForm::btnSaveAddrDevClick()
{
    const std::optional<int> wire = CommandWire(126, BadAddressText, nullptr);
    if (!wire)
        return;
    const int code = ChangeDeviceAddress(uint8_t(*wire), uint8_t(CSpinEdit_NewAddrDev->Value() - 1));
    if (code != 0) {
        ShowMessageDlg(AddressMaybeNotWrittenText + IntToText(code) + QStringLiteral("]"), mtError, mbOK);
        return;
    }
    StartDeviceSearch();
}

void TChengeAddresDeviceForm::SensorWriteClick(SensorKind kind)
{
    const SensorGroup g = Group(kind);
    const std::optional<int> wire =
        CommandWire(255, kind == SensorKind::Detector ? BadDetectorAddressText : BadAddressText, g.button);
    if (!wire)
        return;
    if (g.autoInc->isChecked()) {
        ServiceAutoIncHost host(*this, kind);
        ProgramAddressesAutoInc(host, uint8_t(*wire), kind);
        return;
    }
    const uint8_t oldWire = OldSensorWire(g.oldEdit->Value());
    const uint8_t newWire = uint8_t(g.newEdit->Value() - 1);
    SensorChangeResult result;
    {
        WaitScope scope(WaitDepth);
        result = ChangeSensorAddress(uint8_t(*wire), kind, newWire, oldWire);
    }
    if (result.confirmed)
        ShowMessageDlg(QStringLiteral("Команда '") + g.button->text() + QStringLiteral("' отправлена!"), mtInformation, mbOK);
    else
        ShowMessageDlg(AddressMaybeNotWrittenText + IntToText(result.code) + QStringLiteral("]"), mtError, mbOK);
    g.button->setChecked(false);
}

void TChengeAddresDeviceForm::sbSaveAddrDetClick() { SensorWriteClick(SensorKind::Detector); }
void TChengeAddresDeviceForm::sbSaveAddrModClick() { SensorWriteClick(SensorKind::Module); }

void TChengeAddresDeviceForm::SetSensorTexts(SensorKind kind, bool autoInc)
{
    const SensorGroup g = Group(kind);
    g.oldText->setText(autoInc ? FirstText : OldText);
    g.newText->setText(autoInc ? LastText : NewText);
}

void TChengeAddresDeviceForm::AutoIncBoxClick(SensorKind kind)
{
    const SensorKind otherKind = kind == SensorKind::Detector ? SensorKind::Module : SensorKind::Detector;
    const SensorGroup self = Group(kind);
    const SensorGroup other = Group(otherKind);
    if (other.autoInc->isChecked()) {
        other.autoInc->setChecked(false);
        other.button->setChecked(false);
        SetSensorTexts(otherKind, false);
    }
    self.button->setChecked(false);
    if (self.autoInc->isChecked()) {
        if (ModelName == ModelTivronA && !AutoIncFirmwareOk({FirmwareMajor, FirmwareMinor, FirmwareBuild})) {
            ShowMessageDlg(FirmwareTooOldText, mtInformation, mbOK);
            self.autoInc->setChecked(false);
            SetSensorTexts(kind, false);
            return;
        }
        SetSensorTexts(kind, true);
    } else {
        SetSensorTexts(kind, false);
    }
}

void TChengeAddresDeviceForm::cbAutoIncAddrDetClick() { AutoIncBoxClick(SensorKind::Detector); }
void TChengeAddresDeviceForm::cbAutoIncAddrModClick() { AutoIncBoxClick(SensorKind::Module); }

void TChengeAddresDeviceForm::SpecialCommand(QPushButton *button, QString (*build)(const QString &, uint8_t),
                                             bool confirm)
{
    // Asked only for a device the command could go to, and sent only to the device asked about: the
    // list may change while the question is open.
    QString asked;
    if (confirm) {
        if (!CommandWire(255, BadAddressText, nullptr))
            return;
        asked = SelectedNode()->text;
        if (!FactoryResetConfirmed())
            return;
    }
    const std::optional<int> wire = CommandWire(255, BadAddressText, nullptr);
    if (!wire || (confirm && SelectedNode()->text != asked))
        return;
    ModelName = DeviceTextName(SelectedNode()->text);
    const int code = UsbCan.SendPacket(build(ModelName, uint8_t(*wire)));
    if (code == 0)
        ShowMessageDlg(QStringLiteral("Команда '") + button->text() + QStringLiteral("' отправлена."), mtInformation, mbOK);
    else
        ShowMessageDlg(QStringLiteral("Ошибка №") + IntToText(code) + QStringLiteral(", команда '") + button->text() +
                           QStringLiteral("' не отправлена."),
                       mtError, mbOK);
}

// The factory settings wipe the device's whole configuration: only a Yes sends them.
void TChengeAddresDeviceForm::btnDefSettingsClick() { SpecialCommand(btnDefSettings, FactorySettingsText, true); }
void TChengeAddresDeviceForm::btnRestartClick() { SpecialCommand(btnRestart, RestartText); }
