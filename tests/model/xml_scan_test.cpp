// Files with a start tag of too many attributes are refused before libxml2 reads them; the scan that
// finds them must not count what is no tag.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringEncoder>

#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/xml_scan.h"
#include "tests/model/model_fixture.h"

namespace {

// count attributes a0="" a1="" ..., with the given quote.
QByteArray Attributes(int count, char quote = '"')
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += " a" + QByteArray::number(i) + "=" + quote + quote;
    return out;
}

const QByteArray Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n  <DeviceList>\n";
const QByteArray Tail = "  </DeviceList>\n</Root>\n";

QString Refusal(const QString &where)
{
    return QStringLiteral("Файл проекта не распознан.\nСлишком много атрибутов: больше 1000 (") + where + ").";
}

} // namespace

TEST(HostileFiles, ATagOfTooManyAttributesIsRefusedNamingTheLine)
{
    ModelFixture fx;
    QStringEncoder utf16(QStringConverter::Utf16LE);
    QStringEncoder cp1251("windows-1251");
    const struct {
        const char *file;
        QByteArray bytes;
        QString where;
    } cases[] = {
        {"devices.xml", Head + "    <Device name=\"A\"" + Attributes(1001) + "/>\n" + Tail,
         "элемент Device, строка 4, файл devices.xml"},
        // A value holding ">" and "=", and a comment and CDATA holding a tag, end nothing early.
        {"stored.DEV",
         "<?xml version=\"1.0\"?>\r\n<Root>\r\n<!-- <a> -->\r\n<![CDATA[<b x='>']]>\r\n"
         "<ItemValue note=\"a > b = c\" other='>'" + Attributes(1000, '\'') + "></ItemValue>\r\n</Root>\r\n",
         "элемент ItemValue, строка 5, файл stored.DEV"},
        {"cp1251.xml",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Root>\r\n" +
             QByteArray(cp1251.encode(QStringLiteral("<Прибор"))) + Attributes(1001) + "/></Root>",
         "элемент Прибор, строка 3, файл cp1251.xml"},
        {"utf16.xml",
         "\xFF\xFE" + QByteArray(utf16.encode(QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                                                "<Root><Device" + Attributes(1001) + "/></Root>"))),
         "элемент Device, строка 2, файл utf16.xml"},
        // 2.3 MB: libxml2 alone would take minutes over it.
        {"huge.xml", "<Root><Device" + Attributes(200000) + "/></Root>", "элемент Device, строка 1, файл huge.xml"},
        // libxml2 reads on after a broken tag, and from a "<" inside a value.
        {"broken.xml", "<Root><A b>\n<Device" + Attributes(1001) + "/></Root>", "элемент Device, строка 2, файл broken.xml"},
        {"lt-in-value.xml", "<Root><A v=\"\n<Device" + Attributes(1001, '\'') + ">\"/></Root>",
         "элемент Device, строка 2, файл lt-in-value.xml"},
        // Attribute defaults and entities of the internal subset reach every start tag.
        {"defaults.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE Root [<!ATTLIST Device" +
                             QByteArray(Attributes(1001)).replace("=\"\"", " CDATA \"1\"") + ">]>\n<Root/>",
         "объявление типа документа, строка 2, файл defaults.xml"},
        {"entity.xml", "<!DOCTYPE Root [<!ENTITY e \"<Device" + Attributes(1001, '\'') + "/>\">]>\n<Root>&e;</Root>",
         "объявление типа документа, строка 1, файл entity.xml"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = fx.write(c.file, c.bytes);
        CTree tree;
        tree.addChild(nullptr, "Old");
        fx.messages.clear();
        EXPECT_FALSE(LoadXmlToTree(path, tree));
        ASSERT_EQ(fx.messages.size(), 1u);
        EXPECT_EQ(fx.messages[0].text.toStdString(), Refusal(c.where).toStdString());
        EXPECT_EQ(fx.messages[0].kind, mtError);
        EXPECT_EQ(TopTexts(tree), QStringList({"Old"}));

        // The address write-back leaves it alone, as any catalogue it cannot read.
        EXPECT_FALSE(SaveDeviceAddresses(tree, path));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.bytes);
    }
}

TEST(HostileFiles, WhatIsNoTagIsNotCounted)
{
    ModelFixture fx;
    const QByteArray many = Attributes(1001);
    const struct {
        const char *name;
        QByteArray devices;
    } cases[] = {
        {"exactly the limit", "<Device name=\"A\"" + Attributes(999) + "/>"},
        {"a comment", "<!-- <Device" + many + "/> --><Device name=\"A\"/>"},
        {"a CDATA section", "<Device name=\"A\"><![CDATA[<Device" + many + "/>]]></Device>"},
        {"a processing instruction", "<?note <Device" + many + "/> ?><Device name=\"A\"/>"},
        {"quoted values holding > and =",
         "<Device name=\"A\" a='Device" + QByteArray(many).replace("\"", "&quot;") + " =>' b=\"x>y=z\"/>"},
        {"an end tag and text", "<Device name=\"A\">a0=\"\" a1=\"\" a2=\"\" &gt; = </Device  >"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = Head + c.devices + "\n" + Tail;
        EXPECT_NO_THROW(ScanXml(bytes, QString()));
        CTree tree;
        EXPECT_TRUE(ReadXmlToTree(fx.write("d.xml", bytes), tree));
        EXPECT_EQ(TopTexts(tree), QStringList({"A"}));
    }
}

TEST(HostileFiles, OtherBadFilesKeepTheParsersReason)
{
    ModelFixture fx;
    const struct {
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"<Root><DeviceList></Root></DeviceList>",
         "b.xml, строка 1: закрывающий тег Root не соответствует элементу DeviceList из строки 1"},
        // An unfinished comment hides the tag from libxml2 as it does from the scan.
        {"<Root><!-- <Device" + Attributes(1001) + "/></Root>",
         "b.xml, строка 1: файл обрывается, элемент Root из строки 1 не закрыт"},
        {"<Root><Device name=\"A\" name=\"B\"/></Root>", "b.xml, строка 1: атрибут name повторяется"},
        {"<Root><Device name=\"A &x; B\"/></Root>", "b.xml, строка 1: ошибка разбора XML: Entity 'x' not defined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        CTree tree;
        fx.messages.clear();
        EXPECT_FALSE(LoadXmlToTree(fx.write("b.xml", c.bytes), tree));
        ASSERT_EQ(fx.messages.size(), 1u);
        EXPECT_EQ(fx.messages[0].text.toStdString(), "Файл проекта не распознан.\n" + std::string(c.message));
    }
}
