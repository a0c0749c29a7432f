// The auto-learning window: proposes word groups around the last run's findings and adds the
// ticked ones to the automatic dictionary.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "learning/word_groups.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kjf {

class rg_ChaCuoYinQing;

// The auto-learning window: a non-modal window that lists the word groups proposed for the last
// run's findings while a worker finds them, and appends the groups the user ticks to the
// automatic dictionary. Its parts are named "wordGroupBox", "wordGroupList", "addButton" and
// "hintLabel". GUI thread only, except for the worker it owns.
class rg_ZiDongXueXiChuangKou1 : public QDialog {
    Q_OBJECT
  public:
    enum Column { Number, Source, Group, Start, Length, ColumnCount };

    // What the analysis works on: the last run's listed findings and window, or nullopt while a
    // run is still working on them. Called on the GUI thread.
    using InputSource = std::function<std::optional<WordGroupInput>()>;

    // engine: whose tables and text source the analysis uses (nullptr: nothing to analyse);
    // locations: whose automatic dictionary the groups go to; takeInput gives the findings to
    // analyse (without it, the engine's findings of its last run).
    rg_ZiDongXueXiChuangKou1(QWidget* owner, rg_ChaCuoYinQing* engine, Locations locations,
                             InputSource takeInput);
    // Stops the analysis and waits for it.
    ~rg_ZiDongXueXiChuangKou1() override;

    // Shows the window with an empty list and starts the analysis, unless the analysis of an
    // earlier opening still runs (its remaining rows then arrive in the new list). Does nothing
    // while the window is shown. While a run is still working (in the background, after its
    // progress window was closed) it says so and opens nothing: the analysis needs the run's
    // findings whole.
    void openWindow();
    // Whether the analysis worker is still working.
    bool analysisRunning() const { return m_analysing.load(); }
    // Asks the analysis to stop and waits for it; rows it reported are still delivered.
    void stopAnalysis();

    // Appends a row: number, source, group, start and the group's length in UTF-16 code units.
    void addGroupRow(const QString& source, const QString& group, std::int32_t start);
    // Emits groupChosen with the row's start and length (0 and 0 for a row that does not exist).
    void showGroupInEditor(int row);
    // Asks, then appends the group of every ticked row to the automatic dictionary; "保存成功！"
    // and automaticDictionaryChanged only when everything was written, otherwise a message
    // naming the file.
    void addCheckedGroupsToAutoDictionary();

  signals:
    // A row was clicked: the editor should select start .. start + length and take the focus.
    void groupChosen(std::int32_t start, std::int32_t length);
    // Groups were added to the automatic dictionary: the dictionaries should be loaded again.
    void automaticDictionaryChanged();

  private:
    void buildList();
    void startAnalysis();
    void receiveRow(const WordGroupRow& row);

    rg_ChaCuoYinQing* const m_engine;
    const Locations m_locations;
    const InputSource m_takeInput;
    QGroupBox* m_group = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_addButton = nullptr;
    QLabel* m_hint = nullptr;
    std::atomic<bool> m_analysing{false};
    std::jthread m_worker;  // last: joined before anything it reports to goes
};

}  // namespace kjf
