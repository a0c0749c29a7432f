#include "app/error_list_model.h"

#include "documents/workbook_writer.h"
#include "text/visible_text.h"

namespace kjf {

namespace {

// Column headers in column order.
const char16_t* const kHeaders[] = {u"序号", u"错误", u"建议", u"类型", u"位置", u"长度"};

}  // namespace

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
    return QString::fromUtf16(kHeaders[section]);
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
}

void ErrorListModel::clear() {
    if (m_rows.empty()) {
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

}  // namespace kjf
