// The context check on a tiny model that each test run builds from ARPA text with libime's own
// tool, so that every gain is known: detection, verification of dictionary findings, shield
// words, sentence splitting, load failures, stopping, progress and thread-count independence.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "context/context_check.h"
#include "context/verifiable_findings.h"
#include "context_support.h"
#include "test_support.h"

using namespace kjf;
using kjf::test::readBytes;
using kjf::test::TempDir;
using kjf::test::writeBytes;

namespace {

constexpr auto kError = FindingType::Error;
constexpr auto kSuspected = FindingType::Suspected;

// A model directory: the binary model built from the tiny ARPA text and the confusion tables.
class ContextFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        ASSERT_TRUE(test::writeTinyContextModel(s_dir->path(), s_dir->file("model.lm")));
        ASSERT_TRUE(
            test::buildLanguageModel(s_dir->file("model.arpa"), s_dir->file("plain.lm"), false));
        auto load = ContextModel::load(s_dir->file("model.lm"), s_dir->path());
        ASSERT_TRUE(load.model) << load.message;
        s_model = load.model.release();
    }
    static void TearDownTestSuite() {
        delete s_model;
        delete s_dir;
    }

    static ContextResult run(std::u16string_view text,
                             const std::vector<rg_BiaoJiCiYuLei>& findings = {},
                             std::vector<bool> verifiable = {}, ShieldPredicate shield = {},
                             unsigned workers = 1, const ContextControl& control = {}) {
        ContextInput input;
        input.text = text;
        input.findings = findings;
        input.verifiable = std::move(verifiable);
        input.isShieldWord = std::move(shield);
        ContextOptions options;
        options.workers = workers;
        return runContextCheck(*s_model, input, options, control);
    }

    static inline TempDir* s_dir = nullptr;
    static inline const ContextModel* s_model = nullptr;
};

rg_BiaoJiCiYuLei finding(FindingType type, std::int32_t position, std::u16string word,
                         std::u16string suggestion) {
    rg_BiaoJiCiYuLei f;
    f.type = type;
    f.position = position;
    f.length = static_cast<std::int32_t>(word.size());
    f.word = std::move(word);
    f.suggestion = std::move(suggestion);
    return f;
}

rg_BiaoJiCiYuLei contextual(std::int32_t position, std::u16string word, std::u16string suggestion) {
    auto f = finding(kError, position, std::move(word), std::move(suggestion));
    f.source = FindingSource::Context;
    return f;
}

TEST_F(ContextFixture, FindsRealWordErrorsThatTheContextRefutes) {
    // A whole word of the same sound, and one character of the same sound.
    auto r = run(u"经济责任神迹项目。依法套曲资金");
    ASSERT_TRUE(r.completed);
    ASSERT_EQ(r.findings.size(), 2U);
    EXPECT_EQ(r.findings[0], contextual(4, u"神迹", u"审计"));
    EXPECT_EQ(r.findings[1], contextual(11, u"套曲", u"套取"));

    // The right words stay unmarked, and so does text the model cannot improve.
    EXPECT_TRUE(run(u"经济责任审计项目。依法套取资金").findings.empty());
    EXPECT_TRUE(run(u"神迹，套曲").findings.empty());
    EXPECT_TRUE(run(u"").findings.empty());
}

TEST_F(ContextFixture, PositionsCountUtf16UnitsOfTheWholeText) {
    // A surrogate pair and ASCII before the sentence: clauses restart at every non-Han unit.
    const std::u16string text = u"\U00020000ab 依法套曲资金";
    auto r = run(text);
    ASSERT_EQ(r.findings.size(), 1U);
    EXPECT_EQ(r.findings[0].position, 7);
    EXPECT_EQ(text.substr(7, 2), u"套曲");
}

TEST_F(ContextFixture, ShieldWordsAreNeverFlagged) {
    const auto shield = [](std::u16string_view w) { return w == u"神迹" || w == u"依法套曲"; };
    EXPECT_TRUE(run(u"经济责任神迹项目。依法套曲资金", {}, {}, shield).findings.empty());
}

TEST_F(ContextFixture, OnlyVerifiableErrorsCanBeDropped) {
    const std::u16string text = u"已下载完成。依法套曲资金";
    const std::vector<rg_BiaoJiCiYuLei> dictionary = {
        finding(kError, 0, u"已下", u"以下"),  // the model prefers the text as written
        finding(kError, 8, u"套曲", u"套取"),  // the model agrees
        finding(kSuspected, 12, u"金", u""),
    };
    auto r = run(text, dictionary, {true, true, true});
    EXPECT_EQ(r.keep, (std::vector<bool>{false, true, true}));
    // A kept finding covers its characters: no second, contextual mark on 套曲.
    EXPECT_TRUE(r.findings.empty());

    r = run(text, dictionary, {false, false, false});
    EXPECT_EQ(r.keep, (std::vector<bool>{true, true, true}));
    r = run(text, dictionary);  // no verdicts given: nothing is verifiable
    EXPECT_EQ(r.keep, (std::vector<bool>{true, true, true}));

    // A suggestion of another length, or a word that is not the text's, cannot be judged.
    r = run(text, {finding(kError, 0, u"已下", u"以"), finding(kError, 2, u"已下", u"以下")},
            {true, true});
    EXPECT_EQ(r.keep, (std::vector<bool>{true, true}));
}

TEST_F(ContextFixture, ADroppedDictionaryFindingLeavesItsCharactersToTheDetector) {
    // 套曲 -> 曲套 is no improvement, so the finding goes and the detector marks 套曲 itself.
    auto r = run(u"依法套曲资金", {finding(kError, 2, u"套曲", u"曲套")}, {true});
    EXPECT_EQ(r.keep, std::vector<bool>{false});
    ASSERT_EQ(r.findings.size(), 1U);
    EXPECT_EQ(r.findings[0].suggestion, u"套取");
}

TEST_F(ContextFixture, AVerifiableSuspectedCharacterIsLeftToTheDetector) {
    // A pink mark that the model may judge goes, and the detector may flag its character with a
    // suggestion; one that it may not stays and covers its character.
    const std::vector<rg_BiaoJiCiYuLei> pink = {finding(kSuspected, 3, u"曲", u"")};
    auto r = run(u"依法套曲资金", pink, {true});
    EXPECT_EQ(r.keep, std::vector<bool>{false});
    ASSERT_EQ(r.findings.size(), 1U);
    EXPECT_EQ(r.findings[0], contextual(2, u"套曲", u"套取"));
    r = run(u"依法套曲资金", pink, {false});
    EXPECT_EQ(r.keep, std::vector<bool>{true});
    EXPECT_TRUE(r.findings.empty());
    // Nothing to improve: the mark just goes.
    r = run(u"神迹，套曲", {finding(kSuspected, 0, u"神", u"")}, {true});
    EXPECT_EQ(r.keep, std::vector<bool>{false});
    EXPECT_TRUE(r.findings.empty());
}

TEST_F(ContextFixture, CuratedErrorWordsAreNotVerifiable) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "data/sys/error");
    std::filesystem::create_directories(dir.path() + "data/user/error");
    writeBytes(dir.file("data/sys/error/common.dict"), test::utf16le(u"已下$=$以下\r\n"));
    writeBytes(dir.file("data/sys/error/homophones.dict"), test::utf16le(u"套曲$=$套取\r\n"));
    writeBytes(dir.file("data/user/error/mine.dict"), test::utf16le(u"神迹$=$审计\r\n"));
    CuratedErrorWords curated;
    curated.load(dir.path(), {u"common.dict", u"homophones.dict"}, {u"mine.dict", u"gone.dict"});
    const std::vector<rg_BiaoJiCiYuLei> findings = {
        finding(kError, 0, u"已下", u"以下"), finding(kError, 0, u"套曲", u"套取"),
        finding(kError, 0, u"神迹", u"审计"), finding(kSuspected, 0, u"套", u"")};
    EXPECT_EQ(verifiableFindings(findings, curated),
              (std::vector<bool>{false, true, false, false}));
}

TEST_F(ContextFixture, CuratedWordsNoFindingTouchesAreListedForTheModel) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "data/sys/error");
    writeBytes(dir.file("data/sys/error/common.dict"),
               test::utf16le(u"按装$=$安装\r\n按装好$=$安装好\r\n已下$=$以下\r\n同同$=$同同\r\n"));
    writeBytes(dir.file("data/sys/error/homophones.dict"), test::utf16le(u"驱东$=$驱动\r\n"));
    CuratedErrorWords curated;
    curated.load(dir.path(), {u"common.dict", u"homophones.dict"}, {});
    // The longest word wins where two start together; a found word is not listed again, nor one
    // that a finding touches, nor a generated one, nor one that is its own suggestion.
    const std::u16string text = u"请按装好驱东。已下内容，按装，同同";
    const std::vector<rg_BiaoJiCiYuLei> findings = {finding(kSuspected, 8, u"下", u""),
                                                    finding(kError, 12, u"按装", u"安装")};
    EXPECT_EQ(curated.unscanned(text, findings),
              (std::vector<rg_BiaoJiCiYuLei>{finding(kError, 1, u"按装好", u"安装好")}));
    EXPECT_TRUE(curated.unscanned(u"按", {}).empty());
}

TEST_F(ContextFixture, CuratedWordsThatACorrectWordCrossesOrHoldsAreInDoubt) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "data/sys/error");
    std::filesystem::create_directories(dir.path() + "data/user/error");
    writeBytes(dir.file("data/sys/error/common.dict"),
               test::utf16le(u"已下$=$以下\r\n符和$=$符合\r\n在会$=$再会\r\n自已$=$自己\r\n"));
    writeBytes(dir.file("data/sys/error/homophones.dict"), test::utf16le(u"套曲$=$套取\r\n"));
    writeBytes(dir.file("data/user/error/mine.dict"), test::utf16le(u"在会$=$再会\r\n"));
    CuratedErrorWords curated;
    curated.load(dir.path(), {u"common.dict", u"homophones.dict"}, {u"mine.dict"});
    const std::set<std::u16string> words = {u"下载",   u"字符", u"会话",
                                            u"套曲子", u"以下", u"不能自已"};
    const auto isCorrect = [&](std::u16string_view w) {
        return words.count(std::u16string(w)) != 0;
    };
    // 已下载 crosses the right edge and 字符和 the left; 已下内容 crosses neither; the user's own
    // 在会 and the generated 套曲 are never in doubt; a finding that is not the text is skipped.
    // 不能自已 holds 自已 whole.
    const std::u16string text = u"已下载，字符和，已下内容，在会话，套曲子，已下，不能自已";
    const std::vector<rg_BiaoJiCiYuLei> findings = {
        finding(kError, 0, u"已下", u"以下"),  finding(kError, 5, u"符和", u"符合"),
        finding(kError, 8, u"已下", u"以下"),  finding(kError, 13, u"在会", u"再会"),
        finding(kError, 17, u"套曲", u"套取"), finding(kError, 21, u"已下", u"以下"),
        finding(kError, 20, u"已下", u"以下"), finding(kSuspected, 0, u"已下", u""),
        finding(kError, 26, u"自已", u"自己")};
    EXPECT_EQ(crossedFindings(text, findings, curated, isCorrect),
              (std::vector<bool>{true, true, false, false, false, false, false, false, false}));
    EXPECT_EQ(heldWholeFindings(text, findings, curated, isCorrect),
              (std::vector<bool>{false, false, false, false, false, false, false, false, true}));
}

TEST_F(ContextFixture, AGeneratedIdiomStandsUnlessAWordCrossesIt) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "data/sys/error");
    writeBytes(dir.file("data/sys/error/common.dict"), test::utf16le(u"一愁莫展$=$一筹莫展\r\n"));
    writeBytes(dir.file("data/sys/error/homophones.dict"),
               test::utf16le(u"安部就班$=$按部就班\r\n哈尔滨师$=$哈尔滨市\r\n套曲$=$套取\r\n"));
    CuratedErrorWords curated;
    curated.load(dir.path(), {u"common.dict", u"homophones.dict"}, {});
    const auto isCorrect = [](std::u16string_view w) { return w == u"师院" || w == u"一向"; };
    // 一向 ends where 安部就班 starts and crosses nothing; 师院 crosses the end of 哈尔滨师; the
    // curated idiom is no generated one, 套曲 is too short, and a finding that is not the text or
    // no Error is skipped.
    const std::u16string text = u"一向安部就班，哈尔滨师院，一愁莫展，套曲";
    const std::vector<rg_BiaoJiCiYuLei> findings = {
        finding(kError, 2, u"安部就班", u"按部就班"),  finding(kError, 7, u"哈尔滨师", u"哈尔滨市"),
        finding(kError, 13, u"一愁莫展", u"一筹莫展"), finding(kError, 18, u"套曲", u"套取"),
        finding(kError, 1, u"安部就班", u"按部就班"),  finding(kSuspected, 2, u"安部就班", u"")};
    EXPECT_EQ(setPhraseFindings(text, findings, curated, isCorrect),
              (std::vector<bool>{true, false, false, false, false, false}));
}

TEST_F(ContextFixture, ConfusionSetsRelateCharacters) {
    EXPECT_EQ(s_model->confusion(u'神', u'审'), Confusion::SameSound);
    EXPECT_EQ(s_model->confusion(u'资', u'知'), Confusion::NearSound);
    EXPECT_EQ(s_model->confusion(u'已', u'己'), Confusion::Shape);
    EXPECT_EQ(s_model->confusion(u'審', u'审'), Confusion::Variant);
    EXPECT_EQ(s_model->confusion(u'审', u'审'), Confusion::None);
    EXPECT_EQ(s_model->confusion(u'审', u'载'), Confusion::None);
    EXPECT_EQ(s_model->sameSoundWords(u"神迹"), std::vector<std::u16string_view>{u"审计"});
    EXPECT_TRUE(s_model->sameSoundWords(u"神").empty());
    // A data folder without name_chars.txt names no character a name's.
    EXPECT_FALSE(s_model->isNameCharacter(u'洛'));
}

TEST_F(ContextFixture, MaskedWordsListTheCharactersThatCompleteThem) {
    const auto fills = [](std::u16string_view word, std::size_t masked) {
        const auto list = s_model->fills(ContextModel::maskedKey(word, masked));
        return std::u16string(list.begin(), list.end());
    };
    EXPECT_EQ(fills(u"套取", 1), u"取曲");  // ascending: U+53D6, U+66F2
    EXPECT_EQ(fills(u"审计", 0), u"审");
    EXPECT_EQ(fills(u"以下", 1), u"下");
    EXPECT_EQ(fills(u"下载", 0), u"下");
    EXPECT_TRUE(fills(u"资料", 0).empty());
    // Single characters and longer keys are never indexed.
    EXPECT_TRUE(fills(u"套", 0).empty());
}

TEST_F(ContextFixture, SameSoundWordsFarRarerThanTheWrittenWordAreLeftOut) {
    std::vector<std::u16string_view> out{u"stale"};
    const float common = s_model->unigram(s_model->wordIndex(u"审计"));  // -2.5
    const float rare = s_model->unigram(s_model->wordIndex(u"神迹"));    // -5.0
    ASSERT_LT(rare, common - 1.0F);
    s_model->sameSoundWords(u"审计", out, common - 1.0F);
    EXPECT_TRUE(out.empty());
    s_model->sameSoundWords(u"审计", out);
    EXPECT_EQ(out, std::vector<std::u16string_view>{u"神迹"});
    s_model->sameSoundWords(u"神迹", out, rare - 1.0F);
    EXPECT_EQ(out, std::vector<std::u16string_view>{u"审计"});
    // The detector never proposes the rare word for the common one.
    EXPECT_TRUE(run(u"经济责任审计项目").findings.empty());
}

TEST(ContextModelLoad, FailuresGiveAMessageInsteadOfAModel) {
    TempDir dir;
    test::writeTinyConfusionTables(dir.path());
    const auto fails = [&](const std::string& model, const std::string& data,
                           std::string_view expected) {
        auto load = ContextModel::load(model, data);
        EXPECT_FALSE(load.model);
        EXPECT_NE(load.message.find(expected), std::string::npos) << load.message;
    };
    fails(dir.file("missing.lm"), dir.path(), "missing.lm");
    writeBytes(dir.file("text.lm"), "\\data\\\nngram 1=1\n");
    fails(dir.file("text.lm"), dir.path(), "not a binary language model");
    writeBytes(dir.file("empty.lm"), "");
    fails(dir.file("empty.lm"), dir.path(), "not a binary language model");
    fails(dir.path() + "no-such-dir/x.lm", dir.path(), "x.lm");
    fails(dir.file("missing.lm"), dir.path() + "nowhere/", "readings.txt");
}

TEST_F(ContextFixture, DamagedOrForeignModelFilesFailCleanly) {
    TempDir dir;
    const std::string good = readBytes(s_dir->file("model.lm"));
    for (const std::size_t keep : {std::size_t{40}, good.size() / 2, good.size() - 1}) {
        writeBytes(dir.file("cut.lm"), good.substr(0, keep));
        auto load = ContextModel::load(dir.file("cut.lm"), s_dir->path());
        EXPECT_FALSE(load.model) << keep;
        EXPECT_FALSE(load.message.empty());
    }
    // A valid model of another data structure than the one libime reads.
    auto load = ContextModel::load(s_dir->file("plain.lm"), s_dir->path());
    EXPECT_FALSE(load.model);
    EXPECT_NE(load.message.find("damaged"), std::string::npos) << load.message;
}

TEST(SentenceSplitting, CutsAfterSentencePunctuationRunsAndLineBreaks) {
    using R = SentenceRange;
    EXPECT_EQ(splitSentences(u"甲。乙！？丙\n丁"),
              (std::vector<R>{{0, 2}, {2, 5}, {5, 7}, {7, 8}}));
    EXPECT_EQ(splitSentences(u"a\n\nb……c;d"),
              (std::vector<R>{{0, 2}, {2, 3}, {3, 6}, {6, 8}, {8, 9}}));
    EXPECT_EQ(splitSentences(u"，，"), (std::vector<R>{{0, 2}}));
    EXPECT_TRUE(splitSentences(u"").empty());
}

TEST(SentenceSplitting, LongSentencesAreCutIntoBoundedPiecesAtClauseBoundaries) {
    // A long sentence of clauses: each piece ends after a comma, none is longer than the limit.
    std::u16string clauses;
    for (int i = 0; i < 40; ++i) {
        clauses += u"依法套曲资金，";
    }
    clauses += u"完成。下载";
    const auto pieces = splitIntoPieces(clauses, 50);
    ASSERT_GT(pieces.size(), 5U);
    std::int32_t at = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].begin, at);
        EXPECT_LE(pieces[i].end - pieces[i].begin, 50);
        if (i + 2 < pieces.size()) {
            EXPECT_EQ(clauses[static_cast<std::size_t>(pieces[i].end - 1)], u'，');
        }
        at = pieces[i].end;
    }
    EXPECT_EQ(at, static_cast<std::int32_t>(clauses.size()));
    EXPECT_EQ(pieces.back(), (SentenceRange{at - 2, at}));  // the sentence mark still cuts

    // A run of Han characters longer than a piece is cut at the limit, a surrogate pair never.
    using R = SentenceRange;
    EXPECT_EQ(splitIntoPieces(std::u16string(120, u'的'), 50),
              (std::vector<R>{{0, 50}, {50, 100}, {100, 120}}));
    const std::u16string pair = std::u16string(49, u'的') + u"\U00020000" + u"的";
    EXPECT_EQ(splitIntoPieces(pair, 50), (std::vector<R>{{0, 49}, {49, 52}}));
    EXPECT_EQ(splitIntoPieces(u"甲。乙", 50), splitSentences(u"甲。乙"));
}

// Past a million characters a float sum of a clause's log probabilities lost the precision that
// gains are measured in, and a clause found different errors depending on where it stood. With
// the threshold set just below the clause's own gain, every copy of the clause inside one long run
// of text is still found, and nothing else.
TEST_F(ContextFixture, AClauseGivesTheSameFindingsWhereverItStands) {
    const std::u16string clause = u"经济责任神迹项目";
    const auto runWith = [](std::u16string_view text, double threshold) {
        ContextInput input;
        input.text = text;
        ContextOptions options;
        options.threshold = threshold;
        options.workers = 2;
        return runContextCheck(*s_model, input, options);
    };
    // The threshold at which the clause alone stops being flagged, to a thousandth.
    double low = -50;
    double high = 50;
    while (high - low > 1e-3) {
        const double middle = (low + high) / 2;
        (runWith(clause, middle).findings.empty() ? high : low) = middle;
    }
    ASSERT_GT(low, -40.0);
    const double threshold = low;
    ASSERT_EQ(runWith(clause, threshold).findings.size(), 1U);

    std::u16string text;
    constexpr int kCopies = 150000;
    text.reserve(clause.size() * kCopies);
    for (int i = 0; i < kCopies; ++i) {
        text += clause;
    }
    const auto r = runWith(text, threshold);
    ASSERT_TRUE(r.completed);
    const auto size = static_cast<std::int32_t>(clause.size());
    std::vector<bool> found(kCopies, false);
    for (const auto& f : r.findings) {
        ASSERT_EQ(f.position % size, 4) << f.position;
        EXPECT_EQ(f.word, u"神迹");
        EXPECT_EQ(f.suggestion, u"审计");
        found[static_cast<std::size_t>(f.position / size)] = true;
    }
    // Copies cut apart by a piece's end lose their context; every other copy is found.
    const auto pieces = splitIntoPieces(text, kMaxPieceUnits);
    std::size_t whole = 0;
    std::size_t missed = 0;
    for (int i = 0; i < kCopies; ++i) {
        const std::int32_t begin = i * size;
        const auto piece =
            std::upper_bound(pieces.begin(), pieces.end(), begin,
                             [](std::int32_t p, const SentenceRange& s) { return p < s.end; });
        if (begin - piece->begin >= size && piece->end - begin >= 2 * size) {
            ++whole;
            missed += found[static_cast<std::size_t>(i)] ? 0 : 1;
        }
    }
    EXPECT_GT(whole, static_cast<std::size_t>(kCopies) * 3 / 4);
    EXPECT_EQ(missed, 0U);
}

// Many sentences, some with errors and dictionary findings to verify.
struct LongInput {
    std::u16string text;
    std::vector<rg_BiaoJiCiYuLei> findings;
    std::vector<bool> verifiable;
    LongInput() {
        const std::u16string pieces[] = {u"经济责任神迹项目。", u"依法套曲资金！", u"已下载完成\n",
                                         u"经济责任审计项目，依法套取资金。"};
        for (int i = 0; i < 400; ++i) {
            const auto& p = pieces[(i * 7) % 4];
            if (p[0] == u'已') {
                findings.push_back(
                    finding(kError, static_cast<std::int32_t>(text.size()), u"已下", u"以下"));
                verifiable.push_back(i % 2 == 0);
            }
            text += p;
        }
    }
};

TEST_F(ContextFixture, ResultsDoNotDependOnTheWorkerCount) {
    const LongInput in;
    const auto one = run(in.text, in.findings, in.verifiable, {}, 1);
    ASSERT_TRUE(one.completed);
    EXPECT_EQ(one.findings.size(), 200U);  // every 神迹 and 套曲 sentence
    for (const unsigned workers : {2U, 3U, 8U, 0U}) {
        const auto many = run(in.text, in.findings, in.verifiable, {}, workers);
        EXPECT_TRUE(many.completed);
        EXPECT_EQ(many.findings, one.findings) << workers;
        EXPECT_EQ(many.keep, one.keep) << workers;
    }
    for (std::size_t i = 1; i < one.findings.size(); ++i) {
        EXPECT_LT(one.findings[i - 1].position, one.findings[i].position);
    }
}

TEST_F(ContextFixture, ProgressCountsEveryCharacterOnce) {
    const LongInput in;
    std::int64_t last = 0;
    bool rising = true;
    ContextControl control;
    control.onProgress = [&](std::int64_t processed, std::int64_t total) {
        rising = rising && processed > last && total == static_cast<std::int64_t>(in.text.size());
        last = processed;
    };
    EXPECT_TRUE(run(in.text, in.findings, in.verifiable, {}, 2, control).completed);
    EXPECT_TRUE(rising);
    EXPECT_EQ(last, static_cast<std::int64_t>(in.text.size()));
}

TEST_F(ContextFixture, StoppingEndsThePassAndKeepsUnreachedFindings) {
    const LongInput in;
    std::atomic<bool> stop{true};
    ContextControl control;
    control.stop = &stop;
    auto r = run(in.text, in.findings, in.verifiable, {}, 2, control);
    EXPECT_FALSE(r.completed);
    EXPECT_TRUE(r.findings.empty());
    EXPECT_EQ(r.keep, std::vector<bool>(in.findings.size(), true));

    // Stopped from the progress report of the first batch: the rest is never checked.
    stop = false;
    control.onProgress = [&](std::int64_t, std::int64_t) { stop = true; };
    r = run(in.text, in.findings, in.verifiable, {}, 1, control);
    EXPECT_FALSE(r.completed);
    EXPECT_FALSE(r.findings.empty());
    EXPECT_LT(r.findings.size(), 200U);
}

TEST(ContextMerge, ContextualFindingsTakeTheirPlaceInTheScansOrder) {
    const auto at = [](std::int32_t position, std::u16string word) {
        return finding(kError, position, std::move(word), u"x");
    };
    const std::vector<rg_BiaoJiCiYuLei> forward = {at(0, u"a"), at(5, u"b"), at(9, u"c")};
    const std::vector<rg_BiaoJiCiYuLei> contextual = {at(3, u"x"), at(12, u"y")};
    EXPECT_EQ(mergeContextFindings(forward, {true, false, true}, contextual, ScanOrder::Forward),
              (std::vector<rg_BiaoJiCiYuLei>{at(0, u"a"), at(3, u"x"), at(9, u"c"), at(12, u"y")}));
    const std::vector<rg_BiaoJiCiYuLei> backward = {at(9, u"c"), at(5, u"b"), at(0, u"a")};
    EXPECT_EQ(mergeContextFindings(backward, {true, true, true}, contextual, ScanOrder::Reverse),
              (std::vector<rg_BiaoJiCiYuLei>{at(12, u"y"), at(9, u"c"), at(5, u"b"), at(3, u"x"),
                                             at(0, u"a")}));
    EXPECT_EQ(mergeContextFindings({}, {}, contextual, ScanOrder::Forward), contextual);
}

// With fewer than two kept findings the order cannot be read off the findings: a reverse scan's
// contextual findings once came out forward.
TEST(ContextMerge, AReverseScanKeepsItsOrderWithOneKeptFinding) {
    const auto at = [](std::int32_t position, std::u16string word) {
        return finding(kError, position, std::move(word), u"x");
    };
    const std::vector<rg_BiaoJiCiYuLei> one = {at(5, u"b")};
    const std::vector<rg_BiaoJiCiYuLei> contextual = {at(3, u"x"), at(12, u"y")};
    EXPECT_EQ(mergeContextFindings(one, {true}, contextual, ScanOrder::Reverse),
              (std::vector<rg_BiaoJiCiYuLei>{at(12, u"y"), at(5, u"b"), at(3, u"x")}));
    EXPECT_EQ(mergeContextFindings({}, {}, contextual, ScanOrder::Reverse),
              (std::vector<rg_BiaoJiCiYuLei>{at(12, u"y"), at(3, u"x")}));
}

}  // namespace
