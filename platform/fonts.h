#pragma once
#include <QFont>
#include <QString>
#include <QStringList>

// The windows are laid out in pixels for the faces of the design (mostly Tahoma). Where a machine
// lacks them, the free counterparts are registered and the other design faces mapped onto installed
// ones, so that every text keeps the room it was given. Call once, after the application object.
void RegisterDesignFonts();

// The folders searched for the design's face files; fontconfig does not scan them.
QStringList DesignFontFolders();

// A TrueType face laid out in lines as the design's Windows lays it out: win ascent plus win descent
// (the hhea values), 16 px for Tahoma at 13 px. Qt would follow the file's USE_TYPO_METRICS flag (13 px:
// the accents of capitals and the descenders outside the line), and at the sizes of its embedded
// bitmaps, which it never draws, those bitmaps' line metrics. Outlines and widths stay as they are.
QByteArray WithWindowsLineMetrics(QByteArray font);

// A design face file as the program registers it: in Windows lines, and with its glyphs' contours
// wound alike (WithOutlinesWoundAlike), so that the font engine's bold draws every part of a letter.
QByteArray DesignFaceData(const QByteArray &file);

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

// Tahoma at a size the design gives in points, at the pixel height the design's 96-dpi screens drew
// it with (8 -> 11, 10 -> 13, 12 -> 16, 24 -> 32): the pixel layouts around it do not scale either.
inline QFont TahomaPoints(int points, bool bold = false) { return Tahoma((points * 96 + 36) / 72, bold); }
