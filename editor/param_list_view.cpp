#include "editor/param_list_view.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>

#include "platform/colors.h"
#include "platform/fonts.h"
#include "platform/item_delegate.h"

namespace {
// The classic Windows system colours, so the pages look the same on every desktop.
const QColor kBtnHighlight(255, 255, 255);
const QColor kScrollBar(212, 208, 200);
const QColor k3DDkShadow(64, 64, 64);
const QColor kNavy = ColorFromWin(0x800000);
const QColor kCursorFill(160, 160, 255);
} // namespace

// CParamPageModel

CParamPageModel::CParamPageModel(CParamPage &page, QObject *parent) : QAbstractTableModel(parent), Page(page) {}

int CParamPageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Page.RowCount();
}

int CParamPageModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Page.Columns + 1;
}

QVariant CParamPageModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return index.column() == 0 ? Page.Caption(index.row()) : Page.CellText(index.row(), index.column() - 1);
}

QVariant CParamPageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return section == 0 ? QStringLiteral("Конфигурационные параметры") : QString();
    if (role == Qt::TextAlignmentRole && section > 0)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags CParamPageModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CParamPageModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void CParamPageModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, Page.Columns));
}

// Painting

QString CellTextShown(const QString &text, const QFontMetrics &metrics, int columnWidth)
{
    if (CellTextFits(metrics.horizontalAdvance(text), columnWidth))
        return text;
    return metrics.elidedText(text, Qt::ElideRight, std::max(columnWidth - 2, 0));
}

QImage PaintParamRow(const CParamRowPaint &row, const QSize &size, const QFont &font)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    const int h = size.height();
    const int w0 = row.ColumnWidths.empty() ? 0 : row.ColumnWidths[0];
    image.fill(row.Index % 2 == 0 ? QColor(255, 255, 255) : QColor(240, 240, 240));
    QPainter p(&image);
    p.setFont(font);
    const QFontMetrics metrics(font);

    // The caption cell, raised like a button.
    p.fillRect(QRect(0, 0, w0 - 1, h), kClassicBtnFace);
    p.setPen(kClassicBtnShadow);
    p.drawLine(0, h - 1, w0 - 2, h - 1);
    p.drawLine(w0 - 2, h - 1, w0 - 2, 0);
    p.setPen(kBtnHighlight);
    p.drawLine(0, h - 1, 0, 0);
    p.drawLine(0, 0, w0 - 2, 0);
    p.setPen(Qt::black);
    p.drawText(QRect(5, 0, qMax(1, size.width() * 4), h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               row.Caption);

    int x = w0;
    for (size_t i = 0; i < row.Cells.size(); ++i) {
        const int cw = i + 1 < row.ColumnWidths.size() ? row.ColumnWidths[i + 1] : 0;
        const CParamCell &cell = row.Cells[i];
        p.setPen(kClassicBtnShadow);
        p.drawLine(x, h - 1, x + cw - 1, h - 1);
        p.drawLine(x + cw - 1, h - 1, x + cw - 1, 0);
        QColor textColor = Qt::black;
        const QRect box(x, 0, cw - 2, h - 2); // outline and fill from x to x + cw - 2
        if (cell.Image == DefaultMarker) {
            p.setPen(kClassicBtnShadow);
            p.setBrush(kScrollBar);
            p.drawRect(box);
            textColor = k3DDkShadow;
        }
        if (row.CursorColumn > 0 && int(i) + 1 == row.CursorColumn) {
            p.setPen(kNavy);
            p.setBrush(kCursorFill);
            p.drawRect(box);
        }
        p.setBrush(Qt::NoBrush);
        const QString shown = CellTextShown(cell.Text, metrics, cw);
        if (!shown.isEmpty()) {
            const int width = metrics.horizontalAdvance(shown);
            p.setPen(textColor);
            p.drawText(QRect(x + (cw - width) / 2, 0, width + 1, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       shown);
        }
        x += cw;
    }
    return image;
}

// CParamListView

CParamListView::CParamListView(QWidget *parent) : QTreeView(parent), Model(new CParamPageModel(PageData, this))
{
    setModel(Model);
    setItemDelegate(new CDesignItemDelegate(this)); // the rows' height; drawRow paints them
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setDefaultAlignment(Qt::AlignCenter);
    setFont(TahomaPoints(10));
    PageData.OnCellChanged = [this](int row) { Model->RowChanged(row); };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (OnSelectItem)
            OnSelectItem();
    });
}

void CParamListView::Reload()
{
    Model->Reload();
    header()->resizeSection(0, 250);
    for (int c = 1; c <= PageData.Columns; ++c)
        header()->resizeSection(c, PageData.ColumnWidth);
}

int CParamListView::ColumnCount() const { return PageData.Columns + 1; }

int CParamListView::ColumnWidth(int column) const
{
    return column >= 0 && column < ColumnCount() ? header()->sectionSize(column) : 0;
}

QRect CParamListView::RowBounds(int row) const
{
    const QRect r = visualRect(Model->index(row, 0));
    if (!r.isValid())
        return {};
    return QRect(header()->sectionViewportPosition(0), r.top(), header()->length(), r.height());
}

void CParamListView::drawRow(QPainter *painter, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const int row = index.row();
    const QRect bounds = RowBounds(row);
    if (bounds.isEmpty())
        return;
    CParamRowPaint paint;
    paint.Index = row;
    paint.Caption = PageData.Caption(row);
    if (row < PageData.RowCount())
        paint.Cells = PageData.Rows[size_t(row)].Cells;
    for (int c = 0; c < ColumnCount(); ++c)
        paint.ColumnWidths.push_back(ColumnWidth(c));
    if (CursorCell) {
        const auto [selectedRow, selectedColumn] = CursorCell();
        if (selectedRow == row)
            paint.CursorColumn = selectedColumn;
    }
    // Painted off-screen and copied at once, so a row never shows half-painted.
    painter->drawImage(bounds.topLeft(), PaintParamRow(paint, bounds.size(), font()));
}

namespace {
// The pointer of the mouse event being handled, for the select handler it raises.
class CPointerOf {
public:
    CPointerOf(std::optional<QPoint> &pointer, const QMouseEvent *event) : Pointer(pointer)
    {
        Pointer = event->globalPosition().toPoint();
    }
    ~CPointerOf() { Pointer.reset(); }
    CPointerOf(const CPointerOf &) = delete;
    CPointerOf &operator=(const CPointerOf &) = delete;

private:
    std::optional<QPoint> &Pointer;
};
} // namespace

void CParamListView::mousePressEvent(QMouseEvent *event)
{
    const CPointerOf pointer(Pointer, event);
    if (OnMouseDown)
        OnMouseDown();
    QTreeView::mousePressEvent(event);
}

void CParamListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    {
        const CPointerOf pointer(Pointer, event);
        QTreeView::mouseDoubleClickEvent(event);
    }
    if (OnDblClick)
        OnDblClick();
}

void CParamListView::mouseMoveEvent(QMouseEvent *event)
{
    const CPointerOf pointer(Pointer, event);
    QTreeView::mouseMoveEvent(event);
}

void CParamListView::mouseReleaseEvent(QMouseEvent *event)
{
    const CPointerOf pointer(Pointer, event);
    QTreeView::mouseReleaseEvent(event);
}

void CParamListView::keyPressEvent(QKeyEvent *event)
{
    // Qt passes a key that an open editor leaves unused (Up, Down, PgUp and PgDn in an edit box) on to
    // its parent, this list, whose cursor would then move under the editor. While an editor holds the
    // focus, the keys are its own.
    const QWidget *focus = QApplication::focusWidget();
    if (focus && focus != this && isAncestorOf(focus)) {
        event->accept();
        return;
    }
    if (OnKeyDown)
        OnKeyDown(event->key(), event->modifiers());
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept(); // handled above: the editor opens or the value steps
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        QTreeView::keyPressEvent(event);
        FollowCursorRow();
        ShowCursorCell();
        return;
    default: {
        const QModelIndex before = currentIndex();
        {
            const QScopedValueRollback<bool> byKey(RowByKey, true);
            QTreeView::keyPressEvent(event);
        }
        const int key = event->key();
        const bool paging = key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp ||
                            key == Qt::Key_PageDown;
        if (paging || currentIndex() != before)
            ShowCursorCell(); // also where the row could not move: the last row, out of view
    }
    }
}

void CParamListView::FollowCursorRow()
{
    // The list's own current row would otherwise run ahead of the cell cursor (a first arrow key
    // makes row 0 current while the cursor takes the caption column), and scroll to the wrong row.
    const int row = CursorCell ? CursorCell().first : -1;
    const QModelIndex current = currentIndex();
    if (row < 0 || row >= Model->rowCount() || (current.isValid() && current.row() == row))
        return;
    setCurrentIndex(Model->index(row, current.isValid() ? current.column() : 0));
}

bool CParamListView::CellInView(int row, int column) const
{
    const QRect bounds = RowBounds(row);
    if (bounds.isNull() || column < 0 || column >= ColumnCount())
        return false;
    int left = bounds.left();
    for (int c = 0; c < column; ++c)
        left += ColumnWidth(c);
    const QRect cell(left, bounds.top(), ColumnWidth(column), bounds.height());
    const QRect view = viewport()->rect();
    return cell.top() >= view.top() && cell.bottom() <= view.bottom() && cell.intersects(view);
}

void CParamListView::ShowCursorCell()
{
    if (!CursorCell)
        return;
    const auto [row, column] = CursorCell();
    if (row < 0 || row >= Model->rowCount())
        return;
    scrollTo(Model->index(row, std::clamp(column, 0, ColumnCount() - 1)));
}
