#pragma once
// ASICacheDelegate: what the request engine asks of a response cache. The engine calls these
// hooks when a request has a cache (none is installed by the program); the download cache of
// the auxiliary components implements them.
#include <filesystem>
#include <optional>

#include "platform/core/Collections.h"
#include "platform/net/Url.h"

class ASIHTTPRequest;

class ASICacheDelegate {
  public:
    virtual ~ASICacheDelegate() = default;
    // The policy a request with policy 0 takes.
    virtual int32_t defaultCachePolicy() = 0;
    virtual bool canUseCachedDataForRequest(ASIHTTPRequest& request) = 0;
    virtual bool isCachedDataCurrentForRequest(ASIHTTPRequest& request) = 0;
    virtual void storeResponseForRequest(ASIHTTPRequest& request, double maxAge) = 0;
    virtual void updateExpiryForRequest(ASIHTTPRequest& request, double maxAge) = 0;
    virtual Ref<plat::Dictionary> cachedResponseHeadersForURL(const plat::Url& url) = 0;
    virtual std::optional<plat::Bytes> cachedResponseDataForURL(const plat::Url& url) = 0;
    virtual std::optional<std::filesystem::path> pathToCachedResponseDataForURL(
        const plat::Url& url) = 0;
    virtual std::optional<std::filesystem::path> pathToCachedResponseHeadersForURL(
        const plat::Url& url) = 0;
    virtual void removeCachedDataForURL(const plat::Url& url) = 0;
    virtual void removeCachedDataForRequest(ASIHTTPRequest& request) = 0;
    // Storage policies: 0 session, 1 permanent.
    virtual void clearCachedResponsesForStoragePolicy(int32_t storagePolicy) = 0;
};
