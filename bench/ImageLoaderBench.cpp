// 1,000 small distinct pictures over loopback: image views loading them through
// setImageWithURL (operations on the shared queue, decoding on the processing queue, the main
// thread only showing them) against a plain libcurl multi loop of the same parallelism that
// decodes each body with QImage as it completes. Prints both times and their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QImage>
#include <thread>

#include "RatioReporter.h"
#include "demo-service/DemoImages.h"
#include "demo-service/DemoService.h"
#include "external/AFImageView.h"

namespace {

constexpr int kImages = 1000;

demo::DemoService& server() {
    static demo::DemoService service;
    static const bool started = [] {
        demo::registerImagePaths(service);
        return service.start();
    }();
    if (!started)
        throw std::runtime_error("the loopback server did not start");
    return service;
}

std::string imageUrl(int i) {
    return server().baseUrl() + "/images/png/bench-" + std::to_string(i) + ".png";
}

class CountingView : public AFImageView {
  public:
    void setImage(const Ref<plat::Image>& image) override {
        if (image)
            ++shown;
    }
    int shown = 0;
};

int width() {
    return static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
}

void BM_Images_ImageViews(benchmark::State& state) {
    std::vector<plat::Url> urls;
    for (int i = 0; i < kImages; ++i)
        urls.push_back(*plat::Url::parse(imageUrl(i)));
    for (auto _ : state) {
        AFImageView::af_sharedImageCache().removeAllObjects();
        std::vector<std::shared_ptr<CountingView>> views;
        for (const auto& url : urls) {
            auto view = std::make_shared<CountingView>();
            view->setImageWithURL(url, nullptr);
            views.push_back(std::move(view));
        }
        plat::RunLoop::current().runUntil(
            [&] {
                for (const auto& view : views) {
                    if (view->af_imageRequestOperation())
                        return false;
                }
                return true;
            },
            120);
        int shown = 0;
        for (const auto& view : views)
            shown += view->shown;
        if (shown != kImages)
            state.SkipWithError("not every picture arrived");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kImages);
}

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

void BM_Images_CurlMultiQImage(benchmark::State& state) {
    std::vector<std::string> urls;
    for (int i = 0; i < kImages; ++i)
        urls.push_back(imageUrl(i));
    for (auto _ : state) {
        CURLM* multi = curl_multi_init();
        std::vector<std::string> bodies(kImages);
        int next = 0, running = 0, decoded = 0;
        auto add = [&] {
            CURL* easy = curl_easy_init();
            curl_easy_setopt(easy, CURLOPT_URL, urls[static_cast<size_t>(next)].c_str());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bodies[static_cast<size_t>(next)]);
            curl_easy_setopt(easy, CURLOPT_PRIVATE, &bodies[static_cast<size_t>(next)]);
            curl_multi_add_handle(multi, easy);
            ++next;
        };
        while (next < kImages && next < width())
            add();
        do {
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                std::string* body = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &body);
                QImage image;
                decoded += image.loadFromData(reinterpret_cast<const uchar*>(body->data()),
                                              static_cast<int>(body->size()));
                curl_multi_remove_handle(multi, message->easy_handle);
                curl_easy_cleanup(message->easy_handle);
                if (next < kImages)
                    add();
            }
            if (running > 0 || next < kImages)
                curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        } while (running > 0 || next < kImages);
        curl_multi_cleanup(multi);
        if (decoded != kImages)
            state.SkipWithError("not every picture decoded");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kImages);
}

BENCHMARK(BM_Images_ImageViews)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Images_CurlMultiQImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    server();
    // Every picture drawn once before timing: both sides fetch the same bytes.
    {
        CURL* easy = curl_easy_init();
        std::string sink;
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
        for (int i = 0; i < kImages; ++i) {
            curl_easy_setopt(easy, CURLOPT_URL, imageUrl(i).c_str());
            curl_easy_perform(easy);
        }
        curl_easy_cleanup(easy);
    }
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("image views speed / libcurl multi + QImage speed",
                        "BM_Images_CurlMultiQImage/real_time", "BM_Images_ImageViews/real_time");
    benchmark::Shutdown();
    return 0;
}
