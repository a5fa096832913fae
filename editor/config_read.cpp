#include "editor/config_read.h"

#include <algorithm>
#include <utility>

#include <QMetaObject>
#include <QPointer>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/main_form.h"
#include "link/exchange.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/read_tree.h"
#include "model/tree_model.h"

namespace {

// The read's exchange: one at a time, from the requests until the pages are built or the read fails.
std::optional<TReadInProgress> g_read;
QMetaObject::Connection g_formGone;

void BeginReadExchange(TMainForm &form, TReadInProgress read)
{
    const bool running = g_read.has_value();
    g_read = std::move(read);
    if (running)
        return;
    BeginExchange();
    // A window closed in the middle of a collection must not hold the link busy for ever.
    g_formGone = QObject::connect(&form, &QObject::destroyed, [] { EndReadExchange(); });
}

// Still the read that these requests began: whatever ended it (the program closing) ends them too.
bool StillReading(const std::shared_ptr<CTreeNode> &device) { return g_read && g_read->Device == device; }

QString Hex2(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

void CopyChildren(const CTreeNode &from, CTree &to, CTreeNode *parent)
{
    for (const CTreeNode *n = from.firstChild(); n; n = n->nextSibling()) {
        CTreeNode *copy = to.addChild(parent, n->text, n->data);
        copy->imageIndex = n->imageIndex;
        copy->selectedIndex = n->selectedIndex;
        CopyChildren(*n, to, copy);
    }
}

} // namespace

bool IsRequestAddress(int deviceAddr) { return deviceAddr >= kMinRequestAddress && deviceAddr <= kMaxRequestAddress; }

QStringList ConfigurationRequestTexts(int deviceAddr, const QStringList &keyTexts)
{
    const QString prefix = QStringLiteral("85FF") + Hex2(deviceAddr - 1);
    QStringList texts;
    for (int code : kRequestedTableCodes)
        texts << prefix + Hex2(code) + QStringLiteral("FF00000000000000");
    const QString keyRequest = prefix + Hex2(kKeyTableCode);
    for (const QString &text : keyTexts) {
        const int number = KeyNumberFromText(text);
        texts << keyRequest + Hex2(number) + Hex2(number >> 8) + QStringLiteral("000000000000");
    }
    if (keyTexts.isEmpty())
        texts << keyRequest + QStringLiteral("FFFF000000000000");
    return texts;
}

void EndReadExchange()
{
    if (!g_read)
        return;
    g_read.reset();
    QObject::disconnect(g_formGone);
    EndExchange();
}

const TReadInProgress *CurrentRead() { return g_read ? &*g_read : nullptr; }

bool AnsweredBy(const std::vector<CanPacket> &records, int deviceAddr)
{
    const uint8_t wire = uint8_t(deviceAddr - 1);
    return std::any_of(records.begin(), records.end(),
                       [wire](const CanPacket &r) { return r[0] == kConfigAnswerCommand && r[2] == wire; });
}

CTreeNode *PagesValuesTree(const TConfigFileDevice &pages, CTree &target)
{
    // The same way a saved file comes back on Open, so the values read back as the engineer left them.
    CXmlDocument doc;
    doc.loadFromBytes(ConfigFileBytes(pages));
    ReadXmlToTree(doc, target);
    CTreeNode *device = target.firstNode();
    if (!device)
        return nullptr;
    // The file has no place for the read marker: it goes back onto the cells that carried it.
    std::size_t i = 0;
    for (CTreeNode *t = device->firstChild(); t && i < pages.Tables.size(); t = t->nextSibling(), ++i) {
        const std::vector<TConfigFileParameter> &parameters = pages.Tables[i].Parameters;
        std::size_t r = 0;
        for (CTreeNode *p = t->firstChild(); p && r < parameters.size(); p = p->nextSibling(), ++r) {
            const std::vector<bool> &marked = parameters[r].Marked;
            std::size_t c = 0;
            for (CTreeNode *v = p->firstChild(); v && c < marked.size(); v = v->nextSibling(), ++c)
                if (marked[c])
                    v->imageIndex = DefaultMarker;
        }
    }
    return device;
}

namespace {
const CTreeNode *ChildNamed(const CTreeNode &node, const QString &text)
{
    for (const CTreeNode *c = node.firstChild(); c; c = c->nextSibling())
        if (c->text == text)
            return c;
    return nullptr;
}

// A key of the read-back that the page leaves out: its first value (the key number) did not come.
bool KeyUnanswered(const CTreeNode &keyNode)
{
    const CTreeNode *number = keyNode.firstChild();
    return !number || !number->hasChildren();
}
} // namespace

bool KeepWrittenValues(CTreeNode &readDevice, const CTreeNode &writtenDevice)
{
    bool unconfirmed = false;
    for (CTreeNode *t = readDevice.firstChild(); t; t = t->nextSibling()) {
        const CTable *table = t->table();
        const CTreeNode *written = ChildNamed(writtenDevice, t->text);
        if (!table || !written)
            continue;
        if (table->type == QLatin1String("table")) {
            for (CTreeNode *p = t->firstChild(); p; p = p->nextSibling()) {
                const CTreeNode *wp = ChildNamed(*written, p->text);
                // A value whose mask selects no byte travels in no packet: no answer can confirm it.
                const bool carried = p->parameter() && (ParseDecimalInt(p->parameter()->address).value_or(0) & 0xFF) != 0;
                int c = 0;
                for (CTreeNode *v = p->firstChild(); v && wp; v = v->nextSibling(), ++c) {
                    const CTreeNode *wv = wp->child(c);
                    CItem *item = v->item();
                    const CItem *value = wv ? wv->item() : nullptr;
                    if (v->imageIndex != DefaultMarker || !item || !value)
                        continue;
                    item->value = value->value; // the marker stays: the device did not confirm it
                    unconfirmed = unconfirmed || carried;
                }
            }
        } else if (table->type == QLatin1String("key") && t->childCount() == written->childCount()) {
            // The read asks for the keys in the order the page holds them, which is the copy's order.
            for (int i = 0; i < t->childCount(); ++i) {
                const CTreeNode *wk = written->child(i);
                if (!KeyUnanswered(*t->child(i)) || !wk->key())
                    continue;
                t->insertChild(i, wk->text, std::make_shared<CKey>(*wk->key()))->setImage(wk->imageIndex);
                t->takeChild(i + 1);
                unconfirmed = true;
            }
        }
    }
    return unconfirmed;
}

void RestorePages(TMainForm &form, CTreeNode &device, const TConfigFileDevice &pages)
{
    CTree values;
    form.BuildDevicePages(&device, PagesValuesTree(pages, values), true);
    form.actSaveFile->setEnabled(true);
}

int RequestConfiguration(TMainForm &form, CTreeNode &device, std::optional<TConfigFileDevice> pagesBefore)
{
    // The program is closing: nothing more goes out.
    if (ExchangesCancelled())
        return 0;
    const CDevice *d = device.device();
    if (!d || !IsRequestAddress(d->device_addr)) {
        ShowMessageDlg(BadRequestAddressText, mtError, mbOK);
        return kRequestAddressRefused;
    }
    const int address = d->device_addr;
    const std::shared_ptr<CTreeNode> node = device.shared();
    LinkPump &pump = CurrentLinkPump();

    // A collection still running belongs to the pages about to go.
    form.Timer1.SetInterval(0);
    form.CurrentDevice.reset();
    form.FreePages();
    form.PageIds.clear();
    form.SelectedColumn = form.SelectedRow = -1;
    UsbCan.RxPackets.clear();
    BeginReadExchange(form, TReadInProgress{node, address, std::move(pagesBefore)});

    pump.Status(RequestingText, 1);
    if (!StillReading(node))
        return 0;
    int code = 0;
    CPacketPacer pacer(pump, Usb_TimerSleep);
    for (const QString &text : ConfigurationRequestTexts(address, KeyListTexts(form.KeyListView->items()))) {
        pacer.Pause();
        const int64_t sentAt = pump.Moment();
        code = UsbCan.SendPacket(text);
        if (code != 0)
            break; // the device would miss a table: its defaults must not pass for its answers
        pacer.Sent(sentAt);
    }
    pacer.Pause();
    form.CurrentDevice = node;
    if (code != 0) {
        std::optional<TConfigFileDevice> pages = std::move(g_read->PagesBefore);
        pump.Status(RequestFailedText, 1);
        pump.Status(ConnectFailedText + IntToText(code), 2);
        EndReadExchange();
        UsbCan.Disconnect();
        // A read-back that could not even ask leaves the pages as they were before it.
        if (pages && !ExchangesCancelled()) {
            RestorePages(form, device, *pages);
            ShowMessageDlg(WriteNotConfirmedText, mtError, mbOK);
        }
        return code;
    }

    pump.Status(AwaitingAnswerText, 1);
    if (!StillReading(node))
        return 0;
    UsbCan.RxPackets.clear();
    PacketPattern first;
    first.fill(-1);
    first[0] = kConfigAnswerCommand;
    first[2] = address - 1;
    WaitForPacket(first, 20000);
    if (!StillReading(node))
        return 0;

    UsbCan.RxCountdown = Usb_TotalPaket;
    // Interval 0 would leave the timer inert and the read without its pages.
    form.Timer1.SetEnabled(true);
    form.Timer1.SetInterval(std::max(Usb_TimerSleep, 1));
    return 0;
}

bool CollectionTick(CUsbCan &link, LinkPump &pump)
{
    link.ReceivePackets(link.RxPackets);
    pump.Status(PacketsReceivedText + IntToText(int(link.RxPackets.size())), 1);
    --link.RxCountdown;
    return link.RxCountdown <= 0;
}

void CopyTreeNodes(const CTree &from, CTree &to)
{
    to.beginUpdate();
    to.clear();
    CopyChildren(*from.hiddenRoot(), to, nullptr);
    to.endUpdate();
}

void CopyKeyListFromPages(TMainForm &form)
{
    for (int tag : form.PageIds) {
        const auto *keys = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(tag), form.PageControl, 3);
        if (keys && keys != form.KeyListView)
            CopyTreeNodes(keys->items(), form.KeyListView->items());
    }
}

bool ReadsShownDevice(const CTreeNode *shown, const CTreeNode &model, int address)
{
    const CDevice *open = shown ? shown->device() : nullptr;
    const CDevice *read = model.device();
    return open && read && open->name == read->name && open->version == read->version &&
           open->device_addr == address;
}

void ChooseReadKeyList(TMainForm &form, const CTreeNode *shown, const CTreeNode &model, int address)
{
    if (ReadsShownDevice(shown, model, address))
        CopyKeyListFromPages(form);
    else
        form.KeyListView->items().clear();
}
