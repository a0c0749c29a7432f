#include "server/proofreading_service.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <exception>

#include "engine/checking_engine.h"
#include "run/run_texts.h"
#include "run/text_snapshot.h"
#include "text/utf.h"

namespace kjf::server {

// One load of the dictionaries, with the engine that checks against them. The engine runs one
// scan at a time (its hooks, its text and its findings are its own), so scans take turns; a scan
// of a paragraph takes microseconds. The context pass, the slow part, runs on many threads at once.
struct ProofreadingService::Generation {
    std::unique_ptr<rg_ChaCuoYinQing> engine;
    std::unique_ptr<ContextPass> context;  // with this load's curated words; null: none

    // Guards the engine's runs and what they work on: the text, and the findings of the check
    // in progress, which take every finding as the engine reports it (the engine keeps none).
    std::mutex scanMutex;
    std::u16string scanText;
    CheckResult* collecting = nullptr;
};

// What a file looked like: a change of content through the desktop program's safe writes
// (a new file renamed into place) changes the identity, and any write changes the time.
struct ProofreadingService::FileStamp {
    std::string path;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0;  // nanoseconds
    std::int64_t changed = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

std::unique_ptr<ProofreadingService> ProofreadingService::start(const Locations& locations,
                                                                ServiceOptions options, Log log) {
    std::unique_ptr<ProofreadingService> service(
        new ProofreadingService(locations, std::move(options), std::move(log)));
    if (!service->m_current) {
        return nullptr;
    }
    if (service->m_options.watchInterval.count() > 0) {
        service->m_watcher =
            std::jthread([self = service.get()](std::stop_token stop) { self->watch(stop); });
    }
    return service;
}

ProofreadingService::ProofreadingService(const Locations& locations, ServiceOptions options,
                                         Log log)
    : m_locations(locations),
      m_options(std::move(options)),
      m_log(log ? std::move(log) : [](std::u16string_view) {}),
      m_contextLoader(locations) {
    if (m_options.context.enabled) {
        std::u16string failure;
        m_context = m_contextLoader.passFor(m_options.context.modelPath, &failure);
        if (!failure.empty()) {
            m_log(failure);
        }
    }
    // Files changed from here on are loaded again by the watcher.
    m_stamps = takeStamps();
    auto first = load();
    if (first) {
        m_current = std::move(first);
        m_loadCount = 1;
    }
}

// The watcher, declared last, is stopped and joined first.
ProofreadingService::~ProofreadingService() = default;

std::vector<ProofreadingService::FileStamp> ProofreadingService::takeStamps() const {
    std::vector<std::string> paths{m_locations.settingsFile(),
                                   m_locations.automaticDictionaryPath()};
    std::array<std::vector<std::u16string>, 4> lists;
    readEnabledLists(m_locations.settingsDirectory, lists[0], lists[1], lists[2], lists[3]);
    constexpr std::array<DictionaryKind, 4> kinds{
        DictionaryKind::SystemCorrect, DictionaryKind::SystemError, DictionaryKind::UserCorrect,
        DictionaryKind::UserError};
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        for (const auto& name : lists[k]) {
            paths.push_back(m_locations.dictionaryDirectory(kinds[k]) + utf16ToUtf8Lossy(name));
        }
    }
    std::vector<FileStamp> stamps;
    for (auto& path : paths) {
        FileStamp stamp;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            stamp.exists = true;
            stamp.device = info.st_dev;
            stamp.inode = info.st_ino;
            stamp.size = info.st_size;
            stamp.modified = info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec;
            stamp.changed = info.st_ctim.tv_sec * 1'000'000'000LL + info.st_ctim.tv_nsec;
        }
        stamp.path = std::move(path);
        stamps.push_back(std::move(stamp));
    }
    return stamps;
}

std::shared_ptr<ProofreadingService::Generation> ProofreadingService::load() const {
    auto generation = std::make_shared<Generation>();
    generation->engine = std::make_unique<rg_ChaCuoYinQing>(m_locations.dictionaryFolders());
    rg_ChaCuoYinQing& engine = *generation->engine;
    bindEnabledListsFromSettings(engine, &m_locations.settingsDirectory);
    bindTextSnapshot(engine, &generation->scanText);
    engine.setKeepFindings(false);
    engine.onWordReported.bind(
        [](void* owner, rg_ChaCuoYinQing& reporter, std::int32_t, FindingType type,
           std::int32_t position, std::int32_t length, std::u16string_view word,
           std::u16string_view suggestion) {
            CheckResult& result = *static_cast<Generation*>(owner)->collecting;
            if (!isStoredFinding(type) || !result.complete) {
                return;
            }
            if (result.findings.size() == kMaxFindings) {
                result.complete = false;
                reporter.running = 0;
                return;
            }
            result.findings.push_back(
                {type, position, length, std::u16string(word), std::u16string(suggestion)});
        },
        generation.get(), 0);
    engine.setCacheFile(m_locations.dictionaryCacheFile());
    engine.loadDictionaries();
    engine.waitForLoading();
    for (const auto& problem : engine.loadReport().problems) {
        m_log(loadProblemText(problem));
    }
    if (noWordsLoaded(engine)) {
        m_log(noDictionaryText(m_locations.settingsDirectory));
        return nullptr;
    }
    if (m_context) {
        generation->context = std::make_unique<ContextPass>(*m_context);
        generation->context->readCuratedWords(m_locations, engine);
    }
    return generation;
}

CheckResult ProofreadingService::check(std::u16string_view text) const {
    std::shared_ptr<Generation> generation;
    {
        std::lock_guard lock(m_currentMutex);
        generation = m_current;
    }
    rg_ChaCuoYinQing& engine = *generation->engine;
    CheckResult result;
    {
        std::lock_guard lock(generation->scanMutex);
        generation->scanText.assign(text);
        generation->collecting = &result;
        const RunOptions& run = m_options.run;
        engine.runCheck(static_cast<std::int32_t>(text.size()), run.quantization, run.engineType,
                        run.accuracyBoost);
        generation->collecting = nullptr;
        generation->scanText.clear();
    }
    if (generation->context && result.complete) {
        result.findings =
            generation->context->apply(engine, result.findings, text, m_options.context.threshold,
                                       scanOrderOf(m_options.run.engineType));
    }
    return result;
}

std::uint64_t ProofreadingService::loadCount() const {
    std::lock_guard lock(m_currentMutex);
    return m_loadCount;
}

void ProofreadingService::watch(std::stop_token stop) {
    std::unique_lock lock(m_watchMutex);
    while (true) {
        // Wakes early only when the service stops.
        m_watchWake.wait_for(lock, stop, m_options.watchInterval, [] { return false; });
        if (stop.stop_requested()) {
            return;
        }
        lock.unlock();
        try {
            reloadIfChanged();
        } catch (const std::exception&) {
            // Memory or threads ran out: the dictionaries in use stay; the next look tries again.
            m_stamps.clear();
            m_log(u"内存不足，词库未能重新加载");
        }
        lock.lock();
    }
}

void ProofreadingService::reloadIfChanged() {
    std::erase_if(m_retired, [](const auto& g) { return g.use_count() == 1; });
    auto stamps = takeStamps();
    if (stamps == m_stamps) {
        return;
    }
    // Taken before the load: a change made while it runs is seen by the next look.
    m_stamps = std::move(stamps);
    auto generation = load();
    if (!generation) {
        m_log(u"词库已改动，但重新加载后没有一个词；仍用原来的词库");
        return;
    }
    {
        std::lock_guard lock(m_currentMutex);
        std::swap(m_current, generation);
        ++m_loadCount;
    }
    m_retired.push_back(std::move(generation));
    std::erase_if(m_retired, [](const auto& g) { return g.use_count() == 1; });
    m_log(u"词库已改动，已重新加载");
}

}  // namespace kjf::server
