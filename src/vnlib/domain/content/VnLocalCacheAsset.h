#pragma once
// VnLocalCacheAsset: one cached content file P of a local archive. States: 0 not yet examined,
// 1 empty (neither P nor P.tmp), 2 partial (P.tmp, or appends have started), 5 complete (P is
// final). Appends go to P.tmp; markCompleted moves it to P; replaceWithData writes P at once. The
// state is decided once from the disk (existence only) and then kept by the object. A writing
// lock (an advisory token) lets one downloader at a time own the asset.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/net/Url.h"
#include "vnlib/domain/content/VnBackgroundFileWriter.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnContentAssetId.h"

enum VnLocalCacheAssetState : int32_t {
    VnLocalCacheAssetStateUnexamined = 0,
    VnLocalCacheAssetStateEmpty = 1,
    VnLocalCacheAssetStatePartial = 2,
    VnLocalCacheAssetStateComplete = 5,
};

class VnLocalCacheAsset : public VndObject, public VnBackgroundFileWriterDelegate {
    PLAT_CLASS(VnLocalCacheAsset)
  public:
    explicit VnLocalCacheAsset(std::filesystem::path filePath,
                               int32_t state = VnLocalCacheAssetStateUnexamined);
    ~VnLocalCacheAsset() override;  // flushes the writer

    // "<type>_<format>_<id>", with "_<width>x<height>" when both are at least 1.
    static std::string cacheFileNameWithAssetId(const VnContentAssetId& assetId);
    // The size of the file, 0 when there is none.
    static uint64_t lengthOfFileContentAtPath(const std::filesystem::path& path);

    int32_t state();
    const std::filesystem::path& filePath() const { return filePath_; }
    const std::filesystem::path& contentFilePath() const { return filePath_; }
    const std::filesystem::path& tempFilePath() const { return tempFilePath_; }
    // Partial: the bytes held so far; complete: P's size, read once and kept; otherwise 0.
    int64_t currentLength();

    // Appends to P.tmp. NSInternalInconsistencyException "Appending data to completed cache" when
    // complete; the error when the bytes could not all be written (a full disk).
    Ref<plat::Error> appendData(std::span<const uint8_t> bytes);
    // P becomes exactly the bytes, at once (complete); P.tmp is left as it is.
    Ref<plat::Error> replaceWithData(std::span<const uint8_t> bytes);
    // Appends a local file's bytes, read in pieces of chunkSize; the first error stops it.
    Ref<plat::Error> appendContentsOfFileURL(const plat::Url& fileUrl, size_t chunkSize);
    // P becomes a copy of the file (read in 32768-byte pieces through the temporary file).
    Ref<plat::Error> replaceWithFileURL(const plat::Url& fileUrl);
    // Closes the writer, deletes P.tmp and P: empty.
    void clearData();
    // The same, with P.tmp and P handed to `discard` (which takes them away at once) in place of
    // their deletion here.
    void clearData(const std::function<void(const std::filesystem::path&)>& discard);
    // P.tmp becomes P (complete); with no bytes ever appended, P is an empty file. When the move
    // fails the asset looks at the disk again.
    void markCompleted();
    // markCompleted, then the action with this asset after a zero delay, in the common modes.
    void asyncMarkCompleted(std::function<void(const Ref<VnLocalCacheAsset>&)> action);
    void flushWritingCache();
    // NSInternalInconsistencyException "contentAsset called when complete content not available"
    // unless complete.
    Ref<VnContentAsset> contentAsset();

    // 0 when held; else a new random token from 1 to 10000000, now held.
    int32_t tryObtainWritingLock();
    // 0 when held; else the given (non-zero) token, now held.
    int32_t tryObtainWritingLockWithLocker(int32_t lockerToken);
    // Frees the lock; any token but the held one is an assertion failure.
    void unlockWithWritingLockToken(int32_t token);
    int32_t lockingToken() const { return lockingToken_; }

    void purgeMemoryCache() override {}
    void fileWriterDidFinishWriting(VnBackgroundFileWriter& writer) override;

  private:
    void examine();

    std::filesystem::path filePath_;
    std::filesystem::path tempFilePath_;
    std::vector<std::function<void()>> completionInvocations_;
    int64_t completeDataLength_ = -1;
    int32_t state_;
    Ref<VnBackgroundFileWriter> fileWriter_;
    int32_t lockingToken_ = 0;
};
