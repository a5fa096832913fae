#include <gtest/gtest.h>

#include <stdexcept>

#include "app/guard.h"
#include "app/message_dlg.h"
#include "app/version_strings.h"

TEST(Guard, ShowsTheExceptionAndGoesOn)
{
    std::vector<QString> shown;
    SetMessageDlgHook([&](const QString &text, int kind, MsgButtons buttons) {
        EXPECT_EQ(kind, mtError);
        EXPECT_EQ(buttons, MsgButtons(mbOK));
        shown.push_back(text);
        return mrOk;
    });
    RunGuarded([] { throw std::runtime_error("Сбой"); });
    RunGuarded([] { throw 42; });
    bool ran = false;
    RunGuarded([&] { ran = true; });
    SetMessageDlgHook({});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], QStringLiteral("Сбой"));
    EXPECT_EQ(shown[1], QString());
    EXPECT_TRUE(ran);
}

TEST(VersionStrings, ReadsTheFileVersionThroughTheTranslation)
{
    QString text = QStringLiteral("before");
    ReadVersionStrings(text);
    EXPECT_EQ(text, ExecutableFileVersion());

    // A translation shorter than four bytes, or no table at all, leaves the text as it was.
    const QByteArray shortTranslation = BuildVersionBlock({
        {QStringLiteral("\\VarFileInfo\\Translation"), QByteArray("\x19\x04", 2)},
        {QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion"), QByteArray("9.9.9.9")},
    });
    text.clear();
    ReadVersionStrings(text, shortTranslation);
    EXPECT_EQ(text, QString());
    ReadVersionStrings(text, QByteArray());
    EXPECT_EQ(text, QString());

    // The key follows the translation: English, code page 1252.
    const QByteArray english = BuildVersionBlock({
        {QStringLiteral("\\VarFileInfo\\Translation"), QByteArray("\x09\x04\xE4\x04", 4)},
        {QStringLiteral("\\StringFileInfo\\040904E4\\FileVersion"), QByteArray("2.0.0.7")},
    });
    ReadVersionStrings(text, english);
    EXPECT_EQ(text, QStringLiteral("2.0.0.7"));
}
