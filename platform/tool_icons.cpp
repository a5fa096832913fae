#include "platform/tool_icons.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>

#include "platform/colors.h"

QImage DisabledLook(const QImage &picture)
{
    const QImage in = picture.convertToFormat(QImage::Format_ARGB32);
    QImage relief(in.size(), QImage::Format_ARGB32);
    QImage highlight(in.size(), QImage::Format_ARGB32);
    const int dark = qGray(kClassicBtnShadow.rgb()), light = qGray(kClassicBtnFace.rgb());
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            const QRgb p = in.pixel(x, y);
            const int grey = dark + qGray(p) * (light - dark) / 255;
            const int alpha = qAlpha(p) * 3 / 5;
            relief.setPixel(x, y, qRgba(grey, grey, grey, alpha));
            highlight.setPixel(x, y, qRgba(255, 255, 255, alpha));
        }
    QImage out(in.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawImage(1, 1, highlight);
    painter.drawImage(0, 0, relief);
    painter.end();
    return out;
}

namespace {
// The icons made so far, of each kind; emptied when the application ends, as their pixmaps go with it.
struct CMadeIcons {
    QHash<int, QIcon> Standard, Tool;
};

CMadeIcons &MadeIcons()
{
    static CMadeIcons made;
    return made;
}

// The icon of picture in made, made by make at the first call.
template <typename Make> QIcon MadeOnce(QHash<int, QIcon> &made, QStyle::StandardPixmap picture, Make make)
{
    if (MadeIcons().Standard.isEmpty() && MadeIcons().Tool.isEmpty())
        qAddPostRoutine([] {
            MadeIcons().Standard.clear();
            MadeIcons().Tool.clear();
        });
    auto it = made.constFind(int(picture));
    if (it != made.constEnd())
        return *it;
    const QIcon icon = make();
    return *made.insert(int(picture), icon);
}

// The standard picture's sizes, each with its DisabledLook as the disabled form.
QIcon WithDisabledLook(const QIcon &standard)
{
    QIcon icon;
    QList<QSize> sizes;
    for (const int side : {16, 24, 32, 48}) {
        const QPixmap normal = standard.pixmap(QSize(side, side));
        if (normal.isNull() || sizes.contains(normal.size()))
            continue; // a size the standard set lacks: its nearest picture is in already
        sizes << normal.size();
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(DisabledLook(normal.toImage())), QIcon::Disabled);
    }
    return icon;
}
} // namespace

QIcon StandardIcon(QStyle::StandardPixmap picture)
{
    return MadeOnce(MadeIcons().Standard, picture, [picture] { return QApplication::style()->standardIcon(picture); });
}

QIcon ToolIcon(QStyle::StandardPixmap picture)
{
    return MadeOnce(MadeIcons().Tool, picture, [picture] { return WithDisabledLook(StandardIcon(picture)); });
}
