// Engine speed and memory: loading about 400,000 words on the five loaders, the size of the loaded
// tables, and checking speed forward and in reverse, with and without the context check, with a
// fixed and an automatic quantization, against the window-by-window reference.
//
// Text: the prose corpus in ../shared/corpus when it is there, generated text otherwise.
// Dictionaries: the shipped data/ tree with its setup.ini; a generated 400,000-word dictionary.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "bench_support.h"
#include "engine/checking_engine.h"
#include "run/run_options.h"
#include "run/text_snapshot.h"
#include "text/files.h"
#include "text/utf.h"
#ifdef KJF_HAVE_REFERENCE
#include "reference_checker.h"
#endif

namespace fs = std::filesystem;
using namespace kjf;

using bench::corpus;
using bench::residentKilobytes;

namespace {

const std::string kSourceDir = KJF_SOURCE_DIR;

// A program directory holding about 400,000 generated words: every two- and three-character
// combination drawn from the corpus' own bigrams and trigrams first, so that they match real text.
class GeneratedDictionary {
  public:
    GeneratedDictionary() {
        m_dir = (fs::temp_directory_path() / "kjf-bench-dict").string() + "/";
        fs::create_directories(m_dir + "data/sys/right");
        fs::create_directories(m_dir + "data/sys/error");
        const auto& text = corpus();
        std::unordered_map<std::u16string, int> counts;
        for (std::size_t i = 0; i + 4 <= text.size() && counts.size() < 3'000'000; i += 1) {
            for (std::size_t n = 2; n <= 4; ++n) {
                const auto piece = text.substr(i, n);
                if (std::all_of(piece.begin(), piece.end(),
                                [](char16_t u) { return u >= 0x4E00 && u <= 0x9FFF; })) {
                    ++counts[piece];
                }
            }
        }
        std::vector<std::pair<int, std::u16string>> ranked;
        for (auto& [w, c] : counts) {
            ranked.emplace_back(-c, w);
        }
        std::sort(ranked.begin(), ranked.end());
        std::u16string words;
        std::size_t n = 0;
        for (const auto& [c, w] : ranked) {
            if (n++ == 400'000) {
                break;
            }
            words += w + u"\r\n";
        }
        for (char16_t u = 0x20; u < 0x7F; ++u) {
            words += std::u16string(1, u) + u"\r\n";
        }
        if (!writeFileAtomically(m_dir + "data/sys/right/words.dict", utf16le(words)) ||
            !writeFileAtomically(m_dir + "data/sys/error/errors.dict",
                                 utf16le(u"再接再励$=$再接再厉\r\n"))) {
            std::fputs("cannot write the benchmark's dictionaries\n", stderr);
            std::exit(1);
        }
        m_words = n;
    }
    const std::string& directory() const { return m_dir; }
    std::size_t words() const { return m_words; }

  private:
    static std::string utf16le(std::u16string_view text) {
        std::string bytes;
        for (char16_t u : text) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        return bytes;
    }
    std::string m_dir;
    std::size_t m_words = 0;
};

const GeneratedDictionary& generated() {
    static const GeneratedDictionary d;
    return d;
}

void bindGeneratedLists(rg_ChaCuoYinQing& engine) {
    engine.onListsRequested.bind(
        [](void*, rg_ChaCuoYinQing&, std::int32_t, auto& a, auto& b, auto&, auto&) {
            a = {u"words.dict"};
            b = {u"errors.dict"};
        },
        &engine, 0);
}

// The shipped tree: data/ of the source tree and its setup.ini.
std::string shippedRoot() {
    static const std::string root = [] {
        const std::string dir = (fs::temp_directory_path() / "kjf-bench-shipped").string() + "/";
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::create_directory_symlink(fs::path(kSourceDir) / "data", dir + "data");
        fs::copy_file(fs::path(kSourceDir) / "data" / "setup.ini", dir + "setup.ini");
        return dir;
    }();
    return root;
}

void bindShippedLists(rg_ChaCuoYinQing& engine, const std::string* root) {
    bindEnabledListsFromSettings(engine, root);
}

void BM_LoadGenerated(benchmark::State& state) {
    const auto& dict = generated();
    rg_ChaCuoYinQing engine(dict.directory());
    bindGeneratedLists(engine);
    for (auto _ : state) {
        engine.loadDictionaries();
        engine.waitForLoading();
    }
    state.counters["words"] = static_cast<double>(dict.words());
    state.counters["tableMB"] = static_cast<double>(engine.tableMemoryUsage()) / 1e6;
}
BENCHMARK(BM_LoadGenerated)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_LoadShipped(benchmark::State& state) {
    const std::string root = shippedRoot();
    const long before = residentKilobytes();
    rg_ChaCuoYinQing engine(root);
    bindShippedLists(engine, &root);
    for (auto _ : state) {
        engine.loadDictionaries();
        engine.waitForLoading();
    }
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    state.counters["correct"] = static_cast<double>(engine.correctWords().size());
    state.counters["errors"] = static_cast<double>(engine.errorWords().size());
    state.counters["tableMB"] = static_cast<double>(engine.tableMemoryUsage()) / 1e6;
    state.counters["rssGrowthMB"] = static_cast<double>(residentKilobytes() - before) / 1e3;
}
BENCHMARK(BM_LoadShipped)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// A start with unchanged dictionaries: the files are read and hashed, the compiled tables come
// from the cache file that the first load wrote.
void BM_LoadShippedCached(benchmark::State& state) {
    const std::string root = shippedRoot();
    const std::string cache = root + "bench.cache";
    {
        rg_ChaCuoYinQing first(root);
        bindShippedLists(first, &root);
        first.setCacheFile(cache);
        first.loadDictionaries();
        first.waitForLoading();
    }
    const long before = residentKilobytes();
    bool fromCache = true;
    for (auto _ : state) {
        rg_ChaCuoYinQing engine(root);
        bindShippedLists(engine, &root);
        engine.setCacheFile(cache);
        engine.loadDictionaries();
        engine.waitForLoading();
        fromCache = fromCache && engine.loadReport().fromCache;
    }
    state.counters["fromCache"] = fromCache ? 1 : 0;
    state.counters["rssGrowthMB"] = static_cast<double>(residentKilobytes() - before) / 1e3;
}
BENCHMARK(BM_LoadShippedCached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Arguments: engine type, quantization (0: automatic), boost, word hook bound, shipped tables.
void BM_Check(benchmark::State& state) {
    const bool shipped = state.range(4) != 0;
    const std::string root = shipped ? shippedRoot() : generated().directory();
    rg_ChaCuoYinQing engine(root);
    if (shipped) {
        bindShippedLists(engine, &root);
    } else {
        bindGeneratedLists(engine);
    }
    engine.loadDictionaries();
    engine.waitForLoading();
    const std::u16string& text = corpus();
    bindTextSnapshot(engine, &text);
    if (state.range(3) != 0) {
        // The desktop program's marking is bound here and ignores Correct reports.
        engine.onWordReported.bind(
            [](void*, rg_ChaCuoYinQing&, std::int32_t, FindingType type, std::int32_t, std::int32_t,
               std::u16string_view word, std::u16string_view) {
                if (type != FindingType::Correct) {
                    benchmark::DoNotOptimize(word.data());
                }
            },
            &engine, 0);
    }
    for (auto _ : state) {
        engine.runCheck(
            static_cast<std::int32_t>(text.size()), static_cast<std::int32_t>(state.range(1)),
            static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(2)));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["N"] = engine.quantization();
    state.counters["findings"] = static_cast<double>(engine.findings().size());
}
BENCHMARK(BM_Check)
    ->ArgNames({"type", "N", "boost", "hook", "shipped"})
    ->Args({1, 10, 0, 0, 1})
    ->Args({1, 10, 0, 1, 0})
    ->Args({1, 10, 1, 1, 0})
    ->Args({1, 0, 0, 1, 0})
    ->Args({1, 0, 1, 1, 0})
    ->Args({2, 10, 1, 1, 0})
    ->Args({1, 10, 0, 1, 1})
    ->Args({1, 10, 1, 1, 1})
    ->Args({1, 0, 0, 1, 1})
    ->Args({1, 0, 1, 1, 1})
    ->Args({2, 0, 1, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef KJF_HAVE_REFERENCE
// The window-by-window algorithm over the first 200,000 characters, for the speed-up.
void BM_ReferenceCheck(benchmark::State& state) {
    const std::string root = generated().directory();
    static const test::ReferenceTables tables = [&] {
        rg_ChaCuoYinQing engine(root);
        bindGeneratedLists(engine);
        engine.loadDictionaries();
        engine.waitForLoading();
        rg_ChaCuoYinQing::TableReadGuard guard(engine);
        test::ReferenceTables t;
        for (std::size_t i = 0; i < engine.correctWords().size(); ++i) {
            t.correctWords.emplace(engine.correctWords().keyAt(i),
                                   engine.correctWords().valueAt(i));
        }
        for (std::size_t i = 0; i < engine.errorWords().size(); ++i) {
            t.errorWords.emplace(engine.errorWords().keyAt(i), engine.errorWords().valueAt(i));
        }
        return t;
    }();
    const std::u16string text = corpus().substr(0, 200'000);
    for (auto _ : state) {
        auto result = test::referenceCheck(tables, text, static_cast<std::int32_t>(text.size()),
                                           static_cast<std::int32_t>(state.range(0)), 1,
                                           static_cast<std::int32_t>(state.range(1)));
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReferenceCheck)
    ->ArgNames({"N", "boost"})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
