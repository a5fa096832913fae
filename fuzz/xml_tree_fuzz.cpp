// Catalogues and .DEV files come from other engineers: any bytes must parse or be refused, never
// crash, never reach outside the file, and what the program writes back must read back the same.
#include <QByteArray>

#include <libxml/parserInternals.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "model/config_loader.h"
#include "model/xml_document.h"

namespace {

// The reader must never ask for an external DTD or entity, whatever the document declares.
xmlParserInputPtr RefuseExternal(const char *url, const char *id, xmlParserCtxtPtr)
{
    std::fprintf(stderr, "fuzz check failed: external load of '%s' ('%s')\n", url ? url : "", id ? id : "");
    std::abort();
}

struct Read {
    bool parsed = false;
    bool converted = true;
    QStringList lines;
};

Read ReadBytes(const QByteArray &bytes, CXmlDocument &doc)
{
    Read r;
    try {
        doc.loadFromBytes(bytes, QStringLiteral("fuzz.xml"));
    } catch (const CXmlError &) {
        return r;
    }
    r.parsed = true;
    CTree tree;
    try {
        ReadXmlToTree(doc, tree);
    } catch (const CConvertError &) {
        r.converted = false; // the nodes read before the bad number stay
    }
    r.lines = FuzzTreeLines(tree);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    xmlSetExternalEntityLoader(RefuseExternal);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CXmlDocument doc;
    const Read first = ReadBytes(bytes, doc);
    if (!first.parsed)
        return 0;

    // Saving the catalogue back (the program rewrites device addresses) gives a file that reads the same.
    CXmlDocument again;
    const Read second = ReadBytes(doc.toBytes(), again);
    FUZZ_CHECK(second.parsed);
    FUZZ_CHECK(second.converted == first.converted);
    FUZZ_CHECK(second.lines == first.lines);
    return 0;
}
