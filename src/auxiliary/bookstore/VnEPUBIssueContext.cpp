#include "auxiliary/bookstore/VnEPUBIssueContext.h"

#include <stdlib.h>
#include <unistd.h>

#include "auxiliary/bookstore/ZipArchive.h"
#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FileHandle.h"
#include "platform/storage/Paths.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(VnEPUBIssueContext, plat::Object, [](auto& c) {
    c.method("asset_request:progressReport:", &VnEPUBIssueContext::asset_request_progressReport)
        .method("asset_request:didFinishWithResult:",
                &VnEPUBIssueContext::asset_request_didFinishWithResult)
        .method("markEPUBFinish", &VnEPUBIssueContext::markEPUBFinish)
        .method("notifyFinish", &VnEPUBIssueContext::notifyFinish);
})

namespace fs = std::filesystem;

namespace {

constexpr const char* kDidFinishSelector = "epubIssueContextDidFinishLoading:withResult:";
constexpr const char* kProgressSelector = "epubIssueContext:progressReport:";
constexpr int32_t kAssetTypePage = 2;
constexpr int32_t kAssetFormatEpub = 3;

// A failed result with the message, and the detail as its error's failure reason.
Ref<VnRequestResult> failedResult(const std::string& message, const std::string& detail) {
    auto info = plat::MutableDictionary::make();
    info->setObject(plat::Value(message), plat::NSLocalizedDescriptionKey);
    if (!detail.empty())
        info->setObject(plat::Value(detail), "NSLocalizedFailureReason");
    return VnRequestResult::resultWithReturnValue(plat::Value(),
                                                  plat::Error::make(VnRequestDomain, 0, info));
}

void removeFolder(const fs::path& folder) {
    std::error_code ec;
    if (!folder.empty())
        fs::remove_all(folder, ec);
}

}  // namespace

VnEPUBIssueContext::VnEPUBIssueContext(Ref<VnMagazineIssueInfo> issueInfo,
                                       Ref<VnBookStoreUserContext> userContext)
    : issueInfo_(std::move(issueInfo)),
      userContext_(std::move(userContext)),
      delegate_(std::make_shared<MulticastDelegate>()) {}

Ref<VnEPUBIssueContext> VnEPUBIssueContext::initWithIssueInfo(
    Ref<VnMagazineIssueInfo> issueInfo, Ref<VnBookStoreUserContext> userContext) {
    return std::make_shared<VnEPUBIssueContext>(std::move(issueInfo), std::move(userContext));
}

VnEPUBIssueContext::~VnEPUBIssueContext() {
    plat::RunLoop::current().cancelPerforms(this);
    if (assetRequest_)
        assetRequest_->cancel();
}

fs::path VnEPUBIssueContext::epubCachePath() const {
    return userContext_->archiveForIssueInfo(issueInfo_)->subarchiveWithId("EPUB")->archivePath();
}

fs::path VnEPUBIssueContext::finishedMarkerFilePath() const {
    return fs::path(epubCachePath().string() + ".finished");
}

bool VnEPUBIssueContext::epubCachePathCompleted() const {
    std::error_code ec;
    return fs::exists(finishedMarkerFilePath(), ec);
}

Ref<VnContentAssetId> VnEPUBIssueContext::epubAssetId() const {
    return VnContentAssetId::idWithMagazineIssueCode(issueInfo_->code(), "0", kAssetTypePage,
                                                     kAssetFormatEpub);
}

int32_t VnEPUBIssueContext::currentState() {
    ensureState();
    return currentState_;
}

void VnEPUBIssueContext::ensureState() {
    if (currentState_ == Unknown)
        stateInit();
}

void VnEPUBIssueContext::stateInit() {
    if (epubCachePathCompleted()) {
        currentState_ = Finished;
        return;
    }
    zipCacheAsset_ = userContext_->cachedAssetWithId(epubAssetId());
    const int32_t cacheState = zipCacheAsset_ ? zipCacheAsset_->state() : 0;
    currentState_ = cacheState == VnLocalCacheAssetStatePartial    ? PartlyDownloaded
                    : cacheState == VnLocalCacheAssetStateComplete ? Downloaded
                                                                   : NotDownloaded;
}

void VnEPUBIssueContext::startLoading() {
    ensureState();
    switch (currentState_) {
        case Finished:
            scheduleNotifyFinish();
            break;
        case Downloaded:
            startExtracting();
            break;
        default:
            startDownloading();
            break;
    }
}

void VnEPUBIssueContext::cancelLoading() {
    if (assetRequest_) {
        assetRequest_->cancel();
        assetRequest_.reset();
    }
}

void VnEPUBIssueContext::startDownloading() {
    if (assetRequest_)
        return;
    assetRequest_ = userContext_->requestAssetForMagazineIssue(issueInfo_, epubAssetId());
    if (!assetRequest_)
        return;
    assetRequest_->startWithDelegateUsingPrefixFromDidFinishSelector(
        shared_from_this(), "asset_request:didFinishWithResult:");
}

void VnEPUBIssueContext::asset_request_progressReport(Ref<VnRequestContext>,
                                                      VnRequestProgress progress) {
    const VnEPUBIssueContextProgress report{progress.completed, progress.total, currentState_};
    plat::send(delegate_, kProgressSelector, shared_from_this(), report);
}

void VnEPUBIssueContext::asset_request_didFinishWithResult(Ref<VnRequestContext>,
                                                           Ref<VnRequestResult> result) {
    const Ref<plat::Object> keepAlive = shared_from_this();
    assetRequest_.reset();
    if (!result || !result->succeed()) {
        if (!userContext_->isTestUser())
            result = VnRequestResult::failedResultWithErrorMessage(
                "Book download failed. Please try again later.");
        notifyFailure(result);
        return;
    }
    // Look at the cache again: the download has completed it.
    if (zipCacheAsset_ = userContext_->cachedAssetWithId(epubAssetId()); zipCacheAsset_)
        zipCacheAsset_->state();
    startExtracting();
}

void VnEPUBIssueContext::notifyFailure(const Ref<VnRequestResult>& result) {
    plat::send(delegate_, kDidFinishSelector, shared_from_this(), result);
}

void VnEPUBIssueContext::startExtracting() {
    const fs::path temp = createEmptyTempDir();
    std::string detail;
    try {
        if (temp.empty())
            throw plat::Exception("EPUBException", "Cannot create a temporary folder");
        if (!zipCacheAsset_)
            throw plat::Exception("EPUBException", "Cannot extract epub file");
        extractZipFile(zipCacheAsset_->filePath(), temp, &detail);
        // The book goes into an emptied folder, so nothing of an older book stays.
        const fs::path folder = epubCachePath();
        removeFolder(folder);
        fs::create_directories(folder);
        extractZipFile(temp / "book.epub", folder, &detail);
        removeFolder(temp);
        markEPUBFinish();
        userContext_->markFinished(issueInfo_);
        currentState_ = Finished;
        scheduleNotifyFinish();
    } catch (const std::exception& e) {
        const auto* exception = dynamic_cast<const plat::Exception*>(&e);
        currentState_ = Downloaded;
        removeFolder(temp);
        notifyFailure(failedResult(exception ? exception->reason() : e.what(), detail));
    }
}

void VnEPUBIssueContext::scheduleNotifyFinish() {
    const WeakRef<VnEPUBIssueContext> weak =
        std::static_pointer_cast<VnEPUBIssueContext>(shared_from_this());
    plat::RunLoop::current().perform(
        [weak] {
            if (auto self = weak.lock())
                self->notifyFinish();
        },
        0, plat::defaultModes(), this, "notifyFinish");
}

void VnEPUBIssueContext::markEPUBFinish() {
    const fs::path marker = finishedMarkerFilePath();
    plat::Paths::createDirectories(marker.parent_path(), 0755);
    plat::FileHandle::openForWriting(marker, false);  // an empty file
}

void VnEPUBIssueContext::notifyFinish() {
    plat::send(delegate_, kDidFinishSelector, shared_from_this(), VnRequestResult::succeedResult());
}

fs::path VnEPUBIssueContext::createEmptyTempDir() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "tmpXXXXXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

fs::path VnEPUBIssueContext::createEmptyTempFile() {
    std::string pattern = "/tmp/tmpXXXXXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return pattern;
}

void VnEPUBIssueContext::extractZipFile(const fs::path& zipFile, const fs::path& folder,
                                        std::string* detail) {
    auto zip = std::make_shared<ZipArchive>();
    if (!zip->UnzipOpenFile(zipFile.string())) {
        VND_TRACE("Error", "Cannot open %s", zipFile.c_str());
        if (detail)
            *detail = "Cannot open " + zipFile.filename().string();
        throw plat::Exception("EPUBException", "Cannot extract epub file");
    }
    const bool ok = zip->UnzipFileTo(folder.string(), true);
    zip->UnzipCloseFile();
    if (!ok) {
        VND_TRACE("Error", "Cannot extract %s", zipFile.c_str());
        if (detail)
            *detail = zip->lastErrorMessage();
        throw plat::Exception("EPUBException", "Cannot open epub file");
    }
}
