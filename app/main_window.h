// The main window: editor, tool bar, error list, status bar and splitter.
#pragma once

#include <QTextCharFormat>
#include <QWidget>
#include <span>
#include <vector>

#include "app/error_list_model.h"
#include "engine/finding.h"

class QAction;
class QGroupBox;
class QLabel;
class QStatusBar;
class QTableView;
class QTextEdit;
class QToolBar;

namespace kjf {

class SplitterBar;
class StatusText;
class rg_SheZhiChuangKou1;

// A saved character: one marked character and its format just before it was coloured, so that
// clearing the marks can put it back.
struct rg_XuanZeOuChanGeHanZiXinXi {
    QString character;  // the text at position when it was marked; empty: nothing to restore
    std::int32_t position = 0;
    std::int32_t length = 1;  // positions covered; negative: the whole text
    QTextCharFormat format;   // the complete format, sizes in fractions of a point included
};

// The tool-bar commands, in button order.
enum class Command { Import, Check, ClearMarks, ExportErrors, DictionarySettings, About, Exit };

// The main window. Every member runs on the GUI thread.
class rg_WoDeZhuChuangKou : public QWidget {
    Q_OBJECT
  public:
    static inline const QColor kErrorColor{255, 0, 0};
    static inline const QColor kSuspectedColor{255, 168, 255};

    // Shows "欢迎使用！" through status at once.
    explicit rg_WoDeZhuChuangKou(StatusText& status, QWidget* parent = nullptr);
    ~rg_WoDeZhuChuangKou() override;

    QTextEdit* editor() const { return m_editor; }
    QToolBar* toolBar() const { return m_toolBar; }
    QAction* commandAction(Command command) const;
    QGroupBox* errorGroup() const { return m_group; }
    QTableView* errorListView() const { return m_listView; }
    ErrorListModel* errorList() const { return m_list; }
    SplitterBar* splitter() const { return m_splitter; }
    QStatusBar* statusBar() const { return m_statusBar; }
    QLabel* statusMessage() const { return m_statusMessage; }
    const std::vector<rg_XuanZeOuChanGeHanZiXinXi>& savedCharacters() const { return m_saved; }
    // The settings window: one instance, created on first use and reused at every opening.
    rg_SheZhiChuangKou1& settingsWindow();

    // Colours the finding's characters (type 1 red, type 2 pink) one by one after saving each
    // one's format, and adds its row; other types change nothing. Positions outside the text act
    // on the clipped selection.
    void markFinding(std::int32_t type, std::int32_t position, std::int32_t length,
                     const QString& word, const QString& suggestion);
    // markFinding for many findings in report order, with one document edit and one insertion
    // into the list.
    void markFindings(std::span<const rg_BiaoJiCiYuLei> findings);
    // Appends one row for a type 1 or 2 finding with a non-empty word; the suggestion is kept
    // for type 1 only.
    void addFindingRow(std::int32_t type, std::int32_t position, std::int32_t length,
                       const QString& word, const QString& suggestion);
    // Gives every saved character its saved format back (newest record first), puts the caret
    // at 0, empties the list and forgets the records.
    void clearMarks();
    // Selects the first selected row's 位置 .. 位置 + 长度 in the editor and focuses the editor.
    void jumpToFinding();
    // Selects position .. position + length (clipped to the text) in the editor.
    void selectRange(std::int32_t position, std::int32_t length);

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
    void colourCharacters(QTextCursor& cursor, std::int32_t type, std::int32_t position,
                          std::int32_t length);
    static std::vector<ErrorListRow> rowsOf(std::span<const rg_BiaoJiCiYuLei> findings);

    QToolBar* m_toolBar = nullptr;
    std::vector<QAction*> m_actions;
    QTextEdit* m_editor = nullptr;
    SplitterBar* m_splitter = nullptr;
    QGroupBox* m_group = nullptr;
    QTableView* m_listView = nullptr;
    ErrorListModel* m_list = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusMessage = nullptr;
    std::vector<rg_XuanZeOuChanGeHanZiXinXi> m_saved;
    rg_SheZhiChuangKou1* m_settingsWindow = nullptr;  // a child of this window
    bool m_placed = false;
};

}  // namespace kjf
