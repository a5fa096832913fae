#include "link/packet_rows.h"

#include "link/packet_log.h"
#include "link/text_file_save.h"

namespace {

bool FitsPool(const QString &text)
{
    if (text.size() > 255)
        return false;
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace

const std::array<QString, CPacketRowStore::ColCount> &CPacketRowStore::HeaderTexts()
{
    static const std::array<QString, ColCount> texts = {
        QStringLiteral("Номер"), QStringLiteral("Время"), QStringLiteral("ID"), QStringLiteral("Data"),
        QStringLiteral("Действие")};
    return texts;
}

int CPacketRowStore::Append(const QString &time, const QString &id, const QString &data, const QString &action)
{
    const int number = RowCount() - 1;
    Row r{};
    r.overridden = 0;
    const QString *texts[3] = {&time, &id, &data};
    bool fits[3];
    std::size_t needed = 0;
    for (int field = 0; field < 3; ++field) {
        fits[field] = FitsPool(*texts[field]);
        needed += fits[field] ? std::size_t(texts[field]->size()) : 0;
    }
    // A row's texts stay in one block.
    if (poolUsed_ + needed > PoolBlock) {
        pool_.push_back(std::make_unique<char[]>(PoolBlock));
        poolUsed_ = 0;
    }
    r.offset = uint64_t(pool_.size() - 1) * PoolBlock + poolUsed_;
    char *out = pool_.back().get() + poolUsed_;
    poolUsed_ += needed;
    for (int field = 0; field < 3; ++field) {
        const QString &text = *texts[field];
        const uint64_t key = Key(number, field + 1);
        if (fits[field]) {
            r.length[field] = uint8_t(text.size());
            for (QChar c : text)
                *out++ = char(uint8_t(c.unicode()));
            overrides_.erase(key);
        } else {
            r.length[field] = 0;
            r.overridden |= uint8_t(1u << (field + 1));
            overrides_[key] = text;
        }
    }
    if (action == PacketRowSent)
        r.action = Sent;
    else if (action == PacketRowFailed)
        r.action = Failed;
    else if (action == PacketRowReceived)
        r.action = Received;
    else if (action.isEmpty())
        r.action = NoAction;
    else
        r.action = OtherAction;
    if (r.action == OtherAction) {
        r.overridden |= uint8_t(1u << 4);
        overrides_[Key(number, 4)] = action;
    } else {
        overrides_.erase(Key(number, 4));
    }
    rows_.push_back(r);
    return number;
}

int CPacketRowStore::AppendLoss(const QString &time, uint32_t lost)
{
    // The count's digits go where the identifier's would; the text is made when the cell is read.
    const int number = Append(time, QString::number(lost), QString(), QString());
    rows_.back().action = Lost;
    lossRows_.push_back(number);
    return number;
}

bool CPacketRowStore::IsLossRow(int row) const
{
    return row >= 1 && row < RowCount() - 1 && rows_[std::size_t(row - 1)].action == Lost;
}

QString CPacketRowStore::PoolText(const Row &r, int field) const
{
    std::size_t at = std::size_t(r.offset % PoolBlock);
    for (int f = 0; f < field; ++f)
        at += r.length[f];
    return QString::fromLatin1(pool_[std::size_t(r.offset / PoolBlock)].get() + at, r.length[field]);
}

const QString *CPacketRowStore::Override(int row, int col) const
{
    if (overrides_.empty())
        return nullptr;
    const auto it = overrides_.find(Key(row, col));
    return it == overrides_.end() ? nullptr : &it->second;
}

QString CPacketRowStore::Cell(int row, int col) const
{
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount)
        return QString();
    if (row == 0)
        return HeaderTexts()[std::size_t(col)];
    if (row == RowCount() - 1) {
        const QString *typed = Override(row, col);
        return typed ? *typed : QString();
    }
    const Row &r = rows_[std::size_t(row - 1)];
    if (r.overridden & (1u << col))
        return *Override(row, col);
    switch (col) {
    case 0:
        return QString::number(row);
    case 2:
        return r.action == Lost ? LostPacketsPrefix + PoolText(r, 1) : PoolText(r, 1);
    case 4:
        switch (r.action) {
        case Sent:
            return PacketRowSent;
        case Failed:
            return PacketRowFailed;
        case Received:
            return PacketRowReceived;
        default:
            return QString();
        }
    default:
        return PoolText(r, col - 1);
    }
}

bool CPacketRowStore::SetCell(int row, int col, const QString &text)
{
    if (!IsEditable(row, col) || row >= RowCount())
        return false;
    overrides_[Key(row, col)] = text;
    if (row < RowCount() - 1)
        rows_[std::size_t(row - 1)].overridden |= uint8_t(1u << col);
    return true;
}

void CPacketRowStore::Clear()
{
    rows_ = {};
    pool_.clear();
    pool_.shrink_to_fit();
    poolUsed_ = PoolBlock;
    overrides_ = {};
    lossRows_ = {};
}

QString CPacketRowStore::Line(int row) const
{
    QString line;
    for (int col = 0; col < ColCount; ++col) {
        line += Cell(row, col);
        line += u'|';
    }
    return line;
}

QStringList CPacketRowStore::Lines() const
{
    QStringList lines;
    lines.reserve(RowCount());
    for (int row = 0; row < RowCount(); ++row)
        lines << Line(row);
    return lines;
}

std::size_t CPacketRowStore::MemoryBytes() const
{
    // The row deque keeps its rows in blocks of about 512 bytes and a map of them.
    const std::size_t rowBlocks = rows_.size() * sizeof(Row) / 512 + 1;
    std::size_t bytes = sizeof(*this) + rowBlocks * (512 + sizeof(void *)) + pool_.size() * PoolBlock +
                        pool_.capacity() * sizeof(pool_[0]) + lossRows_.capacity() * sizeof(int);
    for (const auto &entry : overrides_)
        bytes += sizeof(entry) + 2 * sizeof(void *) + std::size_t(entry.second.capacity()) * 2;
    return bytes;
}

void SaveGridToFile(const QString &name, const CPacketRowStore &grid) { WriteTextFile1251(name, grid.Lines()); }
