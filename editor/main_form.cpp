#include "editor/main_form.h"

#include <exception>

#include <QAbstractItemView>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "link/exchange.h"
#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "platform/tool_icons.h"

TMainForm *MainForm = nullptr;

int MonitorLeft(int mainLeft, int monitorWidth)
{
    return mainLeft > monitorWidth ? mainLeft - monitorWidth : 0;
}

namespace {
// The Word button shows no hint, whatever its action carries.
class NoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::ToolTip; }
};
} // namespace

TMainForm::TMainForm(QWidget *owner, TMainFormEnv env) : QMainWindow(owner), Timer1(this), Env(std::move(env))
{
    setWindowTitle(MainCaption);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(13);
    setFont(f);
    ProgramDir = Env.ProgramDir.isEmpty() ? QDir::currentPath() : Env.ProgramDir;
    while (ProgramDir.size() > 1 && ProgramDir.endsWith(u'/'))
        ProgramDir.chop(1);

    BuildActions();
    BuildMenus();
    BuildToolBar();
    // No pop-up menu over the tool bar or the menu bar: Qt's own would let the tool bar be hidden.
    setContextMenuPolicy(Qt::PreventContextMenu);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setContextMenuPolicy(Qt::CustomContextMenu);
    setCentralWidget(PageControl);
    connect(PageControl, &QTabWidget::currentChanged, this, [this] { RunGuarded([this] { PageControlChange(); }); });
    connect(PageControl, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(PageControl->mapToGlobal(pos)); });

    StatusBar = new QStatusBar(this);
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setFixedWidth(600);
    StatusBar->addWidget(StatusPanel0);
    setStatusBar(StatusBar);

    Timer1.SetOnTimer([this] { RunGuarded([this] { Timer1Timer(); }); });

    resize(790, 974);
    FormCreate();
}

TMainForm::~TMainForm()
{
    CancelExchangesEndCall(WaitTextEndCall);
    FormDestroy();
    if (MainForm == this)
        MainForm = nullptr;
}

QAction *TMainForm::MakeAction(const QString &caption, const QString &hint, void (TMainForm::*handler)(),
                               bool deviceCommand)
{
    auto *action = new QAction(caption, this);
    if (!hint.isEmpty())
        action->setToolTip(hint);
    connect(action, &QAction::triggered, this, [this, handler, deviceCommand] {
        const auto run = [this, handler] { (this->*handler)(); };
        if (deviceCommand)
            RunDeviceCommand(run);
        else
            RunGuarded(run);
    });
    return action;
}

void TMainForm::RunDeviceCommand(const std::function<void()> &command)
{
    RunGuarded([&] {
        if (ExchangeInProgress()) {
            SetStatusText(WaitForExchangeText);
            // The text is true only while the exchange runs.
            if (WaitTextEndCall == 0)
                WaitTextEndCall = CallWhenExchangesEnd([this] {
                    WaitTextEndCall = 0;
                    if (StatusText() == WaitForExchangeText)
                        SetStatusText(QString());
                });
            return;
        }
        command();
    });
}

bool TMainForm::HasPages() const
{
    return CurrentDevice && CurrentDevice->device() && !PageIds.isEmpty() && PageControl->count() > 0;
}

bool TMainForm::RequirePages(MsgKind kind)
{
    if (HasPages())
        return true;
    ShowMessageDlg(NoDeviceDataText, kind, mbOK);
    return false;
}

void TMainForm::BuildActions()
{
    actNewFile = MakeAction("Новый", "Создать новую конфигурацию", &TMainForm::actNewFileExecute, true);
    actNewFile->setIcon(ToolIcon(QStyle::SP_FileIcon));
    actOpenFile = MakeAction("Открыть", "Открыть конфигурацию из файла", &TMainForm::actOpenFileExecute, true);
    actOpenFile->setIcon(ToolIcon(QStyle::SP_DialogOpenButton));
    actSaveFile = MakeAction("Сохранить", "Сохранить конфигурацию в файл", &TMainForm::actSaveFileExecute);
    actSaveFile->setIcon(ToolIcon(QStyle::SP_DialogSaveButton));
    actSaveFile->setEnabled(false); // until there is a configuration to save
    actRead = MakeAction("Считать конфигурацию", "Считать конфигурацию из прибора", &TMainForm::actReadExecute, true);
    actRead->setIcon(ToolIcon(QStyle::SP_ArrowDown));
    actWrite = MakeAction("Записать конфигурацию", "Записать конфигурацию в прибор", &TMainForm::actWriteExecute, true);
    actWrite->setIcon(ToolIcon(QStyle::SP_ArrowUp));
    actPakets = MakeAction("Просмотр принятых/отправленных данных", "Просмотр принятых/отправленных данных",
                           &TMainForm::actPaketsExecute);
    actPakets->setIcon(ToolIcon(QStyle::SP_FileDialogDetailedView));
    actChangeAddrDev = MakeAction("Сервис", "Сервис", &TMainForm::actChangeAddrDevExecute, true);
    actChangeAddrDev->setIcon(ToolIcon(QStyle::SP_DriveNetIcon));
    actSettings = MakeAction("Настройки...", "Настройки...", &TMainForm::actSettingsExecute);
    actSettings->setIcon(ToolIcon(QStyle::SP_FileDialogInfoView));
    actExportWord = MakeAction("Microsoft Word", "Microsoft Word", &TMainForm::actExportWordExecute);
    actExportWord->setIcon(ToolIcon(QStyle::SP_FileDialogContentsView));
    actExportExcel = MakeAction("Microsoft Excel", "Microsoft Excel", &TMainForm::actExportExcelExecute);
    actUsersManual = MakeAction("Руководство пользователя", "Руководство пользователя",
                                &TMainForm::actUsersManualExecute);
    actUsersManual->setIcon(ToolIcon(QStyle::SP_DialogHelpButton));
    actUsersManual->setShortcut(QKeySequence(Qt::Key_F1));
    actAbout = MakeAction("О программе...", QString(), &TMainForm::actAboutExecute);

    miExit = MakeAction("Выход", QString(), &TMainForm::miExitClick);
    miStatusBar = MakeAction("Строка состояния", QString(), &TMainForm::miStatusBarClick);
    miStatusBar->setCheckable(true);
    miStatusBar->setChecked(true);
    N23 = MakeAction("Конфигурация...", QString(), &TMainForm::N23Click);
    miExportExcel = new QAction(QStringLiteral("Microsoft Excel"), this); // bound to nothing
    miExportExcel->setEnabled(false);
    miExportExcel->setVisible(false);

    PopupMenu1 = new QMenu(this);
    ChangeAddrDevice = MakeAction("Сменить адрес прибора", QString(), &TMainForm::ChangeAddrDeviceClick, true);
    ChangeAddrSense = MakeAction("Сменить адрес извещателя", QString(), &TMainForm::ChangeAddrSenseClick, true);
    ChangeAddrModule = MakeAction("Сменить адрес модуля", QString(), &TMainForm::ChangeAddrModuleClick, true);
    DefaultSettings_Tivron_A = MakeAction("Установка заводских параметров (Тиврон-А)", QString(),
                                          &TMainForm::DefaultSettings_Tivron_AClick, true);
    for (QAction *item : {ChangeAddrDevice, ChangeAddrSense, ChangeAddrModule, DefaultSettings_Tivron_A}) {
        item->setEnabled(false);
        PopupMenu1->addAction(item);
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { PopupMenu1Popup(); }); });
}

void TMainForm::BuildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("Файл"));
    file->addAction(actNewFile);
    file->addAction(actOpenFile);
    file->addAction(actSaveFile);
    QMenu *exportMenu = file->addMenu(QStringLiteral("Экспорт"));
    exportMenu->addAction(actExportWord);
    exportMenu->addAction(miExportExcel);
    file->addSeparator();
    file->addAction(actSettings);
    file->addSeparator();
    file->addAction(miExit);

    QMenu *view = bar->addMenu(QStringLiteral("Вид"));
    view->addAction(miStatusBar);
    view->addAction(N23);

    QMenu *operations = bar->addMenu(QStringLiteral("Операции"));
    operations->addAction(actRead);
    operations->addAction(actWrite);
    operations->addAction(actPakets);
    operations->addAction(actChangeAddrDev);

    QMenu *help = bar->addMenu(QStringLiteral("Помощь"));
    help->addAction(actUsersManual);
    help->addSeparator();
    help->addAction(actAbout);
}

void TMainForm::BuildToolBar()
{
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(32, 32));
    const QList<QList<QAction *>> groups = {{actNewFile, actOpenFile, actSaveFile},
                                            {actRead, actWrite},
                                            {actPakets, actChangeAddrDev},
                                            {actSettings, actExportWord},
                                            {actUsersManual}};
    bool first = true;
    for (const auto &group : groups) {
        if (!first)
            ToolBar->addSeparator();
        first = false;
        for (QAction *a : group) {
            ToolBar->addAction(a);
            if (QWidget *button = ToolBar->widgetForAction(a))
                button->setFixedSize(41, 38);
        }
    }
    if (QWidget *word = ToolBar->widgetForAction(actExportWord))
        word->installEventFilter(new NoToolTip(word));
}

void TMainForm::SetToolWindows(QWidget *configForm, QWidget *showPaketsForm)
{
    ConfigWindow = configForm;
    PaketsWindow = showPaketsForm;
}

void TMainForm::SetStatusText(const QString &text) { StatusPanel0->setText(text); }
QString TMainForm::StatusText() const { return StatusPanel0->text(); }

void TMainForm::FormCreate()
{
    if (Env.LoadAdapterLibrary)
        Env.LoadAdapterLibrary();
    if (Env.LoadKeyReaderLibrary)
        Env.LoadKeyReaderLibrary();
    SetSettingsTarget(this, Env.SettingsPath);
    ::LoadSettings();
    KeyListView = new CTreeView(this);
    KeyListView->setObjectName(QStringLiteral("KeyListView"));
    KeyListView->hide();
}

void TMainForm::FormDestroy()
{
    // Nothing may leave a destructor: each step is guarded, and a settings file that cannot be written
    // is reported instead.
    RunGuarded([this] {
        if (Env.DisconnectAdapter)
            Env.DisconnectAdapter();
    });
    RunGuarded([this] {
        if (Env.UnloadLibraries)
            Env.UnloadLibraries();
    });
    try {
        ::SaveSettings();
    } catch (const std::exception &e) {
        RunGuarded([&] {
            ShowMessageDlg(QStringLiteral("Не удалось сохранить настройки программы.\n") + QString::fromUtf8(e.what()),
                           mtError, mbOK);
        });
    } catch (...) {
        RunGuarded([] { ShowMessageDlg(QStringLiteral("Не удалось сохранить настройки программы."), mtError, mbOK); });
    }
    SetSettingsTarget(nullptr, QString());
    delete KeyListView;
    KeyListView = nullptr;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    // A close that comes inside an exchange's wait ends the exchange before the program ends: no
    // further collection ticks, nothing more sent, the adapter released.
    if (ExchangeInProgress()) {
        Timer1.SetInterval(0);
        CancelExchanges();
        EndReadExchange();
        RunGuarded([this] {
            if (Env.DisconnectAdapter)
                Env.DisconnectAdapter();
        });
    }
    emit Closed();
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (PlacementChecked || windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    PlacementChecked = true;
    // A position stored on a screen that is gone comes back onto the primary screen.
    QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    std::vector<QRect> screens;
    for (QScreen *s : QGuiApplication::screens())
        screens.push_back(s->availableGeometry());
    const QPoint place = PlaceOnScreen(frameGeometry(), screens, primary->availableGeometry());
    if (place != frameGeometry().topLeft())
        move(place);
}

// Handlers of this window.

void TMainForm::miExitClick() { close(); }

void TMainForm::N23Click()
{
    if (auto *config = qobject_cast<TConfigForm *>(ConfigWindow))
        config->ShowBeside(this); // centred the first time, then where the engineer left it
}

void TMainForm::miStatusBarClick() { StatusBar->setVisible(miStatusBar->isChecked()); }

void TMainForm::actUsersManualExecute()
{
    const QString path = ProgramDir + QStringLiteral("/docs/users_manual.pdf");
    // Without a word the engineer could not tell a missing manual from a slow viewer. A long path
    // gives up its middle, so the file's name stays in the panel.
    const auto notice = [this, &path](const QString &text) {
        const QFontMetrics fm = StatusPanel0->fontMetrics();
        const int room = StatusPanel0->width() - StatusPanel0->margin() * 2 - fm.horizontalAdvance(text);
        SetStatusText(text + fm.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, room));
    };
    if (!QFileInfo(path).isFile())
        notice(ManualMissingText);
    else if (!OpenDocument(path))
        notice(ManualNotOpenedText);
}

bool TMainForm::OpenDocument(const QString &path)
{
    if (Env.OpenDocument)
        return Env.OpenDocument(path);
    return OpenOnDesktop(path, Env.DesktopOpener);
}

void TMainForm::actPaketsExecute()
{
    if (!PaketsWindow)
        return;
    PaketsWindow->show(); // its show event may move and narrow the main window first
    PaketsWindow->raise();
    PaketsWindow->move(MonitorLeft(GetLeft(), PaketsWindow->frameGeometry().width()), GetTop());
}

void TMainForm::actExportExcelExecute() {}

void TMainForm::PageControlChange()
{
    SetStatusText(QString());
    QWidget *page = PageControl->currentWidget();
    ActivePageId = PageTag(page);
    SelectedColumn = -1;
    SelectedRow = -1;
    // The cell cursor of the page left behind must not show on the page shown.
    if (auto *list = FindComponent<QAbstractItemView>(QStringLiteral("lvQ") + QString::number(ActivePageId),
                                                      PageControl, 3))
        list->viewport()->update();
}

// The settings file's view of the window: the outer position and the client size.

int TMainForm::GetTop() const { return pos().y(); }
int TMainForm::GetLeft() const { return pos().x(); }
int TMainForm::GetWidth() const { return width(); }
int TMainForm::GetHeight() const { return height(); }

int TMainForm::GetWindowState() const
{
    const Qt::WindowStates s = windowState();
    if (s & Qt::WindowMinimized)
        return 1;
    if (s & Qt::WindowMaximized)
        return 2;
    return 0;
}

bool TMainForm::GetPaketsVisible() const { return actPakets->isVisible(); }
bool TMainForm::GetChangeAddrDevVisible() const { return actChangeAddrDev->isVisible(); }
void TMainForm::SetTop(int value) { move(pos().x(), value); }
void TMainForm::SetLeft(int value) { move(value, pos().y()); }
void TMainForm::SetWidth(int value) { resize(value, height()); }
void TMainForm::SetHeight(int value) { resize(width(), value); }

void TMainForm::SetWindowState(int value)
{
    // Set before the window is shown, the state takes effect when it is.
    setWindowState(value == 1 ? Qt::WindowMinimized : value == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void TMainForm::SetPaketsVisible(bool value) { actPakets->setVisible(value); }
void TMainForm::SetChangeAddrDevVisible(bool value) { actChangeAddrDev->setVisible(value); }
