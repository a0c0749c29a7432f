#include "engine/dictionary_loader.h"

#include <system_error>

#include "engine/dictionary_file.h"
#include "engine/side_by_side.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

// One dictionary file of a load: read (and hashed) by its kind's reader, parsed only when no
// cache of the same inputs can be used.
struct DictionaryLoader::FileInput {
    std::u16string name;      // as listed; empty for the automatic dictionary
    std::u16string widePath;  // empty for a name that is never read
    ReadFailure failure = ReadFailure::None;
    bool read = false;
    std::uint64_t hash = 0;
    std::string bytes;
    std::vector<LoadProblem> problems;  // in the order they arose
};

// One load: what it was asked to read and what it read, on a thread of its own.
struct DictionaryLoader::Job {
    std::uint64_t number = 0;
    std::array<Lists, 4> lists;
    std::array<std::vector<FileInput>, 5> inputs;  // each reader writes only its own kind's
    std::atomic<bool> cancelled{false};
    std::thread thread;
    std::shared_ptr<Job> previous;  // joined before this one begins, then let go
};

DictionaryLoader::DictionaryLoader(DictionaryFolders folders, Callbacks callbacks)
    : m_folders(std::move(folders)),
      m_callbacks(std::move(callbacks)),
      m_readingRevision(kDictionaryReadingRevision),
      m_image(DictionaryImage::empty({})) {}

DictionaryLoader::~DictionaryLoader() {
    std::shared_ptr<Job> job;
    {
        std::lock_guard lock(m_guardMutex);
        job = m_job;
        if (job) {
            job->cancelled = true;
        }
    }
    m_guardChanged.notify_all();
    if (job && job->thread.joinable()) {
        job->thread.join();
    }
    if (m_cacheWriter.joinable()) {
        m_cacheWriter.join();
    }
}

void DictionaryLoader::load() {
    std::lock_guard callLock(m_loadCallMutex);
    auto job = std::make_shared<Job>();
    if (m_callbacks.requestLists) {
        m_callbacks.requestLists(job->lists[0], job->lists[1], job->lists[2], job->lists[3]);
    }
    {
        std::lock_guard lock(m_guardMutex);
        job->number = ++m_requested;
        m_loading = true;
        if (m_job) {
            m_job->cancelled = true;  // its tables would be replaced at once
        }
        job->previous = std::move(m_job);
        m_job = job;
    }
    m_guardChanged.notify_all();
    const auto work = [this](Job& j) {
        // Loads end in order, and only one builds or writes at a time.
        if (j.previous) {
            if (j.previous->thread.joinable()) {
                j.previous->thread.join();
            }
            j.previous.reset();
        }
        runJob(j);
    };
    try {
        job->thread = std::thread([work, raw = job.get()] { work(*raw); });
    } catch (const std::system_error&) {
        work(*job);  // no thread to be had: load here, slower but complete
    }
}

void DictionaryLoader::waitForLoading() const {
    std::unique_lock lock(m_guardMutex);
    m_guardChanged.wait(lock, [this] { return !m_loading; });
}

void DictionaryLoader::runJob(Job& job) {
    // The five kinds are read side by side; a kind whose reader cannot start is read here.
    {
        std::array<std::thread, 5> readers;
        std::vector<DictionaryKind> notStarted;
        for (std::size_t i = 0; i < readers.size(); ++i) {
            const DictionaryKind kind = kAllDictionaryKinds[i];
            try {
                readers[i] = std::thread([this, &job, kind] { readKind(job, kind); });
            } catch (const std::system_error&) {
                notStarted.push_back(kind);
            }
        }
        for (const DictionaryKind kind : notStarted) {
            readKind(job, kind);
        }
        for (auto& reader : readers) {
            if (reader.joinable()) {
                reader.join();
            }
        }
    }
    // Runs in progress still read the tables; they are let go before anything is built, so that
    // the old tables and the new are never held at once.
    if (!waitForReaders(job)) {
        return;
    }
    {
        std::lock_guard lock(m_guardMutex);
        m_image = DictionaryImage::empty({});
    }
    bool fromCache = false;
    auto image = imageFor(job, fromCache);
    if (job.cancelled) {
        return;  // the load that cancelled this one fills the tables
    }
    {
        std::lock_guard lock(m_guardMutex);
        m_image = std::move(image);
        m_lists = job.lists;
        m_loadReport = m_image->report();
        m_loadReport.fromCache = fromCache;
    }
    // Before waiting readers go on, so that the owner hears of the end of loading before
    // anything a run reports.
    if (m_callbacks.loaded) {
        m_callbacks.loaded();
    }
    {
        std::lock_guard lock(m_guardMutex);
        if (job.number == m_requested) {
            m_loading = false;
        }
    }
    m_guardChanged.notify_all();
}

bool DictionaryLoader::waitForReaders(const Job& job) {
    std::unique_lock lock(m_guardMutex);
    m_guardChanged.wait(lock, [&] { return m_readers == 0 || job.cancelled; });
    return !job.cancelled;
}

void DictionaryLoader::readKind(Job& job, DictionaryKind kind) {
    const auto k = static_cast<std::size_t>(kind);
    if (kind == DictionaryKind::Automatic) {
        readInput(job, kind, m_folders.automaticDictionaryPath(), u"");
        return;
    }
    const std::string directory = m_folders.directory(kind);
    for (const auto& name : job.lists[k]) {
        if (job.cancelled) {
            break;
        }
        // setup.ini is the user's to edit: a listed "../.." must not reach files outside the
        // dictionary folder, whose lines would then show up as suggestions.
        if (!isPlainFileName(name)) {
            FileInput& input = job.inputs[k].emplace_back();
            input.name = name;
            input.problems.push_back({LoadProblem::Reason::InvalidName, kind, name});
            continue;
        }
        readInput(job, kind, directory + utf16ToUtf8Lossy(name), name);
    }
}

void DictionaryLoader::readInput(Job& job, DictionaryKind kind, const std::string& path,
                                 std::u16string_view name) {
    if (job.cancelled) {
        return;
    }
    FileInput& input = job.inputs[static_cast<std::size_t>(kind)].emplace_back();
    input.name = name;
    input.widePath = utf8ToUtf16(path);
    if (!pathExists(path)) {
        input.failure = ReadFailure::Missing;  // skipped without a word, as ever
        return;
    }
    if (m_callbacks.fileLoading) {
        m_callbacks.fileLoading(input.widePath);
    }
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

std::uint64_t DictionaryLoader::fingerprintOf(const Job& job) const {
    DictionaryFingerprint fingerprint;
    fingerprint.add(m_readingRevision);
    for (std::size_t k = 0; k < job.inputs.size(); ++k) {
        fingerprint.add(k);
        fingerprint.add(job.inputs[k].size());
        for (const FileInput& input : job.inputs[k]) {
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

void DictionaryLoader::parseInputs(Job& job, DictionaryKind kind, WordTableBuilder& correctWords,
                                   WordTableBuilder& errorWords) {
    for (FileInput& input : job.inputs[static_cast<std::size_t>(kind)]) {
        if (!input.read || input.bytes.empty() || job.cancelled) {
            continue;
        }
        try {
            const DecodedDictionary decoded = decodeDictionaryFile(input.bytes);
            const std::u16string& text = decoded.text;
            if (const auto line = lineCutShortAt(decoded); line != 0) {
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

std::shared_ptr<const DictionaryImage> DictionaryLoader::imageFor(Job& job, bool& fromCache) {
    const std::uint64_t fingerprint = fingerprintOf(job);
    // The last load's cache write may be what this load can read back.
    if (m_cacheWriter.joinable()) {
        m_cacheWriter.join();
    }
    std::shared_ptr<const DictionaryImage> image;
    if (!m_cacheFile.empty()) {
        image = DictionaryImage::open(m_cacheFile, fingerprint);
    }
    fromCache = image != nullptr;
    if (image) {
        return image;
    }
    bool built = false;
    try {
        WordTableBuilder correctWords;
        WordTableBuilder errorWords;
        std::vector<std::function<void()>> parsers;
        for (const DictionaryKind kind : kAllDictionaryKinds) {
            parsers.push_back([&job, kind, &correctWords, &errorWords] {
                parseInputs(job, kind, correctWords, errorWords);
            });
        }
        runAll(parsers);
        if (job.cancelled) {
            return DictionaryImage::empty({});
        }
        runSideBySide([&] { errorWords.finalize(); }, [&] { correctWords.finalize(); });
        image = DictionaryImage::build(correctWords, errorWords, collectReport(job), fingerprint);
        built = true;
    } catch (const std::bad_alloc&) {
        // Runs must not see half-built tables: they get none, and the owner hears why.
        LoadReport report = collectReport(job);
        report.problems.push_back(
            {LoadProblem::Reason::OutOfMemory, DictionaryKind::SystemCorrect, {}});
        image = DictionaryImage::empty(report);
    }
    if (built && !m_cacheFile.empty()) {
        // The next start finds this load's work done; the next load waits for the write.
        try {
            m_cacheWriter = std::thread([image, path = m_cacheFile] {
                // A cache that cannot be written costs the next start a build, nothing more.
                if (makeDirectoryPath(parentDirectory(path))) {
                    (void)image->write(path);
                }
            });
        } catch (const std::system_error&) {
        }
    }
    return image;
}

LoadReport DictionaryLoader::collectReport(const Job& job) {
    LoadReport report;
    for (const auto& inputs : job.inputs) {
        for (const FileInput& input : inputs) {
            report.filesRead += input.read ? 1 : 0;
            report.problems.insert(report.problems.end(), input.problems.begin(),
                                   input.problems.end());
        }
    }
    return report;
}

DictionaryLoader::ReadGuard::ReadGuard(const DictionaryLoader& loader) : m_loader(loader) {
    std::unique_lock lock(m_loader.m_guardMutex);
    m_loader.m_guardChanged.wait(lock, [this] { return !m_loader.m_loading; });
    ++m_loader.m_readers;
}

DictionaryLoader::ReadGuard::~ReadGuard() {
    {
        std::lock_guard lock(m_loader.m_guardMutex);
        --m_loader.m_readers;
    }
    m_loader.m_guardChanged.notify_all();
}

}  // namespace kjf
