// The dictionary list page: the .dict files of one of the four listed kinds.
#pragma once

#include <QWidget>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/dictionary_kind.h"
#include "settings/locations.h"
#include "text/files.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kjf {

class StatusText;

// The dictionary list page: lists a kind's files with the enabled ones checked, and enables,
// de-duplicates, creates, deletes and edits them. One object serves all four kinds; the settings
// window sets its kind and title. GUI thread only, except for its optimise worker, which reaches
// the widgets through queued calls alone. Its parts are named "titleLabel", "dictionaryList",
// "checkAllBox", "progressBar", "buttonPanel", "createButton", "editButton", "deleteButton",
// "enableButton" and "optimiseButton".
class rg_CiKuSheZhi : public QWidget {
    Q_OBJECT
  public:
    // Columns of the list.
    enum Column { NumberColumn, EnabledColumn, NameColumn };

    // status: where an optimise run reports its result; it outlives the page.
    explicit rg_CiKuSheZhi(StatusText& status, QWidget* parent = nullptr);
    // Waits for an optimise run still going on.
    ~rg_CiKuSheZhi() override;

    // Where setup.ini and the kinds' folders are.
    void setLocations(Locations locations);
    void setTitle(const QString& title);
    // One of the four listed kinds (not Automatic).
    void setPageKind(DictionaryKind kind) { m_pageKind = kind; }
    DictionaryKind pageKind() const { return m_pageKind; }
    const std::string& dictionaryDirectory() const { return m_dictionaryDirectory; }

    // Rebuilds the rows from the kind's directory (sorted by name) and its enabled list.
    void refreshList();
    // "全选": every row's check box takes the state of the "全选" box.
    void checkAll(bool checked);
    // "启用选中": stores the checked names in row order as the kind's enabled list.
    void enableChecked();
    // "优化选中": removes duplicate lines from the selected file on the page's worker; ignored
    // while a run is still going on.
    void optimiseSelected();
    // "删除词库", "编辑词库" and "新增词库". Optimising, deleting and creating a system dictionary
    // of an installed program fail at once, saying that its system dictionaries are read-only;
    // its editor refuses to save.
    void deleteSelected();
    void editSelected();
    void createDictionary();

    // True from the start of an optimise run until its result has been shown.
    bool optimiseInProgress() const { return m_worker.joinable(); }
    // Waits for an optimise run and shows its result now. GUI thread.
    void finishOptimise();

    // The "全选" box and the optimise progress, which the settings window resets when it shows
    // the page for a kind.
    QCheckBox* checkAllBox() const { return m_checkAll; }
    QProgressBar* progressBar() const { return m_progress; }

  signals:
    // A listed file or the enabled list has changed: the settings window reloads when it closes.
    void dictionariesChanged();

  private:
    int selectedRow() const;
    // This page lists system dictionaries that the program must not change.
    bool systemFilesReadOnly() const;
    // When systemFilesReadOnly, shows failure followed by why and returns true.
    bool refusedAsReadOnly(const char16_t* failure);
    QString rowName(int row) const;
    std::string pathOf(const QString& name) const;
    // Posted by the worker when it has finished; shows the result once.
    void deliverOptimiseResult();
    void openEditor(int row);

    StatusText& m_status;
    Locations m_locations;
    std::string m_dictionaryDirectory;
    DictionaryKind m_pageKind = DictionaryKind::SystemCorrect;

    QLabel* m_title = nullptr;
    QTableWidget* m_list = nullptr;
    QCheckBox* m_checkAll = nullptr;
    QProgressBar* m_progress = nullptr;
    QWidget* m_panel = nullptr;
    QPushButton* m_create = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_enable = nullptr;
    QPushButton* m_optimise = nullptr;

    std::thread m_worker;
    std::mutex m_resultMutex;
    std::optional<WriteResult> m_result;  // the worker's outcome, until it is shown
};

}  // namespace kjf
