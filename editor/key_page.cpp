// The key page: its controls, its building and the handlers that add, remove, show and edit keys.
#include "editor/key_page.h"

#include <algorithm>
#include <optional>

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/key_page_state.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "model/config_images.h"
#include "model/config_loader.h"
#include "model/tree_search.h"
#include "platform/fonts.h"
#include "platform/tool_icons.h"

// CKeyTreeView

CKeyTreeView::CKeyTreeView(QWidget *parent) : CPageTreeView(parent), PageState(std::make_unique<CKeyPageState>(items()))
{
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!Quiet && OnChange)
            OnChange();
    });
}

CKeyTreeView::~CKeyTreeView() = default;

void CKeyTreeView::SelectQuietly(CTreeNode *node)
{
    Quiet = true;
    if (node)
        selectNode(node);
    else
        setCurrentIndex(QModelIndex());
    Quiet = false;
}

void CKeyTreeView::paintEvent(QPaintEvent *event)
{
    if (OnDrawItems)
        OnDrawItems();
    CPageTreeView::paintEvent(event);
}

// Names

int KeyPageId(const QString &name, const QString &prefix) { return PageIdFromName(name, prefix); }

QString KeyNameTail(const QString &name, const QString &prefix)
{
    if (!name.startsWith(prefix))
        return QString();
    const QString rest = name.mid(prefix.size());
    const qsizetype underscore = rest.indexOf(u'_');
    return underscore < 0 ? QString() : rest.mid(underscore + 1);
}

namespace {

QString Num(int n) { return QString::number(n); }

// The classic palette's button shadow and the label grey.
const QColor kButtonShadow(0x80, 0x80, 0x80);

QLabel *MakeLabel(QWidget *parent, QObject *owner, const QString &name, const QString &text, const QFont &font,
                  int left, int top, int width = -1)
{
    auto *l = NameComponent(new QLabel(text, parent), owner, name);
    l->setFont(font);
    l->adjustSize();
    l->move(left, top);
    if (width > 0)
        l->resize(width, l->height());
    return l;
}

CLabeledEdit *MakeCodeEdit(QWidget *panel, const QString &name, int left, int top)
{
    auto *e = NameComponent(new CLabeledEdit(panel), panel, name);
    e->EditLabel->setText(QStringLiteral("Код ключа"));
    e->EditLabel->setFont(TahomaPoints(10));
    e->setFont(TahomaPoints(12));
    e->SetFlatBevel();
    e->SetMaxLength(12);
    e->setGeometry(left, top, 150, e->sizeHint().height());
    e->SetText(kEmptyKeyCode);
    return e;
}

QToolButton *MakeReaderButton(TMainForm &form, QWidget *panel, const QString &name, int left, int top)
{
    auto *b = NameComponent(new QToolButton(panel), panel, name);
    b->setAutoRaise(true);
    b->setIcon(ToolIcon(QStyle::SP_BrowserReload));
    b->setGeometry(left, top, 40, 27);
    b->setToolTip(QStringLiteral("Считать код карты (брелка) из прибора"));
    QObject::connect(b, &QToolButton::clicked, b, [&form, b] { form.RunDeviceCommand([&] { btnNumberOnClick(form, b); }); });
    return b;
}

QToolButton *MakeToolButton(TMainForm &form, QToolBar *tb, const QString &name, QStyle::StandardPixmap icon,
                            const QString &hint, void (*handler)(TMainForm &, QObject *), bool deviceCommand = false)
{
    auto *b = NameComponent(new QToolButton(tb), tb, name);
    b->setIcon(ToolIcon(icon));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    tb->addWidget(b);
    QObject::connect(b, &QToolButton::clicked, b, [&form, b, handler, deviceCommand] {
        if (deviceCommand)
            form.RunDeviceCommand([&] { handler(form, b); });
        else
            RunGuarded([&] { handler(form, b); });
    });
    return b;
}

template <class Control>
void OnChangeOf(TMainForm &form, Control *c, void (*handler)(TMainForm &, QObject *))
{
    c->OnChange = [&form, c, handler] { RunGuarded([&] { handler(form, c); }); };
}

void OnClickOf(TMainForm &form, CCheckBox *c, void (*handler)(TMainForm &, QObject *))
{
    c->OnClick = [&form, c, handler] { RunGuarded([&] { handler(form, c); }); };
}

// The controls of one page that the handlers look for.
struct KeyPage {
    QString Id;
    CKeyTreeView *Tree = nullptr;
};

// Page id from the sender's name after prefix, and the tree tvKey + id searched depth levels down
// under the page control; no tree when either is missing.
KeyPage PageOf(TMainForm &form, QObject *sender, const QString &prefix, int depth)
{
    KeyPage page;
    if (!sender)
        return page;
    const int id = KeyPageId(sender->objectName(), prefix);
    if (id < 0)
        return page;
    page.Id = Num(id);
    page.Tree = FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + page.Id, form.PageControl, depth);
    return page;
}

// The selected key's node and record, both null when there is none.
std::pair<CTreeNode *, CKey *> SelectedKey(const KeyPage &page)
{
    CTreeNode *node = page.Tree ? page.Tree->selectedNode() : nullptr;
    CKey *key = node ? node->key() : nullptr;
    return {key ? node : nullptr, key};
}

constexpr int kEditDepth = 2;   // edits, spin edits, check boxes: the tree is a sheet's component
constexpr int kButtonDepth = 3; // the tool bar's buttons
constexpr int kPanelDepth = 3;

QWidget *Panel(TMainForm &form, const QString &prefix, const QString &id)
{
    return FindComponent<QWidget>(prefix + id, form.PageControl, kPanelDepth);
}

void BuildToolBar(TMainForm &form, QWidget *sheet, const QString &n, QVBoxLayout *layout)
{
    auto *tb = NameComponent(new QToolBar(sheet), sheet, QStringLiteral("tb") + n);
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setIconSize(QSize(24, 24));
    layout->addWidget(tb);
    tb->addSeparator();
    MakeToolButton(form, tb, QStringLiteral("btnKeySave") + n, QStyle::SP_ArrowUp,
                   QStringLiteral("Загрузить ключ в прибор"), btnKeySaveClick, true);
    MakeToolButton(form, tb, QStringLiteral("btnKeyLoad") + n, QStyle::SP_ArrowDown,
                   QStringLiteral("Считать ключ из прибора"), btnKeyLoadClick, true);
    tb->addSeparator();
    MakeToolButton(form, tb, QStringLiteral("btnKeyRemove") + n, QStyle::SP_DialogDiscardButton,
                   QStringLiteral("Удалить ключ"), btnKeyRemoveClick);
    MakeToolButton(form, tb, QStringLiteral("btnKeyAdd") + n, QStyle::SP_FileIcon, QStringLiteral("Добавить ключ"),
                   btnKeyAddClick);
    QToolButton *master = MakeToolButton(form, tb, QStringLiteral("btnMaster") + n, QStyle::SP_DialogApplyButton,
                                         QStringLiteral("Добавить МАСТЕР-ключ"), btnKeyAddClick);
    const CDevice *device = form.CurrentDevice ? form.CurrentDevice->device() : nullptr;
    master->setEnabled(!device || device->device_id != 14);
}

CKeyTreeView *BuildTree(TMainForm &form, QWidget *sheet, QSplitter *sp, const QString &n)
{
    auto *tree = NameComponent(new CKeyTreeView(sp), sheet, QStringLiteral("tvKey") + n);
    tree->setFont(TahomaPoints(10));
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setIndentation(0);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setMinimumWidth(100);
    tree->treeModel()->setImages(ConfigImageList());
    // The selection stays visible while the tree has no focus.
    QPalette p = tree->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(p);
    tree->OnChange = [&form, tree] { RunGuarded([&] { tvKeyChange(form, tree); }); };
    tree->OnDrawItems = [&form, tree] {
        // Runs at every repaint: whatever goes wrong must not turn into a message per repaint.
        try {
            tvKeyCustomDrawItem(form, tree);
        } catch (...) {
        }
    };
    return tree;
}

QWidget *BuildMasterPanel(TMainForm &form, QWidget *panKey, QVBoxLayout *keyLayout, const QString &n)
{
    auto *panel = NameComponent(new QWidget(panKey), panKey, QStringLiteral("panMasterKey") + n);
    keyLayout->addWidget(panel);
    auto *fill = new QVBoxLayout(panel);
    fill->setContentsMargins(0, 0, 0, 0);
    QLabel *lab = MakeLabel(panel, panel, QStringLiteral("labMK") + n, kMasterKeyName, TahomaPoints(24), 0, 0);
    lab->setAlignment(Qt::AlignCenter);
    QPalette p = lab->palette();
    p.setColor(QPalette::WindowText, kButtonShadow);
    lab->setPalette(p);
    fill->addWidget(lab);
    CLabeledEdit *code = MakeCodeEdit(panel, QStringLiteral("editMaKNumber") + n, 8, 66);
    OnChangeOf(form, code, editMaKNumberChange);
    MakeReaderButton(form, panel, QStringLiteral("btnMaKNumber") + n, 158, 66);
    for (QWidget *w : panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (w != lab)
            w->raise();
    panel->hide();
    return panel;
}

void BuildLoopBoxes(TMainForm &form, QWidget *panel, const QString &n)
{
    auto *gb = NameComponent(new QGroupBox(QStringLiteral(" Шлейфы сигнализации "), panel), panel,
                             QStringLiteral("gbKeyHos"));
    gb->setGeometry(8, 160, 270, 24 * form.LoopCount + 40);
    QLabel *arm = MakeLabel(gb, gb, QStringLiteral("gblabelType1_") + n, QStringLiteral("Взятие"), TahomaPoints(10, true), 8, 20);
    QLabel *disarm =
        MakeLabel(gb, gb, QStringLiteral("gblabelType2_") + n, QStringLiteral("Снятие"), TahomaPoints(10, true), 58, 20);
    QPalette red = arm->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    arm->setPalette(red);
    QPalette blue = disarm->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    disarm->setPalette(blue);

    if (form.LoopCount > kMaxKeyPageLoops) {
        ShowMessageDlg(kTooManyKeyLoopsText, mtWarning, mbOK);
        form.LoopCount = kMaxKeyPageLoops; // for every later use with this configuration
    }
    const int loops = form.LoopCount;
    // The design's 50 pixels per column are for its own face; a wider substitute must not cut "ШС16".
    const int width = std::max(CheckBoxWidth(QStringLiteral("ШС") + Num(loops), TahomaPoints(8), 50), arm->width() + 4);
    const int extra = 2 * (width - 50);
    gb->resize(gb->width() + extra, gb->height());
    disarm->move(8 + width, disarm->y()); // over the disarm column
    int row = 0;
    int column = 0;
    for (int k = 1; k <= 2 * loops; ++k) {
        const int top = 40 + 24 * row;
        auto *box = NameComponent(new CCheckBox(QStringLiteral("ШС") + Num(row + 1), gb), gb,
                                  QStringLiteral("chkHos") + n + QStringLiteral("_") + Num(k));
        box->setFont(TahomaPoints(8));
        box->setGeometry(8 + width * column, top, width, box->sizeHint().height());
        OnClickOf(form, box, chkHosClick);
        if (column == 0) {
            MakeLabel(gb, gb, QStringLiteral("gblabelType") + Num(row + 3) + QStringLiteral("_") + n,
                      QStringLiteral("-"), TahomaPoints(10, true), 105 + extra, top);
            gb->resize(gb->width(), top + 24);
        }
        if (++row == loops) {
            row = 0;
            ++column;
        }
    }
}

void BuildFunctionBoxes(TMainForm &form, QWidget *panel, const QString &n)
{
    auto *gb = NameComponent(new QGroupBox(QStringLiteral(" Функции ключа "), panel), panel,
                             QStringLiteral("gbKeyVz_Sn"));
    gb->setGeometry(8, 160, 151, 80);
    const QString captions[] = {QStringLiteral("Взятие"), QStringLiteral("Снятие")};
    for (int c = 0; c < 2; ++c) {
        auto *box = NameComponent(new CCheckBox(captions[c], gb), gb,
                                  QStringLiteral("chkKeyVz_Sn") + n + QStringLiteral("_") + Num(c));
        box->setFont(TahomaPoints(10));
        box->setGeometry(20, 30 + 20 * c, std::max(100, box->sizeHint().width()), box->sizeHint().height());
        OnClickOf(form, box, chkKeyVz_SnClick);
    }
    auto *level = NameComponent(new CSpinEdit(panel), panel, QStringLiteral("CSpinKeyLocLevel") + n);
    level->SetRange(0, 99);
    level->setGeometry(8, 265, 60, level->sizeHint().height());
    OnChangeOf(form, level, CSpinKeyLocLevelChange);
    MakeLabel(panel, panel, QStringLiteral("labelKeyLocLevel") + n, QStringLiteral("Локальный уровень управления"),
              TahomaPoints(10), 8, 245, 200);
}

QWidget *BuildOtherPanel(TMainForm &form, QWidget *panKey, QVBoxLayout *keyLayout, const QString &n)
{
    auto *panel = NameComponent(new QWidget(panKey), panKey, QStringLiteral("panOtherKey") + n);
    keyLayout->addWidget(panel);
    panel->hide();

    auto *name = NameComponent(new CLabeledEdit(panel), panel, QStringLiteral("editKeyName") + n);
    name->EditLabel->setText(QStringLiteral("Имя ключа"));
    name->EditLabel->setFont(TahomaPoints(10));
    name->setFont(TahomaPoints(12));
    name->SetFlatBevel();
    name->setGeometry(8, 18, 200, name->sizeHint().height());
    OnChangeOf(form, name, editKeyNameChange);

    auto *number = NameComponent(new CSpinEdit(panel), panel, QStringLiteral("editKeyNo") + n);
    // A capacity of 0 or less would clamp every key to number 0: equal bounds leave the number alone.
    number->SetRange(1, std::max(form.KeyCount, 1));
    number->setGeometry(218, 18, 60, number->sizeHint().height());
    OnChangeOf(form, number, editKeyNoChange);
    // Designed 20 pixels above the spin edit, at -2: the panel would cut the tops of its letters.
    MakeLabel(panel, panel, QStringLiteral("labelKeyNo") + n, QStringLiteral("Номер ключа"), TahomaPoints(10), 218, 0, 100);

    auto *type = NameComponent(new CComboBox(panel), panel, QStringLiteral("editKeyType") + n);
    type->setFont(TahomaPoints(12));
    type->setGeometry(8, 71, 200, type->sizeHint().height());
    const KeyTypeList types = KeyTypeListOf(form.CurrentDevice.get());
    type->addItems(types.Names);
    type->SetItemIndex(types.Names.isEmpty() ? -1 : 0);
    MakeLabel(panel, panel, QStringLiteral("labelKeyType") + n, types.Parameter, TahomaPoints(10), 8, 51, 100);
    OnChangeOf(form, type, editKeyTypeChange);
    return panel;
}

} // namespace

void BuildKeyPage(TMainForm &form, QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable)
{
    if (!sheet || !table)
        return;
    const CTable *t = table->table();
    form.KeyCount = t ? t->max_key_count : 0;
    const QString n = Num(PageTag(sheet));

    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *sp = NameComponent(new QSplitter(Qt::Horizontal, sheet), sheet, QStringLiteral("sp") + n);
    sp->setHandleWidth(3);
    sp->setOpaqueResize(true);
    sp->setChildrenCollapsible(false);
    sp->setStyleSheet(QStringLiteral("QSplitter::handle { background: #808080; }"));
    layout->addWidget(sp, 1);
    BuildToolBar(form, sheet, n, layout);

    CKeyTreeView *tree = BuildTree(form, sheet, sp, n);
    auto *panKey = NameComponent(new QWidget(sp), sheet, QStringLiteral("panKey") + n);
    FillAsPanel(panKey);
    panKey->setMinimumWidth(100);
    sp->addWidget(tree);
    sp->addWidget(panKey);
    sp->setStretchFactor(1, 1);
    sp->setSizes({200, 10000});
    auto *keyLayout = new QVBoxLayout(panKey);
    keyLayout->setContentsMargins(0, 0, 0, 0);

    BuildMasterPanel(form, panKey, keyLayout, n);
    QWidget *other = BuildOtherPanel(form, panKey, keyLayout, n);
    CLabeledEdit *code = MakeCodeEdit(other, QStringLiteral("editKeyNumber") + n, 8, 126);
    OnChangeOf(form, code, editKeyNumberChange);
    MakeReaderButton(form, other, QStringLiteral("btnKeyNumber") + n, 158, 126);
    if (form.LoopCount < 1)
        BuildFunctionBoxes(form, other, n);
    else
        BuildLoopBoxes(form, other, n);

    if (withValues && valuesTable)
        tree->State().Fill(*valuesTable, form.LoopCount);
    tree->SelectQuietly(nullptr);
}

// Handlers

void tvKeyChange(TMainForm &form, QObject *sender)
{
    const KeyPage page = PageOf(form, sender, QStringLiteral("tvKey"), kButtonDepth);
    const auto [node, key] = SelectedKey(page);
    if (!key)
        return;
    QWidget *master = Panel(form, QStringLiteral("panMasterKey"), page.Id);
    QWidget *other = Panel(form, QStringLiteral("panOtherKey"), page.Id);
    if (!master || !other)
        return;
    const QString &id = page.Id;
    if (key->id == 1) {
        HideControl(other);
        master->show();
        if (auto *code = FindComponent<CLineEdit>(QStringLiteral("editMaKNumber") + id, master, 1))
            code->SetText(key->key_code);
        return;
    }
    HideControl(master);
    other->show();
    // Each control set below runs its change handler, which writes the value back into the record.
    if (auto *name = FindComponent<CLineEdit>(QStringLiteral("editKeyName") + id, other, 1))
        name->SetText(ShownKeyName(key->name));
    if (auto *number = FindComponent<CSpinEdit>(QStringLiteral("editKeyNo") + id, other, 1))
        number->SetValue(KeyNumberOfName(key->name));
    if (auto *type = FindComponent<CComboBox>(QStringLiteral("editKeyType") + id, other, 1)) {
        const int index = KeyTypeIndex(KeyTypeNode(form.CurrentDevice.get()), type->count(), key->key_type);
        if (index >= 0)
            type->SetItemIndex(index);
    }
    if (auto *code = FindComponent<CLineEdit>(QStringLiteral("editKeyNumber") + id, other, 1))
        code->SetText(key->key_code);
    for (int k = 1; k <= 2 * form.LoopCount; ++k)
        if (auto *box = FindComponent<CCheckBox>(QStringLiteral("chkHos") + id + QStringLiteral("_") + Num(k), other, 2))
            box->SetChecked(KeyLoopFlag(*key, k - 1));
    for (int c = 0; c < 2; ++c)
        if (auto *box =
                FindComponent<CCheckBox>(QStringLiteral("chkKeyVz_Sn") + id + QStringLiteral("_") + Num(c), other, 2))
            box->SetChecked((key->KeyVz_Sn >> c) & 1);
    if (auto *level = FindComponent<CSpinEdit>(QStringLiteral("CSpinKeyLocLevel") + id, other, 1))
        level->SetValue(key->KeyLocLevel);
}

void tvKeyCustomDrawItem(TMainForm &form, QObject *sender)
{
    const KeyPage page = PageOf(form, sender, QStringLiteral("tvKey"), kButtonDepth);
    const auto [node, key] = SelectedKey(page);
    if (!key || key->id == 1)
        return;
    QWidget *other = Panel(form, QStringLiteral("panOtherKey"), page.Id);
    QObject *gb = other ? FindComponentByName(QStringLiteral("gbKeyHos"), other, 1) : nullptr;
    if (!gb)
        return;
    const CParamListView *list = nullptr;
    for (int id : form.PageIds)
        if ((list = FindComponent<CParamListView>(QStringLiteral("lvQ") + Num(id), form.PageControl, 3)))
            break;
    if (!list || !form.CurrentDevice)
        return;
    const CParamPage &cells = list->Page();
    for (const CTreeNode *t = form.CurrentDevice->firstChild(); t; t = t->nextSibling()) {
        const CTable *table = t->table();
        if (!table || table->name.toLower() != QStringLiteral("шлейфы"))
            continue;
        const CTreeNode *typeRow = nullptr;
        for (const CTreeNode *p = t->firstChild(); p && !typeRow; p = p->nextSibling())
            if (p->parameter() && p->parameter()->name.toLower() == QStringLiteral("тип шлейфа") && p->hasChildren())
                typeRow = p;
        if (!typeRow)
            continue;
        const int row = typeRow->index();
        for (int r = 1; r <= form.LoopCount; ++r) {
            auto *label = FindComponent<QLabel>(QStringLiteral("gblabelType") + Num(r + 2) + QStringLiteral("_") + page.Id,
                                                gb, 1);
            if (!label)
                continue;
            // A page without that row or column leaves the label showing no type.
            const bool exists = row < cells.RowCount() && r - 1 < cells.CellCount(row);
            const QString text = exists ? QStringLiteral("- ") + cells.CellText(row, r - 1) : QStringLiteral("-");
            if (label->text() != text) {
                label->setText(text);
                label->adjustSize();
            }
        }
    }
}

void btnKeyAddClick(TMainForm &form, QObject *sender)
{
    if (!sender)
        return;
    const bool master = sender->objectName().left(9) == QLatin1String("btnMaster");
    const KeyPage page =
        PageOf(form, sender, master ? QStringLiteral("btnMaster") : QStringLiteral("btnKeyAdd"), kButtonDepth);
    if (!page.Tree)
        return;
    CKeyPageState &state = page.Tree->State();
    // The selection stays where it was; the new key is not shown.
    CTreeNode *selected = page.Tree->selectedNode();
    if (master)
        state.AddMaster(form.LoopCount);
    else
        state.AddKey(form.KeyCount, form.LoopCount);
    page.Tree->SelectQuietly(selected);
}

void btnKeyRemoveClick(TMainForm &form, QObject *sender)
{
    const KeyPage page = PageOf(form, sender, QStringLiteral("btnKeyRemove"), kButtonDepth);
    const auto [node, key] = SelectedKey(page);
    if (!node)
        return;
    const int position = node->index();
    page.Tree->SelectQuietly(nullptr);
    CKeyPageState &state = page.Tree->State();
    state.Remove(node);
    if (state.Count() == 0) {
        QWidget *master = Panel(form, QStringLiteral("panMasterKey"), page.Id);
        QWidget *other = Panel(form, QStringLiteral("panOtherKey"), page.Id);
        if (master && other) {
            HideControl(master);
            HideControl(other);
        }
        return;
    }
    // As the old tree did, the selection goes to the next key, or to the previous one at the end.
    page.Tree->selectNode(state.Node(std::min(position, state.Count() - 1)));
}

void editMaKNumberChange(TMainForm &form, QObject *sender)
{
    const auto [node, key] = SelectedKey(PageOf(form, sender, QStringLiteral("editMaKNumber"), kEditDepth));
    if (auto *edit = dynamic_cast<CLineEdit *>(sender); key && edit)
        key->key_code = edit->Text();
}

void editKeyNumberChange(TMainForm &form, QObject *sender)
{
    const auto [node, key] = SelectedKey(PageOf(form, sender, QStringLiteral("editKeyNumber"), kEditDepth));
    if (auto *edit = dynamic_cast<CLineEdit *>(sender); key && edit)
        key->key_code = edit->Text();
}

void editKeyNameChange(TMainForm &form, QObject *sender)
{
    const KeyPage page = PageOf(form, sender, QStringLiteral("editKeyName"), kEditDepth);
    const auto [node, key] = SelectedKey(page);
    if (auto *edit = dynamic_cast<CLineEdit *>(sender); key && edit)
        page.Tree->State().SetShownName(node, edit->Text());
}

void editKeyNoChange(TMainForm &form, QObject *sender)
{
    const KeyPage page = PageOf(form, sender, QStringLiteral("editKeyNo"), kEditDepth);
    const auto [node, key] = SelectedKey(page);
    if (auto *spin = dynamic_cast<CSpinEdit *>(sender); key && spin)
        page.Tree->State().SetNumber(node, spin->Value());
}

void editKeyTypeChange(TMainForm &form, QObject *sender)
{
    const auto [node, key] = SelectedKey(PageOf(form, sender, QStringLiteral("editKeyType"), kEditDepth));
    auto *type = dynamic_cast<CComboBox *>(sender);
    if (!key || !type)
        return;
    if (const std::optional<int> v = KeyTypeValue(KeyTypeNode(form.CurrentDevice.get()), type->count(), type->Text()))
        key->key_type = *v;
}

void chkHosClick(TMainForm &form, QObject *sender)
{
    const QString prefix = QStringLiteral("chkHos");
    const auto [node, key] = SelectedKey(PageOf(form, sender, prefix, kEditDepth));
    auto *box = dynamic_cast<CCheckBox *>(sender);
    if (!key || !box)
        return;
    if (const std::optional<int> k = ParseDecimalInt(KeyNameTail(box->objectName(), prefix)))
        SetKeyLoopFlag(*key, *k - 1, box->Checked()); // nothing past the record's own flags
}

void chkKeyVz_SnClick(TMainForm &form, QObject *sender)
{
    const QString prefix = QStringLiteral("chkKeyVz_Sn");
    const auto [node, key] = SelectedKey(PageOf(form, sender, prefix, kEditDepth));
    auto *box = dynamic_cast<CCheckBox *>(sender);
    if (!key || !box)
        return;
    const int c = ParseDecimalInt(KeyNameTail(box->objectName(), prefix)).value_or(-1);
    if (c < 0 || c > 7)
        return;
    const auto bit = uint8_t(1u << c);
    key->KeyVz_Sn = box->Checked() ? uint8_t(key->KeyVz_Sn | bit) : uint8_t(key->KeyVz_Sn & ~bit);
}

void CSpinKeyLocLevelChange(TMainForm &form, QObject *sender)
{
    const auto [node, key] = SelectedKey(PageOf(form, sender, QStringLiteral("CSpinKeyLocLevel"), kEditDepth));
    if (auto *spin = dynamic_cast<CSpinEdit *>(sender); key && spin)
        key->KeyLocLevel = uint8_t(spin->Value());
}
