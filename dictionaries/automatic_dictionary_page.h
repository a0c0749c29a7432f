// The automatic dictionary page: data/user/auto/auto.dict viewed, de-duplicated and saved.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <thread>

class QPushButton;

namespace kjf {

class DictionaryTextBox;
class StatusText;

// The automatic dictionary page. Loads the file when it is created; "优化" removes duplicate
// lines from the box on the page's worker, "保存" writes the box to the file and reports it
// through saved. GUI thread only, except for the optimise worker, which works on a copy of the text
// and hands its result back through a queued call. Its parts are named "textBox", "optimiseButton"
// and "saveButton".
class rg_ZiDongCiKuZuJian : public QWidget {
    Q_OBJECT
  public:
    // path: the automatic dictionary's file; status: where an optimise run reports its end,
    // which outlives the page.
    rg_ZiDongCiKuZuJian(std::string path, StatusText& status, QWidget* parent = nullptr);
    // Waits for an optimise run still going on.
    ~rg_ZiDongCiKuZuJian() override;

    // "优化": ignored while a run is going on. The box is read-only until the result is in it.
    void optimise();
    // "保存".
    void save();
    bool optimiseInProgress() const { return m_worker.joinable(); }

  signals:
    // "保存" wrote the file: the dictionaries should be loaded again.
    void saved();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showOptimised(const std::u16string& text);

    const std::string m_path;
    StatusText& m_status;
    // The file was there but could not be read whole: the box does not hold its words.
    bool m_loadIncomplete = false;
    DictionaryTextBox* m_text = nullptr;
    QPushButton* m_optimise = nullptr;
    QPushButton* m_save = nullptr;
    std::thread m_worker;
};

}  // namespace kjf
