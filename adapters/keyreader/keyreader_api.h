#pragma once
// The two entry points of the key-reader library, as the program loads them at run time.
#include <cstdint>

// Results of DLL_Key_Init. adapters/keyreader/README.md lists them.
enum KeyReaderCode : int32_t {
    KeyReaderOk = 1,          // a key was read; DLL_Key_Data gives its text
    KeyReaderBadArgument = 2, // a reader other than 1, or a code length other than 6 bytes
    KeyReaderNoReader = 3,    // TIVRON_KEYREADER is not set, or its file cannot be read
    KeyReaderNoKey = 4,       // the file holds no key
    KeyReaderBadKey = 5,      // the key's text is not 16 hexadecimal digits
};

#define KEYREADER_EXPORT __attribute__((visibility("default")))

extern "C" {
// Reads the key on reader `reader` whose code is `codeBytes` bytes long; the program passes 1 and 6.
KEYREADER_EXPORT int32_t DLL_Key_Init(int32_t reader, int32_t codeBytes);
// The text of the key the last successful DLL_Key_Init read (empty after a failed one): 16
// hexadecimal digits, zero-terminated. The library keeps it; the caller copies it.
KEYREADER_EXPORT const char *DLL_Key_Data();
}

using KeyInitFn = int32_t (*)(int32_t, int32_t);
using KeyDataFn = const char *(*)();
