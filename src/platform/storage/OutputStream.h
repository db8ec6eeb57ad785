#pragma once
// plat::OutputStream: bytes written in pieces, to a file (appended or replacing it) or to
// memory. write() answers the count written or -1 on an error (a full disk, a file-size limit;
// see streamError()). Scheduled on a loop, a stream reports HasSpaceAvailable once open and
// again after each write.
#include <cstdint>
#include <filesystem>

#include "platform/core/Value.h"
#include "platform/storage/Stream.h"

namespace plat {

class OutputStream : public Stream {
  public:
    static Ref<OutputStream> outputStreamToFileAtPath(const std::filesystem::path& path,
                                                      bool append);
    static Ref<OutputStream> outputStreamToMemory();

    virtual int64_t write(const uint8_t* buffer, size_t length) = 0;
    bool hasSpaceAvailable() const;
    // Bytes written so far.
    uint64_t bytesWritten() const { return bytesWritten_; }
    // Memory streams: every byte written so far (the data-written-to-memory property).
    virtual Bytes dataWrittenToMemory() const { return {}; }
    virtual bool writesToMemory() const { return false; }
    // File streams: the offset in the file (the current-offset property).
    virtual uint64_t currentOffset() const { return bytesWritten_; }

  protected:
    OutputStream() = default;
    void countWritten(uint64_t bytes) { bytesWritten_ += bytes; }
    Event pendingEvent() override;
    bool askAgain(Event delivered) override;

  private:
    uint64_t bytesWritten_ = 0;
    uint64_t spaceReportedAt_ = UINT64_MAX;
    bool openReported_ = false;
    bool errorReported_ = false;
};

}  // namespace plat
