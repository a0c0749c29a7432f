// kanjianfang-cli serve: the proofreading server that LibreOffice and editor plug-ins ask over
// HTTP, with the dictionaries of a program directory.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_common.h"
#include "cli/run_arguments.h"
#include "server/http_server.h"
#include "server/proofreading_service.h"

namespace kjf::cli {

namespace {

// SIGINT, SIGTERM and SIGHUP, taken by one thread that waits for them (so they are blocked in
// every thread, which inherit the mask from start on); one that the process was started with
// ignored (nohup, a shell's background job) stays ignored. Before a server serves, one ends the
// process at once (a load cut short leaves at most a temporary file); while one serves, it stops
// it, and the server finishes the requests it is answering. Lives until the process ends.
class EndSignals {
  public:
    static EndSignals& start() {
        static EndSignals* signals = new EndSignals();
        return *signals;
    }

    // The server the next signal stops; nullptr: the next signal ends the process.
    void setServer(server::HttpServer* serving) {
        std::lock_guard lock(m_mutex);
        m_serving = serving;
    }

  private:
    EndSignals() {
        sigemptyset(&m_signals);
        bool any = false;
        for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current {};
            if (sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
                sigaddset(&m_signals, number);
                any = true;
            }
        }
        if (!any) {
            return;
        }
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
        std::thread([this] {
            while (true) {
                int received = 0;
                sigwait(&m_signals, &received);
                std::lock_guard lock(m_mutex);
                if (m_serving == nullptr) {
                    std::_Exit(128 + received);
                }
                m_serving->stop();
            }
        }).detach();
    }

    sigset_t m_signals;
    std::mutex m_mutex;
    server::HttpServer* m_serving = nullptr;
};

}  // namespace

int serveCommand(const Locations& locations, const std::vector<std::string>& args) {
    RunArguments run;
    run.options = readRunOptions(locations.settingsDirectory);
    run.context = readContextSettings(locations.settingsDirectory);
    server::HttpOptions http;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string error;
        if (parseEngineOption(args, i, run, error)) {
            if (!error.empty()) {
                return usageError(error);
            }
        } else if (args[i] == "--port") {
            int port = 0;
            if (i + 1 >= args.size() || !parseIntOption(args[i + 1], port) || port < 0 ||
                port > 65535) {
                return usageError("--port needs a port number (0: any free port)");
            }
            http.port = port;
            ++i;
        } else if (args[i] == "--host") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return usageError("--host needs an address");
            }
            http.host = args[++i];
        } else {
            return usageError("serve does not take " + args[i]);
        }
    }

    EndSignals& ending = EndSignals::start();
    // A client that hangs up while its answer is written must not end the process.
    signal(SIGPIPE, SIG_IGN);
    server::ServiceOptions options;
    options.run = run.options;
    options.context = run.context;
    const auto service =
        server::ProofreadingService::start(locations, options, [](std::u16string_view message) {
            std::fputs("kanjianfang-cli: ", stderr);
            printText(stderr, message);
            std::fputc('\n', stderr);
        });
    if (!service) {
        return 2;
    }
    server::HttpServer httpServer(*service, http);
    if (!httpServer.bind()) {
        std::fprintf(stderr, "kanjianfang-cli: cannot listen on %s port %d\n", http.host.c_str(),
                     http.port);
        return 2;
    }
    // The base URL on standard output, for scripts that start the server on a free port.
    std::printf("%s\n", httpServer.baseUrl().c_str());
    std::fflush(stdout);
    ending.setServer(&httpServer);
    const bool served = httpServer.serve();
    ending.setServer(nullptr);
    return served ? 0 : 2;
}

}  // namespace kjf::cli
