#pragma once
#include <QStyledItemDelegate>

// Items of lists, trees and grids drawn as the design's controls draw them. Each row holds a line of
// text and a pixel. A grid's cells (textInset 0 or more) start their text that many pixels in from the
// cell's left edge and let it run up to the right one, as the design's grids do; lists and trees
// (kStyleMargin) keep the style's margins.
class CDesignItemDelegate : public QStyledItemDelegate {
public:
    static constexpr int kStyleMargin = -1;
    explicit CDesignItemDelegate(QObject *parent, int textInset = kStyleMargin);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The room a grid cell's text has, cell being the cell's rectangle less the grid line.
    QRect TextRoom(const QRect &cell) const { return cell.adjusted(TextInset, 0, 0, 0); }

private:
    int TextInset;
};
