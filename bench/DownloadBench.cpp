// A 200 MB file from a loopback server, downloaded by VnUrlDownloader into a cache asset and, in
// the same run and folder, by libcurl's easy interface writing a file; both end with the file on
// disk (fsync), checked whole. The folder is made for the run and removed after it. Prints both
// throughputs and their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "RatioReporter.h"
#include "TemporaryFolder.h"
#include "demo-service/DemoService.h"
#include "platform/runloop/RunLoop.h"
#include "vnlib/domain/content/VnUrlDownloader.h"

namespace {

constexpr int64_t kSize = int64_t{200} << 20;

demo::DemoService& server() {
    static demo::DemoService service;
    static const bool started = [] {
        // Served from memory in one piece, so that the server is not what is measured.
        std::string bytes(static_cast<size_t>(kSize), '\0');
        for (int64_t i = 0; i < kSize; ++i)
            bytes[static_cast<size_t>(i)] =
                static_cast<char>(demo::DemoService::generatedByte(i, 3));
        service.addFile("/issue.bin", std::move(bytes));
        return service.start();
    }();
    if (!started)
        throw std::runtime_error("the loopback server did not start");
    return service;
}

const bench::TemporaryFolder& folder() {
    static const bench::TemporaryFolder folder("varnel-download-bench");
    return folder;
}

void BM_Download_Varnel(benchmark::State& state) {
    const std::string url = server().baseUrl() + "/issue.bin";
    const auto path = folder() / "varnel.bin";
    for (auto _ : state) {
        std::filesystem::remove(path);
        auto asset = std::make_shared<VnLocalCacheAsset>(path);
        auto download = std::make_shared<VnUrlDownloader>(plat::Url::parse(url), asset);
        Ref<VnRequestResult> result;
        download->startWithDidFinishBlock(
            [&](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
        plat::RunLoop::current().runUntil([&] { return result != nullptr; }, 300);
        if (!result || !result->succeed() || bench::fileSize(path) != kSize)
            state.SkipWithError("the download failed or the file is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

size_t writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

void BM_Download_CurlEasy(benchmark::State& state) {
    const std::string url = server().baseUrl() + "/issue.bin";
    const auto path = folder() / "curl.bin";
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            state.SkipWithError("the file could not be made");
            break;
        }
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        const CURLcode code = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
        const bool closed = std::fclose(file) == 0;
        if (code != CURLE_OK || !flushed || !closed || bench::fileSize(path) != kSize)
            state.SkipWithError("the download failed or the file is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

BENCHMARK(BM_Download_Varnel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download_CurlEasy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("VnUrlDownloader speed / libcurl easy speed",
                        "BM_Download_CurlEasy/real_time", "BM_Download_Varnel/real_time");
    benchmark::Shutdown();
    return 0;
}
