#include "app/startup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextEdit>
#include <algorithm>
#include <limits>

#include "about/about_window.h"
#include "app/document_text.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/welcome_window.h"
#include "dictionaries/settings_window.h"
#include "learning/auto_learning_window.h"
#include "resources/artwork.h"
#include "run/run_options.h"
#include "run/run_texts.h"
#include "run/text_snapshot.h"

namespace kjf {

namespace {

// The status texts of start-up and of a run.
const auto kLoadingFile = u"词库加载中->";
const auto kLoaded = u"词库加载完毕！";
const auto kRunStarted = u"开始校对";
const auto kMarksCleared = u"清除标记完成！";

// Marks, rows, the scan's selection and the progress reach the windows this often during a run.
constexpr int kFlushIntervalMs = 30;

rg_QiDongLei* self(void* owner) {
    return static_cast<rg_QiDongLei*>(owner);
}

}  // namespace

rg_QiDongLei::rg_QiDongLei(std::string programDirectory)
    : m_programDirectory(std::move(programDirectory)),
      m_progressWindow(std::make_unique<rg_JinDuChuangKou>()),
      m_engine(std::make_unique<rg_ChaCuoYinQing>(m_programDirectory)),
      m_welcomeWindow(std::make_unique<rg_HuanYingChuangKou>()) {
    QGuiApplication::setWindowIcon(applicationIcon());
    bindHooks();
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &rg_QiDongLei::flush);
    connect(m_progressWindow.get(), &rg_JinDuChuangKou::interruptRequested, this,
            &rg_QiDongLei::interruptRun);
}

rg_QiDongLei::~rg_QiDongLei() {
    // The analysis asks the engine for text through provideText: it ends before either goes.
    if (m_mainWindow) {
        m_mainWindow->autoLearningWindow().stopAnalysis();
    }
    stopRun();
    m_flushTimer.stop();
    // The loaders post to this object: they are joined while it is still whole.
    m_engine.reset();
    m_welcomeWindow.reset();
    m_progressWindow.reset();
    m_mainWindow.reset();
}

void rg_QiDongLei::bindHooks() {
    rg_ChaCuoYinQing& e = *m_engine;
    e.onCheckFinished.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t) { self(owner)->finishRun(engine); },
        this, 0);
    e.onProgress.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, double speed, std::int32_t percent,
           std::int32_t maximum) { self(owner)->showProgress(engine, speed, percent, maximum); },
        this, 0);
    e.onListsRequested.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, rg_ChaCuoYinQing::Lists& a,
           rg_ChaCuoYinQing::Lists& b, rg_ChaCuoYinQing::Lists& c,
           rg_ChaCuoYinQing::Lists& d) { self(owner)->fillEnabledLists(engine, a, b, c, d); },
        this, 0);
    e.onDictionaryFileLoading.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, std::u16string_view path) {
            self(owner)->showLoadingFile(engine, path);
        },
        this, 0);
    e.onDictionariesLoaded.bind([](void* owner, rg_ChaCuoYinQing& engine,
                                   std::int32_t) { self(owner)->finishLoading(engine); },
                                this, 0);
    e.onTextRequested.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, std::int32_t position,
           std::int32_t length,
           std::u16string& out) { self(owner)->provideText(engine, position, length, out); },
        this, 0);
    e.onWordReported.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, FindingType type,
           std::int32_t position, std::int32_t length, std::u16string_view word,
           std::u16string_view suggestion) {
            self(owner)->markFinding(engine, type, position, length, word, suggestion);
        },
        this, 0);
    e.onCheckCompleted.bind([](void* owner, rg_ChaCuoYinQing& engine,
                               std::int32_t) { self(owner)->completeCheck(engine); },
                            this, 0);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void rg_QiDongLei::startApplication() {
    beginLoading();
    showWelcome();
    showMainWindow();
}

void rg_QiDongLei::beginLoading() {
    m_engine->loadDictionaries();
}

void rg_QiDongLei::showWelcome() {
    m_welcomeWindow->exec();
}

void rg_QiDongLei::showMainWindow() {
    if (m_mainWindow) {
        m_mainWindow->show();
        return;
    }
    m_mainWindow = std::make_unique<rg_WoDeZhuChuangKou>(m_status);
    m_mainWindow->attachEngine(*m_engine, m_programDirectory, [this] {
        if (runInProgress()) {
            stopRun();
        }
    });
    connect(m_mainWindow.get(), &rg_WoDeZhuChuangKou::commandTriggered, this,
            &rg_QiDongLei::handleCommand);
    m_mainWindow->show();
}

void rg_QiDongLei::fillEnabledLists(rg_ChaCuoYinQing& engine,
                                    rg_ChaCuoYinQing::Lists& systemCorrect,
                                    rg_ChaCuoYinQing::Lists& systemError,
                                    rg_ChaCuoYinQing::Lists& userCorrect,
                                    rg_ChaCuoYinQing::Lists& userError) {
    if (&engine != m_engine.get()) {
        return;
    }
    readEnabledLists(m_programDirectory, systemCorrect, systemError, userCorrect, userError);
}

void rg_QiDongLei::showLoadingFile(rg_ChaCuoYinQing& engine, std::u16string_view path) {
    if (&engine != m_engine.get()) {
        return;
    }
    const QString text = QString::fromUtf16(kLoadingFile) +
                         QString::fromUtf16(path.data(), static_cast<qsizetype>(path.size()));
    m_status.set(text);
    QMetaObject::invokeMethod(
        this, [this, text] { m_welcomeWindow->showMessage(text); }, Qt::QueuedConnection);
}

void rg_QiDongLei::finishLoading(rg_ChaCuoYinQing& engine) {
    if (&engine != m_engine.get()) {
        return;
    }
    // Posted after every loading message of this load, so it is also handled after them.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_status.set(QString::fromUtf16(kLoaded));
            m_welcomeWindow->finish(m_welcomeResult);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Commands

void rg_QiDongLei::handleCommand(Command command) {
    switch (command) {
        case Command::Check:
            runProofreading();
            break;
        case Command::ClearMarks:
            clearMarksCommand();
            break;
        case Command::Exit:
            exitCommand();
            break;
        case Command::DictionarySettings:
            openSettingsWindow();
            break;
        case Command::About:
            openAboutWindow();
            break;
        case Command::Import:
            m_mainWindow->importCommand();
            break;
        case Command::ExportErrors:
            m_mainWindow->exportErrorsCommand();
            break;
    }
}

void rg_QiDongLei::openSettingsWindow() {
    rg_SheZhiChuangKou1& window = m_mainWindow->settingsWindow();
    window.setProgramDirectory(m_programDirectory);
    // Returns at once: the loaders wait for runs that read the tables, and a run started later
    // waits for the load.
    window.setReloadAction([this] { m_engine->loadDictionaries(); });
    window.exec();
}

void rg_QiDongLei::openAboutWindow() {
    rg_GuanYuChuangKou window(m_mainWindow.get());
    window.exec();
}

void rg_QiDongLei::exitCommand() {
    if (m_mainWindow->confirmExit()) {
        // Leaves the main loop without the close query; the destructor then stops any run.
        QCoreApplication::exit(0);
    }
}

void rg_QiDongLei::clearMarksCommand() {
    // A worker of an interrupted or background run would keep marking while the marks are undone.
    stopRun();
    m_mainWindow->clearMarks();
    m_status.set(QString::fromUtf16(kMarksCleared));
}

// ---------------------------------------------------------------------------------------------
// The proofreading run

bool rg_QiDongLei::runInProgress() const {
    return m_worker.joinable() && m_run && !m_run->workerDone.load();
}

void rg_QiDongLei::stopRun() {
    if (m_worker.joinable()) {
        m_run->stopRequested = true;
        m_engine->running = 0;
        // The worker never waits for this thread (text from the snapshot, everything else
        // posted), so joining here cannot deadlock; at worst it waits for a dictionary load.
        m_worker.join();
    }
    if (m_run) {
        // What the stopped run reported but was not applied yet is dropped with it, and its
        // posted completion handlers find that it is no longer the current run.
        std::lock_guard lock(m_run->mutex);
        m_run->pending.clear();
    }
    m_currentRunId = 0;
    m_flushTimer.stop();
}

void rg_QiDongLei::runProofreading() {
    if (!m_mainWindow) {
        return;
    }
    // The analysis reads m_run through provideText; it is replaced below.
    m_mainWindow->autoLearningWindow().stopAnalysis();
    stopRun();
    m_mainWindow->errorList()->clear();
    m_status.set(QString::fromUtf16(kRunStarted));
    m_mainWindow->clearMarks();

    auto run = std::make_shared<Run>();
    run->id = ++m_lastRunId;
    // The modal progress window keeps the text unchanged while the engine reads this copy.
    run->text = documentText(*m_mainWindow->editor()->document());
    m_run = run;
    m_currentRunId = run->id;

    m_progressWindow->prepare();
    m_flushTimer.start();
    startWorker(static_cast<std::int64_t>(run->text.size()));
    m_progressWindow->exec();
}

void rg_QiDongLei::startWorker(std::int64_t totalLength) {
    const auto total = static_cast<std::int32_t>(
        std::min<std::int64_t>(totalLength, std::numeric_limits<std::int32_t>::max()));
    m_worker = std::thread([this, run = m_run, total] {
        const RunOptions options = readRunOptions(m_programDirectory);
        m_engine->runCheck(total, options.quantization, options.engineType, options.accuracyBoost);
        run->workerDone = true;
    });
}

void rg_QiDongLei::interruptRun() {
    if (m_run) {
        m_run->stopRequested = true;
    }
    m_engine->running = 0;
    if (m_progressWindow->isVisible()) {
        m_progressWindow->done(0);
    }
}

bool rg_QiDongLei::isCurrent(std::uint64_t runId) const {
    return runId != 0 && runId == m_currentRunId;
}

void rg_QiDongLei::flush() {
    const std::shared_ptr<Run> run = m_run;
    if (!run || !isCurrent(run->id) || !m_mainWindow) {
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
        m_mainWindow->markFindings(batch);
    }
    if (run->followScan) {
        const std::uint64_t range = run->scanRange.load(std::memory_order_relaxed);
        if (range != 0) {
            m_mainWindow->selectRange(static_cast<std::int32_t>(range >> 32),
                                      static_cast<std::int32_t>(range & 0xFFFFFFFFu));
        }
    }
    if (progressChanged && m_progressWindow->isVisible()) {
        m_progressWindow->showProgress(QString::fromStdU16String(speedText(speed)), percent,
                                       maximum);
    }
}

void rg_QiDongLei::provideText(rg_ChaCuoYinQing& engine, std::int32_t position, std::int32_t length,
                               std::u16string& out) {
    if (&engine != m_engine.get()) {
        return;
    }
    Run* run = m_run.get();
    if (run == nullptr) {
        out.clear();
        return;
    }
    // runCheck sets `running` when it starts; an interrupt that came before that would be lost,
    // so the run's own flag stops the engine at its next request.
    if (run->stopRequested.load(std::memory_order_relaxed)) {
        engine.running = 0;
    }
    if (m_textRequestObserver) {
        m_textRequestObserver(position);
    }
    copyTextRange(run->text, position, length, out);
    run->scanRange.store((static_cast<std::uint64_t>(static_cast<std::uint32_t>(position)) << 32) |
                             static_cast<std::uint32_t>(std::max(0, length)),
                         std::memory_order_relaxed);
}

void rg_QiDongLei::markFinding(rg_ChaCuoYinQing& engine, FindingType type, std::int32_t position,
                               std::int32_t length, std::u16string_view word,
                               std::u16string_view suggestion) {
    if (&engine != m_engine.get() || !isStoredFinding(type) || !m_run) {
        return;
    }
    std::lock_guard lock(m_run->mutex);
    m_run->pending.push_back(
        {type, position, length, std::u16string(word), std::u16string(suggestion)});
}

void rg_QiDongLei::showProgress(rg_ChaCuoYinQing& engine, double speed, std::int32_t percent,
                                std::int32_t maximum) {
    if (&engine != m_engine.get() || !m_run) {
        return;
    }
    std::lock_guard lock(m_run->mutex);
    m_run->speed = speed;
    m_run->percent = percent;
    m_run->maximum = maximum;
    m_run->progressChanged = true;
}

void rg_QiDongLei::completeCheck(rg_ChaCuoYinQing& engine) {
    if (&engine != m_engine.get() || !m_run) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, run = m_run] {
            if (!isCurrent(run->id)) {
                return;
            }
            flush();
            run->followScan = false;
            m_mainWindow->selectRange(0, 0);
        },
        Qt::QueuedConnection);
}

void rg_QiDongLei::finishRun(rg_ChaCuoYinQing& engine) {
    if (&engine != m_engine.get() || !m_run) {
        return;
    }
    const QString summary = QString::fromStdU16String(checkFinishedText(engine.findings().size()));
    QMetaObject::invokeMethod(
        this,
        [this, run = m_run, summary] {
            if (!isCurrent(run->id)) {
                return;
            }
            flush();
            run->followScan = false;
            m_currentRunId = 0;
            m_flushTimer.stop();
            if (m_progressWindow->isVisible()) {
                m_progressWindow->done(0);
            }
            m_status.set(summary);
        },
        Qt::QueuedConnection);
}

void rg_QiDongLei::setTextRequestObserverForTesting(
    std::function<void(std::int32_t position)> observer) {
    m_textRequestObserver = std::move(observer);
}

}  // namespace kjf
