// The proofreading run of the desktop program: checks a copy of the editor's text on a worker
// while the progress window is open and applies what the engine reports to the main window.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/checking_engine.h"
#include "learning/word_groups.h"
#include "run/context_pass.h"

namespace kjf {

class StatusText;
class rg_JinDuChuangKou;
class rg_WoDeZhuChuangKou;

// One run at a time, with its worker and the timer that applies marks, rows, the scan's
// selection and the progress in batches. When the context check is on ("语境校对"), the worker
// holds the dictionary findings back until the language model has judged them, then marks and
// lists what stays together with the model's own findings. Lives on the GUI thread; the hook
// handlers run on the engine's run thread and hand all window work to the GUI thread.
class ProofreadingRun : public QObject {
    Q_OBJECT
  public:
    // The setup.ini of locations gives each run's options.
    ProofreadingRun(rg_ChaCuoYinQing& engine, rg_JinDuChuangKou& progressWindow, StatusText& status,
                    Locations locations);
    // Stops a run still going on in the background.
    ~ProofreadingRun() override;
    ProofreadingRun(const ProofreadingRun&) = delete;
    ProofreadingRun& operator=(const ProofreadingRun&) = delete;

    // "校对": stops the last run, clears its marks and list, and checks a copy of the window's
    // text on a worker while the progress window is open (modal). Returns when it closes; the
    // run may go on in the background after the window's close button or "中断". In the
    // background the editor's selection no longer follows the scan, and the findings still to
    // come move with the user's edits (those whose characters were edited are dropped).
    void start(rg_WoDeZhuChuangKou& window);
    // The interrupt button: stops the run; its findings so far stay marked and listed.
    void interrupt();
    // Whether a worker is still working.
    bool inProgress() const;
    // Stops the worker of the last run (if any) and waits for it; what it reported but was not
    // applied yet is dropped.
    void stop();

    // At start-up: when the context check is on, loads its model on a thread of its own, so that
    // the first run rarely waits for it. warn (GUI thread) hears once why a model could not be
    // loaded; the runs then go on with the dictionaries alone.
    void prepareContextCheck(std::function<void(const QString&)> warn);
    // From the engine's onDictionariesLoaded (a loader's thread): the new load's curated words.
    void dictionariesLoaded();
    // GUI thread: the last run's listed dictionary findings (the context check's own left out)
    // and its window, for the auto-learning analysis; nullopt while a run is still working.
    std::optional<WordGroupInput> analysisInput() const;

    // Hook handlers: the engine's run thread (see checking_engine.h).
    void provideText(std::int32_t position, std::int32_t length, std::u16string& out);
    void reportFinding(FindingType type, std::int32_t position, std::int32_t length,
                       std::u16string_view word, std::u16string_view suggestion);
    void reportProgress(double speed, std::int32_t percent, std::int32_t maximum);
    void completeCheck();
    void finishRun(std::size_t findingCount);

    // For tests: called on the worker at every step of a run before it is taken: each text
    // request of the scan with its position, and each sentence of the context check with the
    // characters judged so far.
    enum class Step { Scan, Context };
    using StepObserver = std::function<void(Step step, std::int64_t position)>;
    void setStepObserverForTesting(StepObserver observer);

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
        // GUI thread: the editor's selection shows scanRange, until the progress window closes.
        bool followScan = true;
        // Worker only: the context check judges the findings after the scan, so the hooks
        // neither list findings nor end the run.
        bool contextCheck = false;
        std::vector<rg_BiaoJiCiYuLei> listed;  // GUI thread: dictionary findings listed so far
        std::int32_t quantization = 0;         // the engine's window, once the scan has ended
        std::mutex mutex;                      // guards the five below
        std::vector<rg_BiaoJiCiYuLei> pending;
        bool progressChanged = false;
        double speed = 0;
        std::int32_t percent = 0;
        std::int32_t maximum = 100;
    };

    void startWorker(std::int64_t totalLength);
    // The worker's part after the scan when the context check is on.
    void judgeInContext(Run& run, ContextPass& context, double threshold, std::int32_t engineType);
    // The model for settings, loading it on this thread when it is not (being) loaded; nullptr
    // when it cannot be loaded (the first failure for a path is reported through m_warn).
    ContextPass* contextFor(const ContextSettings& settings);
    // GUI thread: applies the marks, rows, scan selection and progress reported since last time.
    void flush();
    bool isCurrent(std::uint64_t runId) const;

    rg_ChaCuoYinQing& m_engine;
    rg_JinDuChuangKou& m_progressWindow;
    StatusText& m_status;
    const Locations m_locations;

    // m_run is replaced only while no worker runs, so the worker may read the pointer freely.
    std::shared_ptr<Run> m_run;
    std::thread m_worker;
    std::uint64_t m_lastRunId = 0;
    std::uint64_t m_currentRunId = 0;  // 0 once the last run has been stopped or finished
    QTimer m_flushTimer;
    StepObserver m_stepObserver;

    // The context check: the model (loaded at most once per path) and the load's curated words.
    ContextPassLoader m_context;
    std::function<void(const QString&)> m_warn;  // set once, before any model load
    std::thread m_modelLoader;                   // joined in the destructor
};

}  // namespace kjf
