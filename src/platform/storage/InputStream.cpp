#include "platform/storage/InputStream.h"

#include <algorithm>
#include <cstring>

#include "platform/storage/FileHandle.h"

namespace plat {
namespace {

// File and memory streams: everything is there at once, so the events follow from the state.
class LocalInputStream : public InputStream {
  protected:
    bool open() override {
        if (streamStatus() != Status::NotOpen)
            return streamStatus() != Status::Error;
        if (!openSource())
            return false;
        setStatus(Status::Open);
        signal();
        return true;
    }
    void close() override {
        InputStream::close();
        closeSource();
    }
    int64_t read(uint8_t* buffer, size_t length) override {
        const Status status = streamStatus();
        if (status == Status::Error)
            return -1;
        if (status != Status::Open && status != Status::AtEnd)
            return status == Status::Closed ? 0 : -1;
        const int64_t n = readSource(buffer, length);
        if (n < 0)
            return -1;
        countRead(static_cast<uint64_t>(n));
        if (atEndOfSource())
            setStatus(Status::AtEnd);
        return n;
    }
    Event pendingEvent() override {
        const Status status = streamStatus();
        if (status == Status::Error) {
            if (endReported_)
                return None;
            endReported_ = true;
            return ErrorOccurred;
        }
        if (!openReported_) {
            openReported_ = true;
            return OpenCompleted;
        }
        if ((status == Status::AtEnd || (status == Status::Open && atEndOfSource())) &&
            !endReported_) {
            endReported_ = true;
            setStatus(Status::AtEnd);
            return EndEncountered;
        }
        if (status == Status::Open && !atEndOfSource()) {
            readBefore_ = bytesRead();
            return HasBytesAvailable;
        }
        return None;
    }
    bool askAgain(Event delivered) override {
        return delivered != HasBytesAvailable || bytesRead() != readBefore_ || atEndOfSource() ||
               streamStatus() == Status::Error;
    }

    virtual bool openSource() = 0;
    virtual void closeSource() {}
    virtual int64_t readSource(uint8_t* buffer, size_t length) = 0;
    virtual bool atEndOfSource() const = 0;

  private:
    bool openReported_ = false;
    bool endReported_ = false;
    uint64_t readBefore_ = 0;
};

class MemoryInputStream final : public LocalInputStream {
  public:
    explicit MemoryInputStream(Bytes data) : data_(std::move(data)) {}
    bool hasBytesAvailable() const override { return position_ < data_.size(); }
    Ref<InputStream> copyStream() const override {
        return std::make_shared<MemoryInputStream>(data_);
    }

  private:
    bool openSource() override { return true; }
    int64_t readSource(uint8_t* buffer, size_t length) override {
        const size_t n = std::min(length, data_.size() - position_);
        if (n > 0)
            std::memcpy(buffer, data_.data() + position_, n);
        position_ += n;
        return static_cast<int64_t>(n);
    }
    bool atEndOfSource() const override { return position_ >= data_.size(); }

    Bytes data_;
    size_t position_ = 0;
};

class FileInputStream final : public LocalInputStream {
  public:
    explicit FileInputStream(std::filesystem::path path) : path_(std::move(path)) {}
    bool hasBytesAvailable() const override { return !end_; }
    Ref<InputStream> copyStream() const override {
        return std::make_shared<FileInputStream>(path_);
    }

  private:
    bool openSource() override {
        Ref<Error> error;
        file_ = FileHandle::openForReading(path_, &error);
        if (!file_) {
            setError(error);
            signal();
            return false;
        }
        return true;
    }
    void closeSource() override { file_.reset(); }
    int64_t readSource(uint8_t* buffer, size_t length) override {
        if (length == 0)
            return 0;
        Ref<Error> error;
        const int64_t n = file_ ? file_->readInto(buffer, length, &error) : -1;
        if (n < 0) {
            setError(error ? error : Error::make("NSPOSIXErrorDomain", 9));
            signal();
            return -1;
        }
        end_ = n == 0;
        return n;
    }
    bool atEndOfSource() const override { return end_; }

    std::filesystem::path path_;
    std::unique_ptr<FileHandle> file_;
    bool end_ = false;
};

}  // namespace

Ref<InputStream> InputStream::inputStreamWithFileAtPath(const std::filesystem::path& path) {
    return std::make_shared<FileInputStream>(path);
}

Ref<InputStream> InputStream::inputStreamWithData(Bytes data) {
    return std::make_shared<MemoryInputStream>(std::move(data));
}

}  // namespace plat
