// A language model file that cannot be trusted never takes the program down: what is not a regular
// file is refused at once, a damaged file is tried in a child process first, and the verdict on a
// good file is kept so that the child runs once per file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "cli_runner.h"
#include "context_support.h"
#include "engine_support.h"
#include "run/context_pass.h"
#include "run/model_trust.h"
#include "settings/settings_file.h"
#include "test_support.h"

using namespace kjf;
using kjf::test::CliResult;
using kjf::test::TempDir;

namespace {

class ModelTrustTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::writeTinyContextModel(contextFolder(), dir.file("good.lm")));
        test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"经济", u"责任"});
        test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict,"));
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict,"));
        test::writeBytes(dir.file("in.txt"), "经济责任再接再励");
    }
    void TearDown() override { setModelCheckProgram({}); }

    std::string contextFolder() {
        std::filesystem::create_directories(dir.file("data/sys/context"));
        return dir.file("data/sys/context/");
    }
    // check --context 1 with the model at path, within a minute.
    CliResult checkWith(const std::string& model) {
        EXPECT_TRUE(writeSetting(dir.path(), u"引擎设置", u"语境模型",
                                 std::u16string(model.begin(), model.end())));
        return test::runCli("timeout", {"60", KJF_CLI_PATH, "--root", dir.path(), "check",
                                        "--context", "1", dir.file("in.txt")});
    }
    // The dictionary finding of in.txt is there, and so is one warning naming the model.
    static void expectDictionaryOnly(const CliResult& r, const std::string& model,
                                     const std::string& reason) {
        EXPECT_EQ(r.status, 1) << r.err;  // not 128 + a signal's number
        EXPECT_NE(r.out.find("再接再励\t再接再厉"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("语言模型加载失败：" + model + "（" + reason), std::string::npos)
            << r.err;
    }

    TempDir dir;
};

// Of many single-byte changes of a model, some crash the model library when it reads the file:
// the program used to die with them (and the desktop program at every start).
TEST_F(ModelTrustTest, ADamagedModelIsRefusedInsteadOfCrashingTheProgram) {
    // Under AddressSanitizer a crash would end as a report and exit status 1: let it be the
    // signal it is, as in the program users run.
    std::string options = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    ::setenv("ASAN_OPTIONS", (options + ":handle_segv=0:handle_sigbus=0").c_str(), 1);
    const std::string good = test::readBytes(dir.file("good.lm"));
    std::mt19937 random(1);
    std::vector<std::string> crashing;
    for (int i = 0; i < 200 && crashing.size() < 2; ++i) {
        std::string damaged = good;
        const auto at = std::uniform_int_distribution<std::size_t>(40, good.size() - 1)(random);
        damaged[at] =
            static_cast<char>(damaged[at] ^ std::uniform_int_distribution<int>(1, 255)(random));
        const std::string path = dir.file("damaged" + std::to_string(i) + ".lm");
        test::writeBytes(path, damaged);
        // The child's part alone: does this file end the process that reads it?
        const CliResult alone = test::runCli(
            KJF_CLI_PATH, {"--check-language-model", path, dir.file("data/sys/context/")});
        // The shell that runs it says 128 + the signal's number.
        if (alone.status > 128) {
            crashing.push_back(path);
        }
    }
    ASSERT_FALSE(crashing.empty()) << "no change of the tiny model crashes the model library";
    for (const auto& path : crashing) {
        expectDictionaryOnly(checkWith(path), path, "文件已损坏");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("data/language-model.checked")));
}

TEST_F(ModelTrustTest, WhatIsNoRegularFileIsRefusedWithoutWaiting) {
    const std::string fifo = dir.file("fifo.lm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectDictionaryOnly(checkWith(fifo), fifo, "不是普通文件");
    expectDictionaryOnly(checkWith(dir.path()), dir.path(), "不是普通文件");
    expectDictionaryOnly(checkWith(dir.file("none.lm")), dir.file("none.lm"), "文件不存在");
}

// Files that start like a binary model but end soon after made the model library print its
// progress on standard error: the one warning is all that is said.
TEST_F(ModelTrustTest, AShortFileGivesOneWarningAndNoNoise) {
    const std::string good = test::readBytes(dir.file("good.lm"));
    for (const std::size_t size : {33U, 60U, 99U}) {
        const std::string path = dir.file("short" + std::to_string(size) + ".lm");
        test::writeBytes(path, good.substr(0, size));
        const CliResult r = checkWith(path);
        EXPECT_EQ(r.status, 1) << size;
        const std::string expected = "kanjianfang-cli: warning: 语言模型加载失败：" + path + "（";
        ASSERT_EQ(r.err.rfind(expected, 0), 0U) << r.err;
        // The warning's line and the run's summary, nothing else.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    }
}

// The child runs the first time a file is seen and again only when the file changes.
TEST_F(ModelTrustTest, AGoodModelIsCheckedOncePerVersionOfTheFile) {
    const std::string model = dir.file("good.lm");
    const std::string verdict = dir.file("cache/model.checked");
    setModelCheckProgram(KJF_CLI_PATH);
    EXPECT_TRUE(trustModel(model, contextFolder(), verdict).trusted);
    ASSERT_TRUE(std::filesystem::exists(verdict));
    // A check program that refuses everything is not asked about the same file again...
    setModelCheckProgram("/bin/false");
    EXPECT_TRUE(trustModel(model, contextFolder(), verdict).trusted);
    // ...but about a changed one.
    std::filesystem::last_write_time(
        model, std::filesystem::last_write_time(model) + std::chrono::seconds(5));
    const ModelTrust changed = trustModel(model, contextFolder(), verdict);
    EXPECT_FALSE(changed.trusted);
    EXPECT_FALSE(changed.reason.empty());
    // The whole program with the good file: the context check runs.
    setModelCheckProgram({});
    const CliResult r = checkWith(model);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("语言模型加载失败"), std::string::npos) << r.err;
}

}  // namespace
