#include "model/config_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 24;

void Grid(QPainter &p, const QColor &head)
{
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(2, 4, 19, 16);
    p.fillRect(3, 5, 18, 4, head);
    for (int y = 12; y < 20; y += 4)
        p.drawLine(2, y, 21, y);
    p.drawLine(9, 9, 9, 20);
}

void KeyShape(QPainter &p, int x, int y, qreal scale, const QColor &c)
{
    p.save();
    p.translate(x, y);
    p.scale(scale, scale);
    p.setPen(QPen(c.darker(160), 1.2));
    p.setBrush(c);
    p.drawEllipse(QRectF(0, 0, 9, 9));
    p.drawRect(QRectF(8, 3, 12, 3));
    p.drawRect(QRectF(15, 6, 2, 3));
    p.drawRect(QRectF(18, 6, 2, 4));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(2.5, 3, 3, 3));
    p.restore();
}

void Stars(QPainter &p, int x, int y, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(x + i * 6, y, 4, 4));
}

QPixmap Draw(int index)
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: // device: a control panel with a display and two lamps
        p.setPen(QColor(0x30, 0x30, 0x30));
        p.setBrush(QColor(0xC8, 0xC8, 0xC8));
        p.drawRoundedRect(QRectF(2.5, 3.5, 19, 17), 2, 2);
        p.setBrush(QColor(0x2E, 0x7D, 0x32));
        p.drawRect(QRectF(5.5, 6.5, 13, 6));
        p.setBrush(Qt::red);
        p.drawEllipse(QRectF(5.5, 15, 3, 3));
        p.setBrush(QColor(0xFF, 0xC1, 0x07));
        p.drawEllipse(QRectF(10.5, 15, 3, 3));
        break;
    case 1: // parameter table
        Grid(p, QColor(0x42, 0x7A, 0xC8));
        break;
    case 2: // parameter
        p.setPen(QColor(0x1A, 0x4F, 0x9C));
        p.setBrush(QColor(0x7F, 0xB2, 0xF0));
        p.drawRect(QRectF(5.5, 5.5, 13, 13));
        p.setPen(QPen(QColor(0x1A, 0x4F, 0x9C), 1.5));
        p.drawLine(QPointF(8, 10), QPointF(16, 10));
        p.drawLine(QPointF(8, 14), QPointF(14, 14));
        break;
    case 3: // list entry or stored value
        p.setPen(QColor(0x2E, 0x7D, 0x32));
        p.setBrush(QColor(0x81, 0xC7, 0x84));
        p.drawEllipse(QRectF(7.5, 7.5, 9, 9));
        break;
    case 4: // key table
        Grid(p, QColor(0xD8, 0x9B, 0x1E));
        KeyShape(p, 8, 13, 0.6, QColor(0xE0, 0xB0, 0x30));
        break;
    case 5: // password table
        Grid(p, QColor(0x8E, 0x44, 0xAD));
        Stars(p, 10, 14, QColor(0x50, 0x20, 0x70));
        break;
    case 6: // key
        KeyShape(p, 1, 7, 1.0, QColor(0xE0, 0xB0, 0x30));
        break;
    case 7: // loop flag
        p.setPen(QColor(0x40, 0x40, 0x40));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 5.5, 13, 13));
        p.setPen(QPen(QColor(0xC6, 0x28, 0x28), 2.2));
        p.drawLine(QPointF(8, 12), QPointF(11, 15.5));
        p.drawLine(QPointF(11, 15.5), QPointF(16.5, 8));
        break;
    default: // password
        p.setPen(QColor(0x50, 0x20, 0x70));
        p.setBrush(QColor(0xE8, 0xDA, 0xEF));
        p.drawRoundedRect(QRectF(1.5, 7.5, 21, 9), 2, 2);
        Stars(p, 4, 10, QColor(0x50, 0x20, 0x70));
        break;
    }
    return pm;
}

} // namespace

QList<QIcon> ConfigImageList()
{
    QList<QIcon> images;
    for (int i = 0; i < 9; ++i)
        images.append(QIcon(Draw(i)));
    return images;
}
