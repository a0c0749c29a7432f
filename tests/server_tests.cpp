// The proofreading server: reading forms as LibreOffice and other clients post them, the
// protocol's answers, bad requests, concurrent checks, reloads, and the command that runs it.
// How the server holds its connections is in server_transport_tests.cpp.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_runner.h"
#include "context_support.h"
#include "engine_support.h"
#include "server/check_request.h"
#include "server/check_response.h"
#include "server/http_server.h"
#include "server/proofreading_service.h"
#include "server_support.h"
#include "settings/settings_file.h"
#include "text/utf.h"

using namespace kjf;
using namespace kjf::server;
using kjf::test::closedWithin;
using kjf::test::connectTo;
using kjf::test::exchange;
using kjf::test::sendAll;
using kjf::test::ServerFixture;
using kjf::test::TempDir;
using nlohmann::json;

namespace {

std::string field(const std::vector<FormField>& fields, std::string_view name) {
    for (const auto& f : fields) {
        if (f.name == name) {
            return f.value;
        }
    }
    return "<none>";
}

// The body of a captured HTTP request: everything after the blank line.
std::string bodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

const std::string& officeRequest() {
    static const std::string bytes =
        test::readBytes(KJF_TEST_DATA_DIR "/libreoffice_check_request.http");
    return bytes;
}

TEST(ServerForm, EncodedBodiesAreDecodedAndRawOnesKeepTheirAmpersandsAndEqualSigns) {
    auto fields = readForm("text=%E7%94%B2+%26%3D%25&language=zh-CN&disabledRules=A%2CB");
    EXPECT_EQ(field(fields, "text"), "甲 &=%");
    EXPECT_EQ(field(fields, "language"), "zh-CN");
    EXPECT_EQ(field(fields, "disabledRules"), "A,B");

    // The bytes LibreOffice 7.4 sends: raw UTF-8, the text first, the language last.
    fields = readForm(bodyOf(officeRequest()));
    ASSERT_EQ(fields.size(), 2U);
    EXPECT_EQ(fields[0].value, "他们再接再励，把A&B=C的100%做到1+1。😀再接再励！");
    EXPECT_EQ(fields[1].name, "language");
    EXPECT_EQ(fields[1].value, "zh-CN");

    // Raw text that itself ends in a field: the client's own language comes last, once.
    fields = readForm("text=甲&language=en&language=zh-CN");
    EXPECT_EQ(field(fields, "text"), "甲&language=en");
    EXPECT_EQ(field(fields, "language"), "zh-CN");
    // Known fields before the text, a user name and key after it; unknown names stay in the text.
    fields = readForm("language=zh&text=甲&乙=丙&foo=1&username=u&apiKey=k");
    EXPECT_EQ(field(fields, "text"), "甲&乙=丙&foo=1");
    EXPECT_EQ(field(fields, "apiKey"), "k");
    EXPECT_EQ(field(fields, "language"), "zh");
    // ASCII raw text with characters an encoder never leaves alone.
    // An encoder may leave list and address separators as they are; the text is still decoded.
    fields = readForm("text=%E7%94%B2&language=zh-CN&disabledRules=A,B&username=me@x.org");
    EXPECT_EQ(field(fields, "text"), "甲");
    EXPECT_EQ(field(fields, "disabledRules"), "A,B");
    EXPECT_EQ(field(fields, "username"), "me@x.org");
    EXPECT_EQ(field(readForm("text=a b+c&language=zh"), "text"), "a b+c");
    EXPECT_EQ(field(readForm("text=50%&language=zh"), "text"), "50%");
}

TEST(ServerForm, RequestsNeedOneTextUtf8AndAChineseLanguage) {
    const auto parse = [](std::string_view body) { return parseCheckRequest(readForm(body)); };
    EXPECT_TRUE(parse("text=甲&language=zh-CN").ok);
    EXPECT_TRUE(parse("text=甲&language=ZH-cn").ok);
    EXPECT_TRUE(parse("text=甲&language=zh").ok);
    const auto detected = parse("text=甲&language=auto");
    ASSERT_TRUE(detected.ok);
    EXPECT_TRUE(detected.request.detectLanguage);
    // Other protocol fields ask nothing of this server.
    EXPECT_TRUE(parse("text=甲&language=zh-CN&enabledRules=X&level=picky&motherTongue=de").ok);

    for (const auto* body : {"language=zh-CN", "text=甲", "text=%E7%94%B2&data=%7B%7D&language=zh",
                             "text=甲&language=en-US", "text=%FF%FE&language=zh"}) {
        const auto r = parse(body);
        EXPECT_FALSE(r.ok) << body;
        EXPECT_EQ(r.error.status, 400) << body;
        EXPECT_FALSE(r.error.message.empty()) << body;
    }
    EXPECT_NE(parse("text=甲&language=fr").error.message.find("fr"), std::string::npos);
}

TEST(ServerForm, AnnotationsCountMarkupInTheOffsetsButCheckOnlyTheText) {
    const auto r = parseCheckRequest(
        readForm(R"(data={"annotation":[{"text":"甲"},{"markup":"<b>"},{"text":"乙\r\n丙"},)"
                 R"({"markup":"<p>","interpretAs":"\n"},{"text":"丁"}]}&language=zh)"));
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r.request.posted, u"甲<b>乙\r\n丙<p>丁");
    EXPECT_EQ(r.request.checked, u"甲乙\n丙\n丁");
    // 乙 is unit 4 of the posted text; the line break covers CR LF; the markup stands as a whole
    // for its interpretAs.
    EXPECT_EQ(r.request.postedBegin(1), 4);
    EXPECT_EQ(r.request.postedEnd(3), 7);
    EXPECT_EQ(r.request.postedBegin(3), 7);
    EXPECT_EQ(r.request.postedBegin(4), 8);
    EXPECT_EQ(r.request.postedEnd(5), 11);
    EXPECT_EQ(r.request.postedBegin(5), 11);

    for (const auto* data : {R"({"annotation":[{"text":"a","markup":"b"}]})",
                             R"({"annotation":[{"other":1}]})", R"({"annotation":[{"text":1}]})",
                             R"({"annotation":{}})", R"([1,2])", R"({"annotation":[)"}) {
        const auto bad = parseCheckRequest({{"data", data}, {"language", "zh"}});
        EXPECT_FALSE(bad.ok) << data;
        EXPECT_EQ(bad.error.status, 400);
    }
}

// A finding in what an empty markup stands for was answered as a match of length 0.
TEST(ServerForm, AFindingInWhatAnEmptyMarkupStandsForIsNoMatch) {
    const auto r = parseCheckRequest(
        {{"data",
          R"({"annotation":[{"text":"甲"},{"markup":"","interpretAs":"乙"},{"text":"丙"}]})"},
         {"language", "zh"}});
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.request.checked, u"甲乙丙");
    const auto finding = [](std::int32_t position, std::int32_t length) {
        rg_BiaoJiCiYuLei f;
        f.type = FindingType::Suspected;
        f.position = position;
        f.length = length;
        return f;
    };
    const auto answer = nlohmann::json::parse(
        checkAnswer(r.request, std::vector{finding(1, 1), finding(1, 2)}, true));
    ASSERT_EQ(answer["matches"].size(), 1u) << answer.dump();
    EXPECT_EQ(answer["matches"][0]["offset"], 1);
    EXPECT_EQ(answer["matches"][0]["length"], 1);
}

TEST_F(ServerFixture, WritersOwnRequestIsAnsweredInUtf16UnitsOfItsText) {
    start();
    const std::string answer = exchange(server->port(), officeRequest());
    ASSERT_EQ(answer.rfind("HTTP/1.1 200", 0), 0U) << answer;
    const json body = json::parse(answer.substr(answer.find("\r\n\r\n") + 4));
    EXPECT_EQ(body["language"]["code"], "zh-CN");
    EXPECT_EQ(body["software"]["name"], "勘鉴坊");
    const std::u16string text = u"他们再接再励，把A&B=C的100%做到1+1。😀再接再励！";
    std::vector<std::pair<int, int>> errors;
    for (const auto& m : body["matches"]) {
        if (m["rule"]["id"] == "KJF_DICTIONARY_ERROR") {
            errors.emplace_back(m["offset"], m["length"]);
            EXPECT_EQ(m["replacements"], json::parse(R"([{"value":"再接再厉"}])"));
            EXPECT_EQ(m["message"], "“再接再励”应为“再接再厉”。");
        }
    }
    // After the emoji, two UTF-16 units.
    EXPECT_EQ(errors, (std::vector<std::pair<int, int>>{{2, 4}, {26, 4}}));
    EXPECT_EQ(text.substr(26, 4), u"再接再励");
}

TEST_F(ServerFixture, MatchesCarryTheProtocolsFieldsAndTellTheirKindsApart) {
    start();
    const auto r = client->Get("/v2/languages");
    ASSERT_TRUE(r);
    EXPECT_EQ(json::parse(r->body),
              json::parse(R"([{"name":"中文","code":"zh","longCode":"zh-CN"}])"));

    // Posted with CR LF; the line break counts as two units of the posted text.
    const json m = matches(
        "text=%E7%94%B2%E4%B9%99%0D%0A%E4%B8%81%E5%86%8D%E6%8E%A5%E5%86%8D%E5%8A%B1"
        "%E3%80%82&language=zh-CN");
    ASSERT_EQ(m.size(), 3U) << m;  // 丁, 再接再励, 。
    EXPECT_EQ(m[0]["offset"], 4);
    EXPECT_EQ(m[0]["length"], 1);
    EXPECT_EQ(m[0]["rule"]["id"], "KJF_SUSPECTED_CHARACTER");
    EXPECT_EQ(m[0]["replacements"], json::array());
    EXPECT_EQ(m[1]["offset"], 5);
    EXPECT_EQ(m[1]["rule"]["id"], "KJF_DICTIONARY_ERROR");
    EXPECT_EQ(m[1]["rule"]["issueType"], "misspelling");
    EXPECT_EQ(m[1]["rule"]["category"]["id"], "KJF_DICTIONARY");
    EXPECT_EQ(m[1]["shortMessage"], "错词");
    EXPECT_EQ(m[1]["sentence"], "丁再接再励。");
    // The context shows the line break as a blank and points at the match.
    EXPECT_EQ(m[1]["context"]["text"], "甲乙  丁再接再励。");
    EXPECT_EQ(m[1]["context"]["offset"], 5);
    EXPECT_EQ(m[1]["context"]["length"], 4);
    // Disabled rules are left out.
    EXPECT_EQ(matches("text=丁再接再励&language=zh&disabledRules=KJF_SUSPECTED_CHARACTER").size(),
              1U);
}

TEST_F(ServerFixture, ContextIsCutAroundTheMatchWithoutSplittingSurrogatePairs) {
    start();
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += "😀";
    }
    const json m = matches("language=zh&text=" + text + "再接再励" + text);
    ASSERT_FALSE(m.empty());
    const json& error = m[30];
    EXPECT_EQ(error["offset"], 60);
    const std::u16string context = utf8ToUtf16(error["context"]["text"].get<std::string>());
    const int offset = error["context"]["offset"];
    EXPECT_EQ(context.substr(static_cast<std::size_t>(offset), 4), u"再接再励");
    EXPECT_EQ(context.substr(0, 3), u"...");
    EXPECT_EQ(context.substr(context.size() - 3), u"...");
    EXPECT_EQ(utf16ToUtf8Lossy(context).find("\xEF\xBF\xBD"), std::string::npos);
}

TEST_F(ServerFixture, BadRequestsGetAStatusAndAMessage) {
    HttpOptions http;
    http.timeout = std::chrono::seconds(1);
    start({}, http);
    auto r = post("text=甲&language=de-DE");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 400);
    EXPECT_NE(r->body.find("de-DE"), std::string::npos);
    r = post("data=%7Bnot+json&language=zh");
    EXPECT_EQ(r->status, 400);
    EXPECT_FALSE(r->body.empty());
    r = client->Get("/v2/nothing");
    EXPECT_EQ(r->status, 404);

    // A long form is read (the library alone would refuse one over 8 KB); one over 1 MB is not,
    // nor one that only grows beyond it when decompressed.
    std::string large = "language=zh&text=";
    large.append(kMaxRequestBody - large.size(), 'a');
    r = post(large);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    // A megabyte of unknown characters: the answer stops at kMaxFindings and says so.
    const json answer = json::parse(r->body);
    EXPECT_EQ(answer["matches"].size(), kMaxFindings);
    EXPECT_EQ(answer["warnings"]["incompleteResults"], true);
    EXPECT_LT(answer["matches"][0]["sentence"].get<std::string>().size(), 1000U);
    EXPECT_EQ(post(large + "a")->status, 413);
    client->set_compress(true);
    r = post(large + "a");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
    EXPECT_EQ(matches("text=丁&language=zh").size(), 1U);
    client->set_compress(false);
    const std::string compressed =
        "POST /v2/check HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\nContent-Encoding: ";
    EXPECT_EQ(
        exchange(server->port(), compressed + "gzip\r\n\r\nnot gzip!").rfind("HTTP/1.1 400", 0),
        0U);
    EXPECT_EQ(exchange(server->port(), compressed + "br\r\n\r\nnot br!!!").rfind("HTTP/1.1 415", 0),
              0U);
    r = client->Post("/v2/check", "text=丁&language=zh", "multipart/form-data; boundary=x");
    EXPECT_EQ(r->status, 400);
    EXPECT_NE(r->body.find("application/x-www-form-urlencoded"), std::string::npos);

    // A client that stops sending is disconnected; the server still answers others.
    const auto before = std::chrono::steady_clock::now();
    const std::string partial = exchange(server->port(), "POST /v2/check HTTP/1.1\r\nHost: x\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    EXPECT_EQ(post("text=丙&language=zh")->status, 200);
    (void)partial;
}

TEST_F(ServerFixture, ParallelRequestsGetTheAnswersTheyGetOneAtATime) {
    start();
    std::vector<std::string> bodies;
    for (int i = 0; i < 12; ++i) {
        std::string text;
        for (int k = 0; k < 40; ++k) {
            text += (k * 7 + i) % 5 == 0 ? "再接再励" : (k + i) % 3 == 0 ? "丁" : "甲乙丙";
        }
        bodies.push_back("language=zh-CN&text=" + text);
    }
    std::vector<std::string> alone;
    for (const auto& b : bodies) {
        alone.push_back(post(b)->body);
    }
    std::vector<std::string> together(bodies.size() * 8);
    std::vector<std::thread> clients;
    for (std::size_t t = 0; t < 8; ++t) {
        clients.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", server->port());
            for (std::size_t i = 0; i < bodies.size(); ++i) {
                const std::size_t which = (i + t) % bodies.size();
                if (auto r =
                        c.Post("/v2/check", bodies[which], "application/x-www-form-urlencoded")) {
                    together[t * bodies.size() + which] = r->body;
                }
            }
        });
    }
    for (auto& c : clients) {
        c.join();
    }
    for (std::size_t i = 0; i < together.size(); ++i) {
        EXPECT_EQ(together[i], alone[i % bodies.size()]) << i;
    }
}

TEST_F(ServerFixture, AChangedDictionaryIsLoadedAgainWhileRequestsGoOn) {
    start();
    EXPECT_EQ(matches("text=丁&language=zh").size(), 1U);
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread busy([&] {
        httplib::Client c("127.0.0.1", server->port());
        while (!done) {
            const auto r = c.Post("/v2/check", "text=丁甲乙&language=zh", "text/plain");
            failures += !r || r->status != 200;
        }
    });
    // The desktop program adds 丁 to a user dictionary and enables it.
    test::writeDictionary(dir, DictionaryKind::UserCorrect, "user.dict", {u"丁"});
    EXPECT_TRUE(writeSetting(dir.path(), u"词库设置", u"用户正确词库列表", u"user.dict,"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!matches("text=丁&language=zh").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(matches("text=丁&language=zh").empty());
    EXPECT_GE(service->loadCount(), 2U);
    // An edit of the file itself is seen too.
    test::writeDictionary(dir, DictionaryKind::UserCorrect, "user.dict", {u"戊"});
    while (matches("text=丁&language=zh").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(matches("text=丁&language=zh").size(), 1U);
    done = true;
    busy.join();
    EXPECT_EQ(failures, 0);
    EXPECT_NE(logged().find("已重新加载"), std::string::npos) << logged();
}

// With the context check, the server finds what `kanjianfang-cli check` finds, the model's own
// findings under a rule of their own.
TEST_F(ServerFixture, ContextFindingsAreThoseOfTheCheckCommand) {
    ASSERT_TRUE(test::writeTinyContextModel(dir.path(), dir.file("model.lm")));
    const std::string contextData = Locations::portable(dir.path()).contextDataDirectory();
    std::filesystem::create_directories(contextData);
    test::writeTinyConfusionTables(contextData);
    test::writeDictionary(
        dir, DictionaryKind::SystemCorrect, "c.dict",
        {u"经济", u"责任", u"审计", u"神迹", u"项目", u"依法", u"套取", u"套曲", u"资金"});
    ASSERT_TRUE(
        writeSetting(dir.path(), u"引擎设置", u"语境模型", utf8ToUtf16(dir.file("model.lm"))));
    ServiceOptions options;
    options.context.enabled = true;
    options.context.modelPath = dir.file("model.lm");
    start(options);
    ASSERT_TRUE(service->contextActive()) << logged();

    const std::string text = "经济责任神迹项目。依法套曲资金丁";
    test::writeBytes(dir.file("in.txt"), text);
    const auto cli = test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "check", "--context", "1",
                                                 "--format", "json", dir.file("in.txt")});
    const json expected = json::parse(cli.out)["findings"];
    const json m = matches("language=zh-CN&text=" + text);
    ASSERT_EQ(m.size(), expected.size()) << cli.out << m;
    for (std::size_t i = 0; i < m.size(); ++i) {
        EXPECT_EQ(m[i]["offset"], expected[i]["position"]);
        EXPECT_EQ(m[i]["length"], expected[i]["length"]);
        const std::string suggestion = expected[i]["suggestion"];
        EXPECT_EQ(m[i]["replacements"].size(), suggestion.empty() ? 0U : 1U);
        EXPECT_EQ(m[i]["rule"]["id"], expected[i]["source"] == "context" ? "KJF_CONTEXT_ERROR"
                                      : expected[i]["type"] == 1         ? "KJF_DICTIONARY_ERROR"
                                                                 : "KJF_SUSPECTED_CHARACTER");
    }
    EXPECT_EQ(m[0]["rule"]["id"], "KJF_CONTEXT_ERROR");
    EXPECT_EQ(m[0]["message"], "据上下文，“神迹”应为“审计”。");
}

TEST(ServerRules, EveryKindOfFindingHasARuleAndMessagesOfItsOwn) {
    std::vector<std::string> ids;
    for (const auto& [type, source] : {std::pair{FindingType::Error, FindingSource::Dictionary},
                                       {FindingType::Suspected, FindingSource::Dictionary},
                                       {FindingType::Error, FindingSource::Context}}) {
        rg_BiaoJiCiYuLei f;
        f.type = type;
        f.source = source;
        f.word = u"\u200B";
        const MatchRule rule = matchRuleOf(f);
        ids.emplace_back(rule.id);
        EXPECT_FALSE(rule.description.empty());
        EXPECT_FALSE(rule.categoryName.empty());
        // An invisible word is named by a token the user can read.
        EXPECT_NE(matchMessagesOf(f).message.find("<U+200B>"), std::string::npos);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
}

// The command: the base URL on standard output, a clean end on SIGTERM, usage errors.
TEST(ServeCommand, PrintsItsAddressAndEndsCleanlyOnSigterm) {
    TempDir dir;
    test::writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"丙"});
    ASSERT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict,"));
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::execl(KJF_CLI_PATH, KJF_CLI_PATH, "--root", dir.path().c_str(), "serve", "--port", "0",
                "--context", "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string url;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        url += c;
    }
    ::close(out[0]);
    ASSERT_EQ(url.rfind("http://127.0.0.1:", 0), 0U) << url;
    const int port = std::stoi(url.substr(17));
    EXPECT_EQ(url.substr(url.size() - 3), "/v2");
    httplib::Client client("127.0.0.1", port);
    const auto r =
        client.Post("/v2/check", "text=丙丁&language=zh", "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(json::parse(r->body)["matches"].size(), 1U);

    // The port is taken now: a second server says so.
    const auto second =
        test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "serve", "--port", std::to_string(port)});
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.err.find("cannot listen"), std::string::npos);

    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_EQ(test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "serve", "--port", "x"}).status, 2);
    EXPECT_EQ(
        test::runCli(KJF_CLI_PATH, {"--root", dir.path(), "serve", "--format", "json"}).status, 2);
}

}  // namespace
