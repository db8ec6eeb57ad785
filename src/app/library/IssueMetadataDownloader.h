#pragma once
// IssueMetadataDownloader: starts an issue's download far enough for the reader to open it and
// reports, through a fan-out to its one delegate, the progress as one figure (metadata the first
// quarter, first page the rest, on the reported total) and once the finish:
//   "issueDownloader:metadataLoadingProgress:"       (downloader, VnRequestProgress)
//   "issueDownloaderMetadataLoadingDidFinish:withResult:" (downloader, VnRequestResult)
// The base class does nothing; PdfIssueMetadataDownloader loads a PDF issue's page infos and
// rendering metadata as one request, then the first page's content, and finishes once the first
// page is handed over checked (the issue's UI context holds a page back until its file is
// checked, and what the page tells of itself waits behind that), so that the reader opens on the
// page itself; or once the first page's check has run for kFirstPageCheckWait, so that a page
// whose check runs long opens on its placeholder and comes when its check ends. A first page
// still to arrive is waited for without a limit of time, but a fetch of it that fails (its
// download location or its file) ends the download as a failed finish. Main thread only.
#include "platform/core/Object.h"
#include "vnlib/dev/request/VnRequestProgress.h"

class MagazineIssueUIContext;
class MagazinePageUIContext;
class MulticastDelegate;
class VnMagazineIssueInfo;
class VnRequestContext;
class VnRequestResult;

inline constexpr const char* IssueDownloaderProgressSelector =
    "issueDownloader:metadataLoadingProgress:";
inline constexpr const char* IssueDownloaderDidFinishSelector =
    "issueDownloaderMetadataLoadingDidFinish:withResult:";

class IssueMetadataDownloader : public plat::Object {
    PLAT_CLASS(IssueMetadataDownloader)
  public:
    explicit IssueMetadataDownloader(Ref<VnMagazineIssueInfo> issueInfo);
    ~IssueMetadataDownloader() override;

    const Ref<VnMagazineIssueInfo>& issueInfo() const { return issueInfo_; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    // A new delegate gets a new fan-out; the same one again changes nothing.
    void setDelegate(const Ref<plat::Object>& delegate);

    virtual Ref<MagazineIssueUIContext> issueContext() const { return nullptr; }
    virtual void startLoading() {}
    virtual void cancelLoading() {}
    virtual bool isReadyForDisplay() const { return false; }

  protected:
    void reportProgress(VnRequestProgress progress);
    void reportFinish(const Ref<VnRequestResult>& result);
    const Ref<MulticastDelegate>& multicastDelegate() const { return multicastDelegate_; }

  private:
    Ref<VnMagazineIssueInfo> issueInfo_;
    WeakRef<plat::Object> delegate_;
    Ref<MulticastDelegate> multicastDelegate_;
};

class PdfIssueMetadataDownloader : public IssueMetadataDownloader {
    PLAT_CLASS(PdfIssueMetadataDownloader)
  public:
    // How long the finish waits for the first page's check (seconds).
    static constexpr double kFirstPageCheckWait = 1.0;

    // A null context is an assertion failure.
    explicit PdfIssueMetadataDownloader(const Ref<MagazineIssueUIContext>& context);
    static Ref<PdfIssueMetadataDownloader> initWithPdfMagazineIssueUIContext(
        const Ref<MagazineIssueUIContext>& context);
    ~PdfIssueMetadataDownloader() override;

    Ref<MagazineIssueUIContext> issueContext() const override { return pdfContext_; }
    void startLoading() override;
    void cancelLoading() override { releaseDownloadingIssue(); }
    bool isReadyForDisplay() const override;

    // Stops everything: the issue's loading, the metadata request, the first page's listening.
    void releaseDownloadingIssue();
    bool finished() const { return finished_; }

    // ---- Messages ----
    void pageUIContextFullPageImageAvailable(const Ref<plat::Object>& page);
    void pageUIContextPageContentPainterAvailable(const Ref<plat::Object>& page);
    void pageUIContext_pageLoadingProgress(const Ref<plat::Object>& page,
                                           VnRequestProgress progress);
    void metadata_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                              const Ref<VnRequestResult>& result);
    void metadata_request_progressReport(const Ref<VnRequestContext>& request,
                                         VnRequestProgress progress);

  private:
    void firstPageAvailable(const Ref<plat::Object>& page);
    // Releases the download and reports the failure as its finish, unless it was reported.
    void firstPageFetchFailed(const Ref<VnRequestResult>& failure);
    void finishOnce(const Ref<VnRequestResult>& result);

    Ref<MagazineIssueUIContext> pdfContext_;
    Ref<VnRequestContext> metadataRequest_;
    Ref<MagazinePageUIContext> firstPageContext_;
    // While the finish waits for the first page's file and its check (what waits on the page holds
    // it weakly).
    std::shared_ptr<bool> firstPageCheck_;
    bool finished_ = false;
};
