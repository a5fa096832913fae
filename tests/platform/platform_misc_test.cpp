#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include "platform/colors.h"
#include "platform/event_loop.h"
#include "platform/jpeg_image.h"
#include "platform/library.h"
#include "platform/version_info.h"
#include "platform/version_table.h"

TEST(Colors, WindowsValueHasBlueInTheHighByte)
{
    EXPECT_EQ(ColorFromWin(0xEBB99D), QColor(0x9D, 0xB9, 0xEB));
    EXPECT_EQ(ColorFromWin(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(ColorFromWin(0xFF0000), QColor(Qt::blue));
}

TEST(Library, LoadsResolvesAndRefusesWhatIsMissing)
{
    EXPECT_EQ(LoadLibraryFile(QStringLiteral("/nonexistent/DLL/UsbCAN.dll")), nullptr);
    EXPECT_EQ(GetEntryPoint(nullptr, "cos"), nullptr);
    FreeLibraryHandle(nullptr); // a handle that never loaded is left alone

    LibraryHandle m = LoadLibraryFile(QStringLiteral("libm.so.6"));
    ASSERT_NE(m, nullptr);
    auto cosine = GetEntryPointAs<double (*)(double)>(m, "cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(GetEntryPoint(m, "DLL_Device_Connect"), nullptr);
    FreeLibraryHandle(m);
}

TEST(VersionInfo, ExecutableTableHasOneRussianTranslationAndAFourNumberVersion)
{
    const QByteArray resource = ExecutableVersionResource();
    const uint32_t size = GetFileVersionInfoSize(resource);
    ASSERT_GT(size, 0u);
    QByteArray block;
    ASSERT_TRUE(GetFileVersionInfo(resource, size, block));
    QByteArray translation;
    ASSERT_TRUE(VerQueryValue(block, QStringLiteral("\\VarFileInfo\\Translation"), translation));
    ASSERT_EQ(translation.size(), 4);
    EXPECT_EQ(qFromLittleEndian<quint16>(translation.constData()), 0x0419);
    EXPECT_EQ(qFromLittleEndian<quint16>(translation.constData() + 2), 1251);
    QByteArray version;
    ASSERT_TRUE(VerQueryValue(block, QStringLiteral("\\stringfileinfo\\041904e3\\FileVersion"), version));
    EXPECT_EQ(QString::fromLatin1(version), QStringLiteral(TIVRON_FILE_VERSION));
    EXPECT_EQ(QString::fromLatin1(version).split(u'.').size(), 4);
    EXPECT_FALSE(VerQueryValue(block, QStringLiteral("\\StringFileInfo\\040904E4\\FileVersion"), version));
}

TEST(VersionInfo, TruncatedBlockFindsNothing)
{
    QByteArray block = BuildVersionBlock({{QStringLiteral("\\A"), QByteArray("12345678")}});
    block.chop(3);
    QByteArray value;
    EXPECT_FALSE(VerQueryValue(block, QStringLiteral("\\A"), value));
    EXPECT_EQ(GetFileVersionInfoSize(QByteArray()), 0u);
}

TEST(Jpeg, DecodesAPictureAndRefusesGarbage)
{
    QImage source(16, 8, QImage::Format_RGB888);
    source.fill(QColor(200, 30, 40));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter::supportedImageFormats().contains("jpeg"))
        GTEST_SKIP() << "no JPEG writer to make the fixture";
    ASSERT_TRUE(source.save(&buffer, "JPEG", 95));

    const QImage image = DecodeJpeg(jpeg);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(16, 8));
    const QColor c = image.pixelColor(8, 4);
    EXPECT_NEAR(c.red(), 200, 8);
    EXPECT_NEAR(c.green(), 30, 8);

    EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArray("not a picture")).isNull());
    (void)DecodeJpeg(jpeg.left(jpeg.size() / 3)); // a cut file must not crash or read past its end
}

TEST(EventLoop, HooksReplaceTheRealPumpAndSleep)
{
    int pumps = 0;
    int slept = 0;
    SetProcessMessagesHook([&] { ++pumps; });
    SetSleepHook([&](int ms) { slept += ms; });
    ProcessMessages();
    SleepMs(1000);
    SetProcessMessagesHook({});
    SetSleepHook({});
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(slept, 1000);
}
