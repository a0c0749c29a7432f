#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"
#include "text/visible_text.h"

using kjf::decodeUtf8Lenient;
using kjf::readTextFile;
using kjf::splitText;
using kjf::visibleText;
using kjf::test::TempDir;
using kjf::test::writeBytes;

using Pieces = std::vector<std::u16string>;

TEST(SplitText, EachSeparatorCutsOnItsOwnAndPiecesAreTrimmed) {
    EXPECT_EQ(splitText(u"错词$=$正词", u"$="), (Pieces{u"错词", u"正词"}));
    EXPECT_EQ(splitText(u" \t错词 $=$\t正词  ", u"$="), (Pieces{u"错词", u"正词"}));
    EXPECT_EQ(splitText(u"A.dict,, B.dict ,", u","), (Pieces{u"A.dict", u"B.dict"}));
    EXPECT_EQ(splitText(u"a\r\nb\rc\nd", u"\r\n"), (Pieces{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(splitText(u"", u","), Pieces{});
    EXPECT_EQ(splitText(u" \t ,\x01", u","), Pieces{});
}

TEST(SplitText, OnlyUnitsUpToSpaceAreTrimmed) {
    // The ideographic space and inner blanks stay; control characters go.
    EXPECT_EQ(splitText(u"\u3000词\u3000\r\n\x1f a b \x7f", u"\r\n"),
              (Pieces{u"\u3000词\u3000", u"a b \x7f"}));
}

TEST(DecodeUtf8Lenient, DecodesValidTextAndSurrogatePairs) {
    EXPECT_EQ(decodeUtf8Lenient("abc"), u"abc");
    EXPECT_EQ(decodeUtf8Lenient("\xE4\xB8\xAD\xE6\x96\x87"), u"中文");
    EXPECT_EQ(decodeUtf8Lenient("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
    EXPECT_EQ(decodeUtf8Lenient(""), u"");
}

TEST(DecodeUtf8Lenient, AcceptsOverlongSurrogateAndLongForms) {
    EXPECT_EQ(decodeUtf8Lenient("\xC0\x81"), std::u16string(1, u'\x01'));  // overlong
    EXPECT_EQ(decodeUtf8Lenient("\xED\xA0\x80"), std::u16string(1, u'\xD800'));
    // 5-byte form of 0x200000: v - 0x10000 = 0x1F0000, high half 0x7C0 masked to 10 bits.
    EXPECT_EQ(decodeUtf8Lenient("\xF8\x88\x80\x80\x80"), (std::u16string{u'\xDBC0', u'\xDC00'}));
    // 6-byte form of 0x7FFFFFFF keeps only the masked bits of 0x7FFEFFFF.
    EXPECT_EQ(decodeUtf8Lenient("\xFD\xBF\xBF\xBF\xBF\xBF"),
              (std::u16string{u'\xDBBF', u'\xDFFF'}));
}

TEST(DecodeUtf8Lenient, StopsQuietlyAtTheFirstFault) {
    EXPECT_EQ(decodeUtf8Lenient(std::string("ab\0cd", 5)), u"ab");
    EXPECT_EQ(decodeUtf8Lenient("ab\xC0\x80"
                                "cd"),
              u"ab");  // overlong U+0000 ends it too
    EXPECT_EQ(decodeUtf8Lenient("ab\xE4\xB8"
                                "cd"),
              u"ab");                                   // truncated 3-byte sequence
    EXPECT_EQ(decodeUtf8Lenient("ab\xE4\xB8"), u"ab");  // cut by the end of input
    EXPECT_EQ(decodeUtf8Lenient("ab\x80"
                                "cd"),
              u"ab");  // stray continuation byte
    EXPECT_EQ(decodeUtf8Lenient("ab\xFE"
                                "cd"),
              u"ab");
    EXPECT_EQ(decodeUtf8Lenient("ab\xFF"
                                "cd"),
              u"ab");
    EXPECT_EQ(decodeUtf8Lenient("\xD6\xD0\xCE\xC4"), u"");  // GBK for 中文
    EXPECT_FALSE(kjf::decodeUtf8LenientChecked("ab\xE4").complete);
    EXPECT_TRUE(kjf::decodeUtf8LenientChecked("ab\xE4\xB8\xAD").complete);
}

TEST(Utf16ToUtf8, ConvertsThroughIconvAndRefusesLoneSurrogates) {
    EXPECT_EQ(kjf::utf16ToUtf8(u"中文a\xD83D\xDE00").value(),
              "\xE4\xB8\xAD\xE6\x96\x87"
              "a\xF0\x9F\x98\x80");
    EXPECT_EQ(kjf::utf16ToUtf8(u"").value(), "");
    EXPECT_FALSE(kjf::utf16ToUtf8(u"a\xD800"
                                  "b")
                     .has_value());
    EXPECT_EQ(kjf::utf16ToUtf8Lossy(u"a\xD800"
                                    "b\xDC00"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(VisibleText, InvisibleCharactersBecomeTokensAndOthersStay) {
    EXPECT_EQ(visibleText(u"\u200B"), u"<U+200B>");
    EXPECT_EQ(visibleText(u"甲\uFEFF乙\u00AD"), u"甲<U+FEFF>乙<U+00AD>");
    EXPECT_EQ(visibleText(u"\x01\x7F\u0085"), u"<U+0001><U+007F><U+0085>");
    EXPECT_EQ(visibleText(u"\uFE0F\U000E0101\u2060"), u"<U+FE0F><U+E0101><U+2060>");
    EXPECT_EQ(visibleText(u"a\u2003b"), u"a<U+2003>b");
    // Lone surrogates, and a pair that stays whole.
    EXPECT_EQ(visibleText(std::u16string{0xD83D, u'x', 0xDE00}), u"<U+D83D>x<U+DE00>");
    EXPECT_EQ(visibleText(u"\U0001F600"), u"\U0001F600");
    // Blanks stay inside a word, but a word of nothing else is shown as tokens.
    EXPECT_EQ(visibleText(u"丙 丁\u3000"), u"丙 丁\u3000");
    EXPECT_EQ(visibleText(u"\u3000"), u"<U+3000>");
    EXPECT_EQ(visibleText(u" \u200B"), u"<U+0020><U+200B>");
    EXPECT_EQ(visibleText(u""), u"");
    EXPECT_EQ(visibleText(u"错误，。"), u"错误，。");
}

TEST(Utf8ToUtf16, ReplacesInvalidSequences) {
    EXPECT_EQ(kjf::utf8ToUtf16("\xE4\xB8\xAD"
                               "x"),
              u"中x");
    EXPECT_EQ(kjf::utf8ToUtf16("a\xC0\x81"
                               "b"),
              u"a\xFFFD"
              "b");
    EXPECT_EQ(kjf::utf8ToUtf16("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
}

class ReadTextFileTest : public ::testing::Test {
  protected:
    std::u16string readBytesAsText(std::string_view bytes) {
        const std::string path = m_dir.file("t.txt");
        writeBytes(path, bytes);
        return readTextFile(path);
    }
    TempDir m_dir;
};

TEST_F(ReadTextFileTest, Utf16LeAfterByteOrderMark) {
    EXPECT_EQ(readBytesAsText("\xFF\xFE" + kjf::test::utf16le(u"中文")), u"中文");
    EXPECT_EQ(readBytesAsText("\xFF\xFE" + kjf::test::utf16le(u"ab") + std::string(2, '\0') +
                              kjf::test::utf16le(u"cd")),
              u"ab");
    // Unpaired surrogates are copied as they stand; an odd last byte is one more unit.
    EXPECT_EQ(readBytesAsText(std::string("\xFF\xFE\x00\xD8"
                                          "A",
                                          5)),
              (std::u16string{u'\xD800', u'A'}));
    EXPECT_EQ(readBytesAsText("\xFF\xFE"), u"");
}

TEST_F(ReadTextFileTest, Utf8OtherwiseWithMarksNotSkipped) {
    EXPECT_EQ(readBytesAsText("\xEF\xBB\xBF"
                              "ab"),
              u"\xFEFF"
              "ab");
    // Regression: text with the UTF-16BE mark was read as broken UTF-8, that is, as nothing.
    EXPECT_EQ(readBytesAsText(std::string("\xFE\xFF\x4E\x2D\x00\x41", 6)), u"中A");
    EXPECT_EQ(readBytesAsText(std::string("\xFE\xFF\x4E\x2D\x00\x00\x00\x41", 8)), u"中");
    EXPECT_EQ(readBytesAsText(kjf::test::utf16le(u"Ab")), u"A");  // UTF-16LE without mark
    EXPECT_EQ(readBytesAsText("ab\xE4\xB8"
                              "cd"),
              u"ab");
    EXPECT_EQ(readBytesAsText("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
}

TEST_F(ReadTextFileTest, MissingEmptyAndUnreadableFilesReadAsEmpty) {
    EXPECT_EQ(readTextFile(m_dir.file("missing.txt")), u"");
    EXPECT_EQ(readTextFile(""), u"");
    EXPECT_EQ(readBytesAsText(""), u"");
    std::filesystem::create_directory(m_dir.file("folder"));
    EXPECT_EQ(readTextFile(m_dir.file("folder")), u"");
    EXPECT_FALSE(kjf::readTextFileChecked(m_dir.file("folder")).readable);
}

TEST_F(ReadTextFileTest, FilesOfTwoGibibytesOrMoreReadAsEmpty) {
    const std::string path = m_dir.file("huge.txt");
    writeBytes(path, "abc");
    // Sparse files: no disk space is used.
    ASSERT_EQ(::truncate(path.c_str(), 0x80000000LL), 0);
    EXPECT_EQ(readTextFile(path), u"");
    EXPECT_FALSE(kjf::readTextFileChecked(path).readable);
}

TEST(ProgramDirectory, IsTheExecutablesDirectoryWithTrailingSlash) {
    const std::string dir = kjf::programDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/", dir);
}

class AtomicWriteTest : public ::testing::Test {
  protected:
    void TearDown() override { kjf::setWriteFaultInjectorForTesting({}); }
    TempDir m_dir;
};

TEST_F(AtomicWriteTest, ReplacesTheFileAndKeepsItsPermissions) {
    const std::string path = m_dir.file("a.dict");
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(kjf::writeFileAtomically(path, "new content"));
    EXPECT_EQ(kjf::test::readBytes(path), "new content");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 1);
}

TEST_F(AtomicWriteTest, EveryFailedStepLeavesTheOldFileWhole) {
    const std::string path = m_dir.file("a.dict");
    for (const char* step : {"open", "write", "sync", "rename"}) {
        writeBytes(path, "old");
        kjf::setWriteFaultInjectorForTesting([step](std::string_view s) { return s == step; });
        EXPECT_FALSE(kjf::writeFileAtomically(path, "new")) << step;
        EXPECT_EQ(kjf::test::readBytes(path), "old") << step;
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 1) << step;
    }
}

TEST_F(AtomicWriteTest, MissingDirectoryOrDirectoryTargetFails) {
    EXPECT_FALSE(kjf::writeFileAtomically(m_dir.file("no/such/file"), "x"));
    std::filesystem::create_directory(m_dir.file("d"));
    EXPECT_FALSE(kjf::writeFileAtomically(m_dir.file("d"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.file("d")));
}

// "保存失败！" alone cannot tell a full disk from a missing folder: every failure carries the
// step and the system's reason.
TEST_F(AtomicWriteTest, AFailedWriteSaysWhy) {
    const auto missing = kjf::writeFileAtomically(m_dir.file("no/such/file"), "x");
    EXPECT_EQ(missing.outcome, kjf::ReplaceOutcome::CannotCreate);
    EXPECT_EQ(missing.systemError, ENOENT);
    EXPECT_EQ(missing.reason(), u"文件夹不存在");
    std::filesystem::create_directory(m_dir.file("d"));
    EXPECT_EQ(kjf::writeFileAtomically(m_dir.file("d"), "x").reason(), u"这是一个文件夹");
    kjf::setWriteFaultInjectorForTesting([](std::string_view s) { return s == "write"; });
    const auto failed = kjf::writeFileAtomically(m_dir.file("a"), "x");
    EXPECT_EQ(failed.outcome, kjf::ReplaceOutcome::WriteFailed);
    EXPECT_EQ(failed.reason(), u"输入输出错误");
    const auto appended = kjf::appendToFile(m_dir.file("b"), "x");
    EXPECT_FALSE(appended);
    EXPECT_EQ(appended.reason(), u"输入输出错误");
    kjf::setWriteFaultInjectorForTesting({});
    EXPECT_TRUE(kjf::appendToFile(m_dir.file("b"), "x"));
    EXPECT_EQ(kjf::appendToFile(m_dir.file("no/such/file"), "x").reason(), u"文件夹不存在");
    EXPECT_TRUE(kjf::writeFileAtomically(m_dir.file("a"), "x").reason().empty());
    EXPECT_EQ(kjf::systemErrorText(ENOSPC), u"磁盘空间不足");
    EXPECT_EQ(kjf::systemErrorText(EROFS), u"文件系统是只读的");
    EXPECT_FALSE(kjf::systemErrorText(EPROTO).empty());  // the C library's words
}

TEST_F(AtomicWriteTest, CreatingNeverReplacesAnythingAndLeavesNoTemporaryFile) {
    const std::string path = m_dir.file("setup.ini");
    EXPECT_EQ(kjf::createFileAtomically(path, "first"), kjf::CreateOutcome::Created);
    EXPECT_EQ(kjf::test::readBytes(path), "first");
    EXPECT_EQ(kjf::createFileAtomically(path, "second"), kjf::CreateOutcome::Exists);
    EXPECT_EQ(kjf::test::readBytes(path), "first");
    // A link, even one that leads nowhere, is something at the path: nothing is written through it.
    const std::string link = m_dir.file("link.ini");
    std::filesystem::create_symlink(m_dir.file("elsewhere"), link);
    EXPECT_EQ(kjf::createFileAtomically(link, "x"), kjf::CreateOutcome::Exists);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("elsewhere")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2);
}

TEST_F(AtomicWriteTest, FailedCreationLeavesNothingAtThePath) {
    const std::string path = m_dir.file("auto.dict");
    for (const char* step : {"open", "write", "sync", "rename"}) {
        kjf::setWriteFaultInjectorForTesting([step](std::string_view s) { return s == step; });
        EXPECT_EQ(kjf::createFileAtomically(path, "bytes"), kjf::CreateOutcome::Failed) << step;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 0) << step;
    }
    kjf::setWriteFaultInjectorForTesting({});
    EXPECT_EQ(kjf::createFileAtomically(m_dir.file("no/such/folder"), "x"),
              kjf::CreateOutcome::Failed);
}

TEST_F(AtomicWriteTest, DirectoryPathsAreMadeFromTheTopDown) {
    EXPECT_TRUE(kjf::makeDirectoryPath(m_dir.file("a/b/c/")));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.file("a/b/c")));
    EXPECT_TRUE(kjf::makeDirectoryPath(m_dir.file("a/b/c")));
    writeBytes(m_dir.file("a/file"), "x");
    EXPECT_FALSE(kjf::makeDirectoryPath(m_dir.file("a/file/d/")));
    EXPECT_EQ(kjf::test::readBytes(m_dir.file("a/file")), "x");
}
