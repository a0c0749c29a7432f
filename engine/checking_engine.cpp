#include "engine/checking_engine.h"

#include <algorithm>
#include <ctime>
#include <system_error>

#include "engine/dictionary_file.h"
#include "engine/scan.h"
#include "engine/side_by_side.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

rg_ChaCuoYinQing::rg_ChaCuoYinQing(Locations locations)
    : m_locations(std::move(locations)),
      m_clock([] { return static_cast<std::int64_t>(std::time(nullptr)); }) {}

rg_ChaCuoYinQing::rg_ChaCuoYinQing(const std::string& programDirectory)
    : rg_ChaCuoYinQing(Locations::portable(programDirectory)) {}

rg_ChaCuoYinQing::~rg_ChaCuoYinQing() {
    stopLoaders();
}

void rg_ChaCuoYinQing::stopLoaders() {
    {
        std::lock_guard lock(m_guardMutex);
        m_cancelLoad = true;
    }
    m_guardChanged.notify_all();
    for (auto& loader : m_loaders) {
        if (loader.joinable()) {
            loader.join();
        }
    }
}

void rg_ChaCuoYinQing::loadDictionaries() {
    std::lock_guard callLock(m_loadCallMutex);
    // Loaders of an earlier load would mix the old lists into the freshly emptied tables.
    stopLoaders();
    {
        std::lock_guard lock(m_guardMutex);
        m_loading = true;
        m_tablesCleared = false;
        m_cancelLoad = false;
    }
    onListsRequested.call(*this, m_lists[0], m_lists[1], m_lists[2], m_lists[3]);
    m_remainingLoaders = static_cast<int>(m_loaders.size());
    std::vector<DictionaryKind> notStarted;
    for (std::size_t i = 0; i < m_loaders.size(); ++i) {
        const DictionaryKind kind = kAllDictionaryKinds[i];
        try {
            m_loaders[i] = std::thread([this, kind] { loaderMain(kind); });
        } catch (const std::system_error&) {
            notStarted.push_back(kind);  // no memory for another thread
        }
    }
    // A kind whose loader could not start loads here instead, slower but complete.
    for (const DictionaryKind kind : notStarted) {
        loaderMain(kind);
    }
}

void rg_ChaCuoYinQing::waitForLoading() {
    std::unique_lock lock(m_guardMutex);
    m_guardChanged.wait(lock, [this] { return !m_loading; });
}

void rg_ChaCuoYinQing::loaderMain(DictionaryKind kind) {
    {
        // Runs in progress still read the tables; they are emptied once the last one has ended.
        std::unique_lock lock(m_guardMutex);
        m_guardChanged.wait(lock, [this] { return m_readers == 0 || m_cancelLoad; });
        if (!m_cancelLoad && !m_tablesCleared) {
            m_correctWords.clear();
            m_errorWords.clear();
            m_index.clear();
            m_tablesCleared = true;
        }
    }
    const auto k = static_cast<std::size_t>(kind);
    m_kindReports[k] = {};
    if (kind == DictionaryKind::Automatic) {
        loadFile(kind, m_locations.automaticDictionaryPath());
    } else {
        const std::string directory = m_locations.dictionaryDirectory(kind);
        for (const auto& name : m_lists[k]) {
            if (m_cancelLoad) {
                break;
            }
            // setup.ini is the user's to edit: a listed "../.." must not reach files outside the
            // dictionary folder, whose lines would then show up as suggestions.
            if (!isPlainFileName(name)) {
                addProblem(kind, {LoadProblem::Reason::InvalidName, kind, name});
                continue;
            }
            loadFile(kind, directory + utf16ToUtf8Lossy(name));
        }
    }
    if (m_remainingLoaders.fetch_sub(1) != 1) {
        return;
    }
    // The last loader to finish completes the load.
    if (m_cancelLoad) {
        return;  // the load that cancelled this one owns the tables now
    }
    LoadReport report;
    for (auto& kindReport : m_kindReports) {
        report.filesRead += kindReport.filesRead;
        for (auto& problem : kindReport.problems) {
            report.problems.push_back(std::move(problem));
        }
    }
    bool outOfMemory = false;
    try {
        runSideBySide([this] { m_errorWords.finalize(); }, [this] { m_correctWords.finalize(); });
        m_index.build(m_correctWords, m_errorWords);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    if (outOfMemory) {
        // Runs must not see half-built tables: they get none, and the owner hears why.
        m_correctWords.clear();
        m_errorWords.clear();
        m_correctWords.finalize();
        m_errorWords.finalize();
        m_index.clear();
        report.problems.push_back({LoadProblem::Reason::OutOfMemory, kind, {}});
    }
    m_loadReport = std::move(report);
    // Reported before waiting runs are let go, so that the owner hears of the end of loading
    // before anything a run reports.
    onDictionariesLoaded.call(*this);
    {
        std::lock_guard lock(m_guardMutex);
        m_loading = false;
    }
    m_guardChanged.notify_all();
}

void rg_ChaCuoYinQing::addProblem(DictionaryKind kind, LoadProblem problem) {
    m_kindReports[static_cast<std::size_t>(kind)].problems.push_back(std::move(problem));
}

void rg_ChaCuoYinQing::loadFile(DictionaryKind kind, const std::string& path) {
    if (m_cancelLoad || !pathExists(path)) {
        return;
    }
    const std::u16string widePath = utf8ToUtf16(path);
    onDictionaryFileLoading.call(*this, std::u16string_view(widePath));
    try {
        ReadFailure failure = ReadFailure::None;
        const auto bytes = readWholeFile(path, &failure);
        if (!bytes) {
            addProblem(kind, {LoadProblem::Reason::Unreadable, kind, widePath, failure});
            return;
        }
        ++m_kindReports[static_cast<std::size_t>(kind)].filesRead;
        if (bytes->empty()) {
            return;
        }
        const std::u16string text = decodeDictionaryBytes(*bytes);
        if (const auto line = lineCutShortAt(*bytes, text); line != 0) {
            addProblem(kind, {LoadProblem::Reason::CutShort, kind, widePath, {}, line});
        }
        WordBatch batch;
        const std::size_t tooLong =
            parseDictionaryText(text, isErrorKind(kind), correctWordTag(kind), batch);
        if (tooLong != 0) {
            addProblem(kind, {LoadProblem::Reason::LongEntries,
                              kind,
                              widePath,
                              {},
                              static_cast<std::int64_t>(tooLong)});
        }
        (isErrorKind(kind) ? m_errorWords : m_correctWords).insert(std::move(batch));
    } catch (const std::bad_alloc&) {
        addProblem(kind, {LoadProblem::Reason::OutOfMemory, kind, widePath});
    }
}

void rg_ChaCuoYinQing::beginRead() const {
    std::unique_lock lock(m_guardMutex);
    m_guardChanged.wait(lock, [this] { return !m_loading; });
    ++m_readers;
}

void rg_ChaCuoYinQing::endRead() const {
    {
        std::lock_guard lock(m_guardMutex);
        --m_readers;
    }
    m_guardChanged.notify_all();
}

rg_ChaCuoYinQing::TableReadGuard::TableReadGuard(const rg_ChaCuoYinQing& engine)
    : m_engine(engine) {
    m_engine.beginRead();
}

rg_ChaCuoYinQing::TableReadGuard::~TableReadGuard() {
    m_engine.endRead();
}

std::int32_t rg_ChaCuoYinQing::longestEntryLength() const {
    return std::max(m_correctWords.longestKeyLength(), m_errorWords.longestKeyLength());
}

std::size_t rg_ChaCuoYinQing::tableMemoryUsage() const {
    return m_correctWords.memoryUsage() + m_errorWords.memoryUsage() + m_index.memoryUsage();
}

void rg_ChaCuoYinQing::setClockForTesting(std::function<std::int64_t()> clock,
                                          std::int32_t stepsPerReading) {
    m_clock = std::move(clock);
    m_stepsPerClockReading = std::max(1, stepsPerReading);
}

void rg_ChaCuoYinQing::runCheck(std::int32_t totalLength, std::int32_t quantization,
                                std::int32_t engineType, std::int32_t accuracyBoost) {
    {
        TableReadGuard guard(*this);
        m_quantization = quantization < 1 ? longestEntryLength() : quantization;
        m_accuracyBoost = accuracyBoost;
        m_findings.clear();
        m_findingCount = 0;
        if (engineType == 1 || engineType == 2) {
            m_engineType = engineType;
            m_totalLength = totalLength;
            running = 1;
            // Only 1 turns the context check on; every other value reports unmatched characters.
            Scan scan(*this, totalLength, m_quantization, accuracyBoost == 1);
            if (engineType == 1) {
                scan.forwardScan();
            } else {
                scan.reverseScan();
            }
        }
    }
    // The guard is released first: the owner may start a load from these hooks.
    if (engineType == 1 || engineType == 2) {
        onCheckCompleted.call(*this);
    }
    onCheckFinished.call(*this);
}

}  // namespace kjf
