#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>

#include "platform/fonts.h"
#include "platform/glyph_winding.h"

namespace {

QByteArray TahomaFile()
{
    QFile file(QDir(DesignFontFolders().value(0)).filePath(QStringLiteral("tahoma.ttf")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int GlyphCount(const QRawFont &face)
{
    const QByteArray maxp = face.fontTable("maxp");
    return maxp.size() >= 6 ? qFromBigEndian<quint16>(maxp.constData() + 4) : 0;
}

double SignedArea(const QPolygonF &p)
{
    double a = 0;
    for (qsizetype i = 0; i < p.size(); ++i)
        a += p[i].x() * p[(i + 1) % p.size()].y() - p[(i + 1) % p.size()].x() * p[i].y();
    return a;
}

// Glyphs whose parts are not wound alike, as the font engine loads them (composites assembled):
// an outer contour wound against the glyph's largest one, or a hole (inside an odd number of
// others) wound with it. The font engine's bold thins such a part as if it were a hole.
QStringList GlyphsWoundAgainstThemselves(const QByteArray &data)
{
    const QRawFont face(data, 64);
    QStringList out;
    for (int glyph = 0; glyph < GlyphCount(face); ++glyph) {
        const QList<QPolygonF> contours = face.pathForGlyph(quint32(glyph)).toSubpathPolygons();
        std::vector<double> areas;
        for (const QPolygonF &c : contours)
            areas.push_back(SignedArea(c));
        int main = -1;
        std::vector<bool> hole(contours.size());
        for (qsizetype i = 0; i < contours.size(); ++i) {
            int depth = 0;
            for (qsizetype j = 0; j < contours.size(); ++j) {
                bool inside = j != i && std::fabs(areas[j]) > std::fabs(areas[i]);
                for (const QPointF &pt : contours[i])
                    inside = inside && contours[j].containsPoint(pt, Qt::OddEvenFill);
                depth += inside ? 1 : 0;
            }
            hole[i] = depth % 2;
            if (!hole[i] && (main < 0 || std::fabs(areas[i]) > std::fabs(areas[main])))
                main = int(i);
        }
        for (qsizetype i = 0; i < contours.size(); ++i)
            if (std::fabs(areas[i]) > 1e-6 && ((areas[i] > 0) != (areas[main] > 0)) != hole[i]) {
                out << QString::number(glyph);
                break;
            }
    }
    return out;
}

} // namespace

// Every glyph of the face, letters, ligatures and composites alike, reaches the font engine with its
// parts wound alike, so that the synthesised bold grows each of them.
TEST(GlyphWinding, EveryGlyphOfTheDesignFaceIsWoundAlike)
{
    const QByteArray file = TahomaFile();
    ASSERT_FALSE(file.isEmpty());
    // The file itself has such glyphs ("й" among them), or this check would prove nothing.
    const QRawFont original(file, 64);
    EXPECT_TRUE(GlyphsWoundAgainstThemselves(file).contains(
        QString::number(original.glyphIndexesForString(QStringLiteral("й")).value(0))));
    EXPECT_EQ(GlyphsWoundAgainstThemselves(DesignFaceData(file)).join(u' ').toStdString(), "");
}

// Rewinding changes only the order of the points: every glyph keeps its shape, its width and its
// place; line heights, hinting tables, kerning and substitutions stay byte for byte.
TEST(GlyphWinding, GlyphsKeepTheirShapesWidthsAndLines)
{
    const QByteArray file = TahomaFile();
    ASSERT_FALSE(file.isEmpty());
    const QByteArray patched = WithOutlinesWoundAlike(file);
    ASSERT_NE(patched, file);
    for (const int pixels : {11, 13, 16}) {
        const QRawFont before(file, pixels, QFont::PreferNoHinting);
        const QRawFont after(patched, pixels, QFont::PreferNoHinting);
        ASSERT_TRUE(after.isValid());
        ASSERT_EQ(GlyphCount(after), GlyphCount(before));
        for (const char *table : {"head", "hhea", "hmtx", "OS/2", "cmap", "cvt ", "gasp", "GPOS", "GSUB", "name"}) {
            QByteArray a = before.fontTable(table), b = after.fontTable(table);
            if (QByteArray(table) == "head") { // but for its check sum and the loca format
                a = a.left(8) + a.mid(12, 38);
                b = b.left(8) + b.mid(12, 38);
            }
            EXPECT_EQ(a, b) << table;
        }
        EXPECT_EQ(after.ascent(), before.ascent());
        EXPECT_EQ(after.descent(), before.descent());
        EXPECT_EQ(after.leading(), before.leading());
        QList<quint32> glyphs;
        for (int g = 0; g < GlyphCount(before); ++g)
            glyphs << quint32(g);
        EXPECT_EQ(after.advancesForGlyphIndexes(glyphs), before.advancesForGlyphIndexes(glyphs));
        for (const quint32 g : glyphs) {
            const QRectF a = after.pathForGlyph(g).boundingRect(), b = before.pathForGlyph(g).boundingRect();
            EXPECT_LT((a.topLeft() - b.topLeft()).manhattanLength(), 0.05) << g;
            EXPECT_LT((a.bottomRight() - b.bottomRight()).manhattanLength(), 0.05) << g;
            // The rasteriser may round a reversed edge's coverage one level the other way; a pixel
            // that a part of a composite shares with another part is now as dark as the two make it.
            const QImage imageA = after.alphaMapForGlyph(g, QRawFont::PixelAntialiasing);
            const QImage imageB = before.alphaMapForGlyph(g, QRawFont::PixelAntialiasing);
            ASSERT_EQ(imageA.size(), imageB.size()) << g;
            int largest = 0;
            for (int y = 0; y < imageA.height(); ++y)
                for (int x = 0; x < imageA.width(); ++x)
                    largest = std::max(largest, std::abs(imageA.constScanLine(y)[x] - imageB.constScanLine(y)[x]));
            EXPECT_LE(largest, 16) << g << " at " << pixels;
        }
    }
}

// The face file is read from the machine: a damaged one is registered as it is, never read past its end.
TEST(GlyphWinding, DamagedFacesAreLeftAsTheyAre)
{
    const QByteArray file = TahomaFile();
    ASSERT_FALSE(file.isEmpty());
    for (const qsizetype size : {qsizetype(0), qsizetype(11), qsizetype(200), file.size() / 3, file.size() / 2,
                                 file.size() * 9 / 10})
        EXPECT_EQ(WithOutlinesWoundAlike(file.left(size)), file.left(size)) << size;
    // Bytes changed anywhere (the sanitizers watch the reads), and a directory of nothing.
    quint32 random = 12345;
    for (int round = 0; round < 20; ++round) {
        QByteArray scrambled = file;
        for (int k = 0; k < 200; ++k) {
            random = random * 1103515245 + 12345;
            scrambled[qsizetype(random % quint32(file.size()))] = char(random >> 24);
        }
        WithOutlinesWoundAlike(scrambled);
    }
    QByteArray directory(12, '\0');
    directory[5] = char(200);
    EXPECT_EQ(WithOutlinesWoundAlike(directory), directory);
}
