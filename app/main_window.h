// The main window: editor, tool bar, error list, status bar and splitter.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/error_list_model.h"
#include "app/finding_marks.h"
#include "documents/document_source.h"
#include "engine/finding.h"
#include "learning/auto_learning_window.h"

class QAction;
class QGroupBox;
class QLabel;
class QStatusBar;
class QTableView;
class QTextEdit;
class QToolBar;

namespace kjf {

namespace main_window_texts {
struct ActionItem;
}

class ProofEditor;
class SplitterBar;
class StatusText;
class rg_ChaCuoYinQing;
class rg_SheZhiChuangKou1;

// The tool-bar commands, in button order.
enum class Command {
    Import,
    Check,
    ClearMarks,
    ExportErrors,
    ExportRevised,
    DictionarySettings,
    About,
    Exit
};

// The main window: lays out its parts and carries out its commands; the findings' marks and
// rows are its FindingMarks'. Every member runs on the GUI thread.
class rg_WoDeZhuChuangKou : public QWidget {
    Q_OBJECT
  public:
    // Shows "欢迎使用！" through status at once. status outlives the window; the window's
    // commands and the settings window it opens report to it.
    explicit rg_WoDeZhuChuangKou(StatusText& status, QWidget* parent = nullptr);
    ~rg_WoDeZhuChuangKou() override;

    // The parts are named "toolBar", "editor", "splitter", "errorGroup", "errorListView",
    // "statusBar", "statusLabel" (提示：) and "statusMessage".
    QTextEdit* editor() const { return m_editor; }
    QAction* commandAction(Command command) const;
    ErrorListModel* errorList() const { return m_list; }
    FindingMarks& marks() const { return *m_marks; }
    // The settings window: one instance, created on first use and reused at every opening.
    rg_SheZhiChuangKou1& settingsWindow();
    // The auto-learning window: one instance, created on first use with the attached engine.
    rg_ZiDongXueXiChuangKou1& autoLearningWindow();

    // The engine whose tables and text source auto-learning uses, the folders whose automatic and
    // user dictionaries the commands add to, and what auto-learning analyses (the last run's
    // listed findings). Set once, before the first command.
    void attachEngine(rg_ChaCuoYinQing& engine, Locations locations,
                      rg_ZiDongXueXiChuangKou1::InputSource analysisInput);

    // The tool-bar command "导入": a file dialog, then importDocument with the chosen file.
    void importCommand();
    // Reads the file (readDocument) and pastes its text over the editor's whole text as the
    // editor pastes from the clipboard, then says "导入成功！"; what the user had copied stays on
    // the clipboard. Remembers the file as the document's source (documentSource). A file that
    // cannot be read as text gives its message and changes nothing. Findings, marks and the list
    // stay.
    void importDocument(const QString& path);
    // What the last successful import read: the file (its absolute path), its kind, encoding and
    // line ends and the text exactly as imported; nullopt before the first import.
    const std::optional<DocumentSource>& documentSource() const { return m_source; }
    // The tool-bar command "导出错误": "请先校对后再导出！" for an empty list, else exportFindings.
    void exportErrorsCommand();
    // Asks for a workbook file and writes the list's first four columns to it; on success says so
    // in the status bar and a message, then shows the file in the file manager. A failed write
    // gives a message and nothing else.
    void exportFindings();
    // The tool-bar command "导出修订稿" (Ctrl+S): asks where to save, offering NAME-校对.docx or
    // NAME-校对.txt beside the source (the dialog confirms replacing an existing file), and hands
    // the work back with exportRevised: for a .docx every difference between the imported text and
    // the editor's text as a tracked change and every row of the list as a comment; for text the
    // editor's text in the source's encoding and line ends. Text that was never imported is saved
    // as UTF-8 text. A source changed or gone since the import, or a file that cannot be written,
    // gives a message with the reason and writes nothing; success is said in the status bar and a
    // message.
    void exportRevisedCommand();
    // The editor's context menu at globalPos moved 3 pixels right and down.
    void showEditorMenu(const QPoint& globalPos);
    // Appends the editor's selected text as an entry (its line breaks as CR LF) to the automatic
    // dictionary and reloads the dictionaries; "加入成功！" in the status bar when written,
    // otherwise a message. A selection of nothing but blanks and line breaks writes nothing and
    // says so.
    void addSelectionToAutoDictionary();
    // Opens the auto-learning window (nothing happens while it is open).
    void openAutoLearningWindow();

    // Marks the findings and lists them (FindingMarks::markFindings), and shows the last row.
    void markFindings(std::span<const rg_BiaoJiCiYuLei> findings);
    // Takes every mark and row away and puts the caret at 0 (FindingMarks::clearMarks).
    void clearMarks();
    // Selects the first selected row's 位置 .. 位置 + 长度 in the editor (0 .. 0 when no row is
    // selected) and focuses the editor.
    void jumpToFinding();
    // Selects position .. position + length (clipped to the text) in the editor.
    void selectRange(std::int32_t position, std::int32_t length);

    // Acting on the selected rows of "错误列表" (its context menu "errorListMenu" and keys).
    // "采用建议" (Return): each row's characters replaced by its suggestion, keeping their
    // format, in one undoable edit (FindingMarks::applySuggestions).
    void applySuggestions();
    // "忽略" (Delete): the rows' marks cleared and the rows removed; the text stays.
    void ignoreFindings();
    // "全部忽略此词": as "忽略" for every row with the first selected row's word.
    void ignoreWord();
    // "加入用户正确词库": the first selected suspected or contextual word appended to the first
    // enabled user correct dictionary (see addToUserCorrectDictionary), every row of it ignored
    // and the dictionaries reloaded; a message when it cannot be written, and the rows stay.
    void addToUserCorrectDictionary();
    // "复制": the selected rows' 序号, 错误, 建议 and 类型, tab-separated, a line each.
    void copyRows();
    // F8 / Shift+F8: selects the nearest finding after (before) the editor's selection in the
    // editor and the list, from the other end of the text when there is none.
    void moveToFinding(bool forward);

    // Loads the dictionaries again in the background after the program wrote to one, so that
    // the next run uses them (a run started meanwhile waits for the load).
    void reloadDictionaries();

    void layoutMainWindow();
    void layoutPanes();
    // Asks "确定退出?"; true for OK.
    bool confirmExit();

  signals:
    void commandTriggered(kjf::Command command);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildToolBar();
    void buildErrorList();
    void buildFindingActions();
    // An action with the item's caption and keys, on this window or on the list by its scope.
    QAction* makeAction(const main_window_texts::ActionItem& item);
    void showListMenu(const QPoint& globalPos);
    std::vector<int> selectedRows() const;
    void updateFindingActions();
    void updateCounts();
    int ignoreAll(const QString& word);

    StatusText& m_status;
    QToolBar* m_toolBar = nullptr;
    std::vector<QAction*> m_actions;
    QTextEdit* m_editor = nullptr;
    ProofEditor* m_proofEditor = nullptr;  // the same widget as m_editor
    SplitterBar* m_splitter = nullptr;
    QGroupBox* m_group = nullptr;
    QTableView* m_listView = nullptr;
    ErrorListModel* m_list = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusMessage = nullptr;
    FindingMarks* m_marks = nullptr;  // a child of this window
    QLabel* m_counts = nullptr;
    QAction* m_applyAction = nullptr;
    QAction* m_ignoreAction = nullptr;
    QAction* m_ignoreWordAction = nullptr;
    QAction* m_addToCorrectAction = nullptr;
    QAction* m_copyRowsAction = nullptr;
    QAction* m_nextAction = nullptr;
    QAction* m_previousAction = nullptr;
    rg_SheZhiChuangKou1* m_settingsWindow = nullptr;           // a child of this window
    rg_ZiDongXueXiChuangKou1* m_autoLearningWindow = nullptr;  // a child of this window
    rg_ChaCuoYinQing* m_engine = nullptr;
    Locations m_locations;
    rg_ZiDongXueXiChuangKou1::InputSource m_analysisInput;
    bool m_placed = false;
    std::optional<DocumentSource> m_source;
};

}  // namespace kjf
