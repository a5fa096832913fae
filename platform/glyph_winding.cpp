#include "platform/glyph_winding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include <QPointF>
#include <QPolygonF>

#include "platform/font_tables.h"

namespace {

struct Reader {
    const QByteArray &data;
    bool Has(qsizetype at, qsizetype size) const { return at >= 0 && size >= 0 && at <= data.size() - size; }
    quint32 U8(qsizetype at) const { return uchar(data[at]); }
    quint32 U16(qsizetype at) const { return (U8(at) << 8) | U8(at + 1); }
    quint32 U32(qsizetype at) const { return (U16(at) << 16) | U16(at + 2); }
};

void PutU16(QByteArray &out, quint32 v)
{
    out.append(char(v >> 8));
    out.append(char(v));
}

void SetU16(QByteArray &out, qsizetype at, quint32 v)
{
    out[at] = char(v >> 8);
    out[at + 1] = char(v);
}

void SetU32(QByteArray &out, qsizetype at, quint32 v)
{
    SetU16(out, at, v >> 16);
    SetU16(out, at + 2, v & 0xFFFF);
}

struct Point {
    int x = 0;
    int y = 0;
    bool onCurve = true;
};

// A simple glyph as its bytes hold it; its header (contour count and bounding box) is kept as it was.
struct SimpleGlyph {
    QByteArray header;
    std::vector<quint16> contourEnds;
    QByteArray instructions;
    quint8 firstFlagExtra = 0; // the overlap bit of the first point's flags
    std::vector<Point> points;
};

enum : quint8 { kOnCurve = 0x01, kXShort = 0x02, kYShort = 0x04, kRepeat = 0x08, kXSame = 0x10, kYSame = 0x20 };

std::optional<SimpleGlyph> ReadSimpleGlyph(const QByteArray &glyf, qsizetype at, qsizetype end)
{
    const Reader r{glyf};
    if (end > glyf.size() || !r.Has(at, 10) || at + 10 > end)
        return std::nullopt;
    const int contours = qint16(r.U16(at));
    if (contours <= 0)
        return std::nullopt;
    SimpleGlyph g;
    g.header = glyf.mid(at, 10);
    qsizetype p = at + 10;
    if (p + 2 * qsizetype(contours) + 2 > end)
        return std::nullopt;
    for (int i = 0; i < contours; ++i, p += 2) {
        g.contourEnds.push_back(quint16(r.U16(p)));
        if (i > 0 && g.contourEnds[i] <= g.contourEnds[i - 1])
            return std::nullopt;
    }
    const qsizetype instructionLength = r.U16(p);
    p += 2;
    if (p + instructionLength > end)
        return std::nullopt;
    g.instructions = glyf.mid(p, instructionLength);
    p += instructionLength;
    const size_t count = size_t(g.contourEnds.back()) + 1;
    std::vector<quint8> flags;
    flags.reserve(count);
    while (flags.size() < count) {
        if (p >= end)
            return std::nullopt;
        const quint8 f = quint8(r.U8(p++));
        flags.push_back(f);
        if (f & kRepeat) {
            if (p >= end)
                return std::nullopt;
            for (quint32 n = r.U8(p++); n > 0 && flags.size() < count; --n)
                flags.push_back(f);
        }
    }
    g.firstFlagExtra = flags[0] & 0x40;
    g.points.resize(count);
    auto coordinates = [&](quint8 shortBit, quint8 sameBit, int Point::*axis) {
        int v = 0;
        for (size_t i = 0; i < count; ++i) {
            const quint8 f = flags[i];
            if (f & shortBit) {
                if (p + 1 > end)
                    return false;
                const int d = int(r.U8(p++));
                v += (f & sameBit) ? d : -d;
            } else if (!(f & sameBit)) {
                if (p + 2 > end)
                    return false;
                v += qint16(r.U16(p));
                p += 2;
            }
            g.points[i].*axis = v;
            g.points[i].onCurve = f & kOnCurve;
        }
        return true;
    };
    if (!coordinates(kXShort, kXSame, &Point::x) || !coordinates(kYShort, kYSame, &Point::y))
        return std::nullopt;
    return g;
}

// The glyph's bytes; none where a step between two points does not fit the format.
QByteArray WriteSimpleGlyph(const SimpleGlyph &g)
{
    QByteArray out = g.header;
    for (const quint16 e : g.contourEnds)
        PutU16(out, e);
    PutU16(out, quint32(g.instructions.size()));
    out += g.instructions;
    std::vector<quint8> flags;
    QByteArray xs, ys;
    int lastX = 0, lastY = 0;
    bool fits = true;
    for (size_t i = 0; i < g.points.size(); ++i) {
        const Point &pt = g.points[i];
        quint8 f = pt.onCurve ? kOnCurve : 0;
        if (i == 0)
            f |= g.firstFlagExtra;
        auto encode = [&f, &fits](int delta, quint8 shortBit, quint8 sameBit, QByteArray &to) {
            fits = fits && delta >= -32768 && delta <= 32767;
            if (delta == 0) {
                f |= sameBit;
            } else if (std::abs(delta) <= 255) {
                f |= shortBit | (delta > 0 ? sameBit : 0);
                to.append(char(std::abs(delta)));
            } else {
                PutU16(to, quint32(quint16(qint16(delta))));
            }
        };
        encode(pt.x - lastX, kXShort, kXSame, xs);
        encode(pt.y - lastY, kYShort, kYSame, ys);
        lastX = pt.x;
        lastY = pt.y;
        flags.push_back(f);
    }
    if (!fits)
        return {};
    for (size_t i = 0; i < flags.size();) {
        size_t run = 1;
        while (i + run < flags.size() && flags[i + run] == flags[i] && run < 256)
            ++run;
        if (run > 1) {
            out.append(char(flags[i] | kRepeat));
            out.append(char(run - 1));
        } else {
            out.append(char(flags[i]));
        }
        i += run;
    }
    return out + xs + ys;
}

// A contour as the line it draws: quadratic arcs cut into short chords.
QPolygonF Flattened(const std::vector<Point> &points, size_t first, size_t last)
{
    std::vector<Point> c(points.begin() + qsizetype(first), points.begin() + qsizetype(last) + 1);
    const size_t n = c.size();
    // Two off-curve points in a row imply the on-curve point between them.
    std::vector<QPointF> pts;
    std::vector<bool> on;
    for (size_t i = 0; i < n; ++i) {
        const Point &a = c[i], &b = c[(i + 1) % n];
        pts.emplace_back(a.x, a.y);
        on.push_back(a.onCurve);
        if (!a.onCurve && !b.onCurve) {
            pts.emplace_back((a.x + b.x) / 2.0, (a.y + b.y) / 2.0);
            on.push_back(true);
        }
    }
    size_t start = 0;
    while (start < pts.size() && !on[start])
        ++start;
    QPolygonF line;
    if (start == pts.size()) { // all off-curve: the implied points alone
        for (size_t i = 0; i < pts.size(); ++i)
            line << pts[i];
        return line;
    }
    const size_t m = pts.size();
    for (size_t k = 0; k < m;) {
        const size_t i = (start + k) % m, j = (start + k + 1) % m;
        if (on[j]) {
            line << pts[i];
            ++k;
        } else {
            const QPointF a = pts[i], b = pts[j], e = pts[(start + k + 2) % m];
            constexpr int steps = 8;
            for (int s = 0; s < steps; ++s) {
                const double t = double(s) / steps;
                line << (1 - t) * (1 - t) * a + 2 * t * (1 - t) * b + t * t * e;
            }
            k += 2;
        }
    }
    return line;
}

// Twice the signed area, positive for a counter-clockwise contour with y pointing up.
double SignedArea(const QPolygonF &p)
{
    double a = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QPointF &u = p[i], &v = p[(i + 1) % p.size()];
        a += u.x() * v.y() - v.x() * u.y();
    }
    return a;
}

enum class Nesting { Outside, Inside, Crossing };

Nesting NestingOf(const QPolygonF &inner, const QPolygonF &outer)
{
    qsizetype in = 0;
    for (const QPointF &pt : inner)
        in += outer.containsPoint(pt, Qt::OddEvenFill) ? 1 : 0;
    return in == 0 ? Nesting::Outside : in == inner.size() ? Nesting::Inside : Nesting::Crossing;
}

// Rewinds the glyph's contours in place; true when any was reversed. Contours that cross or touch
// leave the glyph as it is: which of them is a hole is then not plain.
bool Rewind(SimpleGlyph &g)
{
    const size_t contours = g.contourEnds.size();
    std::vector<QPolygonF> lines;
    std::vector<double> areas;
    for (size_t i = 0, first = 0; i < contours; first = size_t(g.contourEnds[i]) + 1, ++i) {
        lines.push_back(Flattened(g.points, first, g.contourEnds[i]));
        areas.push_back(SignedArea(lines.back()));
    }
    std::vector<bool> reverse(contours);
    for (size_t i = 0; i < contours; ++i) {
        if (areas[i] == 0)
            continue; // a lone point or a line: nothing to fill
        int depth = 0;
        for (size_t j = 0; j < contours; ++j) {
            if (j == i || areas[j] == 0)
                continue;
            const Nesting n = NestingOf(lines[i], lines[j]);
            if (n == Nesting::Crossing)
                return false;
            depth += n == Nesting::Inside && std::fabs(areas[j]) > std::fabs(areas[i]) ? 1 : 0;
        }
        const bool clockwise = areas[i] < 0;
        reverse[i] = clockwise != (depth % 2 == 0);
    }
    bool changed = false;
    for (size_t i = 0, first = 0; i < contours; first = size_t(g.contourEnds[i]) + 1, ++i) {
        if (!reverse[i])
            continue;
        // The first point stays first; the others run the other way.
        std::reverse(g.points.begin() + qsizetype(first) + 1, g.points.begin() + qsizetype(g.contourEnds[i]) + 1);
        changed = true;
    }
    return changed;
}

quint32 CheckSum(const QByteArray &data, qsizetype at, qsizetype length)
{
    const Reader r{data};
    quint32 sum = 0;
    for (qsizetype i = 0; i < length; i += 4) {
        quint32 word = 0;
        for (qsizetype k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < length ? r.U8(at + i + k) : 0);
        sum += word;
    }
    return sum;
}

} // namespace

QByteArray WithOutlinesWoundAlike(const QByteArray &font)
{
    const Reader r{font};
    const std::vector<CFontTable> tables = FontTables(font);
    int head = -1, maxp = -1, loca = -1, glyf = -1;
    for (int i = 0; i < int(tables.size()); ++i)
        for (auto [tag, index] : {std::pair("head", &head), {"maxp", &maxp}, {"loca", &loca}, {"glyf", &glyf}})
            if (tables[i].tag == tag)
                *index = i;
    if (head < 0 || maxp < 0 || loca < 0 || glyf < 0 || tables[head].length < 54 || tables[maxp].length < 6)
        return font;
    const bool longOffsets = r.U16(tables[head].offset + 50) != 0;
    const qsizetype glyphs = r.U16(tables[maxp].offset + 4);
    if (tables[loca].length < (glyphs + 1) * (longOffsets ? 4 : 2))
        return font;
    auto offsetOf = [&](qsizetype i) {
        const qsizetype at = tables[loca].offset + i * (longOffsets ? 4 : 2);
        return longOffsets ? qsizetype(r.U32(at)) : 2 * qsizetype(r.U16(at));
    };
    const QByteArray glyfData = font.mid(tables[glyf].offset, tables[glyf].length);

    QByteArray newGlyf;
    std::vector<qsizetype> newOffsets;
    bool changed = false;
    for (qsizetype i = 0; i < glyphs; ++i) {
        const qsizetype from = offsetOf(i), to = offsetOf(i + 1);
        if (from > to || to > glyfData.size())
            return font;
        newOffsets.push_back(newGlyf.size());
        std::optional<SimpleGlyph> g = ReadSimpleGlyph(glyfData, from, to);
        QByteArray rewound;
        if (g && Rewind(*g)) {
            g->instructions.clear(); // they address the points by their order
            rewound = WriteSimpleGlyph(*g);
        }
        changed = changed || !rewound.isEmpty();
        newGlyf += rewound.isEmpty() ? glyfData.mid(from, to - from) : rewound;
        if (newGlyf.size() % 2)
            newGlyf.append('\0');
    }
    newOffsets.push_back(newGlyf.size());
    if (!changed)
        return font;

    const bool newLong = longOffsets || newGlyf.size() > 0x1FFFE;
    QByteArray newLoca;
    for (const qsizetype o : newOffsets) {
        if (newLong) {
            PutU16(newLoca, quint32(o) >> 16);
            PutU16(newLoca, quint32(o) & 0xFFFF);
        } else {
            PutU16(newLoca, quint32(o / 2));
        }
    }
    QByteArray newHead = font.mid(tables[head].offset, tables[head].length);
    SetU16(newHead, 50, newLong ? 1 : 0);
    SetU32(newHead, 8, 0); // the whole file's check sum, set below

    // The same tables in the same order, each on a four-byte boundary.
    const int count = int(tables.size());
    QByteArray out = font.left(12 + 16 * qsizetype(count));
    qsizetype headAt = 0;
    for (int i = 0; i < count; ++i) {
        const QByteArray data = i == glyf   ? newGlyf
                                : i == loca ? newLoca
                                : i == head ? newHead
                                            : font.mid(tables[i].offset, tables[i].length);
        const qsizetype entry = tables[i].entry;
        if (i == head)
            headAt = out.size();
        SetU32(out, entry + 4, CheckSum(data, 0, data.size()));
        SetU32(out, entry + 8, quint32(out.size()));
        SetU32(out, entry + 12, quint32(data.size()));
        out += data;
        while (out.size() % 4)
            out.append('\0');
    }
    SetU32(out, headAt + 8, 0xB1B0AFBA - CheckSum(out, 0, out.size()));
    return out;
}
