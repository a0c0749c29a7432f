// The command-line tool, run as a separate process the way users and scripts run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "cli_runner.h"
#include "settings/settings_file.h"
#include "test_support.h"
#include "zip_support.h"

using kjf::test::readBytes;
using kjf::test::writeBytes;

namespace {

using Result = kjf::test::CliResult;

Result runCli(const std::vector<std::string>& args) {
    return kjf::test::runCli(KJF_CLI_PATH, args);
}

}  // namespace

TEST(CliSetting, SetThenGetUnderRoot) {
    kjf::test::TempDir dir;
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "get", "引擎设置", "量化数值", "10"}).out,
              "10\n");
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "set", "引擎设置", "量化数值", "7"}).status,
              0);
    EXPECT_EQ(readBytes(dir.file("setup.ini")), "[引擎设置]\r\n量化数值=7");
    const Result got = runCli({"--root", dir.path(), "setting", "get", "引擎设置", "量化数值"});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "7\n");
}

TEST(CliSetting, FailedWriteExitsOne) {
    kjf::test::TempDir dir;
    // Neither UTF-8 nor GB18030 to its end.
    const std::string legacy = "[s]\r\nk=\xFF\xFF\r\n";
    writeBytes(dir.file("setup.ini"), legacy);
    EXPECT_EQ(runCli({"--root", dir.path(), "setting", "set", "s", "k", "v"}).status, 1);
    EXPECT_EQ(readBytes(dir.file("setup.ini")), legacy);
}

TEST(CliText, PrintsDecodedTextWithLoneSurrogatesReplaced) {
    kjf::test::TempDir dir;
    writeBytes(dir.file("a.txt"), "\xFF\xFE" + kjf::test::utf16le(u"中\xD800文"));
    const Result r = runCli({"text", dir.file("a.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "中\xEF\xBF\xBD文");
}

// GB18030 text printed nothing with status 0; now the message says where it can be read.
TEST(CliText, GB18030TextPointsToImport) {
    kjf::test::TempDir dir;
    writeBytes(dir.file("gbk.txt"), "ab\xD6\xD0\xCE\xC4");
    const Result r = runCli({"text", dir.file("gbk.txt")});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("text --import also reads GB18030"), std::string::npos) << r.err;
    EXPECT_EQ(runCli({"text", "--import", dir.file("gbk.txt")}).out, "ab中文");
}

TEST(CliUsage, HelpAndVersionPrintToStandardOutputAndSucceed) {
    for (const char* option : {"--help", "-h"}) {
        const Result r = runCli({option});
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_TRUE(r.out.starts_with("usage:\n")) << r.out;
        EXPECT_NE(r.out.find("kanjianfang-cli dict verify FILE"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const Result version = runCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kanjianfang-cli " KJF_VERSION "\n");
    EXPECT_EQ(version.err, "");
    // Anything else is still a usage error, with the usage on standard error.
    const Result wrong = runCli({"--help", "check"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.out.empty());
    EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
}

TEST(CliUsage, UsageErrorsExitTwo) {
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"frobnicate"}).status, 2);
    EXPECT_EQ(runCli({"--root"}).status, 2);
    EXPECT_EQ(runCli({"setting", "get", "s"}).status, 2);
    EXPECT_EQ(runCli({"text"}).status, 2);
}

TEST(CliEvaluate, MalformedErrorPositionsRefuseTheSetInsteadOfAborting) {
    kjf::test::TempDir dir;
    writeBytes(dir.file("set.tsv"), "id\tsource\ttarget\tpositions\n1\t甲乙\t甲丙\t1,x\n");
    const auto r =
        runCli({"--root", dir.path(), "evaluate", "--context", "0", dir.file("set.tsv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(runCli({"evaluate", "--context", "2", dir.file("set.tsv")}).status, 2);
}

TEST(CliEvaluate, ClassesOfPlantedErrorsCountFoundAndCorrectedSentences) {
    // 再接再励 is listed with its correction; 丙 is no known word, so it is found but not
    // corrected; 甲乙 is correct and its sentence untouched.
    kjf::test::TempDir dir;
    std::filesystem::create_directories(dir.file("data/sys/right"));
    std::filesystem::create_directories(dir.file("data/sys/error"));
    writeBytes(dir.file("data/sys/right/c.dict"), kjf::test::utf16le(u"甲乙\r\n再接再厉\r\n"));
    writeBytes(dir.file("data/sys/error/e.dict"), kjf::test::utf16le(u"再接再励$=$再接再厉\r\n"));
    EXPECT_TRUE(kjf::writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict"));
    EXPECT_TRUE(kjf::writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict"));
    writeBytes(dir.file("set.tsv"),
               "id\tsource\ttarget\tpositions\tclass\n"
               "1\t甲乙再接再励\t甲乙再接再厉\t5\tidiom\n"
               "2\t甲乙丙\t甲乙乙\t2\tshape\n"
               "3\t甲乙甲乙\t甲乙甲乙乙\t1\tshape\n"
               "4\t甲乙\t甲乙\t\t\n");
    const auto r =
        runCli({"--root", dir.path(), "evaluate", "--context", "0", dir.file("set.tsv")});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto table = r.out.substr(r.out.find("| set | context | class"));
    EXPECT_EQ(table,
              "| set | context | class | sentences | found | corrected |\n"
              "|---|---|---|---|---|---|\n"
              "| set | off | idiom | 1 | 1.000 | 1.000 |\n"
              "| set | off | shape | 2 | 0.500 | 0.000 |\n"
              "| set | off | all | 3 | 0.667 | 0.333 |\n");
}

namespace {

// A program directory whose one correct dictionary holds 甲乙 and 丁戊, and one error entry.
class CliDocuments : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("data/sys/right"));
        std::filesystem::create_directories(dir.file("data/sys/error"));
        writeBytes(dir.file("data/sys/right/c.dict"), kjf::test::utf16le(u"甲乙\r\n丁戊\r\n"));
        writeBytes(dir.file("data/sys/error/e.dict"),
                   kjf::test::utf16le(u"再接再励$=$再接再厉\r\n"));
        EXPECT_TRUE(kjf::writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict"));
        EXPECT_TRUE(kjf::writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict"));
    }
    kjf::test::TempDir dir;
};

}  // namespace

TEST_F(CliDocuments, LearnPrintsTheGroupsOfTheRunsFindings) {
    writeBytes(dir.file("in.txt"), "甲乙丙，丙丁戊");
    Result r = runCli({"--root", dir.path(), "learn", "--quantization", "3", dir.file("in.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "序号\t源字\t组词\t起始位置\t长度\n"
              "1\t丙\t甲乙丙\t0\t3\n"
              "2\t丙\t丙丁戊\t4\t3\n");
    r = runCli({"--root", dir.path(), "learn", "--format", "json", "--quantization", "3",
                dir.file("in.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "{\"groups\":[{\"source\":\"丙\",\"group\":\"甲乙丙\",\"start\":0,\"length\":3},"
              "{\"source\":\"丙\",\"group\":\"丙丁戊\",\"start\":4,\"length\":3}],"
              "\"quantization\":3}\n");
    // Automatic quantization is the longest key, 4 units here.
    r = runCli({"--root", dir.path(), "learn", "--format", "json", dir.file("in.txt")});
    EXPECT_EQ(r.out,
              "{\"groups\":[{\"source\":\"丙\",\"group\":\"甲乙丙\",\"start\":0,\"length\":3},"
              "{\"source\":\"丙\",\"group\":\"丙丁戊\",\"start\":4,\"length\":3}],"
              "\"quantization\":4}\n");
    EXPECT_EQ(runCli({"--root", dir.path(), "learn", "--each-line", dir.file("in.txt")}).status, 2);
    EXPECT_EQ(runCli({"--root", dir.path(), "learn"}).status, 2);
}

TEST_F(CliDocuments, CheckWritesTheExportWorkbook) {
    writeBytes(dir.file("in.txt"), "甲乙再接再励丙");
    const std::string out = dir.file("错误列表.xlsx");
    const Result r = runCli({"--root", dir.path(), "check", "--xlsx", out, dir.file("in.txt")});
    EXPECT_EQ(r.status, 1);
    const auto strings = kjf::test::readZipEntry(readBytes(out), "xl/sharedStrings.xml");
    ASSERT_TRUE(strings);
    EXPECT_NE(strings->find("<t>序号</t></si><si><t>错误</t></si><si><t>建议</t></si><si><t>类型"
                            "</t></si><si><t>1</t></si><si><t>再接再励</t></si><si><t>再接再厉"
                            "</t></si><si><t>2</t></si><si><t>丙</t>"),
              std::string::npos)
        << *strings;
    EXPECT_EQ(runCli({"--root", dir.path(), "check", "--xlsx", dir.file("no/such/dir.xlsx"),
                      dir.file("in.txt")})
                  .status,
              2);
    EXPECT_EQ(runCli({"--root", dir.path(), "check", "--xlsx"}).status, 2);
}

TEST_F(CliDocuments, ImportReadsDocumentsAndRefusesBinaries) {
    writeBytes(
        dir.file("a.docx"),
        kjf::test::buildDocx("<w:p><w:r><w:t>再接再励</w:t></w:r></w:p>"
                             "<w:p><w:r><w:t>甲乙</w:t><w:tab/><w:t>丁戊</w:t></w:r></w:p>"));
    Result r = runCli({"text", "--import", dir.file("a.docx")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "再接再励\n甲乙\t丁戊");
    // check reads files the same way; the tab is a blank, never a finding.
    r = runCli({"--root", dir.path(), "check", dir.file("a.docx")});
    EXPECT_EQ(r.out,
              "序号\t错误\t建议\t类型\t位置\t长度\n"
              "1\t再接再励\t再接再厉\t错误\t0\t4\n");

    writeBytes(dir.file("gbk.txt"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(runCli({"text", "--import", dir.file("gbk.txt")}).out, "中文");
    EXPECT_EQ(runCli({"text", dir.file("gbk.txt")}).out, "");  // the plain text-file rule

    writeBytes(dir.file("a.doc"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0", 10));
    r = runCli({"text", "--import", dir.file("a.doc")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(runCli({"text", "--import", dir.file("missing.txt")}).status, 1);
    EXPECT_EQ(runCli({"--root", dir.path(), "check", dir.file("a.doc")}).status, 2);
}
