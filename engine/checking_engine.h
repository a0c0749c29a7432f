// The error-checking engine: loads the dictionaries and finds errors and suspected errors in a
// text that it fetches piece by piece from its owner.
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
#include "engine/dictionary_kind.h"
#include "engine/dictionary_loader.h"
#include "engine/finding.h"
#include "engine/hook.h"
#include "engine/load_report.h"
#include "engine/word_index.h"
#include "engine/word_table.h"

namespace kjf {

// The error-checking engine.
//
// Threads: construct, bind hooks, loadDictionaries and destroy on the owner's thread; runCheck on
// one worker at a time; `running` may be cleared from any thread. The engine guards its tables:
// a run waits while a load fills them, and a load waits until runs (and other readers holding a
// TableReadGuard) have finished before it clears them.
class rg_ChaCuoYinQing {
  public:
    using Lists = std::vector<std::u16string>;

    // The dictionaries are read from folders.
    explicit rg_ChaCuoYinQing(DictionaryFolders folders);
    // Portable: programDirectory ends in '/' and holds the data/ tree.
    explicit rg_ChaCuoYinQing(const std::string& programDirectory);
    // Cancels and joins a load still running. No run may be in progress.
    ~rg_ChaCuoYinQing();
    rg_ChaCuoYinQing(const rg_ChaCuoYinQing&) = delete;
    rg_ChaCuoYinQing& operator=(const rg_ChaCuoYinQing&) = delete;

    // The eight hooks, in slot order. Each is called with the owner, this engine and the tag
    // first. Threads: 1, 2, 6, 7, 8 on the run's thread; 3 on the thread calling
    // loadDictionaries; 4 and 5 on a loader's thread (they must not wait for the thread that
    // calls loadDictionaries).
    HookSlot<rg_ChaCuoYinQing> onCheckFinished;
    // speed in 10,000 characters per hour, percent, maximum (always 100)
    HookSlot<rg_ChaCuoYinQing, double, std::int32_t, std::int32_t> onProgress;
    // replaces the enabled file names: system correct, system error, user correct, user error
    HookSlot<rg_ChaCuoYinQing, Lists&, Lists&, Lists&, Lists&> onListsRequested;
    // full path of a dictionary file that exists, just before it is read
    HookSlot<rg_ChaCuoYinQing, std::u16string_view> onDictionaryFileLoading;
    // once per load, when all five loaders have finished and before runs waiting for the load
    // go on (so it must not wait for a run)
    HookSlot<rg_ChaCuoYinQing> onDictionariesLoaded;
    // position, length, out text: must answer with the source's text of that range (less at the
    // end of the text) before returning. The engine may ask for a longer range than a window and
    // look at its prefixes or suffixes, so the source must not change during a run.
    HookSlot<rg_ChaCuoYinQing, std::int32_t, std::int32_t, std::u16string&> onTextRequested;
    // type, position, length, word, suggestion: every Correct, Error and Suspected report
    HookSlot<rg_ChaCuoYinQing, FindingType, std::int32_t, std::int32_t, std::u16string_view,
             std::u16string_view>
        onWordReported;
    // after a forward or reverse scan has ended, before onCheckFinished
    HookSlot<rg_ChaCuoYinQing> onCheckCompleted;

    // Asks the owner for the enabled lists (onListsRequested, on this thread), starts a load of
    // them in the background and returns at once: it never waits for files, a build or the cache
    // writer. A load still running is cancelled; only the new load calls onDictionariesLoaded.
    // The load waits for runs in progress to end before it empties the tables, and runs started
    // meanwhile wait for it. Must not be called from a hook of this engine.
    void loadDictionaries();
    // Blocks until no load is in progress.
    void waitForLoading();

    // The file where a load keeps what it built from the dictionary files, so that the next load
    // of unchanged files (by their whole content) reads it instead of building again; a missing,
    // stale or damaged file is rebuilt, never trusted. Empty (the default): every load builds.
    // Set it on the owner's thread, before loadDictionaries.
    void setCacheFile(std::string path) { m_loader.setCacheFile(std::move(path)); }

    // What the last finished load could not use. Enabled names that are not plain file names
    // are never read. Read it from onDictionariesLoaded or after waitForLoading, before the next
    // load starts.
    const LoadReport& loadReport() const { return m_loader.loadReport(); }

    // Checks the source's text of totalLength positions: forward (engineType 1) or in reverse (2),
    // with windows of up to `quantization` positions (below 1: longestEntryLength()), and the
    // context check for unmatched characters when accuracyBoost is 1. Other engine types run no
    // scan. Reports through the hooks, keeps Error and Suspected findings in findings(), and always
    // ends with onCheckFinished. Waits while a load is in progress.
    void runCheck(std::int32_t totalLength, std::int32_t quantization, std::int32_t engineType,
                  std::int32_t accuracyBoost);

    // The automatic quantization: the longest key of either table, in code units (no bound).
    std::int32_t longestEntryLength() const;

    // 1 while a scan may continue; clear it from any thread to interrupt the run.
    std::atomic<std::int32_t> running{1};

    // Results of the last run: read after onCheckFinished, never during a run.
    const std::vector<rg_BiaoJiCiYuLei>& findings() const { return m_findings; }
    // The number of Error and Suspected findings of the last run, also when they were not kept.
    std::size_t findingCount() const { return m_findingCount; }

    // Whether runs keep their findings in findings() (the default). An owner that takes every
    // finding from onWordReported as it comes may turn this off, so that a run's memory does not
    // grow with its findings. Not during a run.
    void setKeepFindings(bool keep) { m_keepFindings = keep; }
    std::int32_t quantization() const { return m_quantization; }
    std::int32_t accuracyBoost() const { return m_accuracyBoost; }
    std::int32_t engineType() const { return m_engineType; }

    // Keeps loads from changing the tables while it lives; waits for a load in progress.
    class TableReadGuard {
      public:
        explicit TableReadGuard(const rg_ChaCuoYinQing& engine) : m_guard(engine.m_loader) {}

      private:
        DictionaryLoader::ReadGuard m_guard;
    };

    // The tables; read them only under a TableReadGuard (runCheck holds one itself).
    const WordTable& correctWords() const { return m_loader.image().correctWords(); }
    const WordTable& errorWords() const { return m_loader.image().errorWords(); }
    std::size_t tableMemoryUsage() const { return m_loader.image().byteSize(); }

    // The enabled lists of the last finished load.
    const Lists& systemCorrectList() const { return m_loader.enabledList(0); }
    const Lists& systemErrorList() const { return m_loader.enabledList(1); }
    const Lists& userCorrectList() const { return m_loader.enabledList(2); }
    const Lists& userErrorList() const { return m_loader.enabledList(3); }

    // For tests: the revision of the dictionary reading rules that names a load's inputs.
    void setReadingRevisionForTesting(std::uint32_t revision) {
        m_loader.setReadingRevisionForTesting(revision);
    }
    // For tests: the wall clock in whole seconds, and how many steps pass between two readings.
    void setClockForTesting(std::function<std::int64_t()> clock, std::int32_t stepsPerReading);

  private:
    class Scan;
    friend class Scan;

    DictionaryLoader m_loader;

    std::vector<rg_BiaoJiCiYuLei> m_findings;
    std::size_t m_findingCount = 0;
    bool m_keepFindings = true;
    std::int32_t m_quantization = 0;
    std::int32_t m_accuracyBoost = 0;
    std::int32_t m_engineType = 0;
    std::int32_t m_totalLength = 0;

    std::function<std::int64_t()> m_clock;
    std::int32_t m_stepsPerClockReading = 64;
};

}  // namespace kjf
