#pragma once
// The password page of a table of type "pass".
//
// BuildPasswordPage(form, sheet, table, withValues, valuesTable) is called by TMainForm::BuildDevicePages:
// - form: the main window (PageCounter already holds the page's number n; LoopCount as set so far;
//   PassCount, PageIds);
// - sheet: the new tab sheet on form.PageControl, already named "ts" + n, with PageTag n and its tab
//   image; it is registered as a component of form.PageControl, so controls registered with the sheet
//   (AddComponent / NameComponent, editor/components.h) are found at depth 2, theirs at depth 3;
// - table: the description's table node (its CTable has type "pass");
// - withValues: as BuildDevicePages got it;
// - valuesTable: the values tree's table node of equal text, or null (none, or no values tree).
// It may throw: the build stops there and the caller reports it.
//
// What the page leaves for the file save and the report: the tree "tvPass" + n (a CTreeView), found
// with FindComponentByName under form.PageControl at depth 2. Its top-level nodes, in order, are the
// users; each node's data is the user's CPass (node->pass()), which carries exactly hos_count loop
// flags in hos_chk. The nodes have no children. form.PassCount is the table's max_key_count.
// form.LoopCount is lowered to 32 when it was larger.
//
// Every edit goes straight into the record of the tree's selected node. The rules without widgets are
// in editor/password_page_state.h.
class QObject;
class QWidget;
class CTreeNode;
class TMainForm;

void BuildPasswordPage(TMainForm &form, QWidget *sheet, CTreeNode *table, bool withValues,
                       CTreeNode *valuesTable);

// Handlers of the page's controls; each takes its page id from the sender's name and finds the
// controls it needs by name under form.PageControl, doing nothing when one is missing.
void tvPassChange(TMainForm &form, QObject *sender);                     // tvPass + n: selection
void editAdministratorPasswordChange(TMainForm &form, QObject *sender);  // password typed or set
void editOperatorPasswordChange(TMainForm &form, QObject *sender);
void chkPassDisabledClick(TMainForm &form, QObject *sender);             // "Пароль заблокирован"
void chkPassAccessClick(TMainForm &form, QObject *sender);               // "Доступ"
void chkPassHosClick(TMainForm &form, QObject *sender);                  // loop control; enables the loop boxes
void chkPHosClick(TMainForm &form, QObject *sender);                     // chkPHos + n + "_" + k
