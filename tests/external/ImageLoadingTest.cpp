// Image views loading remote pictures: decoding off the main and network threads, only the
// latest request shown, cache hits without placeholder or network, failures keeping the
// placeholder, the cache bound, and hostile pictures.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QImage>
#include <set>

#include "demo-service/DemoImages.h"
#include "external/AFImageView.h"

namespace {

class FakeImageView : public AFImageView {
  public:
    void setImage(const Ref<plat::Image>& image) override {
        shown.push_back(image);
        onMain = onMain && plat::RunLoop::isMainThread();
    }
    Ref<plat::Image> current() const { return shown.empty() ? nullptr : shown.back(); }
    std::vector<Ref<plat::Image>> shown;
    bool onMain = true;
};

Ref<plat::Image> placeholder() {
    static const auto image = [] {
        QImage drawn(4, 4, QImage::Format_ARGB32);
        drawn.fill(Qt::gray);
        return std::make_shared<plat::Image>(plat::Image::Decoded{},
                                             std::make_unique<QImage>(drawn));
    }();
    return image;
}

class ImageLoadingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerImagePaths(service);
        ASSERT_TRUE(service.start());
        AFImageView::af_sharedImageCache().removeAllObjects();
        AFImageView::af_sharedImageCache().setTotalCostLimit(AFImageCache::kDefaultTotalCostLimit);
    }
    plat::Url url(const std::string& path) { return *plat::Url::parse(service.baseUrl() + path); }
    size_t requestsFor(const std::string& path) {
        size_t n = 0;
        for (const auto& r : service.requests())
            n += r.path == path;
        return n;
    }
    static bool idle(const Ref<FakeImageView>& view) { return !view->af_imageRequestOperation(); }
    static void settle(double seconds = 0.1) {
        plat::RunLoop::current().runUntil([] { return false; }, seconds);
    }
    demo::DemoService service;
};

TEST_F(ImageLoadingTest, TheLatestRequestWinsAndHitsSkipThePlaceholder) {
    auto view = std::make_shared<FakeImageView>();
    // A slow first picture, then at once another: only the second is shown.
    view->setImageWithURL(url("/images/slow/300/first.png"), placeholder());
    view->setImageWithURL(url("/images/png/second.png"), placeholder());
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return idle(view); }, 10));
    settle(0.5);  // the cancelled load has had time to end
    ASSERT_TRUE(view->current());
    EXPECT_EQ(view->current()->width(), 48);
    EXPECT_TRUE(view->onMain);
    for (const auto& shown : view->shown)
        EXPECT_TRUE(shown == placeholder() || shown == view->current());
    EXPECT_FALSE(AFImageView::af_sharedImageCache().cachedImageForRequest(
        plat::UrlRequest(url("/images/slow/300/first.png"))));

    // A hit: the cached image at once, no placeholder, no request.
    const auto hitCount = requestsFor("/images/png/second.png");
    auto other = std::make_shared<FakeImageView>();
    other->setImageWithURL(url("/images/png/second.png"), placeholder());
    ASSERT_EQ(other->shown.size(), 1U);
    EXPECT_EQ(other->shown[0], view->current());
    EXPECT_TRUE(idle(other));
    // With a success block the view is left to the block.
    int handed = 0;
    other->setImageWithURLRequest(
        plat::UrlRequest(url("/images/png/second.png")), placeholder(),
        [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>& response,
            const Ref<plat::Image>& image) {
            ++handed;
            EXPECT_FALSE(response);
            EXPECT_EQ(image, view->current());
        },
        nullptr);
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(other->shown.size(), 1U);
    EXPECT_EQ(requestsFor("/images/png/second.png"), hitCount);

    // Ignoring local data goes to the network, and still stores the result.
    plat::UrlRequest reload(url("/images/png/second.png"));
    reload.setCachePolicy(plat::UrlRequest::CachePolicy::ReloadIgnoringLocalCacheData);
    other->setImageWithURLRequest(reload, placeholder(), nullptr, nullptr);
    EXPECT_EQ(other->current(), placeholder());
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return idle(other); }, 10));
    EXPECT_EQ(requestsFor("/images/png/second.png"), hitCount + 1);
    EXPECT_NE(other->current(), view->current());  // a new decoding, now the cached one
    EXPECT_EQ(AFImageView::af_sharedImageCache().cachedImageForRequest(
                  plat::UrlRequest(url("/images/png/second.png"))),
              other->current());
}

TEST_F(ImageLoadingTest, FailuresKeepThePlaceholderAndDecodingLeavesTheMainThread) {
    struct Case {
        const char* path;
        bool succeeds;  // the success path, with or without a picture
    };
    const Case cases[] = {
        {"/images/missing/m.png", false},        {"/images/webp/w.webp", false},
        {"/images/wrong-type/t.png", false},     {"/images/empty/e.png", true},
        {"/images/hostile/truncated.png", true}, {"/images/hostile/truncated.jpg", true},
        {"/images/hostile/huge.png", true},      {"/images/hostile/zero.png", true},
    };
    const size_t arenaBefore = static_cast<size_t>(mallinfo2().uordblks);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto view = std::make_shared<FakeImageView>();
        int successes = 0, failures = 0;
        view->setImageWithURLRequest(
            plat::UrlRequest(url(c.path)), placeholder(),
            [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                const Ref<plat::Image>& image) {
                ++successes;
                EXPECT_FALSE(image);
            },
            [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                const Ref<plat::Error>& error) {
                ++failures;
                EXPECT_TRUE(error);
            });
        ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return idle(view); }, 10));
        EXPECT_EQ(successes, c.succeeds ? 1 : 0);
        EXPECT_EQ(failures, c.succeeds ? 0 : 1);
        EXPECT_EQ(view->current(), placeholder());
        EXPECT_FALSE(AFImageView::af_sharedImageCache().cachedImageForRequest(
            plat::UrlRequest(url(c.path))));
    }
    EXPECT_LT(static_cast<size_t>(mallinfo2().uordblks), arenaBefore + (size_t{32} << 20));

    // The decoder says why (the huge header is refused before anything is allocated).
    auto huge = AFImageRequestOperation::operationWithRequest<AFImageRequestOperation>(
        plat::UrlRequest(url("/images/hostile/huge.png")));
    bool handed = false;
    huge->setCompletionBlockWithSuccess(
        [&](const Ref<AFHTTPRequestOperation>&, const Ref<plat::Image>& image) { handed = !image; },
        nullptr);
    huge->start();
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return huge->decodeError() != nullptr; }, 10));
    EXPECT_EQ(huge->decodeError()->domain(), plat::kImageErrorDomain);
    EXPECT_EQ(huge->decodeError()->code(), 3);

    // A good picture is decoded neither on the main thread nor on the network thread.
    auto good = AFImageRequestOperation::operationWithRequest<AFImageRequestOperation>(
        plat::UrlRequest(url("/images/jpeg/good.jpg")));
    bool shownOnMain = false;
    good->setCompletionBlockWithSuccess(
        [&](const Ref<AFHTTPRequestOperation>&, const Ref<plat::Image>& image) {
            shownOnMain = image && plat::RunLoop::isMainThread();
        },
        nullptr);
    good->start();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return shownOnMain; }, 10));
    std::optional<bool> offMainAndNetwork;
    auto processing = AFImageRequestOperation::imageRequestOperationWithRequest(
        plat::UrlRequest(url("/images/png/processed.png")),
        [&](const Ref<plat::Image>& image) {
            offMainAndNetwork = !plat::RunLoop::isMainThread() &&
                                !AFURLConnectionOperation::networkRequestThread().isCurrent();
            return image;
        },
        [&](const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
            const Ref<plat::Image>&) {},
        nullptr);
    processing->start();
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return offMainAndNetwork.has_value(); }, 10));
    EXPECT_TRUE(*offMainAndNetwork);
}

TEST_F(ImageLoadingTest, TheCacheIsBoundedByDecodedBytesAndDropsTheLeastRecentlyUsed) {
    AFImageCache cache;
    cache.setTotalCostLimit(3 * 48 * 48 * 4);
    auto image = [&](const std::string& name) {
        auto view = std::make_shared<FakeImageView>();
        view->setImageWithURL(url("/images/png/" + name + ".png"));
        plat::RunLoop::current().runUntil([&] { return idle(view); }, 10);
        return view->current();
    };
    auto request = [&](const std::string& name) {
        return plat::UrlRequest(url("/images/png/" + name + ".png"));
    };
    for (const char* name : {"a", "b", "c"})
        cache.cacheImage(image(name), request(name));
    EXPECT_EQ(cache.count(), 3U);
    EXPECT_TRUE(cache.cachedImageForRequest(request("a")));  // a is now the most recent
    cache.cacheImage(image("d"), request("d"));
    EXPECT_EQ(cache.count(), 3U);
    EXPECT_FALSE(cache.cachedImageForRequest(request("b")));
    EXPECT_TRUE(cache.cachedImageForRequest(request("a")));
    EXPECT_EQ(cache.totalCost(), uint64_t{3} * 48 * 48 * 4);
    // One key per URL text whatever the headers; a picture over the bound is not kept.
    plat::UrlRequest withHeader = request("a");
    withHeader.setValueForHttpHeaderField("x", "X-Other");
    EXPECT_TRUE(cache.cachedImageForRequest(withHeader));
    cache.setTotalCostLimit(100);
    EXPECT_EQ(cache.count(), 0U);
    cache.cacheImage(image("e"), request("e"));
    EXPECT_EQ(cache.count(), 0U);
}

}  // namespace
