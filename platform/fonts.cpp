#include "platform/fonts.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>

QStringList DesignFontFolders() { return {QStringLiteral("/usr/share/wine/fonts")}; }

void RegisterDesignFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Debian's wine fonts hold a scalable Tahoma with Cyrillic, regular and bold.
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        for (const QString &folder : DesignFontFolders()) {
            for (const QString &name : {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")}) {
                const QString path = QDir(folder).filePath(name);
                if (QFile::exists(path))
                    QFontDatabase::addApplicationFont(path);
            }
        }
    }
    // MS Sans Serif exists only as a bitmap face without the designed sizes, and Comic Sans MS has no
    // free counterpart: both are drawn in Tahoma, whose widths the layouts were made for. Where Tahoma
    // itself is missing, the narrow Liberation Sans keeps the texts closer to their room than DejaVu.
    const QStringList narrow{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), narrow);
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"), narrow);
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"));
}
