// Checking: the documented cases, the cross-check against the window-by-window reference, and the
// engine's guard between loads and runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "engine_support.h"
#include "text/utf.h"

using namespace kjf;
using kjf::test::RecordingOwner;
using kjf::test::ReferenceTables;
using kjf::test::Report;
using kjf::test::TempDir;
using kjf::test::writeDictionary;
using kjf::test::writeDictionaryBytes;

namespace {

constexpr auto kError = FindingType::Error;
constexpr auto kCorrect = FindingType::Correct;
constexpr auto kSuspected = FindingType::Suspected;

class Checking : public ::testing::Test {
  protected:
    // Loads correct words and "wrong$=$right" lines, all enabled.
    void tables(std::initializer_list<std::u16string_view> correct,
                std::initializer_list<std::u16string_view> errors) {
        writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", correct);
        writeDictionary(dir, DictionaryKind::SystemError, "e.dict", errors);
        owner.lists[0] = {u"c.dict"};
        owner.lists[1] = {u"e.dict"};
        owner.load();
    }
    std::vector<Report> findingsAsReports() const {
        std::vector<Report> out;
        for (const auto& f : engine.findings()) {
            out.push_back({f.type, f.position, f.length, f.word, f.suggestion});
        }
        return out;
    }

    TempDir dir;
    RecordingOwner owner;
    rg_ChaCuoYinQing engine{dir.path()};
    void SetUp() override { owner.attach(engine); }
};

}  // namespace

TEST_F(Checking, ForwardAndReverseDifferOnTheSameText) {
    tables({u"AB", u"C"}, {u"BC$=$BD"});
    owner.text = u"ABC";
    owner.check(3, 1, 0);
    EXPECT_EQ(owner.reports,
              (std::vector<Report>{{kCorrect, 0, 2, u"AB", u""}, {kCorrect, 2, 1, u"C", u""}}));
    EXPECT_TRUE(engine.findings().empty());
    owner.check(3, 2, 0);
    EXPECT_EQ(owner.reports,
              (std::vector<Report>{{kError, 1, 2, u"BC", u"BD"}, {kSuspected, 0, 1, u"A", u""}}));
    EXPECT_EQ(findingsAsReports(), owner.reports);
}

TEST_F(Checking, ErrorTableWinsOverCorrectTable) {
    tables({u"甲乙"}, {u"甲乙$=$丙丁"});
    owner.text = u"甲乙";
    owner.check(0, 1, 0);
    EXPECT_EQ(owner.reports, (std::vector<Report>{{kError, 0, 2, u"甲乙", u"丙丁"}}));
}

TEST_F(Checking, ContextCheckFindsTheWordAroundAnUnmatchedCharacter) {
    tables({u"AB"}, {u"BX$=$BY"});
    owner.text = u"ABX";
    owner.check(3, 1, 1);
    EXPECT_EQ(findingsAsReports(), (std::vector<Report>{{kError, 1, 2, u"BX", u""}}));
    owner.check(3, 1, 0);
    EXPECT_EQ(findingsAsReports(), (std::vector<Report>{{kSuspected, 2, 1, u"X", u""}}));
    // With N = 2 the context check has no window to try.
    owner.check(2, 1, 1);
    EXPECT_EQ(findingsAsReports(), (std::vector<Report>{{kSuspected, 2, 1, u"X", u""}}));
}

TEST_F(Checking, AutomaticQuantizationIsTheLongestKeyWithoutBound) {
    tables({u"一二三四五六七八九十甲乙"}, {u"错$=$对"});
    EXPECT_EQ(engine.longestEntryLength(), 12);
    owner.text = u"一二三四五六七八九十甲乙";
    owner.check(0, 1, 0);
    EXPECT_EQ(engine.quantization(), 12);
    EXPECT_EQ(owner.reports.size(), 1u);
    EXPECT_EQ(owner.reports[0].length, 12);
}

TEST_F(Checking, LineBreaksAreNeverReported) {
    tables({u"甲"}, {u"乙$=$丙"});
    owner.text = u"甲\r\n乙\r甲\n";
    owner.check(3, 1, 0);
    EXPECT_EQ(findingsAsReports(), (std::vector<Report>{{kError, 3, 1, u"乙", u"丙"}}));
    owner.check(3, 2, 1);
    EXPECT_EQ(findingsAsReports(), (std::vector<Report>{{kError, 3, 1, u"乙", u"丙"}}));
}

TEST_F(Checking, BlanksAreNeitherSuspectedNorContextChecked) {
    // Regression: every space of a text was a suspected error.
    tables({u"甲", u"甲乙", u"乙甲"},
           {u"乙$=$丙", u"乙\u3000$=$乙", u"\u3000乙$=$乙", u"丙 丁$=$丙丁"});
    owner.text = u"甲 乙\t戊\u00A0\n\u3000 X丙 丁";
    const std::vector<Report> forward = {{kError, 2, 1, u"乙", u"丙"},
                                         {kSuspected, 4, 1, u"戊", u""},
                                         {kSuspected, 9, 1, u"X", u""},
                                         {kError, 10, 3, u"丙 丁", u"丙丁"}};
    for (const std::int32_t boost : {0, 1}) {
        owner.check(4, 1, boost);
        EXPECT_EQ(findingsAsReports(), forward) << "boost " << boost;
        owner.check(4, 2, boost);
        EXPECT_EQ(findingsAsReports(), std::vector<Report>(forward.rbegin(), forward.rend()))
            << "boost " << boost;
    }
    // The words around an unmatched blank are not looked for.
    owner.text = u"甲乙\u3000";
    owner.check(3, 1, 1);
    EXPECT_TRUE(engine.findings().empty());
    owner.text = u"\u3000乙甲";
    owner.check(3, 2, 1);
    EXPECT_TRUE(engine.findings().empty());
    owner.text = u" \t\u00A0\u3000\r\n \u3000";
    for (const std::int32_t type : {1, 2}) {
        for (const std::int32_t boost : {0, 1}) {
            owner.check(0, type, boost);
            EXPECT_TRUE(engine.findings().empty());
        }
    }
}

TEST_F(Checking, OtherEngineTypesRunNoScan) {
    tables({u"甲"}, {});
    owner.text = u"乙";
    owner.check(3, 1, 0);
    EXPECT_EQ(engine.findings().size(), 1u);
    owner.check(3, 0, 0);
    EXPECT_TRUE(engine.findings().empty());
    EXPECT_EQ(owner.completedCount, 1);
    EXPECT_EQ(owner.finishedCount, 2);
}

TEST_F(Checking, EmptyTablesWithAutomaticQuantizationFindNothing) {
    owner.load();
    owner.text = u"甲乙丙";
    owner.check(0, 1, 1);
    EXPECT_TRUE(owner.reports.empty());
    owner.check(3, 1, 0);  // a fixed N makes every character suspected
    EXPECT_EQ(engine.findings().size(), 3u);
}

TEST_F(Checking, CharactersOutsideTheBasicPlaneAreOneFinding) {
    // Regression: each half of a surrogate pair was reported as its own broken character.
    tables({u"甲"}, {});
    owner.text = u"甲\U0001F600甲\U00020000";
    for (const std::int32_t type : {1, 2}) {
        for (const std::int32_t boost : {0, 1}) {
            owner.check(3, type, boost);
            auto found = findingsAsReports();
            std::sort(found.begin(), found.end(),
                      [](const Report& a, const Report& b) { return a.position < b.position; });
            EXPECT_EQ(found, (std::vector<Report>{{kSuspected, 1, 2, u"\U0001F600", u""},
                                                  {kSuspected, 4, 2, u"\U00020000", u""}}))
                << type << boost;
        }
    }
}

TEST_F(Checking, InterruptKeepsTheFindingsSoFarAndANewRunStartsEmpty) {
    owner.load();
    owner.text = std::u16string(100, u'乙');
    engine.onWordReported.bind(
        [](void*, rg_ChaCuoYinQing& e, std::int32_t, FindingType, std::int32_t, std::int32_t,
           std::u16string_view, std::u16string_view) {
            if (e.findings().size() == 2) {
                e.running = 0;  // the third report is stored, then the scan stops
            }
        },
        this, 0);
    owner.check(3, 1, 0);
    EXPECT_EQ(engine.findings().size(), 3u);
    EXPECT_EQ(owner.completedCount, 1);
    EXPECT_EQ(owner.finishedCount, 1);
    engine.onWordReported.unbind();
    owner.text = u"乙";
    owner.check(3, 1, 0);
    EXPECT_EQ(engine.findings().size(), 1u);
}

TEST_F(Checking, UnboundTextSourceFindsNothing) {
    tables({u"甲"}, {});
    engine.onTextRequested.unbind();
    owner.text = u"乙乙";
    owner.check(3, 1, 0);
    EXPECT_TRUE(engine.findings().empty());
    EXPECT_EQ(owner.finishedCount, 1);
}

TEST(Findings, RecordsCompareByAllFiveFields) {
    const rg_BiaoJiCiYuLei a{FindingType::Error, 2, 3, u"甲", u"乙"};
    rg_BiaoJiCiYuLei b = a;
    EXPECT_EQ(a, b);
    b.suggestion = u"丙";
    EXPECT_NE(a, b);
}

TEST_F(Checking, ProgressFollowsTheWallClockInWholeSeconds) {
    owner.load();
    owner.text = std::u16string(10000, u'乙');
    int calls = 0;
    engine.setClockForTesting([&calls] { return calls++ == 0 ? 1000 : 1002; }, 1);
    owner.check(3, 1, 0);
    ASSERT_EQ(owner.progress.size(), 9999u);  // every step after the first
    EXPECT_EQ(owner.progress[4999], (std::pair<double, std::int32_t>{900.0, 50}));
    EXPECT_EQ(owner.progress[0], (std::pair<double, std::int32_t>{0.0, 0}));
    engine.setClockForTesting([] { return 5000; }, 1);
    owner.check(3, 1, 0);
    EXPECT_TRUE(owner.progress.empty());
    // One second after the first step, position 2 gives 2 * 3600 / 10000 = 0.
    calls = 0;
    engine.setClockForTesting([&calls] { return calls++ == 0 ? 1000 : 1001; }, 1);
    owner.text = u"乙乙乙";
    owner.check(3, 1, 0);
    ASSERT_EQ(owner.progress.size(), 2u);
    EXPECT_EQ(owner.progress[1], (std::pair<double, std::int32_t>{0.0, 66}));
}

// ---------------------------------------------------------------------------------------------
// Cross-check against the reference on generated dictionaries and texts.

namespace {

struct Generated {
    std::vector<std::u16string> correct;
    std::vector<std::pair<std::u16string, std::u16string>> errors;
};

// Units of the generated keys: a few letters so keys collide, both halves of a surrogate pair,
// and blanks (a key never starts or ends with a tab or space: the parser trims them).
constexpr char16_t kKeyUnits[] = {u'A',   u'B',   u'C',   u'D', 0xD83D,
                                  0xDE00, 0x3000, 0x00A0, u' ', u'\t'};

std::u16string randomKey(std::mt19937& rng, int maxLength) {
    std::uniform_int_distribution<int> length(1, maxLength);
    std::uniform_int_distribution<int> unit(0, static_cast<int>(std::size(kKeyUnits)) - 1);
    std::u16string key;
    for (int n = length(rng); n > 0; --n) {
        key.push_back(kKeyUnits[unit(rng)]);
    }
    for (char16_t* end : {&key.front(), &key.back()}) {
        if (*end == u' ' || *end == u'\t') {
            *end = u'A';
        }
    }
    return key;
}

std::u16string randomText(std::mt19937& rng, int length) {
    std::uniform_int_distribution<int> pick(0, 99);
    std::u16string text;
    while (static_cast<int>(text.size()) < length) {
        const int r = pick(rng);
        if (r < 60) {
            text.push_back(u"ABCDE"[r % 5]);
        } else if (r < 75) {
            text += u"\U0001F600";
        } else if (r < 80) {
            text.push_back(r % 2 ? 0xD83D : 0xDE00);  // a lone half
        } else if (r < 85) {
            text += u"\r\n";
        } else if (r < 90) {
            text.push_back(r % 2 ? u'\r' : u'\n');
        } else if (r < 96) {
            text.push_back(u"\t \u00A0\u3000"[r % 4]);
        } else {
            text.push_back(u'A');
        }
    }
    return text;
}

}  // namespace

TEST(CrossCheck, EngineMatchesTheReferenceOnGeneratedInput) {
    std::mt19937 rng(20221);
    TempDir dir;
    RecordingOwner owner;
    rg_ChaCuoYinQing engine(dir.path());
    owner.attach(engine);
    owner.lists[0] = {u"c.dict"};
    owner.lists[1] = {u"e.dict"};
    // Every fourth round checks with the tables read back from the cache file.
    engine.setCacheFile(dir.file("dictionaries.cache"));
    int compared = 0;
    int cached = 0;
    for (int round = 0; round < 400; ++round) {
        std::uniform_int_distribution<int> count(0, 14);
        const int maxLength = round % 5 == 0 ? 14 : 5;
        ReferenceTables tables;
        std::u16string correctFile;
        std::u16string errorFile;
        for (int i = count(rng); i > 0; --i) {
            const auto key = randomKey(rng, maxLength);
            correctFile += key + u"\r\n";
            tables.correctWords.emplace(key, u"sys");
        }
        for (int i = count(rng); i > 0; --i) {
            const auto key = randomKey(rng, maxLength);
            const auto value = randomKey(rng, 3);
            errorFile += key + u"$=$" + value + u"\n";
            tables.errorWords.emplace(key, value);  // first one wins, as in the file
        }
        writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "c.dict",
                             kjf::test::utf16le(correctFile));
        writeDictionaryBytes(dir, DictionaryKind::SystemError, "e.dict",
                             kjf::test::utf16le(errorFile));
        owner.load();
        if (round % 4 == 0) {
            owner.load();
            cached += engine.loadReport().fromCache ? 1 : 0;
        }
        for (int t = 0; t < 3; ++t) {
            owner.text = randomText(rng, std::uniform_int_distribution<int>(0, 40)(rng));
            const auto size = static_cast<std::int32_t>(owner.text.size());
            // Mostly the text's own length; sometimes a source that answers short or a shorter run.
            const std::int32_t total = t == 2 ? size + 3 : (t == 1 && size > 2 ? size - 2 : size);
            for (std::int32_t n = 0; n <= 12; ++n) {
                for (const std::int32_t type : {1, 2}) {
                    for (const std::int32_t boost : {0, 1}) {
                        const auto expected =
                            kjf::test::referenceCheck(tables, owner.text, total, n, type, boost);
                        owner.check(n, type, boost, total);
                        ASSERT_EQ(owner.reports, expected.reports)
                            << "round " << round << " text " << t << " N " << n << " type " << type
                            << " boost " << boost;
                        ASSERT_EQ(engine.findings(), expected.findings);
                        ASSERT_EQ(engine.quantization(), expected.quantization);
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 400 * 3 * 13 * 4);
    EXPECT_EQ(cached, 100);
}

// ---------------------------------------------------------------------------------------------
// The guard between loads and runs.

TEST(EngineGuard, ARunWaitsForTheLoadInProgress) {
    TempDir dir;
    std::u16string words;
    for (int i = 0; i < 100000; ++i) {
        words += u"词" + utf8ToUtf16(std::to_string(i)) + u"\r\n";
    }
    words += u"甲乙\r\n";
    writeDictionaryBytes(dir, DictionaryKind::SystemCorrect, "big.dict", kjf::test::utf16le(words));
    for (int round = 0; round < 5; ++round) {
        RecordingOwner owner;
        rg_ChaCuoYinQing engine(dir.path());
        owner.attach(engine);
        owner.lists[0] = {u"big.dict", u"big.dict"};
        owner.text = u"甲乙";
        engine.loadDictionaries();
        std::thread run([&] { owner.check(0, 1, 0); });
        run.join();
        ASSERT_TRUE(engine.findings().empty());  // 甲乙 is known: the run saw the whole table
        engine.waitForLoading();
    }
}

TEST(EngineGuard, ALoadWaitsForTheRunInProgress) {
    TempDir dir;
    writeDictionary(dir, DictionaryKind::SystemCorrect, "a.dict", {u"甲"});
    writeDictionary(dir, DictionaryKind::SystemCorrect, "b.dict", {u"乙"});
    RecordingOwner owner;
    rg_ChaCuoYinQing engine(dir.path());
    owner.attach(engine);
    owner.lists[0] = {u"a.dict"};
    owner.load();
    owner.text = std::u16string(2000, u'甲');
    std::atomic<bool> started{false};
    engine.onProgress.bind(
        [](void* flag, rg_ChaCuoYinQing&, std::int32_t, double, std::int32_t, std::int32_t) {
            static_cast<std::atomic<bool>*>(flag)->store(true);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        },
        &started, 0);
    int calls = 0;
    engine.setClockForTesting([&calls] { return calls++ == 0 ? 1 : 2; }, 1);
    std::thread run([&] { owner.check(3, 1, 0); });
    while (!started) {
        std::this_thread::yield();
    }
    owner.lists[0] = {u"b.dict"};
    engine.loadDictionaries();  // returns at once; its loaders wait for the run
    run.join();
    EXPECT_TRUE(engine.findings().empty());  // every 甲 was known until the end of the run
    engine.waitForLoading();
    owner.text = u"甲";
    engine.onProgress.unbind();
    owner.check(3, 1, 0);
    EXPECT_EQ(engine.findings().size(), 1u);
}
