#include "app/startup.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "about/about_window.h"
#include "app/document_text.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/progress_window.h"
#include "app/proofreading_run.h"
#include "app/welcome_window.h"
#include "dictionaries/settings_window.h"
#include "learning/auto_learning_window.h"
#include "resources/artwork.h"
#include "run/run_options.h"
#include "run/run_texts.h"
#include "ui/message_box.h"

namespace kjf {

using namespace main_window_texts;

namespace {

rg_QiDongLei* self(void* owner) {
    return static_cast<rg_QiDongLei*>(owner);
}

}  // namespace

rg_QiDongLei::rg_QiDongLei(Locations locations)
    : m_locations(std::move(locations)),
      m_progressWindow(std::make_unique<rg_JinDuChuangKou>()),
      m_engine(std::make_unique<rg_ChaCuoYinQing>(m_locations.dictionaryFolders())),
      m_welcomeWindow(std::make_unique<rg_HuanYingChuangKou>()),
      m_proofreading(
          std::make_unique<ProofreadingRun>(*m_engine, *m_progressWindow, m_status, m_locations)) {
    m_engine->setCacheFile(m_locations.dictionaryCacheFile());
    QGuiApplication::setWindowIcon(applicationIcon());
    bindHooks();
    connect(m_progressWindow.get(), &rg_JinDuChuangKou::interruptRequested, m_proofreading.get(),
            &ProofreadingRun::interrupt);
}

rg_QiDongLei::rg_QiDongLei(const std::string& programDirectory)
    : rg_QiDongLei(Locations::portable(programDirectory)) {}

rg_QiDongLei::~rg_QiDongLei() {
    // The analysis asks the engine for text through provideText: it ends before either goes.
    if (m_mainWindow) {
        m_mainWindow->autoLearningWindow().stopAnalysis();
    }
    m_proofreading.reset();
    // The loaders post to this object: they are joined while it is still whole.
    m_engine.reset();
    m_welcomeWindow.reset();
    m_progressWindow.reset();
    m_mainWindow.reset();
}

void rg_QiDongLei::bindHooks() {
    rg_ChaCuoYinQing& e = *m_engine;
    // A run's hooks go to the run; each handler first checks that the engine is this object's.
    e.onCheckFinished.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t) {
            if (auto* run = self(owner)->runOf(engine)) {
                run->finishRun(engine.findings().size());
            }
        },
        this, 0);
    e.onProgress.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, double speed, std::int32_t percent,
           std::int32_t maximum) {
            if (auto* run = self(owner)->runOf(engine)) {
                run->reportProgress(speed, percent, maximum);
            }
        },
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
           std::int32_t length, std::u16string& out) {
            if (auto* run = self(owner)->runOf(engine)) {
                run->provideText(position, length, out);
            }
        },
        this, 0);
    e.onWordReported.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t, FindingType type,
           std::int32_t position, std::int32_t length, std::u16string_view word,
           std::u16string_view suggestion) {
            if (auto* run = self(owner)->runOf(engine)) {
                run->reportFinding(type, position, length, word, suggestion);
            }
        },
        this, 0);
    e.onCheckCompleted.bind(
        [](void* owner, rg_ChaCuoYinQing& engine, std::int32_t) {
            if (auto* run = self(owner)->runOf(engine)) {
                run->completeCheck();
            }
        },
        this, 0);
}

// ---------------------------------------------------------------------------------------------
// Start-up

QString documentArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QStringLiteral("--")) {
            return i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        }
        if (!argument.isEmpty() && !argument.startsWith(u'-')) {
            return argument;
        }
    }
    return {};
}

void rg_QiDongLei::startApplication(const QString& document) {
    beginLoading();
    showWelcome();
    showMainWindow();
    if (!document.isEmpty()) {
        m_mainWindow->importDocument(document);
    }
}

void rg_QiDongLei::beginLoading() {
    m_engine->loadDictionaries();
    m_proofreading->prepareContextCheck([this](const QString& text) { warn(text); });
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
    m_mainWindow->attachEngine(*m_engine, m_locations,
                               [this] { return m_proofreading->analysisInput(); });
    connect(m_mainWindow.get(), &rg_WoDeZhuChuangKou::commandTriggered, this,
            &rg_QiDongLei::handleCommand);
    m_mainWindow->show();
    showPendingWarnings();
}

void rg_QiDongLei::warn(const QString& text) {
    m_status.set(text);
    m_pendingWarnings.append(text);
    if (m_mainWindow && m_mainWindow->isVisible()) {
        showPendingWarnings();
    }
}

void rg_QiDongLei::showPendingWarnings() {
    // At start-up the warnings wait for the main window: the welcome window is closing then.
    while (!m_pendingWarnings.isEmpty() && m_mainWindow) {
        const QString text = m_pendingWarnings.takeFirst();
        m_status.set(text);  // the main window greets with "欢迎使用！" when it is made
        showMessage(m_mainWindow.get(), QMessageBox::Warning, QString::fromUtf16(kMessageCaption),
                    text);
    }
}

void rg_QiDongLei::fillEnabledLists(rg_ChaCuoYinQing& engine,
                                    rg_ChaCuoYinQing::Lists& systemCorrect,
                                    rg_ChaCuoYinQing::Lists& systemError,
                                    rg_ChaCuoYinQing::Lists& userCorrect,
                                    rg_ChaCuoYinQing::Lists& userError) {
    if (&engine != m_engine.get()) {
        return;
    }
    readEnabledLists(m_locations.settingsDirectory, systemCorrect, systemError, userCorrect,
                     userError);
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
    m_proofreading->dictionariesLoaded();
    // What the load could not use, told once per load; the tables are whole and unchanged here
    // (runs wait for the end of the load).
    QStringList problems;
    for (const auto& problem : engine.loadReport().problems) {
        problems.append(QString::fromStdU16String(loadProblemText(problem)));
    }
    if (engine.correctWords().size() == 0 && engine.errorWords().size() == 0) {
        problems.append(QString::fromStdU16String(noDictionaryText(m_locations.settingsDirectory)));
    }
    // Posted after every loading message of this load, so it is also handled after them.
    QMetaObject::invokeMethod(
        this,
        [this, problems] {
            m_status.set(QString::fromUtf16(kLoaded));
            m_welcomeWindow->finish(m_welcomeResult);
            if (!problems.isEmpty()) {
                warn(problems.join(QLatin1Char('\n')));
            }
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
        case Command::ExportRevised:
            m_mainWindow->exportRevisedCommand();
            break;
    }
}

void rg_QiDongLei::openSettingsWindow() {
    rg_SheZhiChuangKou1& window = m_mainWindow->settingsWindow();
    window.setLocations(m_locations);
    // Returns at once: the loaders wait for runs that read the tables, and a run started later
    // waits for the load.
    window.setReloadAction([this] { m_mainWindow->reloadDictionaries(); });
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

ProofreadingRun* rg_QiDongLei::runOf(const rg_ChaCuoYinQing& engine) const {
    return &engine == m_engine.get() ? m_proofreading.get() : nullptr;
}

bool rg_QiDongLei::runInProgress() const {
    return m_proofreading->inProgress();
}

void rg_QiDongLei::stopRun() {
    m_proofreading->stop();
}

void rg_QiDongLei::runProofreading() {
    if (!m_mainWindow) {
        return;
    }
    // The analysis reads the last run's text through the run's text source.
    m_mainWindow->autoLearningWindow().stopAnalysis();
    m_proofreading->start(*m_mainWindow);
}

}  // namespace kjf
