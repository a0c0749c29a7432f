// The settings file setup.ini: sections of "key=value" lines.
#pragma once

#include <string>
#include <string_view>

#include "text/files.h"

namespace kjf {

inline constexpr std::string_view kSettingsFileName = "setup.ini";

// Section and key names the program uses.
namespace setting {
inline constexpr std::u16string_view kEngineSection = u"引擎设置";
inline constexpr std::u16string_view kEngineType = u"引擎类型";
inline constexpr std::u16string_view kAutoQuantization = u"自动量化";
inline constexpr std::u16string_view kQuantization = u"量化数值";
inline constexpr std::u16string_view kAccuracyBoost = u"准确度提升";
// The context check with the language model: "1" on; anything else, or no key, off.
inline constexpr std::u16string_view kContextCheck = u"语境校对";
// How much more probable a replacement must make its sentence (log10) to be flagged.
inline constexpr std::u16string_view kContextThreshold = u"语境阈值";
// The language model's file; empty or no key: the one the package installs.
inline constexpr std::u16string_view kContextModel = u"语境模型";
inline constexpr std::u16string_view kDictionarySection = u"词库设置";
}  // namespace setting

// Reads the value of key in section from settingsDirectory + "setup.ini" (the folder ends in
// '/'; see Locations). The file is read and
// parsed afresh on every call: UTF-8 (a leading mark ignored), UTF-16 after its mark, or GB18030.
// Returns the first "key=" line after the section's first header
// (a section runs to the end of the file), else defaultValue. A missing file also gives
// defaultValue. Never fails; any thread.
std::u16string readSetting(const std::string& settingsDirectory, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue);

// Sets key to value in section and rewrites the whole file as UTF-8 with CR LF after every line:
// the first key line after every header of the section is replaced; a new key goes directly below
// the section's last header; a new section goes after the first line. Blank lines and trailing
// blanks are dropped on the way. Fails, leaving the file untouched, when the file exists but
// cannot be read whole or decoded to its end (Refused), or when the new file cannot be written.
// Writers in any process take turns through a lock file beside it (.setup.ini.lock).
// Window thread only (reads may run on other threads: the file is replaced atomically).
WriteResult writeSetting(const std::string& settingsDirectory, std::u16string_view section,
                         std::u16string_view key, std::u16string_view value);

}  // namespace kjf
