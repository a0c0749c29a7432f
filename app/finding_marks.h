// The findings' marks in the editor and their rows in the error list, kept in step with the text.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "app/error_list_model.h"
#include "engine/finding.h"

class QTextBlock;
class QTextEdit;

namespace kjf {

// The marks of the findings in the editor and their rows in "错误列表".
//
// A mark is drawn over its characters (red for an error, pink for a suspected error) through the
// additional formats of the blocks' layouts, as a syntax highlighter draws: the document's own
// formats and its undo history never hold a mark. Clearing the marks therefore leaves every
// character's format exactly as it was, Ctrl+Z undoes only edits of the text, and copied or
// exported text carries no mark colour.
//
// Marks and rows follow the document's edits, undo and redo included: those after an edit move
// with it, those whose characters it changed go, and a change of format alone changes nothing.
// Accepting suggestions is one undoable edit; undoing it brings the words back with their marks
// and rows (unless the marks were cleared since), and redoing it takes them away again.
//
// GUI thread only.
class FindingMarks : public QObject {
    Q_OBJECT
  public:
    static inline const QColor kErrorColor{255, 0, 0};
    static inline const QColor kSuspectedColor{255, 168, 255};

    // One marked range of the text; later marks are drawn over earlier ones.
    struct Mark {
        std::int32_t position = 0;
        std::int32_t length = 0;
        FindingType type = FindingType::Error;  // Error (red) or Suspected (pink)
        std::uint64_t order = 0;
    };

    // editor and list outlive this object.
    FindingMarks(QTextEdit& editor, ErrorListModel& list, QObject* parent = nullptr);
    ~FindingMarks() override;

    // Marks the characters of every Error and Suspected finding of positive length (clipped to
    // the text) and adds a row for each with a word, in one insertion; other types change
    // nothing. While a snapshot is kept (beginSnapshot), positions are of the text as it was
    // then: each finding moves with the edits made since, and one whose characters they changed
    // is neither marked nor listed.
    void markFindings(std::span<const rg_BiaoJiCiYuLei> findings);
    // Takes every mark away, empties the list, puts the caret at 0 and ends what undoing an
    // accepted suggestion would bring back.
    void clearMarks();
    // Takes away the rows at the given indices of the list and the marks that start within their
    // characters; the text stays.
    void ignoreRows(std::vector<int> rows);
    // Replaces the characters of each given row that is an Error with a suggestion by the
    // suggestion, keeping their format, in one undoable edit, later positions first. A row whose
    // characters are no longer its word, or overlap a change made just before, is skipped.
    // Returns how many were replaced.
    int applySuggestions(const std::vector<int>& rows);

    // The findings of a run about to start refer to the text as it is now: from here on the
    // edits are kept until endSnapshot, so that markFindings can move the findings with them.
    void beginSnapshot();
    void endSnapshot();

    // Runs replace (which replaces the document's characters) without following its edit: marks
    // and rows stay at their positions over the new text. Findings still to come for a snapshot
    // taken before are dropped when they lie in the replaced characters.
    void replaceKeepingMarks(const std::function<void()>& replace);

    // The marks, ordered by position.
    const std::vector<Mark>& marks() const { return m_marks; }

  private:
    struct Accepted;
    class AcceptedUndo;
    // What the next change of the document's characters is, when this object made it or undoes
    // or redoes it: its exact steps (an edit block reports them merged into one change), and the
    // rows to bring back afterwards.
    struct Expected {
        std::vector<TextChange> steps;
        std::vector<ErrorListRow> restore;
    };

    void followEdit(int position, int removed, int added);
    // One step of an edit: the rows and marks after it move, those it touched go.
    void follow(const TextChange& change);
    void expectUndo(const Accepted& accepted);
    void expectRedo(const Accepted& accepted);
    void restoreRows(std::vector<ErrorListRow> rows);
    void addMarks(std::vector<Mark> marks);
    // Draws the marks again over every block that holds a position of the ranges.
    void redraw(std::vector<std::pair<std::int32_t, std::int32_t>> ranges);
    bool drawBlock(const QTextBlock& block) const;
    std::int32_t textLength() const;

    QTextEdit& m_editor;
    ErrorListModel& m_list;
    std::vector<Mark> m_marks;
    std::uint64_t m_nextOrder = 0;
    std::int32_t m_longestMark = 0;  // no mark starts further than this before a block
    // Raised by clearMarks: an undo item of an earlier generation brings no rows back.
    std::uint64_t m_generation = 0;
    std::optional<Expected> m_expected;
    bool m_following = true;
    QString m_shownText;  // the document's characters after the last followed edit
    std::vector<std::pair<std::int32_t, std::int32_t>> m_redrawAfterFollowing;
    // The edits since beginSnapshot, while one is kept.
    bool m_keepingSnapshot = false;
    std::vector<TextChange> m_editsSinceSnapshot;
};

}  // namespace kjf
