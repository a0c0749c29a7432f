// The proofreading server of the tests: a program directory with two tiny dictionaries served on
// a free port, and raw sockets for requests that no client library would send.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "engine_support.h"
#include "server/http_server.h"
#include "server/proofreading_service.h"
#include "settings/settings_file.h"
#include "test_support.h"
#include "text/utf.h"

namespace kjf::test {

using server::HttpOptions;
using server::HttpServer;
using server::ProofreadingService;
using server::ServiceOptions;

// A program directory with two tiny dictionaries, served by a real server on a free port.
class ServerFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        // The client writes on after the server has refused a body and closed the connection.
        ::signal(SIGPIPE, SIG_IGN);
        writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"甲乙", u"丙"});
        writeDictionary(dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        ASSERT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统正确词库列表", u"c.dict,"));
        ASSERT_TRUE(writeSetting(dir.path(), u"词库设置", u"系统错误词库列表", u"e.dict,"));
    }
    void TearDown() override { stop(); }

    void start(ServiceOptions options = {}, HttpOptions http = {}) {
        options.watchInterval = std::chrono::milliseconds(20);
        service = ProofreadingService::start(Locations::portable(dir.path()), options,
                                             [this](std::u16string_view message) {
                                                 std::lock_guard lock(logMutex);
                                                 log += utf16ToUtf8Lossy(message) + "\n";
                                             });
        ASSERT_TRUE(service) << logged();
        http.port = 0;
        server = std::make_unique<HttpServer>(*service, http);
        ASSERT_TRUE(server->bind());
        serving = std::thread([this] { server->serve(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
        // Sanitizer builds answer a megabyte slowly.
        client->set_read_timeout(120);
    }
    std::string logged() {
        std::lock_guard lock(logMutex);
        return log;
    }
    void stop() {
        if (server) {
            server->stop();
            serving.join();
            server.reset();
        }
    }

    httplib::Result post(const std::string& body) {
        return client->Post("/v2/check", body, "application/x-www-form-urlencoded");
    }
    nlohmann::json matches(const std::string& body) {
        const auto r = post(body);
        EXPECT_TRUE(r);
        EXPECT_EQ(r->status, 200) << r->body;
        return nlohmann::json::parse(r->body)["matches"];
    }

    TempDir dir;
    std::mutex logMutex;
    std::string log;  // what the service logged, from the watcher thread too
    std::unique_ptr<ProofreadingService> service;
    std::unique_ptr<HttpServer> server;
    std::thread serving;
    std::unique_ptr<httplib::Client> client;
};

// A socket connected to the server on the loopback address; -1 when none listens there.
inline int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool sendAll(int fd, std::string_view bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

// Reads until the server closes the connection, for at most the limit; whether it closed, and
// what it sent.
inline bool closedWithin(int fd, std::chrono::seconds limit, std::string& got) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return true;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

// The exact bytes of a request, over a socket of its own; the whole answer as it came.
inline std::string exchange(int port, const std::string& request) {
    const int fd = connectTo(port);
    std::string answer;
    if (fd >= 0 && sendAll(fd, request)) {
        char buffer[4096];
        std::size_t bodyStart = std::string::npos;
        std::size_t length = 0;
        while (bodyStart == std::string::npos || answer.size() < bodyStart + length) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(n));
            if (bodyStart == std::string::npos && answer.find("\r\n\r\n") != std::string::npos) {
                bodyStart = answer.find("\r\n\r\n") + 4;
                const auto at = answer.find("Content-Length: ");
                length = at < bodyStart ? std::stoul(answer.substr(at + 16)) : 0;
            }
        }
    }
    ::close(fd);
    return answer;
}

}  // namespace kjf::test
