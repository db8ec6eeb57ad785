#include "external/AFImageCache.h"

std::string AFImageCache::keyFromURLRequest(const plat::UrlRequest& request) {
    return request.url().absoluteString();
}

uint64_t AFImageCache::costOfImage(const plat::Image& image) {
    return static_cast<uint64_t>(std::max(image.width(), 0)) *
           static_cast<uint64_t>(std::max(image.height(), 0)) * 4;
}

Ref<plat::Image> AFImageCache::cachedImageForRequest(const plat::UrlRequest& request) {
    using Policy = plat::UrlRequest::CachePolicy;
    const Policy policy = request.cachePolicy();
    if (policy == Policy::ReloadIgnoringLocalCacheData ||
        policy == Policy::ReloadIgnoringLocalAndRemoteCacheData) {
        return nullptr;
    }
    std::lock_guard guard(mutex_);
    const auto it = index_.find(keyFromURLRequest(request));
    if (it == index_.end())
        return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->image;
}

void AFImageCache::cacheImage(const Ref<plat::Image>& image, const plat::UrlRequest& request) {
    if (!image)
        return;
    const std::string key = keyFromURLRequest(request);
    const uint64_t cost = costOfImage(*image);
    std::lock_guard guard(mutex_);
    if (const auto it = index_.find(key); it != index_.end()) {
        totalCost_ -= it->second->cost;
        entries_.erase(it->second);
        index_.erase(it);
    }
    if (cost > limit_)
        return;
    entries_.push_front(Entry{key, image, cost});
    index_[key] = entries_.begin();
    totalCost_ += cost;
    evictLocked();
}

void AFImageCache::evictLocked() {
    while (totalCost_ > limit_ && !entries_.empty()) {
        const Entry& oldest = entries_.back();
        totalCost_ -= oldest.cost;
        index_.erase(oldest.key);
        entries_.pop_back();
    }
}

uint64_t AFImageCache::totalCostLimit() const {
    std::lock_guard guard(mutex_);
    return limit_;
}

void AFImageCache::setTotalCostLimit(uint64_t limit) {
    std::lock_guard guard(mutex_);
    limit_ = limit;
    evictLocked();
}

uint64_t AFImageCache::totalCost() const {
    std::lock_guard guard(mutex_);
    return totalCost_;
}

size_t AFImageCache::count() const {
    std::lock_guard guard(mutex_);
    return entries_.size();
}

void AFImageCache::removeAllObjects() {
    std::lock_guard guard(mutex_);
    entries_.clear();
    index_.clear();
    totalCost_ = 0;
}
