#include "link/device_search.h"

#include <QByteArray>
#include <QStringEncoder>

#include <algorithm>
#include <vector>

#include "app/settings.h"
#include "link/transfer.h"
#include "link/usb_can.h"

#include "model/config_images.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/tree_search.h"

namespace {

QString HexByte(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

int Sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

QByteArray Cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

} // namespace

QString SearchBroadcastText(const QDateTime &clock)
{
    const QDate d = clock.date();
    const QTime t = clock.time();
    const int fields[8] = {d.year() - 2000, d.year() / 100, d.month(), d.day(),
                           t.hour(),        t.minute(),     t.second(), d.dayOfWeek() % 7};
    QString text = QStringLiteral("FFFFFF00");
    for (int f : fields)
        text += HexByte(f);
    return text;
}

std::optional<SearchAnswer> ReadSearchAnswer(const CanPacket &record)
{
    if (record[0] != 0x20 || record[1] != 0xFF || record[3] != 0x00 || record[2] == 0xFF)
        return std::nullopt;
    return SearchAnswer{record[4], record[2] + 1};
}

QString DeviceText(const QString &modelName, int address)
{
    return modelName + QStringLiteral(" <") + QString::number(address) + QLatin1Char('>');
}

QString DeviceTextName(const QString &text)
{
    const qsizetype lt = text.indexOf(QLatin1Char('<'));
    return lt > 0 ? text.left(lt - 1) : QString();
}

int DeviceTextAddress(const QString &text)
{
    const qsizetype lt = text.indexOf(QLatin1Char('<'));
    const qsizetype gt = text.indexOf(QLatin1Char('>'));
    if (lt < 0 || gt <= lt)
        return 0;
    return ParseDecimalInt(text.mid(lt + 1, gt - lt - 1)).value_or(0);
}

int DeviceNameNumber(const QString &name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    return ParseDecimalInt(dash < 0 ? name : name.mid(dash + 1)).value_or(1000);
}

int CompareDeviceTexts(const QString &text1, const QString &text2, int order)
{
    if (order == SortByAddress)
        return Sign(static_cast<long long>(DeviceTextAddress(text1)) - DeviceTextAddress(text2));
    if (order != SortByName)
        return 0;
    const QString name1 = DeviceTextName(text1);
    const QString name2 = DeviceTextName(text2);
    if (int c = Sign(static_cast<long long>(DeviceNameNumber(name1)) - DeviceNameNumber(name2)))
        return c;
    if (int c = Sign(static_cast<long long>(name1.size()) - name2.size()))
        return c;
    const QByteArray b1 = Cp1251(name1);
    const QByteArray b2 = Cp1251(name2);
    const auto less = [](char a, char b) { return uint8_t(a) < uint8_t(b); };
    if (std::lexicographical_compare(b1.begin(), b1.end(), b2.begin(), b2.end(), less))
        return -1;
    if (std::lexicographical_compare(b2.begin(), b2.end(), b1.begin(), b1.end(), less))
        return 1;
    return 0;
}

CTreeNode *TopNodeWithText(const CTree &tree, const QString &text)
{
    for (CTreeNode *n = tree.firstNode(); n; n = n->nextSibling())
        if (n->text == text)
            return n;
    return nullptr;
}

CTreeNode *RecordSearchAnswer(const CanPacket &record, CTree &catalogue, CTree &list)
{
    const std::optional<SearchAnswer> answer = ReadSearchAnswer(record);
    if (!answer)
        return nullptr;
    CTreeNode *model = FindDeviceById(catalogue.firstNode(), answer->typeId, answer->address);
    if (!model)
        return nullptr;
    const QString text = DeviceText(model->text, model->device()->device_addr);
    if (TopNodeWithText(list, text))
        return nullptr;
    CTreeNode *node = list.addChild(nullptr, text, model->sharedAs<CDevice>());
    node->setImage(imgDevice);
    return node;
}

CTreeNode *SortDeviceList(CTree &list, int order, const CTreeNode *selected)
{
    const QString selectedText = selected ? selected->text : QString();
    struct Entry {
        QString text;
        NodeData data;
        int image;
    };
    std::vector<Entry> entries;
    for (CTreeNode *n = list.firstNode(); n; n = n->nextSibling())
        entries.push_back({n->text, n->data, n->imageIndex});
    std::stable_sort(entries.begin(), entries.end(), [order](const Entry &a, const Entry &b) {
        return CompareDeviceTexts(a.text, b.text, order) < 0;
    });
    list.beginUpdate();
    list.clear();
    for (const Entry &e : entries)
        list.addChild(nullptr, e.text, e.data)->setImage(e.image);
    list.endUpdate();
    return selectedText.isEmpty() ? nullptr : TopNodeWithText(list, selectedText);
}

int SendSearchBroadcast(const QDateTime &clock, int statusKind)
{
    const QString broadcast = SearchBroadcastText(clock);
    CurrentLinkPump().Status(SearchingText, statusKind);
    UsbCan.RxPackets.clear();
    return UsbCan.SendPacket(broadcast);
}

void PollSearchAnswers(CTree &catalogue, CTree &list, int &packetTotal, const std::function<void(int)> &showCount)
{
    LinkPump &pump = CurrentLinkPump();
    for (int poll = 0; poll < 15; ++poll) {
        pump.Sleep(unsigned(std::max(Usb_TimerSleep, 0)));
        UsbCan.ReceivePackets(UsbCan.RxPackets);
        showCount(int(UsbCan.RxPackets.size()) + packetTotal);
    }
    packetTotal += int(UsbCan.RxPackets.size());
    for (const CanPacket &record : UsbCan.RxPackets)
        RecordSearchAnswer(record, catalogue, list);
    UsbCan.RxPackets.clear();
}
