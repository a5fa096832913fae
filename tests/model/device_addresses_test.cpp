// Writing the catalogue models' addresses back into devices.xml.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/device_addresses.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_paths.h"
#include "tests/support/tree_dump.h"

namespace {

struct Model {
    QString name;
    int address;
};

// A catalogue tree as the loader makes it: one top-level node per model, its text the name.
void Fill(CTree &tree, const std::vector<Model> &models)
{
    for (const Model &m : models) {
        auto d = std::make_shared<CDevice>();
        d->name = m.name;
        d->device_addr = m.address;
        tree.addChild(nullptr, m.name, d);
    }
}

class DeviceAddressesTest : public ::testing::Test {
protected:
    QString Write(const QByteArray &bytes)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QByteArray Read() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("devices.xml"));
};

QByteArray Cp1251(const QString &text) { return QStringEncoder("windows-1251").encode(text); }

// The tree the loader reads from bytes.
QStringList Reread(const QByteArray &bytes)
{
    CXmlDocument doc;
    doc.loadFromBytes(bytes);
    CTree tree;
    ReadXmlToTree(doc, tree);
    return TreeDump(tree);
}

} // namespace

TEST_F(DeviceAddressesTest, WindowsCatalogueKeepsEverythingButThePairedAddresses)
{
    // Written the way libxml2 writes, so that only the addresses may differ.
    const QString before = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
        "<!-- Каталог программатора: адреса пишет он сам -->\r\n"
        "<Root>\r\n"
        "  <DeviceList>\r\n"
        "    <Device name=\"Тиврон-А\" version=\"3.0\" device_id=\"14\" device_addr=\"1\">\r\n"
        "      <Table type=\"table\" name=\"шлейфы\" columns=\"4\"/>\r\n"
        "      <!-- шлейфы по умолчанию -->\r\n"
        "    </Device>\r\n"
        "    <Device device_addr=\"2\" version=\"2.1\" name=\"Тиврон-АСПТ\" device_id=\"10\"/>\r\n"
        "    <Device name=\"Тиврон-2\" version=\"1.0\" device_id=\"2\"/>\r\n"
        "    <Device name=\"Тиврон-АСПТ-А\" version=\"1.2\" device_id=\"11\" device_addr=\"3\"/>\r\n"
        "  </DeviceList>\r\n"
        "  <Note>текст &amp; пояснение</Note>\r\n"
        "</Root>\r\n");
    Write(Cp1251(before));

    CTree tree;
    // Тиврон-2 has no device_addr attribute and gets none; Тиврон-АСПТ-А's node carries another name.
    Fill(tree, {{QStringLiteral("Тиврон-А"), 7}, {QStringLiteral("Тиврон-АСПТ"), 0}, {QStringLiteral("Тиврон-2"), 9},
                {QStringLiteral("Тиврон-АСПТ-Б"), 4}});
    ASSERT_TRUE(SaveDeviceAddresses(tree, path));

    QString after = before;
    after.replace(QStringLiteral("device_addr=\"1\""), QStringLiteral("device_addr=\"7\""));
    after.replace(QStringLiteral("device_addr=\"2\""), QStringLiteral("device_addr=\"0\""));
    EXPECT_EQ(Read().toStdString(), Cp1251(after).toStdString());

    // The loader reads it back with the new addresses.
    CTree reread;
    ASSERT_TRUE(ReadXmlToTree(path, reread));
    ASSERT_EQ(reread.count(), 4);
    EXPECT_EQ(reread.topNode(0)->device()->device_addr, 7);
    EXPECT_EQ(reread.topNode(1)->device()->device_addr, 0);
    EXPECT_EQ(reread.topNode(3)->device()->device_addr, 3);
}

TEST_F(DeviceAddressesTest, PairingByPosition)
{
    const char *head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n  <DeviceList>\n";
    const char *tail = "  </DeviceList>\n</Root>\n";
    const struct {
        const char *name;
        const char *devices;           // the DeviceList's content
        std::vector<Model> tree;
        const char *expected;          // the content after the write-back
    } cases[] = {
        {"a mismatched name leaves its element; later pairs are still tried",
         "    <Device name=\"A\" device_addr=\"1\"/>\n    <Device name=\"B\" device_addr=\"2\"/>\n"
         "    <Device name=\"C\" device_addr=\"3\"/>\n",
         {{"A", 11}, {"X", 12}, {"C", 13}},
         "    <Device name=\"A\" device_addr=\"11\"/>\n    <Device name=\"B\" device_addr=\"2\"/>\n"
         "    <Device name=\"C\" device_addr=\"13\"/>\n"},
        {"a comment counts as a sibling and shifts every later pair",
         "    <Device name=\"A\" device_addr=\"1\"/>\n    <!-- old -->\n    <Device name=\"B\" device_addr=\"2\"/>\n"
         "    <Device name=\"C\" device_addr=\"3\"/>\n",
         {{"A", 11}, {"B", 12}, {"C", 13}},
         "    <Device name=\"A\" device_addr=\"11\"/>\n    <!-- old -->\n    <Device name=\"B\" device_addr=\"2\"/>\n"
         "    <Device name=\"C\" device_addr=\"3\"/>\n"},
        {"fewer nodes than elements: the rest keep their addresses",
         "    <Device name=\"A\" device_addr=\"1\"/>\n    <Device name=\"B\" device_addr=\"2\"/>\n",
         {{"A", 11}},
         "    <Device name=\"A\" device_addr=\"11\"/>\n    <Device name=\"B\" device_addr=\"2\"/>\n"},
        {"more nodes than elements: the extra nodes are not written",
         "    <Device name=\"A\" device_addr=\"1\"/>\n",
         {{"A", 11}, {"B", 12}},
         "    <Device name=\"A\" device_addr=\"11\"/>\n"},
        {"elements before the first Device are skipped; a Device without a name matches no named model",
         "    <Info/>\n    <Device device_addr=\"1\"/>\n    <Device name=\"B\" device_addr=\"2\"/>\n",
         {{"A", 11}, {"B", 12}},
         "    <Info/>\n    <Device device_addr=\"1\"/>\n    <Device name=\"B\" device_addr=\"12\"/>\n"},
        {"a DeviceList without Device elements is saved back unchanged",
         "    <Info/>\n",
         {{"A", 11}},
         "    <Info/>\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Write(QByteArray(head) + c.devices + tail);
        CTree tree;
        Fill(tree, c.tree);
        EXPECT_TRUE(SaveDeviceAddresses(tree, path));
        EXPECT_EQ(Read().toStdString(), (QByteArray(head) + c.expected + tail).toStdString()); // LF stays LF
    }
}

TEST_F(DeviceAddressesTest, FailuresLeaveTheFileAsItWas)
{
    CTree tree;
    Fill(tree, {{"A", 11}});

    EXPECT_FALSE(SaveDeviceAddresses(tree, path));
    EXPECT_FALSE(QFile::exists(path)) << "a missing catalogue is not created";

    const QByteArray files[] = {
        "<?xml version=\"1.0\"?>\n<Root><DeviceList><Device name=\"A\" device_addr=\"1\">\n</Root>\n", // not well-formed
        "<?xml version=\"1.0\"?>\n<Root>\n  <List><Device name=\"A\" device_addr=\"1\"/></List>\n</Root>\n", // no DeviceList
        "<?xml version=\"1.0\"?>\n<Root/>\n",                                                          // empty document element
        "<?xml version=\"1.0\"?>\n<Root>   </Root>\n",                                                 // white space only
    };
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(bytes.toStdString());
        Write(bytes);
        EXPECT_FALSE(SaveDeviceAddresses(tree, path));
        EXPECT_EQ(Read(), bytes);
    }
    // A folder in the catalogue's place cannot be read or replaced.
    QTemporaryDir other;
    EXPECT_FALSE(SaveDeviceAddresses(tree, other.path()));
}

// A full disk under the catalogue: the write-back is dropped as every failure of it is, and the old
// catalogue stays whole.
TEST_F(DeviceAddressesTest, AFullDiskKeepsTheOldCatalogue)
{
    // Small enough for a buffered writer to hold it whole until the end.
    QFile small(SourcePath(QStringLiteral("tests/model/fixtures/devices-cp1251.xml")));
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    const QByteArray original = small.readAll();
    ASSERT_GT(original.size(), 1024);
    Write(original);
    CTree tree;
    ASSERT_TRUE(ReadXmlToTree(path, tree));
    tree.topNode(0)->device()->device_addr += 1;
    {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(SaveDeviceAddresses(tree, path));
    }
    EXPECT_EQ(Read(), original);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"devices.xml"});
}

TEST_F(DeviceAddressesTest, SampleCatalogueRoundTrip)
{
    QFile sample(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray original = sample.readAll();
    Write(original);
    CTree tree;
    ASSERT_TRUE(ReadXmlToTree(path, tree));
    // Unchanged addresses give the same bytes back.
    ASSERT_TRUE(SaveDeviceAddresses(tree, path));
    EXPECT_EQ(Read().toStdString(), original.toStdString());

    tree.topNode(3)->device()->device_addr = 5;
    ASSERT_TRUE(SaveDeviceAddresses(tree, path));
    QByteArray expected = original;
    expected.replace(QStringLiteral("name=\"Тиврон-2\" version=\"1.0\" device_id=\"2\" device_addr=\"4\"").toUtf8(),
                     QStringLiteral("name=\"Тиврон-2\" version=\"1.0\" device_id=\"2\" device_addr=\"5\"").toUtf8());
    EXPECT_NE(expected, original);
    EXPECT_EQ(Read().toStdString(), expected.toStdString());
}

TEST_F(DeviceAddressesTest, EncodingThatCannotBeReadBackIsWrittenAsUtf8)
{
    // UTF-7 would write the declaration itself as "+ADw-?xml...": the file could never be opened again.
    Write("<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<Root><DeviceList>"
          "<Device name=\"A\" version=\"1\" device_addr=\"1\"/></DeviceList></Root>\n");
    CTree tree;
    Fill(tree, {{QStringLiteral("A"), 5}});
    ASSERT_TRUE(SaveDeviceAddresses(tree, path));

    EXPECT_TRUE(Read().startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << Read().toStdString();
    CTree reread;
    ASSERT_TRUE(ReadXmlToTree(path, reread));
    ASSERT_EQ(reread.count(), 1);
    EXPECT_EQ(reread.topNode(0)->device()->device_addr, 5);
}

TEST_F(DeviceAddressesTest, OnlyTheAddressValuesChangeInAFileOfAnyLayout)
{
    // What libxml2 would write its own way stays: quotes, blanks and line breaks in tags, mixed line
    // ends, the byte-order mark, no declaration, no final line end, tags inside comments, CDATA and
    // other values.
    const QByteArray before = "\xEF\xBB\xBF<Root>\r\n"
                              "<!-- <Device name='A' device_addr='1'/> -->\n"
                              "  <DeviceList >\r\n"
                              "    <Device name = 'A'  note=\"device_addr='1' > x=y\"\tdevice_addr = '1' />\n"
                              "    <Device\n      device_addr=\"2\"\n      name=\"B &amp; C\"></Device>\r\n"
                              "    <Device name=\"D\" device_addr=\"4\"/>\r\n"
                              "  </DeviceList>\n"
                              "  <Note><![CDATA[<Device name=\"B\" device_addr=\"2\"/>]]></Note>\n"
                              "</Root>";
    Write(before);
    CTree tree;
    Fill(tree, {{QStringLiteral("A"), 7}, {QStringLiteral("B & C"), 12}, {QStringLiteral("D"), -4}});
    ASSERT_TRUE(SaveDeviceAddresses(tree, path));
    QByteArray after = before;
    after.replace("\tdevice_addr = '1'", "\tdevice_addr = '7'");
    after.replace("device_addr=\"2\"\n", "device_addr=\"12\"\n");
    after.replace("device_addr=\"4\"", "device_addr=\"-4\"");
    EXPECT_EQ(Read().toStdString(), after.toStdString());
}

TEST_F(DeviceAddressesTest, TheFileReadsBackAsTheTreeRewriteReadsBack)
{
    // Each file with every model's address moved: writing only the values gives what rewriting the
    // document in libxml2's tree gives, and files whose markup the bytes do not show are rewritten.
    QFile sample(SourcePath(QStringLiteral("data/devices.xml")));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QFile cp1251(SourcePath(QStringLiteral("tests/model/fixtures/devices-cp1251.xml")));
    ASSERT_TRUE(cp1251.open(QIODevice::ReadOnly));
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray list = "<Root><DeviceList><Device name=\"A\" device_addr=\"1\"/>"
                            "<Device name=\"B\" device_addr=\"2\"/></DeviceList></Root>";
    const struct {
        const char *name;
        QByteArray bytes;
        bool rewritten; // through libxml2's tree
    } cases[] = {
        {"the sample catalogue", sample.readAll(), false},
        {"a windows-1251 catalogue", cp1251.readAll(), false},
        {"siblings of every kind",
         "<Root>\n<DeviceList>\n<Device name=\"A\" device_addr=\"1\"/>\n<!-- c -->\n<?pi?>\n<![CDATA[x]]><![CDATA[y]]>\n"
         "text\n<Device name=\"E\" device_addr=\"5\"/>\n<Other name=\"F\" device_addr=\"6\"/>\n"
         "<Device name=\"G\" device_addr=\"7\"/><Device name=\"H\" device_addr=\"8\"/></DeviceList>\n"
         "<DeviceList><Device name=\"A\" device_addr=\"9\"/></DeviceList></Root>",
         false},
        {"references in names and addresses",
         "<Root><DeviceList><Device name=\"A&amp;B\" device_addr=\"&#49;\"/><Device name='C&#10;D' device_addr='2'/>"
         "</DeviceList></Root>",
         false},
        {"a document type declaration",
         "<!DOCTYPE Root [<!ENTITY e \"B\">]>" + QByteArray(list).replace("name=\"B\"", "name=\"&e;\""), true},
        {"namespaces", QByteArray(list).replace("<Root>", "<Root xmlns:x=\"urn:x\">"), true},
        {"UTF-16",
         "\xFF\xFE" + QByteArray(utf16.encode("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + QString::fromUtf8(list))),
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CXmlDocument doc;
        doc.loadFromBytes(c.bytes);
        CTree tree;
        ASSERT_TRUE(ReadXmlToTree(doc, tree));
        if (!c.rewritten) {
            EXPECT_EQ(CatalogueWithAddresses(c.bytes, tree), c.bytes) << "the addresses as they stand change nothing";
        }
        for (CTreeNode *n = tree.firstNode(); n; n = n->nextSibling())
            if (n->device())
                n->device()->device_addr += 100;
        const QByteArray written = CatalogueWithAddresses(c.bytes, tree);
        const QByteArray rewritten = CatalogueRewrittenWithAddresses(c.bytes, tree);
        ASSERT_FALSE(written.isEmpty());
        ASSERT_FALSE(rewritten.isEmpty());
        EXPECT_NE(Reread(written), Reread(c.bytes));
        EXPECT_EQ(Reread(written), Reread(rewritten));
        if (c.rewritten) {
            EXPECT_EQ(written, rewritten);
        }
    }
}
