#pragma once
// plat::InputStream: bytes read in pieces, from a file or from memory (or, in the networking
// layer, from an HTTP response). read() answers the count read (> 0), 0 when nothing more is
// there now (at the end once the status is AtEnd), or -1 on an error (see streamError()).
// Scheduled on a loop, a file or memory stream reports OpenCompleted, then HasBytesAvailable
// for as long as its client keeps reading, then EndEncountered (or ErrorOccurred).
#include <cstdint>
#include <filesystem>

#include "platform/core/Value.h"
#include "platform/storage/Stream.h"

namespace plat {

class InputStream : public Stream {
  public:
    static Ref<InputStream> inputStreamWithFileAtPath(const std::filesystem::path& path);
    static Ref<InputStream> inputStreamWithData(Bytes data);

    virtual int64_t read(uint8_t* buffer, size_t length) = 0;
    virtual bool hasBytesAvailable() const = 0;
    // Bytes read so far.
    uint64_t bytesRead() const { return bytesRead_; }
    // A new stream, not opened, over the same bytes from their start (file and memory streams);
    // null for streams that cannot be read again.
    virtual Ref<InputStream> copyStream() const { return nullptr; }

  protected:
    InputStream() = default;
    void countRead(uint64_t bytes) { bytesRead_ += bytes; }

  private:
    uint64_t bytesRead_ = 0;
};

}  // namespace plat
