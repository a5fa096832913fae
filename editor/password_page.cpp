#include "editor/password_page.h"

#include <algorithm>

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/password_page_state.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/tree_model.h"
#include "platform/fonts.h"
#include "platform/tool_icons.h"

namespace {
const QString kTreePrefix = QStringLiteral("tvPass");
const QString kAdminPanelPrefix = QStringLiteral("panAdministratorPass");
const QString kOperatorPanelPrefix = QStringLiteral("panOperatorPass");
const QString kAdminEditPrefix = QStringLiteral("editAdministratorPassword");
const QString kOperatorEditPrefix = QStringLiteral("editOperatorPassword");
const QString kOperatorLabelPrefix = QStringLiteral("labOP");
const QString kDisabledPrefix = QStringLiteral("chkPassDisabled");
const QString kAccessPrefix = QStringLiteral("chkPassAccess");
const QString kHosPrefix = QStringLiteral("chkPassHos");
const QString kLoopBoxPrefix = QStringLiteral("chkPHos");

// Classic Windows button shadow; the labels' grey.
const QColor kButtonShadow(0x80, 0x80, 0x80);

QString LoopBoxName(int id, int k)
{
    return kLoopBoxPrefix + QString::number(id) + u'_' + QString::number(k);
}

QLabel *MakeCaptionLabel(QWidget *panel, const QString &text)
{
    auto *label = new QLabel(text, panel);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(TahomaPoints(24));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kButtonShadow);
    label->setPalette(p);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    return label;
}

CLabeledEdit *MakePasswordEdit(QWidget *panel)
{
    auto *edit = new CLabeledEdit(panel);
    edit->EditLabel->setText(QStringLiteral("Пароль"));
    edit->EditLabel->setFont(TahomaPoints(10));
    edit->setFont(TahomaPoints(12));
    edit->SetFlatBevel();
    edit->SetMaxLength(kPasswordTypingLimit);
    // 160 pixels hold 16 digits in the design's face; a wider face must not scroll them out of view.
    const int room = edit->fontMetrics().horizontalAdvance(QString(kPasswordTypingLimit, u'0')) + 5;
    edit->setGeometry(8, 66, std::max(160, room), edit->sizeHint().height());
    edit->raise();
    return edit;
}

CCheckBox *MakeCheckBox(QWidget *parent, const QString &caption, int top, int width)
{
    auto *box = new CCheckBox(caption, parent);
    box->setFont(TahomaPoints(10));
    // The design's width is for its own face; a wider substitute must not cut the caption.
    box->setGeometry(8, top, std::max(width, box->sizeHint().width()), box->sizeHint().height());
    box->raise();
    return box;
}

CTreeView *PassTree(const TMainForm &form, int id)
{
    if (id < 0)
        return nullptr;
    return FindComponent<CTreeView>(kTreePrefix + QString::number(id), form.PageControl, 2);
}

// The record of the selected user of the page the sender belongs to; null when the tree or the
// selection is missing.
CPass *SelectedUser(const TMainForm &form, const QObject *sender, const QString &prefix)
{
    if (!sender)
        return nullptr;
    CTreeView *tree = PassTree(form, PageIdFromName(sender->objectName(), prefix));
    CTreeNode *node = tree ? tree->selectedNode() : nullptr;
    return node ? node->pass() : nullptr;
}

template <class T>
T *Direct(const QString &prefix, int id, const QObject *owner)
{
    return FindComponent<T>(prefix + QString::number(id), owner, 1);
}
} // namespace

void BuildPasswordPage(TMainForm &form, QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable)
{
    if (!sheet || !table)
        return;
    const int id = PageTag(sheet);
    const QString n = QString::number(id);

    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *toolBar = NameComponent(new QToolBar(sheet), sheet, QStringLiteral("tb") + n);
    toolBar->setWindowTitle(toolBar->objectName());
    toolBar->setMovable(false);
    toolBar->setFloatable(false);

    auto *splitter = NameComponent(new QSplitter(Qt::Horizontal, sheet), sheet, QStringLiteral("sp") + n);
    splitter->setHandleWidth(3);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: #808080; }"));
    layout->addWidget(splitter, 1);
    layout->addWidget(toolBar);

    auto *tree = NameComponent(new CPageTreeView(splitter), sheet, kTreePrefix + n);
    tree->setFont(TahomaPoints(10));
    tree->setMinimumWidth(100);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    {
        // The selection stays visible while the tree has no focus.
        QPalette p = tree->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        tree->setPalette(p);
        QList<QIcon> images;
        for (int i = 0; i < kPassImage; ++i)
            images.append(QIcon());
        images.append(StandardIcon(QStyle::SP_DialogHelpButton)); // made once for the run
        tree->treeModel()->setImages(images);
    }

    const CTable *t = table->table();
    form.PassCount = t ? t->max_key_count : 0;

    auto *panPass = NameComponent(new QWidget(splitter), sheet, QStringLiteral("panPass") + n);
    FillAsPanel(panPass);
    auto *panLayout = new QVBoxLayout(panPass);
    panLayout->setContentsMargins(0, 0, 0, 0);
    splitter->addWidget(tree);
    splitter->addWidget(panPass);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 600});

    auto *admin = NameComponent(new QWidget(panPass), panPass, kAdminPanelPrefix + n);
    panLayout->addWidget(admin);
    admin->hide();
    NameComponent(MakeCaptionLabel(admin, kAdministratorName), admin, QStringLiteral("labAP") + n);
    auto *adminEdit = NameComponent(MakePasswordEdit(admin), admin, kAdminEditPrefix + n);
    adminEdit->SetText(kDefaultAdminPassword);
    adminEdit->OnChange = [&form, adminEdit] { RunGuarded([&] { editAdministratorPasswordChange(form, adminEdit); }); };

    auto *op = NameComponent(new QWidget(panPass), panPass, kOperatorPanelPrefix + n);
    panLayout->addWidget(op);
    op->hide();
    NameComponent(MakeCaptionLabel(op, QStringLiteral("Оператор")), op, kOperatorLabelPrefix + n);
    auto *opEdit = NameComponent(MakePasswordEdit(op), op, kOperatorEditPrefix + n);
    opEdit->OnChange = [&form, opEdit] { RunGuarded([&] { editOperatorPasswordChange(form, opEdit); }); };

    auto *disabled = NameComponent(MakeCheckBox(op, QStringLiteral("Пароль заблокирован"), 96, 200), op,
                                   kDisabledPrefix + n);
    disabled->OnClick = [&form, disabled] { RunGuarded([&] { chkPassDisabledClick(form, disabled); }); };
    auto *access = NameComponent(MakeCheckBox(op, QStringLiteral("Доступ"), 120, 200), op, kAccessPrefix + n);
    access->SetChecked(true);
    access->OnClick = [&form, access] { RunGuarded([&] { chkPassAccessClick(form, access); }); };
    auto *hos = NameComponent(MakeCheckBox(op, QStringLiteral("Управляет ШС (взятие/снятие):"), 144, 210), op,
                              kHosPrefix + n);
    hos->OnClick = [&form, hos] { RunGuarded([&] { chkPassHosClick(form, hos); }); };

    // The width follows the count as the description gives it, before the lowering below.
    const int column = CheckBoxWidth(QStringLiteral("ШС") + QString::number(PassLoopCount(form.LoopCount)),
                                     TahomaPoints(8), kLoopBoxWidth);
    auto *group = new QGroupBox(QStringLiteral(" Шлейфы сигнализации "), op);
    AddComponent(op, group);
    group->setGeometry(8, 170, LoopGroupWidth(form.LoopCount, column), 120);
    group->raise();

    if (form.LoopCount > kMaxPassLoops) {
        ShowMessageDlg(kTooManyPassLoopsText, mtWarning, mbOK);
        form.LoopCount = kMaxPassLoops;
    }
    const int loops = PassLoopCount(form.LoopCount);
    for (int k = 1; k <= loops; ++k) {
        auto *box = NameComponent(new CCheckBox(QStringLiteral("ШС") + QString::number(k), group), group,
                                  LoopBoxName(id, k));
        box->setFont(TahomaPoints(8));
        const LoopBoxPlace place = LoopBoxPosition(k, column);
        box->setGeometry(place.Left, place.Top, column, box->sizeHint().height());
        box->setEnabled(false);
        box->OnClick = [&form, box] { RunGuarded([&] { chkPHosClick(form, box); }); };
    }

    // Fresh users take the lowered count too, so a file saved with them opens again with its users.
    FillUsers(tree->items(), form.PassCount, loops, withValues, valuesTable);

    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, tree,
                     [&form, tree] { RunGuarded([&] { tvPassChange(form, tree); }); });
}

void tvPassChange(TMainForm &form, QObject *sender)
{
    auto *tree = dynamic_cast<CTreeView *>(sender);
    CTreeNode *node = tree ? tree->selectedNode() : nullptr;
    if (!node)
        return;
    const std::shared_ptr<CPass> user = node->sharedAs<CPass>();
    const int id = PageIdFromName(tree->objectName(), kTreePrefix);
    const QString n = QString::number(id);
    auto *admin = FindComponent<QWidget>(kAdminPanelPrefix + n, form.PageControl, 3);
    auto *op = FindComponent<QWidget>(kOperatorPanelPrefix + n, form.PageControl, 3);
    if (!admin || !op || !user)
        return;

    if (PanelFor(user.get()) == PassPanel::Administrator) {
        op->hide();
        admin->show();
        if (auto *edit = Direct<CLineEdit>(kAdminEditPrefix, id, admin))
            edit->SetText(user->password);
        return;
    }
    admin->hide();
    op->show();
    // Each control's handler writes the same value back into the record.
    auto *label = Direct<QLabel>(kOperatorLabelPrefix, id, op);
    if (!label)
        return;
    label->setText(user->name);
    auto *edit = Direct<CLineEdit>(kOperatorEditPrefix, id, op);
    if (!edit)
        return;
    edit->SetText(user->password);
    auto *disabled = Direct<CCheckBox>(kDisabledPrefix, id, op);
    if (!disabled)
        return;
    disabled->SetChecked(user->disabled);
    auto *access = Direct<CCheckBox>(kAccessPrefix, id, op);
    if (!access)
        return;
    access->SetChecked(user->access);
    auto *hos = Direct<CCheckBox>(kHosPrefix, id, op);
    if (!hos)
        return;
    hos->SetChecked(user->hos_key);
    for (int k = 1; k <= form.LoopCount; ++k) {
        auto *box = FindComponent<CCheckBox>(LoopBoxName(id, k), op, 2);
        if (!box)
            break;
        box->SetChecked(UserLoopFlag(*user, k));
    }
}

void editAdministratorPasswordChange(TMainForm &form, QObject *sender)
{
    if (CPass *user = SelectedUser(form, sender, kAdminEditPrefix))
        if (auto *edit = dynamic_cast<CLineEdit *>(sender))
            user->password = edit->Text();
}

void editOperatorPasswordChange(TMainForm &form, QObject *sender)
{
    if (CPass *user = SelectedUser(form, sender, kOperatorEditPrefix))
        if (auto *edit = dynamic_cast<CLineEdit *>(sender))
            user->password = edit->Text();
}

void chkPassDisabledClick(TMainForm &form, QObject *sender)
{
    if (CPass *user = SelectedUser(form, sender, kDisabledPrefix))
        if (auto *box = dynamic_cast<CCheckBox *>(sender))
            user->disabled = box->Checked();
}

void chkPassAccessClick(TMainForm &form, QObject *sender)
{
    if (CPass *user = SelectedUser(form, sender, kAccessPrefix))
        if (auto *box = dynamic_cast<CCheckBox *>(sender))
            user->access = box->Checked();
}

void chkPassHosClick(TMainForm &form, QObject *sender)
{
    auto *box = dynamic_cast<CCheckBox *>(sender);
    if (!box)
        return;
    const int id = PageIdFromName(box->objectName(), kHosPrefix);
    if (!PassTree(form, id))
        return;
    if (CPass *user = SelectedUser(form, box, kHosPrefix))
        user->hos_key = box->Checked();
    // The loop boxes are usable exactly while the user controls loops.
    for (int k = 1; k <= form.LoopCount; ++k) {
        auto *loopBox = FindComponent<QWidget>(LoopBoxName(id, k), box->parent(), 2);
        if (!loopBox)
            break;
        loopBox->setEnabled(box->Checked());
    }
}

void chkPHosClick(TMainForm &form, QObject *sender)
{
    auto *box = dynamic_cast<CCheckBox *>(sender);
    if (!box)
        return;
    const std::optional<int> k = ParseDecimalInt(NameTail(box->objectName()));
    if (!k)
        return;
    if (CPass *user = SelectedUser(form, box, kLoopBoxPrefix))
        SetUserLoopFlag(*user, *k, box->Checked());
}
