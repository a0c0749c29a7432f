#include "app/finding_marks.h"

#include <QAbstractUndoItem>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <algorithm>

namespace kjf {

// The suggestions one applySuggestions accepted, for undoing and redoing it.
struct FindingMarks::Accepted {
    std::vector<TextChange> steps;   // in the order made: later positions first
    std::vector<ErrorListRow> rows;  // the accepted rows as they were
    std::uint64_t generation = 0;
};

// Part of the accepting edit block in the document's undo history. The document calls undo()
// after it has put the words back and redo() before it replaces them again, and reports the
// characters' change (all steps merged into one) only afterwards; so both only say what that
// change will be.
class FindingMarks::AcceptedUndo : public QAbstractUndoItem {
  public:
    AcceptedUndo(FindingMarks& marks, std::shared_ptr<const Accepted> accepted)
        : m_marks(&marks), m_accepted(std::move(accepted)) {}
    void undo() override {
        if (m_marks) {
            m_marks->expectUndo(*m_accepted);
        }
    }
    void redo() override {
        if (m_marks) {
            m_marks->expectRedo(*m_accepted);
        }
    }

  private:
    QPointer<FindingMarks> m_marks;
    std::shared_ptr<const Accepted> m_accepted;
};

FindingMarks::FindingMarks(QTextEdit& editor, ErrorListModel& list, QObject* parent)
    : QObject(parent), m_editor(editor), m_list(list) {
    m_shownText = m_editor.document()->toRawText();
    connect(m_editor.document(), &QTextDocument::contentsChange, this, &FindingMarks::followEdit);
}

FindingMarks::~FindingMarks() = default;

std::int32_t FindingMarks::textLength() const {
    return std::max(0, m_editor.document()->characterCount() - 1);
}

// ---------------------------------------------------------------------------------------------
// Marking and clearing

void FindingMarks::markFindings(std::span<const rg_BiaoJiCiYuLei> findings) {
    const std::int32_t end = textLength();
    std::vector<Mark> marks;
    std::vector<ErrorListRow> rows;
    rows.reserve(findings.size());
    for (const auto& f : findings) {
        if (!isStoredFinding(f.type)) {
            continue;
        }
        std::optional<std::int32_t> position = f.position;
        for (const TextChange& change : m_editsSinceSnapshot) {
            position = positionAfter(*position, f.length, change);
            if (!position) {
                break;  // its characters were edited: what was found is no longer there
            }
        }
        if (!position) {
            continue;
        }
        // Positions outside the text mark what lies inside it, if anything.
        const std::int64_t from = std::clamp<std::int64_t>(*position, 0, end);
        const std::int64_t to =
            std::clamp<std::int64_t>(std::int64_t{*position} + f.length, 0, end);
        if (to > from) {
            marks.push_back({static_cast<std::int32_t>(from), static_cast<std::int32_t>(to - from),
                             f.type, m_nextOrder++});
        }
        if (!f.word.empty()) {
            rows.push_back({f.type, f.source, *position, f.length,
                            QString::fromStdU16String(f.word),
                            f.type == FindingType::Error ? QString::fromStdU16String(f.suggestion)
                                                         : QString()});
        }
    }
    addMarks(std::move(marks));
    m_list.appendRows(std::move(rows));
}

void FindingMarks::addMarks(std::vector<Mark> marks) {
    if (marks.empty()) {
        return;
    }
    const auto byPosition = [](const Mark& a, const Mark& b) { return a.position < b.position; };
    // A forward scan reports in position order, a reverse scan backwards.
    std::stable_sort(marks.begin(), marks.end(), byPosition);
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    ranges.reserve(marks.size());
    for (const Mark& mark : marks) {
        ranges.emplace_back(mark.position, mark.position + mark.length);
        m_longestMark = std::max(m_longestMark, mark.length);
    }
    const auto middle = m_marks.insert(m_marks.end(), marks.begin(), marks.end());
    if (middle != m_marks.begin() && std::prev(middle)->position > marks.front().position) {
        std::inplace_merge(m_marks.begin(), middle, m_marks.end(), byPosition);
    }
    redraw(std::move(ranges));
}

void FindingMarks::clearMarks() {
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    ranges.reserve(m_marks.size());
    for (const Mark& mark : m_marks) {
        ranges.emplace_back(mark.position, mark.position + mark.length);
    }
    m_marks.clear();
    m_marks.shrink_to_fit();
    m_longestMark = 0;
    ++m_generation;
    redraw(std::move(ranges));
    m_editor.setTextCursor(QTextCursor(m_editor.document()));
    m_list.clear();
}

void FindingMarks::ignoreRows(std::vector<int> rows) {
    if (rows.empty()) {
        return;
    }
    // The rows' ranges in position order, so that each mark is looked up once.
    std::vector<std::pair<std::int64_t, std::int64_t>> ignored;
    for (const int row : rows) {
        if (row >= 0 && static_cast<std::size_t>(row) < m_list.rows().size()) {
            const ErrorListRow& r = m_list.rows()[static_cast<std::size_t>(row)];
            ignored.emplace_back(r.position, std::int64_t{r.position} + r.length);
        }
    }
    std::sort(ignored.begin(), ignored.end());
    std::int64_t longest = 0;
    for (const auto& [from, to] : ignored) {
        longest = std::max(longest, to - from);
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> redrawn;
    std::erase_if(m_marks, [&](const Mark& mark) {
        // The ranges that start at or before the mark, nearest first; overlapping rows may make
        // an earlier one reach further than a later one.
        auto it = std::upper_bound(ignored.begin(), ignored.end(),
                                   std::pair<std::int64_t, std::int64_t>{mark.position, INT64_MAX});
        while (it != ignored.begin()) {
            --it;
            if (it->first + longest <= mark.position) {
                break;  // neither this range nor an earlier one reaches the mark
            }
            if (mark.position < it->second) {
                redrawn.emplace_back(mark.position, mark.position + mark.length);
                return true;
            }
        }
        return false;
    });
    redraw(std::move(redrawn));
    m_list.removeRowIndices(std::move(rows));
}

// ---------------------------------------------------------------------------------------------
// Following the text

void FindingMarks::replaceKeepingMarks(const std::function<void()>& replace) {
    {
        const QScopedValueRollback following(m_following, false);
        replace();
    }
    m_shownText = m_editor.document()->toRawText();
    // The blocks are new: none of them draws a mark yet.
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    for (const Mark& mark : m_marks) {
        ranges.emplace_back(mark.position, mark.position + mark.length);
    }
    redraw(std::move(ranges));
}

void FindingMarks::beginSnapshot() {
    m_keepingSnapshot = true;
    m_editsSinceSnapshot.clear();
}

void FindingMarks::endSnapshot() {
    m_keepingSnapshot = false;
    m_editsSinceSnapshot.clear();
    m_editsSinceSnapshot.shrink_to_fit();
}

void FindingMarks::followEdit(int position, int removed, int added) {
    if (!m_following) {
        // What a run still to report found in the replaced text is no longer there.
        if (m_keepingSnapshot) {
            m_editsSinceSnapshot.push_back({position, removed, added});
        }
        return;
    }
    const QString now = m_editor.document()->toRawText();
    // The blocks of the change, and those of the marks it took away.
    const auto redrawChanged = [this, position, added] {
        auto ranges = std::exchange(m_redrawAfterFollowing, {});
        ranges.emplace_back(position, position + added);
        redraw(std::move(ranges));
    };
    if (std::optional<Expected> expected = std::exchange(m_expected, std::nullopt)) {
        std::int64_t growth = 0;
        for (const TextChange& step : expected->steps) {
            growth += std::int64_t{step.added} - step.removed;
        }
        // Only a change of the expected size is the expected one; any other is followed as it
        // is reported.
        if (growth == std::int64_t{added} - removed) {
            m_shownText = now;
            for (const TextChange& step : expected->steps) {
                follow(step);
            }
            restoreRows(std::move(expected->restore));
            redrawChanged();
            return;
        }
    }
    // A change of format alone reports its characters as removed and added again.
    if (removed == added &&
        QStringView(m_shownText).mid(position, removed) == QStringView(now).mid(position, added)) {
        return;
    }
    m_shownText = now;
    follow({position, removed, added});
    redrawChanged();
}

void FindingMarks::follow(const TextChange& change) {
    m_list.followEdit(change);
    // Positions only move by the same amount or not at all, so the marks stay in order.
    std::erase_if(m_marks, [&](Mark& mark) {
        const auto after = positionAfter(mark.position, mark.length, change);
        if (!after) {
            m_redrawAfterFollowing.emplace_back(mark.position, change.position + change.added);
            return true;
        }
        mark.position = *after;
        return false;
    });
    if (m_keepingSnapshot) {
        m_editsSinceSnapshot.push_back(change);
    }
}

// ---------------------------------------------------------------------------------------------
// Accepting suggestions, and undoing and redoing it

int FindingMarks::applySuggestions(const std::vector<int>& rows) {
    std::vector<ErrorListRow> candidates;
    for (const int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= m_list.rows().size()) {
            continue;
        }
        const ErrorListRow& r = m_list.rows()[static_cast<std::size_t>(row)];
        if (r.type == FindingType::Error && !r.suggestion.isEmpty() && r.suggestion != r.word &&
            r.position >= 0 && r.length > 0) {
            candidates.push_back(r);
        }
    }
    // Later positions first, so that each change leaves the positions of the others as they are.
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const ErrorListRow& a, const ErrorListRow& b) { return a.position > b.position; });
    QTextDocument* document = m_editor.document();
    QTextCursor cursor(document);
    auto accepted = std::make_shared<Accepted>();
    accepted->generation = m_generation;
    std::int64_t limit = textLength();
    for (ErrorListRow& r : candidates) {
        if (std::int64_t{r.position} + r.length > limit) {
            continue;  // overlaps a change made just now
        }
        cursor.setPosition(r.position);
        cursor.setPosition(r.position + r.length, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != r.word) {
            continue;  // the text is no longer what was found
        }
        accepted->steps.push_back(
            {r.position, r.length, static_cast<std::int32_t>(r.suggestion.size())});
        accepted->rows.push_back(std::move(r));
        limit = accepted->rows.back().position;
    }
    if (accepted->rows.empty()) {
        return 0;
    }
    m_expected = Expected{accepted->steps, {}};
    cursor.beginEditBlock();
    // First in the block: undone after the words are back, redone before they are replaced.
    document->appendUndoItem(new AcceptedUndo(*this, accepted));
    for (const ErrorListRow& r : accepted->rows) {
        cursor.setPosition(r.position);
        cursor.setPosition(r.position + r.length, QTextCursor::KeepAnchor);
        cursor.insertText(r.suggestion, cursor.charFormat());
    }
    cursor.endEditBlock();
    m_expected.reset();
    return static_cast<int>(accepted->rows.size());
}

void FindingMarks::expectUndo(const Accepted& accepted) {
    Expected expected;
    // The words come back in the reverse order of their replacement.
    for (auto step = accepted.steps.rbegin(); step != accepted.steps.rend(); ++step) {
        expected.steps.push_back({step->position, step->added, step->removed});
    }
    if (accepted.generation == m_generation) {
        expected.restore = accepted.rows;
    }
    m_expected = std::move(expected);
}

void FindingMarks::expectRedo(const Accepted& accepted) {
    m_expected = Expected{accepted.steps, {}};
}

void FindingMarks::restoreRows(std::vector<ErrorListRow> rows) {
    std::vector<Mark> marks;
    const std::int32_t end = textLength();
    for (const ErrorListRow& r : rows) {
        const std::int32_t to = std::min(end, r.position + r.length);
        if (r.position >= 0 && to > r.position) {
            marks.push_back({r.position, to - r.position, r.type, m_nextOrder++});
        }
    }
    addMarks(std::move(marks));
    m_list.insertRowsInOrder(std::move(rows));
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool FindingMarks::drawBlock(const QTextBlock& block) const {
    const std::int64_t start = block.position();
    const std::int64_t end = start + block.length();
    const auto first = std::lower_bound(
        m_marks.begin(), m_marks.end(), start - m_longestMark,
        [](const Mark& mark, std::int64_t position) { return mark.position < position; });
    std::vector<std::pair<std::uint64_t, QTextLayout::FormatRange>> drawn;
    for (auto mark = first; mark != m_marks.end() && mark->position < end; ++mark) {
        const std::int64_t from = std::max<std::int64_t>(mark->position, start);
        const std::int64_t to =
            std::min<std::int64_t>(std::int64_t{mark->position} + mark->length, end);
        if (from < to) {
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(from - start);
            range.length = static_cast<int>(to - from);
            range.format.setForeground(mark->type == FindingType::Error ? kErrorColor
                                                                        : kSuspectedColor);
            drawn.emplace_back(mark->order, std::move(range));
        }
    }
    // The layout merges overlapping ranges in list order: the later mark wins.
    std::stable_sort(drawn.begin(), drawn.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QTextLayout::FormatRange> formats;
    formats.reserve(static_cast<qsizetype>(drawn.size()));
    for (auto& [order, range] : drawn) {
        formats.append(std::move(range));
    }
    QTextLayout* layout = block.layout();
    if (layout->formats() == formats) {
        return false;
    }
    layout->setFormats(formats);
    return true;
}

void FindingMarks::redraw(std::vector<std::pair<std::int32_t, std::int32_t>> ranges) {
    if (ranges.empty()) {
        return;
    }
    std::sort(ranges.begin(), ranges.end());
    QTextDocument* document = m_editor.document();
    // One layout pass from the first block that changed to the last: each pass costs as much as
    // the blocks after it, so one per block would cost the document's length many times over.
    int dirtyFrom = -1;
    int dirtyTo = -1;
    int lastBlock = -1;
    for (const auto& [from, to] : ranges) {
        QTextBlock block = document->findBlock(std::max(0, from));
        if (!block.isValid()) {
            continue;  // beyond the text
        }
        if (block.blockNumber() <= lastBlock) {
            block = document->findBlockByNumber(lastBlock + 1);
        }
        for (; block.isValid() && block.position() <= to; block = block.next()) {
            lastBlock = block.blockNumber();
            if (drawBlock(block)) {
                if (dirtyFrom < 0) {
                    dirtyFrom = block.position();
                }
                dirtyTo = block.position() + block.length();
            }
        }
    }
    if (dirtyFrom >= 0) {
        document->markContentsDirty(dirtyFrom, dirtyTo - dirtyFrom);
    }
}

}  // namespace kjf
