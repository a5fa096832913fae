#pragma once
#include <QIcon>
#include <QList>
#include <QSplitter>
#include <QWidget>

#include "app/message_dlg.h"
#include "model/tree_model.h"

// The description window "Конфигурация": the catalogue tree above, the tree of the last
// configuration file loaded below. Shown beside the main window without blocking it; closing it
// only hides it. One instance lives for the whole run in ConfigForm.
class TConfigForm : public QWidget {
    Q_OBJECT

public:
    explicit TConfigForm(QWidget *parent = nullptr);
    ~TConfigForm() override;

    CTreeView *tvConfig;     // the catalogue devices.xml; read-only
    QSplitter *Splitter1;    // between the two trees, 3 pixels, resizing live
    CTreeView *tvConfigFile; // the last .DEV file loaded; captions editable in place
    QList<QIcon> ilConfig;   // the nine pictures, see ConfigImage

    // The program's message dialog, reached through this window as everywhere in the program.
    int ShowMessageDlg(const QString &text, int kind, MsgButtons buttons, int helpContext = 0);

    // Shows the window without blocking; the first time it is centred on mainWindow.
    void ShowBeside(QWidget *mainWindow);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool placed_ = false;
};

extern TConfigForm *ConfigForm;

// Loads a file into the tree of one of the window's views (see LoadXmlToTree on CTree).
bool LoadXmlToTree(const QString &path, CTreeView *view);
