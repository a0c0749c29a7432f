// How the proofreading server holds its connections: clients that trickle or flood their requests
// are cut off without holding up others, kept-alive connections, stopping, and IPv6.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "server_support.h"

using namespace kjf;
using namespace kjf::server;
using kjf::test::closedWithin;
using kjf::test::connectTo;
using kjf::test::exchange;
using kjf::test::sendAll;
using kjf::test::ServerFixture;
using nlohmann::json;

namespace {

// A client that trickles its request, a byte every 300 ms, far within the timeout between
// reads, never finishing it.
struct Trickler {
    explicit Trickler(int port, std::string head)
        : thread([this, port, head = std::move(head)] {
              const int fd = connectTo(port);
              const auto start = std::chrono::steady_clock::now();
              connected = fd >= 0 && sendAll(fd, head);
              while (connected && std::chrono::steady_clock::now() - start < kGiveUp) {
                  if (!sendAll(fd, "a")) {
                      break;
                  }
                  pollfd wait{fd, POLLIN, 0};
                  char buffer[256];
                  if (::poll(&wait, 1, 300) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
                      break;
                  }
              }
              took = std::chrono::steady_clock::now() - start;
              cut = true;
              ::close(fd);
          }) {}
    ~Trickler() { join(); }
    void join() {
        if (thread.joinable()) {
            thread.join();
        }
    }

    static constexpr std::chrono::seconds kGiveUp{30};
    std::atomic<bool> connected{false};
    std::atomic<bool> cut{false};
    std::chrono::steady_clock::duration took{};
    std::thread thread;
};

TEST_F(ServerFixture, ClientsThatTrickleTheirRequestsAreCutOffAndHoldUpNoOne) {
    HttpOptions http;
    http.threads = 1;
    http.timeout = std::chrono::seconds(1);
    start({}, http);
    const int port = server->port();
    const std::string slowHeader = "POST /v2/check HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    // 1 s for the header, then 1 s and 60,000 / 16 KB s for the body: cut after 4.7 s.
    const std::string slowBody =
        "POST /v2/check HTTP/1.1\r\nHost: x\r\nContent-Length: 60000\r\n\r\ntext=";
    std::vector<std::unique_ptr<Trickler>> headers;
    std::vector<std::unique_ptr<Trickler>> bodies;
    for (int i = 0; i < 2; ++i) {
        headers.push_back(std::make_unique<Trickler>(port, slowHeader));
        bodies.push_back(std::make_unique<Trickler>(port, slowBody));
    }
    for (const auto& t : headers) {
        while (!t->connected && !t->cut) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    for (const auto& t : bodies) {
        while (!t->connected && !t->cut) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // More slow clients than the server has threads, and a check is still answered at once.
    EXPECT_EQ(matches("text=丁&language=zh").size(), 1U);
    for (const auto& t : bodies) {
        EXPECT_FALSE(t->cut);
    }
    for (const auto* group : {&headers, &bodies}) {
        for (const auto& t : *group) {
            t->join();
            EXPECT_LT(t->took, Trickler::kGiveUp);
        }
    }
}

TEST_F(ServerFixture, HeadersBeyondTheLimitAreRefusedAndTheirSenderCutOff) {
    start();
    const int port = server->port();
    std::string request = "GET /v2/languages HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 10000; ++i) {
        request += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
    }
    const std::string answer = exchange(server->port(), request + "\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 431", 0), 0U) << answer.substr(0, 200);
    EXPECT_NE(answer.find("请求头过大"), std::string::npos);

    // Header lines without end: the server reads a bounded amount more, then hangs up.
    const int fd = connectTo(port);
    ASSERT_GE(fd, 0);
    timeval patience{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    std::string lines;
    for (int i = 0; i < 100; ++i) {
        lines += "X-Filler: " + std::string(500, 'a') + "\r\n";
    }
    std::size_t sent = 0;
    bool refused = sendAll(fd, "GET /v2/languages HTTP/1.1\r\n");
    while (refused && sent < (std::size_t{256} << 20)) {
        const ssize_t n = ::send(fd, lines.data(), lines.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            refused = errno == EPIPE || errno == ECONNRESET;
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::close(fd);
    EXPECT_TRUE(refused) << sent;
    EXPECT_LT(sent, std::size_t{256} << 20);

    // Just under the limit, a check's text in the query is read.
    std::string query = "GET /v2/check?language=zh&text=" + std::string(60000, 'a') +
                        " HTTP/1.1\r\nHost: x\r\n\r\n";
    EXPECT_EQ(exchange(server->port(), query).rfind("HTTP/1.1 200", 0), 0U);
    EXPECT_EQ(matches("text=丁&language=zh").size(), 1U);
}

TEST_F(ServerFixture, KeptAliveConnectionsAnswerInTurnAndCloseWhenIdle) {
    HttpOptions http;
    http.timeout = std::chrono::seconds(1);
    start({}, http);
    const int fd = connectTo(server->port());
    const std::string request = "GET /v2/languages HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(sendAll(fd, request + request));
    std::string got;
    EXPECT_TRUE(closedWithin(fd, std::chrono::seconds(20), got));
    ::close(fd);
    ASSERT_EQ(got.rfind("HTTP/1.1 200", 0), 0U) << got;
    EXPECT_NE(got.find("HTTP/1.1 200", 1), std::string::npos) << got;
}

TEST_F(ServerFixture, StopFinishesTheRequestsInFlightAndTakesNoMore) {
    start();
    // Before serve, a stop makes serve return at once; unbound, a server cannot serve.
    HttpOptions early;
    early.port = 0;
    HttpServer second(*service, early);
    ASSERT_TRUE(second.bind());
    second.stop();
    EXPECT_TRUE(second.serve());
    EXPECT_FALSE(HttpServer(*service, early).serve());

    const int port = server->port();
    const int idle = connectTo(port);
    const std::string languages = "GET /v2/languages HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(sendAll(idle, languages));
    // The server has read this request's header when it asks for the body.
    const int busy = connectTo(port);
    const std::string body = "text=丁&language=zh";
    ASSERT_TRUE(sendAll(busy,
                        "POST /v2/check HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                        "Content-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n"));
    timeval patience{30, 0};
    ::setsockopt(busy, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char interim[25] = {};
    ASSERT_EQ(::recv(busy, interim, sizeof interim, MSG_WAITALL), 25);
    EXPECT_EQ(std::string(interim, 25), "HTTP/1.1 100 Continue\r\n\r\n");

    server->stop();
    ASSERT_TRUE(sendAll(busy, body));
    std::string answer;
    EXPECT_TRUE(closedWithin(busy, std::chrono::seconds(20), answer));
    ::close(busy);
    ASSERT_EQ(answer.rfind("HTTP/1.1 200", 0), 0U) << answer;
    EXPECT_EQ(json::parse(answer.substr(answer.find("\r\n\r\n") + 4))["matches"].size(), 1U);
    std::string idleGot;
    EXPECT_TRUE(closedWithin(idle, std::chrono::seconds(20), idleGot));
    ::close(idle);
    serving.join();
    server.reset();
    EXPECT_EQ(connectTo(port), -1);
}

TEST_F(ServerFixture, AnIpv6AddressIsServedAndWrittenInBrackets) {
    auto checker = ProofreadingService::start(Locations::portable(dir.path()), {}, {});
    ASSERT_TRUE(checker);
    HttpOptions http;
    http.host = "::1";
    http.port = 0;
    HttpServer v6(*checker, http);
    if (!v6.bind()) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    EXPECT_EQ(v6.baseUrl(), "http://[::1]:" + std::to_string(v6.port()) + "/v2");
    std::thread serving6([&] { v6.serve(); });
    httplib::Client c("::1", v6.port());
    const auto r = c.Get("/v2/languages");
    v6.stop();
    serving6.join();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
}

}  // namespace
