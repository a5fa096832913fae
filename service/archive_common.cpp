#include "service/archive_common.h"

#include <QBrush>
#include <QColor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "app/guard.h"
#include "editor/controls.h"
#include "link/text_file_save.h"
#include "link/usb_can.h"
#include "platform/fonts.h"
#include "platform/item_delegate.h"

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

void CArchiveReader::Ask(const QString &request, const PacketPattern &pattern, bool &failed,
                         const std::function<void(const CanPacket &)> &fill)
{
    CanPacket answer;
    switch (AskArchive(request, pattern, answer)) {
    case ArchiveAnswer::Received:
        fill(answer);
        Changed();
        break;
    case ArchiveAnswer::Missing:
        failed = true;
        break;
    case ArchiveAnswer::Refused:
        break;
    }
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

CArchiveForm::CArchiveForm(QWidget *owner, std::unique_ptr<ITimerBackend> timerBackend, QString titlePrefix)
    : QDialog(owner), Timer1(this, std::move(timerBackend)), titlePrefix_(std::move(titlePrefix)),
      saveDialog_(ArchiveSaveDialog)
{
}

CArchiveForm::~CArchiveForm() = default;

void CArchiveForm::Build(CArchiveReader &reader, int records, int columns, const int *widths, CArchiveGridModel::CellFn cell,
                         const QString &groupBox1Title, const std::function<void()> &fillGroupBox1)
{
    archive_ = &reader;
    // The design's small face, as in the service window: the grid's columns were made for it.
    setFont(Tahoma(11));
    model_ = new CArchiveGridModel(records, columns, std::move(cell), this);
    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(model_);
    StringGrid1->setItemDelegate(new CDesignItemDelegate(StringGrid1, 2));
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->verticalHeader()->setDefaultSectionSize(20);
    for (int c = 0; c < columns; ++c)
        StringGrid1->setColumnWidth(c, widths[c]);

    GroupBox1 = new QGroupBox(groupBox1Title, this);
    fillGroupBox1();

    GroupBox2 = new QGroupBox(QStringLiteral("Последняя запись №"), this);
    Edit_TotalLog = new QLineEdit(GroupBox2);
    Edit_TotalLog->setObjectName(QStringLiteral("Edit_TotalLog"));
    Edit_TotalLog->setEnabled(false);
    (new QHBoxLayout(GroupBox2))->addWidget(Edit_TotalLog);

    GroupBox3 = new QGroupBox(QStringLiteral("Пауза между запросами (мс)"), this);
    CSpinEdit_Pause = new CSpinEdit(GroupBox3);
    CSpinEdit_Pause->setObjectName(QStringLiteral("CSpinEdit_Pause"));
    CSpinEdit_Pause->SetRange(1, 1000);
    CSpinEdit_Pause->SetValue(10);
    ArrowsOnly(CSpinEdit_Pause);
    (new QHBoxLayout(GroupBox3))->addWidget(CSpinEdit_Pause);

    SpeedButton_Load = new QPushButton(QStringLiteral("Считать архив"), this);
    SpeedButton_Load->setObjectName(QStringLiteral("SpeedButton_Load"));
    sbSaveAddrMod = new QPushButton(QStringLiteral("Сохранить в файл"), this);
    sbSaveAddrMod->setObjectName(QStringLiteral("sbSaveAddrMod"));
    toggles_ = new CArchiveToggles(SpeedButton_Load, sbSaveAddrMod, this);
    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton *b : {SpeedButton_Load, sbSaveAddrMod, btnClose})
        b->setAutoDefault(false);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(GroupBox1);
    bottom->addWidget(GroupBox2);
    bottom->addWidget(GroupBox3);
    bottom->addStretch();
    bottom->addWidget(SpeedButton_Load);
    bottom->addWidget(sbSaveAddrMod);
    bottom->addWidget(btnClose);
    // The grid fills the window above the bottom panel, edge to edge as designed.
    bottom->setContentsMargins(6, 0, 6, 6);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(StringGrid1, 1);
    layout->addLayout(bottom);

    Timer1.SetEnabled(false);
    Timer1.SetInterval(10);
    Timer1.SetOnTimer([this] { Timer1Timer(); });

    archive_->OnChanged = [this] { Sync(); };
    connect(SpeedButton_Load, &QPushButton::toggled, this, [this](bool down) {
        if (!syncing_)
            archive_->Loading = down;
    });
    connect(SpeedButton_Load, &QPushButton::clicked, this, [this] { SpeedButton_LoadClick(); });
    connect(sbSaveAddrMod, &QPushButton::clicked, this, [this] { sbSaveAddrModClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void CArchiveForm::Detach()
{
    // The dialog hides its children after the reader is gone: the grid must not read it then.
    archive_->OnChanged = nullptr;
    StringGrid1->setModel(nullptr);
}

void CArchiveForm::SetSaveDialog(SaveDialogFn dialog)
{
    saveDialog_ = dialog ? std::move(dialog) : SaveDialogFn(ArchiveSaveDialog);
}

void CArchiveForm::Follow(QSpinBox *spin, int &field)
{
    connect(spin, &QSpinBox::valueChanged, this, [this, &field](int v) {
        if (!syncing_)
            field = v;
    });
}

void CArchiveForm::Sync()
{
    syncing_ = true;
    model_->Refresh();
    Edit_TotalLog->setText(archive_->TotalLog);
    SyncOwn();
    SpeedButton_Load->setChecked(archive_->Loading);
    syncing_ = false;
}

void CArchiveForm::FormShow()
{
    RunGuarded([this] {
        archive_->AddressHex = AddressHex;
        setWindowTitle(titlePrefix_ + QString::number(ArchiveWireOf(AddressHex) + 1));
        archive_->Prepare();
    });
}

void CArchiveForm::SpeedButton_LoadClick()
{
    RunGuarded([this] {
        if (!SpeedButton_Load->isChecked())
            return; // the tick under way finishes and does not re-arm
        archive_->Loading = true;
        archive_->Start();
        Timer1.SetEnabled(true);
    });
}

void CArchiveForm::Timer1Timer()
{
    RunGuarded([this] {
        Timer1.SetEnabled(false);
        Timer1.SetInterval(CSpinEdit_Pause->Value());
        const int row = TickRow();
        // The record being read stays in view.
        if (row > 0) {
            const QModelIndex cell = model_->index(row - 1, 1);
            StringGrid1->setCurrentIndex(cell);
            StringGrid1->scrollTo(cell);
        }
        if (archive_->Loading)
            Timer1.SetEnabled(true);
    });
}

void CArchiveForm::btnCloseClick()
{
    close();
}

void CArchiveForm::sbSaveAddrModClick()
{
    if (!sbSaveAddrMod->isChecked())
        return;
    RunGuarded([this] {
        struct Release {
            QPushButton *button;
            ~Release() { button->setChecked(false); }
        } release{sbSaveAddrMod};
        const std::optional<QString> chosen = saveDialog_(this, windowTitle());
        if (!chosen)
            return;
        const std::optional<QString> name =
            ConfirmSaveFileName(*chosen, [](const QString &n) { return ReplaceExtension(n, QStringLiteral(".txt")); });
        if (!name)
            return;
        SaveTo(*name);
    });
}

void CArchiveForm::FormClose()
{
    Timer1.SetEnabled(false);
    // A tick still waiting for an answer must not arm the timer of a closed window again.
    archive_->Loading = false;
    Sync();
}

void CArchiveForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void CArchiveForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}
