#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "settings/settings_file.h"
#include "test_support.h"
#include "text/files.h"
#include "text/utf.h"

using kjf::readSetting;
using kjf::writeSetting;
using kjf::test::readBytes;
using kjf::test::writeBytes;

namespace {

constexpr std::u16string_view kEngine = u"引擎设置";
constexpr std::u16string_view kDicts = u"词库设置";

class SettingsTest : public ::testing::Test {
  protected:
    void TearDown() override { kjf::setWriteFaultInjectorForTesting({}); }
    std::string ini() const { return m_dir.file("setup.ini"); }
    std::string contents() const { return readBytes(ini()); }
    std::u16string read(std::u16string_view section, std::u16string_view key,
                        std::u16string_view fallback = u"dflt") const {
        return readSetting(m_dir.path(), section, key, fallback);
    }
    bool write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
        return static_cast<bool>(writeSetting(m_dir.path(), section, key, value));
    }
    kjf::test::TempDir m_dir;
};

}  // namespace

TEST_F(SettingsTest, MissingFileGivesTheCallersDefault) {
    EXPECT_EQ(read(kEngine, u"量化数值", u"10"), u"10");
    EXPECT_EQ(read(kEngine, u"引擎类型", u""), u"");
}

TEST_F(SettingsTest, FirstWriteCreatesTheFileExactly) {
    ASSERT_TRUE(write(kEngine, u"引擎类型", u"2"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n引擎类型=2");
    EXPECT_EQ(read(kEngine, u"引擎类型"), u"2");
}

TEST_F(SettingsTest, BasicPageThenListPageGivesTheDocumentedFile) {
    for (auto [key, value] : {std::pair{u"引擎类型", u"1"},
                              {u"自动量化", u"0"},
                              {u"量化数值", u"10"},
                              {u"准确度提升", u"1"}}) {
        ASSERT_TRUE(write(kEngine, key, value));
    }
    ASSERT_TRUE(write(kDicts, u"系统正确词库列表", u"A.dict,B.dict,"));
    EXPECT_EQ(contents(),
              "[引擎设置]\r\n[词库设置]\r\n系统正确词库列表=A.dict,B.dict,\r\n准确度提升=1\r\n"
              "量化数值=10\r\n自动量化=0\r\n引擎类型=1\r\n");
    // The engine section runs past the later header.
    EXPECT_EQ(read(kEngine, u"准确度提升"), u"1");
    EXPECT_EQ(read(kDicts, u"系统正确词库列表"), u"A.dict,B.dict,");
    // Replacing keeps the order, and writing twice gives the same bytes.
    ASSERT_TRUE(write(kEngine, u"自动量化", u"1"));
    const std::string once = contents();
    ASSERT_TRUE(write(kEngine, u"自动量化", u"1"));
    EXPECT_EQ(contents(), once);
    EXPECT_NE(once.find("自动量化=1\r\n引擎类型=1"), std::string::npos);
}

TEST_F(SettingsTest, NewSectionGoesAfterTheFirstLine) {
    writeBytes(ini(), "one\r\ntwo\r\nthree");
    ASSERT_TRUE(write(kDicts, u"k", u"v"));
    EXPECT_EQ(contents(), "one\r\n[词库设置]\r\nk=v\r\ntwo\r\nthree\r\n");
}

TEST_F(SettingsTest, EmptyFileGivesDefaultsAndTwoLinesOnWrite) {
    writeBytes(ini(), "");
    EXPECT_EQ(read(kEngine, u"量化数值", u"10"), u"10");
    ASSERT_TRUE(write(kEngine, u"量化数值", u"5"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n量化数值=5\r\n");
}

TEST_F(SettingsTest, KeyLinesNeedTheKeyDirectlyBeforeTheEqualsSign) {
    writeBytes(ini(), "[引擎设置]\n量化数值 = 5\n引擎类型= 2\n");
    EXPECT_EQ(read(kEngine, u"量化数值"), u"dflt");
    EXPECT_EQ(read(kEngine, u"引擎类型"), u" 2");  // the blank after = is part of the value
    ASSERT_TRUE(write(kEngine, u"量化数值", u"7"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n量化数值=7\r\n量化数值 = 5\r\n引擎类型= 2\r\n");
}

TEST_F(SettingsTest, ScopeStartsAtTheHeaderAndFirstMatchWins) {
    writeBytes(ini(), "k=above\n  [引擎设置]  \nk=first\nk=second\n[ 引擎设置 ]\n");
    EXPECT_EQ(read(kEngine, u"k"), u"first");
    EXPECT_EQ(read(u" 引擎设置 ", u"k"), u"dflt");  // no key line after that header
    EXPECT_EQ(read(u"其他", u"k"), u"dflt");
}

TEST_F(SettingsTest, EveryHeaderOccurrenceGetsItsFirstKeyLineReplaced) {
    writeBytes(ini(), "[s]\nk=1\nk=2\n[s]\nk=3\n");
    ASSERT_TRUE(write(u"s", u"k", u"9"));
    EXPECT_EQ(contents(), "[s]\r\nk=9\r\nk=2\r\n[s]\r\nk=9\r\n");
}

TEST_F(SettingsTest, NewKeyGoesBelowTheLastHeader) {
    writeBytes(ini(), "[s]\na=1\n[t]\n[s]\nb=2\n");
    ASSERT_TRUE(write(u"s", u"c", u"3"));
    EXPECT_EQ(contents(), "[s]\r\na=1\r\n[t]\r\n[s]\r\nc=3\r\nb=2\r\n");
}

TEST_F(SettingsTest, BlankLinesAndTrailingBlanksAreDroppedOnRewrite) {
    writeBytes(ini(), "[s]   \r\n\r\n\r\n  a=1 \t\r\n\n[t]\nb=2  \n");
    ASSERT_TRUE(write(u"t", u"b", u"3"));
    EXPECT_EQ(contents(), "[s]\r\na=1\r\n[t]\r\nb=3\r\n");
}

// A mark in front of a UTF-8 file (as Notepad saves it) once hid the first section: its settings
// were silently not read, and a write added the section a second time.
TEST_F(SettingsTest, Utf8ByteOrderMarkIsNoPartOfTheFirstHeader) {
    writeBytes(ini(), "\xEF\xBB\xBF[引擎设置]\r\n引擎类型=2\r\n");
    EXPECT_EQ(read(kEngine, u"引擎类型"), u"2");
    ASSERT_TRUE(write(kEngine, u"引擎类型", u"1"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n引擎类型=1\r\n");
}

TEST_F(SettingsTest, Utf16FileIsReadAndBecomesUtf8) {
    writeBytes(ini(), "\xFF\xFE" + kjf::test::utf16le(u"[引擎设置]\r\n引擎类型=2\r\n"));
    EXPECT_EQ(read(kEngine, u"引擎类型"), u"2");
    ASSERT_TRUE(write(kEngine, u"自动量化", u"1"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n自动量化=1\r\n引擎类型=2\r\n");
}

// A file saved in the system's Chinese code page (GBK) is read, and rewritten as UTF-8 with all it
// held; it was once refused and read only up to its first Chinese character.
TEST_F(SettingsTest, ChineseCodePageFileIsReadAndBecomesUtf8) {
    writeBytes(ini(),
               "[\xD2\xFD\xC7\xE6\xC9\xE8\xD6\xC3]\r\n\xD6\xD0\xCE\xC4=1\r\n"
               "\xD2\xFD\xC7\xE6\xC0\xE0\xD0\xCD=2\r\n");
    EXPECT_EQ(read(kEngine, u"引擎类型"), u"2");
    ASSERT_TRUE(write(kEngine, u"引擎类型", u"1"));
    EXPECT_EQ(contents(), "[引擎设置]\r\n中文=1\r\n引擎类型=1\r\n");
}

TEST_F(SettingsTest, WriteRefusesAFileItCannotReadWhole) {
    // Neither UTF-8 nor GB18030 to its end: rebuilding would lose the rest of the file.
    const std::string legacy = "[引擎设置]\r\n引擎类型=2\r\n\xFF\xFF=1\r\n";
    writeBytes(ini(), legacy);
    EXPECT_EQ(read(kEngine, u"引擎类型"), u"2");
    EXPECT_FALSE(write(kEngine, u"引擎类型", u"1"));
    EXPECT_EQ(contents(), legacy);
    // A UTF-16 file cut by U+0000 is refused the same way.
    const std::string cut = "\xFF\xFE" + kjf::test::utf16le(u"[s]\r\n") + std::string(2, '\0') +
                            kjf::test::utf16le(u"k=v");
    writeBytes(ini(), cut);
    EXPECT_FALSE(write(u"s", u"k", u"w"));
    EXPECT_EQ(contents(), cut);
}

// Writers at the same moment (the window and the command-line tool) each read, changed and
// replaced the file, so one write undid the other's while both reported success.
TEST_F(SettingsTest, WritersAtTheSameTimeKeepEveryWrite) {
    std::vector<std::thread> writers;
    std::atomic<int> failed{0};
    for (int t = 0; t < 6; ++t) {
        writers.emplace_back([this, t, &failed] {
            for (int k = 0; k < 15; ++k) {
                const auto key =
                    kjf::utf8ToUtf16("k" + std::to_string(t) + "_" + std::to_string(k));
                if (!write(kEngine, key, u"v")) {
                    ++failed;
                }
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failed, 0);
    for (int t = 0; t < 6; ++t) {
        for (int k = 0; k < 15; ++k) {
            const auto key = kjf::utf8ToUtf16("k" + std::to_string(t) + "_" + std::to_string(k));
            EXPECT_EQ(read(kEngine, key), u"v") << t << " " << k;
        }
    }
}

TEST_F(SettingsTest, WriteRefusesWhenSetupIniIsNotAFile) {
    std::filesystem::create_directory(ini());
    EXPECT_EQ(read(kEngine, u"k"), u"dflt");
    EXPECT_FALSE(write(kEngine, u"k", u"v"));
    EXPECT_TRUE(std::filesystem::is_directory(ini()));
}

TEST_F(SettingsTest, FailedWriteLeavesTheOldFileWhole) {
    writeBytes(ini(), "[s]\r\nk=1\r\n");
    kjf::setWriteFaultInjectorForTesting([](std::string_view step) { return step == "write"; });
    EXPECT_FALSE(write(u"s", u"k", u"2"));
    EXPECT_EQ(contents(), "[s]\r\nk=1\r\n");
    EXPECT_FALSE(writeSetting(m_dir.path() + "missing/", u"s", u"k", u"2"));
}
