#include "vnlib/domain/content/VnBackgroundFileWriter.h"

#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(VnBackgroundFileWriter, VndObject, PLAT_NO_METHODS)

void VnBackgroundFileWriterOperation::main() {
    if (auto writer = writer_.lock())
        writer->appendData(bytes_);
}

VnBackgroundFileWriter::VnBackgroundFileWriter(std::filesystem::path filePath)
    : filePath_(std::move(filePath)),
      writeQueue_(plat::OperationQueue::make("Cache writing queue")) {
    writeQueue_->setMaxConcurrentOperationCount(1);
}

VnBackgroundFileWriter::~VnBackgroundFileWriter() {
    writeQueue_->setBecameEmptyHandler(nullptr);
    writeQueue_->waitUntilAllOperationsAreFinished();
    flushWritingCache();
}

plat::FileHandle* VnBackgroundFileWriter::handle(Ref<plat::Error>* error) {
    if (!fileHandle_)
        fileHandle_ = plat::FileHandle::openForUpdating(filePath_, true, error);
    return fileHandle_.get();
}

Ref<plat::Error> VnBackgroundFileWriter::appendData(std::span<const uint8_t> bytes) {
    std::lock_guard guard(lock_);
    Ref<plat::Error> error;
    plat::FileHandle* file = handle(&error);
    if (!file)
        return error;
    file->seekToEndOfFile();
    return file->writeData(bytes);
}

void VnBackgroundFileWriter::appendDataInBackground(plat::Bytes bytes) {
    if (!observingQueue_) {
        // Tell the delegate on the main thread each time the queue runs dry.
        observingQueue_ = true;
        WeakRef<VnBackgroundFileWriter> weak = self<VnBackgroundFileWriter>();
        writeQueue_->setBecameEmptyHandler([weak] {
            plat::RunLoop::main().post([weak] {
                auto writer = weak.lock();
                if (!writer)
                    return;
                if (auto delegate = writer->delegate_.lock())
                    delegate->fileWriterDidFinishWriting(*writer);
            });
        });
    }
    writeQueue_->addOperation(std::make_shared<VnBackgroundFileWriterOperation>(
        self<VnBackgroundFileWriter>(), std::move(bytes)));
}

uint64_t VnBackgroundFileWriter::currentFileSize() {
    std::lock_guard guard(lock_);
    plat::FileHandle* file = handle(nullptr);
    return file ? file->seekToEndOfFile() : 0;
}

void VnBackgroundFileWriter::flushWritingCache() {
    std::lock_guard guard(lock_);
    if (fileHandle_) {
        fileHandle_->synchronizeFile();
        fileHandle_->closeFile();
        fileHandle_.reset();
    }
}

void VnBackgroundFileWriter::waitUntilFinished() {
    writeQueue_->waitUntilAllOperationsAreFinished();
    flushWritingCache();
}
