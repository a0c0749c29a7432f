// The proofreading protocol over HTTP: GET /v2/languages, and /v2/check by POST (a form body,
// percent-encoded or raw, plain or gzip/deflate-compressed) or GET (the query), answered by a
// ProofreadingService.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace kjf::server {

class ProofreadingService;

// The request line and header fields of one request, together, are at most this long; a longer
// request is answered with 431 and its connection closed.
inline constexpr std::size_t kMaxRequestHeader = 64 * 1024;
// A request body must come at least this fast (bytes a second) after the first timeout: one of
// n bytes has timeout + n / kSlowestBodyRate seconds, the largest 64 s more than the timeout.
inline constexpr std::size_t kSlowestBodyRate = 16 * 1024;
// Connections open at once; further clients wait in the system's queue until one closes.
inline constexpr std::size_t kMaxConnections = 512;

struct HttpOptions {
    std::string host = "127.0.0.1";  // the loopback interface unless asked otherwise
    int port = 8081;                 // 0: a free port that the system chooses
    std::size_t threads = 16;        // checks run at once; more wait for a free thread
    // A connection is closed when its client sends or takes nothing for this long, when a
    // kept-alive one brings no new request for this long, when the request line and header
    // fields have not all come this long after the request's first byte, and when the body has
    // not all come within this time plus the time kSlowestBodyRate allows for its length. A
    // client that trickles its request therefore cannot hold the server, however small and
    // frequent its pieces.
    std::chrono::seconds timeout{5};
};

// Serves the protocol on one address.
//
// Threads: construct, bind and serve on one thread; stop from any thread (or a signal-waiting
// thread). serve's thread does all the network input and output, for any number of slow
// clients; checks run on `threads` threads of the server's own, several at once.
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
