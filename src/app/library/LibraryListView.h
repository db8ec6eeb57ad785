#pragma once
// LibraryListView: one shelf of the member's library (magazines, or books). It fills itself from
// the active member's two library domains (local snapshots first, then an update from the
// service, at most one update of its domain at a time), reconciles the local items with the loans
// the service reports (items no longer lent are removed, samples kept; read-now loans are
// returned) by the answer to its last question only, none asked before the member took a loan,
// removing only what the member's own local library holds, offers a return mode (return a loan,
// delete a sample), opens a clicked item through a metadata downloader with the progress in the
// clicked cell and then hands it to the reader window, hiding the main window until the reader
// closes.
//
// Everything is reached anew at each use through GlobalService → storeContext →
// activeUserContext. All state lives here; the view (title, return and close buttons, and a
// ui::CollectionView of shelf cells whose delegate is the shelf) only shows it. Main thread only.
//
// Messages it answers: the request completions ("bookLibraryUpdate_", "libraryUpdate_",
// "getIssueInfo_", "returnReadBookNow_"), the downloader's reports, the cells'
// "libraryBookCollectionCellSelect:", "libraryBookCollectionCellRemove:",
// "libraryBookCollectionCellDelete:", "libraryBookShelfCellStopDownload:" and the reader's
// "readerWindowControllerWillClose". It tells its library delegate "libraryListView_StartLoading:"
// and "libraryListView_LoadComplete:".
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform_ui/ViewController.h"
#include "vnlib/dev/request/VnRequestProgress.h"

class IssueMetadataDownloader;
class LibraryShelfBookInfo;
class LibraryShelfCell;
class MagazineIssueUIContext;
class ReaderHandOver;
class VnBookStoreUserContext;
class VnDomainUpdatingRequest;
class VnMagazineIssueInfo;
class VnRequestContext;
class VnRequestResult;
class QLabel;
class QPushButton;
namespace ui {
class CollectionView;
}

class LibraryListView : public ui::ViewController {
    PLAT_CLASS(LibraryListView)
  public:
    using Items = std::vector<Ref<VnMagazineIssueInfo>>;
    using ShelfItems = std::vector<Ref<LibraryShelfBookInfo>>;
    // A shelf's height on the library screen.
    static constexpr int kShelfHeight = 350;

    LibraryListView();
    ~LibraryListView() override;

    void awakeFromNib() override;
    void viewDidLoad() override;

    // ---- Outlets (null until the view loads) ----
    ui::CollectionView* collectionView() const;
    QLabel* titleTextField() const;
    QPushButton* returnButton() const;
    QPushButton* closeButton() const;

    // ---- Partners ----
    // Told when a return starts and finishes; not kept (the library screen owns the shelf).
    Ref<plat::Object> libraryDelegate() const { return libraryDelegate_.lock(); }
    void setLibraryDelegate(const Ref<plat::Object>& delegate) { libraryDelegate_ = delegate; }
    const std::shared_ptr<ReaderHandOver>& readerWindowController() const { return reader_; }
    void setReaderWindowController(std::shared_ptr<ReaderHandOver> reader) {
        reader_ = std::move(reader);
    }

    // ---- Content ----
    const std::string& titleLibrary() const { return titleLibrary_; }
    void setTitleLibrary(std::string title);
    bool bookLibraryMode() const { return isBookLibraryMode_; }
    // Stores the kind; the first call fills the shelf from the local snapshots.
    void setBookLibraryMode(bool bookMode);
    // Rebuilds the wrappers of this shelf's kind (removeMode NO) and answers them.
    ShelfItems libraryIssueArray();
    // What the grid shows: the wrappers last bound.
    const ShelfItems& content() const { return content_; }
    void setMagazineIssueInfos(const Items& infos);
    void updateIssueInfos(Items infos);
    void updatePresentationIssues();
    const std::optional<Items>& libraryBooks() const { return libraryBooks_; }
    const std::optional<Items>& libraryMagazines() const { return libraryMagazines_; }
    // Called after every bind of new content (the grid reloads).
    std::function<void()> contentDidChange;

    // ---- Refresh ----
    void updateLibraryForceUpdate(bool force, bool loadFromSnapshot);
    void updateLibraryForceUpdate(bool force) { updateLibraryForceUpdate(force, true); }
    void updateLibrary() { updateLibraryForceUpdate(false); }
    void cancelLoading();
    // Another member signed in, or the member signed out: what was being loaded for the member
    // who left is cancelled (a running update would hold the new one back, and its answer
    // belongs to the member who left) and the shelf loads what the member now signed in holds.
    void reloadForAnotherMember();
    // The member has just taken a loan (a borrow, a read now, a claim): what the shelf asked the
    // service before it is no longer awaited, and the next refresh starts afresh.
    void loanTaken();
    const Ref<VnDomainUpdatingRequest>& booksRequest() const { return booksRequest_; }
    const Ref<VnDomainUpdatingRequest>& magazineIssuesRequest() const {
        return magazineIssuesRequest_;
    }

    void libraryUpdate_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                   const Ref<VnRequestResult>& result);
    void bookLibraryUpdate_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                       const Ref<VnRequestResult>& result);
    void libraryUpdate_request_progressReport(const Ref<VnRequestContext>&, VnRequestProgress) {}
    // Asks the service which of the items the member still holds; the answer takes out of the
    // member's local library what the service no longer lends. `before`: this shelf's part of the
    // member's local library when the update that listed the items began. Only what it held may
    // go, and what it held that the update no longer lists goes too, unless another of the
    // member's lists holds it. Without it, the library as it stands when asked, nothing dropped.
    void getLibraryIssueInfos(const Items& items);
    void getLibraryIssueInfos(const Items& items, Items before);
    // The last library-state request.
    const Ref<VnRequestContext>& getIssueInfoRequest() const { return getIssueInfoRequest_; }
    void getIssueInfo_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                  const Ref<VnRequestResult>& result);
    void returnReadBookNow(const Ref<VnMagazineIssueInfo>& item);
    void returnReadBookNow_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                       const Ref<VnRequestResult>& result);

    // ---- Return mode ----
    int mode() const { return mode_; }
    bool returnButtonHidden() const { return returnButtonHidden_; }
    bool closeButtonHidden() const { return closeButtonHidden_; }
    void returnButton_Click();
    void closeButton_Click();

    // ---- Cells ----
    void libraryBookCollectionCellSelect(const Ref<plat::Object>& cell);
    void libraryBookCollectionCellRemove(const Ref<plat::Object>& cell);
    void libraryBookCollectionCellDelete(const Ref<plat::Object>& cell);
    void libraryBookShelfCellStopDownload(const Ref<plat::Object>& cell);

    // ---- Opening ----
    // Whether the reader shows the item: only an item whose format is pages opens.
    static bool readerOpens(const VnMagazineIssueInfo& item);
    void displayLibraryItem(const Ref<VnMagazineIssueInfo>& item);
    // Opens the item as above for another screen, which waits for the reader: true when the
    // reader shows it or its opening is under way, false when nothing opens it. Should that
    // opening end without the reader, `whenNotShown` is called then, once (the member has been
    // told why); a later opening asked for in its place drops it.
    bool displayLibraryItem_whenNotShown(const Ref<VnMagazineIssueInfo>& item,
                                         std::function<void()> whenNotShown);
    void displayLibraryItem_checkReachability(const Ref<VnMagazineIssueInfo>& item, bool check);
    void startDownloadingIssue(const Ref<VnMagazineIssueInfo>& item);
    void startDownloadingPDFIssue(const Ref<VnMagazineIssueInfo>& item);
    void startDownloadWithDownloader(const Ref<IssueMetadataDownloader>& downloader);
    bool currentDownloadingIssueReadyForDisplay() const;
    void displayCurrentDownloadingIssue();
    void displayCurrentDownloadingIssuePDF();
    void releaseDownloadingIssue();
    bool downloadingIssueInfoMetadata(const Ref<VnMagazineIssueInfo>& item) const;
    const Ref<IssueMetadataDownloader>& metadataDownloader() const { return metadataDownloader_; }
    const Ref<MagazineIssueUIContext>& downloadingIssueUIContext() const {
        return downloadingIssueUIContext_;
    }
    Ref<LibraryShelfCell> currentBookShelfCellView() const { return currentCell_.lock(); }

    void issueDownloader_metadataLoadingProgress(const Ref<IssueMetadataDownloader>& downloader,
                                                 VnRequestProgress progress);
    void issueDownloaderMetadataLoadingDidFinish_withResult(
        const Ref<IssueMetadataDownloader>& downloader, const Ref<VnRequestResult>& result);
    void readerWindowControllerWillClose();

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    struct Outlets;
    void bindContent(ShelfItems items);
    // Shows the title, the two buttons and the content in the view, when it is loaded.
    void showState();
    // Asks about the items; the answer may remove only what `held` holds, and considers `dropped`
    // beside the shelf's own items.
    void askLibraryState(const Items& items, Items held, Items dropped);
    // Whether an update was begun for the member signed in now. One begun for an earlier member
    // (who signed out, or the device before anyone signed in) may still finish after the change;
    // what it brings is not this member's.
    bool updateOfActiveMember(const Ref<VnRequestContext>& request) const;
    // The cell on screen that shows the downloading item: the one last clicked, or the one that
    // shows the clicked item now; none otherwise.
    Ref<LibraryShelfCell> downloadingCell();
    static void setMainWindowVisible(bool visible);

    std::unique_ptr<Outlets> outlets_;
    WeakRef<plat::Object> libraryDelegate_;
    std::shared_ptr<ReaderHandOver> reader_;
    std::string titleLibrary_;
    bool isBookLibraryMode_ = false;
    Items magIssueInfos_;
    std::optional<Items> libraryBooks_;
    std::optional<Items> libraryMagazines_;
    ShelfItems content_;
    Ref<VnDomainUpdatingRequest> booksRequest_;
    Ref<VnDomainUpdatingRequest> magazineIssuesRequest_;
    // Book updates replaced by a forced one and still running (cancelled when a loan is taken).
    std::vector<WeakRef<VnDomainUpdatingRequest>> replacedBookUpdates_;
    Ref<VnRequestContext> getIssueInfoRequest_;
    // The member the last library-state request asked about.
    WeakRef<VnBookStoreUserContext> stateMember_;
    // That member's local library (this shelf's kind) as the update behind the question found it,
    // and what the updates dropped from it (the service no longer lists it, nor the shelf), kept
    // until an answer decides it.
    Items stateHeld_;
    Items stateDropped_;
    int mode_ = 0;
    bool returnButtonHidden_ = false;
    bool closeButtonHidden_ = true;
    // The cell is the grid's; the shelf does not keep it alive.
    WeakRef<LibraryShelfCell> currentCell_;
    Ref<VnMagazineIssueInfo> clickedItem_;
    Ref<MagazineIssueUIContext> downloadingIssueUIContext_;
    Ref<IssueMetadataDownloader> metadataDownloader_;
    // The opening another screen waits for, and what to tell it if the opening ends without the
    // reader.
    WeakRef<IssueMetadataDownloader> awaitedOpening_;
    std::function<void()> whenAwaitedOpeningNotShown_;
};
