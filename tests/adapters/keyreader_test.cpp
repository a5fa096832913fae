// libKeyDLL.so on its own: the key file it reads, its result codes and the text it keeps.
#include <gtest/gtest.h>

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>

#include "adapters/keyreader/keyreader_api.h"
#include "tests/support/test_paths.h"

namespace {

class KeyReaderLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.load()) << qPrintable(lib.errorString());
        init = reinterpret_cast<KeyInitFn>(lib.resolve("DLL_Key_Init"));
        data = reinterpret_cast<KeyDataFn>(lib.resolve("DLL_Key_Data"));
        ASSERT_TRUE(init && data);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { qunsetenv("TIVRON_KEYREADER"); }

    // The key file holds bytes as given; the variable names it.
    QString KeyFile(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("key.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        qputenv("TIVRON_KEYREADER", QFile::encodeName(path));
        return path;
    }

    QLibrary lib{BinaryPath(QStringLiteral("bin/DLL/libKeyDLL.so"))};
    KeyInitFn init = nullptr;
    KeyDataFn data = nullptr;
    QTemporaryDir dir;
};

} // namespace

TEST_F(KeyReaderLibraryTest, ReadsTheKeyFileAtEveryRead)
{
    KeyFile("01 0c0b0a090807 ff\r\nnot read\n");
    EXPECT_EQ(init(1, 6), 1);
    EXPECT_STREQ(data(), "010C0B0A090807FF");
    // Another key laid on the reader.
    KeyFile("AABBCCDDEEFF0011");
    EXPECT_EQ(init(1, 6), 1);
    EXPECT_STREQ(data(), "AABBCCDDEEFF0011");
}

TEST_F(KeyReaderLibraryTest, FailuresGiveTheirCodeAndAnEmptyText)
{
    const struct {
        const char *file; // null: the variable unset
        int reader, codeBytes, code;
    } cases[] = {
        {"0102030405060708", 0, 6, 2},
        {"0102030405060708", 1, 8, 2},
        {nullptr, 1, 6, 3},
        {"", 1, 6, 4},
        {"\n0102030405060708\n", 1, 6, 4},
        {"01020304050607", 1, 6, 5},
        {"010203040506070809", 1, 6, 5},
        {"01020304050607G8", 1, 6, 5},
        {"0102030405060708090A0B0C0D0E0F101112131415161718191A", 1, 6, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(unset)");
        KeyFile("0102030405060708");
        ASSERT_EQ(init(1, 6), 1); // a text is held before the failure
        if (c.file)
            KeyFile(c.file);
        else
            qunsetenv("TIVRON_KEYREADER");
        EXPECT_EQ(init(c.reader, c.codeBytes), c.code);
        EXPECT_STREQ(data(), "");
    }
    // A file that is not there.
    qputenv("TIVRON_KEYREADER", QFile::encodeName(dir.filePath(QStringLiteral("missing.txt"))));
    EXPECT_EQ(init(1, 6), 3);
}
