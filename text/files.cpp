#include "text/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "text/utf.h"

namespace kjf {

namespace {

std::mutex& injectorMutex() {
    static std::mutex m;
    return m;
}

WriteFaultInjector& injector() {
    static WriteFaultInjector f;
    return f;
}

bool injectedFault(std::string_view step) {
    std::lock_guard lock(injectorMutex());
    return injector() && injector()(step);
}

std::mutex& protectedMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& protectedFolders() {
    static std::vector<std::string> folders;
    return folders;
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void setWriteFaultInjectorForTesting(WriteFaultInjector f) {
    std::lock_guard lock(injectorMutex());
    injector() = std::move(f);
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> readWholeFile(const std::string& path, ReadFailure* failure) {
    ReadFailure ignored = ReadFailure::None;
    ReadFailure& why = failure != nullptr ? *failure : ignored;
    why = ReadFailure::None;
    // O_NONBLOCK: opening a pipe would otherwise wait for a writer forever. Reads of a regular
    // file are not affected by it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why = errno == ENOENT || errno == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxReadableFileSize) {
        why = st.st_size > kMaxReadableFileSize && S_ISREG(st.st_mode) ? ReadFailure::TooLarge
                                                                       : ReadFailure::NotAFile;
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            why = ReadFailure::Unreadable;
            return std::nullopt;
        }
        if (n == 0) {
            break;  // the file shrank while we read it: keep what is there
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    return bytes;
}

std::u16string readFailureText(ReadFailure failure) {
    switch (failure) {
        case ReadFailure::None:
            return u"";
        case ReadFailure::Missing:
            return u"文件不存在";
        case ReadFailure::NotAFile:
            return u"不是普通文件";
        case ReadFailure::TooLarge:
            return u"文件太大";
        case ReadFailure::Unreadable:
            return u"无法读取";
    }
    return u"";
}

bool isPlainFileName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") {
        return false;
    }
    for (const char16_t c : name) {
        if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\') {
            return false;
        }
    }
    return true;
}

namespace {

// The file that path leads to: path itself, or the end of its chain of symbolic links (relative
// links resolved from the link's folder). A chain that is too long gives path itself, which the
// caller then refuses as not a regular file.
std::string finalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            return path;
        }
        target.resize(static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : parentDirectory(current) + "/" + target;
    }
    return path;
}

}  // namespace

namespace {

// The errno of a failed step; an injected fault stands for an input/output error.
int failedWith(bool injected) {
    const int error = injected ? EIO : errno;
    return error != 0 ? error : EIO;
}

// Writes a temporary file beside path with the given mode and contents, flushed to disk; its name
// goes to temp. CannotCreate or WriteFailed (with nothing left behind) when that fails.
WriteResult writeTemporaryBeside(const std::string& path, mode_t mode, const ContentWriter& write,
                                 std::string& temp) {
    const auto slash = path.find_last_of('/');
    temp = parentDirectory(path) + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) +
           ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    if (injectedFault("open")) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, failedWith(true));
    }
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, failedWith(false));
    }
    temp.assign(name.data());
    // A writer that opens the file by name writes to the same inode, so syncing fd flushes it.
    int error = 0;
    errno = 0;
    if (::fchmod(fd, mode) != 0) {
        error = failedWith(false);
    } else if (injectedFault("write")) {
        error = failedWith(true);
    } else if (!write(fd, temp)) {
        error = failedWith(false);
    } else if (injectedFault("sync")) {
        error = failedWith(true);
    } else if (::fsync(fd) != 0) {
        error = failedWith(false);
    }
    if (::close(fd) != 0 && error == 0) {
        error = failedWith(false);
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return WriteResult::failed(ReplaceOutcome::WriteFailed, error);
    }
    return {};
}

// writeTemporaryBeside, then the temporary file renamed over path (whatever path is, a link
// included); nothing is left behind when a step fails.
WriteResult writeAndRename(const std::string& path, mode_t mode, const ContentWriter& write) {
    std::string temp;
    if (auto written = writeTemporaryBeside(path, mode, write, temp); !written) {
        return written;
    }
    const bool injected = injectedFault("rename");
    if (injected || ::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = failedWith(injected);
        ::unlink(temp.c_str());
        return WriteResult::failed(ReplaceOutcome::CannotReplace, error);
    }
    return {};
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void protectDirectory(const std::string& directory) {
    std::lock_guard lock(protectedMutex());
    std::string folder = directory;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    protectedFolders().push_back(std::move(folder));
}

void clearProtectedDirectoriesForTesting() {
    std::lock_guard lock(protectedMutex());
    protectedFolders().clear();
}

bool isProtectedPath(const std::string& path) {
    std::lock_guard lock(protectedMutex());
    return std::any_of(protectedFolders().begin(), protectedFolders().end(),
                       [&path](const std::string& folder) { return path.starts_with(folder); });
}

WriteResult protectedPathRefusal() {
    return WriteResult::refused(u"这是程序自带的设置和词库，只读，不能更改");
}

WriteResult replaceFile(const std::string& link, const ContentWriter& write) {
    if (isProtectedPath(link)) {
        return protectedPathRefusal();
    }
    // Replacing a link itself would turn it into a plain file and leave its target as it was.
    const std::string path = finalTarget(link);
    mode_t mode = newFileMode();
    struct stat old {};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) {
        return WriteResult::failed(ReplaceOutcome::NotAFile, S_ISDIR(old.st_mode) ? EISDIR : 0);
    }
    if (hadFile) {
        mode = old.st_mode & 07777;
    }
    return writeAndRename(path, mode, write);
}

CreateOutcome createFileAtomically(const std::string& path, std::string_view bytes) {
    if (isProtectedPath(path)) {
        return CreateOutcome::Failed;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        return CreateOutcome::Exists;
    }
    std::string temp;
    const auto writer = [bytes](int fd, const std::string&) { return writeAll(fd, bytes); };
    if (!writeTemporaryBeside(path, newFileMode(), writer, temp)) {
        return CreateOutcome::Failed;
    }
    // link, unlike rename, refuses to replace what another process put there meanwhile.
    CreateOutcome outcome = CreateOutcome::Created;
    if (injectedFault("rename")) {
        outcome = CreateOutcome::Failed;
    } else if (::link(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        if (error == EEXIST || ::lstat(path.c_str(), &st) == 0) {
            outcome = CreateOutcome::Exists;
        } else if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS) {
            // File systems without hard links: the small window between the look and the
            // rename is the best they allow.
            if (::rename(temp.c_str(), path.c_str()) == 0) {
                return CreateOutcome::Created;
            }
            outcome = CreateOutcome::Failed;
        } else {
            outcome = CreateOutcome::Failed;
        }
    }
    ::unlink(temp.c_str());
    return outcome;
}

WriteResult writeFileAtomically(const std::string& path, std::string_view bytes) {
    return replaceFile(path, [bytes](int fd, const std::string&) { return writeAll(fd, bytes); });
}

namespace {

// The temporary files of writes to path cut short long enough ago: ".NAME.XXXXXX" beside it.
void removeStaleTemporaries(const std::string& path) {
    const std::string folder = parentDirectory(path);
    const auto slash = path.find_last_of('/');
    // Built piece by piece: GCC 12 at -O3 reports a false -Wrestrict for a literal plus a
    // temporary string here.
    std::string prefix = ".";
    prefix += path.substr(slash == std::string::npos ? 0 : slash + 1);
    prefix += '.';
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::time_t limit = std::time(nullptr) - 60;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_mtime < limit) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

}  // namespace

WriteResult writeOwnFileAtomically(const std::string& path, std::string_view bytes) {
    removeStaleTemporaries(path);
    struct stat old {};
    // A link is replaced like a missing file: the new file gets the usual mode.
    mode_t mode = newFileMode();
    if (::lstat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            return WriteResult::failed(ReplaceOutcome::NotAFile, EISDIR);
        }
        if (S_ISREG(old.st_mode)) {
            mode = old.st_mode & 07777;
        } else if (!S_ISLNK(old.st_mode)) {
            return WriteResult::failed(ReplaceOutcome::NotAFile, 0);
        }
    }
    return writeAndRename(path, mode,
                          [bytes](int fd, const std::string&) { return writeAll(fd, bytes); });
}

WriteResult WriteResult::failed(ReplaceOutcome outcome, int systemError) {
    WriteResult result;
    result.outcome = outcome;
    result.systemError = systemError;
    return result;
}

WriteResult WriteResult::refused(std::u16string detail) {
    WriteResult result;
    result.outcome = ReplaceOutcome::Refused;
    result.detail = std::move(detail);
    return result;
}

std::u16string WriteResult::reason() const {
    if (outcome == ReplaceOutcome::Replaced) {
        return {};
    }
    if (!detail.empty()) {
        return detail;
    }
    if (systemError != 0) {
        return systemErrorText(systemError);
    }
    switch (outcome) {
        case ReplaceOutcome::NotAFile:
            return u"不是普通文件";
        case ReplaceOutcome::CannotCreate:
            return u"无法创建临时文件";
        case ReplaceOutcome::WriteFailed:
            return u"写入失败";
        case ReplaceOutcome::CannotReplace:
            return u"无法替换原文件";
        case ReplaceOutcome::Replaced:
        case ReplaceOutcome::Refused:
            break;
    }
    return u"写入失败";
}

std::u16string systemErrorText(int error) {
    switch (error) {
        case ENOSPC:
            return u"磁盘空间不足";
        case EDQUOT:
            return u"超出磁盘配额";
        case EACCES:
        case EPERM:
            return u"没有权限";
        case EROFS:
            return u"文件系统是只读的";
        case ENOENT:
            return u"文件夹不存在";
        case ENOTDIR:
            return u"路径中有一项不是文件夹";
        case EISDIR:
            return u"这是一个文件夹";
        case EIO:
            return u"输入输出错误";
        case EEXIST:
            return u"文件已存在";
        case ENAMETOOLONG:
            return u"文件名太长";
        case EMFILE:
        case ENFILE:
            return u"打开的文件太多";
        case EBUSY:
        case ETXTBSY:
            return u"文件正被使用";
        default:
            break;
    }
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return utf8ToUtf16(text != nullptr ? text : buffer);
}

std::string parentDirectory(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& base, std::string_view relative) {
    std::size_t slash = 0;
    while ((slash = relative.find('/', slash)) != std::string_view::npos) {
        const std::string dir = base + std::string(relative.substr(0, slash));
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
        ++slash;
    }
    return isDirectory(base + std::string(relative));
}

bool makeDirectoryPath(const std::string& path) {
    std::size_t slash = 0;
    while ((slash = path.find('/', slash + 1)) != std::string::npos) {
        const std::string dir = path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    if (!path.empty() && path.back() != '/' && ::mkdir(path.c_str(), 0777) != 0 &&
        errno != EEXIST) {
        return false;
    }
    return isDirectory(path);
}

WriteResult appendToFile(const std::string& path, std::string_view bytes) {
    if (isProtectedPath(path)) {
        return protectedPathRefusal();
    }
    if (injectedFault("open")) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, failedWith(true));
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, failedWith(false));
    }
    int error = 0;
    errno = 0;
    if (injectedFault("write")) {
        error = failedWith(true);
    } else if (!writeAll(fd, bytes)) {
        error = failedWith(false);
    }
    if (::close(fd) != 0 && error == 0) {
        error = failedWith(false);
    }
    return error != 0 ? WriteResult::failed(ReplaceOutcome::WriteFailed, error) : WriteResult{};
}

}  // namespace kjf
