#pragma once
// The library screen of the main window.
//   LibraryMainViewController: the container that the main window shows and that other screens
//     reach through the library's seams (app/services: LibraryShelves, IssueOpening), which find
//     it as GlobalService's LibraryViewController: refresh, stop a download, open an item
//     after a store action. It shows the loading overlay while a return runs.
//   LibraryMainView: the two shelves in a scroll view (books above, magazines below, in a
//     document of two shelf heights scrolled to its top), refresh and cancel forwarded to both
//     (book shelf first), an item routed to the shelf of its kind, and the notice of reserved
//     books that are ready to claim, on every showing. It holds the reader window that the
//     shelves are given (GlobalService's, taken when the view loads).
// Messages: "libraryLoanTaken" (another area → container, beside its refresh),
// "LibraryMainViewStartLoading", "LibraryMainViewLoadComplete" (view → container);
// "libraryListView_StartLoading:", "libraryListView_LoadComplete:" (shelf → view);
// "libraryBookCollectionCellSelect:" (a cell whose grid has the view as delegate → view).
#include <QPointer>
#include <functional>

#include "platform_ui/ViewController.h"

class HZLoading;
class LibraryListView;
class QScrollArea;
class QTableView;
class ReaderHandOver;
class VnMagazineIssueInfo;

class LibraryMainView : public ui::ViewController {
    PLAT_CLASS(LibraryMainView)
  public:
    LibraryMainView();
    ~LibraryMainView() override;

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void viewDidLoad() override;
    void viewDidAppear() override;
    void needClaimAction();
    void displayReaderWithIssueInfo(const Ref<VnMagazineIssueInfo>& item);
    // The same for a screen that waits for the reader (LibraryListView::displayLibraryItem).
    bool displayReaderWithIssueInfo_whenNotShown(const Ref<VnMagazineIssueInfo>& item,
                                                 std::function<void()> whenNotShown);
    void cancelLoading();
    void updateLibraryForceUpdate(bool force);
    // The member has just taken a loan: both shelves drop what they asked before it.
    void loanTaken();
    void libraryListView_StartLoading(const Ref<plat::Object>& shelf);
    void libraryListView_LoadComplete(const Ref<plat::Object>& shelf);
    // A cover clicked: the line "Library book cover click" goes to the system log, and the reader
    // window held (one is made when none is) is shown.
    void libraryBookCollectionCellSelect(const Ref<plat::Object>& cell);
    // Another member signed in, or the member signed out: the shelves load what the member now
    // signed in holds, at once, whether or not they show.
    void bookStoreContextActiveUserContextDidChange(const Ref<plat::Object>& context);

    const Ref<LibraryListView>& magazineLibraryListView() const { return magazineShelf_; }
    const Ref<LibraryListView>& bookLibraryListView() const { return bookShelf_; }
    // The scroll view holding both shelves (null until the view loads).
    QScrollArea* scrollView() const;
    // A table that is part of the view and shows nothing (null until the view loads).
    QTableView* mainTableView() const;
    // The reader window held: the one the shelves are given.
    const std::shared_ptr<ReaderHandOver>& readerWindowController() const {
        return readerWindowController_;
    }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // Makes both shelves once, in the scroll view.
    void buildShelves();

    QPointer<QWidget> scrollView_;     // a QScrollArea
    QPointer<QWidget> mainTableView_;  // a QTableView, never shown
    WeakRef<plat::Object> delegate_;
    std::shared_ptr<ReaderHandOver> readerWindowController_;
    Ref<LibraryListView> magazineShelf_;
    Ref<LibraryListView> bookShelf_;
};

class LibraryMainViewController : public ui::ViewController {
    PLAT_CLASS(LibraryMainViewController)
  public:
    LibraryMainViewController();
    ~LibraryMainViewController() override;

    void awakeFromNib() override;
    void viewDidLoad() override;

    void HZLoading_CancelClick(const Ref<plat::Object>& sender);
    void cancelLoading();
    void updateLibraryForceUpdate(bool force);
    void loanTaken();
    void LibraryMainViewStartLoading();
    void LibraryMainViewLoadComplete();
    void displayReaderWithIssueInfo(const Ref<VnMagazineIssueInfo>& item);
    bool displayReaderWithIssueInfo_whenNotShown(const Ref<VnMagazineIssueInfo>& item,
                                                 std::function<void()> whenNotShown);

    const Ref<LibraryMainView>& libraryMainView() const { return libraryMainView_; }
    const Ref<HZLoading>& hzLoading() const { return hzLoading_; }
    // Whether the area of the loading overlay shows.
    bool loadingViewVisible() const { return loadingVisible_; }
    // The areas of the library view and of the overlay (null until the view loads).
    QWidget* mainView() const { return mainView_; }
    QWidget* loadingView() const { return loadingView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void setLoadingVisible(bool visible);

    Ref<LibraryMainView> libraryMainView_;
    Ref<HZLoading> hzLoading_;
    QPointer<QWidget> mainView_;
    QPointer<QWidget> loadingView_;
    bool loadingVisible_ = false;
};
