// Hostile and unlucky input: names that climb out of the dictionary folder, pipes and devices
// where files belong, byte orders, huge entries, symbolic links and runs with nothing loaded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_runner.h"
#include "engine/dictionary_file.h"
#include "engine_support.h"
#include "settings/settings_file.h"
#include "text/files.h"
#include "text/text_file.h"

using namespace kjf;
using namespace std::literals;
using kjf::test::CliResult;
using kjf::test::RecordingOwner;
using kjf::test::TempDir;
using kjf::test::utf16le;
using kjf::test::writeBytes;
using kjf::test::writeDictionary;
using kjf::test::writeDictionaryBytes;

// Whether this build runs under a sanitizer (GCC and Clang say so differently).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KJF_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KJF_SANITIZED 1
#endif
#endif
#ifndef KJF_SANITIZED
#define KJF_SANITIZED 0
#endif

namespace {

CliResult cli(const std::vector<std::string>& args) {
    return test::runCli(KJF_CLI_PATH, args);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A pipe at path whose reader must never wait for a writer. If one does, the guard opens the
// write end after a while so that the test ends (and fails) instead of hanging.
class FifoGuard {
  public:
    explicit FifoGuard(std::string path) : m_path(std::move(path)) {
        EXPECT_EQ(::mkfifo(m_path.c_str(), 0600), 0);
        m_thread = std::thread([this] {
            for (int i = 0; i < 100 && !m_done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (!m_done) {
                m_released = true;
                const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        });
    }
    ~FifoGuard() { finish(); }
    // True when the guard had to release a reader that waited.
    bool finish() {
        m_done = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_released;
    }

  private:
    std::string m_path;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_released{false};
    std::thread m_thread;
};

class Hostile : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"甲乙", u"丙"});
        writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        enable(u"c.dict,", u"e.dict,");
        writeBytes(dir.file("in.txt"), "甲乙再接再励丙");
    }
    void enable(std::u16string_view correct, std::u16string_view errors) {
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", correct));
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", errors));
    }
    CliResult check(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--root", dir.path(), "check"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir.file("in.txt"));
        return cli(args);
    }
    TempDir dir;
};

}  // namespace

TEST_F(Hostile, EnabledNamesThatLeaveTheFolderAreNeverRead) {
    // Regression: the names were joined to the folder unchecked, so any readable file's lines
    // could become suggestions.
    TempDir outside;
    writeBytes(outside.file("secret.dict"), utf16le(u"再接再励$=$机密内容\r\n"));
    const std::string climb = "../../../../../../../../.." + outside.path() + "secret.dict";
    enable(u"c.dict,", u"" + std::u16string(climb.begin(), climb.end()) + u",e.dict,");
    const CliResult r = check();
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(contains(r.out, "机密内容")) << r.out;
    EXPECT_TRUE(contains(r.out, "再接再厉"));
    EXPECT_TRUE(contains(r.err, "词库名称无效")) << r.err;
    EXPECT_TRUE(contains(r.err, "secret.dict")) << r.err;

    // In the engine: the name is reported, the rest load.
    RecordingOwner owner;
    rg_ChaCuoYinQing engine(dir.path());
    owner.attach(engine);
    owner.lists[1] = {u"..", u"a\\b.dict", u"sub/e.dict", u"e.dict"};
    owner.load();
    const auto& problems = engine.loadReport().problems;
    ASSERT_EQ(problems.size(), 3u);
    for (const auto& p : problems) {
        EXPECT_EQ(p.reason, LoadProblem::Reason::InvalidName);
    }
    EXPECT_EQ(problems[2].file, u"sub/e.dict");
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_EQ(engine.errorWords().size(), 1u);
}

TEST_F(Hostile, PipesAndDevicesAreRefusedWithoutWaiting) {
    // Regression: every reader blocked forever in open() on a pipe.
    {
        FifoGuard fifo(dir.file("pipe.txt"));
        ReadFailure failure = ReadFailure::None;
        EXPECT_FALSE(readWholeFile(dir.file("pipe.txt"), &failure));
        EXPECT_EQ(failure, ReadFailure::NotAFile);
        EXPECT_FALSE(fifo.finish()) << "the reader waited for a writer";
    }
    {
        FifoGuard fifo(dir.file("pipe2.txt"));
        const CliResult r = cli({"text", dir.file("pipe2.txt")});
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(contains(r.err, "不是普通文件")) << r.err;
        EXPECT_EQ(cli({"--root", dir.path(), "check", dir.file("pipe2.txt")}).status, 2);
        EXPECT_EQ(cli({"text", "--import", dir.file("pipe2.txt")}).status, 1);
        EXPECT_EQ(cli({"dict", "verify", dir.file("pipe2.txt")}).status, 2);
        EXPECT_FALSE(fifo.finish()) << "a command waited for a writer";
    }
    {
        // A pipe as an enabled dictionary and as setup.ini.
        FifoGuard fifo(dir.file("data/sys/right/p.dict"));
        enable(u"c.dict,p.dict,", u"e.dict,");
        const CliResult r = check();
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.err, "p.dict")) << r.err;
        EXPECT_FALSE(fifo.finish());
    }
    {
        std::filesystem::remove(dir.file("setup.ini"));
        FifoGuard fifo(dir.file("setup.ini"));
        EXPECT_EQ(readSetting(dir.path(), u"引擎设置", u"引擎类型", u"x"), u"x");
        EXPECT_FALSE(writeSetting(dir.path(), u"引擎设置", u"引擎类型", u"1"));
        EXPECT_FALSE(fifo.finish());
    }
    ReadFailure failure = ReadFailure::None;
    EXPECT_FALSE(readWholeFile("/dev/zero", &failure));
    EXPECT_EQ(failure, ReadFailure::NotAFile);
}

TEST_F(Hostile, TextCommandFailsOnWhatItCannotRead) {
    // Regression: a missing file, a folder and /dev/zero printed nothing and exited with 0.
    for (const std::string& path :
         {dir.file("missing.txt"), dir.path(), std::string("/dev/zero")}) {
        const CliResult r = cli({"text", path});
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_TRUE(contains(r.err, "cannot read")) << path;
    }
    writeBytes(dir.file("empty.txt"), "");
    EXPECT_EQ(cli({"text", dir.file("empty.txt")}).status, 0);
}

// A byte that no encoding reads (Latin-1 in UTF-8 text) and a U+0000 in UTF-16 text ended the
// text early: check found only what stood before it and text printed that part, exit 0, as if it
// were all. Now nothing is checked or printed, and standard error says how much could be read.
TEST_F(Hostile, AFileReadOnlyInPartIsNeverTakenForTheWhole) {
    writeBytes(dir.file("latin.txt"), "甲乙\xFF再接再励丙");
    writeBytes(dir.file("zero.txt"),
               "\xFF\xFE" + utf16le(u"甲") + std::string(2, '\0') + utf16le(u"再接再励"));
    for (const auto& [name, readable] : {std::pair{"latin.txt", 2}, std::pair{"zero.txt", 1}}) {
        const std::string path = dir.file(name);
        const std::string said =
            "only the first " + std::to_string(readable) + " characters could be decoded";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--root", dir.path(), "check", path},
              std::vector<std::string>{"--root", dir.path(), "learn", path},
              std::vector<std::string>{"text", path},
              std::vector<std::string>{"text", "--import", path}}) {
            const CliResult r = cli(args);
            EXPECT_EQ(r.status, 2) << name << " " << args[args.size() - 2];
            EXPECT_TRUE(contains(r.err, said)) << r.err;
            EXPECT_FALSE(contains(r.out, "再接再")) << r.out;
        }
    }
}

TEST_F(Hostile, CheckRefusesToReportNothingWhenNothingWasLoaded) {
    // Regression: these all said "共检测出0个问题" and exited with 0.
    const std::string text = dir.file("in.txt");
    for (const auto& root : {std::string("/nonexistent/"), dir.file("empty/")}) {
        std::filesystem::create_directories(dir.file("empty"));
        const CliResult r = cli({"--root", root, "check", text});
        EXPECT_EQ(r.status, 2) << root;
        EXPECT_TRUE(contains(r.err, "没有加载到任何词条")) << r.err;
        EXPECT_TRUE(contains(r.err, "setup.ini")) << r.err;
        EXPECT_FALSE(contains(r.err, "共检测出")) << r.err;
    }
    // setup.ini is a folder.
    TempDir folder;
    writeDictionary(folder, DictionaryKind::SystemCorrect, "c.dict", {u"甲"});
    std::filesystem::create_directory(folder.file("setup.ini"));
    CliResult r = cli({"--root", folder.path(), "check", text});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "不是普通文件")) << r.err;
    EXPECT_EQ(cli({"--root", folder.path(), "learn", text}).status, 2);

    // One enabled dictionary cannot be read: it is named, the others are used.
    std::filesystem::create_directory(dir.file("data/sys/error/broken.dict"));
    enable(u"c.dict,", u"broken.dict,e.dict,");
    r = check();
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "无法读取词库")) << r.err;
    EXPECT_TRUE(contains(r.err, "broken.dict")) << r.err;
    EXPECT_TRUE(contains(r.out, "再接再厉"));
}

TEST_F(Hostile, DictVerifyReportsTheZeroUnitAndChecksTheLinesAfterIt) {
    // Regression: verification stopped at a U+0000 and passed the file.
    const std::string path = dir.file("e.dict");
    writeBytes(path, utf16le(u"甲$=$乙\r\n丙\0丁$=$戊\r\n坏行\r\n己$=$庚\r\n又坏"sv));
    const CliResult r = cli({"dict", "verify", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2\t丙\\0丁$=$戊\n3\t坏行\n5\t又坏\n");
    // The loader names the file and the line.
    RecordingOwner owner;
    rg_ChaCuoYinQing engine(dir.path());
    owner.attach(engine);
    writeDictionaryBytes(dir, DictionaryKind::SystemError, "z.dict", kjf::test::readBytes(path));
    owner.lists[1] = {u"z.dict"};
    owner.load();
    ASSERT_EQ(engine.loadReport().problems.size(), 1u);
    EXPECT_EQ(engine.loadReport().problems[0].reason, LoadProblem::Reason::CutShort);
    EXPECT_EQ(engine.loadReport().problems[0].count, 2);
}

TEST_F(Hostile, BigEndianTextWithItsMarkIsReadEverywhere) {
    // Regression: FE FF files were read byte-swapped, so the dictionary found nothing.
    const auto bigEndian = [](std::u16string_view text) {
        std::string bytes = "\xFE\xFF";
        for (const char16_t u : text) {
            bytes.push_back(static_cast<char>(u >> 8));
            bytes.push_back(static_cast<char>(u & 0xFF));
        }
        return bytes;
    };
    writeDictionaryBytes(dir, DictionaryKind::SystemError, "e.dict",
                         bigEndian(u"再接再励$=$再接再厉\r\n"));
    EXPECT_TRUE(contains(check().out, "再接再厉"));

    writeBytes(dir.file("in16.txt"), bigEndian(u"甲乙再接再励丙"));
    EXPECT_EQ(cli({"text", dir.file("in16.txt")}).out, "甲乙再接再励丙");
    EXPECT_TRUE(contains(cli({"--root", dir.path(), "check", dir.file("in16.txt")}).out,
                         "再接再励\t再接再厉"));
    writeBytes(dir.file("in16.txt"), bigEndian(u"甲乙丙"));
    EXPECT_EQ(cli({"text", "--import", dir.file("in16.txt")}).out, "甲乙丙");

    // Optimising writes the format's own little-endian text, mark dropped, entries kept.
    const std::string dict = dir.file("data/sys/error/e.dict");
    writeBytes(dict, bigEndian(u"乙$=$丙\r\n甲$=$丁\r\n"));
    EXPECT_EQ(cli({"dict", "optimise", dict}).status, 0);
    EXPECT_EQ(kjf::test::readBytes(dict), utf16le(u"乙$=$丙\r\n甲$=$丁\r\n"));
}

TEST_F(Hostile, OptimiseKeepsTheFirstEntryOfAFileWithAByteOrderMark) {
    // Regression: sorted, the mark was glued to the front of another entry.
    const std::string dict = dir.file("data/sys/right/c.dict");
    writeBytes(dict, "\xFF\xFE" + utf16le(u"甲\r\n乙\r\n"));
    EXPECT_EQ(cli({"dict", "optimise", dict}).status, 0);
    EXPECT_EQ(kjf::test::readBytes(dict), utf16le(u"乙\r\n甲\r\n"));
}

TEST_F(Hostile, OverlongEntriesAreSkippedAndBoundTheWindow) {
    // Regression: one line of 524,288 characters made the automatic window as long and every
    // position of a check as costly.
    const std::u16string huge(kMaxEntryLength + 1, u'甲');
    const std::u16string longest(kMaxEntryLength, u'乙');
    writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {huge, longest, u"丙"});
    RecordingOwner owner;
    rg_ChaCuoYinQing engine(dir.path());
    owner.attach(engine);
    owner.lists[0] = {u"c.dict"};
    owner.load();
    EXPECT_EQ(engine.longestEntryLength(), static_cast<std::int32_t>(kMaxEntryLength));
    ASSERT_EQ(engine.loadReport().problems.size(), 1u);
    EXPECT_EQ(engine.loadReport().problems[0].reason, LoadProblem::Reason::LongEntries);
    EXPECT_EQ(engine.loadReport().problems[0].count, 1);
    WordBatch batch;
    EXPECT_EQ(
        parseDictionaryText(u"甲\r\n" + huge + u"$=$乙\r\n" + longest + u"$=$丙", true, u"", batch),
        1u);
    EXPECT_EQ(batch.entries.size(), 1u);
}

TEST_F(Hostile, ReplacingThroughASymbolicLinkKeepsTheLink) {
    // Regression: the link became a plain file and its target kept the old text.
    std::filesystem::create_directories(dir.file("real"));
    writeBytes(dir.file("real/user.dict"), "old");
    std::filesystem::create_symlink("real/user.dict", dir.file("link.dict"));
    std::filesystem::create_symlink(dir.file("link.dict"), dir.file("chain.dict"));
    ASSERT_TRUE(writeFileAtomically(dir.file("chain.dict"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("chain.dict")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.dict")));
    EXPECT_EQ(kjf::test::readBytes(dir.file("real/user.dict")), "new");
    // A link to a file not made yet creates it.
    std::filesystem::create_symlink("real/later.dict", dir.file("later.dict"));
    ASSERT_TRUE(writeFileAtomically(dir.file("later.dict"), "made"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("later.dict")));
    EXPECT_EQ(kjf::test::readBytes(dir.file("real/later.dict")), "made");
    // setup.ini behind a link.
    std::filesystem::rename(dir.file("setup.ini"), dir.file("real/setup.ini"));
    std::filesystem::create_symlink("real/setup.ini", dir.file("setup.ini"));
    ASSERT_TRUE(writeSetting(dir.path(), u"引擎设置", u"引擎类型", u"2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("setup.ini")));
    EXPECT_EQ(readSetting(dir.path(), u"引擎设置", u"引擎类型", u""), u"2");
}

TEST_F(Hostile, FindingsAreStreamedAndRunningOutOfMemoryIsReported) {
#if KJF_SANITIZED
    GTEST_SKIP() << "address-space limits do not mix with sanitizer shadow memory";
#else
    // 2,000,000 characters of no known word. Held, their findings alone would need about 300 MB;
    // streamed, the run stays far below the limit.
    std::string text;
    for (int i = 0; i < 2000000; ++i) {
        text += "丁";
    }
    writeBytes(dir.file("in.txt"), text);
    const auto limited = [&](const char* limit, const std::vector<std::string>& args) {
        std::string command =
            std::string("ulimit -v ") + limit + "; exec " + test::shellQuote(KJF_CLI_PATH);
        for (const auto& a : args) {
            command += " " + test::shellQuote(a);
        }
        return test::runCli("/bin/sh", {"-c", command});
    };
    CliResult r = limited("250000", {"--root", dir.path(), "check", "--format", "json",
                                     "--quantization", "2", dir.file("in.txt")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "\"count\":2000000"))
        << r.out.substr(r.out.size() - std::min<std::size_t>(r.out.size(), 200));
    // Far too little memory for a text of 40 MB: a message and status 2, not an abort.
    writeBytes(dir.file("big.txt"), std::string(40000000, 'a'));
    r = limited("80000", {"--root", dir.path(), "check", dir.file("big.txt")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, "out of memory")) << r.err;
#endif
}
