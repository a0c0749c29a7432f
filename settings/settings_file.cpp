#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

namespace {

std::u16string header(std::u16string_view section) {
    std::u16string h = u"[";
    h += section;
    h += u"]";
    return h;
}

std::u16string keyPrefix(std::u16string_view key) {
    std::u16string p(key);
    p += u"=";
    return p;
}

bool startsWith(std::u16string_view line, std::u16string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// setup.ini as the program reads it: UTF-8, or UTF-16 after its mark, and GB18030 for a file
// that an older version or the user saved in the system's Chinese code page. A leading mark is
// no part of the first line (else the first section's name would never match).
TextFileContent readSettingsText(const std::string& path) {
    TextFileContent content;
    const auto bytes = readWholeFile(path, &content.failure);
    content.exists = content.failure != ReadFailure::Missing;
    if (!bytes) {
        return content;
    }
    content = decodeTextFileBytes(*bytes);
    const bool utf16 = bytes->starts_with("\xFF\xFE") || startsWithUtf16BigEndianMark(*bytes);
    if (!content.complete && !utf16 && bytes->find('\0') == std::string::npos) {
        if (auto text = decodeGb18030Strict(*bytes)) {
            content.text = std::move(*text);
            content.complete = true;
        }
    }
    if (content.text.starts_with(u'\uFEFF')) {
        content.text.erase(0, 1);
    }
    return content;
}

// The writers of setup.ini (the window, the command-line tool) take turns: each reads, changes
// and replaces the file holding an exclusive lock on a file beside it, so that no write undoes
// another's. Without that file (a folder that cannot be written) the write goes on unlocked and
// fails on its own.
class SettingsWriteLock {
  public:
    explicit SettingsWriteLock(const std::string& settingsDirectory)
        : m_fd(::open((settingsDirectory + ".setup.ini.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
                      0666)) {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~SettingsWriteLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SettingsWriteLock(const SettingsWriteLock&) = delete;
    SettingsWriteLock& operator=(const SettingsWriteLock&) = delete;

  private:
    int m_fd;
};

}  // namespace

std::u16string readSetting(const std::string& settingsDirectory, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue) {
    const std::string path = settingsDirectory + std::string(kSettingsFileName);
    // A missing file gives the caller's default like a missing key does, so that a run without
    // setup.ini still checks with the usual options.
    const auto lines = splitText(readSettingsText(path).text, u"\r\n");
    const std::u16string head = header(section);
    const std::u16string prefix = keyPrefix(key);
    bool inSection = false;
    for (const auto& line : lines) {
        if (line == head) {
            inSection = true;
        } else if (inSection && startsWith(line, prefix)) {
            return line.substr(prefix.size());
        }
    }
    return std::u16string(defaultValue);
}

WriteResult writeSetting(const std::string& settingsDirectory, std::u16string_view section,
                         std::u16string_view key, std::u16string_view value) {
    const std::string path = settingsDirectory + std::string(kSettingsFileName);
    std::u16string keyLine = keyPrefix(key);
    keyLine += value;

    std::u16string text;
    const SettingsWriteLock lock(settingsDirectory);
    const TextFileContent content = readSettingsText(path);
    if (!content.exists) {
        text = header(section) + u"\r\n" + keyLine;
    } else {
        // Rebuilding the file from a text that was cut short would lose the rest of it.
        if (!content.complete) {
            return WriteResult::refused(content.readable ? std::u16string(u"文件中有无法识别的内容")
                                                         : readFailureText(content.failure));
        }
        auto lines = splitText(content.text, u"\r\n");
        const std::u16string head = header(section);
        const std::u16string prefix = keyPrefix(key);
        std::ptrdiff_t headerIndex = -1;
        bool inSection = false;
        bool written = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == head) {
                inSection = true;
                headerIndex = static_cast<std::ptrdiff_t>(i);
            } else if (inSection && startsWith(lines[i], prefix)) {
                lines[i] = keyLine;
                written = true;
                inSection = false;
            }
        }
        if (!written) {
            if (headerIndex < 0) {
                const std::size_t at = std::min<std::size_t>(1, lines.size());
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), head);
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at) + 1, keyLine);
            } else {
                lines.insert(lines.begin() + headerIndex + 1, keyLine);
            }
        }
        for (const auto& line : lines) {
            text += line;
            text += u"\r\n";
        }
    }
    return writeFileAtomically(path, utf16ToUtf8Lossy(text));
}

}  // namespace kjf
