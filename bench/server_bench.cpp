// The proofreading server under load: 1,000 check requests of a 200-character paragraph each,
// sent as LibreOffice sends them (a raw form body) by four clients on kept-alive connections to a
// server in this process, with the shipped dictionaries, once without and once with the context
// check. items_per_second is requests answered per second, clients and server sharing the cores.
//
// Text: paragraphs of the prose corpus in ../shared/corpus when it is there, generated otherwise.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "bench_support.h"
#include "run/context_pass.h"
#include "run/run_options.h"
#include "server/http_server.h"
#include "server/proofreading_service.h"
#include "text/utf.h"

namespace fs = std::filesystem;
using namespace kjf;

namespace {

constexpr int kRequests = 1000;
constexpr int kClients = 4;
constexpr std::size_t kParagraphUnits = 200;

// A program directory with the shipped data and settings; the compiled dictionaries are cached
// in it, not in the source tree.
const std::string& programDirectory() {
    static const std::string root = [] {
        const fs::path source = fs::path(KJF_SOURCE_DIR) / "data";
        const std::string dir = (fs::temp_directory_path() / "kjf-bench-server").string() + "/";
        fs::remove_all(dir);
        fs::create_directories(dir + "data");
        fs::create_directory_symlink(source / "sys", dir + "data/sys");
        fs::create_directory_symlink(source / "user", dir + "data/user");
        fs::copy_file(source / "setup.ini", dir + "setup.ini");
        return dir;
    }();
    return root;
}

// kRequests form bodies, each a different 200-unit paragraph of the corpus.
const std::vector<std::string>& bodies() {
    static const std::vector<std::string> all = [] {
        const std::u16string& text = bench::corpus();
        std::vector<std::string> out;
        const std::size_t step = (text.size() - kParagraphUnits) / kRequests;
        for (int i = 0; i < kRequests; ++i) {
            const auto paragraph = text.substr(static_cast<std::size_t>(i) * step, kParagraphUnits);
            out.push_back("text=" + utf16ToUtf8Lossy(paragraph) + "&language=zh-CN");
        }
        return out;
    }();
    return all;
}

void BM_ServerChecks(benchmark::State& state) {
    const Locations locations = Locations::portable(programDirectory());
    server::ServiceOptions options;
    options.run = readRunOptions(locations.settingsDirectory);
    options.context = readContextSettings(locations.settingsDirectory);
    options.context.enabled = state.range(0) == 1;
    const auto service = server::ProofreadingService::start(locations, options, {});
    if (!service || service->contextActive() != options.context.enabled) {
        state.SkipWithError("the dictionaries or the model could not be loaded");
        return;
    }
    server::HttpOptions http;
    http.port = 0;
    server::HttpServer httpServer(*service, http);
    if (!httpServer.bind()) {
        state.SkipWithError("no port");
        return;
    }
    std::thread serving([&] { httpServer.serve(); });
    std::atomic<int> failed{0};
    std::size_t matches = 0;
    for (auto _ : state) {
        std::atomic<int> next{0};
        std::vector<std::thread> clients;
        std::vector<std::size_t> counted(kClients);
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", httpServer.port());
                client.set_tcp_nodelay(true);
                for (int i = next++; i < kRequests; i = next++) {
                    const auto r = client.Post("/v2/check", bodies()[static_cast<std::size_t>(i)],
                                               "application/x-www-form-urlencoded");
                    if (!r || r->status != 200) {
                        ++failed;
                    } else {
                        // Each match names its rule once.
                        for (std::size_t at = r->body.find("\"rule\""); at != std::string::npos;
                             at = r->body.find("\"rule\"", at + 1)) {
                            ++counted[static_cast<std::size_t>(c)];
                        }
                    }
                }
            });
        }
        for (auto& c : clients) {
            c.join();
        }
        matches = 0;
        for (auto n : counted) {
            matches += n;
        }
    }
    httpServer.stop();
    serving.join();
    if (failed != 0) {
        state.SkipWithError("requests failed");
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
    state.counters["matchesPerRound"] = static_cast<double>(matches);
}
BENCHMARK(BM_ServerChecks)
    ->ArgName("context")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
