#include "vnlib/domain/content/VnLocalCacheAsset.h"

#include "platform/core/Log.h"
#include "platform/crypto/Random.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "vnlib/domain/VnAssetFormat.h"

PLAT_DEFINE_CLASS(VnLocalCacheAsset, VndObject, PLAT_NO_METHODS)

namespace {

constexpr size_t kCopyChunk = 32768;

}  // namespace

VnLocalCacheAsset::VnLocalCacheAsset(std::filesystem::path filePath, int32_t state)
    : filePath_(std::move(filePath)), state_(state) {
    tempFilePath_ = filePath_;
    tempFilePath_ += ".tmp";
}

VnLocalCacheAsset::~VnLocalCacheAsset() {
    if (fileWriter_)
        fileWriter_->flushWritingCache();
}

std::string VnLocalCacheAsset::cacheFileNameWithAssetId(const VnContentAssetId& assetId) {
    std::string name = assetTypeFromEnumType(assetId.assetType()) + "_" +
                       assetFormatFromEnumType(assetId.format()) + "_" + assetId.assetId();
    if (assetId.width() > 0 && assetId.height() > 0)
        name += plat::format("_%dx%d", assetId.width(), assetId.height());
    return name;
}

uint64_t VnLocalCacheAsset::lengthOfFileContentAtPath(const std::filesystem::path& path) {
    return plat::FileManager::fileSize(path).value_or(0);
}

void VnLocalCacheAsset::examine() {
    if (state_ != VnLocalCacheAssetStateUnexamined)
        return;
    if (plat::FileManager::fileExists(filePath_))
        state_ = VnLocalCacheAssetStateComplete;
    else if (plat::FileManager::fileExists(tempFilePath_))
        state_ = VnLocalCacheAssetStatePartial;
    else
        state_ = VnLocalCacheAssetStateEmpty;
}

int32_t VnLocalCacheAsset::state() {
    examine();
    return state_;
}

int64_t VnLocalCacheAsset::currentLength() {
    examine();
    if (state_ == VnLocalCacheAssetStatePartial) {
        return fileWriter_ ? static_cast<int64_t>(fileWriter_->currentFileSize())
                           : static_cast<int64_t>(lengthOfFileContentAtPath(tempFilePath_));
    }
    if (state_ == VnLocalCacheAssetStateComplete) {
        if (completeDataLength_ < 0)
            completeDataLength_ = static_cast<int64_t>(lengthOfFileContentAtPath(filePath_));
        return completeDataLength_;
    }
    return 0;
}

Ref<plat::Error> VnLocalCacheAsset::appendData(std::span<const uint8_t> bytes) {
    examine();
    if (state_ == VnLocalCacheAssetStateComplete)
        plat::raise(plat::NSInternalInconsistencyException, "Appending data to completed cache");
    if (!fileWriter_) {
        fileWriter_ = std::make_shared<VnBackgroundFileWriter>(tempFilePath_);
        fileWriter_->setDelegate(
            std::static_pointer_cast<VnBackgroundFileWriterDelegate>(self<VnLocalCacheAsset>()));
        state_ = VnLocalCacheAssetStatePartial;
    }
    return fileWriter_->appendData(bytes);
}

Ref<plat::Error> VnLocalCacheAsset::replaceWithData(std::span<const uint8_t> bytes) {
    VND_TRACE("FileSystem", "File replaced: %s", filePath_.c_str());
    if (fileWriter_)
        fileWriter_->waitUntilFinished();
    auto error = plat::AtomicFile::write(filePath_, bytes, 0644);
    if (error)
        return error;
    state_ = VnLocalCacheAssetStateComplete;
    completeDataLength_ = -1;
    return nullptr;
}

Ref<plat::Error> VnLocalCacheAsset::replaceWithFileURL(const plat::Url& fileUrl) {
    VND_TRACE("FileSystem", "File replaced at: %s with URL:%s", filePath_.c_str(),
              fileUrl.absoluteString().c_str());
    if (fileWriter_)
        fileWriter_->waitUntilFinished();
    clearData();
    if (auto error = appendContentsOfFileURL(fileUrl, kCopyChunk))
        return error;
    markCompleted();
    return nullptr;
}

Ref<plat::Error> VnLocalCacheAsset::appendContentsOfFileURL(const plat::Url& fileUrl,
                                                            size_t chunkSize) {
    const auto path = plat::Url::percentDecode(fileUrl.path()).value_or(fileUrl.path());
    Ref<plat::Error> error;
    auto source = plat::FileHandle::openForUpdating(path, false, &error);
    if (!source)
        return error;
    for (;;) {
        auto chunk = source->readDataOfLength(chunkSize, &error);
        if (!chunk)
            return error;
        if (chunk->empty())
            return nullptr;
        if ((error = appendData(*chunk)))
            return error;
    }
}

void VnLocalCacheAsset::clearData() {
    clearData([](const std::filesystem::path& path) { plat::FileManager::removeItem(path); });
}

void VnLocalCacheAsset::clearData(
    const std::function<void(const std::filesystem::path&)>& discard) {
    // The writer ends first (a write it still had queued lands in P.tmp), then the files go.
    if (fileWriter_) {
        fileWriter_->flushWritingCache();
        fileWriter_.reset();
    }
    discard(tempFilePath_);
    discard(filePath_);
    state_ = VnLocalCacheAssetStateEmpty;
    completeDataLength_ = -1;
}

void VnLocalCacheAsset::markCompleted() {
    state_ = VnLocalCacheAssetStateComplete;
    if (fileWriter_) {
        fileWriter_->flushWritingCache();
        fileWriter_.reset();
    }
    // Nothing appended: the content is empty, and the file must say so.
    if (!plat::FileManager::fileExists(tempFilePath_))
        plat::AtomicFile::write(tempFilePath_, {}, 0644);
    if (auto error = plat::FileManager::moveItem(tempFilePath_, filePath_)) {
        // P may already exist (complete elsewhere); otherwise the state follows the disk.
        if (!plat::FileManager::fileExists(filePath_))
            state_ = VnLocalCacheAssetStateUnexamined;
        VND_TRACE("FileSystem", "%s", error->description().c_str());
    }
    VND_TRACE("FileSystem", "Asset loading finished: %s", filePath_.c_str());
}

void VnLocalCacheAsset::asyncMarkCompleted(
    std::function<void(const Ref<VnLocalCacheAsset>&)> action) {
    markCompleted();
    auto self = this->self<VnLocalCacheAsset>();
    plat::RunLoop::current().perform(
        [self, action = std::move(action)] {
            if (action)
                action(self);
        },
        0, plat::commonModes());
}

void VnLocalCacheAsset::flushWritingCache() {
    if (fileWriter_) {
        fileWriter_->flushWritingCache();
        fileWriter_.reset();
    }
}

Ref<VnContentAsset> VnLocalCacheAsset::contentAsset() {
    examine();
    if (state_ != VnLocalCacheAssetStateComplete) {
        plat::raise(plat::NSInternalInconsistencyException,
                    "contentAsset called when complete content not available");
    }
    return std::make_shared<VnContentAsset>(filePath_);
}

int32_t VnLocalCacheAsset::tryObtainWritingLock() {
    if (lockingToken_ != 0)
        return 0;
    lockingToken_ = static_cast<int32_t>(plat::Random::uint32() % 10000000) + 1;
    return lockingToken_;
}

int32_t VnLocalCacheAsset::tryObtainWritingLockWithLocker(int32_t lockerToken) {
    PLAT_PARAMETER_ASSERT(lockerToken != 0);
    if (lockingToken_ != 0)
        return 0;
    lockingToken_ = lockerToken;
    return lockingToken_;
}

void VnLocalCacheAsset::unlockWithWritingLockToken(int32_t token) {
    PLAT_ASSERT(token == lockingToken_, "Invalid cache unlock token");
    lockingToken_ = 0;
}

void VnLocalCacheAsset::fileWriterDidFinishWriting(VnBackgroundFileWriter&) {
    auto invocations = std::move(completionInvocations_);
    completionInvocations_.clear();
    for (auto& invocation : invocations)
        invocation();
}
