// Runs kanjianfang-cli as a separate process, the way users and scripts run it.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kjf::test {

struct CliResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

inline CliResult runCli(const std::string& executable, const std::vector<std::string>& args) {
    char errPath[] = "/tmp/kjf-cli-err-XXXXXX";
    const int errFd = ::mkstemp(errPath);
    std::string command = shellQuote(executable);
    for (const auto& a : args) {
        command += " " + shellQuote(a);
    }
    command += " 2>" + shellQuote(errPath);
    CliResult r;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            r.out.append(buffer, n);
        }
        const int raw = ::pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    if (FILE* err = std::fopen(errPath, "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0) {
            r.err.append(buffer, n);
        }
        std::fclose(err);
    }
    if (errFd >= 0) {
        ::close(errFd);
        ::unlink(errPath);
    }
    return r;
}

}  // namespace kjf::test
