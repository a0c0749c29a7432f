// What a proofreading run takes from setup.ini: the run's arguments and the enabled dictionaries.
// Every function takes the folder that holds setup.ini, ending in '/'
// (Locations::settingsDirectory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kjf {

class rg_ChaCuoYinQing;

// The arguments of runCheck other than the text's length.
struct RunOptions {
    std::int32_t quantization = 0;  // 0: automatic
    std::int32_t engineType = 1;
    std::int32_t accuracyBoost = 0;
};

// Reads section "引擎设置": "自动量化" (default "1") exactly "1" gives automatic quantization,
// otherwise "量化数值" (default "10") as a decimal integer clamped to 2..10 (no digits: 2);
// "引擎类型" (default "1") as a decimal integer; "准确度提升" (default "0") exactly "1" turns the
// context check on. Any thread.
RunOptions readRunOptions(const std::string& settingsDirectory);

// Fills the four enabled lists (system correct, system error, user correct, user error) from
// section "词库设置": each value cut at "," with pieces trimmed and empty pieces dropped.
void readEnabledLists(const std::string& settingsDirectory,
                      std::vector<std::u16string>& systemCorrect,
                      std::vector<std::u16string>& systemError,
                      std::vector<std::u16string>& userCorrect,
                      std::vector<std::u16string>& userError);

// Binds the engine's onListsRequested to readEnabledLists over *settingsDirectory, which must
// outlive the engine's loads.
void bindEnabledListsFromSettings(rg_ChaCuoYinQing& engine, const std::string* settingsDirectory);

}  // namespace kjf
