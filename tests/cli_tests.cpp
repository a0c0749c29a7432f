// The command-line tool, run as a separate process the way users and scripts run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "test_support.h"

using kjf::test::readBytes;
using kjf::test::writeBytes;

namespace {

struct Result {
    int status = -1;
    std::string out;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

Result runCli(const std::vector<std::string>& args) {
    std::string command = quote(KJF_CLI_PATH);
    for (const auto& a : args) {
        command += " " + quote(a);
    }
    command += " 2>/dev/null";
    Result r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        r.out.append(buffer, n);
    }
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

}  // namespace

TEST(CliSetting, SetThenGetUnderRoot) {
    kjf::test::TempDir dir;
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "get", "引擎设置", "量化数值", "10"}).out,
              "10\n");
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "set", "引擎设置", "量化数值", "7"}).status,
              0);
    EXPECT_EQ(readBytes(dir.file("setup.ini")), "[引擎设置]\r\n量化数值=7");
    const Result got = runCli({"--root", dir.path(), "setting", "get", "引擎设置", "量化数值"});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "7\n");
}

TEST(CliSetting, FailedWriteExitsOne) {
    kjf::test::TempDir dir;
    const std::string legacy = "[s]\r\nk=\xD6\xD0\r\n";
    writeBytes(dir.file("setup.ini"), legacy);
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "set", "s", "k", "v"}).status, 1);
    EXPECT_EQ(readBytes(dir.file("setup.ini")), legacy);
}

TEST(CliText, PrintsDecodedTextWithLoneSurrogatesReplaced) {
    kjf::test::TempDir dir;
    writeBytes(dir.file("a.txt"), "\xFF\xFE" + kjf::test::utf16le(u"中\xD800文"));
    const Result r = runCli({"text", dir.file("a.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "中\xEF\xBF\xBD文");
}

TEST(CliUsage, UsageErrorsExitTwo) {
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"frobnicate"}).status, 2);
    EXPECT_EQ(runCli({"--root"}).status, 2);
    EXPECT_EQ(runCli({"setting", "get", "s"}).status, 2);
    EXPECT_EQ(runCli({"text"}).status, 2);
}
