// The proofreading server's checking: the dictionaries and the language model loaded once, checks
// from many threads at a time, and the dictionaries loaded again in the background when the
// desktop program (or anyone) changes their files or the enabled lists.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/finding.h"
#include "run/context_pass.h"
#include "run/run_options.h"
#include "settings/locations.h"

namespace kjf::server {

struct ServiceOptions {
    RunOptions run;           // the engine's options for every check
    ContextSettings context;  // whether the context check runs, its threshold and model
    // How often the dictionary files are looked at (their sizes, times and identities); zero
    // never looks.
    std::chrono::milliseconds watchInterval{1000};
};

// The most dictionary findings a check collects: a text with more is not prose, and its answer
// would only grow without use.
inline constexpr std::size_t kMaxFindings = 10000;

// What a check found.
struct CheckResult {
    std::vector<rg_BiaoJiCiYuLei> findings;  // in the scan's order
    // False when the scan stopped at kMaxFindings findings; the context check then did not run.
    bool complete = true;
};

// Checks texts with the dictionaries that setup.ini enables.
//
// Threads: start and destroy on one thread; check from any number of threads at once, while
// the service lives. A reload builds the new dictionaries on the watcher thread beside the ones
// in use and swaps them in when they are ready; checks that began before go on with the old ones.
class ProofreadingService {
  public:
    // What the operator should hear: a dictionary that cannot be used, a model that cannot be
    // loaded, a reload. Called on the thread that calls start, later on the watcher thread; may
    // be empty.
    using Log = std::function<void(std::u16string_view message)>;

    // Loads the dictionaries that setup.ini in locations enables and, when options.context is
    // enabled, the language model. Returns nullptr when no word at all could be loaded (log says
    // why). A model that cannot be loaded is logged and checks go on with the dictionaries.
    static std::unique_ptr<ProofreadingService> start(const Locations& locations,
                                                      ServiceOptions options, Log log);

    // Stops and joins the watcher. No check may be running.
    ~ProofreadingService();
    ProofreadingService(const ProofreadingService&) = delete;
    ProofreadingService& operator=(const ProofreadingService&) = delete;

    // The findings of text (line breaks as single LF) in the scan's order, as one run of
    // `kanjianfang-cli check` with the same options finds them. The answer depends only on text
    // and the dictionaries in use when the check began. Any thread.
    CheckResult check(std::u16string_view text) const;

    // How many loads have been put to use: 1 after start, one more for each reload.
    std::uint64_t loadCount() const;
    // Whether checks run the context check (it was asked for and the model loaded).
    bool contextActive() const { return m_context != nullptr; }

  private:
    struct Generation;
    struct FileStamp;

    ProofreadingService(const Locations& locations, ServiceOptions options, Log log);
    std::vector<FileStamp> takeStamps() const;
    std::shared_ptr<Generation> load() const;
    void watch(std::stop_token stop);
    void reloadIfChanged();

    const Locations m_locations;
    const ServiceOptions m_options;
    const Log m_log;
    // The loaded model; each generation has a copy with the curated words of its load.
    ContextPassLoader m_contextLoader;
    const ContextPass* m_context = nullptr;

    mutable std::mutex m_currentMutex;
    std::shared_ptr<Generation> m_current;  // guarded by m_currentMutex
    std::uint64_t m_loadCount = 0;          // guarded by m_currentMutex

    // The watcher thread's own: the files as the last load found them, and generations replaced
    // while checks still used them (destroyed here, never on a check's thread).
    std::vector<FileStamp> m_stamps;
    std::vector<std::shared_ptr<Generation>> m_retired;

    std::mutex m_watchMutex;
    std::condition_variable_any m_watchWake;
    std::jthread m_watcher;  // last: stopped and joined first
};

}  // namespace kjf::server
