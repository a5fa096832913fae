#include <QGuiApplication>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include "model/config_loader.h"
#include "model/xml_scan.h"
#include "tests/model/model_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/tree_dump.h"

namespace {

QString Catalogue(const QString &devices)
{
    return "<Root><DeviceList>" + devices + "</DeviceList></Root>";
}

CXmlNode Element(CXmlDocument &doc, const QString &attrs)
{
    doc.loadFromBytes(("<E " + attrs + "/>").toUtf8());
    return doc.documentElement();
}

// What a load ends with (its result, or the error's class and text) and the tree it leaves.
struct LoadOutcome {
    QString result;
    QStringList tree;
};

template <class Load>
LoadOutcome Outcome(Load &&load)
{
    LoadOutcome o;
    CTree tree;
    tree.addChild(nullptr, "Old");
    try {
        o.result = load(tree) ? "true" : "false";
    } catch (const CXmlError &e) {
        o.result = "CXmlError " + QString::fromUtf8(e.what());
    } catch (const CConvertError &e) {
        o.result = "CConvertError " + QString::fromUtf8(e.what());
    }
    o.tree = TreeDump(tree);
    return o;
}

class NoHandler final : public CXmlStreamHandler {
    void startElement(const CXmlStreamElement &, int) override {}
    void endElement(int) override {}
    void otherNode(int) override {}
};

} // namespace

TEST(Conversions, DecimalIntegers)
{
    struct Case {
        const char *text;
        std::optional<int> value;
    } cases[] = {
        {"0", 0},          {"42", 42},           {"+7", 7},       {"-15", -15},      {"007", 7},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"abc", std::nullopt}, {"12a", std::nullopt}, {" 5", std::nullopt},
        {"0x1F", std::nullopt}, {"$1F", std::nullopt}, {"1.5", std::nullopt}, {"٣", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseDecimalInt(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(Conversions, LenientStrictFlagAndByte)
{
    CXmlDocument doc;
    CXmlNode e = Element(doc, "n='12' bad='abc' neg='-3' big='300' zero='0' empty=''");
    EXPECT_EQ(XmlLenientInt(e, "n", 1), 12);
    EXPECT_EQ(XmlLenientInt(e, "bad", 1), 1);
    EXPECT_EQ(XmlLenientInt(e, "empty", 50), 50);
    EXPECT_EQ(XmlLenientInt(e, "missing", 50), 50);
    EXPECT_EQ(XmlStrictInt(e, "neg", 0), -3);
    EXPECT_EQ(XmlStrictInt(e, "missing", 1), 1);
    EXPECT_THROW(XmlStrictInt(e, "bad", 0), CConvertError);
    EXPECT_THROW(XmlStrictInt(e, "empty", 0), CConvertError);
    EXPECT_TRUE(XmlFlag(e, "big", false));
    EXPECT_TRUE(XmlFlag(e, "neg", false));
    EXPECT_FALSE(XmlFlag(e, "zero", true));
    EXPECT_TRUE(XmlFlag(e, "missing", true));
    EXPECT_THROW(XmlFlag(e, "bad", false), CConvertError);
    EXPECT_EQ(XmlByte(e, "big", 0), 44);  // 300 keeps its low 8 bits
    EXPECT_EQ(XmlByte(e, "neg", 0), 253);
    EXPECT_THROW(XmlByte(e, "bad", 0), CConvertError);
    EXPECT_EQ(XmlText(e, "n"), "12");
    EXPECT_EQ(XmlText(e, "missing", "00"), "00");
    EXPECT_EQ(XmlText(e, "empty", "00"), "");
}

TEST(Loader, DefaultsOfEveryElement)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Device><Table><Parameter><Item/><ItemValue/></Parameter></Table>"
        "<Table type='key'><Key><Key_hos/></Key></Table>"
        "<Table type='pass'><Pass><Pass_hos/></Pass></Table></Device>"));
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(path, tree));

    CTreeNode *dn = tree.firstNode();
    const CDevice &d = *dn->device();
    EXPECT_EQ(d.kind, "Device");
    EXPECT_TRUE(d.name.isEmpty() && d.version.isEmpty());
    EXPECT_EQ(d.device_id, 0);
    EXPECT_EQ(d.device_addr, 0);
    EXPECT_EQ(dn->imageIndex, imgDevice);

    CTreeNode *tn = dn->firstChild();
    const CTable &t = *tn->table();
    EXPECT_EQ(t.kind, "Table");
    EXPECT_EQ(t.type, "table");
    EXPECT_EQ(t.can_type, 1);
    EXPECT_EQ(t.columns, 1);
    EXPECT_EQ(t.column_width, 50);
    EXPECT_EQ(t.can_data_size, 0);
    EXPECT_EQ(t.max_key_count, 1);
    EXPECT_EQ(tn->imageIndex, imgParamTable);

    CTreeNode *pn = tn->firstChild();
    const CParameter &p = *pn->parameter();
    EXPECT_EQ(p.kind, "Parameter");
    EXPECT_TRUE(p.name.isEmpty() && p.type.isEmpty() && p.address.isEmpty() && p.default_value.isEmpty());
    EXPECT_EQ(p.can_id_razdel, 0);
    EXPECT_EQ(p.address_bit, 0);
    EXPECT_EQ(p.min_value, 0);
    EXPECT_EQ(p.max_value, 0);
    EXPECT_EQ(p.formula, 0);
    EXPECT_EQ(pn->imageIndex, imgParameter);
    ASSERT_EQ(pn->childCount(), 2);
    EXPECT_EQ(pn->child(0)->item()->kind, "Item");
    EXPECT_EQ(pn->child(1)->item()->kind, "ItemValue");
    EXPECT_EQ(pn->child(1)->imageIndex, imgItem);

    CTreeNode *keyTable = tn->nextSibling();
    EXPECT_EQ(keyTable->imageIndex, imgKeyTable);
    CTreeNode *kn = keyTable->firstChild();
    const CKey &k = *kn->key();
    EXPECT_EQ(k.kind, "Key");
    EXPECT_EQ(k.id, 0);
    EXPECT_FALSE(k.master);
    EXPECT_EQ(k.hos_count, 0);
    EXPECT_EQ(kn->imageIndex, imgKey);
    ASSERT_EQ(k.hos_chk.size(), 1u);
    EXPECT_FALSE(k.hos_chk[0]);
    EXPECT_EQ(kn->firstChild()->text, "ШС0 (0)");
    EXPECT_EQ(kn->firstChild()->imageIndex, imgLoopFlag);

    CTreeNode *passTable = keyTable->nextSibling();
    EXPECT_EQ(passTable->imageIndex, imgPassTable);
    const CPass &ps = *passTable->firstChild()->pass();
    EXPECT_EQ(ps.kind, "Pass");
    EXPECT_FALSE(ps.administrator || ps.disabled || ps.access || ps.hos_key);
    EXPECT_EQ(passTable->firstChild()->imageIndex, imgPass);
    EXPECT_EQ(ps.hos_chk.size(), 1u);
}

TEST(Loader, AttributesAsWritten)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Device name='Тиврон-А' version='3.0' device_id='14' device_addr='5'>"
        " <Table type='table' name='T' can_type='4' columns='abc' column_width='-7' can_data_size='3' max_key_count='x'>"
        "  <Parameter name='P' type='числовой' can_id_razdel='q' address='6' address_bit='16' default_value='1' "
        "   min_value='-20' max_value='+100' formula='-20'/>"
        " </Table>"
        " <Table type='other' name='O'/>"
        "</Device>"));
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(path, tree));
    const CDevice &d = *tree.firstNode()->device();
    EXPECT_EQ(d.name, "Тиврон-А");
    EXPECT_EQ(d.version, "3.0");
    EXPECT_EQ(d.device_id, 14);
    EXPECT_EQ(d.device_addr, 5);
    const CTable &t = *tree.firstNode()->firstChild()->table();
    EXPECT_EQ(t.can_type, 4);
    EXPECT_EQ(t.columns, 1); // abc: the default
    EXPECT_EQ(t.column_width, -7);
    EXPECT_EQ(t.can_data_size, 3);
    EXPECT_EQ(t.max_key_count, 1);
    const CParameter &p = *tree.firstNode()->firstChild()->firstChild()->parameter();
    EXPECT_EQ(p.can_id_razdel, 0);
    EXPECT_EQ(p.address, "6");
    EXPECT_EQ(p.address_bit, 16);
    EXPECT_EQ(p.min_value, -20);
    EXPECT_EQ(p.max_value, 100);
    EXPECT_EQ(p.formula, -20);
    // A table of another type has no picture of its own: it shows picture 0.
    EXPECT_EQ(tree.firstNode()->lastChild()->imageIndex, 0);
    EXPECT_EQ(tree.firstNode()->lastChild()->table()->type, "other");
}

TEST(Loader, TabAddrAndLoopFlagsKeepDocumentOrder)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Device name='D'><Table name='T' columns='3'>"
        "<TabAddr value='01'/><!-- a comment --><TabAddr value='02'/><TabAddr/></Table>"
        "<Table type='key' name='K'><Key name='k' hos_count='2'>"
        "<Key_hos id='1' chk='1'/><Key_hos id='2' chk='0'/><Key_hos id='3' chk='7'/><Key_hos id='4' chk='0'/>"
        "</Key></Table>"
        "<Table type='pass' name='P'><Pass name='p' hos_count='2'><Pass_hos id='1' chk='0'/><Pass_hos id='2' chk='1'/>"
        "</Pass></Table></Device>"));
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(path, tree));
    CTreeNode *t = tree.firstNode()->firstChild();
    EXPECT_EQ(t->table()->tab_addr, QStringList({"01", "02", "00"}));
    EXPECT_FALSE(t->hasChildren()); // TabAddr adds no node

    CTreeNode *k = t->nextSibling()->firstChild();
    EXPECT_EQ(k->key()->hos_chk, std::vector<bool>({true, false, true, false}));
    EXPECT_EQ(Texts(k->firstChild()), QStringList({"ШС1 (1)", "ШС2 (0)", "ШС3 (1)", "ШС4 (0)"}));
    EXPECT_TRUE(k->firstChild()->loopFlag());
    EXPECT_FALSE(k->child(1)->loopFlag());
    EXPECT_EQ(k->child(2)->key(), nullptr);

    CTreeNode *p = t->nextSibling()->nextSibling()->firstChild();
    EXPECT_EQ(p->pass()->hos_chk, std::vector<bool>({false, true}));
    EXPECT_EQ(Texts(p->firstChild()), QStringList({"ШС1 (0)", "ШС2 (1)"}));
}

TEST(Loader, LoopFlagsAndAddressesOutOfPlaceArePassedOver)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Key_hos id='1' chk='1'/><TabAddr value='09'/>"
        "<Device name='D'><Key_hos id='1' chk='1'/><Pass_hos id='x' chk='y'/>"
        "<Table name='T'><Key name='k'><Pass_hos id='1' chk='1'/><TabAddr value='05'/></Key>"
        "<Parameter name='P'><Key_hos id='1' chk='1'/></Parameter></Table></Device>"));
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(path, tree));
    ASSERT_EQ(tree.count(), 1);
    CTreeNode *d = tree.firstNode();
    ASSERT_EQ(d->childCount(), 1);
    CTreeNode *t = d->firstChild();
    EXPECT_TRUE(t->table()->tab_addr.isEmpty());
    EXPECT_TRUE(t->firstChild()->key()->hos_chk.empty());
    EXPECT_FALSE(t->firstChild()->hasChildren());
    EXPECT_FALSE(t->lastChild()->hasChildren());
}

TEST(Loader, NestedDeviceGoesBesideItsParent)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Device name='A'><Table name='T'><Device name='B'/></Table><Device name='C'/></Device>"));
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(path, tree));
    // B is read under T's node, so it goes beside T; C is read under A, so it goes beside A.
    EXPECT_EQ(TopTexts(tree), QStringList({"A", "C"}));
    EXPECT_EQ(Texts(tree.firstNode()->firstChild()), QStringList({"T", "B"}));
}

TEST(Loader, FilesThatLeaveTheTreeAlone)
{
    ModelFixture fx;
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(fx.writeXml("a.xml", Catalogue("<Device name='Old'/>")), tree));

    // A document element without children: the tree keeps what it held, silently.
    EXPECT_FALSE(LoadXmlToTree(fx.writeXml("empty.xml", "<Root/>"), tree));
    EXPECT_FALSE(LoadXmlToTree(fx.writeXml("blank.xml", "<Root>\n   \n</Root>"), tree));
    EXPECT_TRUE(fx.messages.empty());

    // Not well-formed, missing, or not XML at all: the message, and the tree is unchanged.
    const QString broken = fx.writeXml("broken.xml", "<Root><DeviceList><Device name='X'></DeviceList></Root>");
    const QString entity = fx.writeXml("entity.xml", "<Root><Device name='&undefined;'/></Root>");
    for (const QString &path : {broken, entity, fx.write("none.xml", ""), fx.write("bin.xml", "\x01\x02garbage"),
                                QString(fx.write("x", "") + ".missing")}) {
        fx.messages.clear();
        EXPECT_FALSE(LoadXmlToTree(path, tree)) << path.toStdString();
        ASSERT_EQ(fx.messages.size(), 1u) << path.toStdString();
        EXPECT_TRUE(fx.messages[0].text.startsWith("Файл проекта не распознан.\n"));
        EXPECT_GT(fx.messages[0].text.size(), QString("Файл проекта не распознан.\n").size());
        EXPECT_EQ(fx.messages[0].kind, mtError);
        EXPECT_EQ(fx.messages[0].buttons, MsgButtons(mbOK));
        EXPECT_EQ(TopTexts(tree), QStringList({"Old"}));
    }
}

// The faults a damaged catalogue has are told in Russian with the line; any other comes after a
// Russian lead with libxml2's own text.
TEST(Loader, ADamagedFileIsToldInRussian)
{
    ModelFixture fx;
    const QByteArray catalogue = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<Root>\n"
                                 "<DeviceList>\n"
                                 "<Device name=\"Тиврон-А\" version=\"3.0\" device_id=\"14\">\n"
                                 "<Table type=\"table\" name=\"шлейфы\" columns=\"4\">\n"
                                 "<Parameter name=\"Задержка\" type=\"числовой\" default_value=\"1\"/>\n"
                                 "</Table>\n"
                                 "</Device>\n"
                                 "</DeviceList>\n"
                                 "</Root>\n";
    const qsizetype inTable = catalogue.indexOf("<Parameter");
    const qsizetype inValue = catalogue.indexOf("Задержка") + 1; // between the bytes of a letter
    const struct {
        const char *fault;
        QByteArray bytes;
        QString told;
    } cases[] = {
        {"empty", "", "строка 1: файл пуст"},
        {"blank", "\n  \n", "строка 3: файл пуст"},
        {"a declaration alone", "<?xml version=\"1.0\"?>\n", "строка 2: нет корневого элемента"},
        {"not XML", "Тиврон-А 3.0", "строка 1: нет корневого элемента"},
        {"cut short between tags", catalogue.left(inTable), "строка 6: файл обрывается, элемент Table из строки 5 не закрыт"},
        {"cut short in a tag", catalogue.left(inTable + 12),
         "строка 6: файл обрывается, элемент Table из строки 5 не закрыт"},
        {"cut short in a letter", catalogue.left(inValue), "строка 6: не закончено значение атрибута"},
        {"a tag not closed", QByteArray(catalogue).replace("</Table>\n", ""),
         "строка 7: закрывающий тег Device не соответствует элементу Table из строки 5"},
        {"an end tag misspelt", QByteArray(catalogue).replace("</DeviceList>", "</Devicelist>"),
         "строка 9: закрывающий тег Devicelist не соответствует элементу DeviceList из строки 3"},
        {"a start tag not finished", "<Root>\n<Device name=\"A\"\n<Table/>\n</Root>\n",
         "строка 3: начальный тег элемента Device из строки 2 не закончен"},
        {"an end tag not finished", "<Root>\n<Device name=\"A\">\n</Device\n</Root>\n", "строка 4: тег не закончен"},
        {"a control character", QByteArray(catalogue).replace("name=\"шлейфы\"", "name=\"шлейфы\x01\""),
         "строка 5: недопустимый символ"},
        {"a character reference to no character", QByteArray(catalogue).replace("шлейфы", "&#1;"),
         "строка 5: недопустимый символ"},
        {"Windows-1251 undeclared", QStringEncoder("windows-1251").encode(QStringLiteral("<Root><Device name=\"Тиврон\"/></Root>")),
         "строка 1: недопустимый символ: текст не в кодировке UTF-8, а другая кодировка не объявлена"},
        {"an unknown encoding", QByteArray(catalogue).replace("UTF-8", "koi9"), "строка 1: неизвестная кодировка koi9"},
        {"two document elements", "<Root/>\n<Root/>\n", "строка 2: лишнее содержимое после корневого элемента"},
        {"an attribute twice", QByteArray(catalogue).replace("version=\"3.0\"", "name=\"3.0\""),
         "строка 4: атрибут name повторяется"},
        {"an undefined entity", QByteArray(catalogue).replace("шлейфы", "&x;"),
         "строка 5: ошибка разбора XML: Entity 'x' not defined"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        CTree tree;
        fx.messages.clear();
        EXPECT_FALSE(LoadXmlToTree(fx.write("devices.xml", c.bytes), tree));
        ASSERT_EQ(fx.messages.size(), 1u);
        EXPECT_EQ(fx.messages[0].text.toStdString(), ("Файл проекта не распознан.\ndevices.xml, " + c.told).toStdString());
    }
}

// A file that cannot be opened names itself and the reason, in Russian.
TEST(Loader, AFileThatCannotBeOpenedIsToldWhy)
{
    ModelFixture fx;
    const QString file = fx.write("conf.DEV", "");
    const QString folder = QFileInfo(file).absolutePath();
    const QString fifo = folder + "/pipe.DEV";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const struct {
        QString path;
        QString text;
    } cases[] = {
        {folder + "/none.DEV", "Не удалось открыть файл \"none.DEV\": Файл или каталог не существует"},
        {folder, "Не удалось открыть файл \"" + QFileInfo(folder).fileName() + "\": Это каталог"},
        {file + "/conf.DEV", "Не удалось открыть файл \"conf.DEV\": Это не каталог"},
        // Opening a fifo would wait for a writer that never comes.
        {fifo, "Не удалось открыть файл \"pipe.DEV\": Это не обычный файл"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        fx.messages.clear();
        CTree tree;
        EXPECT_FALSE(LoadXmlToTree(c.path, tree));
        ASSERT_EQ(fx.messages.size(), 1u);
        EXPECT_EQ(fx.messages[0].text, "Файл проекта не распознан.\n" + c.text);
    }
}

TEST(Loader, NotANumberEndsTheLoadAndKeepsEarlierNodes)
{
    ModelFixture fx;
    const QString path = fx.writeXml("d.xml", Catalogue(
        "<Device name='A'><Table name='T'><Parameter name='P1'/>"
        "<Parameter name='P2' min_value='abc'/><Parameter name='P3'/></Table></Device>"
        "<Device name='B'/>"));
    CTree tree;
    tree.addChild(nullptr, "Old");
    try {
        LoadXmlToTree(path, tree);
        FAIL() << "no error";
    } catch (const CConvertError &e) {
        const QString text = QString::fromUtf8(e.what());
        EXPECT_TRUE(text.contains("'abc'"));
        EXPECT_TRUE(text.contains("min_value"));
        EXPECT_TRUE(text.contains("Parameter"));
    }
    EXPECT_EQ(TopTexts(tree), QStringList({"A"}));
    EXPECT_EQ(Texts(tree.firstNode()->firstChild()->firstChild()), QStringList({"P1"}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Loader, WhiteSpaceIsNoNodeButCommentsAndOtherElementsPassThrough)
{
    CXmlDocument doc;
    doc.loadFromBytes("<Root>\n  <!-- c -->\n  <A>\r\n\t</A>  text  <B/>\n</Root>");
    CXmlNode root = doc.documentElement();
    QStringList names;
    for (CXmlNode c = root.firstChild(); c; c = c.nextSibling())
        names << c.nodeName();
    EXPECT_EQ(names, QStringList({"#comment", "A", "#text", "B"}));
    EXPECT_EQ(root.childCount(), 4);
    EXPECT_FALSE(root.firstChildNamed("A").hasChildNodes());
    EXPECT_EQ(root.child(3).nodeName(), "B");
    EXPECT_TRUE(root.child(4).isNull());
    // The document keeps its layout for a save.
    EXPECT_TRUE(doc.toBytes().contains("<A>\n\t</A>"));
}

TEST(Loader, NeverReachesOutsideTheFile)
{
    ModelFixture fx;
    const QString secret = fx.write("secret.txt", "SECRET");
    const QString path = fx.write("xxe.xml",
        ("<?xml version='1.0'?><!DOCTYPE Root [<!ENTITY ext SYSTEM 'file://" + secret.toUtf8() +
         "'><!ENTITY net SYSTEM 'http://127.0.0.1:1/x'>]>"
         "<Root><DeviceList><Device name='A&ext;&net;'/></DeviceList></Root>"));
    CTree tree;
    LoadXmlToTree(path, tree);
    tree.forEach([](const CTreeNode *n) { EXPECT_FALSE(n->text.contains("SECRET")); });
}

TEST(Loader, Windows1251Catalogue)
{
    ModelFixture fx;
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(SourcePath("tests/model/fixtures/devices-cp1251.xml"), tree));
    ASSERT_EQ(tree.count(), 1);
    CTreeNode *d = tree.firstNode();
    EXPECT_EQ(d->text, "Тиврон-А");
    EXPECT_EQ(Texts(d->firstChild()), QStringList({"шлейфы", "Общие параметры", "Таблица ключей"}));
    EXPECT_EQ(d->firstChild()->child(1)->firstChild()->text, "Пожарный дымовой");
    EXPECT_EQ(d->child(1)->child(2)->text, "Порог температуры, °C");
}

TEST(Loader, StoredConfigurationWithoutDeclaredEncoding)
{
    ModelFixture fx;
    CTree tree;
    ASSERT_TRUE(LoadXmlToTree(SourcePath("tests/model/fixtures/stored.DEV"), tree));
    CTreeNode *d = tree.firstNode();
    EXPECT_EQ(d->device()->device_addr, 5);
    CTreeNode *loops = d->firstChild();
    // A stored file carries no can_type, can_data_size or max_key_count.
    EXPECT_EQ(loops->table()->can_type, 1);
    EXPECT_EQ(loops->table()->can_data_size, 0);
    EXPECT_EQ(loops->table()->max_key_count, 1);
    CTreeNode *type = loops->child(1);
    ASSERT_EQ(type->childCount(), 2);
    EXPECT_EQ(type->firstChild()->text, "");
    EXPECT_EQ(type->firstChild()->item()->kind, "ItemValue");
    EXPECT_EQ(type->firstChild()->item()->value, "Охранный");
    EXPECT_EQ(type->child(1)->item()->value, "3");

    CTreeNode *keys = loops->nextSibling();
    CTreeNode *key = keys->child(1);
    EXPECT_EQ(key->text, "<Склад \"Север\" & гараж/2> №7");
    EXPECT_EQ(key->key()->key_code, "0123456789AB");
    EXPECT_EQ(key->key()->KeyVz_Sn, 3);
    EXPECT_EQ(key->key()->KeyLocLevel, 4); // 260 in a byte
    EXPECT_EQ(key->key()->hos_chk, std::vector<bool>({false, true, true, false}));
    EXPECT_TRUE(keys->firstChild()->key()->master);

    CTreeNode *op = keys->nextSibling()->child(1);
    EXPECT_EQ(op->pass()->password, "12&34");
    EXPECT_TRUE(op->pass()->disabled);
    EXPECT_EQ(op->pass()->hos_chk, std::vector<bool>({false, true}));
}

TEST(Loader, ReadingWithoutWindowsShowsNothing)
{
    ModelFixture fx;
    CTree tree;
    EXPECT_THROW(ReadXmlToTree(fx.writeXml("b.xml", "<Root><A></Root>"), tree), CXmlError);
    EXPECT_FALSE(ReadXmlToTree(fx.writeXml("e.xml", "<Root/>"), tree));
    EXPECT_TRUE(ReadXmlToTree(fx.writeXml("d.xml", Catalogue("<Device name='D'/>")), tree));
    EXPECT_EQ(TopTexts(tree), QStringList({"D"}));
    EXPECT_TRUE(fx.messages.empty());
}

TEST(Loader, StreamedLoadGivesWhatLibxml2sTreeGives)
{
    ModelFixture fx;
    struct Document {
        QString path;
        bool streamed; // else the load goes through libxml2's tree itself
    };
    std::vector<Document> documents;
    for (const char *sample : {"data/devices.xml", "data/demo/tivron-2-5.DEV", "data/demo/tivron-a-3.DEV",
                               "tests/model/fixtures/devices-cp1251.xml", "tests/model/fixtures/stored.DEV",
                               "tests/sim/fixtures/catalogue.xml"})
        documents.push_back({SourcePath(sample), true});
    const struct {
        const char *name;
        QByteArray bytes;
        bool streamed;
    } written[] = {
        {"references.xml",
         "<Root><DeviceList><Device name=\"A &amp; B &lt;&gt; &quot;q&quot; &apos;s&apos; &#38;#38; &#x41;&#1044;\" "
         "version='1&#10;2\t3\r\n4' device_id=\"&#49;4\" device_addr=\"+&#55;\">"
         "<Table name=\"T\" columns=\"&#50;\" type='&#107;ey'><Key name=\"k\" id=\"&amp;\"/></Table></Device>"
         "</DeviceList></Root>",
         true},
        {"layout.xml",
         "<?xml version=\"1.0\"?>\r\n<!-- head -->\r\n<?pi x?>\r\n<Root>\r\n <DeviceList>\r\n"
         "  <Device name=\"A\" device_addr=\"3\"><![CDATA[<Device name=\"X\"/>]]>\r\n"
         "   <Table name=\"T\" columns=\"2\"><TabAddr value=\"01\"/><!-- c --><TabAddr/>\r\n"
         "    <Parameter name=\"P\" type=\"список\"><Item name=\"i\" value=\"1\"/>text<ItemValue value=\"2\"/></Parameter>"
         "    <Device name=\"Nested\"/></Table>\r\n"
         "   <Table type=\"pass\" name=\"U\"><Pass name=\"p\" hos_count=\"1\"><Pass_hos id=\"1\" chk=\"1\"/></Pass>"
         "<Key_hos id=\"1\" chk=\"1\"/></Table>\r\n  </Device>\r\n  <?pi?> loose text\r\n"
         "  <Device name=\"B\"/>\r\n </DeviceList>\r\n</Root>\r\n<!-- tail -->\r\n",
         true},
        {"root-is-a-device.xml", "<Device name=\"R\"><Table name=\"T\"/></Device>", true},
        {"only-a-comment.xml", "<Root><!-- c --></Root>", true},
        {"only-cdata.xml", "<Root><![CDATA[]]></Root>", true},
        {"only-text.xml", "<Root>x</Root>", true},
        {"only-white-space.xml", "<Root> &#32;\n&#9;</Root>", true},
        {"not-a-number.xml",
         "<Root><Device name=\"A\"><Table name=\"T\"><Parameter name=\"P1\"/>\n<Parameter\n name=\"P2\"\n"
         " min_value=\"x\"\n/><Parameter name=\"P3\"/></Table></Device><Device name=\"B\"/></Root>",
         true},
        {"not-a-number-then-broken.xml", "<Root><Device name=\"A\" device_id=\"x\"/><Device></Root>", false},
        {"broken.xml", "<Root><Device name=\"A\"></Root>", false},
        {"empty.xml", "", false},
        {"document-type.xml",
         "<!DOCTYPE Root [<!ATTLIST Device device_addr CDATA \"9\"><!ENTITY e \"<Device name='E'/>\">]>"
         "<Root><DeviceList><Device name=\"A\"/>&e;</DeviceList></Root>",
         false},
        {"namespaces.xml",
         "<Root xmlns:a=\"urn:a\"><DeviceList><a:Device name=\"A\"/><Device a:name=\"B\" a:device_id=\"7\"/>"
         "</DeviceList></Root>",
         false},
        {"undeclared-prefix.xml", "<Root><DeviceList><x:Device name=\"A\"/><Device name=\"B\"/></DeviceList></Root>",
         false},
    };
    for (const auto &w : written)
        documents.push_back({fx.write(w.name, w.bytes), w.streamed});
    QStringEncoder utf16(QStringConverter::Utf16LE);
    documents.push_back(
        {fx.write("utf-16.xml", "\xFF\xFE" + QByteArray(utf16.encode(QStringLiteral(
                                                "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Root><DeviceList>"
                                                "<Device name=\"Тиврон-А\" device_addr=\"4\"/></DeviceList></Root>")))),
         true});

    for (const Document &d : documents) {
        SCOPED_TRACE(d.path.toStdString());
        const QByteArray bytes = ReadXmlFile(d.path);
        NoHandler none;
        XmlStream stream = XmlStream::NotWellFormed;
        try {
            stream = StreamXml(bytes, ScanXml(bytes, d.path), d.path, none);
        } catch (const CXmlError &) {
        }
        EXPECT_EQ(stream == XmlStream::Read, d.streamed);

        const LoadOutcome streamed = Outcome([&](CTree &t) { return ReadXmlToTree(d.path, t); });
        const LoadOutcome whole = Outcome([&](CTree &t) {
            CXmlDocument doc;
            doc.load(d.path);
            return ReadXmlToTree(doc, t);
        });
        EXPECT_EQ(streamed.result.toStdString(), whole.result.toStdString());
        EXPECT_EQ(streamed.tree, whole.tree);
    }
}
