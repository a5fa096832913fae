#pragma once
// The key page of a table of type "key".
//
// BuildKeyPage(form, sheet, table, withValues, valuesTable) is called by TMainForm::BuildDevicePages:
// - form: the main window (PageCounter already holds the page's number n; LoopCount as set so far;
//   KeyCount, CurrentDevice, PageIds);
// - sheet: the new tab sheet on form.PageControl, already named "ts" + n, with PageTag n and its tab
//   image; it is registered as a component of form.PageControl, so controls registered with the sheet
//   (AddComponent / NameComponent, editor/components.h) are found at depth 2, theirs at depth 3;
// - table: the description's table node (its CTable has type "key");
// - withValues: as BuildDevicePages got it;
// - valuesTable: the values tree's table node of equal text, or null (none, or no values tree).
// It may throw (a conversion error): the build stops there and the caller reports it.
//
// What the page leaves for the other parts of the editor:
// - form.KeyCount = max_key_count of the table; form.LoopCount lowered to 16 when it was larger (after
//   the warning "Количество шлейфов более 16. Возможно, ошибка в файле параметров.");
// - the key list: the CKeyTreeView "tvKey" + n, a component of the sheet (FindComponent<CKeyTreeView>
//   ("tvKey" + n, form.PageControl, 2 or 3)); its items() hold one top-level node per key, in list
//   order, the master key (if any) first, no child nodes; node data = the page's own CKey (see
//   editor/key_page_state.h for the record rules); node text = position + ". " + name, and for a key
//   other than the master the key number is the decimal text after the first "№" of the node text
//   and of the name. selectedNode() is the key the panels show.
// - components, n being the page id (owner -> component):
//   sheet -> tb + n, sp + n, tvKey + n, panKey + n;
//   tb + n -> btnKeySave + n, btnKeyLoad + n, btnKeyRemove + n, btnKeyAdd + n, btnMaster + n;
//   panKey + n -> panMasterKey + n, panOtherKey + n;
//   panMasterKey + n -> labMK + n, editMaKNumber + n (CLabeledEdit), btnMaKNumber + n;
//   panOtherKey + n -> editKeyName + n, editKeyNo + n (CSpinEdit), labelKeyNo + n, editKeyType + n
//     (CComboBox), labelKeyType + n, editKeyNumber + n (CLabeledEdit), btnKeyNumber + n, and
//     with loops gbKeyHos -> gblabelType1_ + n, gblabelType2_ + n, chkHos + n + "_" + k (k = 1 .. 2L,
//       CCheckBox), gblabelType + (r + 2) + "_" + n (r = 1 .. L),
//     without loops gbKeyVz_Sn -> chkKeyVz_Sn + n + "_" + c (c = 0, 1); CSpinKeyLocLevel + n,
//       labelKeyLocLevel + n.
#include <QString>

#include <functional>
#include <memory>

#include "editor/controls.h"

class QObject;
class QWidget;
class CTreeNode;
class TMainForm;
class CKeyPageState;

void BuildKeyPage(TMainForm &form, QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable);

// The tree of a key page: the key list with its page state. OnChange runs when the selected node
// changes (the engineer's click or code); OnDrawItems before the tree paints its items.
class CKeyTreeView : public CPageTreeView {
    Q_OBJECT
public:
    explicit CKeyTreeView(QWidget *parent = nullptr);
    ~CKeyTreeView() override;
    CKeyPageState &State() { return *PageState; }
    std::function<void()> OnChange;
    std::function<void()> OnDrawItems;
    // Selects node (null: none) without running OnChange.
    void SelectQuietly(CTreeNode *node);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<CKeyPageState> PageState;
    bool Quiet = false;
};

// Handlers of the key page's controls. Each takes its control as sender, works out the page id from
// the sender's name and finds the tree and the panels by name under form.PageControl; a missing tree
// or panel ends it, any other missing control is left out.
// tvKeyChange reloads the panels from the tree's selected node (the single-key read calls it after it
// filled the selected record).
void tvKeyChange(TMainForm &form, QObject *sender);
void tvKeyCustomDrawItem(TMainForm &form, QObject *sender);
void btnKeyAddClick(TMainForm &form, QObject *sender);
void btnKeyRemoveClick(TMainForm &form, QObject *sender);
void editMaKNumberChange(TMainForm &form, QObject *sender);
void editKeyNameChange(TMainForm &form, QObject *sender);
void editKeyNoChange(TMainForm &form, QObject *sender);
void editKeyTypeChange(TMainForm &form, QObject *sender);
void editKeyNumberChange(TMainForm &form, QObject *sender);
void chkHosClick(TMainForm &form, QObject *sender);
void chkKeyVz_SnClick(TMainForm &form, QObject *sender);
void CSpinKeyLocLevelChange(TMainForm &form, QObject *sender);

// Handlers of the exchange buttons, filled by the single-key exchange (btnKeySave + n, btnKeyLoad + n)
// and the key reader (btnMaKNumber + n, btnKeyNumber + n); editor/key_page_exchange.cpp holds them.
void btnKeySaveClick(TMainForm &form, QObject *sender);
void btnKeyLoadClick(TMainForm &form, QObject *sender);
void btnNumberOnClick(TMainForm &form, QObject *sender);

// The page id and the tail of a run-time control's name: the number after prefix up to the first "_"
// after it (-1 when there is none), and the text after that "_" (empty when there is none). The
// prefix may itself hold "_" ("chkKeyVz_Sn12_1" -> 12 and "1").
int KeyPageId(const QString &name, const QString &prefix);
QString KeyNameTail(const QString &name, const QString &prefix);
