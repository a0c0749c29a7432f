// The five kinds of dictionary and where their files live below their data folder.
#pragma once

#include <array>
#include <string_view>

namespace kjf {

enum class DictionaryKind { SystemCorrect, SystemError, UserCorrect, UserError, Automatic };

inline constexpr std::array<DictionaryKind, 5> kAllDictionaryKinds = {
    DictionaryKind::SystemCorrect, DictionaryKind::SystemError, DictionaryKind::UserCorrect,
    DictionaryKind::UserError, DictionaryKind::Automatic};

constexpr bool isSystemKind(DictionaryKind kind) {
    return kind == DictionaryKind::SystemCorrect || kind == DictionaryKind::SystemError;
}

// The kind's folder below its data folder (the system one for system kinds, the user's for the
// others), with a trailing '/'.
constexpr std::string_view dictionarySubdirectory(DictionaryKind kind) {
    switch (kind) {
        case DictionaryKind::SystemCorrect:
        case DictionaryKind::UserCorrect:
            return "right/";
        case DictionaryKind::SystemError:
        case DictionaryKind::UserError:
            return "error/";
        case DictionaryKind::Automatic:
            return "auto/";
    }
    return "";
}

// The automatic dictionary is always this one file of its folder.
inline constexpr std::string_view kAutomaticDictionaryName = "auto.dict";

// The key of section "词库设置" that lists the kind's enabled files; empty for Automatic.
constexpr std::u16string_view enabledListKey(DictionaryKind kind) {
    switch (kind) {
        case DictionaryKind::SystemCorrect:
            return u"系统正确词库列表";
        case DictionaryKind::SystemError:
            return u"系统错误词库列表";
        case DictionaryKind::UserCorrect:
            return u"用户正确词库列表";
        case DictionaryKind::UserError:
            return u"用户错误词库列表";
        case DictionaryKind::Automatic:
            return u"";
    }
    return u"";
}

constexpr bool isErrorKind(DictionaryKind kind) {
    return kind == DictionaryKind::SystemError || kind == DictionaryKind::UserError;
}

// The value stored in the correct-word table for words of a correct kind.
constexpr std::u16string_view correctWordTag(DictionaryKind kind) {
    switch (kind) {
        case DictionaryKind::SystemCorrect:
            return u"sys";
        case DictionaryKind::UserCorrect:
            return u"user";
        case DictionaryKind::Automatic:
            return u"auto";
        default:
            return u"";
    }
}

}  // namespace kjf
