#pragma once
// VnEPUBIssueContext: downloads one EPUB item and unpacks it into the item's "EPUB" folder, as a
// small state machine that resumes where an earlier run stopped: a finished marker beside the
// folder says the book is ready (6); a complete download is unpacked (4); otherwise the packed
// download is fetched, resuming a partial one (1, 2). Unpacking goes through a fresh temporary
// folder: the download into it, then its "book.epub" into the EPUB folder; a failure leaves
// state 4, no marker and no temporary folder, and tells the observers with a failed result.
// Observers (not retained) may answer:
//   "epubIssueContext:progressReport:"              (context, VnEPUBIssueContextProgress)
//   "epubIssueContextDidFinishLoading:withResult:"  (context, VnRequestResult)
#include <filesystem>
#include <string>

#include "vnlib/dev/delegate/MulticastDelegate.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/content/VnContentAssetId.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"

class VnBookStoreUserContext;
class VnMagazineIssueInfo;

struct VnEPUBIssueContextProgress {
    float completed = 0;
    float total = 0;
    int32_t state = 0;
};

class VnEPUBIssueContext : public plat::Object {
    PLAT_CLASS(VnEPUBIssueContext)
  public:
    enum State : int32_t {
        Unknown = 0,
        NotDownloaded = 1,
        PartlyDownloaded = 2,
        Downloaded = 4,
        Finished = 6,
    };

    VnEPUBIssueContext(Ref<VnMagazineIssueInfo> issueInfo, Ref<VnBookStoreUserContext> userContext);
    static Ref<VnEPUBIssueContext> initWithIssueInfo(Ref<VnMagazineIssueInfo> issueInfo,
                                                     Ref<VnBookStoreUserContext> userContext);
    ~VnEPUBIssueContext() override;

    void addDelegate(const Ref<plat::Object>& observer) { delegate_->addDelegate(observer); }
    void removeDelegate(const Ref<plat::Object>& observer) { delegate_->removeDelegate(observer); }

    void startLoading();
    // Cancels the running download; the state stays.
    void cancelLoading();
    int32_t currentState();
    bool finished() { return currentState() == Finished; }

    const Ref<VnMagazineIssueInfo>& issueInfo() const { return issueInfo_; }
    const Ref<VnBookStoreUserContext>& userContext() const { return userContext_; }
    std::filesystem::path epubCachePath() const;
    std::filesystem::path epubBookPath() const { return epubCachePath(); }
    // The EPUB folder's path with ".finished" appended: a sibling of the folder.
    std::filesystem::path finishedMarkerFilePath() const;
    bool epubCachePathCompleted() const;
    // Page 0 of the item in format EPUB.
    Ref<VnContentAssetId> epubAssetId() const;

    void asset_request_progressReport(Ref<VnRequestContext> request, VnRequestProgress progress);
    void asset_request_didFinishWithResult(Ref<VnRequestContext> request,
                                           Ref<VnRequestResult> result);
    void markEPUBFinish();
    void notifyFinish();

    // A new folder from "tmpXXXXXXXXX" in the temporary folder (empty path on failure).
    static std::filesystem::path createEmptyTempDir();
    // A new empty file from "/tmp/tmpXXXXXXXXX" (empty path on failure).
    static std::filesystem::path createEmptyTempFile();
    // Unpacks the zip file into the folder. Throws "EPUBException" with "Cannot extract epub
    // file" when it cannot be opened and "Cannot open epub file" when unpacking fails; `detail`
    // receives why.
    static void extractZipFile(const std::filesystem::path& zipFile,
                               const std::filesystem::path& folder, std::string* detail = nullptr);

  private:
    void ensureState();
    void stateInit();
    void startDownloading();
    void startExtracting();
    void notifyFailure(const Ref<VnRequestResult>& result);
    void scheduleNotifyFinish();

    Ref<VnMagazineIssueInfo> issueInfo_;
    Ref<VnBookStoreUserContext> userContext_;
    Ref<MulticastDelegate> delegate_;
    int32_t currentState_ = Unknown;
    Ref<VnLocalCacheAsset> zipCacheAsset_;
    Ref<VnRequestContext> assetRequest_;
};
