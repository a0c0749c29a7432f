#include "run/model_trust.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "context/model_check.h"
#include "text/files.h"
#include "text/utf.h"

extern char** environ;

namespace kjf {

namespace {

std::mutex g_programMutex;
std::string g_program;

std::string checkProgram() {
    std::lock_guard lock(g_programMutex);
    return g_program;
}

// What names one version of a file: its path, size, modification time and a hash of its bytes.
// Empty when it cannot be read.
std::string fileKey(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return {};
    }
    struct stat st {};
    XXH3_state_t* state = XXH3_createState();
    bool ok = state != nullptr && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        XXH3_64bits_reset(state);
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ok = false;
            }
            if (n <= 0) {
                break;
            }
            XXH3_64bits_update(state, buffer.data(), static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    std::string key;
    if (ok) {
        char text[128];
        std::snprintf(text, sizeof text, "\t%lld\t%lld.%09ld\t%016llx\n",
                      static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                      st.st_mtim.tv_nsec,
                      static_cast<unsigned long long>(XXH3_64bits_digest(state)));
        key = path + text;
    }
    if (state != nullptr) {
        XXH3_freeState(state);
    }
    return key;
}

struct ChildOutcome {
    bool started = false;
    bool passed = false;
    std::u16string reason;
};

// Runs program with the check's arguments, its standard error collected, for at most
// timeoutSeconds.
ChildOutcome runCheck(const std::string& program, const std::string& modelPath,
                      const std::string& dataDirectory, int timeoutSeconds) {
    ChildOutcome outcome;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
    const std::string argument(kCheckModelArgument);
    std::vector<char*> argv = {
        const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
        const_cast<char*>(modelPath.c_str()), const_cast<char*>(dataDirectory.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (spawned != 0) {
        ::close(pipe[0]);
        return outcome;
    }
    outcome.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    const auto remainingMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   deadline - std::chrono::steady_clock::now())
            .count();
    };
    std::string said;
    bool timedOut = false;
    for (;;) {
        const auto left = remainingMs();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd poll{pipe[0], POLLIN, 0};
        const int ready = ::poll(&poll, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // the child has closed its end: it is ending
        }
        if (said.size() < 64 * 1024) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipe[0]);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, timedOut ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            break;
        }
        if (done == 0) {
            if (remainingMs() <= 0) {
                timedOut = true;
                ::kill(pid, SIGKILL);
                continue;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (timedOut) {
        ::kill(pid, SIGKILL);
        outcome.reason = u"检查超时";
        return outcome;
    }
    // The last line the model library or the check printed.
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) {
        said.pop_back();
    }
    const auto lastLine =
        said.substr(said.find_last_of('\n') == std::string::npos ? 0 : said.find_last_of('\n') + 1);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        outcome.passed = true;
    } else if (WIFSIGNALED(status)) {
        outcome.reason = u"文件已损坏，读取时程序崩溃（信号 " +
                         utf8ToUtf16(std::to_string(WTERMSIG(status))) + u"）";
    } else {
        outcome.reason =
            lastLine.empty() ? std::u16string(u"文件无法使用") : decodeUtf8Lenient(lastLine);
    }
    return outcome;
}

}  // namespace

void setModelCheckProgram(std::string program) {
    std::lock_guard lock(g_programMutex);
    g_program = std::move(program);
}

std::string runningExecutable() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(n));
    return path;
}

ModelTrust trustModel(const std::string& modelPath, const std::string& dataDirectory,
                      const std::string& verdictFile, int timeoutSeconds) {
    ModelTrust trust;
    if (!pathExists(modelPath)) {
        trust.reason = u"文件不存在";
        return trust;
    }
    if (!isRegularFile(modelPath)) {
        trust.reason = u"不是普通文件";
        return trust;
    }
    const std::string program = checkProgram();
    if (program.empty()) {
        trust.trusted = true;
        return trust;
    }
    const std::string key = fileKey(modelPath);
    if (key.empty()) {
        trust.reason = u"无法读取";
        return trust;
    }
    if (const auto verdict = verdictFile.empty() ? std::nullopt : readWholeFile(verdictFile);
        verdict && *verdict == key) {
        trust.trusted = true;
        return trust;
    }
    const ChildOutcome outcome = runCheck(program, modelPath, dataDirectory, timeoutSeconds);
    if (!outcome.started) {
        // Without a way to try it elsewhere, the model is read here, as it always was.
        trust.trusted = true;
        return trust;
    }
    if (!outcome.passed) {
        trust.reason = outcome.reason;
        return trust;
    }
    trust.trusted = true;
    // A verdict that cannot be kept costs the next start another check, nothing more.
    if (!verdictFile.empty() && makeDirectoryPath(parentDirectory(verdictFile))) {
        (void)writeOwnFileAtomically(verdictFile, key);
    }
    return trust;
}

}  // namespace kjf
