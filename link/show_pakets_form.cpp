#include "link/show_pakets_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/guard.h"
#include "link/monitor_placement.h"
#include "link/text_file_save.h"
#include "link/usb_can.h"
#include "platform/auto_select.h"
#include "platform/fonts.h"
#include "platform/item_delegate.h"
#include "platform/typing_rule.h"

TShowPaketsForm *ShowPaketsForm = nullptr;

namespace {

// Letters become upper case; no more than maxLength characters, by typing or a paste alike.
class UpperCaseValidator : public CTypingValidator {
public:
    UpperCaseValidator(int maxLength, QLineEdit *edit)
        : CTypingValidator(edit, [maxLength](const QString &text, const QString &previous) {
              return WithinLength(text, previous, maxLength);
          })
    {
    }

protected:
    void Shape(QString &input) const override { input = input.toUpper(); }
};

QLineEdit *LabeledEdit(QWidget *parent, const QString &name, const QString &label, int maxLength, QLayout *into)
{
    auto *box = new QVBoxLayout;
    box->setSpacing(2);
    auto *caption = new QLabel(label, parent);
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new UpperCaseValidator(maxLength, edit));
    SelectAllOnFocus(edit);
    caption->setBuddy(edit);
    box->addWidget(caption);
    box->addWidget(edit);
    static_cast<QHBoxLayout *>(into)->addLayout(box);
    return edit;
}

QPushButton *Button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// Width of a column: 8 pixels per character of its sizing template.
constexpr int kColumnChars[CPacketRowStore::ColCount] = {5, 9, 9, 16, 11}; // "00000", "00:00:00:", "FFFFFFFFX", 16 x F, "(Отправлен)"

} // namespace

TShowPaketsForm::TShowPaketsForm(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window), mainWindow_(mainWindow), rows_(this), saveDialog_(SaveTxtFileDialog)
{
    setObjectName(QStringLiteral("ShowPaketsForm"));
    setWindowTitle(QStringLiteral("Просмотр принятых/отправленных данных"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(436, 601);
    setFont(Tahoma(11)); // the design's small face: the window's own, not the desktop's

    GroupBox1 = new QGroupBox(QStringLiteral("Командная строка"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *command = new QHBoxLayout(GroupBox1);
    LabeledEdit_Id = LabeledEdit(GroupBox1, QStringLiteral("LabeledEdit_Id"), QStringLiteral("Id"), 8, command);
    LabeledEdit_Data = LabeledEdit(GroupBox1, QStringLiteral("LabeledEdit_Data"), QStringLiteral("Data"), 16, command);
    command->setStretch(0, 1);
    command->setStretch(1, 2);
    Button_Execute = Button(GroupBox1, QStringLiteral("Button_Execute"), QStringLiteral("Выполнить"));
    Button_Execute->setDefault(true);
    command->addWidget(Button_Execute, 0, Qt::AlignBottom);

    StringGridPaket = new QTableView(this);
    StringGridPaket->setObjectName(QStringLiteral("StringGridPaket"));
    StringGridPaket->setModel(&rows_);
    StringGridPaket->setItemDelegate(new CDesignItemDelegate(StringGridPaket, 2));
    StringGridPaket->verticalHeader()->hide();
    StringGridPaket->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGridPaket->verticalHeader()->setDefaultSectionSize(18);
    StringGridPaket->verticalHeader()->setMinimumSectionSize(18);
    StringGridPaket->horizontalHeader()->setDefaultSectionSize(18);
    StringGridPaket->horizontalHeader()->setHighlightSections(false);
    StringGridPaket->horizontalHeader()->setStretchLastSection(false);
    for (int col = 0; col < CPacketRowStore::ColCount; ++col)
        StringGridPaket->setColumnWidth(col, 8 * kColumnChars[col]);
    StringGridPaket->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGridPaket->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGridPaket->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                     QAbstractItemView::AnyKeyPressed);
    StringGridPaket->setWordWrap(false);
    StringGridPaket->setCurrentIndex(rows_.index(0, 1));

    CheckBox_CanMonitor = new QCheckBox(QStringLiteral(" мониторинг CAN линии"), this);
    CheckBox_CanMonitor->setObjectName(QStringLiteral("CheckBox_CanMonitor"));
    Clear = Button(this, QStringLiteral("Clear"), QStringLiteral("Очистить"));
    SaveToFile = Button(this, QStringLiteral("SaveToFile"), QStringLiteral("Сохранить в файл"));
    Close = Button(this, QStringLiteral("Close"), QStringLiteral("Закрыть"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(CheckBox_CanMonitor);
    bar->addStretch(1);
    bar->addWidget(Clear);
    bar->addWidget(SaveToFile);
    bar->addWidget(Close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(GroupBox1);
    layout->addWidget(StringGridPaket, 1);
    layout->addLayout(bar);

    Timer_checkRx = new QTimer(this);
    Timer_checkRx->setObjectName(QStringLiteral("Timer_checkRx"));
    Timer_checkRx->setInterval(1000);

    // Enter in the command line runs it, as the window's default button.
    connect(LabeledEdit_Id, &QLineEdit::returnPressed, this, &TShowPaketsForm::Button_ExecuteClick);
    connect(LabeledEdit_Data, &QLineEdit::returnPressed, this, &TShowPaketsForm::Button_ExecuteClick);
    connect(Button_Execute, &QPushButton::clicked, this, &TShowPaketsForm::Button_ExecuteClick);
    connect(CheckBox_CanMonitor, &QCheckBox::toggled, this, &TShowPaketsForm::CheckBox_CanMonitorClick);
    connect(Clear, &QPushButton::clicked, this, &TShowPaketsForm::ClearClick);
    connect(SaveToFile, &QPushButton::clicked, this, &TShowPaketsForm::SaveToFileClick);
    connect(Close, &QPushButton::clicked, this, &TShowPaketsForm::CloseClick);
    connect(Timer_checkRx, &QTimer::timeout, this, &TShowPaketsForm::Timer_checkRxTimer);
    connect(&rows_, &CPacketRowModel::RowsFlushed, this, &TShowPaketsForm::ShowNewestRow);
    // The engineer's own moves decide whether the grid keeps following the newest packet.
    connect(StringGridPaket->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!placing_ && current.isValid())
                    following_ = current.row() == rows_.rowCount() - 1;
            });
    connect(StringGridPaket->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!placing_)
            following_ = value == StringGridPaket->verticalScrollBar()->maximum() &&
                         StringGridPaket->currentIndex().row() == rows_.rowCount() - 1;
    });

    // Hidden at first: rows wait in the store until the window is shown.
    rows_.SetHoldBack(true);
    SetPacketLog(&rows_);
}

TShowPaketsForm::~TShowPaketsForm()
{
    if (CurrentPacketLog() == &rows_)
        SetPacketLog(nullptr);
    if (ShowPaketsForm == this)
        ShowPaketsForm = nullptr;
}

void TShowPaketsForm::AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action)
{
    rows_.AddPacketRow(time, id, data, action);
}

void TShowPaketsForm::SetSaveDialog(SaveDialogFn dialog)
{
    saveDialog_ = dialog ? std::move(dialog) : SaveDialogFn(SaveTxtFileDialog);
}

QString TShowPaketsForm::PresetFileName(const QDateTime &moment)
{
    return FileNameSafe(QStringLiteral("CAN монитор ") + LocalDateTimeText(moment));
}

// A loss row's text spans the identifier, data and action columns, so it reads whole.
void TShowPaketsForm::SpanLossRows(int shownRows)
{
    const std::vector<int> &losses = rows_.Store().LossRows();
    if (spannedLosses_ > losses.size()) { // cleared
        StringGridPaket->clearSpans();
        spannedLosses_ = 0;
    }
    for (; spannedLosses_ < losses.size() && losses[spannedLosses_] - 1 < shownRows; ++spannedLosses_)
        StringGridPaket->setSpan(losses[spannedLosses_] - 1, 2, 1, CPacketRowStore::ColCount - 2);
}

void TShowPaketsForm::ShowNewestRow(int emptyRow)
{
    SpanLossRows(emptyRow);
    if (!following_)
        return; // the engineer looks at another row
    const QScopedValueRollback placing(placing_, true);
    const int col = std::max(1, StringGridPaket->currentIndex().column());
    const QModelIndex newest = rows_.index(emptyRow, col);
    StringGridPaket->selectionModel()->setCurrentIndex(newest, QItemSelectionModel::ClearAndSelect);
    // The view lays out new rows later: scrolling to the row alone stops at the old end of the grid,
    // a whole batch short. The empty row is the last one.
    StringGridPaket->scrollToBottom();
}

void TShowPaketsForm::PlaceBesideMainWindow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect monitor(pos(), size());
    if (!mainWindow_) {
        move(0, 0);
        return;
    }
    const QRect main(mainWindow_->pos(), mainWindow_->size());
    const MonitorPlacement p = PlaceMonitorOnShow(monitor, main, mainWindow_->isMaximized(), screen->geometry().size());
    move(p.monitor.topLeft());
    resize(p.monitor.size());
    if (p.mainNormal)
        mainWindow_->showNormal();
    mainWindow_->move(p.main.topLeft());
    mainWindow_->resize(p.main.size());
}

void TShowPaketsForm::FormShow()
{
    RunGuarded([this] {
        PlaceBesideMainWindow();
        Link.Shown();
        if (CheckBox_CanMonitor->isChecked())
            Timer_checkRx->start();
        else
            Timer_checkRx->stop();
        rows_.SetHoldBack(false);
        rows_.Flush();
    });
}

void TShowPaketsForm::FormClose()
{
    RunGuarded([this] {
        Link.Closed();
        Timer_checkRx->stop();
    });
}

void TShowPaketsForm::CloseClick() { close(); }

void TShowPaketsForm::ClearClick()
{
    RunGuarded([this] {
        following_ = true;
        rows_.Clear();
    });
}

void TShowPaketsForm::Button_ExecuteClick()
{
    RunGuarded([this] { Link.Execute(LabeledEdit_Id->text(), LabeledEdit_Data->text()); });
}

void TShowPaketsForm::CheckBox_CanMonitorClick()
{
    RunGuarded([this] {
        if (CheckBox_CanMonitor->isChecked() && isVisible())
            Timer_checkRx->start();
        else
            Timer_checkRx->stop();
    });
}

void TShowPaketsForm::Timer_checkRxTimer()
{
    RunGuarded([this] {
        if (Link.Tick())
            DrainMore();
    });
}

// A drain stops at its limit so the window keeps responding; the rest follows on the next turns
// of the event loop, until the adapter is empty.
void TShowPaketsForm::DrainMore()
{
    if (drainQueued_)
        return;
    drainQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        drainQueued_ = false;
        RunGuarded([this] {
            if (Timer_checkRx->isActive() && UsbCan.Connected &&
                UsbCan.ReceivePackets(UsbCan.RxPackets) >= CUsbCan::MaxFramesPerDrain)
                DrainMore();
        });
    });
}

void TShowPaketsForm::SaveToFileClick()
{
    RunGuarded([this] {
        const std::optional<QString> chosen = saveDialog_(this, PresetFileName(QDateTime::currentDateTime()));
        if (!chosen)
            return;
        const std::optional<QString> name = ConfirmSaveFileName(*chosen, AppendTxtUnlessContained);
        if (!name)
            return;
        SaveGridToFile(*name, rows_.Store());
    });
}

void TShowPaketsForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TShowPaketsForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TShowPaketsForm::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        Timer_checkRx->stop();
        rows_.SetHoldBack(true);
    }
}
