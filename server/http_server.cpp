#include "server/http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include "server/check_request.h"
#include "server/check_response.h"
#include "server/proofreading_service.h"

namespace kjf::server {

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kPlainText = "text/plain; charset=utf-8";

void answerError(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(message + "\n", kPlainText);
}

// Answers a check whose fields are the query's and then the body's.
void answerCheck(const ProofreadingService& service, const httplib::Request& req,
                 httplib::Response& res, std::string_view body) {
    std::vector<FormField> fields;
    if (const auto mark = req.target.find('?'); mark != std::string::npos) {
        fields = readForm(std::string_view(req.target).substr(mark + 1));
    }
    for (auto& field : readForm(body)) {
        fields.push_back(std::move(field));
    }
    const ParsedRequest parsed = parseCheckRequest(fields);
    if (!parsed.ok) {
        answerError(res, parsed.error.status, parsed.error.message);
        return;
    }
    const CheckResult result = service.check(parsed.request.checked);
    res.set_content(checkAnswer(parsed.request, result.findings, result.complete), kJson);
}

}  // namespace

struct HttpServer::Impl {
    httplib::Server server;
    std::atomic<bool> serving{false};
    std::atomic<bool> stopRequested{false};
};

HttpServer::HttpServer(const ProofreadingService& service, HttpOptions options)
    : m_impl(std::make_unique<Impl>()), m_options(std::move(options)) {
    httplib::Server& server = m_impl->server;
    const std::size_t threads = std::max<std::size_t>(1, m_options.threads);
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_read_timeout(m_options.timeout.count());
    server.set_write_timeout(m_options.timeout.count());
    server.set_keep_alive_timeout(m_options.timeout.count());
    server.set_payload_max_length(kMaxRequestBody);
    // Answers are written in pieces (headers, then the body); waiting for an acknowledgement
    // between them would cost a client tens of milliseconds per request.
    server.set_tcp_nodelay(true);
    // The library's default also sets SO_REUSEPORT, with which a second server of the same user
    // binds the same port and silently takes half the requests; it must fail instead.
    server.set_socket_options([](int socket) {
        const int on = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });

    server.Get("/v2/languages", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(languagesAnswer(), kJson);
    });
    server.Get("/v2/check", [&service](const httplib::Request& req, httplib::Response& res) {
        answerCheck(service, req, res, "");
    });
    // The body is read here rather than by the library, which would refuse a form body over
    // 8 KB and parse it as percent-encoded.
    server.Post("/v2/check", [&service](const httplib::Request& req, httplib::Response& res,
                                        const httplib::ContentReader& reader) {
        if (req.is_multipart_form_data()) {
            answerError(res, 400, "请以 application/x-www-form-urlencoded 发送表单");
            return;
        }
        std::string body;
        bool tooLarge = false;
        const bool read = reader([&](const char* data, std::size_t size) {
            // Counted after any decompression, so that a small compressed body cannot grow huge.
            if (body.size() + size > kMaxRequestBody) {
                tooLarge = true;
                return false;
            }
            body.append(data, size);
            return true;
        });
        if (tooLarge || res.status == 413) {
            answerError(res, 413, "请求过大：最多 1 MB");
            return;
        }
        if (!read) {
            answerError(res, 400, "请求正文不完整");
            return;
        }
        answerCheck(service, req, res, body);
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr thrown) {
            try {
                std::rethrow_exception(thrown);
            } catch (const std::bad_alloc&) {
                answerError(res, 503, "内存不足，无法校对");
            } catch (...) {
                answerError(res, 500, "校对时出错");
            }
        });
    // The library's own refusals (no such path, a malformed request, a body over the limit)
    // get a message too.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            switch (res.status) {
                case 404:
                    res.set_content("没有这个地址：可用 /v2/languages 和 /v2/check\n", kPlainText);
                    break;
                case 413:
                    res.set_content("请求过大：最多 1 MB\n", kPlainText);
                    break;
                default:
                    res.set_content("请求有误\n", kPlainText);
            }
            return httplib::Server::HandlerResponse::Handled;
        }));
}

HttpServer::~HttpServer() {
    stop();
}

bool HttpServer::bind() {
    httplib::Server& server = m_impl->server;
    if (m_options.port == 0) {
        m_port = server.bind_to_any_port(m_options.host);
        return m_port > 0;
    }
    if (!server.bind_to_port(m_options.host, m_options.port)) {
        return false;
    }
    m_port = m_options.port;
    return true;
}

std::string HttpServer::baseUrl() const {
    const bool ipv6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port) + "/v2";
}

bool HttpServer::serve() {
    m_impl->serving = true;
    if (m_impl->stopRequested) {
        m_impl->serving = false;
        return true;
    }
    const bool served = m_impl->server.listen_after_bind();
    m_impl->serving = false;
    return served;
}

void HttpServer::stop() {
    m_impl->stopRequested = true;
    // The library ignores a stop before it has begun to listen: wait for that, unless serve has
    // not begun (it then sees the request) or has ended.
    while (m_impl->serving && !m_impl->server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_impl->server.stop();
}

}  // namespace kjf::server
