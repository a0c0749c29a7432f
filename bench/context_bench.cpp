// Context check speed and memory: loading libime's model and the confusion sets, the resident
// size of the whole program with the model and the shipped dictionaries, and the pass over the
// corpus after a forward check with one and with two workers (characters per second per core =
// items_per_second / threads).
//
// Text: the prose corpus in ../shared/corpus when it is there, generated text otherwise.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench_support.h"
#include "context/context_check.h"
#include "context/verifiable_findings.h"
#include "engine/checking_engine.h"
#include "run/run_options.h"
#include "run/text_snapshot.h"
#include "text/files.h"
#include "text/utf.h"

namespace fs = std::filesystem;
using namespace kjf;

using bench::corpus;
using bench::peakResidentKilobytes;
using bench::resetPeakResident;
using bench::residentKilobytes;

namespace {

const std::string kSourceDir = KJF_SOURCE_DIR;

const std::string& dataDirectory() {
    static const std::string dir = kSourceDir + "/data/sys/context/";
    return dir;
}

void BM_LoadContextModel(benchmark::State& state) {
    const long before = residentKilobytes();
    std::size_t tables = 0;
    std::unique_ptr<const ContextModel> last;
    for (auto _ : state) {
        last.reset();
        auto load = ContextModel::load(std::string(kDefaultLanguageModelPath), dataDirectory());
        if (!load.model) {
            state.SkipWithError(load.message.c_str());
            return;
        }
        tables = load.model->memoryUsage();
        last = std::move(load.model);
    }
    state.counters["tableMB"] = static_cast<double>(tables) / 1e6;
    state.counters["rssAfterMB"] = static_cast<double>(residentKilobytes()) / 1e3;
    state.counters["rssBeforeMB"] = static_cast<double>(before) / 1e3;
}
BENCHMARK(BM_LoadContextModel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The shipped dictionaries, checked over the corpus once, and the model: what the desktop
// program holds during a context pass.
struct Loaded {
    std::string root;
    std::unique_ptr<rg_ChaCuoYinQing> engine;
    std::unique_ptr<const ContextModel> model;
    std::vector<rg_BiaoJiCiYuLei> findings;
    std::vector<bool> verifiable;
    long residentKilobytes = 0;
};

const Loaded& loaded() {
    static const Loaded l = [] {
        Loaded out;
        out.root = (fs::temp_directory_path() / "kjf-bench-context").string() + "/";
        fs::remove_all(out.root);
        fs::create_directories(out.root);
        fs::create_directory_symlink(fs::path(kSourceDir) / "data", out.root + "data");
        fs::copy_file(fs::path(kSourceDir) / "data" / "setup.ini", out.root + "setup.ini");
        out.engine = std::make_unique<rg_ChaCuoYinQing>(out.root);
        bindEnabledListsFromSettings(*out.engine, &out.root);
        out.engine->loadDictionaries();
        out.engine->waitForLoading();
        const std::u16string& text = corpus();
        bindTextSnapshot(*out.engine, &text);
        out.engine->runCheck(static_cast<std::int32_t>(text.size()), 0, 1, 1);
        out.findings = out.engine->findings();
        CuratedErrorWords curated;
        curated.load(out.root, out.engine->systemErrorList(), out.engine->userErrorList());
        out.verifiable = verifiableFindings(out.findings, curated);
        out.model =
            ContextModel::load(std::string(kDefaultLanguageModelPath), dataDirectory()).model;
        out.residentKilobytes = residentKilobytes();
        return out;
    }();
    return l;
}

// Argument: workers.
void BM_ContextPass(benchmark::State& state) {
    const Loaded& l = loaded();
    if (!l.model) {
        state.SkipWithError("the language model cannot be loaded");
        return;
    }
    ContextInput input;
    input.text = corpus();
    input.findings = l.findings;
    input.verifiable = l.verifiable;
    ContextOptions options;
    options.workers = static_cast<unsigned>(state.range(0));
    std::size_t contextual = 0, kept = 0;
    for (auto _ : state) {
        const ContextResult result = runContextCheck(*l.model, input, options);
        contextual = result.findings.size();
        kept = static_cast<std::size_t>(std::count(result.keep.begin(), result.keep.end(), true));
    }
    const auto chars = static_cast<std::int64_t>(corpus().size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * chars);
    state.counters["charsPerSecondPerCore"] = benchmark::Counter(
        static_cast<double>(chars), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["contextual"] = static_cast<double>(contextual);
    state.counters["dictionaryKept"] = static_cast<double>(kept);
    state.counters["dictionary"] = static_cast<double>(l.findings.size());
    state.counters["programRssMB"] =
        static_cast<double>(std::max(l.residentKilobytes, residentKilobytes())) / 1e3;
}
BENCHMARK(BM_ContextPass)
    ->ArgName("workers")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// Text that once cost more than linear time or memory: argument 0 is one run of the corpus's Han
// characters without a mark of any kind (one clause), 1 is the corpus's clauses joined by commas
// into one sentence, 2 is one character written over and over. The second argument is the length
// in characters. Reported: time and extra peak memory per character.
void BM_ContextLongRun(benchmark::State& state) {
    const Loaded& l = loaded();
    if (!l.model) {
        state.SkipWithError("the language model cannot be loaded");
        return;
    }
    const auto length = static_cast<std::size_t>(state.range(1));
    std::u16string text;
    text.reserve(length);
    const std::u16string& source = corpus();
    const auto isHan = [](char16_t u) { return u >= 0x4E00 && u <= 0x9FFF; };
    while (text.size() < length) {
        for (std::size_t i = 0; i < source.size() && text.size() < length; ++i) {
            const char16_t u = source[i];
            if (state.range(0) == 2) {
                text.push_back(u'的');
            } else if (isHan(u)) {
                text.push_back(u);
            } else if (state.range(0) == 1 && !text.empty() && text.back() != u'，') {
                text.push_back(u'，');
            }
        }
    }
    ContextInput input;
    input.text = text;
    ContextOptions options;
    options.workers = 1;
    long extraPeak = 0;
    for (auto _ : state) {
        const long before = residentKilobytes();
        resetPeakResident();
        const ContextResult result = runContextCheck(*l.model, input, options);
        benchmark::DoNotOptimize(result.findings.data());
        extraPeak = std::max(extraPeak, peakResidentKilobytes() - before);
    }
    const auto chars = static_cast<double>(text.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["nsPerChar"] = benchmark::Counter(
        chars, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["extraBytesPerChar"] = static_cast<double>(extraPeak) * 1024 / chars;
}
BENCHMARK(BM_ContextLongRun)
    ->ArgNames({"shape", "chars"})
    ->Args({0, 1'000'000})
    ->Args({0, 4'000'000})
    ->Args({1, 1'000'000})
    ->Args({1, 4'000'000})
    ->Args({2, 1'000'000})
    ->Args({2, 4'000'000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
