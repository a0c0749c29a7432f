#include "app/proofreading_run.h"

#include <QTextEdit>
#include <algorithm>
#include <chrono>
#include <limits>

#include "app/document_text.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/progress_window.h"
#include "run/run_options.h"
#include "run/run_texts.h"
#include "run/text_snapshot.h"
#include "ui/status_text.h"

namespace kjf {

namespace {

// Marks, rows, the scan's selection and the progress reach the windows this often during a run.
constexpr int kFlushIntervalMs = 30;

}  // namespace

ProofreadingRun::ProofreadingRun(rg_ChaCuoYinQing& engine, rg_JinDuChuangKou& progressWindow,
                                 StatusText& status, Locations locations)
    : m_engine(engine),
      m_progressWindow(progressWindow),
      m_status(status),
      m_locations(std::move(locations)),
      m_context(m_locations) {
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &ProofreadingRun::flush);
}

ProofreadingRun::~ProofreadingRun() {
    stop();
    if (m_modelLoader.joinable()) {
        m_modelLoader.join();
    }
}

void ProofreadingRun::prepareContextCheck(std::function<void(const QString&)> warn) {
    m_warn = std::move(warn);
    const ContextSettings settings = readContextSettings(m_locations.settingsDirectory);
    if (settings.enabled && !m_modelLoader.joinable()) {
        m_modelLoader = std::thread([this, settings] { contextFor(settings); });
    }
}

ContextPass* ProofreadingRun::contextFor(const ContextSettings& settings) {
    std::u16string failure;
    ContextPass* pass = m_context.passFor(settings.modelPath, &failure);
    if (!failure.empty() && m_warn) {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdU16String(failure)] { m_warn(text); },
            Qt::QueuedConnection);
    }
    return pass;
}

void ProofreadingRun::dictionariesLoaded() {
    m_context.dictionariesLoaded(m_engine);
}

std::optional<WordGroupInput> ProofreadingRun::analysisInput() const {
    if (inProgress()) {
        return std::nullopt;
    }
    if (!m_run) {
        return WordGroupInput{};
    }
    return WordGroupInput{m_run->listed, m_run->quantization};
}

bool ProofreadingRun::inProgress() const {
    return m_worker.joinable() && m_run && !m_run->workerDone.load();
}

void ProofreadingRun::stop() {
    if (m_worker.joinable()) {
        m_run->stopRequested = true;
        m_engine.running = 0;
        // The worker never waits for this thread (text from the snapshot, everything else
        // posted), so joining here cannot deadlock; at worst it waits for a dictionary load.
        m_worker.join();
    }
    if (m_run) {
        // What the stopped run reported but was not applied yet is dropped with it, and its
        // posted completion handlers find that it is no longer the current run.
        std::lock_guard lock(m_run->mutex);
        m_run->pending.clear();
        m_run->window->marks().endSnapshot();
    }
    m_currentRunId = 0;
    m_flushTimer.stop();
}

void ProofreadingRun::start(rg_WoDeZhuChuangKou& window) {
    stop();
    window.errorList()->clear();
    m_status.set(QString::fromUtf16(main_window_texts::kRunStarted));
    window.clearMarks();

    auto run = std::make_shared<Run>();
    run->id = ++m_lastRunId;
    run->window = &window;
    // The engine reads this copy. Once the progress window is closed the user may edit the text
    // while the run goes on: its findings then move with the edits made since this copy.
    run->text = documentText(*window.editor()->document());
    window.marks().beginSnapshot();
    m_run = run;
    m_currentRunId = run->id;

    m_progressWindow.prepare();
    m_flushTimer.start();
    startWorker(static_cast<std::int64_t>(run->text.size()));
    m_progressWindow.exec();
    // A run still working goes on in the background: the caret is the user's again.
    run->followScan = false;
}

void ProofreadingRun::startWorker(std::int64_t totalLength) {
    const auto total = static_cast<std::int32_t>(
        std::min<std::int64_t>(totalLength, std::numeric_limits<std::int32_t>::max()));
    m_worker = std::thread([this, run = m_run, total] {
        const RunOptions options = readRunOptions(m_locations.settingsDirectory);
        const ContextSettings settings = readContextSettings(m_locations.settingsDirectory);
        ContextPass* context = settings.enabled ? contextFor(settings) : nullptr;
        run->contextCheck = context != nullptr;
        m_engine.runCheck(total, options.quantization, options.engineType, options.accuracyBoost);
        run->quantization = m_engine.quantization();
        if (context != nullptr) {
            judgeInContext(*run, *context, settings.threshold, options.engineType);
        }
        run->workerDone = true;
    });
}

void ProofreadingRun::judgeInContext(Run& run, ContextPass& context, double threshold,
                                     std::int32_t engineType) {
    std::vector<rg_BiaoJiCiYuLei> findings;
    // A scan stopped early saw part of the text only: the model must not judge the rest.
    if (run.stopRequested.load() || (engineType != 1 && engineType != 2)) {
        findings = m_engine.findings();
    } else {
        ContextControl control;
        control.stop = &run.stopRequested;
        const auto started = std::chrono::steady_clock::now();
        control.onProgress = [this, &run, started](std::int64_t processed, std::int64_t total) {
            if (m_stepObserver) {
                m_stepObserver(Step::Context, processed);
            }
            // As the engine reports its scan: 10,000 characters an hour, once a second has passed.
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::steady_clock::now() - started)
                                     .count();
            std::lock_guard lock(run.mutex);
            if (seconds >= 1) {
                run.speed = static_cast<double>(((processed / seconds) * 3600) / 10000);
            }
            run.percent = total > 0 ? static_cast<std::int32_t>(processed * 100 / total) : 100;
            run.maximum = 100;
            run.progressChanged = true;
        };
        findings = context.apply(m_engine, m_engine.findings(), run.text, threshold,
                                 scanOrderOf(engineType), control);
    }
    const std::size_t count = findings.size();
    {
        std::lock_guard lock(run.mutex);
        run.pending.insert(run.pending.end(), std::make_move_iterator(findings.begin()),
                           std::make_move_iterator(findings.end()));
    }
    run.contextCheck = false;  // the run's ending goes through as it does without the model
    if (engineType == 1 || engineType == 2) {
        completeCheck();
    }
    finishRun(count);
}

void ProofreadingRun::interrupt() {
    if (m_run) {
        m_run->stopRequested = true;
    }
    m_engine.running = 0;
    if (m_progressWindow.isVisible()) {
        m_progressWindow.done(0);
    }
}

bool ProofreadingRun::isCurrent(std::uint64_t runId) const {
    return runId != 0 && runId == m_currentRunId;
}

void ProofreadingRun::flush() {
    const std::shared_ptr<Run> run = m_run;
    if (!run || !isCurrent(run->id)) {
        return;
    }
    std::vector<rg_BiaoJiCiYuLei> batch;
    bool progressChanged = false;
    double speed = 0;
    std::int32_t percent = 0;
    std::int32_t maximum = 0;
    {
        std::lock_guard lock(run->mutex);
        batch.swap(run->pending);
        progressChanged = std::exchange(run->progressChanged, false);
        speed = run->speed;
        percent = run->percent;
        maximum = run->maximum;
    }
    if (!batch.empty()) {
        run->window->markFindings(batch);
        for (auto& f : batch) {
            if (f.source == FindingSource::Dictionary) {
                run->listed.push_back(std::move(f));
            }
        }
    }
    if (run->followScan) {
        const std::uint64_t range = run->scanRange.load(std::memory_order_relaxed);
        if (range != 0) {
            run->window->selectRange(static_cast<std::int32_t>(range >> 32),
                                     static_cast<std::int32_t>(range & 0xFFFFFFFFu));
        }
    }
    if (progressChanged && m_progressWindow.isVisible()) {
        m_progressWindow.showProgress(QString::fromStdU16String(speedText(speed)), percent,
                                      maximum);
    }
}

void ProofreadingRun::provideText(std::int32_t position, std::int32_t length, std::u16string& out) {
    Run* run = m_run.get();
    if (run == nullptr) {
        out.clear();
        return;
    }
    // runCheck sets `running` when it starts; an interrupt that came before that would be lost,
    // so the run's own flag stops the engine at its next request.
    if (run->stopRequested.load(std::memory_order_relaxed)) {
        m_engine.running = 0;
    }
    if (m_stepObserver) {
        m_stepObserver(Step::Scan, position);
    }
    copyTextRange(run->text, position, length, out);
    run->scanRange.store((static_cast<std::uint64_t>(static_cast<std::uint32_t>(position)) << 32) |
                             static_cast<std::uint32_t>(std::max(0, length)),
                         std::memory_order_relaxed);
}

void ProofreadingRun::reportFinding(FindingType type, std::int32_t position, std::int32_t length,
                                    std::u16string_view word, std::u16string_view suggestion) {
    if (!isStoredFinding(type) || !m_run || m_run->contextCheck) {
        return;
    }
    std::lock_guard lock(m_run->mutex);
    m_run->pending.push_back(
        {type, position, length, std::u16string(word), std::u16string(suggestion)});
}

void ProofreadingRun::reportProgress(double speed, std::int32_t percent, std::int32_t maximum) {
    if (!m_run || m_run->contextCheck) {
        return;
    }
    std::lock_guard lock(m_run->mutex);
    m_run->speed = speed;
    m_run->percent = percent;
    m_run->maximum = maximum;
    m_run->progressChanged = true;
}

void ProofreadingRun::completeCheck() {
    if (!m_run || m_run->contextCheck) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, run = m_run] {
            if (!isCurrent(run->id)) {
                return;
            }
            flush();
            if (std::exchange(run->followScan, false)) {
                run->window->selectRange(0, 0);
            }
        },
        Qt::QueuedConnection);
}

void ProofreadingRun::finishRun(std::size_t findingCount) {
    if (!m_run || m_run->contextCheck) {
        return;
    }
    const QString summary = QString::fromStdU16String(checkFinishedText(findingCount));
    QMetaObject::invokeMethod(
        this,
        [this, run = m_run, summary] {
            if (!isCurrent(run->id)) {
                return;
            }
            flush();
            run->followScan = false;
            run->window->marks().endSnapshot();
            m_currentRunId = 0;
            m_flushTimer.stop();
            if (m_progressWindow.isVisible()) {
                m_progressWindow.done(0);
            }
            m_status.set(summary);
        },
        Qt::QueuedConnection);
}

void ProofreadingRun::setStepObserverForTesting(StepObserver observer) {
    m_stepObserver = std::move(observer);
}

}  // namespace kjf
