#include "server/http_server.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <new>
#include <optional>
#include <unordered_map>

#include "server/check_request.h"
#include "server/check_response.h"
#include "server/proofreading_service.h"

namespace kjf::server {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Request = http::request<http::string_body>;

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kPlainText = "text/plain; charset=utf-8";
constexpr std::size_t kReadSize = 16 * 1024;
// What is read and thrown away of a refused request before its connection is closed, so that
// a client that writes its whole request before it reads gets to read the refusal.
constexpr std::size_t kMaxDrained = kMaxRequestBody + kMaxRequestHeader;

struct Answer {
    http::status status = http::status::ok;
    const char* contentType = kJson;
    std::string body;
};

Answer errorAnswer(http::status status, const std::string& message) {
    return {status, kPlainText, message + "\n"};
}

// The time that n bytes of a request or an answer may take beyond the timeout.
Clock::duration transferTime(std::size_t bytes) {
    return std::chrono::milliseconds(bytes * 1000 / kSlowestBodyRate);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

enum class Inflated { Whole, TooLarge, Broken };

// Decompresses a gzip or zlib body into out, never beyond kMaxRequestBody, so that a small
// compressed body cannot grow huge.
Inflated inflateBody(std::string_view in, std::string& out) {
    z_stream stream{};
    // 32: either header, gzip or zlib, is recognized.
    if (inflateInit2(&stream, 15 + 32) != Z_OK) {
        throw std::bad_alloc();
    }
    struct End {
        z_stream& stream;
        ~End() { inflateEnd(&stream); }
    } end{stream};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    char chunk[kReadSize];
    while (true) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            if (result == Z_MEM_ERROR) {
                throw std::bad_alloc();
            }
            return Inflated::Broken;
        }
        const std::size_t produced = sizeof chunk - stream.avail_out;
        if (out.size() + produced > kMaxRequestBody) {
            return Inflated::TooLarge;
        }
        out.append(chunk, produced);
        if (result == Z_STREAM_END) {
            return Inflated::Whole;
        }
    }
}

// Answers a check whose fields are the query's and then the body's.
Answer answerCheck(const ProofreadingService& service, std::string_view target,
                   std::string_view body) {
    std::vector<FormField> fields;
    if (const auto mark = target.find('?'); mark != std::string_view::npos) {
        fields = readForm(target.substr(mark + 1));
    }
    for (auto& field : readForm(body)) {
        fields.push_back(std::move(field));
    }
    const ParsedRequest parsed = parseCheckRequest(fields);
    if (!parsed.ok) {
        return errorAnswer(static_cast<http::status>(parsed.error.status), parsed.error.message);
    }
    const CheckResult result = service.check(parsed.request.checked);
    return {http::status::ok, kJson, checkAnswer(parsed.request, result.findings, result.complete)};
}

// A check request, GET or POST, read whole. Runs on a check thread.
Answer answerCheckRequest(const ProofreadingService& service, const Request& request) {
    try {
        if (request.method() != http::verb::post) {
            return answerCheck(service, request.target(), "");
        }
        if (startsWithNoCase(request[http::field::content_type], "multipart/form-data")) {
            return errorAnswer(http::status::bad_request,
                               "请以 application/x-www-form-urlencoded 发送表单");
        }
        std::string encoding(request[http::field::content_encoding]);
        std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (encoding.empty() || encoding == "identity") {
            return answerCheck(service, request.target(), request.body());
        }
        if (encoding != "gzip" && encoding != "x-gzip" && encoding != "deflate") {
            return errorAnswer(http::status::unsupported_media_type,
                               "不支持这种压缩：" + encoding + "（可用 gzip 和 deflate）");
        }
        std::string body;
        switch (inflateBody(request.body(), body)) {
            case Inflated::Whole:
                return answerCheck(service, request.target(), body);
            case Inflated::TooLarge:
                return errorAnswer(http::status::payload_too_large, "请求过大：最多 1 MB");
            case Inflated::Broken:
                break;
        }
        return errorAnswer(http::status::bad_request, "请求正文无法解压");
    } catch (const std::bad_alloc&) {
        return errorAnswer(http::status::service_unavailable, "内存不足，无法校对");
    } catch (...) {
        return errorAnswer(http::status::internal_server_error, "校对时出错");
    }
}

class Session;

// The listening socket and the connections, all handled on the thread that runs io (serve's);
// checks run on the pool. Only stop and the constructor are called from other threads.
struct Listener {
    Listener(const ProofreadingService& checker, const HttpOptions& httpOptions)
        : service(checker), options(httpOptions) {}

    void accept();
    void retryAccept();
    void stopNow();
    void ended(Session* session);

    const ProofreadingService& service;
    const HttpOptions options;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptDelay{io};
    std::optional<asio::thread_pool> checks;
    std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
    bool accepting = false;
    bool stopping = false;
    std::atomic<bool> stopRequested{false};
};

// One connection: its requests one after another, each read whole within its deadlines, then
// answered. Lives while an operation of its own is pending.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(Listener& listener, tcp::socket socket)
        : m_listener(listener), m_stream(std::move(socket)) {}

    void start() { awaitRequest(); }

    // serve is ending: a connection waiting for a request is closed at once, one in a request is
    // closed after its answer.
    void stop() {
        if (m_phase == Phase::Idle) {
            m_stream.cancel();
        }
    }

  private:
    enum class Phase { Idle, Reading, Answering, Closing };

    std::chrono::seconds timeout() const { return m_listener.options.timeout; }

    void awaitRequest() {
        if (m_listener.stopping) {
            close();
            return;
        }
        m_parser.emplace();
        m_parser->header_limit(kMaxRequestHeader);
        m_parser->body_limit(kMaxRequestBody);
        m_headerDone = false;
        m_phase = Phase::Idle;
        if (m_buffer.size() > 0) {
            beginRequest();
            return;
        }
        // The request's deadlines run from its first byte; until then it is a kept-alive
        // connection that may wait the timeout.
        m_stream.expires_after(timeout());
        m_stream.async_read_some(m_buffer.prepare(kReadSize),
                                 [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                     self->m_buffer.commit(n);
                                     if (ec) {
                                         self->close();
                                     } else {
                                         self->beginRequest();
                                     }
                                 });
    }

    void beginRequest() {
        m_phase = Phase::Reading;
        m_deadline = Clock::now() + timeout();
        readSome();
    }

    void readSome() {
        // Each read within the timeout, the whole request within its deadline: Beast's read of
        // the header returns only when the header is whole, the deadline then bounds it alone.
        m_stream.expires_at(std::min(m_deadline, Clock::now() + timeout()));
        http::async_read_some(
            m_stream, m_buffer, *m_parser,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
    }

    void onRead(beast::error_code ec) {
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
            refuse(http::status::request_header_fields_too_large, "请求头过大：最多 64 KB");
            return;
        }
        if (ec == http::error::body_limit) {
            refuse(http::status::payload_too_large, "请求过大：最多 1 MB");
            return;
        }
        if (ec == http::error::end_of_stream || ec == http::error::partial_message) {
            close();
            return;
        }
        if (ec && ec.category() == http::make_error_code(http::error::bad_target).category()) {
            refuse(http::status::bad_request, "请求有误");
            return;
        }
        if (ec) {
            // Timed out, reset, or closed by stop.
            close();
            return;
        }
        if (!m_headerDone && m_parser->is_header_done()) {
            m_headerDone = true;
            const auto length = m_parser->content_length().value_or(kMaxRequestBody);
            m_deadline = Clock::now() + timeout() + transferTime(length);
            if (!m_parser->is_done() && m_parser->get().version() >= 11 &&
                beast::iequals(m_parser->get()[http::field::expect], "100-continue")) {
                sendContinue();
                return;
            }
        }
        if (!m_parser->is_done()) {
            readSome();
            return;
        }
        answer();
    }

    void sendContinue() {
        auto interim =
            std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
        m_stream.expires_after(timeout());
        http::async_write(m_stream, *interim,
                          [self = shared_from_this(), interim](beast::error_code ec, std::size_t) {
                              if (ec) {
                                  self->close();
                              } else {
                                  self->readSome();
                              }
                          });
    }

    void answer() {
        m_phase = Phase::Answering;
        m_stream.expires_never();
        Request request = m_parser->release();
        m_version = request.version();
        m_keepAlive = request.keep_alive();
        m_head = request.method() == http::verb::head;
        const std::string_view target = request.target();
        const std::string_view path = target.substr(0, target.find('?'));
        const bool get = request.method() == http::verb::get || m_head;
        if (path == "/v2/languages" && get) {
            write({http::status::ok, kJson, languagesAnswer()});
        } else if (path == "/v2/check" && (get || request.method() == http::verb::post)) {
            // The check may take seconds: it runs on the pool while this thread serves the
            // other connections. The work guard keeps serve running until the answer is back.
            asio::post(*m_listener.checks, [self = shared_from_this(),
                                            work = asio::make_work_guard(m_listener.io),
                                            request = std::move(request)]() mutable {
                Answer answer = answerCheckRequest(self->m_listener.service, request);
                // The session is handed back whole, so that it ends on the io thread.
                asio::post(work.get_executor(),
                           [self = std::move(self), answer = std::move(answer),
                            work = std::move(work)]() mutable { self->write(std::move(answer)); });
            });
        } else {
            write(errorAnswer(http::status::not_found,
                              "没有这个地址：可用 /v2/languages 和 /v2/check"));
        }
    }

    void write(Answer answer) {
        // A stop while the request was answered: the answer is the connection's last.
        m_keepAlive = m_keepAlive && !m_listener.stopping;
        sendAnswer(std::move(answer), m_keepAlive, [](Session& self) {
            if (self.m_keepAlive) {
                self.awaitRequest();
            } else {
                self.close();
            }
        });
    }

    // A request that cannot be read on: answered, then read and thrown away for a while so that
    // the client gets to read the answer, then closed.
    void refuse(http::status status, const std::string& message) {
        m_phase = Phase::Closing;
        m_version = 11;
        m_head = false;
        sendAnswer(errorAnswer(status, message), false, [](Session& self) {
            beast::error_code ignored;
            self.m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
            self.m_buffer.clear();
            self.m_drained = 0;
            self.m_deadline = Clock::now() + self.timeout() + transferTime(kMaxDrained);
            self.drain();
        });
    }

    template <typename Then>
    void sendAnswer(Answer answer, bool keepAlive, Then then) {
        m_response = {};
        m_response.version(m_version);
        m_response.result(answer.status);
        m_response.set(http::field::content_type, answer.contentType);
        m_response.body() = std::move(answer.body);
        m_response.keep_alive(keepAlive);
        m_response.prepare_payload();
        if (m_head) {
            m_response.body().clear();
        }
        // Every response here is small but for a check's; the client may take it at the
        // slowest rate too.
        m_stream.expires_after(timeout() + transferTime(m_response.body().size()));
        http::async_write(m_stream, m_response,
                          [self = shared_from_this(), then](beast::error_code ec, std::size_t) {
                              self->m_response = {};
                              if (ec) {
                                  self->close();
                              } else {
                                  then(*self);
                              }
                          });
    }

    void drain() {
        if (m_drained > kMaxDrained) {
            close();
            return;
        }
        m_stream.expires_at(std::min(m_deadline, Clock::now() + timeout()));
        m_stream.async_read_some(m_buffer.prepare(kReadSize),
                                 [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                     self->m_buffer.clear();
                                     self->m_drained += n;
                                     if (ec) {
                                         self->close();
                                     } else {
                                         self->drain();
                                     }
                                 });
    }

    void close() {
        if (m_closed) {
            return;
        }
        m_closed = true;
        m_phase = Phase::Closing;
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
        m_listener.ended(this);
    }

    Listener& m_listener;
    beast::tcp_stream m_stream;
    // Holds at most one request header and what follows it in one read.
    beast::flat_buffer m_buffer{kMaxRequestHeader + kReadSize};
    std::optional<http::request_parser<http::string_body>> m_parser;
    http::response<http::string_body> m_response;
    Phase m_phase = Phase::Idle;
    bool m_headerDone = false;
    bool m_closed = false;
    bool m_keepAlive = false;
    bool m_head = false;
    unsigned m_version = 11;
    Clock::time_point m_deadline;
    std::size_t m_drained = 0;
};

void Listener::accept() {
    if (sessions.size() >= kMaxConnections) {
        // A session that a failed handler dropped never said it ended.
        std::erase_if(sessions, [](const auto& entry) { return entry.second.expired(); });
    }
    if (stopping || accepting || sessions.size() >= kMaxConnections) {
        return;
    }
    accepting = true;
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        accepting = false;
        if (stopping || ec == asio::error::operation_aborted) {
            return;
        }
        if (ec) {
            // Out of descriptors, most likely: try again shortly rather than spin.
            retryAccept();
            return;
        }
        beast::error_code ignored;
        // Answers are written in pieces (headers, then the body); waiting for an acknowledgement
        // between them would cost a client tens of milliseconds per request.
        socket.set_option(tcp::no_delay(true), ignored);
        auto session = std::make_shared<Session>(*this, std::move(socket));
        sessions.emplace(session.get(), session);
        session->start();
        accept();
    });
}

void Listener::retryAccept() {
    acceptDelay.expires_after(std::chrono::milliseconds(100));
    acceptDelay.async_wait([this](beast::error_code ec) {
        if (!ec) {
            accept();
        }
    });
}

void Listener::stopNow() {
    stopping = true;
    beast::error_code ignored;
    acceptor.close(ignored);
    acceptDelay.cancel();
    for (auto& [address, session] : sessions) {
        if (const auto alive = session.lock()) {
            alive->stop();
        }
    }
}

void Listener::ended(Session* session) {
    sessions.erase(session);
    accept();
}

}  // namespace

struct HttpServer::Impl {
    Impl(const ProofreadingService& service, const HttpOptions& options)
        : listener(service, options) {}
    Listener listener;
};

HttpServer::HttpServer(const ProofreadingService& service, HttpOptions options)
    : m_options(std::move(options)) {
    m_impl = std::make_unique<Impl>(service, m_options);
}

HttpServer::~HttpServer() {
    stop();
}

bool HttpServer::bind() {
    Listener& listener = m_impl->listener;
    beast::error_code ec;
    tcp::resolver resolver(listener.io);
    const auto endpoints =
        resolver.resolve(m_options.host, std::to_string(m_options.port),
                         tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec) {
        return false;
    }
    for (const auto& entry : endpoints) {
        tcp::acceptor acceptor(listener.io);
        acceptor.open(entry.endpoint().protocol(), ec);
        // SO_REUSEADDR only: with SO_REUSEPORT a second server of the same user would bind the
        // same port and silently take half the requests; it must fail instead.
        if (!ec) {
            acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
        }
        if (!ec) {
            acceptor.bind(entry.endpoint(), ec);
        }
        if (!ec) {
            acceptor.listen(asio::socket_base::max_listen_connections, ec);
        }
        if (!ec) {
            listener.acceptor = std::move(acceptor);
            m_port = listener.acceptor.local_endpoint(ec).port();
            return !ec;
        }
    }
    return false;
}

std::string HttpServer::baseUrl() const {
    const bool ipv6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port) + "/v2";
}

bool HttpServer::serve() {
    Listener& listener = m_impl->listener;
    if (!listener.acceptor.is_open()) {
        return false;
    }
    if (listener.stopRequested) {
        return true;
    }
    listener.checks.emplace(std::max<std::size_t>(1, m_options.threads));
    listener.accept();
    while (true) {
        try {
            listener.io.run();
            break;
        } catch (const std::exception&) {
            // A handler ran out of memory: its connection is dropped, the others go on, and
            // connections are taken again if it was the one that took them.
            listener.accept();
        }
    }
    listener.checks->join();
    return true;
}

void HttpServer::stop() {
    Listener& listener = m_impl->listener;
    listener.stopRequested = true;
    asio::post(listener.io, [&listener] { listener.stopNow(); });
}

}  // namespace kjf::server
