// A 200 MB file body uploaded through the request engine (queued start, metered body stream,
// HTTP read stream) and, in the same run, by libcurl's easy interface reading the same file;
// both to the same loopback sink, timed to the sink's last byte. Prints both throughputs and
// their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "RatioReporter.h"
#include "external/ASIHTTPRequest.h"
#include "support/net/RawHttpServer.h"

namespace {

constexpr uint64_t kSize = uint64_t{200} << 20;

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
        auto p = std::filesystem::temp_directory_path() / "varnel-upload-bench.bin";
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

void BM_Upload_Engine(benchmark::State& state) {
    const auto url = *plat::Url::parse(sink().url("/upload"));
    for (auto _ : state) {
        const uint64_t start = sink().bodyBytesReceived();
        auto request = ASIHTTPRequest::requestWithURL(url);
        request->setRequestMethod("PUT");
        request->setShouldStreamPostDataFromDisk(true);
        request->setPostBodyFilePath(bodyFile().string());
        request->startAsynchronous();
        while (sink().bodyBytesReceived() - start < kSize)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.PauseTiming();
        request->clearDelegatesAndCancel();
        plat::RunLoop::current().runUntil([&] { return request->isFinished(); }, 10);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

size_t readFile(char* buffer, size_t size, size_t count, void* file) {
    return std::fread(buffer, size, count, static_cast<FILE*>(file));
}

void BM_Upload_CurlEasy(benchmark::State& state) {
    const std::string url = sink().url("/upload");
    for (auto _ : state) {
        FILE* file = std::fopen(bodyFile().c_str(), "rb");
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readFile);
        curl_easy_setopt(curl, CURLOPT_READDATA, file);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(kSize));
        // No "Expect: 100-continue" wait (the engine sends none either).
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        const CURLcode code = curl_easy_perform(curl);
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        std::fclose(file);
        if (code != CURLE_OK)
            state.SkipWithError("the upload failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_Upload_Engine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Upload_CurlEasy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bodyFile();
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("engine upload speed / libcurl easy upload speed",
                        "BM_Upload_CurlEasy/real_time", "BM_Upload_Engine/real_time");
    benchmark::Shutdown();
    std::filesystem::remove(bodyFile());
    return 0;
}
