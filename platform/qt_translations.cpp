#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool LoadQtRussianTranslations()
{
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    // Qt's dialogs take their types, sizes and dates from the default locale, not from the translation.
    // The program's own numbers and times never pass through it: they are written in fixed formats.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto *t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}
