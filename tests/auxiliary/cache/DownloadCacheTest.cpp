// The download cache under the real request engine against the demo service: keys and file
// names, what is stored and what is served under each policy, revalidation with 304, the two
// stores across roots, and stores cut short.
#include <gtest/gtest.h>

#include "auxiliary/cache/ASIDownloadCache.h"
#include "demo-service/DemoHttpClientRoutes.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "platform/storage/ScopedEnvironment.h"

namespace {

class DownloadCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::registerHttpClientRoutes(service);
        ASSERT_TRUE(service.start());
        root = testing_support::freshTestFolder() / "cache";
        cache = std::make_shared<ASIDownloadCache>();
        cache->setStoragePath(root);
    }
    plat::Url url(const std::string& pathAndQuery) {
        return *plat::Url::parse(service.baseUrl() + pathAndQuery);
    }
    // A synchronous GET through the cache: the body, or nothing when it failed.
    Ref<ASIHTTPRequest> get(const std::string& pathAndQuery, int32_t policy = 0,
                            int32_t storage = StorageForSession) {
        auto request = ASIHTTPRequest::requestWithURL(url(pathAndQuery));
        request->setDownloadCache(cache);
        request->setCachePolicy(policy);
        request->setCacheStoragePolicy(storage);
        request->startSynchronous();
        return request;
    }
    size_t hits(const std::string& path) {
        size_t n = 0;
        for (const auto& r : service.requests())
            n += r.path == path;
        return n;
    }
    demo::DemoService service;
    std::filesystem::path root;
    Ref<ASIDownloadCache> cache;
};

TEST(DownloadCacheNames, KeysAndExtensions) {
    auto key = [](const char* text) {
        return *ASIDownloadCache::keyForURL(*plat::Url::parse(text));
    };
    EXPECT_EQ(key("http://h.test/a/"), key("http://h.test/a"));
    EXPECT_NE(key("http://h.test/a//"), key("http://h.test/a"));
    EXPECT_NE(key("http://h.test/a?x=1"), key("http://h.test/a"));
    EXPECT_EQ(key("http://h.test/a").size(), 32U);
    EXPECT_EQ(key("http://h.test/a").find_first_of("abcdef"), std::string::npos);
}

TEST_F(DownloadCacheTest, WhatIsStoredAndWhatIsServed) {
    // Only good statuses are stored, under the names the rules give.
    get("/cached/page.PHP?cc=max-age%3D600");
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(url("/cached/page.PHP?cc=max-age%3D600"))
                    ->string()
                    .ends_with(".html"));
    get("/cached/pic.PNG?cc=max-age%3D600");
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(url("/cached/pic.PNG?cc=max-age%3D600"))
                    ->string()
                    .ends_with(".PNG"));
    for (const char* status : {"404", "500"}) {
        const std::string path = std::string("/cached/bad?status=") + status;
        get(path);
        EXPECT_FALSE(cache->pathToCachedResponseHeadersForURL(url(path))) << status;
    }
    get("/cached/secret?cc=no-store");
    EXPECT_FALSE(cache->cachedResponseHeadersForURL(url("/cached/secret?cc=no-store")));
    cache->shouldRespectCacheControlHeaders = false;
    get("/cached/secret?cc=no-store");
    EXPECT_TRUE(cache->cachedResponseHeadersForURL(url("/cached/secret?cc=no-store")));
    cache->shouldRespectCacheControlHeaders = true;

    // Fresh data is served without the network (policy 4, the default).
    EXPECT_EQ(cache->defaultCachePolicy(), 4);
    cache->setDefaultCachePolicy(0);
    EXPECT_EQ(cache->defaultCachePolicy(), 4);
    const std::string fresh = "/cached/fresh?cc=max-age%3D600";
    get(fresh);
    auto again = get(fresh);
    EXPECT_TRUE(again->didUseCachedResponse());
    EXPECT_EQ(again->responseString(), "cached /cached/fresh");
    EXPECT_EQ(hits("/cached/fresh"), 1U);

    // Stale data is revalidated: a 304 makes it current and it is served.
    const std::string stale = "/cached/stale?cc=max-age%3D0";
    get(stale);
    auto revalidated = get(stale, CachePolicyRevalidateAlways);
    EXPECT_EQ(revalidated->responseString(), "cached /cached/stale");
    EXPECT_TRUE(revalidated->didUseCachedResponse());
    EXPECT_EQ(service.requests().back().header("If-None-Match"), "\"v1\"");
    // Policy 16 serves stale data at once; 32 claims the cache even with nothing stored.
    const size_t before = hits("/cached/stale");
    EXPECT_TRUE(get(stale, CachePolicyUseCachedIfPresent)->didUseCachedResponse());
    EXPECT_EQ(hits("/cached/stale"), before);
    auto never = ASIHTTPRequest::requestWithURL(url("/never"));
    never->setCachePolicy(CachePolicyRevalidateWhenStale);
    EXPECT_FALSE(cache->canUseCachedDataForRequest(*never));
    never->setCachePolicy(CachePolicyNeverLoad);
    EXPECT_TRUE(cache->canUseCachedDataForRequest(*never));

    // A failing load falls back to stored data with policy 64.
    const std::string kept = "/cached/kept?cc=max-age%3D0";
    get(kept, 0, StoragePermanent);
    service.stop();
    auto fallback =
        get(kept, CachePolicyFallbackOnFailure | CachePolicyRevalidateAlways, StoragePermanent);
    EXPECT_FALSE(fallback->error());
    EXPECT_EQ(fallback->responseString(), "cached /cached/kept");
}

TEST_F(DownloadCacheTest, RootsStoresAndStoresCutShort) {
    get("/cached/session?cc=max-age%3D600");
    get("/cached/permanent?cc=max-age%3D600", 0, StoragePermanent);
    const auto newRoot = root.parent_path() / "other";
    cache->setStoragePath(newRoot);
    EXPECT_TRUE(plat::FileManager::contentsOfDirectory(root / "SessionStore").empty());
    EXPECT_EQ(plat::FileManager::contentsOfDirectory(root / "PermanentStore").size(), 2U);
    cache->setStoragePath(root);
    EXPECT_TRUE(cache->cachedResponseHeadersForURL(url("/cached/permanent?cc=max-age%3D600")));
    EXPECT_FALSE(cache->cachedResponseHeadersForURL(url("/cached/session?cc=max-age%3D600")));

    // A body without its headers (a store cut short) is never served.
    const std::string cut = "/cached/cut?cc=max-age%3D600";
    get(cut);
    plat::FileManager::removeItem(*cache->pathToCachedResponseHeadersForURL(url(cut)));
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(url(cut)));
    EXPECT_FALSE(get(cut)->didUseCachedResponse());

    // A file where a store folder must go.
    const auto blocked = root.parent_path() / "blocked";
    plat::Paths::createDirectories(blocked);
    plat::AtomicFile::write(blocked / "SessionStore", plat::Bytes{1});
    try {
        cache->setStoragePath(blocked);
        ADD_FAILURE() << "no exception";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.name(), "FileExistsAtCachePath");
    }
}

}  // namespace
