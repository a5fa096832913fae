// Building the pages of the current device: TMainForm::BuildDevicePages and the parameter pages.
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/guard.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "editor/password_page.h"
#include "model/config_tree.h"
#include "platform/fonts.h"
#include "platform/tool_icons.h"

namespace {
// Tab pictures of the menu picture list.
constexpr int kParamPageImage = 7;
constexpr int kKeyPageImage = 6;
constexpr int kPassPageImage = 8;

// Controls made on the page shown while it is built were never shown themselves; showing the page
// again shows every one that was not hidden on purpose.
void RevealPage(QWidget *sheet)
{
    if (sheet->isVisible()) {
        sheet->hide();
        sheet->show();
    }
}

// The tab pictures, made once for the run: pages are built anew on every New, Open and read.
QIcon TabIcon(int image)
{
    switch (image) {
    case kParamPageImage:
        return StandardIcon(QStyle::SP_FileDialogDetailedView);
    case kKeyPageImage:
        return StandardIcon(QStyle::SP_DialogApplyButton);
    default:
        return StandardIcon(QStyle::SP_DialogHelpButton);
    }
}
} // namespace

QObject *TMainForm::FindComponentByName(const QString &name, const QObject *root, int depth) const
{
    return ::FindComponentByName(name, root, depth);
}

CParamListView *TMainForm::ActiveList() const
{
    return FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(ActivePageId), PageControl, 3);
}

void TMainForm::FreePages()
{
    const QSignalBlocker block(PageControl);
    while (PageControl->count() > 0) {
        QWidget *sheet = PageControl->widget(0);
        RemoveComponent(PageControl, sheet);
        PageControl->removeTab(0);
        delete sheet;
    }
    // Pages built anew start with an empty status: a cell's text or an earlier command's notice
    // would speak of pages that are gone.
    setWindowTitle(MainCaption);
    SetStatusText(QString());
}

void TMainForm::BuildDevicePages(CTreeNode *device, CTreeNode *valuesDevice, bool withValues)
{
    PageIds.clear();
    LoopCount = 0;
    // The page change is the engineer's: building and freeing raise none.
    const QSignalBlocker block(PageControl);
    FreePages();
    if (!device)
        return;
    const CDevice *d = device->device();
    setWindowTitle(MainCaption + QStringLiteral("    прибор ") + device->text + QStringLiteral("  Адрес-") +
                   QString::number(d ? d->device_addr : 0));
    for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling()) {
        auto *sheet = new QWidget;
        PageControl->addTab(sheet, t->text);
        AddComponent(PageControl, sheet);
        CTreeNode *values = nullptr;
        if (withValues && valuesDevice)
            for (CTreeNode *v = valuesDevice->firstChild(); v && !values; v = v->nextSibling())
                if (v->text == t->text)
                    values = v;
        const QString type = t->table() ? t->table()->type : QString();
        int image = -1;
        if (type == QLatin1String("table"))
            image = kParamPageImage;
        else if (type == QLatin1String("key"))
            image = kKeyPageImage;
        else if (type == QLatin1String("pass"))
            image = kPassPageImage;
        if (image < 0) {
            // No page of its own, but still an entry, so entry i stays with table node i.
            PageIds.append(0);
            continue;
        }
        const int n = ++PageCounter;
        sheet->setObjectName(QStringLiteral("ts") + QString::number(n));
        SetPageTag(sheet, n);
        sheet->setProperty("ImageIndex", image);
        PageControl->setTabIcon(PageControl->indexOf(sheet), TabIcon(image));
        try {
            if (image == kParamPageImage)
                BuildParameterPage(sheet, t, withValues, values);
            else if (image == kKeyPageImage)
                BuildKeyPage(*this, sheet, t, withValues, values);
            else
                BuildPasswordPage(*this, sheet, t, withValues, values);
        } catch (...) {
            RevealPage(sheet);
            throw;
        }
        RevealPage(sheet);
        PageIds.append(n);
    }
    if (PageControl->count() > 0) {
        PageControl->setCurrentIndex(0);
        ActivePageId = PageTag(PageControl->widget(0));
    }
}

void TMainForm::BuildParameterPage(QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable)
{
    if (!sheet || !table || !table->hasChildren())
        return;
    if (!valuesTable)
        withValues = false;
    if (const CTable *t = table->table())
        if (const std::optional<int> loops = LoopCountOfTable(*t))
            LoopCount = *loops;
    const QString n = QString::number(PageTag(sheet));

    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *list = NameComponent(new CParamListView(sheet), sheet, QStringLiteral("lvQ") + n);
    layout->addWidget(list);
    list->show();
    list->CursorCell = [this] { return std::pair(SelectedRow, SelectedColumn); };
    list->OnMouseDown = [this, list] { RunGuarded([&] { lvQMouseDown(list); }); };
    list->OnKeyDown = [this, list](int key, Qt::KeyboardModifiers m) { RunGuarded([&] { lvQKeyDown(list, key, m); }); };
    list->OnDblClick = [this, list] { RunGuarded([&] { lvQDblClick(list); }); };
    list->OnSelectItem = [this, list] { RunGuarded([&] { lvQSelectItem(list); }); };
    // A scrolled list closes an open editor: the editor would no longer sit over its cell.
    connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, list, [list] {
        if (list->focusPolicy() != Qt::NoFocus && !list->hasFocus())
            list->setFocus();
    });

    try {
        BuildParamRows(list->Page(), table, withValues, valuesTable);
    } catch (...) {
        list->Reload(); // show what was built; the readers skip what is missing
        throw;
    }
    list->Reload();

    QWidget *area = list->viewport();
    const QFont f10 = TahomaPoints(10);
    const QFont f8 = TahomaPoints(8);

    auto *edit = NameComponent(new CLineEdit(area), list, QStringLiteral("edit") + n);
    edit->setFont(f10);
    edit->resize(121, edit->sizeHint().height());
    edit->setFrame(true);
    edit->hide();
    edit->OnExit = [this, edit] { RunGuarded([&] { editExit(edit); }); };
    edit->OnKeyDown = [this, edit](int key, Qt::KeyboardModifiers) { RunGuarded([&] { editKeyDown(edit, key); }); };

    auto *cb = NameComponent(new CComboBox(area), list, QStringLiteral("cb") + n);
    cb->setFont(f8);
    cb->hide();
    cb->OnChange = [this, cb] { RunGuarded([&] { cbChange(cb); }); };
    cb->OnExit = [this, cb] { RunGuarded([&] { cbExit(cb); }); };
    cb->OnKeyDown = [this, cb](int key, Qt::KeyboardModifiers) { RunGuarded([&] { cbKeyDown(cb, key); }); };

    auto *medit = NameComponent(new CNumberEdit(area), list, QStringLiteral("medit") + n);
    medit->setFont(f10);
    medit->resize(121, 25);
    medit->hide();
    medit->OnExit = [this, medit] { RunGuarded([&] { meditExit(medit); }); };
    medit->OnKeyDown = [this, medit](int key, Qt::KeyboardModifiers) { RunGuarded([&] { meditKeyDown(medit, key); }); };

    auto *ud = NameComponent(new CSpinButton(area), list, QStringLiteral("ud") + n);
    ud->setFocusProxy(medit); // a click on the button leaves the focus in the number box
    ud->hide();
    ud->OnUpClick = [this, ud] { RunGuarded([&] { udOnUpClick(ud); }); };
    ud->OnDownClick = [this, ud] { RunGuarded([&] { udOnDownClick(ud); }); };
}
