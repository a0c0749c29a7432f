// kanjianfang-cli check: options, settings defaults, output formats and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "cli_runner.h"
#include "context_support.h"
#include "documents/document_reader.h"
#include "engine_support.h"
#include "run/corrections.h"
#include "settings/settings_file.h"
#include "text/utf.h"
#include "zip_support.h"

using namespace kjf;
using kjf::test::CliResult;
using kjf::test::TempDir;

namespace {

class CliCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"甲乙", u"丙"});
        test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict",
                              {u"再接再励$=$再接再厉", u"a\\b$=$t\tx"});
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict,"));
        EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict,"));
    }
    // The tiny test model and its confusion tables as the context check's model.
    bool useTinyModel() {
        std::filesystem::create_directories(dir.file("data/sys/context"));
        return test::writeTinyContextModel(dir.file("data/sys/context/"), dir.file("tiny.lm")) &&
               writeSetting(dir.path(), u"引擎设置", u"语境模型", utf8ToUtf16(dir.file("tiny.lm")));
    }
    // The shipped context data, read with the packaged model.
    void useShippedContext() {
        std::filesystem::copy(std::string(KJF_SOURCE_DIR) + "/data/sys/context",
                              dir.file("data/sys/context"));
    }
    // The shipped dictionaries, context data and settings.
    void useShippedData() {
        std::filesystem::copy(std::string(KJF_SOURCE_DIR) + "/data/sys", dir.file("data/sys"),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(std::string(KJF_SOURCE_DIR) + "/data/setup.ini",
                                   dir.file("setup.ini"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    CliResult check(std::vector<std::string> args, const std::string& text) {
        test::writeBytes(dir.file("in.txt"), text);
        args.insert(args.begin(), {"--root", dir.path(), "check"});
        args.push_back(dir.file("in.txt"));
        return test::runCli(KJF_CLI_PATH, args);
    }
    TempDir dir;
};

}  // namespace

TEST_F(CliCheck, TsvRowsAreTheErrorListsCellsWithEscapes) {
    const CliResult r = check({"--quantization", "4", "--boost", "0"}, "甲乙再接再励丁a\\b");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t再接再励\t再接再厉\t错误\t2\t4\n"
              "2\t丁\t\t\t6\t1\n"
              "3\ta\\\\b\tt\\tx\t错误\t7\t3\n");
    EXPECT_EQ(r.err, "校对完毕，共检测出3个问题！\n");
}

TEST_F(CliCheck, JsonReportsTheRunsQuantizationAndEscapesLoneSurrogates) {
    const CliResult r =
        check({"--format", "json", "--boost", "0"}, "\xFF\xFE" + test::utf16le(u"丁\xD800"));
    EXPECT_EQ(r.status, 1);
    // Automatic quantization: the longest key has 4 units.
    EXPECT_EQ(r.out,
              "{\"findings\":[{\"type\":2,\"position\":0,\"length\":1,\"word\":\"丁\","
              "\"suggestion\":\"\",\"source\":\"dictionary\"},{\"type\":2,\"position\":1,"
              "\"length\":1,\"word\":\"\\ud800\","
              "\"suggestion\":\"\",\"source\":\"dictionary\"}],\"count\":2,\"quantization\":4,"
              "\"engineType\":1,"
              "\"accuracyBoost\":0}\n");
}

// Every kind of unit a word or a suggestion can hold, written as the tool has always written
// it (the golden file was made by the tool's earlier, hand-written JSON writer).
TEST_F(CliCheck, JsonIsByteForByteTheGoldenOutput) {
    test::writeDictionary(dir, DictionaryKind::SystemError, "g.dict",
                          {u"X\x7fY$=$\b\f\"\\\x01\x1f/\u2028\U0001F600\uFFFF"});
    EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict,g.dict,"));
    const std::string text =
        "\xFF\xFE" + test::utf16le(
                         u"甲乙再接再励丁\b\f\x01\x7f\"\\\U0001F600\uFFFF\u200BX\x7fY\n"
                         u"\xDC00"
                         u"a\xD800");
    const std::string golden = test::readBytes(KJF_TEST_DATA_DIR "/check_golden.json");
    EXPECT_EQ(check({"--format", "json", "--boost", "0"}, text).out +
                  check({"--format", "json", "--each-line"}, text).out,
              golden);
}

TEST_F(CliCheck, GrammarRuleFindingsAreOfTheirOwnTypeAndSource) {
    // The shipped context data beside a dictionary of the sentence's words; the packaged model.
    useShippedContext();
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"他", u"跑", u"的", u"很快", u"慢慢", u"走", u"。"});
    const std::string text = "他跑的很快。慢慢的走";
    CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t的\t得\t语法\t2\t1\n"
              "2\t的\t地\t语法\t8\t1\n");
    r = check({"--context", "1", "--format", "json"}, text);
    EXPECT_NE(r.out.find("{\"type\":1,\"position\":2,\"length\":1,\"word\":\"的\","
                         "\"suggestion\":\"得\",\"source\":\"rule\"}"),
              std::string::npos)
        << r.out;
    // Without the context check, no rule runs.
    EXPECT_EQ(check({"--context", "0"}, text).status, 0);
}

TEST_F(CliCheck, ARuleFileThatCannotBeReadIsReportedAndTheModelStillRuns) {
    useShippedContext();
    test::writeBytes(dir.file("data/sys/context/grammar.txt"), "得/程度: @nowhere 的>得\n");
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"他", u"跑", u"的", u"很快", u"。"});
    const CliResult r = check({"--context", "1"}, "他跑的很快。");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.err.find("warning: 语法规则加载失败：" + dir.file("data/sys/context/grammar.txt") +
                         "（grammar rules, line 1: no list or word class nowhere）"),
              std::string::npos)
        << r.err;
    // Without a rule file there are no rules and nothing to report.
    std::filesystem::remove(dir.file("data/sys/context/grammar.txt"));
    const CliResult quiet = check({"--context", "1"}, "他跑的很快。");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err.find("warning"), std::string::npos) << quiet.err;
}

TEST_F(CliCheck, CuratedWordsTheScanReadPastAreTheModelsToJudge) {
    // 横座 is matched first, so the scan never looks at 座标; the model finds 坐标 reads far
    // better. In 回车符和 the scan's 回车符 is right and the model keeps the text as it is.
    useShippedContext();
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"与", u"底部", u"横座", u"标", u"轴线", u"组成", u"小", u"方格", u"。",
                           u"回车符", u"和", u"一个", u"换行符"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict",
                          {u"座标$=$坐标", u"符和$=$符合"});
    const std::string text = "与底部横座标轴线组成小方格。回车符和一个换行符。";
    EXPECT_EQ(check({"--context", "0"}, text).status, 0);
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t座标\t坐标\t错误\t4\t2\n")
        << r.err;
}

TEST_F(CliCheck, AMiswrittenIdiomTheScanReadPastNeedsLessOfTheModel) {
    // 要在 takes the first character of 在接再厉; the model reads 再接再厉 10^2 better there, less
    // than a shorter word read past needs and more than an idiom does.
    useShippedContext();
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"我们", u"要在", u"接", u"再", u"厉", u"。"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"在接再厉$=$再接再厉"});
    const std::string text = "我们要在接再厉。";
    EXPECT_EQ(check({"--context", "0"}, text).status, 0);
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t在接再厉\t再接再厉\t错误\t3\t4\n")
        << r.err;
}

TEST_F(CliCheck, CuratedWordsACommonWordCrossesOrHoldsAreInDoubt) {
    // 已下 is matched before 下载 is looked at, yet 已下载 reads as 已 + 下载: the model keeps the
    // text as written. 自已经历 also reads as 自 + 已经 + 历, but 自己 reads far better there.
    // In 激动得不能自已 the scan reads 得不 and then 自已, yet the text holds 不能自已 whole: it
    // stands, however much better 自己 reads.
    useShippedContext();
    test::writeDictionary(
        dir, DictionaryKind::SystemCorrect, "c.dict",
        {u"但", u"已", u"下载", u"载", u"的", u"软件包", u"可以", u"删除", u"。", u"我们", u"自",
         u"已经", u"经历", u"过", u"他", u"激动", u"得不", u"能", u"不能自已"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict",
                          {u"已下$=$以下", u"自已$=$自己"});
    const std::string text = "但已下载的软件包可以删除。我们自已经历过。他激动得不能自已。";
    EXPECT_EQ(check({"--context", "0"}, text).out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t已下\t以下\t错误\t1\t2\n"
              "2\t自已\t自己\t错误\t15\t2\n"
              "3\t自已\t自己\t错误\t27\t2\n");
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t自已\t自己\t错误\t15\t2\n")
        << r.err;
}

TEST_F(CliCheck, AGeneratedIdiomStandsWhereTheModelCannotWeighIt) {
    // The model barely knows 按部就班 as a word and reads it no better than 安部就班, yet a
    // generated wrong word of four characters is an idiom miswritten. In 哈尔滨师院 the word 师院
    // crosses the end of 哈尔滨师, and the model keeps the text as written.
    useShippedContext();
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"老李", u"做事", u"一向", u"安", u"部", u"就", u"班", u"。", u"哈尔滨",
                           u"师院", u"院", u"学报"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "homophones.dict",
                          {u"安部就班$=$按部就班", u"哈尔滨师$=$哈尔滨市"});
    ASSERT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"homophones.dict,"));
    const std::string text = "老李做事一向安部就班。哈尔滨师院学报。";
    EXPECT_EQ(check({"--context", "0"}, text).out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t安部就班\t按部就班\t错误\t6\t4\n"
              "2\t哈尔滨师\t哈尔滨市\t错误\t11\t4\n");
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t安部就班\t按部就班\t错误\t6\t4\n")
        << r.err;
}

TEST_F(CliCheck, ACuratedWordHiddenByARareWordStands) {
    // The scan reads 的家 and 寺座, so it never looks at 家俱 or 座落. The model barely tells 家具
    // from 家俱, but 的家 is a word the text hardly reads as: 家俱 stands as the scan's own. 落在
    // is a common word across the end of 座落, so the model judges that one and keeps the text.
    useShippedContext();
    test::writeDictionary(
        dir, DictionaryKind::SystemCorrect, "c.dict",
        {u"新", u"买", u"的家", u"俱", u"明天", u"送到", u"。", u"古", u"寺座", u"落在", u"山上"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "common.dict",
                          {u"家俱$=$家具", u"座落$=$坐落"});
    ASSERT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"common.dict,"));
    const std::string text = "新买的家俱明天送到。古寺座落在山上。";
    EXPECT_EQ(check({"--context", "0"}, text).out, "序号\t错误\t建议\t类型\t位置\t长度\n");
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out, "序号\t错误\t建议\t类型\t位置\t长度\n1\t家俱\t家具\t错误\t3\t2\n") << r.err;
}

TEST_F(CliCheck, TheShippedDictionariesKnowTheSlipsOfHomelyWords) {
    // Words of the household and the pharmacy are too rare in newspapers for the generated pairs;
    // the team's list holds their slips. 好像皮肤 crosses no listed form.
    useShippedData();
    const CliResult r =
        check({"--context", "1"}, "进门请换上托鞋。他咳漱得厉害。她的手好像皮肤病人的手。");
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t托鞋\t拖鞋\t错误\t5\t2\n"
              "2\t咳漱\t咳嗽\t错误\t9\t2\n")
        << r.err;
}

TEST_F(CliCheck, TheShippedDictionariesKnowTheClassicSlipsOfTheClinicTheShopAndTheOffice) {
    // Classic miswritings whose wrong form is no word of its own: the model need not speak for
    // them, and the right forms around them stay unmarked.
    useShippedData();
    const CliResult r =
        check({"--context", "1"}, "胆襄炎患者慎用。本店豆桨已售磬。请按规定激费后领取收据。");
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t胆襄\t胆囊\t错误\t0\t2\n"
              "2\t豆桨\t豆浆\t错误\t10\t2\n"
              "3\t售磬\t售罄\t错误\t13\t2\n"
              "4\t激费\t缴费\t错误\t20\t2\n")
        << r.err;
}

TEST_F(CliCheck, TheShippedDictionariesKnowCharactersOfALikeShapeInNotices) {
    // 侯, 淮 and 戎 are each a character of their own and of names, so only the list can tell the
    // notices' 候诊, 准时 and 戒烟 from them; 功略 is no word at all.
    useShippedData();
    const CliResult r =
        check({"--context", "1"},
              "请在侯诊区等候。明天请淮时出发。医生劝他早日戎烟。我看了很多旅游功略。");
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t侯诊\t候诊\t错误\t2\t2\n"
              "2\t淮时\t准时\t错误\t11\t2\n"
              "3\t戎烟\t戒烟\t错误\t22\t2\n"
              "4\t功略\t攻略\t错误\t32\t2\n")
        << r.err;
}

TEST_F(CliCheck, TheShippedDictionariesTakeNoGivenNameForAWordMistyped) {
    // 庆松 begins and ends like a given name and is not generated from 轻松; 按装 still reads as
    // 安装 mistyped.
    useShippedData();
    const CliResult r = check({"--context", "0"}, "王庆松轻轻地推开门。请先按装驱动程序。");
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t按装\t安装\t错误\t12\t2\n")
        << r.err;
}

TEST_F(CliCheck, AGeneratedWordThatWinsOnlyByHowCommonItIsStaysUnflagged) {
    // 小雨 is far commoner than 晓雨, but nothing around 林晓雨 asks for it: the name stands. 解决
    // fits 问题的 … 办法 as 解绝 does not, and is flagged.
    useShippedData();
    const std::string text = "林晓雨皱着眉头问道。明天讨论这个问题的解绝办法。";
    EXPECT_EQ(check({"--context", "0"}, text).out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t晓雨\t小雨\t错误\t1\t2\n"
              "2\t解绝\t解决\t错误\t19\t2\n");
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out, "序号\t错误\t建议\t类型\t位置\t长度\n1\t解绝\t解决\t错误\t19\t2\n") << r.err;
}

// A long text is checked in pieces; a word the model would flag that the writer uses twice is
// left alone also when the two stand in different pieces.
TEST_F(CliCheck, AWordWrittenTwiceIsTheWritersAlsoInDifferentPieces) {
    ASSERT_TRUE(useTinyModel());
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"经济", u"责任", u"神迹", u"项目", u"。"});
    const std::string sentence = "经济责任神迹项目。\n";
    std::string filler;
    for (int i = 0; i < 100000; ++i) {
        filler += "经济\n";  // 300,000 units: more than one piece
    }
    CliResult r = check({"--context", "1"}, sentence + filler);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("神迹\t审计\t语境\t4\t2"), std::string::npos) << r.out.substr(0, 200);
    r = check({"--context", "1"}, sentence + filler + sentence);
    EXPECT_EQ(r.status, 0) << r.out.substr(0, 200);
}

// Generated error words are the model's to judge, and a word the text writes twice is the
// writer's; the team's and the user's error words stand however often they are written.
TEST_F(CliCheck, GeneratedErrorWordsWrittenTwiceAreTheWritersCuratedOnesStand) {
    ASSERT_TRUE(useTinyModel());
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"经济", u"责任", u"项目", u"。"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "homophones.dict", {u"神迹$=$审计"});
    EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"homophones.dict,"));
    const std::string once = "经济责任神迹项目。";
    CliResult r = check({"--context", "1"}, once);
    EXPECT_EQ(r.out, "序号\t错误\t建议\t类型\t位置\t长度\n1\t神迹\t审计\t错误\t4\t2\n") << r.err;
    EXPECT_EQ(check({"--context", "1"}, once + once).status, 0);
    // The same pair in a list of the team's: both stay.
    test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"神迹$=$审计"});
    EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict,"));
    r = check({"--context", "1"}, once + once);
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n1\t神迹\t审计\t错误\t4\t2\n"
              "2\t神迹\t审计\t错误\t13\t2\n");
}

// A generated error word the scan matched over a curated one (上输 over 输人) hides it; once the
// model refutes the generated word, the curated one stands as if the scan had read it.
TEST_F(CliCheck, ACuratedWordAGeneratedOneHidStandsWithoutIt) {
    ASSERT_TRUE(useTinyModel());
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict",
                          {u"提示符", u"上", u"人", u"。"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "homophones.dict", {u"上输$=$上述"});
    test::writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"输人$=$输入"});
    EXPECT_TRUE(
        writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"homophones.dict,e.dict,"));
    const std::string text = "提示符上输人。";
    EXPECT_EQ(check({"--context", "0"}, text).out,
              "序号\t错误\t建议\t类型\t位置\t长度\n1\t上输\t上述\t错误\t3\t2\n");
    const CliResult r = check({"--context", "1"}, text);
    EXPECT_EQ(r.out, "序号\t错误\t建议\t类型\t位置\t长度\n1\t输人\t输入\t错误\t4\t2\n") << r.err;
}

TEST_F(CliCheck, LineBreaksBecomeOnePositionEach) {
    const CliResult r = check({"--boost", "0"}, "甲乙\r\n丁\r丁\n丁");
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t丁\t\t\t3\t1\n2\t丁\t\t\t5\t1\n3\t丁\t\t\t7\t1\n");
}

TEST_F(CliCheck, EachLineChecksEveryLineOnItsOwn) {
    CliResult r = check({"--each-line", "--boost", "0"}, "甲乙\n丁丙\n\n再接再励\n");
    EXPECT_EQ(r.out,
              "行\t序号\t错误\t建议\t类型\t位置\t长度\n"
              "2\t1\t丁\t\t\t0\t1\n"
              "4\t1\t再接再励\t再接再厉\t错误\t0\t4\n");
    EXPECT_EQ(r.err, "校对完毕，共检测出2个问题！\n");
    r = check({"--each-line", "--format", "json"}, "丙\n丁");
    EXPECT_EQ(r.out,
              "{\"line\":1,\"findings\":[],\"count\":0,\"quantization\":4,\"engineType\":1,"
              "\"accuracyBoost\":0}\n"
              "{\"line\":2,\"findings\":[{\"type\":2,\"position\":0,\"length\":1,\"word\":\"丁\","
              "\"suggestion\":\"\",\"source\":\"dictionary\"}],\"count\":1,\"quantization\":4,"
              "\"engineType\":1,"
              "\"accuracyBoost\":0}\n");
}

TEST_F(CliCheck, OptionsDefaultToTheEngineSettings) {
    // Reverse check with a fixed window of 2 and the context check on, from setup.ini.
    EXPECT_TRUE(writeSetting(dir.path(), u"引擎设置", u"引擎类型", u"2"));
    EXPECT_TRUE(writeSetting(dir.path(), u"引擎设置", u"自动量化", u"0"));
    EXPECT_TRUE(writeSetting(dir.path(), u"引擎设置", u"量化数值", u"1"));  // clamped to 2
    EXPECT_TRUE(writeSetting(dir.path(), u"引擎设置", u"准确度提升", u"1"));
    const CliResult r = check({"--format", "json"}, "丙丁");
    EXPECT_NE(r.out.find("\"quantization\":2,\"engineType\":2,\"accuracyBoost\":1"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(check({"--engine", "3"}, "丁").status, 0);  // other engine types run no scan
}

TEST_F(CliCheck, CleanTextExitsZero) {
    const CliResult r = check({}, "甲乙丙");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "序号\t错误\t建议\t类型\t位置\t长度\n");
    EXPECT_EQ(r.err, "校对完毕，共检测出0个问题！\n");
}

TEST_F(CliCheck, ShippedSignsAreNoSuspectsButTraditionalAndPrivateCharactersAre) {
    std::filesystem::copy(std::string(KJF_SOURCE_DIR) + "/data/sys/right/symbols.dict",
                          dir.file("data/sys/right/symbols.dict"));
    EXPECT_TRUE(
        writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict,symbols.dict,"));
    // Emoji (two UTF-16 units), bopomofo with a tone mark, kana, a block bullet, a dingbat.
    const CliResult signs = check({}, "甲乙🐮，ㄅㄆˋ・の▍✔丙😀");
    EXPECT_EQ(signs.status, 0) << signs.out;
    const CliResult r = check({}, "甲乙驗\xee\x80\x80丙");  // a traditional form, U+E000
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t驗\t\t\t2\t1\n"
              "2\t\xee\x80\x80\t\t\t3\t1\n");
}

TEST_F(CliCheck, UsageErrorsAndUnreadableInputExitTwo) {
    EXPECT_EQ(check({"--boost", "2"}, "").status, 2);
    EXPECT_EQ(check({"--format", "xml"}, "").status, 2);
    EXPECT_EQ(check({"--quantization", "x"}, "").status, 2);
    EXPECT_EQ(check({"--nonsense"}, "").status, 2);
    const CliResult missing =
        test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", dir.file("missing.txt")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", dir.path()}).status, 2);
}

TEST_F(CliCheck, CorrectedWritesTheTextWithEverySuggestionAndItsOwnLineBreaks) {
    const std::string out = dir.file("out.txt");
    CliResult r = check({"--corrected", out, "--boost", "0"}, "甲乙再接再励\r\n丁\r再接再励丙\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::readBytes(out), "甲乙再接再厉\r\n丁\r再接再厉丙\n");
    // Line by line, and in reverse: the same text.
    r = check({"--corrected", out, "--each-line", "--engine", "2"}, "丙再接再励\r\n再接再励");
    EXPECT_EQ(test::readBytes(out), "丙再接再厉\r\n再接再厉");
    // Without findings the text is copied; a file that cannot be written fails and stays.
    r = check({"--corrected", out}, "甲乙丙\r\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(test::readBytes(out), "甲乙丙\r\n");
    r = check({"--corrected", dir.file("no/such/out.txt")}, "再接再励");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("文件夹不存在"), std::string::npos) << r.err;  // and why
    EXPECT_EQ(check({"--corrected"}, "甲").status, 2);
}

TEST(ApplyCorrections, OverlapsAndRangesBeyondTheTextAreLeftOut) {
    using kjf::applyCorrections;
    EXPECT_EQ(applyCorrections(u"甲乙\r\n丙丁", {{3, 2, u"戊"}, {0, 1, u"己"}}), u"己乙\r\n戊");
    EXPECT_EQ(applyCorrections(u"甲乙丙", {{0, 2, u"A"}, {1, 1, u"B"}, {2, 2, u"C"}}), u"A丙");
    EXPECT_EQ(applyCorrections(u"甲\r乙", {{1, 1, u"\n"}}), u"甲\n乙");
    EXPECT_EQ(applyCorrections(u"", {{0, 0, u"x"}}), u"x");
    EXPECT_EQ(applyCorrections(u"甲", {}), u"甲");
}

// An installed tool (an unpacked prefix without setup.ini beside the executable) reads the system
// dictionaries from prefix/share/kanjianfang/data/sys/ and keeps setup.ini and the user's
// dictionaries in the user's folders, never in the installation.
TEST(CliInstalled, SettingsAndUserDictionariesLiveInTheHomeFolder) {
    namespace fs = std::filesystem;
    TempDir prefix;
    TempDir home;
    fs::create_directories(prefix.file("bin"));
    fs::copy_file(KJF_CLI_PATH, prefix.file("bin/kanjianfang-cli"));
    const std::string share = prefix.file("share/kanjianfang/");
    fs::create_directories(share + "data/sys/right");
    fs::create_directories(share + "data/user/right");
    test::writeBytes(share + "data/sys/right/c.dict", test::utf16le(u"甲乙\r\n"));
    test::writeBytes(share + "data/user/right/user.dict", "");
    test::writeBytes(share + "setup.ini",
                     "[词库设置]\r\n系统正确词库列表=c.dict,\r\n用户正确词库列表=user.dict,\r\n");
    test::writeBytes(home.file("in.txt"), "甲乙丙");
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-u", "XDG_CONFIG_HOME", "-u", "XDG_DATA_HOME",
                                   "HOME=" + home.path(), prefix.file("bin/kanjianfang-cli")});
        return test::runCli("env", args);
    };

    CliResult r = run({"check", "--format", "json", home.file("in.txt")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("\"word\":\"丙\""), std::string::npos) << r.out;
    EXPECT_EQ(test::readBytes(home.file(".config/kanjianfang/setup.ini")),
              test::readBytes(share + "setup.ini"));
    const std::string userDictionary =
        home.file(".local/share/kanjianfang/data/user/right/user.dict");
    ASSERT_TRUE(fs::exists(userDictionary));

    // The user's own dictionary and settings are the ones used from now on.
    test::writeBytes(userDictionary, test::utf16le(u"丙\r\n"));
    r = run({"check", home.file("in.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(run({"setting", "set", "引擎设置", "量化数值", "7"}).status, 0);
    EXPECT_EQ(run({"setting", "get", "引擎设置", "量化数值"}).out, "7\n");
    EXPECT_NE(test::readBytes(home.file(".config/kanjianfang/setup.ini")).find("量化数值=7"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(prefix.file("bin/setup.ini")));
    EXPECT_FALSE(fs::exists(prefix.file("bin/data")));
}

// Outputs never replace the checked file, whatever path leads to it, and a text read only in part
// is never written back shorter.
TEST_F(CliCheck, OutputsThatAreTheInputAndPartlyReadInputsAreRefused) {
    const std::string in = dir.file("in.txt");
    test::writeBytes(in, "再接再励");
    ASSERT_EQ(::symlink(in.c_str(), dir.file("link.txt").c_str()), 0);
    ASSERT_EQ(::link(in.c_str(), dir.file("hard.txt").c_str()), 0);
    for (const char* option : {"--corrected", "--revisions", "--xlsx"}) {
        for (const std::string& out :
             {in, dir.file("link.txt"), dir.file("hard.txt"), dir.path() + "./in.txt"}) {
            const CliResult r =
                test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", option, out, in});
            EXPECT_EQ(r.status, 2) << option << " " << out;
            EXPECT_NE(r.err.find("input file"), std::string::npos) << r.err;
            EXPECT_EQ(test::readBytes(in), "再接再励");
        }
    }
    EXPECT_EQ(test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", "--corrected",
                                          dir.file("o"), "--xlsx", dir.file("o"), in})
                  .status,
              2);
    // One byte that no encoding reads: nothing written, and said so.
    const CliResult partial = check({"--corrected", dir.file("out.txt")}, "再接再励\x80尾");
    EXPECT_EQ(partial.status, 2);
    EXPECT_NE(partial.err.find("only the first 4 characters"), std::string::npos) << partial.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
    // --revisions takes a document.
    EXPECT_EQ(check({"--revisions", dir.file("out.docx")}, "再接再励").status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.docx")));
    // A document whose text is cut short is not checked as if the start were all of it.
    const std::string cut = dir.file("cut.docx");
    test::writeBytes(
        cut,
        test::buildZip({{"word/document.xml", "<w:document><w:body><w:p><w:r><w:t>再接再励"}}));
    const CliResult docx = test::runCli(
        KJF_CLI_PATH, {"--root", dir.path(), "check", "--revisions", dir.file("out.docx"), cut});
    EXPECT_EQ(docx.status, 2);
    EXPECT_NE(docx.err.find("damaged or cut short"), std::string::npos) << docx.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.docx")));
}

TEST_F(CliCheck, RevisionsWriteSuggestionsAsChangesAndOtherFindingsAsComments) {
    const std::string in = dir.file("in.docx");
    test::writeBytes(in,
                     test::buildDocx("<w:p><w:r><w:t>甲乙再接再励丁</w:t></w:r></w:p>"
                                     "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>丙</w:t></w:r></w:p>"));
    const std::string out = dir.file("out.docx");
    CliResult r = test::runCli(
        KJF_CLI_PATH, {"--root", dir.path(), "check", "--boost", "0", "--revisions", out, in});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string written = test::readBytes(out);
    EXPECT_EQ(readDocxText(written), u"甲乙再接再厉丁\n丙");
    const auto xml = test::readZipEntry(written, "word/document.xml");
    ASSERT_TRUE(xml);
    EXPECT_NE(xml->find("<w:delText xml:space=\"preserve\">励</w:delText>"), std::string::npos);
    const auto comment = xml->find("<w:commentRangeStart ");
    EXPECT_NE(comment, std::string::npos) << *xml;
    EXPECT_EQ(xml->find("<w:r><w:t xml:space=\"preserve\">丁</w:t>", comment),
              xml->find("\"/>", comment) + 3)
        << *xml;
    EXPECT_NE(test::readZipEntry(written, "word/comments.xml")->find(">疑似错误<"),
              std::string::npos);
    // A document whose paragraph holds the change in a text box cannot be written: status 2 and
    // the old output stays.
    test::writeBytes(in, test::buildDocx("<w:p><w:r><w:drawing><w:txbxContent><w:p><w:r><w:t>"
                                         "再接再励</w:t></w:r></w:p></w:txbxContent></w:drawing>"
                                         "</w:r></w:p>"));
    r = test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", "--revisions", out, in});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(test::readBytes(out), written);
}
