#include <QApplication>
#include <gtest/gtest.h>

#include "platform/fonts.h"
#include "platform/qt_translations.h"

// Widget tests need a QApplication; Qt's CAN bus needs a core application too. The windows are seen
// with the faces and the Russian standard texts that the program itself uses.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegisterDesignFonts();
    LoadQtRussianTranslations();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
