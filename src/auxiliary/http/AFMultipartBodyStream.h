#pragma once
// AFMultipartBodyStream: the input stream of a multipart body, read part by part so that files
// are never held in memory. It is read by polling (no events) from whichever thread sends it;
// reads give at most numberOfBytesInPacket bytes gathered over parts, with an optional pause
// after each piece. A part that fails puts the stream in error (read answers -1, streamError()
// says why), so a body never goes out shorter than its "Content-Length". A copy starts again
// from the first byte; a body holding a caller's stream cannot be copied.
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "auxiliary/http/AFHTTPBodyPart.h"

class AFMultipartBodyStream : public plat::InputStream {
  public:
    explicit AFMultipartBodyStream(uint64_t stringEncoding);
    static Ref<AFMultipartBodyStream> make(uint64_t stringEncoding) {
        return std::make_shared<AFMultipartBodyStream>(stringEncoding);
    }

    uint64_t numberOfBytesInPacket = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    double delay = 0;

    void appendHTTPBodyPart(std::unique_ptr<AFHTTPBodyPart> part);
    bool isEmpty() const { return parts_.empty(); }
    void setInitialAndFinalBoundaries();
    uint64_t contentLength() const;
    uint64_t stringEncoding() const { return stringEncoding_; }
    const std::vector<std::unique_ptr<AFHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }

    bool open() override;
    void close() override;
    int64_t read(uint8_t* buffer, size_t length) override;
    bool hasBytesAvailable() const override;
    Ref<plat::InputStream> copyStream() const override;

  protected:
    Event pendingEvent() override { return None; }

  private:
    uint64_t stringEncoding_;
    std::vector<std::unique_ptr<AFHTTPBodyPart>> parts_;
    size_t next_ = 0;  // the enumerator
    AFHTTPBodyPart* current_ = nullptr;
};
