#pragma once
#include <QByteArray>

#include <vector>

// One entry of a TrueType face's table directory.
struct CFontTable {
    QByteArray tag;
    qsizetype entry = 0; // where the directory entry itself lies
    qsizetype offset = 0;
    qsizetype length = 0;
};

// The face's table directory; empty when the directory or a table it lists lies outside the data.
inline std::vector<CFontTable> FontTables(const QByteArray &font)
{
    auto u16 = [&](qsizetype at) { return quint32((uchar(font[at]) << 8) | uchar(font[at + 1])); };
    auto u32 = [&](qsizetype at) { return (u16(at) << 16) | u16(at + 2); };
    if (font.size() < 12)
        return {};
    const qsizetype count = u16(4);
    if (12 + 16 * count > font.size())
        return {};
    std::vector<CFontTable> tables;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype entry = 12 + 16 * i;
        const CFontTable t{font.mid(entry, 4), entry, qsizetype(u32(entry + 8)), qsizetype(u32(entry + 12))};
        if (t.offset > font.size() || t.length > font.size() - t.offset)
            return {};
        tables.push_back(t);
    }
    return tables;
}
