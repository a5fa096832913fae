// Search answers come from any device on the line: any list of received records, recorded into a
// device list against the sample catalogue, never gives an address outside 1-255 and never lists
// two nodes of one text.
//
// Input: 12-byte records, in arrival order.
#include <QSet>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "link/device_search.h"
#include "model/config_loader.h"

namespace {

CTree *Catalogue = nullptr;

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
    if (!Catalogue->firstNode()) {
        std::fprintf(stderr, "no model in %s\n", qPrintable(path));
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CTree list;
    for (std::size_t at = 0; at + 12 <= size; at += 12) {
        CanPacket record;
        std::memcpy(record.bytes, data + at, 12);
        if (const std::optional<SearchAnswer> answer = ReadSearchAnswer(record))
            FUZZ_CHECK(answer->address >= 1 && answer->address <= 255);
        if (const CTreeNode *added = RecordSearchAnswer(record, *Catalogue, list)) {
            const CDevice *device = added->device();
            FUZZ_CHECK(device != nullptr);
            FUZZ_CHECK(device->device_addr >= 1 && device->device_addr <= 255);
            FUZZ_CHECK(DeviceTextAddress(added->text) == device->device_addr);
        }
    }
    QSet<QString> texts;
    for (const CTreeNode *n = list.firstNode(); n; n = n->nextSibling()) {
        FUZZ_CHECK(!texts.contains(n->text));
        texts.insert(n->text);
        if (const CDevice *device = n->device())
            FUZZ_CHECK(device->device_addr >= 1 && device->device_addr <= 255);
    }
    return 0;
}
