// Answers come from devices on a shared line: any list of received records, against any model of
// the sample catalogue and any key list, must decode without a crash, and the index must find
// exactly what the plain scan finds.
//
// Input: byte 0 picks the model, byte 1 (low 3 bits) the number of key texts; each key text is a
// length byte (low 5 bits) and that many bytes of UTF-8; the rest is 12-byte records.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "model/config_loader.h"
#include "model/read_tree.h"

namespace {

CTree *Catalogue = nullptr;
std::vector<const CTreeNode *> Models;

struct Decoded {
    bool thrown = false;
    QStringList lines;
};

Decoded Decode(const CTreeNode &model, const AnswerFinder &answers, const QStringList &keys)
{
    Decoded d;
    CTree target;
    try {
        FUZZ_CHECK(BuildReadTree(target, model, answers, keys) != nullptr);
    } catch (const CConvertError &) {
        d.thrown = true;
    }
    d.lines = TreeDump(target);
    return d;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Catalogue = new CTree;
    const QString path = FuzzDataPath(QStringLiteral("devices.xml"));
    try {
        ReadXmlToTree(path, *Catalogue);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(path), e.what());
        std::abort();
    }
    for (const CTreeNode *n = Catalogue->firstNode(); n; n = n->nextSibling())
        if (n->device())
            Models.push_back(n);
    if (Models.empty()) {
        std::fprintf(stderr, "no model in %s\n", qPrintable(path));
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const CTreeNode &model = *Models[data[0] % Models.size()];
    const int keyCount = data[1] & 7;
    size_t at = 2;
    QStringList keys;
    for (int k = 0; k < keyCount && at < size; ++k) {
        const size_t wanted = data[at++] & 31;
        const size_t length = std::min(wanted, size - at);
        keys << QString::fromUtf8(reinterpret_cast<const char *>(data + at), qsizetype(length));
        at += length;
    }
    std::vector<CanPacket> packets((size - at) / 12);
    for (CanPacket &p : packets) {
        std::memcpy(p.bytes, data + at, 12);
        at += 12;
    }

    // The catalogue is valid, so decoding it never refuses a parameter.
    const Decoded indexed = Decode(model, AnswerIndex(packets), keys);
    FUZZ_CHECK(!indexed.thrown);
    const Decoded scanned = Decode(model, AnswerScan(packets), keys);
    FUZZ_CHECK(indexed.lines == scanned.lines);
    return 0;
}
