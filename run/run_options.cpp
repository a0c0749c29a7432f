#include "run/run_options.h"

#include <algorithm>

#include "engine/checking_engine.h"
#include "engine/dictionary_kind.h"
#include "settings/settings_file.h"
#include "text/text_file.h"

namespace kjf {

RunOptions readRunOptions(const std::string& settingsDirectory) {
    using namespace setting;
    RunOptions options;
    const auto read = [&](std::u16string_view key, std::u16string_view fallback) {
        return readSetting(settingsDirectory, kEngineSection, key, fallback);
    };
    if (read(kAutoQuantization, u"1") == u"1") {
        options.quantization = 0;
    } else {
        options.quantization = std::clamp(parseDecimal(read(kQuantization, u"10")), 2, 10);
    }
    options.engineType = parseDecimal(read(kEngineType, u"1"));
    options.accuracyBoost = read(kAccuracyBoost, u"0") == u"1" ? 1 : 0;
    return options;
}

void readEnabledLists(const std::string& settingsDirectory,
                      std::vector<std::u16string>& systemCorrect,
                      std::vector<std::u16string>& systemError,
                      std::vector<std::u16string>& userCorrect,
                      std::vector<std::u16string>& userError) {
    const auto read = [&](DictionaryKind kind) {
        return splitText(
            readSetting(settingsDirectory, setting::kDictionarySection, enabledListKey(kind), u""),
            u",");
    };
    systemCorrect = read(DictionaryKind::SystemCorrect);
    systemError = read(DictionaryKind::SystemError);
    userCorrect = read(DictionaryKind::UserCorrect);
    userError = read(DictionaryKind::UserError);
}

void bindEnabledListsFromSettings(rg_ChaCuoYinQing& engine, const std::string* settingsDirectory) {
    engine.onListsRequested.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, auto& a, auto& b, auto& c, auto& d) {
            readEnabledLists(*static_cast<const std::string*>(owner), a, b, c, d);
        },
        const_cast<std::string*>(settingsDirectory), 0);
}

}  // namespace kjf
