#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

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

bool writeAll(int fd, std::string_view bytes) {
    if (injectedFault("write")) {
        return false;
    }
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

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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

std::optional<std::string> readWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxReadableFileSize) {
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

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    mode_t mode = 0666;
    struct stat old {};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) {
        return false;
    }
    if (hadFile) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    std::string temp = directoryOf(path) + "/.";
    temp +=
        path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    temp += ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    if (injectedFault("open")) {
        return false;
    }
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    const std::string tempPath(name.data());
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes);
    ok = ok && !injectedFault("sync") && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && !injectedFault("rename") && ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
    }
    return ok;
}

bool appendToFile(const std::string& path, std::string_view bytes) {
    if (injectedFault("open")) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

}  // namespace kjf
