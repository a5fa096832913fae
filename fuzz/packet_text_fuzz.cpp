// Packet texts are typed into the CAN monitor: any text converts or is refused with PacketTextError.
// A received record shown as text converts back to the frame it came as.
//
// Input: the whole input is the text as UTF-8; its first 12 bytes, when there are so many, are also
// taken as a received record.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "link/packet_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const TxFrame frame = PacketTextToFrame(text);
        FUZZ_CHECK(frame.count >= 0 && frame.count <= 8);
        FUZZ_CHECK(frame.idText.size() == 8);
        FUZZ_CHECK(frame.dataText.size() == 2 * frame.count);
        const TxFrame again = PacketTextToFrame(frame.idText + frame.dataText);
        FUZZ_CHECK(again.identifier == frame.identifier && again.count == frame.count);
        FUZZ_CHECK(std::memcmp(again.data, frame.data, sizeof frame.data) == 0);
    } catch (const PacketTextError &e) {
        FUZZ_CHECK(!e.Message().isEmpty());
    }

    if (size >= 12) {
        CanPacket record;
        std::memcpy(record.bytes, data, 12);
        const uint32_t id = (uint32_t(data[0]) << 24) | (uint32_t(data[1]) << 16) | (uint32_t(data[2]) << 8) | data[3];
        RewriteReceivedIdentifier(record);
        const TxFrame back = PacketTextToFrame(PacketTextOf(record)); // never refused
        FUZZ_CHECK(back.identifier == (id & 0x1FFFFFFFu));
        FUZZ_CHECK(back.count == 8 && std::memcmp(back.data, data + 4, 8) == 0);
    }
    return 0;
}
