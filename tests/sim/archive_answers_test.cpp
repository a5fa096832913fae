// Archive answers from the line description: the XML form and what a request gets back.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "tests/support/test_paths.h"

namespace {

bool LoadText(const QByteArray &devices, LineDescription &line, QString *error)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("line.xml")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Line>" + devices + "</Line>");
    file.close();
    return LoadLineDescription(file.fileName(), line, error);
}

SimFrame Request(uint8_t address, uint8_t sub, QByteArray data)
{
    SimFrame f;
    f.command = ArchiveCommand;
    f.section = 0xFF;
    f.address = address;
    f.subCode = sub;
    f.data = data;
    return f;
}

} // namespace

TEST(SimArchive, AnswersWhatTheLineLists)
{
    LineDescription line;
    QString error;
    ASSERT_TRUE(LoadLineDescription(SourcePath(QStringLiteral("tests/service/fixtures/archive-line.xml")), line, &error))
        << qPrintable(error);
    ASSERT_EQ(line.devices.size(), 2u);
    EXPECT_EQ(line.devices[0].archive.size(), 7u);
    LineSimulator simulator(line);
    RegisterHandlers(simulator);

    std::vector<SimAnswer> answers = simulator.Answer(Request(0x01, 0, QByteArray(8, '\0')));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].frame.Text(), QStringLiteral("EEFF011E0001000000000000"));

    answers = simulator.Answer(Request(0x01, 1, QByteArray::fromHex("0001000000000000")));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].frame.Text(), QStringLiteral("EEFF011C000100040000003B"));
    EXPECT_EQ(answers[2].frame.Text(), QStringLiteral("EEFF011A00010000000C0000"));

    // Second layout: the index low byte first, the kind in the section.
    answers = simulator.Answer(Request(0x02, 1, QByteArray::fromHex("0100000000000000")));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].frame.Text(), QStringLiteral("EE1A021F010000001901FFFF"));

    // Unknown index, other sub-codes, the broadcast and a short request get nothing.
    EXPECT_TRUE(simulator.Answer(Request(0x01, 1, QByteArray::fromHex("0009"))).empty());
    EXPECT_TRUE(simulator.Answer(Request(0x01, 2, QByteArray(8, '\0'))).empty());
    EXPECT_TRUE(simulator.Answer(Request(0xFF, 0, QByteArray(8, '\0'))).empty());
    EXPECT_TRUE(simulator.Answer(Request(0x01, 1, QByteArray(1, '\0'))).empty());
}

TEST(SimArchive, RefusesMalformedEntries)
{
    const char *bad[] = {
        R"(<ArchiveAnswer to="last" section="FF" sub="1E" data="0001000000000000"/>)", // outside a device
        R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="first" section="FF" sub="1E" data="0001000000000000"/></LineDevice>)",
        R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="last" section="100" sub="1E" data="0001000000000000"/></LineDevice>)",
        R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="last" section="FF" sub="20" data="0001000000000000"/></LineDevice>)",
        R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="last" section="FF" sub="1E" data="00010000000000"/></LineDevice>)",
        R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="last" section="FF" sub="1E" data="000100000000000G"/></LineDevice>)",
    };
    for (const char *text : bad) {
        LineDescription line;
        QString error;
        EXPECT_FALSE(LoadText(text, line, &error)) << text;
        EXPECT_FALSE(error.isEmpty());
    }
    LineDescription line;
    QString error;
    EXPECT_TRUE(LoadText(R"(<LineDevice model="x" device_id="10" device_addr="2"><ArchiveAnswer to="record" section="1a" sub="1f" data="00010000000000ff"/></LineDevice>)",
                         line, &error))
        << qPrintable(error);
}
