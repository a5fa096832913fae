// A desktop key reader over a file: the file that TIVRON_KEYREADER names stands for the key lying on
// the reader, read again at every DLL_Key_Init.
#include "adapters/keyreader/keyreader_api.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kTextDigits = 16; // eight bytes: a leading byte, the six code bytes last first, a trailing byte

char g_text[kTextDigits + 1] = {};

// The first line of the file, blanks dropped, at most `size - 1` characters kept.
bool ReadFirstLine(const char *path, char *line, int size, int &length)
{
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return false;
    length = 0;
    bool tooLong = false;
    for (int c; (c = std::fgetc(file)) != EOF && c != '\n';) {
        if (c == ' ' || c == '\t' || c == '\r')
            continue;
        if (length < size - 1)
            line[length++] = char(c);
        else
            tooLong = true;
    }
    line[length] = '\0';
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLong)
        length = size; // counts as a wrong text
    return !failed;
}

} // namespace

extern "C" int32_t DLL_Key_Init(int32_t reader, int32_t codeBytes)
{
    g_text[0] = '\0';
    if (reader != 1 || codeBytes != 6)
        return KeyReaderBadArgument;
    const char *path = std::getenv("TIVRON_KEYREADER");
    if (!path || !*path)
        return KeyReaderNoReader;
    char line[kTextDigits + 2];
    int length = 0;
    if (!ReadFirstLine(path, line, int(sizeof line), length))
        return KeyReaderNoReader;
    if (length == 0)
        return KeyReaderNoKey;
    if (length != kTextDigits)
        return KeyReaderBadKey;
    for (int i = 0; i < kTextDigits; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(line[i])))
            return KeyReaderBadKey;
    for (int i = 0; i < kTextDigits; ++i)
        g_text[i] = char(std::toupper(static_cast<unsigned char>(line[i])));
    g_text[kTextDigits] = '\0';
    return KeyReaderOk;
}

extern "C" const char *DLL_Key_Data() { return g_text; }
