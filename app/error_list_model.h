// The rows of the error list: one per error or suspected error of the last run.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/finding.h"

namespace kjf {

// One edit of the text: the removed positions at position replaced by added ones.
struct TextChange {
    std::int32_t position = 0;
    std::int32_t removed = 0;
    std::int32_t added = 0;
};

// Where a finding of length positions at position is after change: moved by added - removed when
// it starts at or after the removed positions' end, where it was when it ends at or before
// change.position, and nullopt when the change touched (or split) its characters.
constexpr std::optional<std::int32_t> positionAfter(std::int32_t position, std::int32_t length,
                                                    const TextChange& change) {
    if (std::int64_t{position} >= std::int64_t{change.position} + change.removed) {
        return static_cast<std::int32_t>(std::int64_t{position} + change.added - change.removed);
    }
    if (change.position < std::int64_t{position} + length) {
        return std::nullopt;
    }
    return position;
}

// One row of the error list; the cells are formatted from it on demand.
struct ErrorListRow {
    FindingType type = FindingType::Error;  // Error or Suspected
    FindingSource source = FindingSource::Dictionary;
    std::int32_t position = 0;
    std::int32_t length = 0;
    QString word;
    QString suggestion;
};

// The error list's model: columns 序号, 错误, 建议, 类型, 位置, 长度, every cell a text
// (DisplayRole). The 错误 cell shows invisible characters as tokens such as "<U+200B>";
// cellText() gives the word as found. GUI thread only.
class ErrorListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Number, Word, Suggestion, Type, Position, Length, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Appends the rows in one insertion.
    void appendRows(std::vector<ErrorListRow> rows);
    // Inserts rows where their positions belong in the order in which rows were appended:
    // ascending, or descending after a reverse scan.
    void insertRowsInOrder(std::vector<ErrorListRow> rows);
    // Deletes every row.
    void clear();
    // Deletes the rows at the given indices (any order, duplicates allowed).
    void removeRowIndices(std::vector<int> indices);
    // Follows an edit of the text (see positionAfter): later rows move, rows whose characters
    // the edit touched go.
    void followEdit(const TextChange& change);
    // How many rows are errors (from the dictionaries or the context check) and how many are
    // suspected errors.
    std::pair<int, int> countByType() const;
    // The text of a cell as the list shows it; empty outside the rows.
    QString cellText(int row, int column) const;
    const std::vector<ErrorListRow>& rows() const { return m_rows; }

  private:
    std::vector<ErrorListRow> m_rows;
    // The rows were appended in descending positions (a reverse scan's order).
    bool m_backwards = false;
};

}  // namespace kjf
