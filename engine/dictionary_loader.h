// Loading the dictionaries: a reader per kind, the compiled image read back from the cache file
// or built from the files, the cache writer, and the guard that keeps a load from replacing the
// tables while anyone reads them.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/dictionary_folders.h"
#include "engine/dictionary_image.h"
#include "engine/load_report.h"

namespace kjf {

// Loads the five kinds of dictionary into one image at a time.
//
// Threads: construct, load and destroy on the owner's thread (load returns at once; the work is
// done on a thread of the load's own, which never makes the caller wait for a file, a build or a
// cache write). A new load cancels the one before it; loads end in the order they were asked for.
// Readers hold a ReadGuard: a load waits until no guard is held before it replaces the tables,
// and guards taken meanwhile wait until the load has ended.
class DictionaryLoader {
  public:
    using Lists = std::vector<std::u16string>;

    struct Callbacks {
        // Replaces the enabled names (system correct, system error, user correct, user error).
        // Called on the thread calling load.
        std::function<void(Lists&, Lists&, Lists&, Lists&)> requestLists;
        // The full path of a dictionary file that exists, just before it is read. Called on the
        // load's reader threads; must not wait for the owner's thread.
        std::function<void(std::u16string_view)> fileLoading;
        // Once per load that was not cancelled, when its tables are in place and before guards
        // waiting for the load go on (so it must not wait for a reader). Called on the load's
        // thread.
        std::function<void()> loaded;
    };

    DictionaryLoader(DictionaryFolders folders, Callbacks callbacks);
    // Cancels a load in progress and waits for it and for the cache writer. No guard may be held.
    ~DictionaryLoader();
    DictionaryLoader(const DictionaryLoader&) = delete;
    DictionaryLoader& operator=(const DictionaryLoader&) = delete;

    // Asks for the enabled lists (on this thread) and starts a load of them. Guards taken from
    // now on wait for it. A load in progress is cancelled; only the newest calls loaded.
    void load();
    // Blocks until no load is in progress.
    void waitForLoading() const;

    // See rg_ChaCuoYinQing::setCacheFile. Set it before the first load, on the owner's thread.
    void setCacheFile(std::string path) { m_cacheFile = std::move(path); }
    // For tests: the revision of the reading rules that names the inputs (see
    // kDictionaryReadingRevision). Before a load.
    void setReadingRevisionForTesting(std::uint32_t revision) { m_readingRevision = revision; }

    // What the last finished load could not use, and its enabled lists. Read them from loaded or
    // after waitForLoading, before the next load starts.
    const LoadReport& loadReport() const { return m_loadReport; }
    const Lists& enabledList(std::size_t listIndex) const { return m_lists[listIndex]; }

    // The tables of the last load; only under a ReadGuard.
    const DictionaryImage& image() const { return *m_image; }

    // Keeps loads from changing the tables while it lives; waits for a load in progress.
    class ReadGuard {
      public:
        explicit ReadGuard(const DictionaryLoader& loader);
        ~ReadGuard();
        ReadGuard(const ReadGuard&) = delete;
        ReadGuard& operator=(const ReadGuard&) = delete;

      private:
        const DictionaryLoader& m_loader;
    };

  private:
    struct Job;
    struct FileInput;

    void runJob(Job& job);
    void readKind(Job& job, DictionaryKind kind);
    void readInput(Job& job, DictionaryKind kind, const std::string& path,
                   std::u16string_view name);
    std::uint64_t fingerprintOf(const Job& job) const;
    static void parseInputs(Job& job, DictionaryKind kind, WordTableBuilder& correctWords,
                            WordTableBuilder& errorWords);
    static LoadReport collectReport(const Job& job);
    // The cached image of the job's inputs, or one built from them (written to the cache in the
    // background).
    std::shared_ptr<const DictionaryImage> imageFor(Job& job, bool& fromCache);
    // Waits until no guard is held; false when the job was cancelled meanwhile.
    bool waitForReaders(const Job& job);

    const DictionaryFolders m_folders;
    const Callbacks m_callbacks;
    std::string m_cacheFile;
    std::uint32_t m_readingRevision;

    std::mutex m_loadCallMutex;  // one load call at a time
    std::shared_ptr<Job> m_job;  // the newest load; its thread joins the one before it
    std::thread m_cacheWriter;   // the last built image being written; joined by the next load

    mutable std::mutex m_guardMutex;  // guards the four below and the swap of m_image
    mutable std::condition_variable m_guardChanged;
    mutable int m_readers = 0;
    bool m_loading = false;
    std::uint64_t m_requested = 0;  // loads asked for; the newest one ends m_loading

    std::shared_ptr<const DictionaryImage> m_image;
    std::array<Lists, 4> m_lists;
    LoadReport m_loadReport;
};

}  // namespace kjf
