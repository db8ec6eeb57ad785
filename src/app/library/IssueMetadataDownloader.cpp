#include "app/library/IssueMetadataDownloader.h"

#include <cmath>

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(IssueMetadataDownloader, plat::Object, PLAT_NO_METHODS)

PLAT_DEFINE_CLASS(PdfIssueMetadataDownloader, IssueMetadataDownloader, [](auto& c) {
    using C = PdfIssueMetadataDownloader;
    using Page = MagazinePageUIContextDelegate;
    c.method(Page::kFullPageImageAvailable, &C::pageUIContextFullPageImageAvailable)
        .method(Page::kPageContentPainterAvailable, &C::pageUIContextPageContentPainterAvailable)
        .method(Page::kPageLoadingProgress, &C::pageUIContext_pageLoadingProgress)
        .method("metadata_request:didFinishWithResult:", &C::metadata_request_didFinishWithResult)
        .method("metadata_request:progressReport:", &C::metadata_request_progressReport);
})

namespace {
// The metadata's share of the whole figure.
constexpr float kMetadataFactor = 0.25f;
}  // namespace

IssueMetadataDownloader::IssueMetadataDownloader(Ref<VnMagazineIssueInfo> issueInfo)
    : issueInfo_(std::move(issueInfo)) {}

IssueMetadataDownloader::~IssueMetadataDownloader() = default;

void IssueMetadataDownloader::setDelegate(const Ref<plat::Object>& delegate) {
    if (delegate.get() == delegate_.lock().get() && multicastDelegate_)
        return;
    delegate_ = delegate;
    multicastDelegate_ = std::make_shared<MulticastDelegate>();
    multicastDelegate_->addDelegate(delegate);
}

void IssueMetadataDownloader::reportProgress(VnRequestProgress progress) {
    // Keep the fan-out while it is used: the receiver may drop this downloader.
    const auto fanOut = multicastDelegate_;
    if (fanOut)
        plat::send(fanOut, IssueDownloaderProgressSelector, self<IssueMetadataDownloader>(),
                   progress);
}

void IssueMetadataDownloader::reportFinish(const Ref<VnRequestResult>& result) {
    const auto fanOut = multicastDelegate_;
    if (fanOut)
        plat::send(fanOut, IssueDownloaderDidFinishSelector, self<IssueMetadataDownloader>(),
                   result);
}

PdfIssueMetadataDownloader::PdfIssueMetadataDownloader(const Ref<MagazineIssueUIContext>& context)
    : IssueMetadataDownloader([&] {
          PLAT_PARAMETER_ASSERT(context);
          return context->context() ? context->context()->info() : nullptr;
      }()),
      pdfContext_(context) {}

Ref<PdfIssueMetadataDownloader> PdfIssueMetadataDownloader::initWithPdfMagazineIssueUIContext(
    const Ref<MagazineIssueUIContext>& context) {
    return std::make_shared<PdfIssueMetadataDownloader>(context);
}

PdfIssueMetadataDownloader::~PdfIssueMetadataDownloader() {
    if (metadataRequest_)
        metadataRequest_->cancel();
}

void PdfIssueMetadataDownloader::startLoading() {
    reportProgress(VnRequestProgressMake(0, 100));
    const auto& issue = pdfContext_->context();
    if (!issue)
        return;
    metadataRequest_ = issue->requestForLoadingMetadata();
    if (metadataRequest_)
        metadataRequest_->startWithDelegateUsingPrefixFromDidFinishSelector(
            self(), "metadata_request:didFinishWithResult:");
}

void PdfIssueMetadataDownloader::metadata_request_progressReport(const Ref<VnRequestContext>&,
                                                                 VnRequestProgress progress) {
    reportProgress(VnRequestProgressMake(progress.completed * kMetadataFactor, progress.total));
}

void PdfIssueMetadataDownloader::pageUIContext_pageLoadingProgress(const Ref<plat::Object>&,
                                                                   VnRequestProgress progress) {
    const float total = progress.total;
    // A zero (or broken) total would give no number at all: the page's share is then nothing.
    const float share = total > 0 && std::isfinite(total) ? progress.completed / total : 0.0f;
    reportProgress(
        VnRequestProgressMake((kMetadataFactor + share * (1.0f - kMetadataFactor)) * total, total));
}

void PdfIssueMetadataDownloader::metadata_request_didFinishWithResult(
    const Ref<VnRequestContext>&, const Ref<VnRequestResult>& result) {
    const auto keep = self<PdfIssueMetadataDownloader>();
    if (!result || !result->succeed()) {
        releaseDownloadingIssue();
        finishOnce(result ? result : VnRequestResult::failedResultWithErrorMessage("No result"));
        return;
    }
    metadataRequest_.reset();
    // An issue without pages has no first page to wait for.
    const auto page = pdfContext_->presentationPageCount() > 0
                          ? pdfContext_->pageContextAtPresentationIndex(0)
                          : nullptr;
    if (!page) {
        releaseDownloadingIssue();
        finishOnce(VnRequestResult::failedResultWithErrorMessage("The issue has no pages."));
        return;
    }
    const int32_t firstPage = page->pageContext()->sourcePageIndex();
    const auto waiting = std::make_shared<bool>(true);
    firstPageCheck_ = waiting;
    if (page->pageContentAssetAvailable()) {
        // Its file may not be checked yet: the reader is to open on the page itself, so the
        // finish waits for the check as a page that arrives does, for a while.
        const auto finish = [weak = weakSelf<PdfIssueMetadataDownloader>(),
                             waiting = std::weak_ptr<bool>(waiting), result] {
            const auto self = weak.lock();
            if (self && !waiting.expired())
                self->finishOnce(result);
        };
        pdfContext_->whenPageCheckRunsLong(firstPage, kFirstPageCheckWait, finish);
        pdfContext_->whenPageChecked(firstPage, finish);
        return;
    }
    // A fetch of it that fails (its location or its file: the service out of reach, say) ends
    // the opening as a failed metadata request does, rather than leave it waiting for the
    // issue's retries; one that failed before counts too. A page that is only slow is awaited.
    const auto& issue = pdfContext_->context();
    if (const auto failure = issue->pageFetchFailure(firstPage)) {
        firstPageFetchFailed(failure);
        return;
    }
    issue->whenPageFetchFails(
        firstPage, waiting,
        [weak = weakSelf<PdfIssueMetadataDownloader>()](const Ref<VnRequestResult>& failure) {
            if (const auto self = weak.lock())
                self->firstPageFetchFailed(failure);
        });
    // Once it arrives, a check that runs long does not hold the opening.
    pdfContext_->whenPageCheckRunsLong(
        firstPage, kFirstPageCheckWait,
        [weak = weakSelf<PdfIssueMetadataDownloader>(), waiting = std::weak_ptr<bool>(waiting)] {
            const auto self = weak.lock();
            if (self && !waiting.expired() && self->firstPageContext_)
                self->firstPageAvailable(self->firstPageContext_);
        });
    firstPageContext_ = page;
    page->addDelegate(self());
    page->setGenerateImages(true);
    page->startLoading();
}

void PdfIssueMetadataDownloader::pageUIContextFullPageImageAvailable(
    const Ref<plat::Object>& page) {
    firstPageAvailable(page);
}

void PdfIssueMetadataDownloader::pageUIContextPageContentPainterAvailable(
    const Ref<plat::Object>& page) {
    firstPageAvailable(page);
}

void PdfIssueMetadataDownloader::firstPageAvailable(const Ref<plat::Object>& page) {
    const auto keep = self<PdfIssueMetadataDownloader>();
    finishOnce(VnRequestResult::succeedResult());
    if (auto pageContext = std::dynamic_pointer_cast<MagazinePageUIContext>(page))
        pageContext->removeDelegate(self());
    if (firstPageContext_ == page)
        firstPageContext_.reset();
}

void PdfIssueMetadataDownloader::firstPageFetchFailed(const Ref<VnRequestResult>& failure) {
    // Once the finish is reported the reader has the issue: its pages' retries go on.
    if (finished_)
        return;
    const auto keep = self<PdfIssueMetadataDownloader>();
    releaseDownloadingIssue();
    finishOnce(failure);
}

void PdfIssueMetadataDownloader::finishOnce(const Ref<VnRequestResult>& result) {
    if (finished_)
        return;
    finished_ = true;
    reportFinish(result);
}

bool PdfIssueMetadataDownloader::isReadyForDisplay() const {
    if (pdfContext_->presentationPageCount() <= 0)
        return false;
    const auto page = pdfContext_->pageContextAtPresentationIndex(0);
    const auto pageContext = page ? page->pageContext() : nullptr;
    return pageContext && pageContext->pageContentAssetAvailable() &&
           pdfContext_->readyForDisplay();
}

void PdfIssueMetadataDownloader::releaseDownloadingIssue() {
    const auto keep = self<PdfIssueMetadataDownloader>();
    pdfContext_->cancelLoading();
    if (auto request = std::move(metadataRequest_))
        request->cancel();
    if (auto page = std::move(firstPageContext_))
        page->removeDelegate(self());
    firstPageCheck_.reset();
}
