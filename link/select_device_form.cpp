#include "link/select_device_form.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "app/settings.h"
#include "link/device_search.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_images.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "platform/auto_select.h"
#include "platform/fonts.h"

// ---- CAddressSpinEdit

CAddressSpinEdit::CAddressSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    SelectAllOnFocus(this);
    LastText = lineEdit()->text();
    // Typing reaches the line edit's signal (also for text out of the range); a value set from code
    // only QSpinBox's own, since the spin box blocks its line edit's signals while it writes.
    connect(lineEdit(), &QLineEdit::textChanged, this, &CAddressSpinEdit::Changed);
    connect(this, &QSpinBox::textChanged, this, &CAddressSpinEdit::Changed);
}

void CAddressSpinEdit::Changed(const QString &text)
{
    if (text == LastText)
        return;
    LastText = text;
    emit TextChanged(text);
}

void CAddressSpinEdit::fixup(QString &input) const
{
    if (const std::optional<int> v = ParseDecimalInt(input.trimmed()))
        input = QString::number(std::clamp(*v, minimum(), maximum()));
}

QValidator::State CAddressSpinEdit::validate(QString &input, int &) const
{
    if (input.isEmpty())
        return QValidator::Intermediate;
    for (QChar c : input)
        if (!c.isDigit() || c.unicode() > 0x7F)
            return QValidator::Invalid;
    if (input.size() > 9)
        return QValidator::Invalid;
    const int v = input.toInt();
    return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

int CAddressSpinEdit::Value() const
{
    const std::optional<int> v = ParseDecimalInt(lineEdit()->text().trimmed());
    if (!v)
        return minimum();
    return std::clamp(*v, minimum(), maximum());
}

QString CAddressSpinEdit::Text() const { return lineEdit()->text(); }

void CAddressSpinEdit::SetText(const QString &text) { lineEdit()->setText(text); }

// ---- TSelectDeviceForm

namespace {

} // namespace

CTreeView *NewDeviceListView(QWidget *parent)
{
    auto *view = new CTreeView(parent);
    view->setObjectName(QStringLiteral("tvDevice"));
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setIndentation(0);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setFont(Tahoma(16));
    return view;
}

QButtonGroup *AddSortOrderButtons(QGroupBox *box, QObject *owner)
{
    auto *group = new QButtonGroup(owner);
    auto *layout = new QGridLayout(box);
    const QString items[2] = {QStringLiteral("по имени"), QStringLiteral("по адресу ")};
    for (int i = 0; i < 2; ++i) {
        auto *b = new QRadioButton(items[i], box);
        group->addButton(b, i);
        layout->addWidget(b, 0, i);
    }
    return group;
}

TSelectDeviceForm::TSelectDeviceForm(QWidget *owner, bool search, CTree &catalogue, const QString &cataloguePath,
                                     TSelectDeviceHooks hooks)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      TimerFindCanDevices(this, std::move(hooks.TimerBackend)), Catalogue(catalogue), CatalogueFile(cataloguePath)
{
    setObjectName(QStringLiteral("SelectDeviceForm"));
    setWindowTitle(QStringLiteral("Выберите прибор"));
    setModal(true);
    resize(330, 420);
    setFont(Tahoma(11)); // the design's small face: the window's own, not the desktop's

    RadioGroup1 = new QGroupBox(QStringLiteral("Сортировка приборов"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioButtons = AddSortOrderButtons(RadioGroup1, this);

    tvDevice = NewDeviceListView(this);
    tvDevice->setIconSize(QSize(24, 24));
    tvDevice->treeModel()->setImages(ConfigImageList());
    tvDevice->viewport()->installEventFilter(this);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    GroupBox1 = new QGroupBox(QStringLiteral("Адрес прибора"), Panel1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    LabelNameDev = new QLabel(GroupBox1);
    LabelNameDev->setObjectName(QStringLiteral("LabelNameDev"));
    LabelNameDev->setFont(Tahoma(13, true));
    LabelNameDev->clear();
    // Address 0 would give wire address -1 in every later packet: the range starts at 1.
    CSpinEdit_addrDev = new CAddressSpinEdit(GroupBox1);
    CSpinEdit_addrDev->setObjectName(QStringLiteral("CSpinEdit_addrDev"));
    CSpinEdit_addrDev->setRange(1, 255);
    CSpinEdit_addrDev->setValue(1);
    CSpinEdit_addrDev->setEnabled(false);
    auto *addressLayout = new QHBoxLayout(GroupBox1);
    addressLayout->addWidget(LabelNameDev, 1);
    addressLayout->addWidget(CSpinEdit_addrDev);

    btnSelect = new QPushButton(QStringLiteral("Выбрать"), Panel1);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setDefault(true);
    btnSelect->setEnabled(false); // until a catalogue model is selected
    btnCancel = new QPushButton(QStringLiteral(" Отмена "), Panel1);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(GroupBox1);
    panelLayout->addLayout(buttons);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setAlignment(Qt::AlignCenter);
    StatusPanel0->setMinimumWidth(50);
    StatusBar->addWidget(StatusPanel0, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(RadioGroup1);
    layout->addWidget(tvDevice, 1);
    layout->addWidget(Panel1);
    layout->addWidget(StatusBar);

    connect(RadioButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            SortOrder = id;
            RunGuarded([this] { RadioGroup1Click(); });
        }
    });
    connect(tvDevice->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!Sorting)
            RunGuarded([this] { tvDeviceChange(); });
    });
    connect(CSpinEdit_addrDev, &CAddressSpinEdit::TextChanged, this,
            [this] { RunGuarded([this] { CSpinEdit_addrDevChange(); }); });
    connect(btnSelect, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSelectClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnCancelClick(); }); });

    SearchPacketTotal = 0;
    TimerFindCanDevices.SetEnabled(false);
    TimerFindCanDevices.SetInterval(1000);
    TimerFindCanDevices.SetOnTimer([this] { RunGuarded([this] { TimerFindCanDevicesTimer(); }); });

    if (search && UsbCan.Connected)
        StartSearch(hooks.Clock ? hooks.Clock() : QDateTime::currentDateTime());
}

TSelectDeviceForm::~TSelectDeviceForm() { TimerFindCanDevices.SetEnabled(false); }

void TSelectDeviceForm::StartSearch(const QDateTime &clock)
{
    if (SendSearchBroadcast(clock, 1) == 0)
        TimerFindCanDevices.SetEnabled(true);
}

void TSelectDeviceForm::TimerFindCanDevicesTimer()
{
    PollSearchAnswers(Catalogue, tvDevice->items(), SearchPacketTotal,
                      [this](int count) { StatusPanel0->setText(PacketsReceivedText + IntToText(count)); });
}

CTreeNode *TSelectDeviceForm::SelectedListNode() const
{
    const QModelIndexList rows = tvDevice->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : tvDevice->treeModel()->nodeAt(rows.first());
}

CTreeNode *TSelectDeviceForm::SelectedModel() const
{
    const CTreeNode *node = SelectedListNode();
    return node ? TopNodeWithText(Catalogue, DeviceTextName(node->text)) : nullptr;
}

QString TSelectDeviceForm::StatusText() const { return StatusPanel0->text(); }

void TSelectDeviceForm::UpdateSelectEnabled()
{
    const CTreeNode *model = SelectedModel();
    btnSelect->setEnabled(model && model->device());
}

void TSelectDeviceForm::tvDeviceChange()
{
    const CTreeNode *node = SelectedListNode();
    if (node) {
        const QString name = DeviceTextName(node->text);
        const int address = DeviceTextAddress(node->text);
        if (TopNodeWithText(Catalogue, name)) {
            LabelNameDev->setText(name);
            CSpinEdit_addrDev->setValue(address);
            CSpinEdit_addrDev->setEnabled(true);
            // An address off the range (a catalogue's 0) is clamped by the edit; the node and the
            // model follow it, so the list shows what is chosen and written.
            if (CSpinEdit_addrDev->value() != address)
                CSpinEdit_addrDevChange();
        }
    }
    UpdateSelectEnabled();
}

void TSelectDeviceForm::CSpinEdit_addrDevChange()
{
    CTreeNode *node = SelectedListNode();
    if (!node || CSpinEdit_addrDev->Text().isEmpty())
        return;
    const QString name = DeviceTextName(node->text);
    const int value = CSpinEdit_addrDev->Value();
    const QString text = DeviceText(name, value);
    if (node->text != text) {
        node->text = text;
        tvDevice->items().changed(node);
    }
    if (CTreeNode *model = TopNodeWithText(Catalogue, name); model && model->device())
        model->device()->device_addr = value;
}

int TSelectDeviceForm::tvDeviceCompare(const CTreeNode *node1, const CTreeNode *node2) const
{
    return CompareDeviceTexts(node1->text, node2->text, SortOrder);
}

void TSelectDeviceForm::RadioGroup1Click()
{
    if (SortOrder < 0)
        return;
    // The list is rebuilt in the new order; the selection stays on the same device.
    Sorting = true;
    if (CTreeNode *again = SortDeviceList(tvDevice->items(), SortOrder, SelectedListNode()))
        SelectListNode(again);
    Sorting = false;
    UpdateSelectEnabled();
}

void TSelectDeviceForm::SelectListNode(CTreeNode *node)
{
    const QModelIndex index = tvDevice->treeModel()->indexOf(node);
    if (!index.isValid())
        return;
    tvDevice->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

CTreeNode *TSelectDeviceForm::AddDevice(CTreeNode *model, int address)
{
    if (!model || !model->device())
        return nullptr;
    const QString text = DeviceText(model->text, address);
    if (CTreeNode *present = TopNodeWithText(tvDevice->items(), text))
        return present;
    CTreeNode *node = tvDevice->items().addChild(nullptr, text, model->sharedAs<CDevice>());
    node->setImage(imgDevice);
    return node;
}

void TSelectDeviceForm::AddCatalogueModels()
{
    for (CTreeNode *n = Catalogue.firstNode(); n; n = n->nextSibling())
        if (n->device())
            AddDevice(n, n->device()->device_addr);
}

CTreeNode *TSelectDeviceForm::PresetDevice(CTreeNode *model, int address)
{
    CTreeNode *node = AddDevice(model, address);
    if (node) {
        SelectListNode(node);
        CSpinEdit_addrDev->setValue(address);
    }
    return node;
}

void TSelectDeviceForm::Choose()
{
    TimerFindCanDevices.SetEnabled(false);
    if (!CatalogueFile.isEmpty())
        SaveDeviceAddresses(Catalogue, CatalogueFile);
    done(mrOk);
}

void TSelectDeviceForm::btnSelectClick()
{
    // Enter reaches a disabled default button too: never close with no model chosen.
    if (!btnSelect->isEnabled() || !SelectedModel())
        return;
    Choose();
}

void TSelectDeviceForm::tvDeviceDblClick()
{
    if (!SelectedListNode() || !SelectedModel())
        return;
    Choose();
}

void TSelectDeviceForm::btnCancelClick()
{
    TimerFindCanDevices.SetEnabled(false);
    done(mrCancel);
}

void TSelectDeviceForm::reject() { btnCancelClick(); }

void TSelectDeviceForm::closeEvent(QCloseEvent *event)
{
    TimerFindCanDevices.SetEnabled(false);
    setResult(mrCancel);
    QDialog::closeEvent(event);
}

bool TSelectDeviceForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tvDevice->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // Let the view update its selection first, as the press before it did.
        const bool handled = QDialog::eventFilter(watched, event);
        RunGuarded([this] { tvDeviceDblClick(); });
        return handled;
    }
    return QDialog::eventFilter(watched, event);
}

int TSelectDeviceForm::Execute()
{
    const int result = exec();
    return result == mrOk ? mrOk : mrCancel;
}

TDeviceChoice TSelectDeviceForm::Choice() const
{
    TDeviceChoice choice;
    if (CTreeNode *model = SelectedModel(); model && model->device()) {
        choice.Model = model->shared();
        choice.Address = CSpinEdit_addrDev->Value();
    }
    return choice;
}
