// A 200 MB body over loopback, read through plat::HttpReadStream on a run loop and, in the same
// run, by libcurl's easy interface into memory that is thrown away. Prints both throughputs and
// their ratio, and for each the CPU time of the reading side's threads alone (client_cpu_ms:
// the loopback server's, in the same process, left out).
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "RatioReporter.h"
#include "demo-service/DemoService.h"
#include "platform/net/HttpReadStream.h"
#include "platform/runloop/RunLoop.h"

namespace {

constexpr int64_t kSize = int64_t{200} << 20;

demo::DemoService& server() {
    static demo::DemoService service;
    static const bool started = [] {
        std::string bytes(static_cast<size_t>(kSize), '\0');
        for (int64_t i = 0; i < kSize; ++i)
            bytes[static_cast<size_t>(i)] =
                static_cast<char>(demo::DemoService::generatedByte(i, 5));
        service.addFile("/body.bin", std::move(bytes));
        return service.start();
    }();
    if (!started)
        throw std::runtime_error("the loopback server did not start");
    return service;
}

// The threads of this process by id.
std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename().string());
    return ids;
}

// The reading side's threads: this one and the network layer's own (made here, after the
// server's), so that their CPU time can be told from the server's.
const std::vector<std::string>& clientThreads() {
    static const std::vector<std::string> ids = [] {
        const auto before = threadIds();
        plat::HttpReadStream::initializeNetworking();
        std::vector<std::string> client{std::to_string(gettid())};
        for (const auto& id : threadIds()) {
            if (!before.contains(id))
                client.push_back(id);
        }
        return client;
    }();
    return ids;
}

// CPU seconds the reading side's threads have used.
double clientCpuSeconds() {
    double total = 0;
    for (const auto& id : clientThreads()) {
        std::ifstream in("/proc/self/task/" + id + "/schedstat");
        uint64_t nanoseconds = 0;
        in >> nanoseconds;
        total += static_cast<double>(nanoseconds) * 1e-9;
    }
    return total;
}

void BM_Read_HttpReadStream(benchmark::State& state) {
    const auto url = *plat::Url::parse(server().baseUrl() + "/body.bin");
    std::vector<uint8_t> buffer(256 * 1024);
    const double cpuBefore = clientCpuSeconds();
    for (auto _ : state) {
        auto stream = plat::HttpReadStream::make(plat::HttpMessage::request("GET", url));
        uint64_t received = 0;
        bool done = false;
        stream->setClient(~0U, [&](plat::Stream& s, plat::Stream::Event event) {
            if (event == plat::Stream::HasBytesAvailable) {
                int64_t n;
                while ((n = static_cast<plat::HttpReadStream&>(s).read(buffer.data(),
                                                                       buffer.size())) > 0)
                    received += static_cast<uint64_t>(n);
            }
            done = done || event == plat::Stream::EndEncountered ||
                   event == plat::Stream::ErrorOccurred;
        });
        stream->scheduleInRunLoop(plat::RunLoop::current(), plat::kDefaultRunLoopMode);
        stream->open();
        plat::RunLoop::current().runUntil([&] { return done; }, 300);
        stream->close();
        if (received != static_cast<uint64_t>(kSize))
            state.SkipWithError("the body did not arrive whole");
    }
    state.counters["client_cpu_ms"] = benchmark::Counter((clientCpuSeconds() - cpuBefore) * 1000,
                                                         benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

size_t count(char*, size_t size, size_t n, void* total) {
    *static_cast<uint64_t*>(total) += size * n;
    return size * n;
}

void BM_Read_CurlEasy(benchmark::State& state) {
    const std::string url = server().baseUrl() + "/body.bin";
    const double cpuBefore = clientCpuSeconds();
    for (auto _ : state) {
        uint64_t received = 0;
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &count);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
        const CURLcode code = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        if (code != CURLE_OK || received != static_cast<uint64_t>(kSize))
            state.SkipWithError("the body did not arrive whole");
    }
    state.counters["client_cpu_ms"] = benchmark::Counter((clientCpuSeconds() - cpuBefore) * 1000,
                                                         benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

BENCHMARK(BM_Read_HttpReadStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_CurlEasy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("HttpReadStream speed / libcurl easy speed", "BM_Read_CurlEasy/real_time",
                        "BM_Read_HttpReadStream/real_time");
    benchmark::Shutdown();
    return 0;
}
