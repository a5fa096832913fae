#include "sim/line_description.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

bool ReadInt(const QXmlStreamAttributes &attributes, const char *name, int min, int max, int &value, QString *error)
{
    bool ok = false;
    value = attributes.value(QLatin1String(name)).toInt(&ok);
    if (!ok || value < min || value > max) {
        *error = QStringLiteral("attribute %1 must be a number from %2 to %3").arg(QLatin1String(name)).arg(min).arg(max);
        return false;
    }
    return true;
}

bool ReadArchiveAnswer(const QXmlStreamAttributes &a, SimDevice &device, QString *error)
{
    SimArchiveAnswer answer;
    const QStringView to = a.value(QLatin1String("to"));
    if (to != QLatin1String("last") && to != QLatin1String("record")) {
        *error = QStringLiteral("ArchiveAnswer: attribute to must be last or record");
        return false;
    }
    answer.last = to == QLatin1String("last");
    bool okSection = false, okSub = false;
    const uint section = a.value(QLatin1String("section")).toUInt(&okSection, 16);
    const uint sub = a.value(QLatin1String("sub")).toUInt(&okSub, 16);
    const QByteArray hex = a.value(QLatin1String("data")).toLatin1();
    const QByteArray data = QByteArray::fromHex(hex);
    if (!okSection || section > 0xFF || !okSub || sub > 0x1F || hex.size() != 16 || data.size() != 8 ||
        data.toHex().compare(hex, Qt::CaseInsensitive) != 0) {
        *error = QStringLiteral("ArchiveAnswer: section 00-FF, sub 00-1F and 16 hexadecimal digits of data expected");
        return false;
    }
    answer.section = uint8_t(section);
    answer.subCode = uint8_t(sub);
    answer.data = data;
    device.archive.push_back(answer);
    return true;
}

} // namespace

bool LoadLineDescription(const QString &path, LineDescription &line, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    LineDescription result;
    result.cataloguePath = folder.absoluteFilePath(QStringLiteral("devices.xml"));
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Line")) {
            const QString catalogue = xml.attributes().value(QLatin1String("catalogue")).toString();
            if (!catalogue.isEmpty())
                result.cataloguePath = folder.absoluteFilePath(catalogue);
            continue;
        }
        if (xml.isStartElement() && xml.name() == QLatin1String("ArchiveAnswer")) {
            if (result.devices.empty() || !ReadArchiveAnswer(xml.attributes(), result.devices.back(), error)) {
                if (result.devices.empty())
                    *error = QStringLiteral("ArchiveAnswer outside a LineDevice");
                *error = QStringLiteral("%1, line %2: %3").arg(path).arg(xml.lineNumber()).arg(*error);
                return false;
            }
            continue;
        }
        if (!xml.isStartElement() || xml.name() != QLatin1String("LineDevice"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        SimDevice device;
        device.model = a.value(QLatin1String("model")).toString();
        if (!ReadInt(a, "device_id", 0, 255, device.typeId, error) ||
            !ReadInt(a, "device_addr", 1, 255, device.address, error)) {
            *error = QStringLiteral("%1, line %2: %3").arg(path).arg(xml.lineNumber()).arg(*error);
            return false;
        }
        const QString config = a.value(QLatin1String("config")).toString();
        if (!config.isEmpty())
            device.configPath = folder.absoluteFilePath(config);
        result.devices.push_back(device);
    }
    if (xml.hasError()) {
        *error = QStringLiteral("%1, line %2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
        return false;
    }
    line = std::move(result);
    return true;
}
