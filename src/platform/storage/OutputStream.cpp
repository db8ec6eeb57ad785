#include "platform/storage/OutputStream.h"

#include "platform/storage/FileHandle.h"

namespace plat {
namespace {

class MemoryOutputStream final : public OutputStream {
  public:
    bool open() override {
        if (streamStatus() == Status::NotOpen) {
            setStatus(Status::Open);
            signal();
        }
        return true;
    }
    int64_t write(const uint8_t* buffer, size_t length) override {
        if (streamStatus() != Status::Open)
            return -1;
        data_.insert(data_.end(), buffer, buffer + length);
        countWritten(length);
        signal();
        return static_cast<int64_t>(length);
    }
    Bytes dataWrittenToMemory() const override { return data_; }
    bool writesToMemory() const override { return true; }

  private:
    Bytes data_;
};

class FileOutputStream final : public OutputStream {
  public:
    FileOutputStream(std::filesystem::path path, bool append)
        : path_(std::move(path)), append_(append) {}
    bool open() override {
        if (streamStatus() != Status::NotOpen)
            return streamStatus() != Status::Error;
        Ref<Error> error;
        file_ = FileHandle::openForWriting(path_, append_, &error);
        if (!file_) {
            setError(error);
            signal();
            return false;
        }
        setStatus(Status::Open);
        signal();
        return true;
    }
    void close() override {
        OutputStream::close();
        file_.reset();
    }
    int64_t write(const uint8_t* buffer, size_t length) override {
        if (streamStatus() != Status::Open || !file_)
            return -1;
        if (auto error = file_->writeData({buffer, length})) {
            setError(error);
            signal();
            return -1;
        }
        countWritten(length);
        signal();
        return static_cast<int64_t>(length);
    }
    uint64_t currentOffset() const override { return file_ ? file_->offsetInFile() : 0; }

  private:
    std::filesystem::path path_;
    bool append_;
    std::unique_ptr<FileHandle> file_;
};

}  // namespace

Ref<OutputStream> OutputStream::outputStreamToFileAtPath(const std::filesystem::path& path,
                                                         bool append) {
    return std::make_shared<FileOutputStream>(path, append);
}

Ref<OutputStream> OutputStream::outputStreamToMemory() {
    return std::make_shared<MemoryOutputStream>();
}

bool OutputStream::hasSpaceAvailable() const {
    return streamStatus() == Status::Open;
}

Stream::Event OutputStream::pendingEvent() {
    const Status status = streamStatus();
    if (status == Status::Error) {
        if (errorReported_)
            return None;
        errorReported_ = true;
        return ErrorOccurred;
    }
    if (status != Status::Open)
        return None;
    if (!openReported_) {
        openReported_ = true;
        return OpenCompleted;
    }
    if (spaceReportedAt_ == bytesWritten_)
        return None;
    spaceReportedAt_ = bytesWritten_;
    return HasSpaceAvailable;
}

bool OutputStream::askAgain(Event delivered) {
    return delivered != HasSpaceAvailable || spaceReportedAt_ != bytesWritten_;
}

}  // namespace plat
