// The proofreading protocol over HTTP: GET /v2/languages, and /v2/check by POST (a form body,
// percent-encoded or raw) or GET (the query), answered by a ProofreadingService.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace kjf::server {

class ProofreadingService;

struct HttpOptions {
    std::string host = "127.0.0.1";  // the loopback interface unless asked otherwise
    int port = 8081;                 // 0: a free port that the system chooses
    std::size_t threads = 16;        // requests served at once; more wait for a free thread
    // A client that sends or takes nothing for this long is disconnected, and so is a kept-alive
    // connection without a new request.
    std::chrono::seconds timeout{5};
};

// Serves the protocol on one address.
//
// Threads: construct, bind and serve on one thread; stop from any thread (or a signal-waiting
// thread); requests are answered on the server's own threads, several at once.
class HttpServer {
  public:
    // service must outlive the server.
    HttpServer(const ProofreadingService& service, HttpOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Takes the address; false when it cannot (the port in use, no such interface).
    bool bind();
    // The port bound (the chosen one for port 0); 0 before bind.
    int port() const { return m_port; }
    // The protocol's base URL on the bound address, such as http://127.0.0.1:8081/v2.
    std::string baseUrl() const;

    // Answers requests until stop; returns false when it could not serve at all.
    bool serve();
    // Ends serve: no new connection is taken; requests being answered are finished.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    HttpOptions m_options;
    int m_port = 0;
};

}  // namespace kjf::server
