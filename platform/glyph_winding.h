#pragma once
#include <QByteArray>

// A TrueType face whose simple glyphs wind their contours as TrueType prescribes: every outer contour
// clockwise, every hole (a contour inside an odd number of others) counter-clockwise. The font
// engine's synthetic bold grows a glyph outward by its overall winding, so a part wound the other way
// (the breve of "й" and the stroke of "Ы" in the wine Tahoma) is thinned like a hole; a composite glyph
// drawn from parts of different glyphs needs them all wound alike. The points, the widths and every
// other table stay; a rewound glyph loses its hinting instructions, which address points by their
// order. A face that cannot be read is returned as it is.
QByteArray WithOutlinesWoundAlike(const QByteArray &font);
