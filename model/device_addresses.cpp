#include "model/device_addresses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/xml_document.h"

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

} // namespace

bool SaveDeviceAddresses(const CTree &catalogue, const QString &path)
{
    try {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        const QByteArray original = in.readAll();
        in.close();

        CXmlDocument doc;
        doc.loadFromBytes(original, path);
        const CXmlNode root = doc.documentElement();
        if (!root.hasChildNodes())
            return false;
        const CXmlNode list = root.firstChildNamed(QStringLiteral("DeviceList"));
        if (!list)
            return false;

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
        if (bytes.isEmpty())
            return false;
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        const QByteArray data = WithLineEndsOf(original, bytes);
        if (out.write(data) != data.size())
            return false;
        return out.commit();
    } catch (...) {
        // The catalogue stays as it was; nobody is told.
        return false;
    }
}

void SaveDeviceAddresses(const QString &programDir)
{
    if (ConfigForm)
        SaveDeviceAddresses(ConfigForm->tvConfig->items(), CataloguePath(programDir));
}
