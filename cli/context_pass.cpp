#include "cli/context_pass.h"

#include <cstdlib>

#include "engine/checking_engine.h"
#include "settings/settings_file.h"
#include "text/utf.h"

namespace kjf::cli {

bool loadContextPass(const std::string& root, const rg_ChaCuoYinQing& engine, ContextPass& pass,
                     std::string& message) {
    std::string modelPath = utf16ToUtf8Lossy(readSetting(root, u"引擎设置", u"语境模型", u""));
    if (modelPath.empty()) {
        modelPath = std::string(kDefaultLanguageModelPath);
    }
    auto load = ContextModel::load(modelPath, root + std::string(kContextDataDirectory));
    if (!load.model) {
        message = load.message;
        return false;
    }
    pass.model = std::move(load.model);
    const std::string threshold =
        utf16ToUtf8Lossy(readSetting(root, u"引擎设置", u"语境阈值", u""));
    if (!threshold.empty()) {
        char* end = nullptr;
        const double value = std::strtod(threshold.c_str(), &end);
        if (end != threshold.c_str() && *end == '\0') {
            pass.options.threshold = value;
        }
    }
    pass.curated.load(root, engine.systemErrorList(), engine.userErrorList());
    return true;
}

std::vector<rg_BiaoJiCiYuLei> applyContextPass(const ContextPass& pass,
                                               const rg_ChaCuoYinQing& engine,
                                               std::u16string_view text) {
    ContextInput input;
    input.text = text;
    input.findings = engine.findings();
    input.verifiable = verifiableFindings(engine.findings(), pass.curated);
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    input.isShieldWord = [&engine](std::u16string_view word) {
        const auto tag = engine.correctWords().value(word);
        return tag && (*tag == u"user" || *tag == u"auto");
    };
    const ContextResult result = runContextCheck(*pass.model, input, pass.options);
    return mergeContextFindings(engine.findings(), result.keep, result.findings);
}

}  // namespace kjf::cli
