#include "model/device_addresses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <utility>
#include <vector>

#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/xml_document.h"
#include "model/xml_scan.h"
#include "platform/whole_file.h"

QString CataloguePath(const QString &programDir)
{
    return QDir(programDir.isEmpty() ? QStringLiteral(".") : programDir).filePath(QStringLiteral("devices.xml"));
}

namespace {

// libxml2 writes LF only (XML reading turns CR LF into LF); a file that had CR LF gets them back.
QByteArray WithLineEndsOf(const QByteArray &original, QByteArray written)
{
    if (original.contains("\r\n")) {
        written.replace("\r\n", "\n");
        written.replace("\n", "\r\n");
    }
    static const QByteArray bom("\xEF\xBB\xBF");
    if (original.startsWith(bom) && !written.startsWith(bom))
        written.prepend(bom);
    return written;
}

// Pairs the models with the nodes of the first DeviceList as the parser reports them, the way
// CatalogueRewrittenWithAddresses pairs them in libxml2's tree.
class CAddressPairing final : public CXmlStreamHandler {
public:
    explicit CAddressPairing(const CTree &catalogue) : model_(catalogue.firstNode()) {}

    bool rootHasChildren = false;
    bool listFound = false;
    std::vector<std::pair<int, QByteArray>> addresses; // start tag ordinal of a Device, its new address

    void startElement(const CXmlStreamElement &element, int depth) override
    {
        if (depth == 1) {
            rootHasChildren = true;
            if (!listFound && element.named("DeviceList"))
                listFound = inList_ = true;
        } else if (depth == 2 && inList_) {
            paired_ = paired_ || element.named("Device");
            if (paired_)
                pair(&element);
        }
    }
    void endElement(int depth) override
    {
        if (depth == 1)
            inList_ = false;
    }
    void otherNode(int depth) override
    {
        if (depth == 1)
            rootHasChildren = true;
        else if (depth == 2 && inList_ && paired_)
            pair(nullptr);
    }

private:
    void pair(const CXmlStreamElement *element)
    {
        if (!model_)
            return;
        const CDevice *device = model_->device();
        if (element && element->named("Device") && device && element->hasAttribute("device_addr") &&
            element->attribute("name") == device->name) {
            // A value that reads as the address already stays as it is written.
            const QByteArray address = QByteArray::number(device->device_addr);
            if (element->attribute("device_addr") != QLatin1String(address))
                addresses.emplace_back(element->ordinal(), address);
        }
        model_ = model_->nextSibling();
    }

    const CTreeNode *model_;
    bool inList_ = false;
    bool paired_ = false; // from the first Device on
};

// The file with only the values of the paired device_addr attributes replaced; nothing when its
// markup cannot be read from its bytes as they are (then libxml2's tree decides), and an empty
// array when nothing may be written.
std::optional<QByteArray> PatchedAddresses(const QByteArray &original, const CTree &catalogue)
{
    const CXmlScan scan = ScanXml(original, QString(), true);
    if (scan.doctype || !scan.bytesAreMarkup)
        return std::nullopt;
    CAddressPairing pairing(catalogue);
    switch (StreamXml(original, scan, QString(), pairing)) {
    case XmlStream::NotStreamed:
        return std::nullopt;
    case XmlStream::NotWellFormed:
        return QByteArray();
    case XmlStream::Read:
        break;
    }
    if (!pairing.rootHasChildren || !pairing.listFound)
        return QByteArray();
    QByteArray patched;
    patched.reserve(original.size() + 16);
    qsizetype from = 0;
    for (const auto &[ordinal, address] : pairing.addresses) {
        const auto [begin, end] = XmlAttributeValueSpan(original, scan.startTags[size_t(ordinal)], "device_addr");
        if (begin < 0)
            return std::nullopt; // the scan and the parser disagree: take the tree's way
        patched.append(original.constData() + from, begin - from);
        patched.append(address);
        from = end;
    }
    patched.append(original.constData() + from, original.size() - from);
    return patched;
}

} // namespace

QByteArray CatalogueRewrittenWithAddresses(const QByteArray &original, const CTree &catalogue)
{
    try {
        CXmlDocument doc;
        doc.loadFromBytes(original);
        const CXmlNode root = doc.documentElement();
        if (!root.hasChildNodes())
            return QByteArray();
        const CXmlNode list = root.firstChildNamed(QStringLiteral("DeviceList"));
        if (!list)
            return QByteArray();

        CTreeNode *node = catalogue.firstNode();
        for (CXmlNode x = list.firstChildNamed(QStringLiteral("Device")); x && node;
             x = x.nextSibling(), node = node->nextSibling()) {
            if (!x.isElement() || x.nodeName() != QLatin1String("Device"))
                continue;
            const CDevice *device = node->device();
            if (device && x.hasAttribute(QStringLiteral("device_addr")) &&
                x.attribute(QStringLiteral("name")) == device->name)
                x.setAttribute(QStringLiteral("device_addr"), QString::number(device->device_addr));
        }

        const QByteArray bytes = doc.toBytes();
        return bytes.isEmpty() ? bytes : WithLineEndsOf(original, bytes);
    } catch (...) {
        return QByteArray();
    }
}

QByteArray CatalogueWithAddresses(const QByteArray &original, const CTree &catalogue)
{
    try {
        if (std::optional<QByteArray> patched = PatchedAddresses(original, catalogue))
            return *patched;
    } catch (...) {
        return QByteArray(); // refused by the scan
    }
    return CatalogueRewrittenWithAddresses(original, catalogue);
}

bool SaveDeviceAddresses(const CTree &catalogue, const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray original = in.readAll();
    in.close();
    const QByteArray data = CatalogueWithAddresses(original, catalogue);
    if (data.isEmpty())
        return false;
    try {
        WriteWholeFile(path, data);
    } catch (const WholeFileError &) {
        return false; // dropped, as every failure of the write-back: the old file stays
    }
    return true;
}

void SaveDeviceAddresses(const QString &programDir)
{
    if (ConfigForm)
        SaveDeviceAddresses(ConfigForm->tvConfig->items(), CataloguePath(programDir));
}
