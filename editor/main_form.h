#pragma once
#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "platform/desktop_open.h"
#include "platform/timer.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class CTreeNode;
class CTreeView;
class CParamListView;

// What the main window does to the world at creation and destruction. Tests leave the hooks empty, so
// no library is loaded and no file is touched.
struct TMainFormEnv {
    QString ProgramDir;                         // empty: the current directory at construction
    QString SettingsPath;                       // empty: no settings file is read or written
    std::function<void()> LoadAdapterLibrary;   // reports its own failure
    std::function<void()> LoadKeyReaderLibrary; // silent when missing
    std::function<void()> DisconnectAdapter;
    std::function<void()> UnloadLibraries;      // releases each handle as it stands
    // Hands a file to the desktop's viewer; false when it could not. Empty: OpenOnDesktop with
    // DesktopOpener.
    std::function<bool(const QString &path)> OpenDocument;
    TDesktopOpener DesktopOpener;
};

// Rectangle of the in-place editor of the selected cell.
struct TEditorRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The status notices of the users' manual that cannot be shown; the file's path follows.
inline const QString ManualMissingText = QStringLiteral("Нет файла руководства пользователя: ");
inline const QString ManualNotOpenedText = QStringLiteral("Нет программы для просмотра PDF: ");

inline const QString WaitForExchangeText = QStringLiteral("Дождитесь окончания обмена с прибором.");

// The caption of a window that shows no device's pages; the pages add the device and its address.
inline const QString MainCaption = QStringLiteral("ТИВРОН-Diva");

// The CAN monitor goes to the left of the main window, or to the screen's left edge when there is no room.
int MonitorLeft(int mainLeft, int monitorWidth);

// The application's main window and the home of the configuration editor's shared state.
class TMainForm : public QMainWindow, public ISettingsWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *owner = nullptr, TMainFormEnv env = {});
    ~TMainForm() override;

    // The description window and the CAN monitor, both application-owned; the main window only shows them.
    void SetToolWindows(QWidget *configForm, QWidget *showPaketsForm);
    QWidget *ConfigWindow = nullptr;
    QWidget *PaketsWindow = nullptr;

    // Editor state read by the pages, the exchange and the service windows.
    QList<int> PageIds;        // per table of the current device, in table order: its page's Tag
    int PageCounter = 0;       // number of the last page built; never reset during a run
    int ActivePageId = 0;      // Tag of the active page
    int SelectedColumn = 0;    // selected cell of the active parameter list, -1 for none
    int SelectedRow = 0;
    TEditorRect EditorRect;
    bool SelectByKeyboard = false;
    int KeyCount = 0;          // capacity of the current device's key table
    int PassCount = 0;         // users of its password table
    QString ProgramDir;        // the current directory at construction, no trailing separator
    // Node of the device being edited in the description window's catalogue tree; null for none.
    std::shared_ptr<CTreeNode> CurrentDevice; // catalogue node of the device shown; held across reloads
    int LoopCount = 0;         // alarm loops of the current device
    CTreeView *KeyListView = nullptr; // hidden copies of the key nodes a read requests
    int SelectedColumnAddress = 0;      // row 0's value in the selected column

    // Actions.
    QAction *actNewFile, *actOpenFile, *actSaveFile, *actRead, *actWrite, *actPakets, *actChangeAddrDev,
        *actSettings, *actExportWord, *actExportExcel, *actUsersManual, *actAbout;
    // Menu items of their own.
    QAction *miExit, *miStatusBar, *N23, *miExportExcel;
    QMenu *PopupMenu1;
    QAction *ChangeAddrDevice, *ChangeAddrSense, *ChangeAddrModule, *DefaultSettings_Tivron_A;

    QToolBar *ToolBar;
    QTabWidget *PageControl;
    QStatusBar *StatusBar;
    QLabel *StatusPanel0;
    CTimer Timer1; // the read timer

    void SetStatusText(const QString &text);
    QString StatusText() const;
    // Hands a file to the desktop's viewer (Env.OpenDocument); false when that failed.
    bool OpenDocument(const QString &path);

    // Whether the window shows the pages of a device. The commands that take the pages (Save, Write,
    // the report, the page menu) enter through RequirePages: without pages it says NoDeviceDataText
    // (OK; information, as Write and the report have always said it) and gives false, and the command
    // sends and writes nothing.
    bool HasPages() const;
    bool RequirePages(MsgKind kind = mtInformation);

    // Where the commands that would disconnect the adapter, replace the pages or start an exchange
    // enter (New, Open, Read, Write, Service, the page menu, the key page's device buttons): while an
    // exchange runs they would run inside its waits, so they only say WaitForExchangeText.
    void RunDeviceCommand(const std::function<void()> &command);

    // Handlers of this window.
    void miExitClick();
    void N23Click();
    void miStatusBarClick();
    void actUsersManualExecute();
    void actPaketsExecute();
    void actExportExcelExecute();
    void PageControlChange();
    // Handlers that open windows built elsewhere, and the editor's commands; filled in by their own units.
    void actAboutExecute();
    void actSettingsExecute();
    void actChangeAddrDevExecute();
    void ChangeAddrDeviceClick();
    void ChangeAddrSenseClick();
    void ChangeAddrModuleClick();
    void actNewFileExecute();
    void actOpenFileExecute();
    void actSaveFileExecute();
    void actReadExecute();
    void actWriteExecute();
    void actExportWordExecute();
    void Timer1Timer();
    void PopupMenu1Popup();
    void DefaultSettings_Tivron_AClick();

    // Page building: one tab sheet per table of the device, in table order. PageIds gets one entry per
    // table: the page's number, or 0 for a table of another type than "table", "key" and "pass" (no
    // page has number 0). A conversion error ends the build where it happened and leaves this function;
    // the pages built so far stay.
    void BuildDevicePages(CTreeNode *device, CTreeNode *valuesDevice, bool withValues);
    void BuildParameterPage(QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable);
    // Frees every page with everything on it (page change not raised). The window then names no
    // device, and the status text, which spoke of the pages or of an earlier command, goes.
    void FreePages();
    // The name search of the pages (editor/components.h), usually from PageControl.
    QObject *FindComponentByName(const QString &name, const QObject *root, int depth) const;
    // The list lvQ + ActivePageId, or null.
    CParamListView *ActiveList() const;

    // Cell editing of the parameter pages. Each handler gets its control; it finds its partners by name
    // and does nothing when one is missing.
    void UpdateEditorRect();
    int ListClientToScreenX(int x);
    int ListClientToScreenY(int y);
    void StepCellValue(CParamListView *list, bool backwards);
    void lvQMouseDown(QObject *sender);
    void lvQKeyDown(QObject *sender, int key, Qt::KeyboardModifiers modifiers);
    void lvQDblClick(QObject *sender);
    void lvQSelectItem(QObject *sender);
    void editExit(QObject *sender);
    void editKeyDown(QObject *sender, int key);
    void meditExit(QObject *sender);
    void meditKeyDown(QObject *sender, int key);
    void cbChange(QObject *sender);
    void cbExit(QObject *sender);
    void cbKeyDown(QObject *sender, int key);
    void udOnUpClick(QObject *sender);
    void udOnDownClick(QObject *sender);
    // Ends an open cell editor as leaving it does: its exit handler runs once, storing the value, and
    // the editor is hidden. The commands that read the pages (Save, Write, the report, the key load)
    // call it first: the tool bar and the menus take no focus, so the editor would stay open with a
    // value the pages do not hold.
    void EndCellEditing();

    // ISettingsWindow: outer position, client size.
    int GetTop() const override;
    int GetLeft() const override;
    int GetWidth() const override;
    int GetHeight() const override;
    int GetWindowState() const override;
    bool GetPaketsVisible() const override;
    bool GetChangeAddrDevVisible() const override;
    void SetTop(int value) override;
    void SetLeft(int value) override;
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    void SetWindowState(int value) override;
    void SetPaketsVisible(bool value) override;
    void SetChangeAddrDevVisible(bool value) override;

signals:
    // The window was closed: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void FormCreate();
    void FormDestroy();
    QAction *MakeAction(const QString &caption, const QString &hint, void (TMainForm::*handler)(),
                        bool deviceCommand = false);

    TMainFormEnv Env;
    bool PlacementChecked = false;
    int WaitTextEndCall = 0; // clears WaitForExchangeText when the exchange it waits for ends
};

extern TMainForm *MainForm;
