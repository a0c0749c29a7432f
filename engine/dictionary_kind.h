// The five kinds of dictionary and where their files live below the program directory.
#pragma once

#include <array>
#include <string_view>

namespace kjf {

enum class DictionaryKind { SystemCorrect, SystemError, UserCorrect, UserError, Automatic };

inline constexpr std::array<DictionaryKind, 5> kAllDictionaryKinds = {
    DictionaryKind::SystemCorrect, DictionaryKind::SystemError, DictionaryKind::UserCorrect,
    DictionaryKind::UserError, DictionaryKind::Automatic};

// The kind's directory below the program directory, with a trailing '/'.
constexpr std::string_view dictionaryDirectory(DictionaryKind kind) {
    switch (kind) {
        case DictionaryKind::SystemCorrect:
            return "data/sys/right/";
        case DictionaryKind::SystemError:
            return "data/sys/error/";
        case DictionaryKind::UserCorrect:
            return "data/user/right/";
        case DictionaryKind::UserError:
            return "data/user/error/";
        case DictionaryKind::Automatic:
            return "data/user/auto/";
    }
    return "";
}

// The automatic dictionary is always this one file.
inline constexpr std::string_view kAutomaticDictionaryPath = "data/user/auto/auto.dict";

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
