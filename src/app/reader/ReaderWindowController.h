#pragma once
// ReaderWindowController: the reader window, made once at launch and reused for every issue: a
// toolbar (cover, add bookmark, contents, thumbnails, previous, next, zoom out/auto/in, the
// display-mode pop-up, close) over the ReaderViewController. The bookmark button shows the
// bookmark panel in a popover; closing the window hands back to its delegate
// ("readerWindowControllerWillClose", optional).
#include <memory>

#include "app/reader/BookmarkViewController.h"
#include "app/services/ReaderHandOver.h"
#include "platform_ui/WindowController.h"

class QComboBox;
class QToolBar;
class QToolButton;
class ReaderViewController;
namespace ui {
class Popover;
}

inline constexpr const char* kBookmarkSegue = "BoomarkView";

class ReaderWindowController : public ui::WindowController,
                               public ReaderHandOver,
                               public BookmarkViewControllerDelegate {
    PLAT_CLASS(ReaderWindowController)
  public:
    ReaderWindowController();
    ~ReaderWindowController() override;
    // A window controller with its reader view, as the storyboard makes it.
    static Ref<ReaderWindowController> make();

    void windowDidLoad() override;
    void windowWillClose();

    // ---- ReaderHandOver ----
    void setDelegate(const Ref<plat::Object>& delegate) override { delegate_ = delegate; }
    void showWindow() override;
    void openIssue(const Ref<MagazineIssueUIContext>& uiContext, const std::string& caption,
                   int pageIndex) override;
    bool showsIssue(const Ref<MagazineIssueUIContext>& uiContext) const override;

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    Ref<ReaderViewController> readerViewController() const { return readerViewController_.lock(); }
    Ref<BookmarkViewController> bookmarkViewController() const {
        return bookmarkViewController_.lock();
    }
    QComboBox* pageViewPopUpButton() const { return pageViewPopUpButton_; }
    QToolBar* toolbar() const { return toolbar_; }
    // The toolbar button of an action ("coverToolbar_Click:" and the like), for the popover and
    // tests.
    QToolButton* toolbarButton(const char* action) const;
    ui::Popover* bookmarkPopover() const { return popover_.get(); }
    bool isShowThumbnail() const { return isShowThumbnail_; }

    // ---- Toolbar actions ----
    void coverToolbar_Click();
    void addBookmarkToolbar_Click();
    void tocToolbar_Click();
    void thumbnailToolbar_Click();
    void previousPageToolbar_Click();
    void nextPageToolbar_Click();
    // The segment chosen: 0 zooms out, 1 scales automatically, 2 zooms in; others do nothing.
    void zoomSelectionClick(int segment);
    void pageViewPopUpButtonSelectClick();
    void closeToolbarItemClick();
    void bookmarkToolbar_Click();

    void prepareForSegue(const std::string& identifier, const Ref<ui::ViewController>& destination);
    void bookmarkView_bookmarkSelectItem(BookmarkViewController& controller,
                                         const Ref<VnUserBookmarkData>& bookmark) override;

  protected:
    std::unique_ptr<QWidget> loadWindow() override;

  private:
    // The keyboard goes to the page view: when an issue opens and after each toolbar click.
    void focusPageView();

    WeakRef<ReaderViewController> readerViewController_;
    WeakRef<BookmarkViewController> bookmarkViewController_;
    WeakRef<plat::Object> delegate_;
    QComboBox* pageViewPopUpButton_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::unique_ptr<ui::Popover> popover_;
    bool isShowThumbnail_ = false;
    uint64_t closeObserver_ = 0;  // the window-will-close observation
};
