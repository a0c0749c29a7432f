#include "engine/checking_engine.h"

#include <algorithm>
#include <ctime>
#include <system_error>

#include "engine/dictionary_file.h"
#include "engine/dictionary_image.h"
#include "engine/scan.h"
#include "engine/side_by_side.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

rg_ChaCuoYinQing::rg_ChaCuoYinQing(Locations locations)
    : m_locations(std::move(locations)),
      m_image(emptyImage()),
      m_clock([] { return static_cast<std::int64_t>(std::time(nullptr)); }) {}

rg_ChaCuoYinQing::rg_ChaCuoYinQing(const std::string& programDirectory)
    : rg_ChaCuoYinQing(Locations::portable(programDirectory)) {}

rg_ChaCuoYinQing::~rg_ChaCuoYinQing() {
    stopLoaders();
    if (m_cacheWriter.joinable()) {
        m_cacheWriter.join();
    }
}

void rg_ChaCuoYinQing::setCacheFile(std::string path) {
    m_cacheFile = std::move(path);
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
    if (m_cacheWriter.joinable()) {
        m_cacheWriter.join();  // this load may read what it writes
    }
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
            m_image = emptyImage();
            m_tablesCleared = true;
        }
    }
    const auto k = static_cast<std::size_t>(kind);
    m_inputs[k].clear();
    if (kind == DictionaryKind::Automatic) {
        readInput(kind, m_locations.automaticDictionaryPath(), u"");
    } else {
        const std::string directory = m_locations.dictionaryDirectory(kind);
        for (const auto& name : m_lists[k]) {
            if (m_cancelLoad) {
                break;
            }
            // setup.ini is the user's to edit: a listed "../.." must not reach files outside the
            // dictionary folder, whose lines would then show up as suggestions.
            if (!isPlainFileName(name)) {
                FileInput& input = m_inputs[k].emplace_back();
                input.name = name;
                input.problems.push_back({LoadProblem::Reason::InvalidName, kind, name});
                continue;
            }
            readInput(kind, directory + utf16ToUtf8Lossy(name), name);
        }
    }
    if (m_remainingLoaders.fetch_sub(1) != 1) {
        return;
    }
    // The last loader to finish completes the load.
    if (m_cancelLoad) {
        return;  // the load that cancelled this one owns the tables now
    }
    finishLoad();
    // Reported before waiting runs are let go, so that the owner hears of the end of loading
    // before anything a run reports.
    onDictionariesLoaded.call(*this);
    {
        std::lock_guard lock(m_guardMutex);
        m_loading = false;
    }
    m_guardChanged.notify_all();
}

void rg_ChaCuoYinQing::readInput(DictionaryKind kind, const std::string& path,
                                 std::u16string_view name) {
    if (m_cancelLoad) {
        return;
    }
    FileInput& input = m_inputs[static_cast<std::size_t>(kind)].emplace_back();
    input.name = name;
    input.widePath = utf8ToUtf16(path);
    if (!pathExists(path)) {
        input.failure = ReadFailure::Missing;  // skipped without a word, as ever
        return;
    }
    onDictionaryFileLoading.call(*this, std::u16string_view(input.widePath));
    try {
        auto bytes = readWholeFile(path, &input.failure);
        if (!bytes) {
            input.problems.push_back(
                {LoadProblem::Reason::Unreadable, kind, input.widePath, input.failure});
            return;
        }
        input.hash = DictionaryFingerprint::hash(*bytes);
        input.bytes = std::move(*bytes);
        input.read = true;
    } catch (const std::bad_alloc&) {
        input.problems.push_back({LoadProblem::Reason::OutOfMemory, kind, input.widePath});
    }
}

std::uint64_t rg_ChaCuoYinQing::fingerprintOfInputs() const {
    DictionaryFingerprint fingerprint;
    for (std::size_t k = 0; k < m_inputs.size(); ++k) {
        fingerprint.add(k);
        fingerprint.add(m_inputs[k].size());
        for (const FileInput& input : m_inputs[k]) {
            fingerprint.add(std::string_view(reinterpret_cast<const char*>(input.name.data()),
                                             input.name.size() * 2));
            fingerprint.add(static_cast<std::uint64_t>(input.failure));
            fingerprint.add(input.read ? 1 : 0);
            fingerprint.add(input.hash);
            fingerprint.add(input.problems.size());
        }
    }
    return fingerprint.value();
}

void rg_ChaCuoYinQing::parseInputs(DictionaryKind kind, WordTableBuilder& correctWords,
                                   WordTableBuilder& errorWords) {
    for (FileInput& input : m_inputs[static_cast<std::size_t>(kind)]) {
        if (!input.read || input.bytes.empty() || m_cancelLoad) {
            continue;
        }
        try {
            const std::u16string text = decodeDictionaryBytes(input.bytes);
            if (const auto line = lineCutShortAt(input.bytes, text); line != 0) {
                input.problems.push_back(
                    {LoadProblem::Reason::CutShort, kind, input.widePath, {}, line});
            }
            input.bytes = {};
            WordBatch batch;
            const std::size_t tooLong =
                parseDictionaryText(text, isErrorKind(kind), correctWordTag(kind), batch);
            if (tooLong != 0) {
                input.problems.push_back({LoadProblem::Reason::LongEntries,
                                          kind,
                                          input.widePath,
                                          {},
                                          static_cast<std::int64_t>(tooLong)});
            }
            (isErrorKind(kind) ? errorWords : correctWords).insert(std::move(batch));
        } catch (const std::bad_alloc&) {
            input.problems.push_back({LoadProblem::Reason::OutOfMemory, kind, input.widePath});
        }
    }
}

void rg_ChaCuoYinQing::finishLoad() {
    const std::uint64_t fingerprint = fingerprintOfInputs();
    std::shared_ptr<const DictionaryImage> image;
    if (!m_cacheFile.empty()) {
        image = DictionaryImage::open(m_cacheFile, fingerprint);
    }
    const bool fromCache = image != nullptr;
    if (!image) {
        LoadReport report;
        bool built = false;
        try {
            WordTableBuilder correctWords;
            WordTableBuilder errorWords;
            std::vector<std::function<void()>> parsers;
            for (const DictionaryKind kind : kAllDictionaryKinds) {
                parsers.push_back([this, kind, &correctWords, &errorWords] {
                    parseInputs(kind, correctWords, errorWords);
                });
            }
            runAll(parsers);
            runSideBySide([&] { errorWords.finalize(); }, [&] { correctWords.finalize(); });
            report = collectReport();
            image = DictionaryImage::build(correctWords, errorWords, report, fingerprint);
            built = true;
        } catch (const std::bad_alloc&) {
            // Runs must not see half-built tables: they get none, and the owner hears why.
            report = collectReport();
            report.problems.push_back(
                {LoadProblem::Reason::OutOfMemory, DictionaryKind::SystemCorrect, {}});
            image = emptyImage(report);
        }
        if (built && !m_cacheFile.empty()) {
            // The next start finds this load's work done; a load meanwhile waits for the write.
            try {
                m_cacheWriter = std::thread([image, path = m_cacheFile] {
                    makeDirectoryPath(parentDirectory(path));
                    image->write(path);
                });
            } catch (const std::system_error&) {
            }
        }
    }
    for (auto& inputs : m_inputs) {
        inputs.clear();
        inputs.shrink_to_fit();
    }
    m_image = std::move(image);
    m_loadReport = m_image->report();
    m_loadReport.fromCache = fromCache;
}

LoadReport rg_ChaCuoYinQing::collectReport() const {
    LoadReport report;
    for (const auto& inputs : m_inputs) {
        for (const FileInput& input : inputs) {
            report.filesRead += input.read ? 1 : 0;
            report.problems.insert(report.problems.end(), input.problems.begin(),
                                   input.problems.end());
        }
    }
    return report;
}

std::shared_ptr<const DictionaryImage> rg_ChaCuoYinQing::emptyImage(const LoadReport& report) {
    return DictionaryImage::empty(report);
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
    return std::max(correctWords().longestKeyLength(), errorWords().longestKeyLength());
}

std::size_t rg_ChaCuoYinQing::tableMemoryUsage() const {
    return m_image->byteSize();
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
