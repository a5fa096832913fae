#pragma once
#include <QAbstractTableModel>
#include <QPoint>
#include <QRect>
#include <QTreeView>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "editor/param_page.h"

class QFont;
class QFontMetrics;
class QPainter;

// Item model over a CParamPage: column 0 the captions, column c the cells c - 1.
class CParamPageModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CParamPageModel(CParamPage &page, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void Reload();
    void RowChanged(int row);

private:
    CParamPage &Page;
};

// What one painted row shows.
struct CParamRowPaint {
    int Index = 0;                  // row index: even rows white, odd ones light grey
    QString Caption;
    std::vector<CParamCell> Cells;
    std::vector<int> ColumnWidths;  // column 0 (the captions), then one per value column
    int CursorColumn = -1;          // SelectedColumn when this is SelectedRow; a value above 0 draws the cursor
};

// Paints a whole row into an image of size (the row's bounds) and returns it: background, the raised
// caption cell, grid lines, the default marks, the cursor cell, and each cell text centred as
// CellTextShown gives it.
QImage PaintParamRow(const CParamRowPaint &row, const QSize &size, const QFont &font);
// Whether a text of this width is drawn whole in a column of width columnWidth.
inline bool CellTextFits(int textWidth, int columnWidth) { return textWidth < columnWidth; }
// The text a cell of that column shows: the whole text when it fits, else the text elided to the
// cell within its grid lines, so that a value never looks absent.
QString CellTextShown(const QString &text, const QFontMetrics &metrics, int columnWidth);

// The parameter list lvQ + n of a parameter page. It paints its rows itself and passes the engineer's
// mouse and keys to the main window's handlers; the in-place editors are plain widgets on its viewport.
class CParamListView : public QTreeView {
    Q_OBJECT
public:
    explicit CParamListView(QWidget *parent = nullptr);

    CParamPage &Page() { return PageData; }
    const CParamPage &Page() const { return PageData; }
    CParamPageModel *PageModel() const { return Model; }
    // Lays out the columns and rows of the page as it now stands.
    void Reload();

    // The cursor cell as the main window holds it (SelectedRow, SelectedColumn).
    std::function<std::pair<int, int>()> CursorCell;
    // The cursor cell its in-place editor was opened on: the editor stores there however it ends,
    // whatever the cursor did meanwhile. -1, -1 before the first editor opens.
    struct CCell {
        int Row = -1;
        int Column = -1; // as SelectedColumn: the value column is Column - 1
    };
    CCell EditorCell;

    // Handlers (the main window's lvQ... handlers).
    std::function<void()> OnMouseDown;
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> OnKeyDown;
    std::function<void()> OnDblClick;
    std::function<void()> OnSelectItem;

    // Geometry in viewport (client) coordinates.
    QRect RowBounds(int row) const;         // the whole row, every column
    int ColumnCount() const;                // captions plus value columns
    int ColumnWidth(int column) const;
    // The pointer's screen position while the list handles a mouse event; none otherwise.
    std::optional<QPoint> MousePointer() const { return Pointer; }
    // True while the list moves its own row by a key it handles itself (Home, End, PgUp, PgDn, a
    // caption's first letter): the cell cursor then follows that row, not the pointer.
    bool MovingRowByKey() const { return RowByKey; }
    // Whether the cell (row, column as SelectedColumn) is in view: its whole height and some of its
    // width within the viewport.
    bool CellInView(int row, int column) const;
    // Scrolls the list so that the cursor cell, or its row without one, is in view.
    void ShowCursorCell();

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FollowCursorRow();
    CParamPage PageData;
    CParamPageModel *Model;
    std::optional<QPoint> Pointer;
    bool RowByKey = false;
};
