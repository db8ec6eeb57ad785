#include "app/issueui/MagazineIssueUIContext.h"

#include <algorithm>
#include <cmath>

#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/PageCheckOrder.h"
#include "app/issueui/VisibleWidget.h"
#include "app/issueui/WidgetFactory.h"
#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FileManager.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"
#include "vnlib/domain/content/VnMagazineIssuePageRenderingInfo.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/storage/VnArchiveFileGeneration.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

PLAT_DEFINE_CLASS(MagazineIssueUIContextRenderingInfo, VnInfoBase, [](auto& c) {
    using C = MagazineIssueUIContextRenderingInfo;
    c.property("hasSingleCoverPage", "Tc,N,VhasSingleCoverPage_", &C::hasSingleCoverPage_)
        .property("tableOfContentPageName", "T@\"NSString\",C,N,VtableOfContentPageName_",
                  &C::tableOfContentPageName_)
        .property("tableOfContentPresentationPageIndex",
                  "Ti,N,VtableOfContentPresentationPageIndex_",
                  &C::tableOfContentPresentationPageIndex_);
})

PLAT_DEFINE_CLASS(MagazineIssueUIContext, plat::Object, [](auto& c) {
    using C = MagazineIssueUIContext;
    using Issue = VnMagazineIssueContextDelegate;
    c.method(Issue::kWillStartLoading, &C::magazineIssueContextWillStartLoading)
        .method(Issue::kPageAvailable, &C::magazineIssueContext_pageAvalable)
        .method(Issue::kDidFinishLoadingInteractive,
                &C::magazineIssueContextDidFinishLoadingInteractive)
        .method(Issue::kInteractiveAssetFilesForRenderingInfo,
                &C::magazineIssueContext_interactiveAssetFilesForRenderingInfo)
        .method("applicationDidEnterBackgroundNotification:",
                &C::applicationDidEnterBackgroundNotification)
        .method("applicationWillEnterForegroundNotification:",
                &C::applicationWillEnterForegroundNotification)
        .method("applicationWillTerminateNotification:", &C::applicationWillTerminateNotification);
})

Ref<MagazineIssueUIContextRenderingInfo> MagazineIssueUIContextRenderingInfo::withMetadata(
    const plat::Value& metadata) {
    auto dictionary = metadata.dictionary();
    if (!dictionary)
        dictionary = plat::MutableDictionary::make();
    auto info = withDictionary<MagazineIssueUIContextRenderingInfo>(dictionary);
    info->defaultSinglePageAlignment_ = intForKey(*dictionary, "DefaultSinglePageAlignment", 0);
    info->defaultDoublePageAlignment_ = intForKey(*dictionary, "DefaultDoublePageAlignment", 0);
    return info;
}

// ---- Creation
// --------------------------------------------------------------------------------------

namespace {

constexpr const char* kLastViewedPageIndex = "LastViewedPageIndex";
constexpr const char* kIsViewSinglePage = "IsViewSinglePage";
constexpr const char* kIsViewLockRotate = "IsViewLockRotae";
constexpr const char* kDisplayMode = "DisplayMode";

// A stored number or boolean; anything else reads 0.
int32_t settingValue(const plat::Value& value) {
    return value.isNumber() || value.isBool() ? value.intValue() : 0;
}

}  // namespace

MagazineIssueUIContext::MagazineIssueUIContext(Ref<VnMagazineIssueContext> context)
    : issueContext_([&] {
          PLAT_PARAMETER_ASSERT(context);
          return std::move(context);
      }()) {
    userLastViewedPageIndex_ = settingValue(storedSetting(lastViewedPageIndexKeyName()));
    userIsSinglePage_ = settingValue(storedSetting(isViewSinglePageKeyName())) != 0;
    userIsLockRotate_ = settingValue(storedSetting(isViewLockRotateKeyName())) != 0;
    userDisplayMode_ = settingValue(storedSetting(displayModeKeyName()));
    imageRequestManager_ = std::make_shared<VnRequestManager>();
    imageRequestManager_->setConcurrentRequestCountLimit(1);
    checkOrder_ = std::make_shared<PageCheckOrder>();
    const auto archive =
        issueContext_->userContext()->bookArchiveWithIssueInfo(issueContext_->info());
    pageFolder_ = archive->archivePath();
    fileGeneration_ = archive->fileGeneration();
    fileGenerationSeen_ = fileGeneration_->current();
}

MagazineIssueUIContext::~MagazineIssueUIContext() {
    // Nothing waits here for the check under way: it ends on the checking queue and what it
    // found is dropped; the checks still queued see this context gone and skip their files (the
    // program's end stops them all, ui::PdfPageCheck::stopChecks). What was learned since the
    // record was last written is written there, after that check, for the next opening.
    if (pageRecordChanged_ && pageRecord_)
        queueRecordWrite();
}

void MagazineIssueUIContext::becomeIssueContextDelegate() {
    issueContext_->setDelegate(self());
}

// ---- Reading settings
// ------------------------------------------------------------------------------

namespace {

std::string settingKey(const VnMagazineIssueContext& context, const char* name) {
    const auto& info = context.info();
    return (info ? info->code().value_or("(null)") : std::string("(null)")) + "/" + name;
}

}  // namespace

std::string MagazineIssueUIContext::lastViewedPageIndexKeyName() const {
    return settingKey(*issueContext_, kLastViewedPageIndex);
}

std::string MagazineIssueUIContext::isViewSinglePageKeyName() const {
    return settingKey(*issueContext_, kIsViewSinglePage);
}

std::string MagazineIssueUIContext::isViewLockRotateKeyName() const {
    return settingKey(*issueContext_, kIsViewLockRotate);
}

std::string MagazineIssueUIContext::displayModeKeyName() const {
    return settingKey(*issueContext_, kDisplayMode);
}

plat::Value MagazineIssueUIContext::storedSetting(const std::string& key) const {
    const auto& user = issueContext_->userContext();
    const auto storage = user ? user->userStorage() : nullptr;
    return storage ? storage->objectForKey(key) : plat::Value();
}

void MagazineIssueUIContext::storeSetting(const plat::Value& value, const std::string& key) const {
    const auto& user = issueContext_->userContext();
    if (const auto storage = user ? user->userStorage() : nullptr)
        storage->setObject(value, key);
}

void MagazineIssueUIContext::persistUserLastViewedPageIndex(int32_t index) {
    userLastViewedPageIndex_ = index;
    storeSetting(plat::Value(index), lastViewedPageIndexKeyName());
}

void MagazineIssueUIContext::persistUserIsViewSinglePage(bool value) {
    userIsSinglePage_ = value;
    storeSetting(plat::Value::boolean(value), isViewSinglePageKeyName());
}

void MagazineIssueUIContext::persistUserIsViewLockRotate(bool value) {
    userIsLockRotate_ = value;
    storeSetting(plat::Value::boolean(value), isViewLockRotateKeyName());
}

void MagazineIssueUIContext::persistUserDisplayMode(int32_t mode) {
    userDisplayMode_ = mode;
    storeSetting(plat::Value(mode), displayModeKeyName());
}

// ---- Pages
// -----------------------------------------------------------------------------------------

std::vector<Ref<VnPageInfo>> MagazineIssueUIContext::pageInfos() const {
    std::vector<Ref<VnPageInfo>> pages;
    if (const auto& list = issueContext_->pageArray()) {
        list->enumerate([&](const plat::Value& value) {
            if (auto page = value.as<VnPageInfo>())
                pages.push_back(std::move(page));
            return true;
        });
    }
    return pages;
}

int32_t MagazineIssueUIContext::presentationPageCount() const {
    const auto& list = issueContext_->pageArray();
    return list ? static_cast<int32_t>(list->count()) : 0;
}

int32_t MagazineIssueUIContext::finishedPageCount() const {
    return static_cast<int32_t>(issueContext_->finishedPageCount());
}

bool MagazineIssueUIContext::allPresentationPagesAvailable() const {
    return presentationPageCount() == finishedPageCount();
}

float MagazineIssueUIContext::pageDownloadProgress() const {
    const int32_t count = presentationPageCount();
    if (count == 0)
        return 0;
    return static_cast<float>(finishedPageCount()) / static_cast<float>(count);
}

bool MagazineIssueUIContext::readyForDisplay() const {
    return issueContext_->metadataAvailable() && issueContext_->pageArray();
}

Ref<MagazinePageUIContext> MagazineIssueUIContext::pageContextAtSourceIndex(int32_t sourceIndex) {
    auto& slot = pageUIContextMap_[sourceIndex];
    if (!slot) {
        auto pageContext = issueContext_->pageContextWithSourcePageIndex(sourceIndex);
        if (!pageContext) {
            pageUIContextMap_.erase(sourceIndex);
            return nullptr;
        }
        slot = MagazinePageUIContext::initWithMagazineIssueUIContext(self<MagazineIssueUIContext>(),
                                                                     pageContext);
    }
    return slot;
}

bool MagazineIssueUIContext::buildIndexMaps() {
    if (pageUIPresentationIndexMap_)
        return true;
    if (!issueContext_->pageArray())
        return false;
    auto& presentation = pageUIPresentationIndexMap_.emplace();
    auto& lookup = presentationLookupMap_.emplace();
    for (const auto& page : pageInfos()) {
        presentation[page->presentationPageIndex_] = page;
        lookup[page->sourcePageIndex()].push_back(page);
    }
    return true;
}

Ref<MagazinePageUIContext> MagazineIssueUIContext::pageContextAtPresentationIndex(
    int32_t presentationIndex) {
    if (!buildIndexMaps())
        return nullptr;
    const auto it = pageUIPresentationIndexMap_->find(presentationIndex);
    if (it == pageUIPresentationIndexMap_->end())
        return nullptr;
    return pageContextAtSourceIndex(it->second->sourcePageIndex());
}

Ref<MagazinePageUIContext> MagazineIssueUIContext::pageContextForPageName(
    const std::string& pageName) {
    if (!pageNameMap_) {
        if (!buildIndexMaps())
            return nullptr;
        auto& names = pageNameMap_.emplace();
        const int32_t count = presentationPageCount();
        for (int32_t index = 0; index < count; ++index) {
            auto page = pageContextAtPresentationIndex(index);
            if (!page)
                continue;
            if (auto name = page->pageContext()->pageName())
                names[*name] = page;
        }
    }
    const auto it = pageNameMap_->find(pageName);
    return it == pageNameMap_->end() ? nullptr : it->second;
}

std::optional<std::set<int32_t>> MagazineIssueUIContext::presentationIndicesForSourceIndex(
    int32_t sourceIndex) {
    if (!buildIndexMaps())
        return std::nullopt;
    const auto it = presentationLookupMap_->find(sourceIndex);
    if (it == presentationLookupMap_->end())
        return std::nullopt;
    std::set<int32_t> indices;
    for (const auto& page : it->second)
        indices.insert(page->presentationPageIndex_);
    return indices;
}

std::vector<Ref<MagazinePageUIContext>> MagazineIssueUIContext::pageContextsForSourceIndex(
    int32_t sourceIndex) {
    std::vector<Ref<MagazinePageUIContext>> pages;
    if (const auto indices = presentationIndicesForSourceIndex(sourceIndex)) {
        for (int32_t index : *indices) {
            if (auto page = pageContextAtPresentationIndex(index))
                pages.push_back(std::move(page));
        }
    }
    return pages;
}

std::vector<Ref<MagazinePageUIContext>> MagazineIssueUIContext::allActivePageContexts() const {
    std::vector<Ref<MagazinePageUIContext>> pages;
    for (const auto& [index, page] : pageUIContextMap_)
        pages.push_back(page);
    return pages;
}

int32_t MagazineIssueUIContext::presentationPairPageForIndex(int32_t presentationIndex) {
    const int64_t cover = renderingInfo()->hasSingleCoverPage() ? 1 : 0;
    const int64_t index = presentationIndex;
    return static_cast<int32_t>((index + cover) % 2 != 0 ? index - 1 : index + 1);
}

int32_t MagazineIssueUIContext::pageHorizontalAlignmentForPresentationIndex(
    int32_t presentationIndex) {
    const int64_t cover = renderingInfo()->hasSingleCoverPage() ? 1 : 0;
    if (cover == 1 && presentationIndex == 0)
        return 1;
    return (presentationIndex + cover) % 2 != 0 ? 0 : 2;
}

Ref<MagazineIssueUIContextRenderingInfo> MagazineIssueUIContext::renderingInfo() {
    if (renderingInfo_)
        return renderingInfo_;
    auto info = MagazineIssueUIContextRenderingInfo::withMetadata(
        issueContext_->contentRenderingMetadata());
    if (const auto& tocName = info->tableOfContentPageName()) {
        const int32_t count = presentationPageCount();
        for (int32_t index = 0; index < count; ++index) {
            auto page = issueContext_->pageContextWithSourcePageIndex(index);
            if (!page || page->pageName() != *tocName)
                continue;
            const auto indices = presentationIndicesForSourceIndex(index);
            info->setTableOfContentPresentationPageIndex(
                indices && !indices->empty() ? *indices->begin() : 0);
            break;
        }
    }
    renderingInfo_ = info;
    return renderingInfo_;
}

std::string MagazineIssueUIContext::readerCaptionText() const {
    const auto& info = issueContext_->info();
    const std::string issueName = info->issueName().value_or("");
    if (info->bookKind() == 0 && info->magazineName())
        return *info->magazineName() + " - " + issueName;
    return issueName;
}

std::string MagazineIssueUIContext::issueLibraryUriWithReader(bool withReader) const {
    const auto& info = issueContext_->info();
    return std::string("varnel.kel://library/") + (info->bookKind() == 1 ? "book" : "magazine") +
           "/issue?id=" + info->code().value_or("") + "&download=1" + (withReader ? "&view=1" : "");
}

// ---- Page images
// -----------------------------------------------------------------------------------

void MagazineIssueUIContext::enqueuePageRelatedRequest(const Ref<VnRequestContext>& request) {
    imageRequestManager_->enqueueRequest(request);
}

void MagazineIssueUIContext::prioritizePageRelatedRequest(const Ref<VnRequestContext>& request) {
    (void)imageRequestManager_->prioritizeRequest(request);
}

bool MagazineIssueUIContext::generatingThumbnails() const {
    return !imageRequestManager_->activeRequests().empty();
}

void MagazineIssueUIContext::cancelLoading() {
    issueContext_->cancelLoading();
    imageRequestManager_->cancelAndClearQueue();
    endBackgroundTaskIfNeeded();
}

void MagazineIssueUIContext::applicationDidEnterBackgroundNotification(const Ref<plat::Object>&) {
    imageRequestManager_->setAutostart(false);
    imageRequestManager_->cancel();
}

void MagazineIssueUIContext::applicationWillEnterForegroundNotification(const Ref<plat::Object>&) {
    imageRequestManager_->setAutostart(true);
    if (!imageRequestManager_->running())
        imageRequestManager_->start();
}

// ---- Issue context callbacks
// -----------------------------------------------------------------------

void MagazineIssueUIContext::magazineIssueContext_pageAvalable(
    const Ref<VnMagazineIssueContext>& issueContext, int32_t sourcePageIndex) {
    pageArrived(issueContext, sourcePageIndex, false);
}

void MagazineIssueUIContext::pageArrived(const Ref<VnMagazineIssueContext>& issueContext,
                                         int32_t sourcePageIndex, bool foundChanged) {
    // A page file is handed on only once it is checked, so that the reader makes its page with
    // its size (or its damage) known and lays it out once.
    const auto send = [this, issueContext, sourcePageIndex] {
        const auto keep = self<MagazineIssueUIContext>();
        plat::sendIfResponds(delegate_, VnMagazineIssueContextDelegate::kPageAvailable,
                             issueContext, sourcePageIndex);
        plat::sendIfResponds(delegate_, MagazineIssueUIContextDelegate::kPageDownloadProgressChange,
                             keep);
        checkIfFinished();
    };
    // An arrival already waiting for its check (a page found on disk at the opening) is followed,
    // not checked again.
    const auto file = arrivalHeld(sourcePageIndex)
                          ? std::nullopt
                          : uncheckedPageFile(sourcePageIndex, foundChanged);
    const uint64_t notice = queueNotice(send, !file, sourcePageIndex, sourcePageIndex);
    if (file)
        checkThenRelease(sourcePageIndex, *file, notice);
}

void MagazineIssueUIContext::sendAfterPageArrival(int32_t sourcePageIndex,
                                                  std::function<void()> send) {
    if (arrivalHeld(sourcePageIndex))
        queueNotice(std::move(send), true, -1, sourcePageIndex);
    else
        send();
}

void MagazineIssueUIContext::whenPageChecked(int32_t sourcePageIndex, std::function<void()> then) {
    // A page found on disk before the issue announces it is checked now, as an arrival is. What
    // waits for one page's check (the opening's end, for its first page) waits for no other
    // page's, such as those of the pages found on disk unchecked with it.
    const auto file =
        arrivalHeld(sourcePageIndex) ? std::nullopt : uncheckedPageFile(sourcePageIndex);
    const uint64_t notice = queueNotice(std::move(then), !file, -1, sourcePageIndex, true);
    if (file)
        checkThenRelease(sourcePageIndex, *file, notice);
}

void MagazineIssueUIContext::checkPagesFoundOnDisk() {
    if (pagesFoundOnDiskChecked_ || !issueContext_->pageArray())
        return;
    pagesFoundOnDiskChecked_ = true;
    // The reader opens at the page last viewed: its check comes first.
    auto pages = pageInfos();
    const auto viewed = std::find_if(pages.begin(), pages.end(), [&](const Ref<VnPageInfo>& page) {
        return page->presentationPageIndex_ == userLastViewedPageIndex_;
    });
    std::rotate(pages.begin(), viewed == pages.end() ? pages.begin() : viewed, pages.end());
    std::set<int32_t> seen;
    for (const auto& info : pages) {
        const int32_t index = info->sourcePageIndex();
        if (!seen.insert(index).second || arrivalHeld(index))
            continue;
        // One being checked already (the first page, by the opening) is handed over once that
        // check ends, as an arrival then.
        if (pageBeingChecked(index)) {
            pageArrived(issueContext_, index, false);
            continue;
        }
        // A page the record keeps, or whose file has its kept check, is drawn as it is.
        if (keptPage(index))
            continue;
        const auto page = issueContext_->pageContextWithSourcePageIndex(index);
        const auto asset =
            page && page->pageContentAssetAvailable() ? page->pageContentAsset() : nullptr;
        if (!asset || asset->filePath().empty())
            continue;
        const auto identity = ui::PdfPageCheck::fileIdentity(asset->filePath());
        if (identity && !ui::PdfPageCheck::keptVerdict(asset->filePath(), *identity))
            pageArrived(issueContext_, index, false);
    }
}

bool MagazineIssueUIContext::checkQueueIdle() const {
    return pagesBeingChecked_ == 0 && !pageRecordWriteDue_ &&
           (!checkQueue_ || checkQueue_->pendingBlocks() == 0);
}

void MagazineIssueUIContext::checkPageAgain(int32_t sourcePageIndex) {
    // Its arrival waits for a check already: that check hands the page over.
    if (arrivalHeld(sourcePageIndex))
        return;
    pageArrived(issueContext_, sourcePageIndex, true);
    // A page on screen whose file is to come again comes first.
    const auto page = issueContext_->pageContextWithSourcePageIndex(sourcePageIndex);
    if (page && !page->pageContentAssetAvailable())
        page->prioritizeLoading();
}

void MagazineIssueUIContext::checkShownPagesFirst(
    const std::vector<int32_t>& shownSourcePageIndices) {
    // What the member looks at comes first, then the page each side (the next one first: reading
    // goes on); the rest keeps its order. A page shown whose check is over already goes out at
    // once.
    std::vector<int32_t> first;
    for (const int32_t page : shownSourcePageIndices) {
        if (page >= 0 && std::find(first.begin(), first.end(), page) == first.end())
            first.push_back(page);
    }
    if (!first.empty()) {
        const auto [lowest, highest] = std::minmax_element(first.begin(), first.end());
        const int32_t after = *highest + 1, before = *lowest - 1;
        first.push_back(after);
        if (before >= 0)
            first.push_back(before);
    }
    pagesFirst_ = first;
    checkOrder_->putFirst(std::move(first));
    // On the next turn, not inside the caller's own report of what it shows.
    plat::DispatchQueue::main()->async([weak = weakSelf<MagazineIssueUIContext>()] {
        if (const auto self = weak.lock())
            self->sendReadyNotices();
    });
}

bool MagazineIssueUIContext::pageBeingChecked(int32_t sourcePageIndex) const {
    const auto it = checksUnderWay_.find(sourcePageIndex);
    return it != checksUnderWay_.end() && it->second > 0;
}

void MagazineIssueUIContext::whenPageCheckRunsLong(int32_t sourcePageIndex, double seconds,
                                                   std::function<void()> then) {
    longCheckWaits_.emplace(sourcePageIndex, LongCheckWait{seconds, std::move(then)});
    if (pageBeingChecked(sourcePageIndex))
        armLongCheckWaits(sourcePageIndex);
}

void MagazineIssueUIContext::armLongCheckWaits(int32_t sourcePageIndex) {
    const auto [first, last] = longCheckWaits_.equal_range(sourcePageIndex);
    std::vector<LongCheckWait> waits;
    for (auto it = first; it != last; ++it)
        waits.push_back(std::move(it->second));
    longCheckWaits_.erase(first, last);
    const WeakRef<MagazineIssueUIContext> weak = weakSelf<MagazineIssueUIContext>();
    for (auto& wait : waits) {
        plat::RunLoop::main().perform(
            [weak, sourcePageIndex, then = std::move(wait.then)] {
                const auto self = weak.lock();
                if (self && self->pageBeingChecked(sourcePageIndex))
                    then();
            },
            wait.seconds);
    }
}

bool MagazineIssueUIContext::arrivalHeld(int32_t sourcePageIndex) const {
    return std::any_of(notices_.begin(), notices_.end(), [&](const Notice& notice) {
        return !notice.ready && notice.arrival == sourcePageIndex;
    });
}

void MagazineIssueUIContext::magazineIssueContextDidFinishLoadingInteractive(
    const Ref<VnMagazineIssueContext>& issueContext) {
    queueNotice(
        [this, issueContext] {
            const auto keep = self();
            plat::sendIfResponds(delegate_,
                                 VnMagazineIssueContextDelegate::kDidFinishLoadingInteractive,
                                 issueContext);
            checkIfFinished();
        },
        true);
}

namespace {

// An identity starts with the file's size.
bool emptyFile(const std::string& identity) {
    return identity.starts_with("0 ");
}

}  // namespace

std::optional<std::filesystem::path> MagazineIssueUIContext::uncheckedPageFile(
    int32_t sourcePageIndex, bool foundChanged) {
    // A file checked before (a page found on disk again) costs a look at its kept verdict, which
    // the issue's page record then keeps too.
    const auto page = issueContext_->pageContextWithSourcePageIndex(sourcePageIndex);
    const auto asset =
        page && page->pageContentAssetAvailable() ? page->pageContentAsset() : nullptr;
    std::optional<std::string> identity;
    if (asset && !asset->filePath().empty())
        identity = ui::PdfPageCheck::fileIdentity(asset->filePath());
    if (!identity) {
        // A file the issue kept and that is no longer there (or no longer a plain file), found
        // so as its page was drawn: the record no longer describes it, and it comes again.
        if (!foundChanged) {
            // Its page finds it so when it is drawn.
        } else if (asset) {
            forgetPage(sourcePageIndex);
            throwAwayPageFile(sourcePageIndex, "went from its folder");
        } else if (page && pageRecord().page(sourcePageIndex)) {
            // Downloaded as any page still to come.
            forgetPage(sourcePageIndex);
            page->startLoading();
        }
        return std::nullopt;
    }
    const std::filesystem::path& file = asset->filePath();
    if (emptyFile(*identity)) {
        // A download that brought nothing: no checker is needed to refuse it.
        keepOrThrowAway(sourcePageIndex, {{false, "The file is empty"}, std::move(*identity)},
                        file);
        return std::nullopt;
    }
    if (auto verdict = ui::PdfPageCheck::keptVerdict(file, *identity)) {
        keepOrThrowAway(sourcePageIndex, {std::move(*verdict), std::move(*identity)}, file);
        return std::nullopt;
    }
    // A file whose check gave no verdict in this opening (stopped at its limit of processor
    // time, or the checker not run) is not checked again before the issue is opened again: it
    // keeps its placeholder meanwhile.
    const auto tried = checkedWithoutVerdict_.find(sourcePageIndex);
    if (tried != checkedWithoutVerdict_.end() && tried->second == *identity)
        return std::nullopt;
    return file;
}

void MagazineIssueUIContext::keepOrThrowAway(int32_t sourcePageIndex, IssuePageRecord::Page page,
                                             const std::filesystem::path& file) {
    if (!page.verdict.usable) {
        const std::string why = page.verdict.reason == "The file is empty"
                                    ? std::string("arrived empty")
                                    : "is damaged (" + page.verdict.reason + ")";
        if (throwAwayPageFile(sourcePageIndex, why))
            return;
    }
    keepPage(sourcePageIndex, std::move(page), file);
}

bool MagazineIssueUIContext::throwAwayPageFile(int32_t sourcePageIndex, const std::string& why) {
    // Once an opening: a service that sends a damaged page again is not asked for ever; the
    // page keeps its placeholder until the issue is opened again. A download that fails is
    // retried by the issue as any page's is.
    if (!thrownAway_.insert(sourcePageIndex).second)
        return false;
    const auto page = issueContext_->pageContextWithSourcePageIndex(sourcePageIndex);
    if (!page)
        return false;
    plat::systemLog(plat::format("Page %d of the issue %s; it is downloaded again",
                                 static_cast<int>(sourcePageIndex), why.c_str()));
    forgetPage(sourcePageIndex);
    if (const auto cached = page->localCacheAsset()) {
        plat::FileManager::removeItem(ui::PdfPageCheck::verdictPath(cached->filePath()));
        cached->clearData();
    }
    // Asked for once the page's request that brought it has ended (it may be what tells us).
    plat::DispatchQueue::main()->async([weak = WeakRef<VnMagazineIssuePageContext>(page)] {
        if (const auto again = weak.lock())
            again->startLoading();
    });
    return true;
}

void MagazineIssueUIContext::checkThenRelease(int32_t sourcePageIndex,
                                              const std::filesystem::path& file, uint64_t notice) {
    // Each page file is opened once in the checker, off this thread, as it arrives: the reader
    // then learns its size, or why it cannot be used, without opening it.
    ++pagesBeingChecked_;
    ++checksUnderWay_[sourcePageIndex];
    armLongCheckWaits(sourcePageIndex);
    // One turn on the queue a check; each turn takes the check that comes first then (the pages
    // the member is shown may have changed meanwhile).
    checkOrder_->add({sourcePageIndex, file, notice});
    const WeakRef<MagazineIssueUIContext> weak = weakSelf<MagazineIssueUIContext>();
    checkQueue()->async([weak, order = checkOrder_, pending = ui::PdfPageCheck::pending()] {
        // An issue closed meanwhile leaves its files to be checked when they are next found.
        if (weak.expired())
            return;
        auto next = order->takeNext();
        if (!next)
            return;
        const int32_t sourcePageIndex = next->sourcePageIndex;
        const uint64_t notice = next->notice;
        const std::filesystem::path file = std::move(next->file);
        const auto before = ui::PdfPageCheck::fileIdentity(file);
        ui::PdfPageCheck::check(file);
        // The verdict kept for the file as it is now (none when it changed during its check, or
        // when the check gave none).
        std::optional<IssuePageRecord::Page> checked;
        if (auto identity = ui::PdfPageCheck::fileIdentity(file)) {
            if (auto verdict = ui::PdfPageCheck::keptVerdict(file, *identity))
                checked = IssuePageRecord::Page{std::move(*verdict), std::move(*identity)};
        }
        // A context gone meanwhile (its issue closed, or the program ending) hears nothing.
        if (weak.expired())
            return;
        plat::DispatchQueue::main()->async([weak, sourcePageIndex, notice, checked, file, before] {
            if (const auto self = weak.lock()) {
                --self->pagesBeingChecked_;
                if (--self->checksUnderWay_[sourcePageIndex] == 0)
                    self->checksUnderWay_.erase(sourcePageIndex);
                if (checked) {
                    self->keepOrThrowAway(sourcePageIndex, *checked, file);
                } else {
                    if (before)
                        self->checkedWithoutVerdict_[sourcePageIndex] = *before;
                    if (self->pagesBeingChecked_ == 0 && self->pageRecordChanged_)
                        self->writePageRecord();
                }
                self->releaseNotice(notice);
            }
        });
    });
}

void MagazineIssueUIContext::forgetPage(int32_t sourcePageIndex) {
    if (pageRecord().erase(sourcePageIndex)) {
        pageRecordChanged_ = true;
        if (pagesBeingChecked_ == 0)
            writePageRecord();
    }
}

const Ref<plat::DispatchQueue>& MagazineIssueUIContext::checkQueue() {
    if (!checkQueue_)
        checkQueue_ = plat::DispatchQueue::serial("varnel.page-check");
    return checkQueue_;
}

const std::filesystem::path& MagazineIssueUIContext::pageFolder() const {
    return pageFolder_;
}

std::filesystem::path MagazineIssueUIContext::pageRecordPath() {
    return pageFolder() / IssuePageRecord::kFileName;
}

IssuePageRecord& MagazineIssueUIContext::pageRecord() {
    if (!pageRecord_)
        pageRecord_ = std::make_unique<IssuePageRecord>(
            IssuePageRecord::read(pageRecordPath(), issueContext_->info()->code().value_or("")));
    return *pageRecord_;
}

const IssuePageRecord::Page* MagazineIssueUIContext::keptPage(int32_t sourcePageIndex) {
    return pageRecord().page(sourcePageIndex);
}

void MagazineIssueUIContext::keepPage(int32_t sourcePageIndex, IssuePageRecord::Page page,
                                      const std::filesystem::path& file) {
    // The page's name and crop as the metadata gives them, so that an opening reads neither; a
    // page whose metadata is not here yet (or whose file lies outside the issue's folder) is
    // kept without them, and the reader then takes them from the metadata.
    const auto pageContext = issueContext_->pageContextWithSourcePageIndex(sourcePageIndex);
    const auto info = pageContext ? pageContext->renderingInfo() : nullptr;
    if (info && file.has_filename() && file.parent_path() == pageFolder()) {
        page.file = file.filename().string();
        page.label = info->pageName().value_or("");
        const auto finiteOrNone = [](double v) { return std::isfinite(v) ? v : 0.0; };
        const VnEdgeInsets& insets = info->pageInsets();
        page.insets = {finiteOrNone(insets.top), finiteOrNone(insets.left),
                       finiteOrNone(insets.bottom), finiteOrNone(insets.right)};
    }
    if (pageRecord().set(sourcePageIndex, std::move(page)))
        pageRecordChanged_ = true;
    if (pagesBeingChecked_ == 0 && pageRecordChanged_)
        writePageRecord();
}

void MagazineIssueUIContext::writePageRecord() {
    // Once for the pages learned within one turn, written whole on the checking queue (after the
    // checks before it), from a copy.
    if (pageRecordWriteDue_)
        return;
    pageRecordWriteDue_ = true;
    const WeakRef<MagazineIssueUIContext> weak = weakSelf<MagazineIssueUIContext>();
    plat::DispatchQueue::main()->async([weak] {
        const auto self = weak.lock();
        if (!self)
            return;
        self->pageRecordWriteDue_ = false;
        if (self->pageRecordChanged_)
            self->queueRecordWrite();
    });
}

void MagazineIssueUIContext::queueRecordWrite() {
    pageRecordChanged_ = false;
    checkQueue()->async([record = *pageRecord_, path = pageRecordPath(),
                         generation = fileGeneration_, seen = fileGenerationSeen_,
                         pending = ui::PdfPageCheck::pending()] {
        // Once the item has been returned its folder is emptied for good: nothing of this opening
        // goes back there.
        generation->writeUnlessTakenAwaySince(seen, [&] {
            if (auto error = record.write(path))
                plat::systemLog("Cannot keep the issue's page record: " +
                                error->localizedDescription());
        });
    });
}

uint64_t MagazineIssueUIContext::queueNotice(std::function<void()> send, bool ready,
                                             int32_t arrival, int32_t page, bool afterItsPageOnly) {
    const uint64_t id = nextNotice_++;
    notices_.push_back({id, ready, arrival, page, afterItsPageOnly, std::move(send)});
    sendReadyNotices();
    return id;
}

void MagazineIssueUIContext::releaseNotice(uint64_t id) {
    for (auto& notice : notices_) {
        if (notice.id == id)
            notice.ready = true;
    }
    sendReadyNotices();
}

void MagazineIssueUIContext::sendReadyNotices() {
    const auto keep = self();
    for (auto next = nextNoticeToSend(); next != notices_.end(); next = nextNoticeToSend()) {
        auto send = std::move(next->send);
        notices_.erase(next);
        send();
    }
}

std::deque<MagazineIssueUIContext::Notice>::iterator MagazineIssueUIContext::nextNoticeToSend() {
    // In the order they came: what follows a page still being checked waits for it.
    if (!notices_.empty() && notices_.front().ready)
        return notices_.begin();
    // But the notices of a page put first, and a wait for one page's check, go ahead of those of
    // other pages and of those of no page (what the issue tells of itself, which needs no page
    // handed on before it), never of their page's own: neither the member nor the opening waits
    // for the checks of pages not shown.
    std::set<int32_t> passed;
    for (auto it = notices_.begin(); it != notices_.end(); ++it) {
        if (it->ready && it->page >= 0 && !passed.contains(it->page) &&
            (it->afterItsPageOnly ||
             std::find(pagesFirst_.begin(), pagesFirst_.end(), it->page) != pagesFirst_.end()))
            return it;
        passed.insert(it->page);
    }
    return notices_.end();
}

void MagazineIssueUIContext::checkIfFinished() {
    if (allPresentationPagesAvailable() && !issueContext_->interactiveDownloading()) {
        notifyFinishedToUserIfNeeded();
        endBackgroundTaskIfNeeded();
    }
}

plat::Value MagazineIssueUIContext::magazineIssueContext_interactiveAssetFilesForRenderingInfo(
    const Ref<plat::Object>&, const Ref<VnMagazineIssuePageRenderingInfo>& renderingInfo) {
    std::set<std::string> ids;
    if (renderingInfo && renderingInfo->widgetDictionaries()) {
        renderingInfo->widgetDictionaries()->enumerate([&](const plat::Value& description) {
            try {
                auto widget = WidgetFactory::widgetWithDictionary(description, nullptr);
                if (!widget)
                    return true;
                auto visible = std::dynamic_pointer_cast<VisibleWidget>(widget);
                for (auto& id : visible ? visible->requiredInteractiveFileIds()
                                        : widget->_requiredAssetFileIds())
                    ids.insert(std::move(id));
            } catch (const std::exception& e) {
                plat::systemLog(plat::format("A widget description was skipped: %s", e.what()));
            }
            return true;
        });
    }
    std::vector<plat::Value> list(ids.begin(), ids.end());
    return plat::Value(plat::Array::make(std::move(list)));
}
