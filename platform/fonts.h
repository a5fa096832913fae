#pragma once
#include <QFont>
#include <QString>

// A font of the designed face at a pixel height; where the face is missing, substitution picks one
// of the same height, so the windows keep their layout.
inline QFont DesignFont(const QString &family, int pixels, bool bold = false)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

inline QFont Tahoma(int pixels, bool bold = false) { return DesignFont(QStringLiteral("Tahoma"), pixels, bold); }
