// The .dict format and loading the five kinds into the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/dictionary_file.h"
#include "engine_support.h"
#include "text/utf.h"

using namespace kjf;
using kjf::test::RecordingOwner;
using kjf::test::TempDir;
using kjf::test::utf16le;
using kjf::test::writeDictionary;
using kjf::test::writeDictionaryBytes;

namespace {

std::vector<std::pair<std::u16string, std::u16string>> parse(std::u16string_view text, bool error) {
    WordBatch batch;
    parseDictionaryText(text, error, u"sys", batch);
    std::vector<std::pair<std::u16string, std::u16string>> out;
    for (const auto& e : batch.entries) {
        out.emplace_back(batch.pool.substr(e.keyOffset, e.keyLength),
                         batch.pool.substr(e.valueOffset, e.valueLength));
    }
    return out;
}

using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

}  // namespace

TEST(DictionaryFormat, ErrorLinesNeedExactlyTwoPieces) {
    EXPECT_EQ(parse(u"错词$=$正词", true), (Entries{{u"错词", u"正词"}}));
    EXPECT_EQ(parse(u" \t错词 \t$=$ \t正词\t ", true), (Entries{{u"错词", u"正词"}}));
    EXPECT_EQ(parse(u"错词=正词\r\n甲$乙", true), (Entries{{u"错词", u"正词"}, {u"甲", u"乙"}}));
    EXPECT_EQ(parse(u"$=$正词\r\n错词$=$\r\n甲$=$乙$=$丙\r\n单独", true), Entries{});
}

TEST(DictionaryFormat, LinesEndAtCrOrLfAndKeepInnerAndIdeographicBlanks) {
    EXPECT_EQ(
        parse(u"甲\n乙\r丙\r\n\r\n  \t \r\n\u3000丁 戊\u3000", false),
        (Entries{
            {u"甲", u"sys"}, {u"乙", u"sys"}, {u"丙", u"sys"}, {u"\u3000丁 戊\u3000", u"sys"}}));
}

TEST(DictionaryFormat, ByteOrderMarkIsSkippedOnce) {
    // Regression: a file saved with a byte-order mark lost its first word.
    EXPECT_EQ(parse(u"\uFEFF甲\r\n乙", false), (Entries{{u"甲", u"sys"}, {u"乙", u"sys"}}));
    EXPECT_EQ(parse(u"\uFEFF\uFEFF甲", false), (Entries{{u"\uFEFF甲", u"sys"}}));
}

TEST(DictionaryFormat, BytesEndAtU0000AndAnOddByteIsOneMoreUnit) {
    EXPECT_EQ(decodeDictionaryBytes(utf16le(u"甲乙") + std::string(2, '\0') + utf16le(u"丙")),
              u"甲乙");
    EXPECT_EQ(decodeDictionaryBytes(utf16le(u"中文") + "A"), u"中文A");
    EXPECT_EQ(decodeDictionaryBytes(""), u"");
    EXPECT_EQ(encodeDictionaryText(u"测试\r\n"),
              std::string("\x4B\x6D\xD5\x8B\x0D\x00\x0A\x00", 8));
}

// Word lists made in an ordinary text editor are UTF-8; they were taken as UTF-16LE and gave no
// word at all. A UTF-16LE file whose bytes happen to read as ASCII stays UTF-16LE.
TEST(DictionaryFormat, Utf8FilesAreRecognisedAndUtf16OnesStayUtf16) {
    EXPECT_EQ(decodeDictionaryBytes("甲乙\r\n丙\n"), u"甲乙\r\n丙\n");
    EXPECT_EQ(decodeDictionaryBytes("\xEF\xBB\xBF错词$=$正词\r\n"), u"\uFEFF错词$=$正词\r\n");
    EXPECT_EQ(decodeDictionaryBytes("\xEF\xBB\xBF"
                                    "ab"),
              u"\uFEFFab");
    EXPECT_EQ(decodeDictionaryBytes("\xF0\x9F\x98\x80x"), u"\U0001F600x");
    // 中 is 2D 4E, 中文 2D 4E 87 65 (no valid UTF-8), 上 0A 4E: one word, no line end.
    EXPECT_EQ(decodeDictionaryBytes(utf16le(u"中")), u"中");
    EXPECT_EQ(decodeDictionaryBytes(utf16le(u"中文")), u"中文");
    EXPECT_EQ(decodeDictionaryBytes(utf16le(u"上")), u"上");
    // Plain ASCII is no UTF-16LE: its line ends would read as U+0A0D and its words as Chinese.
    EXPECT_EQ(decodeDictionaryBytes("Debian\r\nLinux\n"), u"Debian\r\nLinux\n");
    EXPECT_EQ(decodeDictionaryBytes("a"), u"a");
    // Overlong forms, surrogates and values past U+10FFFF are no UTF-8: the file is UTF-16LE.
    for (std::string_view bytes : {"\xC0\xAF\xE4\xB8\xAD", "\xED\xA0\x80\xE4\xB8\xAD",
                                   "\xF4\x90\x80\x80\xE4\xB8\xAD", "\xE4\xB8"}) {
        EXPECT_EQ(decodeDictionaryBytes(bytes).size(), (bytes.size() + 1) / 2);
    }
}

class Loading : public ::testing::Test {
  protected:
    TempDir dir;
    RecordingOwner owner;
    rg_ChaCuoYinQing engine{dir.path()};
    void SetUp() override { owner.attach(engine); }
};

TEST_F(Loading, EnabledFilesOfEveryKindAndTheAutomaticDictionary) {
    writeDictionary(dir, DictionaryKind::SystemCorrect, "a.dict", {u"甲乙", u"丙"});
    writeDictionary(dir, DictionaryKind::SystemCorrect, "off.dict", {u"不加载"});
    writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
    writeDictionary(dir, DictionaryKind::UserCorrect, "u.dict", {u"用户词"});
    writeDictionary(dir, DictionaryKind::UserError, "ue.dict", {u"按步就班=按部就班"});
    writeDictionary(dir, DictionaryKind::Automatic, "auto.dict", {u"自动词"});
    owner.lists[0] = {u"a.dict", u"missing.dict"};
    owner.lists[1] = {u"e.dict"};
    owner.lists[2] = {u"u.dict"};
    owner.lists[3] = {u"ue.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_EQ(engine.correctWords().size(), 4u);
    EXPECT_EQ(engine.correctWords().value(u"甲乙"), u"sys");
    EXPECT_EQ(engine.correctWords().value(u"用户词"), u"user");
    EXPECT_EQ(engine.correctWords().value(u"自动词"), u"auto");
    EXPECT_FALSE(engine.correctWords().contains(u"不加载"));
    EXPECT_EQ(engine.errorWords().value(u"再接再励"), u"再接再厉");
    EXPECT_EQ(engine.errorWords().value(u"按步就班"), u"按部就班");
    EXPECT_EQ(engine.longestEntryLength(), 4);
    EXPECT_EQ(owner.loadedCount, 1);
    // A notice for every file that exists, none for the missing one.
    auto files = owner.loadedFiles;
    std::sort(files.begin(), files.end());
    const std::u16string root = utf8ToUtf16(dir.path());
    EXPECT_EQ(files, (std::vector<std::u16string>{
                         root + u"data/sys/error/e.dict", root + u"data/sys/right/a.dict",
                         root + u"data/user/auto/auto.dict", root + u"data/user/error/ue.dict",
                         root + u"data/user/right/u.dict"}));
}

TEST_F(Loading, FirstOccurrenceWinsWithinAKind) {
    writeDictionary(dir, DictionaryKind::SystemError, "1.dict", {u"甲$=$一", u"甲$=$二"});
    writeDictionary(dir, DictionaryKind::SystemError, "2.dict", {u"乙$=$三", u"甲$=$四"});
    owner.lists[1] = {u"2.dict", u"1.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_EQ(engine.errorWords().value(u"乙"), u"三");
    EXPECT_EQ(engine.errorWords().value(u"甲"), u"四");
}

TEST_F(Loading, LfOnlyFilesAndOddOrCutFiles) {
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "lf.dict", utf16le(u"甲\n乙\n"));
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "cut.dict",
                         utf16le(u"丙\r\n") + std::string(2, '\0') + utf16le(u"丁"));
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "empty.dict", "");
    owner.lists[0] = {u"lf.dict", u"cut.dict", u"empty.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_TRUE(engine.correctWords().contains(u"甲"));
    EXPECT_TRUE(engine.correctWords().contains(u"乙"));
    EXPECT_TRUE(engine.correctWords().contains(u"丙"));
    EXPECT_FALSE(engine.correctWords().contains(u"丁"));
    EXPECT_EQ(owner.loadedFiles.size(), 3u);
}

TEST_F(Loading, Utf8FilesOfEitherKindGiveTheirEntries) {
    writeDictionaryBytes(dir, DictionaryKind::UserCorrect, "u.dict", "坊鉴\n\xE5\x8B\x98鉴坊\r\n");
    writeDictionaryBytes(dir, DictionaryKind::UserError, "e.dict",
                         "\xEF\xBB\xBF坊鉴勘$=$勘鉴坊\r\n按步就班$=$按部就班");
    owner.lists[2] = {u"u.dict"};
    owner.lists[3] = {u"e.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_TRUE(engine.correctWords().contains(u"坊鉴"));
    EXPECT_TRUE(engine.correctWords().contains(u"勘鉴坊"));
    EXPECT_EQ(engine.errorWords().value(u"坊鉴勘"), u"勘鉴坊");
    EXPECT_EQ(engine.errorWords().value(u"按步就班"), u"按部就班");
    EXPECT_TRUE(engine.loadReport().problems.empty());
}

TEST_F(Loading, AUtf8FileWithAByteThatIsNoUtf8IsCutShortAtItsLine) {
    // Marked as UTF-8, with a GB18030 byte pair on its third line: the lines before it load and
    // the load names the line, as for a U+0000.
    writeDictionaryBytes(dir, DictionaryKind::UserCorrect, "u.dict",
                         "\xEF\xBB\xBF甲乙\r\n丙丁\r\n戊\xD6\xD0\r\n己庚\r\n");
    owner.lists[2] = {u"u.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_TRUE(engine.correctWords().contains(u"甲乙"));
    EXPECT_TRUE(engine.correctWords().contains(u"丙丁"));
    EXPECT_FALSE(engine.correctWords().contains(u"己庚"));
    ASSERT_EQ(engine.loadReport().problems.size(), 1u);
    EXPECT_EQ(engine.loadReport().problems[0].reason, LoadProblem::Reason::CutShort);
    EXPECT_EQ(engine.loadReport().problems[0].count, 3);
}

TEST_F(Loading, NoListsAndNoFilesStillFinishOnce) {
    owner.load();
    EXPECT_EQ(owner.loadedCount, 1);
    EXPECT_TRUE(owner.loadedFiles.empty());
    EXPECT_EQ(engine.longestEntryLength(), 0);
}

TEST_F(Loading, ReloadEmptiesTheTablesAndReadsTheNewLists) {
    writeDictionary(dir, DictionaryKind::SystemCorrect, "a.dict", {u"甲乙"});
    writeDictionary(dir, DictionaryKind::SystemCorrect, "b.dict", {u"丙丁"});
    owner.lists[0] = {u"a.dict"};
    owner.load();
    owner.lists[0] = {u"b.dict"};
    owner.load();
    rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_FALSE(engine.correctWords().contains(u"甲乙"));
    EXPECT_TRUE(engine.correctWords().contains(u"丙丁"));
    EXPECT_EQ(owner.loadedCount, 2);
}

TEST_F(Loading, ALoadRequestedDuringALoadReplacesItAndFinishesOnce) {
    // Regression: loaders of the earlier load mixed the old lists into the emptied tables.
    std::vector<std::u16string> words;
    for (int i = 0; i < 20000; ++i) {
        words.push_back(u"旧" + utf8ToUtf16(std::to_string(i)));
    }
    std::u16string text;
    for (const auto& w : words) {
        text += w + u"\r\n";
    }
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "old.dict", utf16le(text));
    writeDictionary(dir, DictionaryKind::SystemCorrect, "new.dict", {u"新词"});
    for (int round = 0; round < 20; ++round) {
        owner.lists[0] = {u"old.dict", u"old.dict", u"old.dict"};
        engine.loadDictionaries();
        owner.lists[0] = {u"new.dict"};
        engine.loadDictionaries();
        engine.waitForLoading();
        rg_ChaCuoYinQing::TableReadGuard guard(engine);
        ASSERT_EQ(engine.correctWords().size(), 1u);
        ASSERT_TRUE(engine.correctWords().contains(u"新词"));
    }
    // Loaders report on their own threads; the last count arrives right after the tables are
    // complete.
    engine.waitForLoading();
}

TEST(EnginesLifetime, DestroyingTheEngineStopsItsLoaders) {
    TempDir dir;
    std::u16string text;
    for (int i = 0; i < 200000; ++i) {
        text += u"词" + utf8ToUtf16(std::to_string(i)) + u"\r\n";
    }
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "big.dict", utf16le(text));
    for (int i = 0; i < 5; ++i) {
        auto engine = std::make_unique<rg_ChaCuoYinQing>(dir.path());
        RecordingOwner owner(*engine);
        owner.lists[0] = {u"big.dict", u"big.dict", u"big.dict", u"big.dict"};
        engine->loadDictionaries();
        engine.reset();  // while its loaders still run; the owner outlives it
    }
}
