// What a simulated device answers from its stored configuration, and what it keeps of a write.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <optional>

#include "model/config_loader.h"
#include "model/read_tree.h"
#include "sim/device_state.h"
#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "sim/stored_config.h"
#include "tests/support/test_paths.h"

namespace {

LineDescription Line(const QString &path)
{
    LineDescription line;
    QString error;
    EXPECT_TRUE(LoadLineDescription(path, line, &error)) << qPrintable(error);
    EXPECT_TRUE(LoadDeviceStates(line, &error)) << qPrintable(error);
    return line;
}

LineDescription FixtureLine() { return Line(SourcePath(QStringLiteral("tests/sim/fixtures/line.xml"))); }

// A packet as the programmer writes it: CCSSAALL, then the data bytes.
SimFrame Packet(const QString &text)
{
    const QString t = QString(text).remove(u' ');
    const uint32_t v = t.left(8).toUInt(nullptr, 16);
    SimFrame f;
    f.command = uint8_t(v >> 24);
    f.section = uint8_t(v >> 16);
    f.address = uint8_t(v >> 8);
    f.subCode = uint8_t(v);
    f.data = QByteArray::fromHex(t.mid(8).toLatin1());
    return f;
}

QStringList Ask(LineSimulator &sim, const QString &request)
{
    QStringList texts;
    for (const SimAnswer &a : sim.Answer(Packet(request)))
        texts << a.frame.Text();
    return texts;
}

void Send(LineSimulator &sim, const QStringList &packets)
{
    for (const QString &p : packets)
        EXPECT_TRUE(sim.Answer(Packet(p)).empty()) << qPrintable(p);
}

// The device at 4 (wire address 03) holds tests/sim/fixtures/test-4.DEV; the one at 9 (08) holds none.
const QString kLoopsAt4 = QStringLiteral("85FF0301FF00000000000000");
const QString kLoops01 = QStringLiteral("1002030101032C0105010000");
const QString kLoops02 = QStringLiteral("100203010201050004010000");
const QString kEndAt4 = QStringLiteral("02FF03000000000000000000");

} // namespace

TEST(StoredConfiguration, TableRequestsAreAnsweredByColumnAndSection)
{
    LineSimulator sim(FixtureLine());
    RegisterHandlers(sim);
    const struct {
        const char *request;
        QStringList answers;
    } cases[] = {
        // Two columns: table address in data byte 0; list name "Охранный" 3; 300 over bytes 2-3
        // low byte first; two flags sharing byte 4; "Зона" missing from the file: its default 1.
        {"85FF0301FF00000000000000", {kLoops01, kLoops02}},
        // One column, parameters in sections 1 and 4: one frame per section. "Сетевой" 1, raw -6
        // as FA, 3600 over bytes 4-5, 258 over bytes 6-7 (section 4's parameter), text: nothing.
        {"85FF0300FF00000000000000", {"1001030001FA0000100E0201", "1004030001FA0000100E0201"}},
        // A table missing from the file: the catalogue's defaults, the "sys" parameter its address.
        {"85FF0305FF00000000000000", {"100503050504000000000000"}},
        // Codes without a table, and the password table: nothing.
        {"85FF0302FF00000000000000", {}},
        {"85FF0306FF00000000000000", {}},
        {"85FF0307FF00000000000000", {}},
        // A table address in data byte 0 asks for that column alone.
        {"85FF03010200000000000000", {kLoops02}},
        {"85FF03010900000000000000", {}},
        // The device without a file: defaults, and the first row of a multi-column table its addresses.
        {"85FF0801FF00000000000000", {"100208010100000005010000", "100208010200000005010000"}},
        {"85FF0800FF00000000000000", {"1001080000500000B4000000", "1004080000500000B4000000"}},
        // Configuration requests to the broadcast address or to nobody.
        {"85FFFF01FF00000000000000", {}},
        {"85FF0501FF00000000000000", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        EXPECT_EQ(Ask(sim, QLatin1String(c.request)), c.answers);
    }
}

TEST(StoredConfiguration, KeyRequestsAreAnsweredWithBothRecords)
{
    LineSimulator sim(FixtureLine());
    RegisterHandlers(sim);
    const QStringList master = {"100003030000020000000000", "100103030000000000000000"};
    // Without loops: function and level in bytes 3-4; the code's pairs from the last to the first.
    const QStringList key7 = {"100003030700010302000000", "100103030700AB8967452301"};
    // Four loops: arm mask 05 (loops 1, 3), disarm mask 02 (loop 2), each over two bytes.
    const QStringList key300 = {"100003032C01010500020000", "100103032C01665544332211"};
    const struct {
        const char *request;
        QStringList answers;
    } cases[] = {
        {"85FF03030000000000000000", master},
        {"85FF03030700000000000000", key7},
        {"85FF03032C01000000000000", key300},
        {"85FF03032C00000000000000", {}}, // key 44: no such key; the high byte counts
        {"85FF0303FFFF000000000000", master + key7 + key300}, // every key ("Гость" has no number)
        {"85FF0803FFFF000000000000", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        EXPECT_EQ(Ask(sim, QLatin1String(c.request)), c.answers);
    }
}

TEST(StoredConfiguration, WritesAreKeptWhenTheEndPacketComes)
{
    LineSimulator sim(FixtureLine());
    RegisterHandlers(sim);
    // The configuration write: one packet per column with the table's first section, then keys.
    Send(sim, {"01 02 03 01 02 04 58 02 01 07", "01 02 03 01 09 01 00 00 00 00", "01 01 03 00 00 14 20 1C 00 00",
               "010003032C01020000000000", "010103032C01AABBCCDDEEFF", "010003030C00010100000000"});
    // Nothing is taken before the end packet.
    EXPECT_EQ(Ask(sim, kLoopsAt4), QStringList({kLoops01, kLoops02}));
    Send(sim, {kEndAt4});
    EXPECT_EQ(Ask(sim, kLoopsAt4), QStringList({kLoops01, "100203010204580201070000"})); // column 09 unknown
    EXPECT_EQ(Ask(sim, "85FF0300FF00000000000000"),
              QStringList({"100103000014201C00000000", "100403000014201C00000000"}));
    EXPECT_EQ(Ask(sim, "85FF03032C01000000000000"),
              QStringList({"100003032C01020000000000", "100103032C01AABBCCDDEEFF"}));
    // A new key written in one packet: its other record holds just its number.
    EXPECT_EQ(Ask(sim, "85FF03030C00000000000000"),
              QStringList({"100003030C00010100000000", "100103030C00000000000000"}));
    EXPECT_EQ(Ask(sim, "85FF0303FFFF000000000000").size(), 8);
    // The other device and a write to the broadcast address are untouched.
    Send(sim, {"01020801020500", "0102FF01010500", "02FF08000000000000000000", "02FFFF000000000000000000"});
    EXPECT_EQ(Ask(sim, "85FF0801FF00000000000000"),
              QStringList({"100208010100000005010000", "100208010205000000000000"}));
    EXPECT_EQ(Ask(sim, kLoopsAt4)[0], kLoops01);

    // Reset drops what waits for an end packet and brings the stored configuration back.
    Send(sim, {"01020301010000000000"});
    EXPECT_TRUE(sim.Reset(4));
    Send(sim, {kEndAt4});
    EXPECT_EQ(Ask(sim, kLoopsAt4), QStringList({kLoops01, kLoops02}));
    EXPECT_EQ(Ask(sim, "85FF03030C00000000000000"), QStringList());
    EXPECT_FALSE(sim.Reset(5));
}

TEST(StoredConfiguration, ChosenAnswersAreLeftOut)
{
    LineSimulator sim(FixtureLine());
    RegisterHandlers(sim);
    const QString keys = QStringLiteral("85FF0303FFFF000000000000");
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4:table:1:02"), true));
    EXPECT_EQ(Ask(sim, kLoopsAt4), QStringList({kLoops01}));
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4 table 0"), true));
    EXPECT_TRUE(Ask(sim, "85FF0300FF00000000000000").isEmpty());
    EXPECT_EQ(Ask(sim, "85FF0800FF00000000000000").size(), 2); // the other device still answers
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4 key 7 1"), true)); // only the section-00 answer
    EXPECT_EQ(Ask(sim, "85FF03030700000000000000"), QStringList({"100003030700010302000000"}));
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4 key 300"), true));
    EXPECT_EQ(Ask(sim, keys).size(), 3);
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4 key 300"), false));
    EXPECT_EQ(Ask(sim, keys).size(), 5);
    EXPECT_TRUE(sim.SetOmitted(QStringLiteral("4"), false));
    EXPECT_EQ(Ask(sim, kLoopsAt4).size(), 2);
    EXPECT_EQ(Ask(sim, keys).size(), 6);

    for (const char *bad : {"4", "4 table 32", "4 table 1 100", "4 key 7 2", "4 key 70000", "4 fly 1", "x table 1",
                            "3 table 1", "4 table"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(sim.SetOmitted(QLatin1String(bad), true));
    }
}

TEST(StoredConfiguration, ValueTextsAndMasks)
{
    CTree tree;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("tests/sim/fixtures/catalogue.xml")), tree));
    const CTreeNode *loops = tree.firstNode()->child(0);
    const CTreeNode *kind = loops->child(1), *delay = loops->child(2), *on = loops->child(3);
    const CTreeNode *name = tree.firstNode()->child(1)->child(3);
    CTreeNode *flag = tree.firstNode()->addChild(QStringLiteral("flag"));
    auto plain = std::make_shared<CParameter>();
    plain->type = QStringLiteral("логический");
    flag->data = plain;
    const struct {
        const CTreeNode *parameter;
        const char *text;
        int raw;
    } values[] = {
        {kind, "Тепловой", 1}, {kind, "3", 3},   {kind, "Пожар", 0},  {delay, "600", 600}, {delay, "-6", -6},
        {delay, "abc", 0},     {on, "+", 1},     {on, "1", 1},        {on, " ", 0},        {on, "7", 0},
        {flag, "+", 1},        {flag, " ", 0},   {flag, "7", 7},      {name, "12", 0},
    };
    for (const auto &v : values) {
        SCOPED_TRACE(v.text);
        EXPECT_EQ(RawParameterValue(*v.parameter, QString::fromUtf8(v.text)), v.raw);
    }

    const struct {
        int mask, value;
        SimRecord before, after;
    } merges[] = {
        {6, 0x1234, {}, {0, 0x34, 0x12}},
        {0x21, 0x1234, {}, {0x34, 0, 0, 0, 0, 0x12}},        // apart: still low byte first
        {1, 0x1234, {}, {0x34}},                              // only the lowest bytes fit
        {1, -6, {}, {0xFA}},                                  // two's complement
        {0x1F, -1, {}, {0xFF, 0xFF, 0xFF, 0xFF, 0}},          // 32 bits at most
        {1, 4, {0x01}, {0x05}},                               // shared bytes combine
        {0, 0x55, {0x01}, {0x01}},
    };
    for (const auto &m : merges) {
        SCOPED_TRACE(m.mask);
        SimRecord bytes = m.before;
        MergeValue(bytes, m.mask, m.value);
        EXPECT_EQ(bytes, m.after);
    }
}

TEST(StoredConfiguration, UnusableFilesAreReported)
{
    QTemporaryDir dir;
    const QString fixtures = SourcePath(QStringLiteral("tests/sim/fixtures/"));
    const QString badDev = dir.filePath(QStringLiteral("bad.DEV"));
    QFile f(badDev);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Root><DeviceList><Device name=\"Тест-1\" device_id=\"x\"/></DeviceList></Root>");
    f.close();
    const struct {
        QString catalogue, model, config;
    } cases[] = {
        {fixtures + "catalogue.xml", QStringLiteral("Нет такого"), QString()}, // no such model, no such type id
        {fixtures + "none.xml", QStringLiteral("Тест-1"), QString()},
        {fixtures + "catalogue.xml", QStringLiteral("Тест-1"), fixtures + "none.DEV"},
        {fixtures + "catalogue.xml", QStringLiteral("Тест-1"), badDev},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.catalogue + " " + c.config));
        LineDescription line;
        line.cataloguePath = c.catalogue;
        SimDevice device;
        device.model = c.model;
        device.typeId = c.model == QLatin1String("Тест-1") ? 7 : 99;
        device.address = 4;
        device.configPath = c.config;
        line.devices.push_back(device);
        QString error;
        EXPECT_FALSE(LoadDeviceStates(line, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

namespace {

// The programmer's reading of one value: the first answer of the section, wire address and code
// whose data byte 0 names the column (any answer for a one-column table led by a non-"sys"
// parameter), the selected bytes as a little-endian number.
std::optional<int64_t> Decode(const std::vector<SimAnswer> &answers, uint8_t wire, const CTable &table,
                              const CParameter &first, const CParameter &p, int column)
{
    const bool anyColumn = table.columns == 1 && first.type.toUpper() != QLatin1String("SYS");
    const int key = table.tab_addr.value(column).toInt(nullptr, 16);
    for (const SimAnswer &a : answers) {
        const SimFrame &f = a.frame;
        if (f.command != 0x10 || f.section != p.can_id_razdel || f.address != wire || f.subCode != table.can_type ||
            f.data.size() != 8 || (!anyColumn && uint8_t(f.data[0]) != key))
            continue;
        const int mask = p.address.toInt();
        int64_t value = 0;
        int shift = 0;
        for (int k = 0; k < 8; ++k)
            if (mask & (1 << k)) {
                value |= int64_t(uint8_t(f.data[k])) << shift;
                shift += 8;
            }
        return value;
    }
    return std::nullopt;
}

} // namespace

TEST(StoredConfiguration, EveryDemoDeviceAnswersEveryValueOfItsModel)
{
    LineDescription line = Line(SourcePath(QStringLiteral("data/demo-line.xml")));
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(line.cataloguePath, catalogue));
    LineSimulator sim(line);
    RegisterHandlers(sim);
    for (const SimDevice &device : line.devices) {
        const CTreeNode *model = catalogue.firstNode();
        while (model && model->device()->name != device.model)
            model = model->nextSibling();
        ASSERT_TRUE(model) << qPrintable(device.model);
        const uint8_t wire = uint8_t(device.address - 1);
        for (const CTreeNode *t = model->firstChild(); t; t = t->nextSibling()) {
            const CTable &table = *t->table();
            if (table.type != QLatin1String("table") || !t->hasChildren())
                continue;
            SimFrame request = Packet(QStringLiteral("85FF0000FF00000000000000"));
            request.address = wire;
            request.subCode = uint8_t(table.can_type);
            const std::vector<SimAnswer> answers = sim.Answer(request);
            const CParameter &first = *t->firstChild()->parameter();
            for (const CTreeNode *p = t->firstChild(); p; p = p->nextSibling())
                for (int c = 0; c < table.columns; ++c) {
                    if (p->parameter()->address.toInt() == 0)
                        continue;
                    SCOPED_TRACE(qPrintable(device.model + " / " + t->text + " / " + p->text + " / " + QString::number(c)));
                    const std::optional<int64_t> value = Decode(answers, wire, table, first, *p->parameter(), c);
                    ASSERT_TRUE(value.has_value());
                    if (p->parameter()->type.toUpper() == QLatin1String("SYS") || (table.columns > 1 && p == t->firstChild())) {
                        EXPECT_EQ(*value, table.tab_addr[c].toInt(nullptr, 16));
                    }
                }
        }
    }
}

namespace {

// The values the read-back tree holds under a parameter node, a default marked with "*".
QStringList Values(const CTreeNode *parameter)
{
    QStringList values;
    for (const CTreeNode *v = parameter ? parameter->firstChild() : nullptr; v; v = v->nextSibling())
        values << v->item()->value + (v->imageIndex == DefaultMarker ? QStringLiteral("*") : QString());
    return values;
}

} // namespace

TEST(StoredConfiguration, TheProgrammersDecoderReadsTheStoredValues)
{
    CTree catalogue;
    ASSERT_TRUE(ReadXmlToTree(SourcePath(QStringLiteral("tests/sim/fixtures/catalogue.xml")), catalogue));
    CTreeNode *model = catalogue.firstNode();
    model->device()->device_addr = 4;
    LineSimulator sim(FixtureLine());
    RegisterHandlers(sim);
    ASSERT_TRUE(sim.SetOmitted(QStringLiteral("4:table:1:02"), true));
    ASSERT_TRUE(sim.SetOmitted(QStringLiteral("4:key:7"), true));

    // The read's requests: six table codes, then one per key of the key list.
    std::vector<CanPacket> received;
    for (const char *request : {"85FF0300FF00000000000000", "85FF0301FF00000000000000", "85FF0302FF00000000000000",
                                "85FF0304FF00000000000000", "85FF0305FF00000000000000", "85FF0306FF00000000000000",
                                "85FF03030000000000000000", "85FF03030700000000000000", "85FF03032C01000000000000"})
        for (const SimAnswer &a : sim.Answer(Packet(QLatin1String(request)))) {
            CanPacket p;
            p[0] = a.frame.command;
            p[1] = a.frame.section;
            p[2] = a.frame.address;
            p[3] = a.frame.subCode;
            for (int k = 0; k < a.frame.data.size(); ++k)
                p[size_t(4 + k)] = uint8_t(a.frame.data[k]);
            received.push_back(p);
        }
    CTree read;
    const CTreeNode *device =
        BuildReadTree(read, *model, received, {QStringLiteral("Мастер-ключ"), QStringLiteral("<ключ> №7"), QStringLiteral("<ключ> №300")});
    ASSERT_TRUE(device);
    const auto param = [&](int table, int parameter) { return device->child(table)->child(parameter); };
    const auto keyParam = [&](int key, int parameter) { return device->child(2)->child(key)->child(parameter); };

    const struct {
        const CTreeNode *parameter;
        QStringList values;
    } cases[] = {
        // Column 02 left out: defaults with the marker, the first row its table address.
        {param(0, 0), {"1", "2*"}},
        {param(0, 1), {"3", "0*"}},
        {param(0, 2), {"300", "0*"}},
        {param(0, 3), {"+", "+*"}},
        {param(0, 4), {"+", "+*"}},
        {param(0, 5), {"1", "1*"}},
        {param(1, 0), {"1"}},
        {param(1, 1), {"250"}}, // raw -6 in one byte: the page shows 4 again (formula 10, range 0-255)
        {param(1, 2), {"3600"}},
        {param(1, 3), {"Объект*"}}, // a text travels in no byte
        {param(1, 4), {"258"}},     // from the section-4 answer
        {param(3, 0), {"5"}},
        {param(3, 1), {"4"}},
        {keyParam(0, 1), {"2"}},
        {keyParam(1, 0), {}}, // key 7 left out: no values, no defaults
        {keyParam(2, 0), {"300"}},
        {keyParam(2, 1), {"1"}},
        {keyParam(2, 2), {"5"}},
        {keyParam(2, 3), {"2"}},
        {keyParam(2, 4), {"17"}}, // code 112233445566: pair 1 is 11
        {keyParam(2, 9), {"102"}},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(c.parameter);
        SCOPED_TRACE(qPrintable(c.parameter->text));
        EXPECT_EQ(Values(c.parameter), c.values);
    }
}
