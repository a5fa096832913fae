#pragma once
// The CAN monitor's log as a grid of text cells: row 0 the header, rows 1 to RowCount()-2 the
// logged packets (column 0 holds the row's number), the last row the empty one the next packet
// goes into. Rows are kept compactly (one small record each, their texts in one pool), so a log of
// millions of packets stays cheap; cells the engineer edits are kept beside them.
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

class CPacketRowStore {
public:
    static constexpr int ColCount = 5;

    // "Номер", "Время", "ID", "Data", "Действие"
    static const std::array<QString, ColCount> &HeaderTexts();

    // Rows of the grid: header, packets, the empty last row.
    int RowCount() const { return int(rows_.size()) + 2; }
    int PacketCount() const { return int(rows_.size()); }

    // Fills the empty last row (overwriting what was typed there) and adds a new empty one.
    // Returns the row number given to the packet.
    int Append(const QString &time, const QString &id, const QString &data, const QString &action);
    // The same for a loss row: LostPacketsText in the identifier's place, no data, no action.
    int AppendLoss(const QString &time, uint32_t lost);
    bool IsLossRow(int row) const;
    // Grid rows of the loss rows, in order.
    const std::vector<int> &LossRows() const { return lossRows_; }

    // Text of a cell; empty outside the grid.
    QString Cell(int row, int col) const;
    // The header row and the number column are fixed; every other cell takes the engineer's text.
    static bool IsEditable(int row, int col) { return row >= 1 && col >= 1 && col < ColCount; }
    bool SetCell(int row, int col, const QString &text);

    // Empties the log: the header and one empty row are left.
    void Clear();

    // One line of the saved file: every cell followed by "|".
    QString Line(int row) const;
    // Every row from the header to the empty last row.
    QStringList Lines() const;

    // Bytes the store holds (capacities included), for measuring.
    std::size_t MemoryBytes() const;

private:
    enum Action : uint8_t { Sent, Failed, Received, NoAction, OtherAction, Lost };
    struct Row {
        uint64_t offset;     // of the row's texts in pool_: block * PoolBlock + position
        uint8_t length[3];   // time, id, data
        uint8_t action;      // Action
        uint8_t overridden;  // bit c: cell c is in overrides_
    };

    static uint64_t Key(int row, int col) { return (uint64_t(row) << 3) | uint64_t(col); }
    QString PoolText(const Row &r, int field) const;
    const QString *Override(int row, int col) const;

    // Rows and their Latin-1 texts in blocks that never move: a log of millions of rows grows
    // without copying what it holds (a doubling vector or string would copy megabytes in one go).
    static constexpr std::size_t PoolBlock = std::size_t(1) << 16;
    std::deque<Row> rows_;
    std::vector<std::unique_ptr<char[]>> pool_;
    std::size_t poolUsed_ = PoolBlock;                  // bytes used in the last block
    std::unordered_map<uint64_t, QString> overrides_;   // edited cells and texts the pool cannot hold
    std::vector<int> lossRows_;
};

// Writes the grid as a text file: one line per row, header and empty last row included, every
// cell followed by "|"; Windows-1251, CR LF after every line. Throws WholeFileError on failure.
void SaveGridToFile(const QString &name, const CPacketRowStore &grid);
