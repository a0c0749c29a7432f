// Word-group analysis of auto-learning and the automatic dictionary appends.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/checking_engine.h"
#include "learning/word_groups.h"
#include "run/text_snapshot.h"
#include "test_support.h"
#include "text/files.h"

using namespace kjf;
using kjf::test::readBytes;
using kjf::test::TempDir;
using kjf::test::utf16le;
using kjf::test::writeBytes;
using namespace std::string_literals;

namespace {

using Rows = std::vector<WordGroupRow>;

// An engine whose correct-word table holds words, answering text requests from text.
class Analysis {
  public:
    explicit Analysis(std::initializer_list<std::u16string_view> words) : m_engine(m_dir.path()) {
        std::u16string dictionary;
        for (auto w : words) {
            dictionary += w;
            dictionary += u"\r\n";
        }
        std::filesystem::create_directories(m_dir.file("data/sys/right"));
        writeBytes(m_dir.file("data/sys/right/c.dict"), utf16le(dictionary));
        m_engine.onListsRequested.bind([](void*, rg_ChaCuoYinQing&, std::int32_t, auto& a, auto&,
                                          auto&, auto&) { a = {u"c.dict"}; },
                                       this, 0);
        m_engine.loadDictionaries();
        m_engine.waitForLoading();
        bindTextSnapshot(m_engine, &text);
    }

    Rows run(std::vector<rg_BiaoJiCiYuLei> findings, std::int32_t quantization,
             std::stop_token stop = {}) {
        Rows rows;
        analyzeWordGroups(
            m_engine, WordGroupInput{std::move(findings), quantization},
            [&rows](const WordGroupRow& row) { rows.push_back(row); }, stop);
        return rows;
    }

    rg_ChaCuoYinQing& engine() { return m_engine; }
    std::u16string text;

  private:
    TempDir m_dir;
    rg_ChaCuoYinQing m_engine;
};

rg_BiaoJiCiYuLei suspected(std::int32_t position, std::u16string word) {
    const auto length = static_cast<std::int32_t>(word.size());
    return {FindingType::Suspected, position, length, std::move(word), u""};
}

}  // namespace

TEST(GroupDelimiterSet, HasItsUnitsInOrderWithTheRepeatsKept) {
    EXPECT_EQ(groupDelimiterSet.size(), 122u);
    EXPECT_EQ(groupDelimiterSet.substr(0, 4), u" \r\t\n");
    EXPECT_EQ(groupDelimiterSet.substr(20, 4), u"<>\\\\");
    EXPECT_EQ(groupDelimiterSet.substr(46, 14), u"！@#￥%……&*——-+=");
    EXPECT_EQ(groupDelimiterSet.substr(96), u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

TEST(AnalyzeWordGroups, SkipsWordsThatArePiecesOfTheDelimiterSet) {
    Analysis a({u"甲乙"});
    a.text = u"甲乙，甲乙12甲乙ab甲乙Ab甲乙21甲乙——";
    const Rows rows =
        a.run({suspected(2, u"，"), suspected(5, u"12"), suspected(9, u"ab"), suspected(13, u"Ab"),
               suspected(17, u"21"), suspected(21, u"——"), suspected(0, u"")},
              4);
    EXPECT_EQ(rows, (Rows{{u"Ab", u"甲乙Ab", 11, 4}, {u"21", u"甲乙21", 15, 4}}));
}

TEST(AnalyzeWordGroups, QuantizationBoundsTheContextsTried) {
    Analysis a({u"甲乙", u"子甲乙"});
    a.text = u"子甲乙丙";
    EXPECT_TRUE(a.run({suspected(3, u"丙")}, 2).empty());
    EXPECT_TRUE(a.run({suspected(3, u"丙")}, 0).empty());
    // 3: only two-unit contexts; the shortest match wins even when a longer one exists.
    EXPECT_EQ(a.run({suspected(3, u"丙")}, 3), (Rows{{u"丙", u"甲乙丙", 1, 3}}));
    EXPECT_EQ(a.run({suspected(3, u"丙")}, 10), (Rows{{u"丙", u"甲乙丙", 1, 3}}));
    Analysis b({u"子甲乙"});
    b.text = u"子甲乙丙";
    EXPECT_TRUE(b.run({suspected(3, u"丙")}, 3).empty());
    EXPECT_EQ(b.run({suspected(3, u"丙")}, 4), (Rows{{u"丙", u"子甲乙丙", 0, 4}}));
}

TEST(AnalyzeWordGroups, PrecedingSideFirstThenFollowingSide) {
    Analysis a({u"甲乙", u"丁戊"});
    a.text = u"甲乙丙";
    EXPECT_EQ(a.run({suspected(2, u"丙")}, 3), (Rows{{u"丙", u"甲乙丙", 0, 3}}));
    a.text = u"丙丁戊";
    EXPECT_EQ(a.run({suspected(0, u"丙")}, 3), (Rows{{u"丙", u"丙丁戊", 0, 3}}));
    a.text = u"甲乙丙丁戊";
    EXPECT_EQ(a.run({suspected(2, u"丙")}, 5), (Rows{{u"丙", u"甲乙丙", 0, 3}}));
    // At position 1 no preceding context fits; identical groups of two findings both appear.
    a.text = u"丙丙丁戊";
    EXPECT_EQ(a.run({suspected(1, u"丙"), suspected(1, u"丙"), suspected(0, u"丙")}, 3),
              (Rows{{u"丙", u"丙丁戊", 1, 3}, {u"丙", u"丙丁戊", 1, 3}}));
}

TEST(AnalyzeWordGroups, NeverAsksForTextBeforeTheStart) {
    Analysis a({u"丁戊"});
    a.text = u"丙丁戊";
    std::vector<std::pair<std::int32_t, std::int32_t>> requests;
    a.engine().onTextRequested.bind(
        [&requests](void* owner, rg_ChaCuoYinQing&, std::int32_t, std::int32_t p, std::int32_t n,
                    std::u16string& out) {
            requests.emplace_back(p, n);
            copyTextRange(*static_cast<std::u16string*>(owner), p, n, out);
        },
        &a.text, 0);
    EXPECT_EQ(a.run({suspected(0, u"丙")}, 5), (Rows{{u"丙", u"丙丁戊", 0, 3}}));
    EXPECT_EQ(requests, (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 2}}));
}

// Regression: for a source of several units the following context used to start one position
// after the source's start, so the row's range in the editor was not the group.
TEST(AnalyzeWordGroups, FollowingContextStartsAfterTheWholeSource) {
    Analysis a({u"戊己", u"丁戊"});
    a.text = u"丙丁戊己";
    EXPECT_EQ(a.run({{FindingType::Error, 0, 2, u"丙丁", u"丙盯"}}, 3),
              (Rows{{u"丙丁", u"丙丁戊己", 0, 4}}));
    a.text = u"\xD83D\xDE00戊己";  // one character of two units
    EXPECT_EQ(a.run({suspected(0, u"\xD83D\xDE00")}, 3),
              (Rows{{u"\xD83D\xDE00", u"\xD83D\xDE00戊己", 0, 4}}));
}

TEST(AnalyzeWordGroups, EveryRowSelectsItsGroupInTheText) {
    std::mt19937 random(7);
    const std::u16string alphabet = u"甲乙丙丁戊";
    for (int round = 0; round < 30; ++round) {
        auto pick = [&](std::size_t n) {
            std::u16string s;
            for (std::size_t i = 0; i < n; ++i) {
                s += alphabet[random() % alphabet.size()];
            }
            return s;
        };
        Analysis a({pick(2), pick(2), pick(3)});
        for (int text = 0; text < 10; ++text) {
            a.text = pick(12);
            std::vector<rg_BiaoJiCiYuLei> findings;
            for (int i = 0; i < 4; ++i) {
                const auto length = 1 + random() % 3;
                const auto position = random() % (a.text.size() - length + 1);
                findings.push_back(suspected(static_cast<std::int32_t>(position),
                                             a.text.substr(position, length)));
            }
            for (const auto& row : a.run(findings, 2 + static_cast<std::int32_t>(random() % 4))) {
                ASSERT_EQ(a.text.substr(static_cast<std::size_t>(row.start),
                                        static_cast<std::size_t>(row.length)),
                          row.group)
                    << "round " << round;
            }
        }
    }
}

// Regression: the analysis read the engine's findings while a new run could replace them.
TEST(AnalyzeWordGroups, WorksFromTheCopyTakenAtTheStart) {
    Analysis a({u"甲乙"});
    a.text = u"甲乙丙";
    a.engine().runCheck(static_cast<std::int32_t>(a.text.size()), 3, 1, 0);
    const WordGroupInput input = takeWordGroupInput(a.engine());
    ASSERT_EQ(input.findings, (std::vector<rg_BiaoJiCiYuLei>{suspected(2, u"丙")}));
    EXPECT_EQ(input.quantization, 3);

    a.text = u"甲乙";
    a.engine().runCheck(static_cast<std::int32_t>(a.text.size()), 5, 1, 0);  // no findings
    a.text = u"甲乙丙";
    Rows rows;
    analyzeWordGroups(a.engine(), input, [&rows](const WordGroupRow& r) { rows.push_back(r); });
    EXPECT_EQ(rows, (Rows{{u"丙", u"甲乙丙", 0, 3}}));
}

TEST(AnalyzeWordGroups, StopsWhenAsked) {
    Analysis a({u"甲乙"});
    a.text = u"甲乙丙";
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(a.run({suspected(2, u"丙")}, 3, stop.get_token()).empty());
}

TEST(AutoDictionary, AppendsUtf16leLinesWithoutMark) {
    TempDir dir;
    const std::string path = dir.file("data/user/auto/auto.dict");
    // The folder is missing: it is made rather than the entry lost.
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"测试"}));
    EXPECT_EQ(readBytes(path), "\x4B\x6D\xD5\x8B\x0D\x00\x0A\x00"s);
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u""}));
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"甲乙", u"甲乙"}));
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"甲乙"}));
    EXPECT_EQ(readBytes(path), utf16le(u"测试\r\n\r\n甲乙\r\n甲乙\r\n甲乙\r\n"));
}

TEST(AutoDictionary, NoEntriesStillLeavesAnEmptyFile) {
    TempDir dir;
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {}));
    EXPECT_TRUE(isRegularFile(dir.file("data/user/auto/auto.dict")));
    EXPECT_EQ(readBytes(dir.file("data/user/auto/auto.dict")), "");
}

// Regression: success used to be reported when nothing could be written.
TEST(AutoDictionary, FailureIsReported) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("data/user"));
    writeBytes(dir.file("data/user/auto"), "a file where the folder belongs");
    EXPECT_FALSE(appendToAutoDictionary(Locations::portable(dir.path()), {u"甲乙"}));

    TempDir other;
    setWriteFaultInjectorForTesting([](std::string_view step) { return step == "write"; });
    EXPECT_FALSE(appendToAutoDictionary(Locations::portable(other.path()), {u"甲乙"}));
    setWriteFaultInjectorForTesting({});
    EXPECT_TRUE(appendToAutoDictionary(Locations::portable(other.path()), {u"甲乙"}));
}

// A last word saved without its line end ran into the first new word, and a write that failed
// half-way left half of the new words (the next one then ran into the half word).
TEST(AutoDictionary, NewWordsGoOnANewLineAndAFailedWriteLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir.file("data/user/auto/auto.dict");
    std::filesystem::create_directories(dir.file("data/user/auto"));
    writeBytes(path, utf16le(u"勘鉴坊"));
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"新词甲", u"新词乙"}));
    EXPECT_EQ(readBytes(path), utf16le(u"勘鉴坊\r\n新词甲\r\n新词乙\r\n"));

    for (const char* step : {"write", "sync", "rename"}) {
        setWriteFaultInjectorForTesting([step](std::string_view at) { return at == step; });
        EXPECT_FALSE(appendToAutoDictionary(Locations::portable(dir.path()), {u"丙丁"})) << step;
        setWriteFaultInjectorForTesting({});
        EXPECT_EQ(readBytes(path), utf16le(u"勘鉴坊\r\n新词甲\r\n新词乙\r\n")) << step;
    }
    // A file saved as UTF-16BE gets its new line in that order, after the line end it lacked.
    writeBytes(path, "\xFE\xFF\x52\x58"s);
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"丙"}));
    EXPECT_EQ(readBytes(path), "\xFE\xFF\x52\x58\x00\x0D\x00\x0A\x4E\x19\x00\x0D\x00\x0A"s);
    // A list saved as UTF-8 in a text editor becomes the program's UTF-16LE with every word.
    writeBytes(path, "勘鉴坊\r\n新词");
    ASSERT_TRUE(appendToAutoDictionary(Locations::portable(dir.path()), {u"丙"}));
    EXPECT_EQ(readBytes(path), utf16le(u"勘鉴坊\r\n新词\r\n丙\r\n"));
    // What cannot be read (U+0000) would be lost by a rewrite: refused, and the file stays.
    writeBytes(path, utf16le(u"甲") + "\x00\x00"s + utf16le(u"乙"));
    EXPECT_FALSE(appendToAutoDictionary(Locations::portable(dir.path()), {u"丙"}));
    EXPECT_EQ(readBytes(path), utf16le(u"甲") + "\x00\x00"s + utf16le(u"乙"));
}
