#include "platform/item_delegate.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>
#include <QStyle>

CDesignItemDelegate::CDesignItemDelegate(QObject *parent, int textInset)
    : QStyledItemDelegate(parent), TextInset(textInset)
{
}

QSize CDesignItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    size.setHeight(std::max(size.height(), QFontMetrics(opt.font).height() + 1));
    return size;
}

void CDesignItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (TextInset < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    const QString text = opt.text;
    // The style draws the background, the selection and the focus; the text is placed here.
    opt.text.clear();
    (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect room = TextRoom(opt.rect);
    if (text.isEmpty() || room.width() <= 0)
        return;
    const QFontMetrics metrics(opt.font);
    const QString shown =
        metrics.horizontalAdvance(text) <= room.width() ? text : metrics.elidedText(text, opt.textElideMode, room.width());
    QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                    : QPalette::Text));
    Qt::Alignment align = opt.displayAlignment;
    if (!(align & Qt::AlignVertical_Mask))
        align |= Qt::AlignVCenter;
    painter->drawText(room, int(QStyle::visualAlignment(opt.direction, align)) | Qt::TextSingleLine, shown);
    painter->restore();
}
