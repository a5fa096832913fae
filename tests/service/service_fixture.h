#pragma once
// The fake adapter library of the link tests with a device behind it: each packet sent may be
// answered by a responder, and every message and progress text is recorded.
#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <vector>

#include "app/message_dlg.h"
#include "link/packet_text.h"
#include "tests/link/fake_dll_fixture.h"

// What a fake device answers to one packet sent (as its PacketText).
inline std::function<std::vector<CanPacket>(const QString &text)> g_responder;

// A received frame as the library delivers it.
inline CanPacket Frame(uint8_t command, uint8_t section, uint8_t wire, uint8_t sub, std::vector<uint8_t> data = {})
{
    data.resize(8);
    return Delivered(PacketIdentifier(command, section, wire, sub), data);
}

struct Message {
    QString text;
    int kind;
    bool operator==(const Message &) const = default;
};

class ServiceTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        g_responder = nullptr;
        UsbCanEntryPoints table = FakeTable();
        table.TxData = [](uint32_t id, uint8_t *data, int32_t count) -> int32_t {
            g_fake.sent.push_back({id, std::vector<uint8_t>(data, data + count)});
            const int code = g_fake.txCodes.empty() ? 0 : g_fake.txCodes.front();
            if (!g_fake.txCodes.empty())
                g_fake.txCodes.pop_front();
            if (code == 0 && g_responder)
                for (const CanPacket &p : g_responder(SentText(g_fake.sent.back())))
                    g_fake.rx.push_back(p);
            return code;
        };
        UsbCan.SetEntryPoints(table);
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons) {
            messages.push_back({text, kind});
            return answer;
        });
        AutoIncProgramWaitAns = 1;
    }
    void TearDown() override
    {
        g_responder = nullptr;
        SetMessageDlgHook(nullptr);
        LinkTest::TearDown();
    }

    QStringList Sent() const
    {
        QStringList out;
        for (const SentFrame &f : g_fake.sent)
            out << SentText(f);
        return out;
    }

    std::vector<Message> messages;
    int answer = mrOk;
};
