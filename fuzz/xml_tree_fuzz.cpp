// Catalogues and .DEV files come from other engineers: any bytes must parse or be refused, never
// crash, never reach outside the file; what the program writes back (the whole document, the
// models' addresses) must read back the same; and a model read from such a file decodes. The
// streamed load must give the tree libxml2's tree gives, and the address write-back that replaces
// only the values must read back as the rewrite of the whole document does.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <libxml/parserInternals.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/read_tree.h"
#include "model/xml_document.h"

namespace {

QTemporaryDir *Folder = nullptr;

// The reader must never ask for an external DTD or entity, whatever the document declares.
xmlParserInputPtr RefuseExternal(const char *url, const char *id, xmlParserCtxtPtr)
{
    std::fprintf(stderr, "fuzz check failed: external load of '%s' ('%s')\n", url ? url : "", id ? id : "");
    std::abort();
}

struct Read {
    bool parsed = false;
    bool converted = true;
    QString error; // the message of a number that is not one
    std::unique_ptr<CTree> tree = std::make_unique<CTree>();
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
    try {
        ReadXmlToTree(doc, *r.tree);
    } catch (const CConvertError &e) {
        r.converted = false; // the nodes read before the bad number stay
        r.error = QString::fromUtf8(e.what());
    }
    r.lines = TreeDump(*r.tree);
    return r;
}

// The load as the program makes it, streamed where it can be, from a file of the same name.
Read LoadFile(const QByteArray &bytes)
{
    const QString path = Folder->filePath(QStringLiteral("fuzz.xml"));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    file.close();
    Read r;
    try {
        ReadXmlToTree(path, *r.tree);
        r.parsed = true;
    } catch (const CXmlError &) {
    } catch (const CConvertError &e) {
        r.parsed = true;
        r.converted = false;
        r.error = QString::fromUtf8(e.what());
    }
    r.lines = TreeDump(*r.tree);
    return r;
}

void CheckSameRead(const QByteArray &bytes, const Read &first)
{
    CXmlDocument doc;
    const Read again = ReadBytes(bytes, doc);
    FUZZ_CHECK(again.parsed);
    FUZZ_CHECK(again.converted == first.converted);
    FUZZ_CHECK(again.lines == first.lines);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    xmlSetExternalEntityLoader(RefuseExternal);
    Folder = new QTemporaryDir;
    FUZZ_CHECK(Folder->isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CXmlDocument doc;
    const Read first = ReadBytes(bytes, doc);
    const Read loaded = LoadFile(bytes);
    FUZZ_CHECK(loaded.parsed == first.parsed);
    FUZZ_CHECK(loaded.converted == first.converted);
    FUZZ_CHECK(loaded.error == first.error);
    FUZZ_CHECK(loaded.lines == first.lines);
    if (!first.parsed)
        return 0;

    // The document saved back reads the same.
    CheckSameRead(doc.toBytes(), first);

    // The models' addresses written back into the file, from the tree read out of it, change nothing.
    if (first.tree->count() > 0) {
        const QString path = Folder->filePath(QStringLiteral("devices.xml"));
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        if (SaveDeviceAddresses(*first.tree, path)) {
            FUZZ_CHECK(file.open(QIODevice::ReadOnly));
            CheckSameRead(file.readAll(), first);
        }
    }

    // Every model read decodes (with no answers: every value its default) or is refused.
    int models = 0;
    for (const CTreeNode *n = first.tree->firstNode(); n && models < 8; n = n->nextSibling()) {
        if (!n->device())
            continue;
        ++models;
        CTree target;
        try {
            BuildReadTree(target, *n, std::vector<CanPacket>{}, QStringList{QStringLiteral("Мастер-ключ")});
        } catch (const CConvertError &) {
        }
    }

    // Every model at another address: the file with only those values replaced reads back as the
    // document rewritten in libxml2's tree does.
    if (first.tree->count() > 0) {
        for (CTreeNode *n = first.tree->firstNode(); n; n = n->nextSibling())
            if (CDevice *d = n->device())
                d->device_addr = d->device_addr % 255 + 1;
        const QByteArray patched = CatalogueWithAddresses(bytes, *first.tree);
        const QByteArray rewritten = CatalogueRewrittenWithAddresses(bytes, *first.tree);
        FUZZ_CHECK(patched.isEmpty() == rewritten.isEmpty());
        if (!patched.isEmpty()) {
            CXmlDocument a, b;
            const Read fromPatched = ReadBytes(patched, a);
            const Read fromRewritten = ReadBytes(rewritten, b);
            FUZZ_CHECK(fromPatched.parsed && fromRewritten.parsed);
            FUZZ_CHECK(fromPatched.converted == fromRewritten.converted);
            FUZZ_CHECK(fromPatched.lines == fromRewritten.lines);
        }
    }
    return 0;
}
