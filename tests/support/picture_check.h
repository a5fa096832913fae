#pragma once
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>

// A picture as the engineer sees it on a background: its transparent parts show the background.
inline QImage OnBackground(const QPixmap &picture, const QColor &background)
{
    QImage out(picture.size(), QImage::Format_RGB32);
    out.fill(background);
    QPainter p(&out);
    p.drawPixmap(0, 0, picture);
    return out;
}

// The share of the pixels, among those where either picture differs from the background, whose grey
// differs between the two pictures by more than a tenth of the range: near 0 for two looks the eye
// does not tell apart, well above a quarter for a disabled look against an enabled one.
inline double ChangedShare(const QImage &a, const QImage &b, const QColor &background)
{
    if (a.size() != b.size())
        return 1;
    const int face = qGray(background.rgb());
    int drawn = 0, changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int ga = qGray(a.pixel(x, y)), gb = qGray(b.pixel(x, y));
            if (std::abs(ga - face) <= 8 && std::abs(gb - face) <= 8)
                continue;
            ++drawn;
            changed += std::abs(ga - gb) > 25 ? 1 : 0;
        }
    return drawn ? double(changed) / drawn : 0;
}
