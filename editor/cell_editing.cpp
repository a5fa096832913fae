// In-place editing of the parameter pages: the cell cursor, the editors and the space-bar step.
#include <algorithm>
#include <optional>
#include <utility>

#include <QFontMetrics>
#include <QTabWidget>

#include "editor/components.h"
#include "editor/controls.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"

namespace {
constexpr int kSearchDepth = 3;

CParamListView *AsList(QObject *sender) { return dynamic_cast<CParamListView *>(sender); }
} // namespace

int TMainForm::ListClientToScreenX(int x)
{
    CParamListView *list = ActiveList();
    if (!list)
        return x;
    SelectByKeyboard = false;
    return list->viewport()->mapToGlobal(QPoint(x, 0)).x();
}

int TMainForm::ListClientToScreenY(int y)
{
    CParamListView *list = ActiveList();
    if (!list)
        return y;
    return list->viewport()->mapToGlobal(QPoint(0, y)).y();
}

void TMainForm::UpdateEditorRect()
{
    CParamListView *list = ActiveList();
    if (!list)
        return;
    if (SelectedColumn < 0 || SelectedRow < 0) {
        EditorRect = {};
        return;
    }
    const QRect row = list->RowBounds(SelectedRow);
    if (row.isNull())
        return;
    int x = row.left();
    for (int j = 0; j < list->ColumnCount(); ++j) {
        const int w = list->ColumnWidth(j);
        if (j == SelectedColumn) {
            EditorRect = {x, row.top(), w - 1, row.height() - 1};
            return;
        }
        x += w;
    }
}

void TMainForm::lvQMouseDown(QObject *sender)
{
    CParamListView *list = AsList(sender);
    if (!list)
        return;
    const bool byKeyboard = SelectByKeyboard;
    SelectByKeyboard = false;
    list->clearSelection();
    if (byKeyboard)
        list->viewport()->update();
}

void TMainForm::lvQSelectItem(QObject *sender)
{
    CParamListView *list = AsList(sender);
    if (!list)
        return;
    const CParamPage &page = list->Page();
    if (list->MovingRowByKey()) {
        // Home, End, PgUp, PgDn or a caption's letter moved the list's row: the cursor goes there in
        // its column. The pointer, wherever it rests, chooses nothing.
        if (const QModelIndex current = list->currentIndex(); current.isValid())
            SelectedRow = current.row();
        SelectByKeyboard = true;
    } else if (const std::optional<QPoint> mouse = list->MousePointer(); mouse && !SelectByKeyboard) {
        const QPoint pointer = *mouse;
        for (int i = 0; i < page.RowCount(); ++i) {
            const QRect r = list->RowBounds(i);
            if (r.isNull())
                continue;
            const int top = ListClientToScreenY(r.top());
            const int bottom = ListClientToScreenY(r.top() + r.height());
            const int left = ListClientToScreenX(r.left());
            const int right = ListClientToScreenX(r.left() + r.width());
            if (pointer.y() < top || pointer.y() > bottom - 1 || pointer.x() < left || pointer.x() > right)
                continue;
            int x = left;
            for (int j = 0; j < list->ColumnCount(); ++j) {
                const int w = list->ColumnWidth(j);
                if (x <= pointer.x() && pointer.x() < x + w) {
                    SelectedColumn = j;
                    SelectedRow = i;
                    break;
                }
                x += w;
            }
            break;
        }
    }
    list->viewport()->update();
    if (SelectedRow < 0 || SelectedColumn <= 0) {
        SetStatusText(QString());
        return;
    }
    SelectedColumnAddress = ColumnAddress(page, SelectedColumn);
    SetStatusText(CellStatusText(page, SelectedRow, SelectedColumn));
}

void TMainForm::lvQKeyDown(QObject *sender, int key, Qt::KeyboardModifiers modifiers)
{
    CParamListView *list = AsList(sender);
    if (!list || list->Page().RowCount() == 0)
        return;
    CursorKey move;
    switch (key) {
    case Qt::Key_Down:
        move = CursorKey::Down;
        break;
    case Qt::Key_Up:
        move = CursorKey::Up;
        break;
    case Qt::Key_Right:
        move = CursorKey::Right;
        break;
    case Qt::Key_Left:
        move = CursorKey::Left;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // A key changes only a cell the engineer sees: a cursor cell scrolled out of view (the wheel,
        // the scroll bar) is brought into view first, and the next key acts on it.
        if (SelectedRow >= 0 && SelectedColumn > 0 && !list->CellInView(SelectedRow, SelectedColumn)) {
            list->ShowCursorCell();
            return;
        }
        if (key == Qt::Key_Space)
            StepCellValue(list, modifiers & Qt::ShiftModifier);
        else
            lvQDblClick(list);
        return;
    default:
        return;
    }
    MoveCursor(list->Page(), SelectedRow, SelectedColumn, move);
    SelectByKeyboard = true;
    // The status follows the cursor at once: the list's own row may not change with it (a column
    // move, the last row), and then no selection change would tell.
    lvQSelectItem(list);
}

void TMainForm::lvQDblClick(QObject *sender)
{
    CParamListView *list = AsList(sender);
    if (!list || SelectedColumn < 1 || SelectedRow < 0)
        return;
    UpdateEditorRect();
    const QString n = list->objectName().mid(3);
    CParamPage &page = list->Page();
    const CParam *param = page.Param(SelectedRow);
    if (!param)
        return;
    const QString cell = page.CellText(SelectedRow, SelectedColumn - 1);
    const TEditorRect r = EditorRect;
    const CParamListView::CCell opened{SelectedRow, SelectedColumn};
    switch (param->TypeCode) {
    case tcText: {
        auto *edit = FindComponent<CLineEdit>(QStringLiteral("edit") + n, PageControl, kSearchDepth);
        if (!edit)
            return;
        list->EditorCell = opened;
        edit->SetText(cell);
        edit->setGeometry(r.Left, r.Top, r.Width, r.Height);
        edit->show();
        edit->raise();
        edit->setFocus();
        break;
    }
    case tcNumber: {
        auto *medit = FindComponent<CNumberEdit>(QStringLiteral("medit") + n, PageControl, kSearchDepth);
        auto *ud = FindComponent<CSpinButton>(QStringLiteral("ud") + n, PageControl, kSearchDepth);
        if (!medit || !ud)
            return;
        list->EditorCell = opened;
        medit->SetBounds(param->MinValue, param->MaxValue);
        medit->SetText(QString::number(CellNumberOr0(cell)));
        medit->Edited = false;
        medit->setGeometry(r.Left, r.Top, r.Width - 16, r.Height);
        medit->show();
        medit->raise();
        medit->setFocus();
        ud->setGeometry(r.Left + r.Width - 16, r.Top, 16, r.Height);
        ud->show();
        ud->raise();
        break;
    }
    case tcList: {
        if (!OpensListEditor(page, SelectedRow))
            return; // row 0 of a multi-column table holds the columns' table addresses
        auto *cb = FindComponent<CComboBox>(QStringLiteral("cb") + n, PageControl, kSearchDepth);
        if (!cb)
            return;
        list->EditorCell = opened;
        cb->blockSignals(true);
        cb->clear();
        cb->addItems(param->ItemNames);
        cb->blockSignals(false);
        cb->SetItemIndex(int(param->ItemNames.indexOf(cell)));
        const QFontMetrics metrics(cb->font());
        int widest = 0;
        for (const QString &name : param->ItemNames)
            widest = std::max(widest, metrics.horizontalAdvance(name));
        cb->setMaxVisibleItems(std::max(1, int(param->ItemNames.size())));
        cb->setGeometry(r.Left, r.Top, std::max(r.Width, widest + 4), r.Height);
        cb->show();
        cb->raise();
        cb->setFocus();
        cb->showPopup();
        break;
    }
    case tcBool: {
        const CellStep step = ToggleBoolCell(cell);
        if (step.Text) {
            page.SetCellText(SelectedRow, SelectedColumn - 1, *step.Text);
            SetStatusText(step.Status);
        }
        break;
    }
    default:
        break; // "sys" cells are not edited
    }
}

void TMainForm::StepCellValue(CParamListView *list, bool backwards)
{
    if (!list || SelectedColumn <= 0 || SelectedRow < 0)
        return;
    UpdateEditorRect();
    const CellStep step = StepCell(list->Page(), SelectedRow, SelectedColumn, backwards);
    if (step.OpenTextEditor) {
        lvQDblClick(list);
        return;
    }
    if (!step.Text)
        return;
    SetStatusText(step.Status);
    list->Page().SetCellText(SelectedRow, SelectedColumn - 1, *step.Text);
}

// Editors. Each stores into the cell of its own list that it was opened on.

namespace {
template <class T>
T *Partner(const QObject *sender, const QString &prefix, const QString &partnerPrefix, const QObject *root)
{
    if (!sender)
        return nullptr;
    return FindComponent<T>(SwapNamePrefix(sender->objectName(), prefix, partnerPrefix), root, kSearchDepth);
}

// The open editor's cell of list: its row and its index among the row's cells.
std::pair<int, int> EditorCellOf(const CParamListView *list)
{
    return {list->EditorCell.Row, list->EditorCell.Column - 1};
}
} // namespace

void TMainForm::editExit(QObject *sender)
{
    auto *edit = dynamic_cast<CLineEdit *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("edit"), QStringLiteral("lvQ"), PageControl);
    if (!edit || !list)
        return;
    const auto [row, cell] = EditorCellOf(list);
    list->Page().SetCellText(row, cell, edit->text());
    SetStatusText(list->Page().CellText(row, cell));
    HideControl(edit);
}

void TMainForm::editKeyDown(QObject *sender, int key)
{
    auto *edit = dynamic_cast<CLineEdit *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("edit"), QStringLiteral("lvQ"), PageControl);
    if (!edit || !list)
        return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const auto [row, cell] = EditorCellOf(list);
        list->Page().SetCellText(row, cell, edit->text());
        HideControl(edit);
        list->setFocus();
    } else if (key == Qt::Key_Escape) {
        HideControl(edit); // its exit stores the text as typed
        list->setFocus();
    }
}

namespace {
int ClampedNumber(const QString &text, const CParam *param)
{
    QString t = text;
    t.remove(u' ');
    return ClampToBounds(CellNumberOr0(t), param->MinValue, param->MaxValue);
}
} // namespace

void TMainForm::meditExit(QObject *sender)
{
    auto *medit = dynamic_cast<CNumberEdit *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("medit"), QStringLiteral("lvQ"), PageControl);
    auto *ud = Partner<CSpinButton>(sender, QStringLiteral("medit"), QStringLiteral("ud"), PageControl);
    if (!medit || !list || !ud)
        return;
    const auto [row, cell] = EditorCellOf(list);
    const CParam *param = list->Page().Param(row);
    // A value only looked at is not rewritten.
    if (param && medit->Edited) {
        list->Page().SetCellText(row, cell, QString::number(ClampedNumber(medit->text(), param)));
        medit->Edited = false;
    }
    SetStatusText(list->Page().CellText(row, cell));
    HideControl(medit);
    HideControl(ud);
}

void TMainForm::meditKeyDown(QObject *sender, int key)
{
    auto *medit = dynamic_cast<CNumberEdit *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("medit"), QStringLiteral("lvQ"), PageControl);
    auto *ud = Partner<CSpinButton>(sender, QStringLiteral("medit"), QStringLiteral("ud"), PageControl);
    if (!medit || !list || !ud)
        return;
    const auto [row, cell] = EditorCellOf(list);
    const CParam *param = list->Page().Param(row);
    if (!param)
        return;
    const int v = ClampedNumber(medit->text(), param);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        list->Page().SetCellText(row, cell, QString::number(v));
        medit->Edited = false;
        SetStatusText(QString::number(v));
        HideControl(medit);
        HideControl(ud);
        list->setFocus();
    } else if (key == Qt::Key_Escape) {
        HideControl(medit); // its exit stores what was typed, and only that
        HideControl(ud);
        SetStatusText(list->Page().CellText(row, cell));
        list->setFocus();
    }
}

void TMainForm::cbChange(QObject *sender)
{
    auto *cb = dynamic_cast<CComboBox *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("cb"), QStringLiteral("lvQ"), PageControl);
    if (!cb || !list)
        return;
    const auto [row, cell] = EditorCellOf(list);
    SetStatusText(cb->currentText());
    list->Page().SetCellText(row, cell, cb->currentText());
}

void TMainForm::cbExit(QObject *sender)
{
    if (auto *cb = dynamic_cast<CComboBox *>(sender))
        HideControl(cb);
}

void TMainForm::cbKeyDown(QObject *sender, int key)
{
    auto *cb = dynamic_cast<CComboBox *>(sender);
    auto *list = Partner<CParamListView>(sender, QStringLiteral("cb"), QStringLiteral("lvQ"), PageControl);
    if (!cb || !list || key != Qt::Key_Escape)
        return;
    HideControl(cb);
    list->setFocus();
}

namespace {
void StepNumberEditor(TMainForm &form, QObject *sender, int delta)
{
    auto *list = Partner<CParamListView>(sender, QStringLiteral("ud"), QStringLiteral("lvQ"), form.PageControl);
    auto *medit = Partner<CNumberEdit>(sender, QStringLiteral("ud"), QStringLiteral("medit"), form.PageControl);
    if (!list || !medit)
        return;
    const auto [row, cell] = EditorCellOf(list);
    const CParam *param = list->Page().Param(row);
    if (!param)
        return;
    const int v = ClampToBounds(int64_t(CellNumberOr0(medit->text())) + delta, param->MinValue, param->MaxValue);
    medit->SetText(QString::number(v));
    medit->Edited = true;
    list->Page().SetCellText(row, cell, QString::number(v));
}
} // namespace

void TMainForm::udOnUpClick(QObject *sender) { StepNumberEditor(*this, sender, +1); }
void TMainForm::udOnDownClick(QObject *sender) { StepNumberEditor(*this, sender, -1); }

void TMainForm::EndCellEditing()
{
    for (const int id : PageIds) {
        const QString n = QString::number(id);
        auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + n, PageControl, kSearchDepth);
        if (!list)
            continue;
        auto *edit = FindComponent<CLineEdit>(QStringLiteral("edit") + n, PageControl, kSearchDepth);
        auto *medit = FindComponent<CNumberEdit>(QStringLiteral("medit") + n, PageControl, kSearchDepth);
        auto *cb = FindComponent<CComboBox>(QStringLiteral("cb") + n, PageControl, kSearchDepth);
        auto *ud = FindComponent<CSpinButton>(QStringLiteral("ud") + n, PageControl, kSearchDepth);
        const std::pair<QWidget *, const ControlHandler *> editors[] = {
            {edit, edit ? &edit->OnExit : nullptr},
            {medit, medit ? &medit->OnExit : nullptr},
            {cb, cb ? &cb->OnExit : nullptr},
        };
        for (const auto &[editor, onExit] : editors) {
            if (!editor || editor->isHidden())
                continue;
            if (editor == cb)
                cb->hidePopup(); // a drop-down still open closes first, keeping the choice made
            if (editor->hasFocus())
                list->setFocus(); // the editor is left for its list, and its exit handler runs
            else if (*onExit)
                (*onExit)(); // its window is not active: nothing leaves it, so it is ended directly
            HideControl(editor);
        }
        if (ud && (!medit || medit->isHidden()))
            HideControl(ud);
    }
}
