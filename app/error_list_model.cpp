#include "app/error_list_model.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "app/main_window_texts.h"
#include "text/visible_text.h"

namespace kjf {

int ErrorListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ErrorListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString ErrorListModel::cellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const ErrorListRow& r = m_rows[static_cast<std::size_t>(row)];
    switch (column) {
        case Number:
            return QString::number(row + 1);
        case Word:
            return r.word;
        case Suggestion:
            return r.type == FindingType::Error ? r.suggestion : QString();
        case Type:
            return QString::fromStdU16String(std::u16string(findingTypeText(r.type, r.source)));
        case Position:
            return QString::number(r.position);
        case Length:
            return QString::number(r.length);
        default:
            return {};
    }
}

QVariant ErrorListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    if (index.column() == Word) {
        // A zero-width or control character would leave the cell blank; the row keeps the word
        // as found for jumps and the export.
        const auto word = cellText(index.row(), Word);
        return QString::fromStdU16String(visibleText(word.toStdU16String()));
    }
    return cellText(index.row(), index.column());
}

QVariant ErrorListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf16(main_window_texts::kListHeaders[section]);
}

void ErrorListModel::appendRows(std::vector<ErrorListRow> rows) {
    if (rows.empty()) {
        return;
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
    if (m_rows.size() >= 2) {
        m_backwards = m_rows.front().position > m_rows.back().position;
    }
}

void ErrorListModel::insertRowsInOrder(std::vector<ErrorListRow> rows) {
    if (rows.empty()) {
        return;
    }
    const auto before = [backwards = m_backwards](const ErrorListRow& a, const ErrorListRow& b) {
        return backwards ? a.position > b.position : a.position < b.position;
    };
    std::stable_sort(rows.begin(), rows.end(), before);
    // A few rows are inserted one by one, so that a view keeps its selection; many at once are
    // merged in one pass instead of one vector insertion each.
    constexpr std::size_t kOneByOne = 64;
    if (rows.size() <= kOneByOne) {
        for (auto& row : rows) {
            const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), row, before);
            const int index = static_cast<int>(at - m_rows.begin());
            beginInsertRows({}, index, index);
            m_rows.insert(at, std::move(row));
            endInsertRows();
        }
    } else {
        beginResetModel();
        std::vector<ErrorListRow> merged;
        merged.reserve(m_rows.size() + rows.size());
        std::merge(std::make_move_iterator(m_rows.begin()), std::make_move_iterator(m_rows.end()),
                   std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()),
                   std::back_inserter(merged), before);
        m_rows = std::move(merged);
        endResetModel();
    }
    // The numbers of the rows below the inserted ones have changed.
    emit dataChanged(index(0, Number), index(static_cast<int>(m_rows.size()) - 1, Number));
}

void ErrorListModel::clear() {
    m_backwards = false;
    if (m_rows.empty()) {
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ErrorListModel::removeRowIndices(std::vector<int> indices) {
    std::sort(indices.begin(), indices.end(), std::greater<>());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    // Contiguous runs, from the last one back, so that the indices of the rest stay valid.
    for (std::size_t i = 0; i < indices.size();) {
        const int last = indices[i];
        int first = last;
        while (++i < indices.size() && indices[i] == first - 1) {
            first = indices[i];
        }
        if (first < 0 || last >= static_cast<int>(m_rows.size())) {
            continue;
        }
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
    // The numbers of the rows below the removed ones have changed.
    if (!indices.empty() && !m_rows.empty()) {
        emit dataChanged(index(0, Number), index(static_cast<int>(m_rows.size()) - 1, Number));
    }
}

void ErrorListModel::followEdit(const TextChange& change) {
    std::vector<int> touched;
    bool moved = false;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        ErrorListRow& r = m_rows[i];
        const auto after = positionAfter(r.position, r.length, change);
        if (!after) {
            touched.push_back(static_cast<int>(i));
        } else if (*after != r.position) {
            r.position = *after;
            moved = true;
        }
    }
    if (moved) {
        emit dataChanged(index(0, Position), index(static_cast<int>(m_rows.size()) - 1, Position));
    }
    removeRowIndices(std::move(touched));
}

std::pair<int, int> ErrorListModel::countByType() const {
    int errors = 0;
    int suspected = 0;
    for (const auto& r : m_rows) {
        (r.type == FindingType::Error ? errors : suspected) += 1;
    }
    return {errors, suspected};
}

}  // namespace kjf
