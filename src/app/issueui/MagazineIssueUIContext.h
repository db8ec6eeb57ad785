#pragma once
// MagazineIssueUIContext: the screen side of one opened issue. It becomes the issue context's
// delegate, answers the issue in reading order (page count, the page UI context of a presentation
// index, source index or page name, spreads and alignment), the issue-wide rendering defaults,
// the reader's caption, the member's reading settings for the issue (kept in the member's user
// storage under "<code>/<name>", written at once) and a one-at-a-time queue for page images.
// One page UI context per source page, made when first asked for.
//
// A page that arrives is handed on to the delegate once its file is checked (on one queue of
// checks, one at a time); a file checked before is handed on at once. The delegate's messages keep
// the order in which the issue context sent them, and what a page's UI context tells its
// listeners of a page whose arrival waits for its check waits behind that arrival (a page is
// available before it is finished). The pages the member is shown, and those beside them, are
// checked before the others waiting, and handed on (with what they tell of themselves) as soon
// as they are, ahead of other pages still waiting for their checks and of what the issue told of
// itself meanwhile (that its interactive files are in). A page whose file is on disk
// unchecked when the issue starts loading (its check cut short by the program's end) is checked
// then and handed on as an arrival, once: the issue's own announcement of it later checks it no
// more.
//
// A page file that is no longer the file the issue kept (another identity, as a copied or restored
// home gives every file) is checked again, as an unchecked page is, and kept anew when usable: it
// is never deleted before its check refuses it. A file gone, empty or refused by its check
// (damaged) is thrown away and downloaded again, once a page in an opening (one system-log line
// for it); refused again, it keeps its placeholder until the next opening.
//
// Delegate messages (optional, not kept): the issue context's own
// "magazineIssueContext:pageAvalable:" and "magazineIssueContextDidFinishLoadingInteractive:"
// (VnMagazineIssueContextDelegate), handed on, and MagazineIssueUIContextDelegate below.
//
// MagazineIssueUIContextRenderingInfo: the issue's rendering defaults: "HasSingleCoverPage" (yes
// when absent), "TableOfContentPageName", "TableOfContentPresentationPageIndex",
// "DefaultSinglePageAlignment" and "DefaultDoublePageAlignment" (0 when absent).
#include <QColor>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/issueui/IssuePageRecord.h"
#include "platform/core/Message.h"
#include "vnlib/info/VnInfoBase.h"

class MagazinePageUIContext;
class PageCheckOrder;
class VnMagazineIssueContext;
class VnMagazineIssuePageRenderingInfo;
class VnPageInfo;
class VnRequestContext;
class VnRequestManager;
class VnArchiveFileGeneration;
class MagazineIssueUIContext;

// What the issue's UI context tells its delegate besides the issue context's own messages.
struct MagazineIssueUIContextDelegate {
    static constexpr plat::Message<void(const Ref<MagazineIssueUIContext>&)>
        kPageDownloadProgressChange{"magazineIssueUIContextPageDownloadProgressChange:"};
};

class MagazineIssueUIContextRenderingInfo : public VnInfoBase {
    PLAT_CLASS(MagazineIssueUIContextRenderingInfo)
  public:
    // Loads from the metadata; anything but a dictionary loads the defaults.
    static Ref<MagazineIssueUIContextRenderingInfo> withMetadata(const plat::Value& metadata);

    virtual bool hasSingleCoverPage() const { return hasSingleCoverPage_; }
    void setHasSingleCoverPage(bool value) { hasSingleCoverPage_ = value; }
    const std::optional<std::string>& tableOfContentPageName() const {
        return tableOfContentPageName_;
    }
    void setTableOfContentPageName(std::optional<std::string> name) {
        tableOfContentPageName_ = std::move(name);
    }
    virtual int32_t tableOfContentPresentationPageIndex() const {
        return tableOfContentPresentationPageIndex_;
    }
    void setTableOfContentPresentationPageIndex(int32_t index) {
        tableOfContentPresentationPageIndex_ = index;
    }
    QColor defaultPageBackgroundColor() const { return QColor(0, 0, 0, 0); }
    int32_t defaultSinglePageAlignment() const { return defaultSinglePageAlignment_; }
    int32_t defaultDoublePageAlignment() const { return defaultDoublePageAlignment_; }

    bool hasSingleCoverPage_ = true;
    std::optional<std::string> tableOfContentPageName_;
    int32_t tableOfContentPresentationPageIndex_ = 0;

  private:
    int32_t defaultSinglePageAlignment_ = 0;
    int32_t defaultDoublePageAlignment_ = 0;
};

namespace plat {
class DispatchQueue;
}

class MagazineIssueUIContext : public plat::Object {
    PLAT_CLASS(MagazineIssueUIContext)
  public:
    // Makes the context (of class T, built with the issue context and the further arguments)
    // and makes it the issue context's delegate. A null issue context is an assertion failure.
    template <class T = MagazineIssueUIContext, class... A>
    static Ref<T> initWithContext(const Ref<VnMagazineIssueContext>& context, A&&... args) {
        auto ui = std::make_shared<T>(context, std::forward<A>(args)...);
        ui->becomeIssueContextDelegate();
        return ui;
    }
    explicit MagazineIssueUIContext(Ref<VnMagazineIssueContext> context);
    ~MagazineIssueUIContext() override;

    virtual const Ref<VnMagazineIssueContext>& context() const { return issueContext_; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    // ---- Reading settings ----
    virtual int32_t userLastViewedPageIndex() const { return userLastViewedPageIndex_; }
    virtual void persistUserLastViewedPageIndex(int32_t index);
    bool userIsSinglePage() const { return userIsSinglePage_; }
    void persistUserIsViewSinglePage(bool value);
    bool userIsLockRotate() const { return userIsLockRotate_; }
    void persistUserIsViewLockRotate(bool value);
    int32_t userDisplayMode() const { return userDisplayMode_; }
    void persistUserDisplayMode(int32_t mode);
    std::string lastViewedPageIndexKeyName() const;
    std::string isViewSinglePageKeyName() const;
    std::string isViewLockRotateKeyName() const;
    std::string displayModeKeyName() const;

    // ---- Pages ----
    virtual int32_t presentationPageCount() const;
    int32_t finishedPageCount() const;
    virtual bool allPresentationPagesAvailable() const;
    // Finished pages over all pages; 0 without pages.
    float pageDownloadProgress() const;
    bool readyForDisplay() const;
    // Pages that arrived and wait for their file's check before they are handed on.
    int pagesBeingChecked() const { return pagesBeingChecked_; }
    // Sends at once, or, while the page's arrival waits for its file's check, right after it.
    void sendAfterPageArrival(int32_t sourcePageIndex, std::function<void()> send);
    // Calls `then` once the page's file, when it is there, is checked (its file checked and
    // kept, or its check over without a verdict), right after that page's own messages to the
    // delegate before it (its arrival held for that check), ahead of those of other pages still
    // waiting for their checks: at once when nothing of the page waits.
    void whenPageChecked(int32_t sourcePageIndex, std::function<void()> then);
    // The page's file was found not to be the one its page was made from (gone, or changed
    // since its check): it is looked at again as an arrival is (checked, kept anew and handed
    // over; or thrown away and downloaded again), unless its arrival is being checked already.
    void checkPageAgain(int32_t sourcePageIndex);
    // Whether a check of the page's file holds its arrival, or a wait for its check, now.
    bool pageBeingChecked(int32_t sourcePageIndex) const;
    // The pages the member is shown now (source indices; the reader's slots): their checks, then
    // those of the page after and the page before them, come before the other checks waiting.
    // Replaces the pages said before.
    void checkShownPagesFirst(const std::vector<int32_t>& shownSourcePageIndices);
    // The pages whose checks come first now, the first of them first.
    const std::vector<int32_t>& pagesCheckedFirst() const { return pagesFirst_; }
    // Calls `then` once a check of the page's file, under way or the next to begin, has run for
    // `seconds` without ending; never when it ends sooner.
    void whenPageCheckRunsLong(int32_t sourcePageIndex, double seconds, std::function<void()> then);
    // Whether nothing of this opening waits on its checking queue or is on its way there: no
    // check under way, no write of the page record due or queued.
    bool checkQueueIdle() const;
    // The pages whose files this opening threw away to download them again.
    const std::set<int32_t>& pagesThrownAway() const { return thrownAway_; }
    // The page's check as the issue's page record keeps it (read once, when first asked), valid
    // until the next page is kept: nothing when the record has no trusted entry for it.
    const IssuePageRecord::Page* keptPage(int32_t sourcePageIndex);
    // The issue's folder, where its page files and its page record lie.
    const std::filesystem::path& pageFolder() const;
    std::filesystem::path pageRecordPath();
    virtual Ref<MagazinePageUIContext> pageContextAtSourceIndex(int32_t sourceIndex);
    // Null when no page stands at that index.
    virtual Ref<MagazinePageUIContext> pageContextAtPresentationIndex(int32_t presentationIndex);
    // Null when no page has that name.
    virtual Ref<MagazinePageUIContext> pageContextForPageName(const std::string& pageName);
    // Nothing when the source page stands nowhere.
    std::optional<std::set<int32_t>> presentationIndicesForSourceIndex(int32_t sourceIndex);
    std::vector<Ref<MagazinePageUIContext>> pageContextsForSourceIndex(int32_t sourceIndex);
    std::vector<Ref<MagazinePageUIContext>> allActivePageContexts() const;
    // The other page of the spread; -1 for a single cover.
    int32_t presentationPairPageForIndex(int32_t presentationIndex);
    // 0 left, 1 centre, 2 right.
    int32_t pageHorizontalAlignmentForPresentationIndex(int32_t presentationIndex);
    virtual Ref<MagazineIssueUIContextRenderingInfo> renderingInfo();
    virtual std::string readerCaptionText() const;
    std::string issueLibraryUriWithReader(bool withReader) const;

    // ---- Page images ----
    void enqueuePageRelatedRequest(const Ref<VnRequestContext>& request);
    void prioritizePageRelatedRequest(const Ref<VnRequestContext>& request);
    bool generatingThumbnails() const;
    const Ref<VnRequestManager>& imageRequestManager() const { return imageRequestManager_; }
    void cancelLoading();
    void applicationDidEnterBackgroundNotification(const Ref<plat::Object>& notification);
    void applicationWillEnterForegroundNotification(const Ref<plat::Object>& notification);
    void applicationWillTerminateNotification(const Ref<plat::Object>&) {}

    // ---- Issue context callbacks ----
    void magazineIssueContextWillStartLoading(const Ref<plat::Object>&) {
        endBackgroundTaskIfNeeded();
        checkPagesFoundOnDisk();
    }
    void magazineIssueContext_pageAvalable(const Ref<VnMagazineIssueContext>& issueContext,
                                           int32_t sourcePageIndex);
    void magazineIssueContextDidFinishLoadingInteractive(
        const Ref<VnMagazineIssueContext>& issueContext);
    // The distinct file ids the page's widgets need.
    plat::Value magazineIssueContext_interactiveAssetFilesForRenderingInfo(
        const Ref<plat::Object>& issueContext,
        const Ref<VnMagazineIssuePageRenderingInfo>& renderingInfo);

    void endBackgroundTaskIfNeeded() {}
    void notifyFinishedToUserIfNeeded() {}

  protected:
    void becomeIssueContextDelegate();

  private:
    // The file of an arrived page that has no kept check; nothing otherwise (its kept check is
    // then in the record, or the file was thrown away to be downloaded again).
    // `foundChanged`: the page was drawn and its file found gone or changed.
    std::optional<std::filesystem::path> uncheckedPageFile(int32_t sourcePageIndex,
                                                           bool foundChanged = false);
    // The page's file arrived (or was found changed): checked unless its check is kept, then
    // handed on.
    void pageArrived(const Ref<VnMagazineIssueContext>& issueContext, int32_t sourcePageIndex,
                     bool foundChanged);
    // Once an opening, when the page list is known: the pages whose files are on disk with no
    // kept check (their checks cut short by the program's end) are checked now, as arrivals are,
    // from the page the member last viewed on, without waiting for the issue to announce them
    // (it may never do so without the service).
    void checkPagesFoundOnDisk();
    // Keeps the page's verdict of its file; a refused file is thrown away instead, once an opening.
    void keepOrThrowAway(int32_t sourcePageIndex, IssuePageRecord::Page page,
                         const std::filesystem::path& file);
    // Deletes the page's file (and its kept check and record entry) and has it downloaded again;
    // false, doing nothing, when this opening did so already.
    bool throwAwayPageFile(int32_t sourcePageIndex, const std::string& why);
    // Takes the page out of the issue's page record.
    void forgetPage(int32_t sourcePageIndex);
    // Checks the file on the checking queue, then keeps its verdict in the issue's page record
    // and sends the notice waiting for it.
    void checkThenRelease(int32_t sourcePageIndex, const std::filesystem::path& file,
                          uint64_t notice);
    IssuePageRecord& pageRecord();
    // Keeps the page's verdict of its file, with how the issue's metadata describes the page;
    // the record is written once no page waits for its check.
    void keepPage(int32_t sourcePageIndex, IssuePageRecord::Page page,
                  const std::filesystem::path& file);
    void writePageRecord();
    // Writes a copy of the record as it is now on the checking queue, after the checks before it.
    void queueRecordWrite();
    // Notices to the delegate go out in the order they came; one not ready (its page's file
    // being checked) holds back those after it, but for the notices of a page put first and the
    // waits for a page's check, which go ahead of other pages' notices and of the issue's own.
    // `arrival`: the page whose arrival the notice hands on, -1 for none; `page`: the page the
    // notice tells of (its arrival's, the page whose arrival it follows, or whose check it waits
    // for), -1 for none; `afterItsPageOnly`: the notice waits for nothing but its page's notices.
    uint64_t queueNotice(std::function<void()> send, bool ready, int32_t arrival = -1,
                         int32_t page = -1, bool afterItsPageOnly = false);
    // Whether the page's arrival waits for its file's check.
    bool arrivalHeld(int32_t sourcePageIndex) const;
    void releaseNotice(uint64_t id);
    void sendReadyNotices();
    void checkIfFinished();
    std::vector<Ref<VnPageInfo>> pageInfos() const;
    bool buildIndexMaps();
    plat::Value storedSetting(const std::string& key) const;
    void storeSetting(const plat::Value& value, const std::string& key) const;

    Ref<VnMagazineIssueContext> issueContext_;
    std::map<int32_t, Ref<MagazinePageUIContext>> pageUIContextMap_;
    std::optional<std::map<int32_t, Ref<VnPageInfo>>> pageUIPresentationIndexMap_;
    std::optional<std::map<int32_t, std::vector<Ref<VnPageInfo>>>> presentationLookupMap_;
    std::optional<std::map<std::string, Ref<MagazinePageUIContext>>> pageNameMap_;
    int32_t userLastViewedPageIndex_ = 0;
    bool userIsSinglePage_ = false;
    bool userIsLockRotate_ = false;
    int32_t userDisplayMode_ = 0;
    Ref<MagazineIssueUIContextRenderingInfo> renderingInfo_;
    Ref<VnRequestManager> imageRequestManager_;
    // Page files checked as they arrive, one at a time, and the page record's writes after them.
    const Ref<plat::DispatchQueue>& checkQueue();
    Ref<plat::DispatchQueue> checkQueue_;
    // The checks waiting for their turn there, and the pages whose checks and notices come first.
    std::shared_ptr<PageCheckOrder> checkOrder_;
    std::vector<int32_t> pagesFirst_;
    int pagesBeingChecked_ = 0;
    // Page files whose check gave no verdict in this opening, with the file's identity then.
    std::map<int32_t, std::string> checkedWithoutVerdict_;
    std::set<int32_t> thrownAway_;
    bool pagesFoundOnDiskChecked_ = false;
    // Checks under way, by page, and what waits for one that runs long.
    std::map<int32_t, int> checksUnderWay_;
    struct LongCheckWait {
        double seconds;
        std::function<void()> then;
    };
    std::multimap<int32_t, LongCheckWait> longCheckWaits_;
    void armLongCheckWaits(int32_t sourcePageIndex);
    std::unique_ptr<IssuePageRecord> pageRecord_;
    // The item's folder, and its files as this opening found them: once they are taken away (the
    // item returned), no page record of this opening is written.
    std::filesystem::path pageFolder_;
    std::shared_ptr<VnArchiveFileGeneration> fileGeneration_;
    uint64_t fileGenerationSeen_ = 0;
    bool pageRecordChanged_ = false;
    bool pageRecordWriteDue_ = false;
    struct Notice {
        uint64_t id;
        bool ready;
        int32_t arrival;
        int32_t page;
        bool afterItsPageOnly;
        std::function<void()> send;
    };
    std::deque<Notice> notices_;
    // The next notice that may go out; notices_.end() when none may.
    std::deque<Notice>::iterator nextNoticeToSend();
    uint64_t nextNotice_ = 0;
    WeakRef<plat::Object> delegate_;
};
