// kanjianfang-cli evaluate: how well the dictionaries of a program directory find the errors of
// spelling-check sets.
//
// A set is UTF-8 with a header line and rows of: id, source (with errors), target (corrected),
// comma-separated 0-based code-point positions where the two differ. Each source sentence is
// checked on its own, forward, with automatic quantization and the context check. Printed per set:
// - character precision: findings that cover at least one error position / all findings;
// - character recall: error positions covered by some finding / all error positions;
// - sentence precision, recall and F1: a sentence with errors is found when every error position
//   is covered and every finding touches an error position; any sentence with a finding counts as
//   a detection;
// - false flags per 1000 characters of the sentences without errors.
// --context 0 measures the dictionaries alone, --context 1 with the language model's context
// check after each run; without the option both are printed.
//
// A fifth column names the class of a sentence's errors (tools/everyday_set.py writes one). Sets
// that have it also print, per class, the share of sentences whose every error position is
// covered (found) and of those whose covering findings' suggestions give the corrected text
// (corrected).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/run_arguments.h"
#include "engine/checking_engine.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf::cli {

namespace {

struct Sentence {
    std::u16string text;
    std::u16string target;
    std::set<std::int64_t> errors;  // code-point positions
    std::string errorClass;         // empty when the set names none
};

bool readSet(const std::string& path, std::vector<Sentence>& sentences) {
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        return false;
    }
    std::size_t start = bytes->find('\n');
    while (start != std::string::npos && start + 1 < bytes->size()) {
        const std::size_t end = bytes->find('\n', start + 1);
        const std::string line = bytes->substr(
            start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        start = end;
        std::vector<std::string> cells;
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
            cells.push_back(line.substr(from, tab - from));
        }
        cells.push_back(line.substr(from));
        if (cells.size() < 3) {
            continue;
        }
        Sentence s;
        s.text = utf8ToUtf16(cells[1]);
        s.target = utf8ToUtf16(cells[2]);
        if (cells.size() > 4) {
            s.errorClass = cells[4];
        }
        if (cells.size() > 3) {
            for (const auto& piece : splitText(utf8ToUtf16(cells[3]), u",")) {
                // A position that is not a whole number makes the set unreadable; std::stoll
                // would throw out of the command.
                const std::string digits = utf16ToUtf8Lossy(piece);
                std::int64_t position = 0;
                const auto [last, error] =
                    std::from_chars(digits.data(), digits.data() + digits.size(), position);
                if (error != std::errc() || last != digits.data() + digits.size() || position < 0) {
                    return false;
                }
                s.errors.insert(position);
            }
        }
        sentences.push_back(std::move(s));
    }
    return true;
}

// Code-point index of every UTF-16 position of text (one past the end included).
std::vector<std::int64_t> codePointIndex(std::u16string_view text) {
    std::vector<std::int64_t> index(text.size() + 1);
    std::int64_t cp = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        index[i] = cp;
        const bool pairStart = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                               text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pairStart) {
            index[++i] = cp;
        }
        ++cp;
    }
    index[text.size()] = cp;
    return index;
}

// Sentences of one class: how many, how many found, how many corrected.
struct ClassCount {
    std::int64_t sentences = 0, found = 0, corrected = 0;
};

struct Metrics {
    double charPrecision, charRecall, sentencePrecision, sentenceRecall, sentenceF1, falseFlags;
    std::map<std::string, ClassCount> classes;
};

// Whether every finding that touches an error position replaces its characters by the target's.
bool correctsErrors(const std::vector<rg_BiaoJiCiYuLei>& findings, const Sentence& s,
                    const std::vector<std::int64_t>& index) {
    for (const auto& f : findings) {
        const auto begin = static_cast<std::size_t>(f.position);
        const auto end = begin + static_cast<std::size_t>(f.length);
        if (end > s.text.size()) {
            continue;
        }
        bool touches = false;
        for (std::size_t u = begin; u < end; ++u) {
            touches = touches || s.errors.count(index[u]) != 0;
        }
        if (!touches) {
            continue;
        }
        // Sets pair sentences of equal length, so the target's units line up with the source's.
        if (f.type != FindingType::Error || end > s.target.size() ||
            std::u16string_view(s.target).substr(begin, end - begin) != f.suggestion) {
            return false;
        }
    }
    return true;
}

Metrics measure(rg_ChaCuoYinQing& engine, std::u16string& source,
                const std::vector<Sentence>& sentences, const ContextPass* context,
                double threshold) {
    std::int64_t findingsAll = 0, findingsHit = 0, errorsAll = 0, errorsHit = 0;
    std::int64_t detected = 0, found = 0, withErrors = 0, cleanChars = 0, cleanFindings = 0;
    Metrics m{};
    for (const auto& s : sentences) {
        source = s.text;
        engine.runCheck(static_cast<std::int32_t>(source.size()), 0, 1, 1);
        const std::vector<rg_BiaoJiCiYuLei> findings =
            context != nullptr
                ? context->apply(engine, engine.findings(), source, threshold, ScanOrder::Forward)
                : engine.findings();
        const auto index = codePointIndex(source);
        std::set<std::int64_t> covered;
        bool everyFindingHits = true;
        for (const auto& f : findings) {
            const auto clamp = [&](std::int64_t unit) {
                return index[static_cast<std::size_t>(
                    std::min<std::int64_t>(unit, static_cast<std::int64_t>(source.size())))];
            };
            const std::int64_t first = clamp(f.position);
            // Code points touched by the units [position, position + length).
            const std::int64_t end = f.length > 0 ? clamp(f.position + f.length - 1) + 1 : first;
            bool hit = false;
            for (std::int64_t p = first; p < end; ++p) {
                if (s.errors.count(p) != 0) {
                    hit = true;
                    covered.insert(p);
                }
            }
            ++findingsAll;
            findingsHit += hit ? 1 : 0;
            everyFindingHits = everyFindingHits && hit;
        }
        if (!s.errorClass.empty()) {
            ClassCount& c = m.classes[s.errorClass];
            const bool all = covered == s.errors;
            ++c.sentences;
            c.found += all ? 1 : 0;
            c.corrected += all && correctsErrors(findings, s, index) ? 1 : 0;
        }
        errorsAll += static_cast<std::int64_t>(s.errors.size());
        errorsHit += static_cast<std::int64_t>(covered.size());
        detected += findings.empty() ? 0 : 1;
        if (!s.errors.empty()) {
            ++withErrors;
            if (covered == s.errors && everyFindingHits) {
                ++found;
            }
        } else {
            cleanChars += index.back();
            cleanFindings += static_cast<std::int64_t>(findings.size());
        }
    }
    const auto ratio = [](double a, double b) { return b != 0 ? a / b : 0.0; };
    m.charPrecision = ratio(findingsHit, findingsAll);
    m.charRecall = ratio(errorsHit, errorsAll);
    m.sentencePrecision = ratio(found, detected);
    m.sentenceRecall = ratio(found, withErrors);
    m.sentenceF1 =
        ratio(2 * m.sentencePrecision * m.sentenceRecall, m.sentencePrecision + m.sentenceRecall);
    m.falseFlags = ratio(1000.0 * static_cast<double>(cleanFindings), cleanChars);
    return m;
}

std::string classRow(const std::string& set, int mode, const std::string& errorClass,
                     const ClassCount& c) {
    const auto share = [&](std::int64_t n) {
        return c.sentences != 0 ? static_cast<double>(n) / static_cast<double>(c.sentences) : 0.0;
    };
    char line[160];
    std::snprintf(line, sizeof line, " | %lld | %.3f | %.3f |\n",
                  static_cast<long long>(c.sentences), share(c.found), share(c.corrected));
    return "| " + set + " | " + (mode == 1 ? "on" : "off") + " | " + errorClass + line;
}

}  // namespace

int evaluateCommand(const Locations& locations, const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::vector<int> modes = {0, 1};
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--context") {
            if (i + 1 >= args.size() || (args[i + 1] != "0" && args[i + 1] != "1")) {
                return usageError("--context must be 0 or 1");
            }
            modes = {args[++i] == "1" ? 1 : 0};
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        return usageError("evaluate needs at least one SET.tsv");
    }
    std::vector<std::vector<Sentence>> sets(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!readSet(files[i], sets[i])) {
            std::fprintf(stderr, "kanjianfang-cli: cannot read %s\n", files[i].c_str());
            return 2;
        }
    }
    std::u16string source;
    const auto loaded = loadEngine(locations, &source);
    if (!loaded) {
        return 2;
    }
    rg_ChaCuoYinQing& engine = *loaded;
    {
        rg_ChaCuoYinQing::TableReadGuard guard(engine);
        std::printf("quantization %d, %zu correct words, %zu wrong words\n",
                    engine.longestEntryLength(), engine.correctWords().size(),
                    engine.errorWords().size());
    }
    const ContextSettings settings = readContextSettings(locations.settingsDirectory);
    ContextPassLoader contextLoader(locations);
    const ContextPass* context = nullptr;
    if (std::find(modes.begin(), modes.end(), 1) != modes.end()) {
        context = loadContextPass(contextLoader, engine, settings);
        if (!context) {
            if (modes.size() == 1) {
                return 2;
            }
            modes = {0};
        }
    }
    std::printf(
        "| set | context | sentence F1 | sentence P | sentence R | char precision | "
        "char recall | false flags / 1000 |\n|---|---|---|---|---|---|---|---|\n");
    std::string classRows;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = files[i].substr(files[i].find_last_of('/') + 1);
        name = name.substr(0, name.rfind(".tsv"));
        for (const int mode : modes) {
            const Metrics m =
                measure(engine, source, sets[i], mode == 1 ? context : nullptr, settings.threshold);
            std::printf("| %s | %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f |\n", name.c_str(),
                        mode == 1 ? "on" : "off", m.sentenceF1, m.sentencePrecision,
                        m.sentenceRecall, m.charPrecision, m.charRecall, m.falseFlags);
            std::fflush(stdout);
            ClassCount all;
            for (const auto& [errorClass, c] : m.classes) {
                classRows += classRow(name, mode, errorClass, c);
                all.sentences += c.sentences;
                all.found += c.found;
                all.corrected += c.corrected;
            }
            if (!m.classes.empty()) {
                classRows += classRow(name, mode, "all", all);
            }
        }
    }
    if (!classRows.empty()) {
        std::printf(
            "\n| set | context | class | sentences | found | corrected |\n"
            "|---|---|---|---|---|---|\n%s",
            classRows.c_str());
    }
    return 0;
}

}  // namespace kjf::cli
