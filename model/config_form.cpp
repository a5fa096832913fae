#include "model/config_form.h"

#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QVBoxLayout>

#include "model/config_images.h"
#include "model/config_loader.h"

TConfigForm *ConfigForm = nullptr;

namespace {

void SetUpTreeView(CTreeView *view, const QList<QIcon> &images, const QString &name)
{
    view->setObjectName(name);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(16);
    view->setFont(f);
    view->setIndentation(27);
    view->setIconSize(QSize(24, 24));
    // A long node text scrolls sideways instead of being cut at the window's edge.
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->treeModel()->setImages(images);
}

} // namespace

TConfigForm::TConfigForm(QWidget *parent) : QWidget(parent, Qt::Window), ilConfig(ConfigImageList())
{
    setObjectName(QStringLiteral("ConfigForm"));
    setWindowTitle(QStringLiteral("Конфигурация"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(298, 373);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);

    tvConfig = new CTreeView(Splitter1);
    SetUpTreeView(tvConfig, ilConfig, QStringLiteral("tvConfig"));
    tvConfig->setEditTriggers(QAbstractItemView::NoEditTriggers);

    tvConfigFile = new CTreeView(Splitter1);
    SetUpTreeView(tvConfigFile, ilConfig, QStringLiteral("tvConfigFile"));
    tvConfigFile->treeModel()->setEditable(true);
    tvConfigFile->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);

    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({373 - 189 - 3, 189});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);
}

TConfigForm::~TConfigForm()
{
    if (ConfigForm == this)
        ConfigForm = nullptr;
}

int TConfigForm::ShowMessageDlg(const QString &text, int kind, MsgButtons buttons, int helpContext)
{
    return ::ShowMessageDlg(text, kind, buttons, helpContext);
}

void TConfigForm::ShowBeside(QWidget *mainWindow)
{
    if (!placed_ && mainWindow) {
        // Client areas, whose frames are not known before the first showing.
        QRect r = geometry();
        r.moveCenter(mainWindow->geometry().center());
        setGeometry(r);
        placed_ = true;
    }
    show();
    raise();
}

void TConfigForm::closeEvent(QCloseEvent *event)
{
    // Closing only hides it: an accepted close hides a window that is not deleted on close, and a
    // refused one would stop the application's quit.
    event->accept();
}

bool LoadXmlToTree(const QString &path, CTreeView *view)
{
    return view && LoadXmlToTree(path, view->items());
}
