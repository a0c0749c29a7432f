#include "dictionaries/dictionary_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "documents/document_reader.h"
#include "engine/dictionary_file.h"
#include "engine/dictionary_kind.h"
#include "settings/settings_file.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

namespace {

// Why a dictionary file that was not read whole must not be rewritten.
std::u16string incompleteReason(const DictionaryFileText& file) {
    if (!file.exists) {
        return u"文件不存在";
    }
    return file.readable ? u"文件中有无法读取的内容（U+0000 或无法识别的字节）" : u"无法读取原文件";
}

bool endsWithDictExtension(std::string_view name) {
    constexpr std::string_view extension = ".dict";
    if (name.size() < extension.size()) {
        return false;
    }
    // The listing matches the extension without regard to case, as the file dialogs do.
    const std::string_view tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

}  // namespace

std::vector<std::u16string> listDictionaryFiles(const std::string& directory) {
    std::vector<std::u16string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !endsWithDictExtension(name) ||
            !isRegularFile(directory + name)) {
            continue;
        }
        std::u16string wide = utf8ToUtf16(name);
        if (utf16ToUtf8(wide) != name) {
            continue;
        }
        names.push_back(std::move(wide));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::u16string enabledListValue(const std::vector<std::u16string>& names) {
    std::u16string value;
    for (const auto& name : names) {
        value += name;
        value += u',';
    }
    return value;
}

DictionaryFileText readDictionaryFile(const std::string& path) {
    DictionaryFileText result;
    result.exists = pathExists(path);
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        return result;
    }
    result.readable = true;
    DecodedDictionary decoded = decodeDictionaryFile(*bytes);
    result.text = std::move(decoded.text);
    result.complete = decoded.complete;
    result.encoding = decoded.encoding;
    return result;
}

DictionaryWithLines withLinesAdded(const std::string& path,
                                   const std::vector<std::u16string>& lines) {
    DictionaryWithLines added;
    DictionaryFileText file = readDictionaryFile(path);
    if (file.exists && !file.complete) {
        added.status = WriteResult::refused(incompleteReason(file));
        return added;
    }
    added.encoding = file.encoding;
    added.text = std::move(file.text);
    if (!added.text.empty() && added.text.back() != u'\n' && added.text.back() != u'\r') {
        added.text += u"\r\n";
    }
    for (const auto& line : lines) {
        added.text += line;
        added.text += u"\r\n";
    }
    return added;
}

std::u16string optimiseDictionaryText(std::u16string_view text, const OptimiseProgress& progress) {
    // A leading byte-order mark is no part of the first entry (loading skips it); sorted, it
    // would end up glued to the front of some other line, whose entry would never match again.
    if (!text.empty() && text.front() == u'\uFEFF') {
        text.remove_prefix(1);
    }
    const auto lines = splitText(text, u"\r\n");
    const std::size_t n = lines.size();
    std::set<std::u16string> distinct;
    for (std::size_t i = 1; i <= n; ++i) {
        distinct.insert(lines[i - 1]);
        if (progress) {
            progress(static_cast<int>(100 * i / n / 2));
        }
    }
    const std::size_t m = distinct.size();
    std::u16string out;
    std::size_t k = 0;
    for (const auto& line : distinct) {
        ++k;
        out += line;
        out += u"\r\n";
        if (progress) {
            progress(50 + static_cast<int>(100 * k / m / 2));
        }
    }
    return out;
}

WriteResult optimiseDictionaryFile(const std::string& path, const OptimiseProgress& progress) {
    const DictionaryFileText file = readDictionaryFile(path);
    if (!file.complete) {
        return WriteResult::refused(incompleteReason(file));
    }
    return saveDictionaryText(path, optimiseDictionaryText(file.text, progress));
}

bool isUsableDictionaryName(std::u16string_view name) {
    if (name.empty() || trimControlAndSpace(name).size() != name.size()) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c < 0x20 || c == u'/' || c == u'\\' || c == u',' || c == 0x7F;
    });
}

WriteResult createEmptyDictionary(const std::string& path) {
    if (isProtectedPath(path)) {
        return protectedPathRefusal();
    }
    // O_EXCL: an existing file is never opened, so it can never be truncated.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, errno);
    }
    if (::close(fd) != 0) {
        return WriteResult::failed(ReplaceOutcome::WriteFailed, errno);
    }
    return {};
}

WriteResult deleteDictionaryFile(const std::string& path) {
    if (isProtectedPath(path)) {
        return protectedPathRefusal();
    }
    if (!isRegularFile(path)) {
        return WriteResult::failed(ReplaceOutcome::NotAFile, pathExists(path) ? 0 : ENOENT);
    }
    if (::unlink(path.c_str()) != 0) {
        return WriteResult::failed(ReplaceOutcome::CannotReplace, errno);
    }
    return {};
}

namespace {

// Calls check(number, line) for every line of text: CR LF, CR and LF each end one line.
template <typename Check>
void forEachLine(std::u16string_view text, Check check) {
    std::int32_t number = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        check(number, text.substr(start, end - start));
        if (end == text.size()) {
            break;
        }
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n') {
            ++start;
        }
        ++number;
    }
}

// The line is written as "错词$=$正词" (a word before the first "$=$") and loading takes it as an
// entry: a line that loading would drop must never pass a check.
bool isWellFormedErrorLine(std::u16string_view trimmed) {
    const auto separator = trimmed.find(u"$=$");
    return separator != std::u16string_view::npos && separator != 0 &&
           errorEntryOfLine(trimmed).has_value();
}

}  // namespace

std::vector<MalformedLine> malformedErrorLines(std::u16string_view text) {
    std::vector<MalformedLine> bad;
    forEachLine(text, [&](std::int32_t number, std::u16string_view raw) {
        const std::u16string_view line = trimControlAndSpace(raw);
        if (!line.empty() && !isWellFormedErrorLine(line)) {
            bad.push_back({number, std::u16string(line)});
        }
    });
    return bad;
}

std::vector<MalformedLine> malformedErrorLinesOfFile(std::string_view bytes) {
    const DecodedDictionary decoded = decodeDictionaryFile(bytes, false);
    const std::u16string& all = decoded.text;
    std::vector<MalformedLine> bad;
    forEachLine(all, [&](std::int32_t number, std::u16string_view raw) {
        // In UTF-8 the text stops at a byte that is no UTF-8: its line and every one behind it
        // cannot be read, and the line is shown up to it, with U+FFFD in its place.
        const bool cutShort =
            !decoded.complete && raw.data() + raw.size() == all.data() + all.size();
        if (cutShort || raw.find(u'\0') != std::u16string_view::npos) {
            // Trimmed of blanks and controls but not of a U+0000 being reported.
            const auto trimmable = [](char16_t c) { return c != 0 && c <= 0x20; };
            std::size_t first = 0;
            std::size_t last = raw.size();
            while (first < last && trimmable(raw[first])) {
                ++first;
            }
            while (last > first && trimmable(raw[last - 1])) {
                --last;
            }
            std::u16string text(raw.substr(first, last - first));
            if (cutShort) {
                text += u'\uFFFD';
            }
            bad.push_back({number, std::move(text)});
            return;
        }
        const std::u16string_view line = trimControlAndSpace(raw);
        if (!line.empty() && !isWellFormedErrorLine(line)) {
            bad.push_back({number, std::u16string(line)});
        }
    });
    return bad;
}

WriteResult saveDictionaryText(const std::string& path, std::u16string_view text) {
    return writeFileAtomically(path, encodeDictionaryText(text));
}

AddedWord addToUserCorrectDictionary(const Locations& locations, std::u16string_view word) {
    constexpr auto kind = DictionaryKind::UserCorrect;
    const std::u16string listKey(enabledListKey(kind));
    const std::u16string listValue =
        readSetting(locations.settingsDirectory, setting::kDictionarySection, listKey, u"");
    std::u16string name;
    for (const auto& enabled : splitText(listValue, u",")) {
        if (isPlainFileName(enabled)) {
            name = enabled;
            break;
        }
    }
    const bool enable = name.empty();
    if (enable) {
        name = u"user.dict";
    }
    const std::string directory = locations.dictionaryDirectory(kind);
    AddedWord added{{}, directory + utf16ToUtf8Lossy(name)};
    const DictionaryWithLines withWord = withLinesAdded(added.path, {std::u16string(word)});
    if (!withWord.status) {
        added.result = withWord.status;
        return added;
    }
    if (!makeDirectoryPath(directory)) {
        added.result = WriteResult::failed(ReplaceOutcome::CannotCreate, errno);
        return added;
    }
    const auto enableIn = [&](std::u16string value) {
        return writeSetting(locations.settingsDirectory, setting::kDictionarySection, listKey,
                            value);
    };
    if (enable) {
        std::u16string value = listValue;
        if (!value.empty() && value.back() != u',') {
            value += u',';
        }
        if (added.result = enableIn(value + name + u","); !added.result) {
            return added;
        }
    }
    if (added.result = saveDictionaryText(added.path, withWord.text); !added.result) {
        // As it was: no list names a file that did not take the word. Should this fail too,
        // the list names an existing or an empty file, which loads as before.
        if (enable) {
            (void)enableIn(listValue);
        }
        return added;
    }
    return added;
}

DroppedDictionaryText readDroppedDictionaryFile(const std::string& path) {
    DroppedDictionaryText dropped;
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        dropped.message = u"无法读取该文件，未加入任何内容！";
        return dropped;
    }
    const std::string_view data = *bytes;
    const bool utf16Mark = data.starts_with("\xFF\xFE") || startsWithUtf16BigEndianMark(data);
    // Archives and old Office files hold zero bytes too; the import's rules read or refuse them.
    const bool packaged =
        looksLikeZip(data) || data.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    DecodedDictionary decoded = decodeDictionaryFile(data);
    bool complete = decoded.complete;
    if (utf16Mark || decoded.encoding == DictionaryEncoding::Utf8 ||
        (!packaged && data.find('\0') != std::string_view::npos)) {
        dropped.text = std::move(decoded.text);
    } else {
        DocumentReadResult read = decodeDocumentBytes(data);
        if (!read.ok) {
            dropped.message = std::move(read.message);
            return dropped;
        }
        complete = read.source.complete;
        dropped.text = std::move(read.text);
    }
    if (!complete) {
        // Taking the part before the fault would lose the rest without a word.
        dropped.text.clear();
        dropped.message = u"文件中有无法识别的内容，只能读取其中一部分，未加入任何内容！";
        return dropped;
    }
    if (!dropped.text.empty() && dropped.text.front() == u'\uFEFF') {
        dropped.text.erase(0, 1);
    }
    dropped.ok = true;
    return dropped;
}

SaveOutcome saveDictionaryTextReporting(const std::string& path, std::u16string_view text) {
    if (!isDirectory(parentDirectory(path)) || isDirectory(path)) {
        return {
            SaveOutcome::Kind::CannotCreate,
            WriteResult::failed(ReplaceOutcome::CannotCreate, isDirectory(path) ? EISDIR : ENOENT)};
    }
    WriteResult result = saveDictionaryText(path, text);
    const bool saved = static_cast<bool>(result);
    return {saved ? SaveOutcome::Kind::Saved : SaveOutcome::Kind::WriteFailed, std::move(result)};
}

}  // namespace kjf
