#pragma once
// WindowController: the program's main window. A toolbar switches the content area between the
// library shelf and the store's pages (made on first use and kept for the life of the window), a
// search field swaps in the search page, a split view holds a collapsible side pane with an
// outline, and an account button opens the account sheet.
//
// The library screen is made by its registered name; the store's pages come from the store's
// navigation and the shelves are refreshed through theirs (seams of app/services). A page
// nobody offers gives an empty page, and a log line.
//
// The sign-on hand-over lives in two sources: this file's WindowController.cpp opens and closes
// the account sheet; WindowControllerSignOn.cpp answers the sheet's sign-in and sign-out, the
// single-sign-on client and the library's sign-in.
#include <QPointer>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform_ui/WindowController.h"

class QAction;
class QLineEdit;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class OAuthUserInfo;
class SettingView;
class VnRequestResult;

class WindowController : public ui::WindowController {
    PLAT_CLASS(WindowController)
  public:
    WindowController();
    ~WindowController() override;

    // The eight screens of the toolbar, in the order their images are updated.
    enum Screen { Library, Home, Book, Magazine, TopChart, Newspaper, Category, Browse };
    static constexpr int kScreenCount = 8;

    void windowDidLoad() override;

    // ---- Outlets ----
    QWidget* mainView() const;
    QTreeWidget* menuSettingOutlineView() const;
    QToolBar* toolbarWindow() const;
    QToolButton* menuSettingButton() const;
    QToolButton* logInButton() const;
    QLineEdit* searchBookField() const;
    QAction* toolbarItem(Screen screen) const;
    QAction* searchToolbarItem() const;
    QAction* searchCancelAction() const;
    QSplitter* splitMainView() const;
    QWidget* menuSplitView() const;

    // The controller of a toolbar screen; null until first shown (the library from load on).
    Ref<plat::Object> screenController(Screen screen) const;
    Ref<plat::Object> searchMainViewController() const { return searchMainViewController_; }
    const Ref<SettingView>& settingView() const { return settingView_; }
    QWidget* settingWindow() const;

    // ---- Toolbar actions ----
    void libraryToolbar_Click(Ref<plat::Object> sender);
    void homeFeatureToolbar_Click(Ref<plat::Object> sender);
    void bookFeatuerToolbar_Click(Ref<plat::Object> sender);
    void magazineFeatureToolbar_Click(Ref<plat::Object> sender);
    void newspaperToolbar_Click(Ref<plat::Object> sender);
    void topChartToolbar_Click(Ref<plat::Object> sender);
    void categoryToolbar_Click(Ref<plat::Object> sender);
    void browseToolbar_Click(Ref<plat::Object> sender);
    void searchToolbar_Click(Ref<plat::Object> sender);
    void searchAciton(Ref<plat::Object> sender);
    // Collapses the side pane; pressed again, it opens it at its last width.
    void menu_Click(Ref<plat::Object> sender);

    // ---- Search field ----
    void controlTextDidBeginEditing();
    void controlTextDidChange();
    void controlTextDidEndEditing();
    void desiredSelector();

    // ---- Store screens ----
    // Lays the item-detail page over the current screen; it is held while its view shows.
    void shopFeatureMainView_selectShopGroupInfo(Ref<plat::Object> featureView,
                                                 Ref<plat::Object> groupInfo);

    // ---- Split view ----
    double splitView_constrainMinCoordinate_ofSubviewAt(double proposedMinimum, int dividerIndex);
    double splitView_constrainMaxCoordinate_ofSubviewAt(double proposedMaximum, int dividerIndex);
    void splitView_resizeSubviewsWithOldSize();
    // Moves the divider as a drag would: within the delegate's bounds.
    void setDividerPosition(double position);
    double dividerPosition() const;
    bool isHiddenSlideMenu() const { return isHiddenSlideMenu_; }
    double lastSplitViewSubViewLeftWidth() const { return lastSplitViewSubViewLeftWidth_; }

    // ---- Side outline (its lists start empty) ----
    // Replaces the outline's lists and shows them: the top-level (group) rows, the rows drawn as
    // feature rows, and the children of each item.
    void setOutlineItems(std::vector<std::string> topLevelItems,
                         std::vector<std::string> featureItems,
                         std::vector<std::pair<std::string, std::vector<std::string>>> children);
    // The cell kind of a row: "HeaderCell", "FeatureCell" or "DataCell".
    const char* outlineCellIdentifier(const std::string& item) const;
    std::vector<std::string> outlineChildren(const std::optional<std::string>& item) const;
    bool outlineIsGroupItem(const std::string& item) const;
    bool outlineShouldSelectItem(const std::string& item) const;
    double outlineHeightOfRowByItem(const std::string& item) const;
    void outlineViewSelectionDidChange();
    void _setContentViewToName(const std::string& item);

    // ---- Account sheet ----
    void logInButton_Click(Ref<plat::Object> sender);
    void settingViewCloseButtonClick();

    // ---- Sign-on hand-over (WindowControllerSignOn.cpp) ----
    void settingViewClickForLogIn();
    void settingViewClickForLogOut();
    void authRequest_didFinishWithResponse(int tag, std::string response);
    void authRequest_didFailWithError(int tag, std::string error);
    void authenticationWithVarnelLibrary(std::string accessToken);
    void signin_request_didFinishWithResult(Ref<plat::Object> context, Ref<VnRequestResult> result);

  protected:
    std::unique_ptr<QWidget> loadWindow() override;

  private:
    struct Outlets;
    void showScreen(Screen screen);
    Ref<plat::Object> makeScreen(Screen screen);
    void removeContentViews();
    void addContentView(QWidget* view);
    void updateToolbarImages(Screen chosen);
    void applyDividerBounds();
    // Fills the outline view from its lists.
    void reloadOutline();
    // Sets up the single-sign-on client (WindowControllerSignOn.cpp).
    void configureSignOn();
    // A failed sign-in of the attempt: the sign-on sign-out, then the message (or the connection
    // error) in an alert.
    void failSignIn(uint64_t attempt, const std::optional<std::string>& message);
    // The sign-on sign-out of an attempt was answered: the library signs out unless a later
    // sign-in was accepted.
    void signOutAnswered(uint64_t attempt);

    std::unique_ptr<Outlets> outlets_;
    double kMinOutlineViewSplit_ = 0;
    double lastSplitViewSubViewLeftWidth_ = 0;
    bool isHiddenSlideMenu_ = false;
    std::vector<std::string> topLevelItems_;
    std::vector<std::string> featureItems_;
    std::vector<std::pair<std::string, std::vector<std::string>>> childrenDictionary_;
    Ref<plat::Object> screens_[kScreenCount];
    Ref<plat::Object> searchMainViewController_;
    Ref<plat::Object> shopDetailMainViewController_;
    QPointer<QWidget> shopDetailView_;
    QPointer<QWidget> currentViewBeforSearch_;
    bool searchEditing_ = false;
    Ref<SettingView> settingView_;

  protected:
    // Sign-in state of the hand-over (WindowControllerSignOn.cpp).
    std::optional<std::string> oautAccessToken_;
    Ref<OAuthUserInfo> oauthUserInfo_;
    bool isGetUserAfterLogIn_ = false;
    // Sign-in attempts so far, the last one the library accepted, and the attempts whose sign-on
    // sign-out is still unanswered (each sign-out carries its attempt's number).
    uint64_t signInAttempt_ = 0;
    uint64_t acceptedSignInAttempt_ = 0;
    std::set<uint64_t> signOutAttempts_;
};
