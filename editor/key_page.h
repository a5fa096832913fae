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
class QWidget;
class CTreeNode;
class TMainForm;

void BuildKeyPage(TMainForm &form, QWidget *sheet, CTreeNode *table, bool withValues, CTreeNode *valuesTable);
