// A 128 MiB file part posted as multipart through AFHTTPClient (streamed body, operation on the
// client's queue) and, in the same run, by libcurl's curl_mime upload of the same file, both to
// the same discarding loopback sink. Prints the throughput ratio and the peak resident-memory
// growth of the client's upload.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <filesystem>
#include <fstream>

#include "RatioReporter.h"
#include "auxiliary/http/AFHTTPClient.h"
#include "support/net/RawHttpServer.h"

namespace {

constexpr uint64_t kSize = uint64_t{128} << 20;

net_test::RawHttpServer& sink() {
    static net_test::RawHttpServer server([](const std::string&, const std::string&) {
        return net_test::RawHttpServer::Reply{net_test::RawHttpServer::ok("")};
    });
    static const bool ready = [] {
        server.setDiscardBodies(true);
        return true;
    }();
    (void)ready;
    return server;
}

std::filesystem::path bodyFile() {
    static const auto path = [] {
        auto p = std::filesystem::temp_directory_path() / "varnel-multipart-bench.bin";
        std::ofstream out(p, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        for (uint64_t done = 0; done < kSize; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<char>((done + i) * 2654435761u >> 11);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
        return p;
    }();
    return path;
}

// Peak resident memory so far, in KiB.
long peakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

long rssGrowthKiB = -1;

void BM_Multipart_AFHTTPClient(benchmark::State& state) {
    const auto file = bodyFile();
    auto client = AFHTTPClient::clientWithBaseURL(*plat::Url::parse(sink().url("/")));
    const long before = peakRssKiB();
    for (auto _ : state) {
        const auto request = client->multipartFormRequestWithMethod(
            "POST", std::string("discard"), plat::Value(), [&](AFMultipartFormData& form) {
                form.appendPartWithFileURL(*plat::Url::parse("file://" + file.string()), "file",
                                           nullptr);
            });
        bool done = false;
        bool failed = false;
        client->enqueueHTTPRequestOperation(client->HTTPRequestOperationWithRequest(
            request, [&](const auto&, const auto&) { done = true; },
            [&](const auto&, const auto&) { failed = done = true; }));
        plat::RunLoop::current().runUntil([&] { return done; }, 300);
        if (failed)
            state.SkipWithError("the upload failed");
    }
    rssGrowthKiB = peakRssKiB() - before;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

void BM_Multipart_CurlMime(benchmark::State& state) {
    const auto file = bodyFile();
    const std::string url = sink().url("/discard");
    for (auto _ : state) {
        CURL* easy = curl_easy_init();
        curl_mime* mime = curl_mime_init(easy);
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, "file");
        curl_mime_filedata(part, file.c_str());
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
        // No "Expect: 100-continue" wait: the client does not send one either.
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        if (curl_easy_perform(easy) != CURLE_OK)
            state.SkipWithError("the upload failed");
        curl_slist_free_all(headers);
        curl_mime_free(mime);
        curl_easy_cleanup(easy);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_Multipart_AFHTTPClient)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Multipart_CurlMime)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bodyFile();
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("AFHTTPClient multipart speed / curl_mime speed",
                        "BM_Multipart_CurlMime/real_time", "BM_Multipart_AFHTTPClient/real_time");
    std::printf("peak resident memory growth during the client's uploads: %.1f MiB\n",
                static_cast<double>(rssGrowthKiB) / 1024.0);
    std::filesystem::remove(bodyFile());
    benchmark::Shutdown();
    return 0;
}
