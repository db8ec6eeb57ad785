#include "auxiliary/http/AFMultipartBodyStream.h"

#include <algorithm>
#include <chrono>
#include <thread>

AFMultipartBodyStream::AFMultipartBodyStream(uint64_t stringEncoding)
    : stringEncoding_(stringEncoding) {}

void AFMultipartBodyStream::appendHTTPBodyPart(std::unique_ptr<AFHTTPBodyPart> part) {
    parts_.push_back(std::move(part));
}

void AFMultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_.empty())
        return;
    for (auto& part : parts_) {
        part->hasInitialBoundary = false;
        part->hasFinalBoundary = false;
    }
    parts_.front()->hasInitialBoundary = true;
    parts_.back()->hasFinalBoundary = true;
}

uint64_t AFMultipartBodyStream::contentLength() const {
    uint64_t length = 0;
    for (const auto& part : parts_)
        length += part->contentLength();
    return length;
}

bool AFMultipartBodyStream::open() {
    if (streamStatus() == Status::Open)
        return true;
    setStatus(Status::Open);
    setInitialAndFinalBoundaries();
    next_ = 0;
    current_ = nullptr;
    return true;
}

void AFMultipartBodyStream::close() {
    Stream::close();
}

bool AFMultipartBodyStream::hasBytesAvailable() const {
    return streamStatus() == Status::Open;
}

int64_t AFMultipartBodyStream::read(uint8_t* buffer, size_t length) {
    if (streamStatus() != Status::Open)
        return streamStatus() == Status::Error ? -1 : 0;
    size_t total = 0;
    const size_t limit = static_cast<size_t>(std::min<uint64_t>(length, numberOfBytesInPacket));
    while (total < limit) {
        if (!current_ || !current_->hasBytesAvailable()) {
            if (current_ && current_->error()) {
                setError(current_->error());
                return -1;
            }
            if (next_ >= parts_.size())
                break;
            current_ = parts_[next_++].get();
            continue;
        }
        const int64_t n = current_->read(buffer + total, length - total);
        if (n < 0) {
            setError(current_->error());
            return -1;
        }
        total += static_cast<size_t>(n);
        if (delay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        // A stream with nothing to give right now: come back later rather than spin.
        if (n == 0 && current_->hasBytesAvailable())
            break;
    }
    countRead(total);
    return static_cast<int64_t>(total);
}

Ref<plat::InputStream> AFMultipartBodyStream::copyStream() const {
    auto copy = make(stringEncoding_);
    for (const auto& part : parts_) {
        auto fresh = part->copy();
        if (!fresh)
            return nullptr;  // a caller's stream cannot be sent twice
        copy->appendHTTPBodyPart(std::move(fresh));
    }
    copy->setInitialAndFinalBoundaries();
    return copy;
}
