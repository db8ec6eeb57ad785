#include "external/ASIInputStream.h"

#include <algorithm>

#include "external/ASIHTTPRequest.h"

namespace {

// Serialises the size decision and the throttling of every body stream.
std::mutex& readLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

ASIInputStream::ASIInputStream(Private, Ref<plat::InputStream> stream,
                               const Ref<ASIHTTPRequest>& request)
    : stream_(std::move(stream)), request_(request) {}

Ref<ASIInputStream> ASIInputStream::inputStreamWithFileAtPath(const std::string& path,
                                                              const Ref<ASIHTTPRequest>& request) {
    return std::make_shared<ASIInputStream>(
        Private{}, plat::InputStream::inputStreamWithFileAtPath(path), request);
}

Ref<ASIInputStream> ASIInputStream::inputStreamWithData(plat::Bytes data,
                                                        const Ref<ASIHTTPRequest>& request) {
    return std::make_shared<ASIInputStream>(
        Private{}, plat::InputStream::inputStreamWithData(std::move(data)), request);
}

int64_t ASIInputStream::read(uint8_t* buffer, size_t length) {
    size_t toRead = length;
    {
        std::lock_guard lock(readLock());
        if (ASIHTTPRequest::isBandwidthThrottled()) {
            toRead = static_cast<size_t>(
                std::min<uint64_t>(ASIHTTPRequest::maxUploadReadLength(), length));
            if (auto owner = request())
                owner->performThrottlingOnStreamLoop();
        }
    }
    // With the window spent nothing is read; the stream still has bytes, so its reader waits
    // (the stream layer pauses the sending until the next window) instead of ending the body.
    if (toRead == 0 && length > 0)
        return 0;
    const int64_t n = stream_->read(buffer, toRead);
    if (n > 0) {
        ASIHTTPRequest::incrementBandwidthUsedInLastSecond(static_cast<uint64_t>(n));
        countRead(static_cast<uint64_t>(n));
    }
    return n;
}
