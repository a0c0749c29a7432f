// The grammar rules over the corpus: their speed (characters per second) and how often each rule
// fires per million characters of clean prose (a rule that fires more than a few times is wrong).
// With --words FILE it prints instead how each line of FILE is cut into words, with their tags,
// and the rule findings on it: for writing rules. With --fired FILE it prints every rule finding
// on FILE with the rule's name and the words around it: for judging a rule on real text.
//
// Text: the prose corpus in ../shared/corpus when it is there, generated text otherwise.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "bench_support.h"
#include "context/grammar_rules.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

using namespace kjf;

namespace {

const std::string kDataDirectory = std::string(KJF_SOURCE_DIR) + "/data/sys/context/";

struct Loaded {
    std::unique_ptr<const ContextModel> model;
    GrammarRules rules;
    std::string message;
};

const Loaded& loaded() {
    static const Loaded l = [] {
        Loaded out;
        auto load = ContextModel::load(std::string(kDefaultLanguageModelPath), kDataDirectory);
        out.model = std::move(load.model);
        out.message = load.message;
        if (out.model && !out.rules.load(kDataDirectory, out.message)) {
            out.model.reset();
        }
        return out;
    }();
    return l;
}

void BM_GrammarRules(benchmark::State& state) {
    const Loaded& l = loaded();
    if (!l.model) {
        state.SkipWithError(l.message.c_str());
        return;
    }
    const std::u16string& text = bench::corpus();
    std::vector<std::int64_t> fired;
    std::size_t findings = 0;
    for (auto _ : state) {
        findings = l.rules.check(*l.model, text, &fired).size();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    const double millions = static_cast<double>(text.size()) / 1e6;
    state.counters["perMillion"] = static_cast<double>(findings) / millions;
    for (std::size_t r = 0; r < fired.size(); ++r) {
        state.counters[l.rules.ruleName(r)] = static_cast<double>(fired[r]) / millions;
    }
}
BENCHMARK(BM_GrammarRules)->Unit(benchmark::kMillisecond)->UseRealTime();

// The lines of the UTF-8 file at path, or nothing (with a message) when it or the model cannot
// be read.
std::optional<std::vector<std::u16string>> linesOf(const char* path) {
    const Loaded& l = loaded();
    const auto bytes = readWholeFile(path);
    if (!l.model || !bytes) {
        std::fprintf(stderr, "%s\n", l.model ? "cannot read the file" : l.message.c_str());
        return std::nullopt;
    }
    return splitText(utf8ToUtf16(*bytes), u"\n");
}

int printWords(const char* path) {
    const Loaded& l = loaded();
    const auto lines = linesOf(path);
    if (!lines) {
        return 1;
    }
    for (const auto& line : *lines) {
        std::u16string clause;
        for (const char16_t u : line) {
            if (u >= 0x4E00 && u <= 0x9FFF) {
                clause += u;
            } else if (!clause.empty()) {
                for (const auto& [word, tag] : l.rules.wordsOf(*l.model, clause)) {
                    std::printf("%s/%s ", utf16ToUtf8Lossy(word).c_str(), tag.c_str());
                }
                clause.clear();
            }
        }
        for (const auto& [word, tag] : l.rules.wordsOf(*l.model, clause)) {
            std::printf("%s/%s ", utf16ToUtf8Lossy(word).c_str(), tag.c_str());
        }
        for (const auto& f : l.rules.check(*l.model, line)) {
            std::printf(" [%s→%s]", utf16ToUtf8Lossy(f.word).c_str(),
                        utf16ToUtf8Lossy(f.suggestion).c_str());
        }
        std::printf("\n");
    }
    return 0;
}

int printFired(const char* path) {
    const Loaded& l = loaded();
    const auto lines = linesOf(path);
    if (!lines) {
        return 1;
    }
    std::vector<std::int64_t> fired;
    for (const auto& line : *lines) {
        const auto findings = l.rules.check(*l.model, line, &fired);
        if (findings.empty()) {
            continue;
        }
        std::string names;
        for (std::size_t r = 0; r < fired.size(); ++r) {
            if (fired[r] > 0) {
                names += l.rules.ruleName(r) + " ";
            }
        }
        // Up to 12 units on either side of a finding.
        const auto piece = [&line](std::int32_t from, std::int32_t to) {
            from = std::clamp(from, 0, static_cast<std::int32_t>(line.size()));
            to = std::clamp(to, from, static_cast<std::int32_t>(line.size()));
            return utf16ToUtf8Lossy(std::u16string_view(line).substr(
                static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
        };
        for (const auto& f : findings) {
            const std::int32_t end = f.position + f.length;
            std::printf("%s| %s [%s→%s] %s\n", names.c_str(),
                        piece(f.position - 12, f.position).c_str(),
                        utf16ToUtf8Lossy(f.word).c_str(), utf16ToUtf8Lossy(f.suggestion).c_str(),
                        piece(end, end + 12).c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--words") == 0) {
        return printWords(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--fired") == 0) {
        return printFired(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
