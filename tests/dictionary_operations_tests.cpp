// Dictionary file operations of the settings window and of kanjianfang-cli dict: byte-exact
// results, and files that stay whole whenever an operation cannot finish.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"
#include "dictionaries/dictionary_operations.h"
#include "settings/settings_file.h"
#include "test_support.h"
#include "text/files.h"

namespace kjf::test {
namespace {

namespace fs = std::filesystem;

// Restores normal writing when a test ends, whatever it asserted.
struct FaultInjection {
    explicit FaultInjection(std::string_view failingStep) {
        setWriteFaultInjectorForTesting(
            [step = std::string(failingStep)](std::string_view at) { return at == step; });
    }
    ~FaultInjection() { setWriteFaultInjectorForTesting({}); }
};

std::vector<std::string> entriesOf(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DictionaryListing, RegularDictFilesInCodeUnitOrder) {
    TempDir dir;
    // U+1F600 sorts after U+FF21 as UTF-8 bytes, before it as UTF-16 code units.
    for (const char* name : {"b.dict", "a.dict", "\xEF\xBC\xA1.dict", "\xF0\x9F\x98\x80.dict",
                             "B.dict", "notes.txt", "old.dict.bak", "upper.DICT"}) {
        writeBytes(dir.file(name), "");
    }
    fs::create_directory(dir.file("folder.dict"));
    EXPECT_EQ(listDictionaryFiles(dir.path()),
              (std::vector<std::u16string>{u"B.dict", u"a.dict", u"b.dict", u"upper.DICT",
                                           u"\U0001F600.dict", u"\uFF21.dict"}));
    EXPECT_TRUE(listDictionaryFiles(dir.file("missing/")).empty());
}

TEST(DictionaryListing, EnabledListValueEndsEveryNameWithAComma) {
    EXPECT_EQ(enabledListValue({u"A.dict", u"B.dict"}), u"A.dict,B.dict,");
    EXPECT_EQ(enabledListValue({}), u"");
}

TEST(DictionaryOptimise, WritesSortedDistinctTrimmedLinesWithCrLf) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    writeBytes(path, utf16le(u"乙\r\n甲\n乙\r \t甲  \r\n\r\n"));
    std::vector<int> progress;
    ASSERT_TRUE(optimiseDictionaryFile(path, [&](int p) { progress.push_back(p); }));
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n"));
    // Four lines read (25, 50, 75, 100 halved), two written (50, 100 halved, above 50).
    EXPECT_EQ(progress, (std::vector<int>{12, 25, 37, 50, 75, 100}));
}

TEST(DictionaryOptimise, KeepsErrorEntriesThatDifferInTheirCorrection) {
    EXPECT_EQ(optimiseDictionaryText(u"错$=$对\r\n错$=$对二\r\n错$=$对\r\n"),
              u"错$=$对\r\n错$=$对二\r\n");
}

TEST(DictionaryOptimise, EmptyFileStaysEmptyWithoutProgress) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    writeBytes(path, "");
    int calls = 0;
    ASSERT_TRUE(optimiseDictionaryFile(path, [&](int) { ++calls; }));
    EXPECT_EQ(readBytes(path), "");
    EXPECT_EQ(calls, 0);
}

TEST(DictionaryOptimise, UnreadableFileIsLeftAsItWas) {
    TempDir dir;
    // A directory where the file should be cannot be read, even by root.
    fs::create_directory(dir.file("dir.dict"));
    EXPECT_FALSE(optimiseDictionaryFile(dir.file("dir.dict")));
    EXPECT_TRUE(fs::is_directory(dir.file("dir.dict")));
    // A missing file is not created empty.
    EXPECT_FALSE(optimiseDictionaryFile(dir.file("gone.dict")));
    EXPECT_FALSE(pathExists(dir.file("gone.dict")));
}

TEST(DictionaryOptimise, EntriesBehindAZeroCodeUnitAreNotCutOff) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    const std::string bytes = utf16le(u"乙\r\n") + std::string(2, '\0') + utf16le(u"甲\r\n");
    writeBytes(path, bytes);
    EXPECT_FALSE(optimiseDictionaryFile(path));
    EXPECT_EQ(readBytes(path), bytes);
    // Zeros alone at the end hide nothing.
    writeBytes(path, utf16le(u"乙\r\n乙") + std::string(4, '\0'));
    EXPECT_TRUE(optimiseDictionaryFile(path));
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n"));
}

// A UTF-8 list was taken as UTF-16LE: nothing was removed, and its last line end came back as
// 0D 0D 00 0A 00. Now it is read as UTF-8 and written in the program's own format.
TEST(DictionaryOptimise, AUtf8FileIsRewrittenAsUtf16WithEveryEntry) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    writeBytes(path, "乙\r\n甲\n乙\r\n丙 \r\n");
    ASSERT_TRUE(optimiseDictionaryFile(path));
    EXPECT_EQ(readBytes(path), utf16le(u"丙\r\n乙\r\n甲\r\n"));

    // Marked as UTF-8 but holding a byte that is no UTF-8: the entries behind it cannot be read,
    // so the file is not rewritten.
    const std::string bad = "\xEF\xBB\xBF乙\r\n\xD6\xD0\r\n甲\r\n";
    writeBytes(path, bad);
    const auto read = readDictionaryFile(path);
    EXPECT_TRUE(read.readable);
    EXPECT_FALSE(read.complete);
    EXPECT_FALSE(optimiseDictionaryFile(path));
    EXPECT_EQ(readBytes(path), bad);
}

TEST(UserCorrectDictionary, AWordAddedToAUtf8FileRewritesItWholeAsUtf16) {
    TempDir dir;
    const Locations locations = Locations::portable(dir.path());
    const std::string folder = locations.dictionaryDirectory(DictionaryKind::UserCorrect);
    fs::create_directories(folder);
    ASSERT_TRUE(
        writeSetting(locations.settingsDirectory, u"词库设置", u"用户正确词库列表", u"mine.dict,"));
    // Made in a text editor: UTF-8 with its mark, no line end after the last word.
    writeBytes(folder + "mine.dict", "\xEF\xBB\xBF坊鉴\r\n勘鉴坊");
    const AddedWord added = addToUserCorrectDictionary(locations, u"鉴坊");
    ASSERT_TRUE(added.result);
    EXPECT_EQ(added.path, folder + "mine.dict");
    EXPECT_EQ(readBytes(added.path), utf16le(u"\uFEFF坊鉴\r\n勘鉴坊\r\n鉴坊\r\n"));

    // A UTF-16LE file takes the word as before.
    writeBytes(folder + "mine.dict", utf16le(u"甲\r\n"));
    ASSERT_TRUE(addToUserCorrectDictionary(locations, u"乙").result);
    EXPECT_EQ(readBytes(folder + "mine.dict"), utf16le(u"甲\r\n乙\r\n"));

    // A failed write leaves the UTF-8 file as it was.
    writeBytes(folder + "mine.dict", "坊鉴\n");
    {
        FaultInjection fault("rename");
        EXPECT_FALSE(addToUserCorrectDictionary(locations, u"鉴坊").result);
    }
    EXPECT_EQ(readBytes(folder + "mine.dict"), "坊鉴\n");
}

TEST(DictionaryOptimise, FailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
    for (const char* step : {"open", "write", "sync", "rename"}) {
        TempDir dir;
        const std::string path = dir.file("d.dict");
        const std::string bytes = utf16le(u"乙\r\n甲\r\n乙\r\n");
        writeBytes(path, bytes);
        FaultInjection fault(step);
        EXPECT_FALSE(optimiseDictionaryFile(path)) << step;
        EXPECT_EQ(readBytes(path), bytes) << step;
        EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"d.dict"}) << step;
    }
}

TEST(DictionaryCreate, NeverEmptiesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.file("有.dict");
    writeBytes(path, utf16le(u"词\r\n"));
    EXPECT_FALSE(createEmptyDictionary(path));
    EXPECT_EQ(readBytes(path), utf16le(u"词\r\n"));

    EXPECT_TRUE(createEmptyDictionary(dir.file("新词库.dict")));
    EXPECT_TRUE(isRegularFile(dir.file("新词库.dict")));
    EXPECT_EQ(readBytes(dir.file("新词库.dict")), "");
    EXPECT_FALSE(createEmptyDictionary(dir.file("missing/x.dict")));
}

// In a protected folder (the installation's own, used read-only) nothing is made or removed.
TEST(DictionaryCreate, NothingIsMadeOrDeletedInAProtectedFolder) {
    TempDir dir;
    writeBytes(dir.file("有.dict"), utf16le(u"词\r\n"));
    protectDirectory(dir.path());
    EXPECT_EQ(createEmptyDictionary(dir.file("新.dict")).reason(), protectedPathRefusal().reason());
    EXPECT_FALSE(deleteDictionaryFile(dir.file("有.dict")));
    clearProtectedDirectoriesForTesting();
    EXPECT_FALSE(pathExists(dir.file("新.dict")));
    EXPECT_EQ(readBytes(dir.file("有.dict")), utf16le(u"词\r\n"));
    EXPECT_TRUE(deleteDictionaryFile(dir.file("有.dict")));
}

TEST(DictionaryCreate, RefusesNamesTheEnabledListCannotHold) {
    EXPECT_TRUE(isUsableDictionaryName(u"新词库"));
    EXPECT_TRUE(isUsableDictionaryName(u"my words"));
    for (std::u16string_view bad : {u"", u"a,b", u"a/b", u"a\\b", u" lead", u"trail\t", u"a\nb"}) {
        EXPECT_FALSE(isUsableDictionaryName(bad)) << std::string(bad.begin(), bad.end());
    }
}

TEST(DictionaryDelete, RemovesFilesOnly) {
    TempDir dir;
    writeBytes(dir.file("a.dict"), "x");
    EXPECT_TRUE(deleteDictionaryFile(dir.file("a.dict")));
    EXPECT_FALSE(pathExists(dir.file("a.dict")));
    EXPECT_FALSE(deleteDictionaryFile(dir.file("a.dict")));
    fs::create_directory(dir.file("d.dict"));
    EXPECT_FALSE(deleteDictionaryFile(dir.file("d.dict")));
}

// The check passed lines that loading drops (nothing after "$=$", or a third piece), so an
// editor's "保存成功" and a passing dict verify left entries that were never used.
TEST(ErrorEntryCheck, AcceptsOnlyLinesThatLoadAsAnEntry) {
    const auto bad = malformedErrorLines(
        u"错词$=$正词\r\n  错词 $=$ 正词 \r\n错词$=$\r\n$=$正词\r\n错词=正词\r\n   "
        u"\r\n\r\n甲$=$乙$=$丙\r\n坊鉴勘$=$勘鉴坊=KJF\r\n坊鉴勘$=$ \t\r\n$=$甲$=$乙\r\n甲$$=$$乙");
    ASSERT_EQ(bad.size(), 7u);
    const std::vector<std::pair<std::int32_t, std::u16string>> expected{{3, u"错词$=$"},
                                                                        {4, u"$=$正词"},
                                                                        {5, u"错词=正词"},
                                                                        {8, u"甲$=$乙$=$丙"},
                                                                        {9, u"坊鉴勘$=$勘鉴坊=KJF"},
                                                                        {10, u"坊鉴勘$=$"},
                                                                        {11, u"$=$甲$=$乙"}};
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(bad[i].number, expected[i].first) << i;
        EXPECT_EQ(bad[i].text, expected[i].second) << i;
    }
}

TEST(ErrorEntryCheck, NumbersLinesAcrossEveryLineBreak) {
    // CR LF, CR and LF each end one line; blank lines count but are never reported.
    const auto bad = malformedErrorLines(u"a$=$b\r\rx\n\n y \r\n");
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(bad[0].number, 3);
    EXPECT_EQ(bad[1].number, 5);
    EXPECT_EQ(bad[1].text, u"y");
    EXPECT_TRUE(malformedErrorLines(u"").empty());
}

TEST(DictionarySave, WritesRawCodeUnitsOrKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    ASSERT_TRUE(saveDictionaryText(path, u" 甲\r\n\r\n乙"));
    EXPECT_EQ(readBytes(path), utf16le(u" 甲\r\n\r\n乙"));
    {
        FaultInjection fault("write");
        EXPECT_FALSE(saveDictionaryText(path, u"丙"));
        EXPECT_EQ(saveDictionaryTextReporting(path, u"丙").kind, SaveOutcome::Kind::WriteFailed);
    }
    EXPECT_EQ(readBytes(path), utf16le(u" 甲\r\n\r\n乙"));
    EXPECT_EQ(saveDictionaryTextReporting(dir.file("missing/auto.dict"), u"x").kind,
              SaveOutcome::Kind::CannotCreate);
    EXPECT_EQ(saveDictionaryTextReporting(path, u"").kind, SaveOutcome::Kind::Saved);
    EXPECT_EQ(readBytes(path), "");
}

TEST(DictionaryRead, TellsAWholeFileFromOneCutShort) {
    TempDir dir;
    writeBytes(dir.file("a.dict"), utf16le(u"中文") + "\x41");  // odd last byte: one more unit
    const auto whole = readDictionaryFile(dir.file("a.dict"));
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(whole.text, u"中文A");
    const auto missing = readDictionaryFile(dir.file("none.dict"));
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(missing.readable);
    fs::create_directory(dir.file("d.dict"));
    const auto folder = readDictionaryFile(dir.file("d.dict"));
    EXPECT_TRUE(folder.exists);
    EXPECT_FALSE(folder.readable);
}

TEST(CliDict, OptimiseRewritesTheFileAndFailsWithoutTouchingIt) {
    TempDir dir;
    const std::string path = dir.file("d.dict");
    writeBytes(path, utf16le(u"乙\r\n甲\r\n乙\r\n"));
    auto r = runCli(KJF_CLI_PATH, {"dict", "optimise", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n"));

    const std::string cut = utf16le(u"乙") + std::string(2, '\0') + utf16le(u"甲");
    writeBytes(path, cut);
    r = runCli(KJF_CLI_PATH, {"dict", "optimise", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(readBytes(path), cut);

    writeBytes(path, "乙\r\n甲\r\n乙\r\n");
    r = runCli(KJF_CLI_PATH, {"dict", "optimise", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n"));
}

TEST(CliDict, VerifyPrintsEveryBadLineWithItsNumber) {
    TempDir dir;
    const std::string path = dir.file("e.dict");
    writeBytes(path, utf16le(u"错词$=$正词\r\n$=$正词\r\n\r\n错\t词=正词\r\n"));
    auto r = runCli(KJF_CLI_PATH, {"dict", "verify", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2\t$=$正词\n4\t错\\t词=正词\n");

    writeBytes(path, utf16le(u"错词$=$正词\r\n"));
    r = runCli(KJF_CLI_PATH, {"dict", "verify", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");

    // Lines that loading drops fail verification too.
    writeBytes(path, utf16le(u"错词$=$正词\r\n坊鉴勘$=$\r\n坊鉴勘$=$勘鉴坊=KJF\r\n"));
    r = runCli(KJF_CLI_PATH, {"dict", "verify", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2\t坊鉴勘$=$\n3\t坊鉴勘$=$勘鉴坊=KJF\n");

    // A UTF-8 file is read as UTF-8, as loading reads it.
    writeBytes(path, "错词$=$正词\n坊鉴勘$=$勘鉴坊\n");
    r = runCli(KJF_CLI_PATH, {"dict", "verify", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    writeBytes(path, "\xEF\xBB\xBF错词$=$正词\n坏行\n甲$=$乙\xFF\n己$=$庚\n");
    r = runCli(KJF_CLI_PATH, {"dict", "verify", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2\t坏行\n3\t甲$=$乙\uFFFD\n");

    EXPECT_EQ(runCli(KJF_CLI_PATH, {"dict", "verify", dir.file("none.dict")}).status, 2);
    EXPECT_EQ(runCli(KJF_CLI_PATH, {"dict", "sort", path}).status, 2);
}

}  // namespace
}  // namespace kjf::test
