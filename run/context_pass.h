// The context check as a proofreading run's owner uses it: its settings in setup.ini, the model
// loaded once, and the pass over a run's text and dictionary findings.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "context/context_check.h"
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

// The loaded model and confusion sets, and the curated error words of the engine's last load.
// Load on any thread; apply from any number of threads once loaded. A copy shares the loaded
// model (it never changes) and has curated words of its own, for a second engine.
class ContextPass {
  public:
    // Loads the model at modelPath and the confusion sets of locations' system data. On failure
    // the message names the file ("语言模型加载失败：" and the path and the reason).
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
    // refutes dropped, contextual ones merged in by position, in the scan's order. Words of the
    // user's correct dictionaries and of the automatic dictionary are never flagged. control
    // may stop the pass early (the rest keeps its dictionary findings). Needs a loaded model.
    std::vector<rg_BiaoJiCiYuLei> apply(const rg_ChaCuoYinQing& engine,
                                        std::span<const rg_BiaoJiCiYuLei> findings,
                                        std::u16string_view text, double threshold,
                                        const ContextControl& control = {},
                                        std::vector<bool>* kept = nullptr) const;

  private:
    std::shared_ptr<const ContextModel> m_model;
    std::string m_modelPath;
    CuratedErrorWords m_curated;
};

}  // namespace kjf
