// The startup object: owns the engine and the windows, binds the engine's hooks, loads the
// dictionaries behind the welcome window and runs the proofreading runs.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/checking_engine.h"
#include "ui/status_text.h"

namespace kjf {

class rg_HuanYingChuangKou;
class rg_JinDuChuangKou;
class rg_WoDeZhuChuangKou;
enum class Command;

// The startup object: everything that lives as long as the program. One instance at a time,
// created and used on the GUI thread; its hook handlers run on whichever thread the engine calls
// them from and hand all window work to the GUI thread.
class rg_QiDongLei : public QObject {
    Q_OBJECT
  public:
    // programDirectory ends in '/' and holds setup.ini and data/.
    explicit rg_QiDongLei(std::string programDirectory);
    // Stops a run still going on in the background and the loaders before anything is freed.
    ~rg_QiDongLei() override;
    rg_QiDongLei(const rg_QiDongLei&) = delete;
    rg_QiDongLei& operator=(const rg_QiDongLei&) = delete;

    // The whole start-up: beginLoading, showWelcome (modal, until loading has finished),
    // showMainWindow.
    void startApplication();
    void beginLoading();
    void showWelcome();
    void showMainWindow();

    // The tool-bar command "校对": clears the last run's marks and list, and checks the editor's
    // text on a worker while the progress window is open (modal). Returns when it closes; the run
    // may go on in the background after the window's close button.
    void runProofreading();
    // The interrupt button: stops the run; its findings so far stay marked and listed.
    void interruptRun();
    // The tool-bar command "清除标记".
    void clearMarksCommand();
    // Whether a worker of an earlier run is still working.
    bool runInProgress() const;
    // Stops the worker of the last run (if any), waits for it and applies what it reported.
    void stopRun();

    rg_ChaCuoYinQing& engine() { return *m_engine; }
    StatusText& statusText() { return m_status; }
    rg_WoDeZhuChuangKou* mainWindow() const { return m_mainWindow.get(); }
    rg_JinDuChuangKou* progressWindow() const { return m_progressWindow.get(); }
    rg_HuanYingChuangKou* welcomeWindow() const { return m_welcomeWindow.get(); }
    const std::string& programDirectory() const { return m_programDirectory; }

    // For tests: called on the worker with every position the engine asks for, before it is
    // answered.
    void setTextRequestObserverForTesting(std::function<void(std::int32_t position)> observer);

  private:
    // One run's shared state between the GUI thread and its worker.
    struct Run {
        std::uint64_t id = 0;
        std::u16string text;  // the editor's text when the run started
        std::atomic<bool> stopRequested{false};
        std::atomic<bool> workerDone{false};
        // The range the engine asked for last: position in the high half, length in the low half.
        std::atomic<std::uint64_t> scanRange{0};
        bool followScan = true;  // GUI thread: the editor's selection shows scanRange
        std::mutex mutex;        // guards the three below
        std::vector<rg_BiaoJiCiYuLei> pending;
        bool progressChanged = false;
        double speed = 0;
        std::int32_t percent = 0;
        std::int32_t maximum = 100;
    };

    void bindHooks();
    void handleCommand(Command command);
    void exitCommand();
    // The tool-bar commands "词库设置" and "关于": modal, return when the window closes.
    void openSettingsWindow();
    void openAboutWindow();
    void startWorker(std::int64_t totalLength);
    // GUI thread: applies the marks, rows, scan selection and progress reported since last time.
    void flush();
    bool isCurrent(std::uint64_t runId) const;

    // Hook handlers (the engine's thread; see checking_engine.h).
    void finishRun(rg_ChaCuoYinQing& engine);
    void showProgress(rg_ChaCuoYinQing& engine, double speed, std::int32_t percent,
                      std::int32_t maximum);
    void fillEnabledLists(rg_ChaCuoYinQing& engine, rg_ChaCuoYinQing::Lists& systemCorrect,
                          rg_ChaCuoYinQing::Lists& systemError,
                          rg_ChaCuoYinQing::Lists& userCorrect, rg_ChaCuoYinQing::Lists& userError);
    void showLoadingFile(rg_ChaCuoYinQing& engine, std::u16string_view path);
    void finishLoading(rg_ChaCuoYinQing& engine);
    void provideText(rg_ChaCuoYinQing& engine, std::int32_t position, std::int32_t length,
                     std::u16string& out);
    void markFinding(rg_ChaCuoYinQing& engine, FindingType type, std::int32_t position,
                     std::int32_t length, std::u16string_view word, std::u16string_view suggestion);
    void completeCheck(rg_ChaCuoYinQing& engine);

    const std::string m_programDirectory;
    StatusText m_status;
    // Members in the order of the object tree: main window, progress window, engine, welcome.
    std::unique_ptr<rg_WoDeZhuChuangKou> m_mainWindow;
    std::unique_ptr<rg_JinDuChuangKou> m_progressWindow;
    std::unique_ptr<rg_ChaCuoYinQing> m_engine;
    std::unique_ptr<rg_HuanYingChuangKou> m_welcomeWindow;
    int m_welcomeResult = 0;

    // The last run: its worker, and what the worker shares with the GUI thread. m_run is
    // replaced only while no worker runs, so the worker may read the pointer freely.
    std::shared_ptr<Run> m_run;
    std::thread m_worker;
    std::uint64_t m_lastRunId = 0;
    std::uint64_t m_currentRunId = 0;  // 0 once the last run has been stopped or finished
    QTimer m_flushTimer;
    std::function<void(std::int32_t)> m_textRequestObserver;
};

}  // namespace kjf
