// A 200 MB GET through the request engine into a file and, in the same run, by libcurl's easy
// interface into a file, from the same loopback server. Prints both throughputs and their
// ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <filesystem>

#include "RatioReporter.h"
#include "demo-service/DemoService.h"
#include "external/ASIHTTPRequest.h"

namespace {

constexpr int64_t kSize = int64_t{200} << 20;

demo::DemoService& server() {
    static demo::DemoService service;
    static const bool started = [] {
        std::string bytes(static_cast<size_t>(kSize), '\0');
        for (int64_t i = 0; i < kSize; ++i)
            bytes[static_cast<size_t>(i)] =
                static_cast<char>(demo::DemoService::generatedByte(i, 4));
        service.addFile("/issue.bin", std::move(bytes));
        return service.start();
    }();
    if (!started)
        throw std::runtime_error("the loopback server did not start");
    return service;
}

std::filesystem::path folder() {
    static const auto path = [] {
        auto p = std::filesystem::temp_directory_path() / "varnel-request-download-bench";
        std::filesystem::create_directories(p);
        return p;
    }();
    return path;
}

void BM_Get_Engine(benchmark::State& state) {
    const auto url = *plat::Url::parse(server().baseUrl() + "/issue.bin");
    for (auto _ : state) {
        auto request = ASIHTTPRequest::requestWithURL(url);
        request->setAllowCompressedResponse(false);
        request->setDownloadDestinationPath((folder() / "engine.bin").string());
        bool done = false;
        request->setCompletionBlock([&] { done = true; });
        request->setFailedBlock([&] { done = true; });
        request->startAsynchronous();
        plat::RunLoop::current().runUntil([&] { return done; }, 300);
        if (request->error())
            state.SkipWithError("the download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

size_t writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

void BM_Get_CurlEasy(benchmark::State& state) {
    const std::string url = server().baseUrl() + "/issue.bin";
    for (auto _ : state) {
        FILE* file = std::fopen((folder() / "curl.bin").c_str(), "wb");
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        const CURLcode code = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        std::fclose(file);
        if (code != CURLE_OK)
            state.SkipWithError("the download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize);
}

BENCHMARK(BM_Get_Engine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Get_CurlEasy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    server();
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("engine GET-to-file speed / libcurl easy speed",
                        "BM_Get_CurlEasy/real_time", "BM_Get_Engine/real_time");
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
