// The proofreading run of the desktop program: checks a copy of the editor's text on a worker
// while the progress window is open and applies what the engine reports to the main window.
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

namespace kjf {

class StatusText;
class rg_JinDuChuangKou;
class rg_WoDeZhuChuangKou;

// One run at a time, with its worker and the timer that applies marks, rows, the scan's
// selection and the progress in batches. Lives on the GUI thread; the hook handlers run on the
// engine's run thread and hand all window work to the GUI thread.
class ProofreadingRun : public QObject {
    Q_OBJECT
  public:
    // programDirectory ends in '/'; its setup.ini gives each run's options.
    ProofreadingRun(rg_ChaCuoYinQing& engine, rg_JinDuChuangKou& progressWindow, StatusText& status,
                    std::string programDirectory);
    // Stops a run still going on in the background.
    ~ProofreadingRun() override;
    ProofreadingRun(const ProofreadingRun&) = delete;
    ProofreadingRun& operator=(const ProofreadingRun&) = delete;

    // "校对": stops the last run, clears its marks and list, and checks the window's text on a
    // worker while the progress window is open (modal). Returns when it closes; the run may go
    // on in the background after the window's close button.
    void start(rg_WoDeZhuChuangKou& window);
    // The interrupt button: stops the run; its findings so far stay marked and listed.
    void interrupt();
    // Whether a worker is still working.
    bool inProgress() const;
    // Stops the worker of the last run (if any) and waits for it; what it reported but was not
    // applied yet is dropped.
    void stop();

    // Hook handlers: the engine's run thread (see checking_engine.h).
    void provideText(std::int32_t position, std::int32_t length, std::u16string& out);
    void reportFinding(FindingType type, std::int32_t position, std::int32_t length,
                       std::u16string_view word, std::u16string_view suggestion);
    void reportProgress(double speed, std::int32_t percent, std::int32_t maximum);
    void completeCheck();
    void finishRun(std::size_t findingCount);

    // For tests: called on the worker with every position the engine asks for, before it is
    // answered.
    void setTextRequestObserverForTesting(std::function<void(std::int32_t position)> observer);

  private:
    // One run's shared state between the GUI thread and its worker.
    struct Run {
        std::uint64_t id = 0;
        rg_WoDeZhuChuangKou* window = nullptr;
        std::u16string text;  // the editor's text when the run started
        std::atomic<bool> stopRequested{false};
        std::atomic<bool> workerDone{false};
        // The range the engine asked for last: position in the high half, length in the low half.
        std::atomic<std::uint64_t> scanRange{0};
        bool followScan = true;  // GUI thread: the editor's selection shows scanRange
        std::mutex mutex;        // guards the five below
        std::vector<rg_BiaoJiCiYuLei> pending;
        bool progressChanged = false;
        double speed = 0;
        std::int32_t percent = 0;
        std::int32_t maximum = 100;
    };

    void startWorker(std::int64_t totalLength);
    // GUI thread: applies the marks, rows, scan selection and progress reported since last time.
    void flush();
    bool isCurrent(std::uint64_t runId) const;

    rg_ChaCuoYinQing& m_engine;
    rg_JinDuChuangKou& m_progressWindow;
    StatusText& m_status;
    const std::string m_programDirectory;

    // m_run is replaced only while no worker runs, so the worker may read the pointer freely.
    std::shared_ptr<Run> m_run;
    std::thread m_worker;
    std::uint64_t m_lastRunId = 0;
    std::uint64_t m_currentRunId = 0;  // 0 once the last run has been stopped or finished
    QTimer m_flushTimer;
    std::function<void(std::int32_t)> m_textRequestObserver;
};

}  // namespace kjf
