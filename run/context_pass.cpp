#include "run/context_pass.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/checking_engine.h"
#include "run/model_trust.h"
#include "settings/settings_file.h"
#include "text/utf.h"

namespace kjf {

ContextSettings readContextSettings(const std::string& settingsDirectory) {
    using namespace setting;
    ContextSettings settings;
    const auto read = [&](std::u16string_view key) {
        return readSetting(settingsDirectory, kEngineSection, key, u"");
    };
    settings.enabled = read(kContextCheck) == u"1";
    const std::string threshold = utf16ToUtf8Lossy(read(kContextThreshold));
    if (!threshold.empty()) {
        char* end = nullptr;
        const double value = std::strtod(threshold.c_str(), &end);
        if (end != threshold.c_str() && *end == '\0' && value == value) {
            settings.threshold = value;
        }
    }
    settings.modelPath = utf16ToUtf8Lossy(read(kContextModel));
    if (settings.modelPath.empty()) {
        settings.modelPath = std::string(kDefaultLanguageModelPath);
    }
    return settings;
}

namespace {

// How common (log10 of the model's unigram probability) a word crossing a curated wrong word must
// be for the text to read as well without it: the word lists hold many words nobody writes.
constexpr float kCrossingMinUnigram = -5.5F;

bool overlaps(const rg_BiaoJiCiYuLei& a, const rg_BiaoJiCiYuLei& b) {
    return a.position < b.position + b.length && b.position < a.position + a.length;
}

// Merges more, in text order, into into, also in text order.
void mergeByPosition(std::vector<rg_BiaoJiCiYuLei>& into, std::vector<rg_BiaoJiCiYuLei>&& more) {
    std::vector<rg_BiaoJiCiYuLei> merged;
    merged.reserve(into.size() + more.size());
    std::merge(std::make_move_iterator(into.begin()), std::make_move_iterator(into.end()),
               std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()),
               std::back_inserter(merged),
               [](const rg_BiaoJiCiYuLei& a, const rg_BiaoJiCiYuLei& b) {
                   return a.position < b.position;
               });
    into = std::move(merged);
}

// Of words, those that text holds two or more times (copies: the views may be into findings
// that are about to move).
std::unordered_set<std::u16string> writtenTwice(
    std::u16string_view text, const std::unordered_set<std::u16string_view>& words) {
    std::unordered_map<std::u16string_view, int> counts;
    std::size_t longest = 0;
    for (const auto word : words) {
        if (!word.empty()) {
            counts.emplace(word, 0);
            longest = std::max(longest, word.size());
        }
    }
    std::unordered_set<std::u16string> twice;
    if (counts.empty()) {
        return twice;
    }
    std::vector<bool> lengths(longest + 1, false);
    // The words' first units, hashed into a small table: most places in a text start none.
    std::bitset<4096> starts;
    for (const auto& [word, count] : counts) {
        lengths[word.size()] = true;
        starts.set(word[0] % starts.size());
    }
    for (std::size_t length = 1; length <= longest; ++length) {
        if (!lengths[length]) {
            continue;
        }
        for (std::size_t x = 0; x + length <= text.size(); ++x) {
            if (!starts.test(text[x] % starts.size())) {
                continue;
            }
            if (const auto it = counts.find(text.substr(x, length)); it != counts.end()) {
                ++it->second;
            }
        }
    }
    for (const auto& [word, count] : counts) {
        if (count >= 2) {
            twice.emplace(word);
        }
    }
    return twice;
}

}  // namespace

void dropRepeatedWords(std::u16string_view text, std::vector<rg_BiaoJiCiYuLei>& findings,
                       const std::function<bool(const rg_BiaoJiCiYuLei&)>& mayGo) {
    std::unordered_set<std::u16string_view> words;
    for (const auto& f : findings) {
        if (mayGo(f)) {
            words.insert(f.word);
        }
    }
    const auto twice = writtenTwice(text, words);
    if (twice.empty()) {
        return;
    }
    std::erase_if(findings,
                  [&](const rg_BiaoJiCiYuLei& f) { return mayGo(f) && twice.count(f.word) != 0; });
}

void addRuleFindings(std::vector<rg_BiaoJiCiYuLei> rules,
                     std::span<const rg_BiaoJiCiYuLei> dictionary, std::size_t textLength,
                     ContextResult& result) {
    if (rules.empty()) {
        return;
    }
    std::vector<bool> covered(textLength + 1, false);
    for (std::size_t i = 0; i < dictionary.size(); ++i) {
        const auto& f = dictionary[i];
        if (i < result.keep.size() && result.keep[i] && f.position >= 0) {
            const auto end = std::min(textLength, static_cast<std::size_t>(f.position + f.length));
            for (auto x = static_cast<std::size_t>(f.position); x < end; ++x) {
                covered[x] = true;
            }
        }
    }
    // A finding of the model that makes the rule's change and more (在接再厉 over 在→再) says it
    // better: the rule yields to it as to a dictionary's.
    const auto saidAlready = [&](const rg_BiaoJiCiYuLei& r) {
        return std::any_of(result.findings.begin(), result.findings.end(), [&](const auto& f) {
            if (f.position > r.position || r.position + r.length > f.position + f.length ||
                f.suggestion.size() != f.word.size() ||
                r.suggestion.size() != static_cast<std::size_t>(r.length)) {
                return false;
            }
            const auto offset = static_cast<std::size_t>(r.position - f.position);
            return std::u16string_view(f.suggestion).substr(offset, r.suggestion.size()) ==
                   r.suggestion;
        });
    };
    std::erase_if(rules, [&](const rg_BiaoJiCiYuLei& r) {
        for (auto x = r.position; x < r.position + r.length; ++x) {
            if (covered[static_cast<std::size_t>(x)]) {
                return true;
            }
        }
        return saidAlready(r);
    });
    if (rules.empty()) {
        return;
    }
    std::erase_if(result.findings, [&](const rg_BiaoJiCiYuLei& f) {
        const auto after = std::lower_bound(
            rules.begin(), rules.end(), f.position + f.length,
            [](const rg_BiaoJiCiYuLei& r, std::int32_t end) { return r.position < end; });
        return after != rules.begin() && overlaps(*(after - 1), f);
    });
    mergeByPosition(result.findings, std::move(rules));
}

bool ContextPass::loadModel(const Locations& locations, const std::string& modelPath,
                            std::u16string& message) {
    m_modelPath = modelPath;
    m_rules.reset();
    const std::string verdictFile =
        locations.cacheDirectory.empty()
            ? std::string()
            : locations.cacheDirectory + std::string(kModelVerdictFileName);
    const ModelTrust trust = trustModel(modelPath, locations.contextDataDirectory(), verdictFile);
    if (!trust.trusted) {
        message = u"语言模型加载失败：" + utf8ToUtf16(modelPath) + u"（" + trust.reason + u"）";
        m_model.reset();
        return false;
    }
    auto load = ContextModel::load(modelPath, locations.contextDataDirectory());
    if (!load.model) {
        message = u"语言模型加载失败：" + utf8ToUtf16(modelPath) + u"（" +
                  utf8ToUtf16(load.message) + u"）";
        m_model.reset();
        return false;
    }
    m_model = std::move(load.model);
    // A data folder from before the rules has no rule file and runs without them; a rule file
    // that is there but cannot be read is reported, and the model still runs.
    const std::string directory = locations.contextDataDirectory();
    if (std::error_code error; std::filesystem::exists(directory + "grammar.txt", error)) {
        auto rules = std::make_unique<GrammarRules>();
        std::string problem;
        if (rules->load(directory, problem)) {
            m_rules = std::move(rules);
        } else {
            message = u"语法规则加载失败：" + utf8ToUtf16(directory + "grammar.txt") + u"（" +
                      utf8ToUtf16(problem) + u"）";
        }
    }
    return true;
}

void ContextPass::readCuratedWords(const Locations& locations, const rg_ChaCuoYinQing& engine) {
    m_curated.load(locations, engine.systemErrorList(), engine.userErrorList());
}

std::vector<rg_BiaoJiCiYuLei> ContextPass::apply(const rg_ChaCuoYinQing& engine,
                                                 std::span<const rg_BiaoJiCiYuLei> findings,
                                                 std::u16string_view text, double threshold,
                                                 ScanOrder order, const ContextControl& control,
                                                 std::vector<bool>* kept) const {
    // The guard keeps a dictionary load (and with it readCuratedWords) from finishing meanwhile.
    const rg_ChaCuoYinQing::TableReadGuard guard(engine);
    const auto isCommonWord = [this](std::u16string_view word) {
        return m_model->unigram(m_model->wordIndex(word)) >= kCrossingMinUnigram;
    };
    const auto isCorrectWord = [&engine](std::u16string_view word) {
        return engine.correctWords().value(word).has_value();
    };
    // Curated wrong words that the scan read past join the findings as the model's to judge.
    std::vector<rg_BiaoJiCiYuLei> unscanned = m_curated.unscanned(text, findings);
    // Those that only a generated error word hid are as sure as the scan's own: they join as they
    // are, and the generated word gives way to them.
    std::vector<rg_BiaoJiCiYuLei> hidden = hiddenCuratedWords(text, findings, unscanned);
    // So are those that no common word and no correct word of three or more crosses: the word of
    // two that hid them is one the text hardly reads as (的家 over 家俱, 请按 over 按装), unlike
    // 回车符 over 符和.
    const auto crossedUnscanned =
        crossedFindings(text, unscanned, m_curated, [&](std::u16string_view word) {
            return isCommonWord(word) || (word.size() >= 3 && isCorrectWord(word));
        });
    for (std::size_t i = unscanned.size(); i-- > 0;) {
        if (!crossedUnscanned[i]) {
            hidden.push_back(std::move(unscanned[i]));
            unscanned.erase(unscanned.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    std::vector<rg_BiaoJiCiYuLei> joined;
    if (!unscanned.empty() || !hidden.empty()) {
        joined.reserve(findings.size() + unscanned.size() + hidden.size());
        joined.assign(findings.begin(), findings.end());
        joined.insert(joined.end(), unscanned.begin(), unscanned.end());
        joined.insert(joined.end(), hidden.begin(), hidden.end());
    }
    const std::span<const rg_BiaoJiCiYuLei> all =
        joined.empty() ? findings : std::span<const rg_BiaoJiCiYuLei>(joined);
    ContextInput input;
    input.text = text;
    input.findings = all;
    input.verifiable = verifiableFindings(findings, m_curated);
    input.verifiable.resize(findings.size() + unscanned.size(), true);
    input.verifiable.resize(all.size(), false);
    input.unscanned.assign(findings.size(), false);
    input.unscanned.resize(findings.size() + unscanned.size(), true);
    input.unscanned.resize(all.size(), false);
    input.crossed = crossedFindings(text, findings, m_curated, isCommonWord);
    const auto setPhrases = setPhraseFindings(text, findings, m_curated, isCorrectWord);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        if (input.crossed[i]) {
            input.verifiable[i] = true;
        }
        if (setPhrases[i]) {
            input.verifiable[i] = false;
        }
    }
    // A character the model knows as a word of its own, that the dictionaries list in no word, is
    // mostly a name's (on fiction a pink mark is an error 3 times in 100): the model judges it
    // like any other character instead of the mark standing.
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const auto& f = findings[i];
        if (f.type == FindingType::Suspected && f.length == 1 && f.word.size() == 1 &&
            ((f.word[0] >= 0x4E00 && f.word[0] <= 0x9FFF) ||
             (f.word[0] >= 0x3400 && f.word[0] <= 0x4DBF)) &&
            m_model->wordIndex(f.word) != m_model->languageModel().unknown()) {
            input.verifiable[i] = true;
        }
    }
    input.isShieldWord = [&engine](std::u16string_view word) {
        const auto tag = engine.correctWords().value(word);
        return tag && (*tag == u"user" || *tag == u"auto");
    };
    input.isKnownWord = isCorrectWord;
    ContextOptions options;
    options.threshold = threshold;
    ContextResult result = runContextCheck(*m_model, input, options, control);
    // A word the text writes twice is the writer's: neither the model's own findings nor the
    // generated error words the model kept stand for it. A pass stopped early leaves the
    // dictionaries' findings as they are.
    std::unordered_set<std::u16string_view> doubted;
    for (const auto& f : result.findings) {
        doubted.insert(f.word);
    }
    for (std::size_t i = 0; result.completed && i < findings.size() && i < result.keep.size();
         ++i) {
        if (result.keep[i] && isGenerated(findings[i])) {
            doubted.insert(findings[i].word);
        }
    }
    if (const auto twice = writtenTwice(text, doubted); !twice.empty()) {
        std::erase_if(result.findings,
                      [&](const rg_BiaoJiCiYuLei& f) { return twice.count(f.word) != 0; });
        for (std::size_t i = 0; result.completed && i < findings.size() && i < result.keep.size();
             ++i) {
            if (result.keep[i] && isGenerated(findings[i]) && twice.count(findings[i].word) != 0) {
                result.keep[i] = false;
            }
        }
    }
    // The unscanned words the model kept and the hidden ones are listed where they stand, as
    // dictionary findings; a generated error word that one of them overlaps gives way.
    if (!joined.empty()) {
        std::vector<rg_BiaoJiCiYuLei> keptUnscanned;
        for (std::size_t i = 0; i < unscanned.size(); ++i) {
            if (result.completed && result.keep[findings.size() + i]) {
                keptUnscanned.push_back(unscanned[i]);
            }
        }
        if (result.completed) {
            keptUnscanned.insert(keptUnscanned.end(), hidden.begin(), hidden.end());
            std::sort(keptUnscanned.begin(), keptUnscanned.end(),
                      [](const auto& a, const auto& b) { return a.position < b.position; });
        }
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const auto& f = findings[i];
            if (result.keep[i] && isGenerated(f) &&
                std::any_of(keptUnscanned.begin(), keptUnscanned.end(),
                            [&](const auto& u) { return overlaps(u, f); })) {
                result.keep[i] = false;
            }
        }
        result.keep.resize(findings.size());
        mergeByPosition(result.findings, std::move(keptUnscanned));
    }
    // A curated wrong word inside a longer correct word that the text holds whole is that word's.
    if (result.completed) {
        const auto held = heldWholeFindings(text, findings, m_curated, isCorrectWord);
        for (std::size_t i = 0; i < findings.size() && i < result.keep.size(); ++i) {
            if (held[i]) {
                result.keep[i] = false;
            }
        }
    }
    if (kept != nullptr) {
        *kept = result.keep;
    }
    if (m_rules && result.completed) {
        addRuleFindings(m_rules->check(*m_model, text), findings, text.size(), result);
    }
    return mergeContextFindings(findings, result.keep, result.findings, order);
}

std::vector<rg_BiaoJiCiYuLei> ContextPass::hiddenCuratedWords(
    std::u16string_view text, std::span<const rg_BiaoJiCiYuLei> findings,
    const std::vector<rg_BiaoJiCiYuLei>& unscanned) const {
    std::vector<rg_BiaoJiCiYuLei> sure;
    std::copy_if(findings.begin(), findings.end(), std::back_inserter(sure),
                 [this](const rg_BiaoJiCiYuLei& f) { return !isGenerated(f); });
    if (sure.size() == findings.size()) {
        return {};
    }
    std::vector<rg_BiaoJiCiYuLei> hidden = m_curated.unscanned(text, sure);
    std::erase_if(hidden, [&](const rg_BiaoJiCiYuLei& h) {
        return std::any_of(unscanned.begin(), unscanned.end(),
                           [&](const rg_BiaoJiCiYuLei& u) { return overlaps(u, h); });
    });
    return hidden;
}

bool ContextPass::isGenerated(const rg_BiaoJiCiYuLei& f) const {
    return f.type == FindingType::Error && f.source == FindingSource::Dictionary &&
           !m_curated.contains(f.word);
}

void ContextPass::dropRepeatedWords(std::u16string_view text,
                                    std::vector<rg_BiaoJiCiYuLei>& findings) const {
    kjf::dropRepeatedWords(text, findings, [this](const rg_BiaoJiCiYuLei& f) {
        return f.source == FindingSource::Context || isGenerated(f);
    });
}

ContextPass* ContextPassLoader::passFor(const std::string& modelPath, std::u16string* failure) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_loading; });
    if (m_path == modelPath) {
        return m_failed ? nullptr : &m_pass;
    }
    m_loading = true;
    m_path = modelPath;
    lock.unlock();
    std::u16string message;
    const bool loaded = m_pass.loadModel(m_locations, modelPath, message);
    lock.lock();
    m_loading = false;
    m_failed = !loaded;
    lock.unlock();
    m_changed.notify_all();
    if (failure != nullptr) {
        *failure = std::move(message);
    }
    return loaded ? &m_pass : nullptr;
}

void ContextPassLoader::dictionariesLoaded(const rg_ChaCuoYinQing& engine) {
    m_pass.readCuratedWords(m_locations, engine);
}

}  // namespace kjf
