#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/profile_file.h"

TEST(ProfileFile, FindsSectionsAndKeysWithoutCaseAndTrimsValues)
{
    CProfileFile ini;
    ini.Parse("; comment\r\n[MainWindow]\r\n  Top = 12 \r\nLEFT=-3\r\n\r\n[usb-to-can]\nUsb_NoDevice=  abc \n");
    EXPECT_EQ(ini.ReadInteger("mainwindow", "top", 0), 12);
    EXPECT_EQ(ini.ReadInteger("MainWindow", "Left", 0), -3);
    EXPECT_EQ(ini.ReadString("Usb-to-CAN", "usb_nodevice", ""), QStringLiteral("abc"));
    EXPECT_TRUE(ini.SectionExists("MAINWINDOW"));
    EXPECT_FALSE(ini.ReadValue("MainWindow", "Width").has_value());
}

TEST(ProfileFile, IntegerIsParsedAsAWholeString)
{
    const struct {
        const char *text;
        std::optional<int> value;
    } cases[] = {
        {"0", 0}, {"42", 42}, {"-12", -12}, {"+7", 7}, {" 5 ", 5}, {"2147483647", 2147483647},
        {"", std::nullopt}, {"-", std::nullopt}, {"12abc", std::nullopt}, {"1 2", std::nullopt},
        {"0x10", std::nullopt}, {"2147483648", std::nullopt}, {"abc", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseProfileInteger(QString::fromLatin1(c.text)), c.value) << c.text;

    CProfileFile ini;
    ini.Parse("[P]\nA=12abc\nB=5\n");
    EXPECT_EQ(ini.ReadInteger("P", "A", 99), 99);
    EXPECT_TRUE(ini.ReadBool("P", "B", false));
    EXPECT_FALSE(ini.ReadBool("P", "A", false));
}

TEST(ProfileFile, WritesKeysInTheirOrderWithCrLf)
{
    CProfileFile ini;
    ini.WriteInteger("B", "Z", 1);
    ini.WriteInteger("B", "A", 2);
    ini.WriteString("a", "x", QStringLiteral("Тест"));
    ini.WriteInteger("b", "z", 3); // same key in another case replaces the value in place
    const QByteArray expected = "[B]\r\nZ=3\r\nA=2\r\n\r\n[a]\r\nx=\xD2\xE5\xF1\xF2\r\n";
    EXPECT_EQ(ini.ToBytes(), expected);
}

TEST(ProfileFile, SaveReplacesTheFileAndLoadReadsItBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[Old]\r\nKey=1\r\n");
    old.close();

    CProfileFile ini(path);
    ini.WriteInteger("New", "Key", 5);
    ini.Save();

    CProfileFile back(path);
    ASSERT_TRUE(back.Load());
    EXPECT_FALSE(back.SectionExists("Old"));
    EXPECT_EQ(back.ReadInteger("New", "Key", 0), 5);
}

TEST(ProfileFile, FailedSaveThrowsAndKeepsNothingHalfWritten)
{
    QTemporaryDir dir;
    CProfileFile ini(dir.filePath("missing-folder/Tivron.ini"));
    ini.WriteInteger("A", "B", 1);
    EXPECT_THROW(ini.Save(), std::runtime_error);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing-folder/Tivron.ini")));
    CProfileFile none(dir.filePath("absent.ini"));
    EXPECT_FALSE(none.Load());
}
