// The context check as a proofreading run's owner uses it: its settings in setup.ini, the model
// loaded once, and the pass over a run's text and dictionary findings.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "context/context_check.h"
#include "context/grammar_rules.h"
#include "context/verifiable_findings.h"
#include "settings/locations.h"

namespace kjf {

class rg_ChaCuoYinQing;

// Section "引擎设置": "语境校对" exactly "1" turns the check on (a file without the key leaves it
// off); "语境阈值" a decimal number (else the default); "语境模型" the model's path (else the
// package's). Any thread.
struct ContextSettings {
    bool enabled = false;
    double threshold = kDefaultContextThreshold;
    std::string modelPath;
};
ContextSettings readContextSettings(const std::string& settingsDirectory);

// Adds the rule findings (in text order) that no kept dictionary finding of the pass overlaps to
// result's contextual findings, in place of the model's findings that they overlap, keeping text
// order. textLength bounds every finding. Any thread.
void addRuleFindings(std::vector<rg_BiaoJiCiYuLei> rules,
                     std::span<const rg_BiaoJiCiYuLei> dictionary, std::size_t textLength,
                     ContextResult& result);

// The file in the cache folder that keeps the verdict on the last model file checked.
inline constexpr std::string_view kModelVerdictFileName = "language-model.checked";

// Drops the findings that mayGo accepts (by default the model's own) whose word text writes two
// or more times: a name, a term or a transliteration that a text repeats is far likelier meant
// than the common word the model prefers. Other findings stay. Any thread.
void dropRepeatedWords(
    std::u16string_view text, std::vector<rg_BiaoJiCiYuLei>& findings,
    const std::function<bool(const rg_BiaoJiCiYuLei&)>& mayGo = [](const rg_BiaoJiCiYuLei& f) {
        return f.source == FindingSource::Context;
    });

// The loaded model and confusion sets, and the curated error words of the engine's last load.
// Load on any thread; apply from any number of threads once loaded. A copy shares the loaded
// model (it never changes) and has curated words of its own, for a second engine.
class ContextPass {
  public:
    // Loads the model at modelPath, the confusion sets and the grammar rules of locations' system
    // data, once the file is trusted (trustModel; the verdict is kept in locations' cache folder).
    // On failure the message names the file ("语言模型加载失败：" and the path and the reason).
    // The rules need the model's vocabulary to cut clauses into words, so they run only with the
    // model. Without a rule file the pass runs without them; a rule file that cannot be read
    // leaves the pass without them too, returns true and sets message ("语法规则加载失败：" and
    // the path and the reason).
    bool loadModel(const Locations& locations, const std::string& modelPath,
                   std::u16string& message);
    bool modelLoaded() const { return m_model != nullptr; }
    const std::string& modelPath() const { return m_modelPath; }

    // Re-reads which error words are curated (never refuted) from the engine's enabled lists.
    // Call it after every dictionary load: from onDictionariesLoaded, or once waitForLoading has
    // returned; never while apply runs (apply holds the engine's read guard, which keeps loads
    // from finishing meanwhile).
    void readCuratedWords(const Locations& locations, const rg_ChaCuoYinQing& engine);

    // The findings of a run over text with the pass applied: dictionary findings the model
    // refutes dropped, contextual ones and those of the grammar rules merged in by position, in
    // the order of the scan that found them. A rule finding gives way to a kept dictionary
    // finding that overlaps it and wins over an overlapping finding of the model. The model
    // judges generated error words, and the suspected characters that it knows as words (mostly
    // names' characters) like any others; neither its own findings nor the generated error words
    // it keeps stand for a word that text writes twice or more (kept says false for those). Words
    // of the user's correct dictionaries and of the automatic dictionary are never flagged. control
    // may stop the pass early (the rest keeps its dictionary findings). Needs a loaded model.
    std::vector<rg_BiaoJiCiYuLei> apply(const rg_ChaCuoYinQing& engine,
                                        std::span<const rg_BiaoJiCiYuLei> findings,
                                        std::u16string_view text, double threshold, ScanOrder order,
                                        const ContextControl& control = {},
                                        std::vector<bool>* kept = nullptr) const;

    // Drops from findings of text the model's own and the generated error words that text
    // writes two or more times, as apply does: for the findings of pieces of a longer text
    // checked one by one, with the whole text. Any thread, once loaded.
    void dropRepeatedWords(std::u16string_view text, std::vector<rg_BiaoJiCiYuLei>& findings) const;

  private:
    // An Error of a generated error dictionary, which the model judges.
    bool isGenerated(const rg_BiaoJiCiYuLei& f) const;
    // Curated wrong words of text that only a generated error word hid from the scan (上输 read
    // over 输人 in 提示符上输人), none overlapping one of unscanned.
    std::vector<rg_BiaoJiCiYuLei> hiddenCuratedWords(
        std::u16string_view text, std::span<const rg_BiaoJiCiYuLei> findings,
        const std::vector<rg_BiaoJiCiYuLei>& unscanned) const;

    std::shared_ptr<const ContextModel> m_model;
    std::shared_ptr<const GrammarRules> m_rules;  // null when none could be read
    std::string m_modelPath;
    CuratedErrorWords m_curated;
};

// The context pass of a program's life, shared by all its runs: the model is loaded at most once
// per path, by the first thread that needs it while the others wait for that load, and a path
// that could not be loaded is not tried again.
class ContextPassLoader {
  public:
    // The model's confusion sets come from locations' system data.
    explicit ContextPassLoader(Locations locations) : m_locations(std::move(locations)) {}

    // The pass with the model at modelPath, or nullptr when that model cannot be loaded. Loads it
    // on this thread unless it is loaded, has failed, or is being loaded by another thread (then
    // waits for that load). Another path than the last replaces the model: call it with another
    // path only while no run applies the pass. The first time a path is loaded, *failure (when
    // given) is set to what failed: the model (then nullptr is returned) or its grammar rules
    // (the pass runs without them); otherwise it is left alone. Any thread.
    ContextPass* passFor(const std::string& modelPath, std::u16string* failure = nullptr);

    // Re-reads the curated words of the engine's last load (see ContextPass::readCuratedWords):
    // from onDictionariesLoaded, or once waitForLoading has returned.
    void dictionariesLoaded(const rg_ChaCuoYinQing& engine);

  private:
    const Locations m_locations;
    ContextPass m_pass;
    std::mutex m_mutex;  // guards the three below
    std::condition_variable m_changed;
    bool m_loading = false;
    bool m_failed = false;
    std::string m_path;  // of the model loaded, being loaded or failed
};

}  // namespace kjf
