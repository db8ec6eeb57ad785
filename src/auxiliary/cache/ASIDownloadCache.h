#pragma once
// ASIDownloadCache: the request engine's on-disk response cache. Responses live under a root
// folder in a session store (emptied whenever a root is set) and a permanent store, each as a
// headers property list and a body file named by the MD5 of the URL. A response is stored body
// first, then headers, each written whole to a temporary file and renamed, and the old headers
// are removed before a new body goes in: a store cut short is never served.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "external/ASICacheDelegate.h"
#include "external/ASIHTTPRequest.h"

// A request's cache policy, a bit set as this cache reads it.
enum ASICachePolicy : int32_t {
    CachePolicyUseDefault = 0,
    CachePolicyNoRead = 1,
    CachePolicyNoWrite = 2,
    CachePolicyRevalidateWhenStale = 4,
    CachePolicyRevalidateAlways = 8,
    CachePolicyUseCachedIfPresent = 16,
    CachePolicyNeverLoad = 32,
    CachePolicyFallbackOnFailure = 64,
    // Older names of the same values.
    ASIUseDefaultCachePolicy = CachePolicyUseDefault,
    ASIDoNotReadFromCacheCachePolicy = CachePolicyNoRead,
    ASIDoNotWriteToCacheCachePolicy = CachePolicyNoWrite,
    ASIAskServerIfModifiedWhenStaleCachePolicy = CachePolicyRevalidateWhenStale,
    ASIAskServerIfModifiedCachePolicy = CachePolicyRevalidateAlways,
    ASIOnlyLoadIfNotCachedCachePolicy = CachePolicyUseCachedIfPresent,
    ASIDontLoadCachePolicy = CachePolicyNeverLoad,
    ASIFallbackToCacheIfLoadFailsCachePolicy = CachePolicyFallbackOnFailure,
};

// Where a response is stored: 0 the session store, any other value the permanent store.
enum ASICacheStoragePolicy : int32_t {
    StorageForSession = 0,
    StoragePermanent = 1,
    // Older names of the same values.
    ASICacheForSessionDurationCacheStoragePolicy = StorageForSession,
    ASICachePermanentlyCacheStoragePolicy = StoragePermanent,
};

class ASIDownloadCache : public ASICacheDelegate {
  public:
    ASIDownloadCache();
    static Ref<ASIDownloadCache> sharedCache();
    static std::optional<std::string> keyForURL(const plat::Url& url);
    static const std::vector<std::string>& fileExtensionsToHandleAsHTML();
    static bool serverAllowsResponseCachingForRequest(const ASIHTTPRequest& request);

    int32_t defaultCachePolicy() override;
    void setDefaultCachePolicy(int32_t policy);
    bool canUseCachedDataForRequest(ASIHTTPRequest& request) override;
    bool isCachedDataCurrentForRequest(ASIHTTPRequest& request) override;
    void storeResponseForRequest(ASIHTTPRequest& request, double maxAge) override;
    void updateExpiryForRequest(ASIHTTPRequest& request, double maxAge) override;
    Ref<plat::Dictionary> cachedResponseHeadersForURL(const plat::Url& url) override;
    std::optional<plat::Bytes> cachedResponseDataForURL(const plat::Url& url) override;
    std::optional<std::filesystem::path> pathToCachedResponseDataForURL(
        const plat::Url& url) override;
    std::optional<std::filesystem::path> pathToCachedResponseHeadersForURL(
        const plat::Url& url) override;
    void removeCachedDataForURL(const plat::Url& url) override;
    void removeCachedDataForRequest(ASIHTTPRequest& request) override;
    // Raises "FailedToTraverseCacheDirectory" or "FailedToRemoveCacheFile" when the store
    // cannot be emptied.
    void clearCachedResponsesForStoragePolicy(int32_t storagePolicy) override;

    std::optional<std::filesystem::path> pathToFile(const std::string& fileName);
    std::optional<std::filesystem::path> pathToStoreCachedResponseHeadersForRequest(
        const ASIHTTPRequest& request);
    std::optional<std::filesystem::path> pathToStoreCachedResponseDataForRequest(
        const ASIHTTPRequest& request);

    std::optional<std::filesystem::path> storagePath();
    // Raises "FileExistsAtCachePath" or "FailedToCreateCacheDirectory" when a store folder
    // cannot be made.
    void setStoragePath(std::filesystem::path path);
    bool shouldRespectCacheControlHeaders = true;

  private:
    static std::string dataExtension(const plat::Url& url);

    std::recursive_mutex accessLock_;
    std::optional<std::filesystem::path> storagePath_;
    int32_t defaultCachePolicy_ = CachePolicyRevalidateWhenStale;
};
