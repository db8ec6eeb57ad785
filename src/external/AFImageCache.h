#pragma once
// AFImageCache: decoded images in memory by the absolute text of their request's URL (headers,
// method and policy do not count). Bounded by decoded bytes (width x height x 4, 128 MB unless
// set): storing past the bound drops the least recently used images; an image larger than the
// bound is not kept. Requests that ignore local data (cache policies 1 and 4) always miss.
// Thread-safe.
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/image/Image.h"
#include "platform/net/UrlRequest.h"

class AFImageCache {
  public:
    static constexpr uint64_t kDefaultTotalCostLimit = uint64_t{128} << 20;

    static std::string keyFromURLRequest(const plat::UrlRequest& request);
    static uint64_t costOfImage(const plat::Image& image);

    Ref<plat::Image> cachedImageForRequest(const plat::UrlRequest& request);
    // Replaces an earlier image of the same key; a null image is not stored.
    void cacheImage(const Ref<plat::Image>& image, const plat::UrlRequest& request);

    uint64_t totalCostLimit() const;
    void setTotalCostLimit(uint64_t limit);
    uint64_t totalCost() const;
    size_t count() const;
    void removeAllObjects();

  private:
    struct Entry {
        std::string key;
        Ref<plat::Image> image;
        uint64_t cost = 0;
    };
    void evictLocked();

    mutable std::mutex mutex_;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    uint64_t totalCost_ = 0;
    uint64_t limit_ = kDefaultTotalCostLimit;
};
