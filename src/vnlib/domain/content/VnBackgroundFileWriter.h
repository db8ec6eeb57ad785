#pragma once
// VnBackgroundFileWriter: appends to one file through a handle it keeps open until flushed. The
// cache asset's appends are written at once on the calling thread; the writing queue (one
// operation at a time) exists for queued appends and tells the delegate on the main thread when
// it has run dry.
#include <filesystem>
#include <memory>

#include "platform/runloop/Operation.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/storage/FileHandle.h"
#include "vnlib/dev/util/VndObject.h"

class VnBackgroundFileWriter;

class VnBackgroundFileWriterDelegate {
  public:
    virtual ~VnBackgroundFileWriterDelegate() = default;
    virtual void fileWriterDidFinishWriting(VnBackgroundFileWriter& writer) = 0;
};

// One queued append: writes its bytes at the end of the writer's file.
class VnBackgroundFileWriterOperation : public plat::Operation {
  public:
    VnBackgroundFileWriterOperation(WeakRef<VnBackgroundFileWriter> writer, plat::Bytes bytes)
        : writer_(std::move(writer)), bytes_(std::move(bytes)) {}
    void main() override;

  private:
    WeakRef<VnBackgroundFileWriter> writer_;
    plat::Bytes bytes_;
};

class VnBackgroundFileWriter : public VndObject {
    PLAT_CLASS(VnBackgroundFileWriter)
  public:
    explicit VnBackgroundFileWriter(std::filesystem::path filePath);
    ~VnBackgroundFileWriter() override;

    const std::filesystem::path& filePath() const { return filePath_; }
    // Appends every byte at the end of the file (made empty first when missing), or answers why
    // it could not.
    Ref<plat::Error> appendData(std::span<const uint8_t> bytes);
    // Queues an append on the writing queue.
    void appendDataInBackground(plat::Bytes bytes);
    // The file's size; 0 when it cannot be opened.
    uint64_t currentFileSize();
    // Flushes the file to the disk and closes it; a later append opens it again.
    void flushWritingCache();
    // Waits for the queued appends, then flushes.
    void waitUntilFinished();

    const WeakRef<VnBackgroundFileWriterDelegate>& delegate() const { return delegate_; }
    void setDelegate(WeakRef<VnBackgroundFileWriterDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

  private:
    plat::FileHandle* handle(Ref<plat::Error>* error);

    std::unique_ptr<plat::FileHandle> fileHandle_;
    std::filesystem::path filePath_;
    Ref<plat::OperationQueue> writeQueue_;
    WeakRef<VnBackgroundFileWriterDelegate> delegate_;
    bool observingQueue_ = false;
    std::mutex lock_;
};
