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
#include <algorithm>
#include <charconv>
#include <cstdio>
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
    std::set<std::int64_t> errors;  // code-point positions
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

struct Metrics {
    double charPrecision, charRecall, sentencePrecision, sentenceRecall, sentenceF1, falseFlags;
};

Metrics measure(rg_ChaCuoYinQing& engine, std::u16string& source,
                const std::vector<Sentence>& sentences, const ContextPass* context,
                double threshold) {
    std::int64_t findingsAll = 0, findingsHit = 0, errorsAll = 0, errorsHit = 0;
    std::int64_t detected = 0, found = 0, withErrors = 0, cleanChars = 0, cleanFindings = 0;
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
    Metrics m{};
    m.charPrecision = ratio(findingsHit, findingsAll);
    m.charRecall = ratio(errorsHit, errorsAll);
    m.sentencePrecision = ratio(found, detected);
    m.sentenceRecall = ratio(found, withErrors);
    m.sentenceF1 =
        ratio(2 * m.sentencePrecision * m.sentenceRecall, m.sentencePrecision + m.sentenceRecall);
    m.falseFlags = ratio(1000.0 * static_cast<double>(cleanFindings), cleanChars);
    return m;
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
        }
    }
    return 0;
}

}  // namespace kjf::cli
