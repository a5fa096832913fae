#include "platform/fonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>

#include "platform/font_tables.h"
#include "platform/glyph_winding.h"

QStringList DesignFontFolders() { return {QStringLiteral("/usr/share/wine/fonts")}; }

QByteArray WithWindowsLineMetrics(QByteArray font)
{
    for (const CFontTable &t : FontTables(font)) {
        if (t.tag == "EBLC" || t.tag == "EBDT" || t.tag == "EBSC") {
            font[t.entry] = 'x'; // a table nobody reads
        } else if (t.tag == "OS/2") {
            const qsizetype fsSelection = t.offset + 62;
            if (fsSelection + 2 <= font.size())
                font[fsSelection + 1] = char(uchar(font[fsSelection + 1]) & ~0x80); // USE_TYPO_METRICS
        }
    }
    return font;
}

QByteArray DesignFaceData(const QByteArray &file) { return WithWindowsLineMetrics(WithOutlinesWoundAlike(file)); }

void RegisterDesignFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Debian's wine fonts hold a scalable Tahoma with Cyrillic. Only the regular file is taken: the
    // bold one has outlines of regular weight (its bold exists only as embedded bitmaps, which are not
    // drawn), while the regular emboldened by the font engine is dark and keeps the regular's widths.
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        for (const QString &folder : DesignFontFolders()) {
            QFile file(QDir(folder).filePath(QStringLiteral("tahoma.ttf")));
            if (file.open(QIODevice::ReadOnly))
                QFontDatabase::addApplicationFontFromData(DesignFaceData(file.readAll()));
        }
    }
    // MS Sans Serif exists only as a bitmap face without the designed sizes, and Comic Sans MS has no
    // free counterpart: both are drawn in Tahoma, whose widths the layouts were made for. Where Tahoma
    // itself is missing, the narrow Liberation Sans keeps the texts closer to their room than DejaVu.
    const QStringList narrow{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), narrow);
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"), narrow);
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"));
    // Menus, pop-up menus, hints and Qt's own dialogs are drawn in the dialog face, as on the design's
    // desktop; every window of the program sets its own faces over it.
    QApplication::setFont(Tahoma(11));
}
