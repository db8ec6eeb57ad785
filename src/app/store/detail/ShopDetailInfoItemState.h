#pragma once
// ShopDetailInfoItemState: the item information row's records and lending state, and its
// actions: read, preview, sample, borrow, return, reserve, cancel a reservation, read now (kept
// by an extension every 180 s) and the buy-now toggle. Each action takes its request afresh from
// the active user context and starts it with a finish block, which keeps this state alive until
// the answer; the row's widget is reached through a guarded pointer, so an answer that arrives
// after the widget has gone changes nothing on screen. The delegate (the detail screen, not
// retained) hears "shopDetailInfoItemStartLoading", "shopDetailInfoItemLoadComplete" and
// "shopDetailInfoItem:previewMagazineIssueInfo:". A read-now loan still held when the state goes
// is given back without a word, while its member is still the one signed in.
//
// What the row offers and does belongs to the member signed in: whether it offers a loan comes
// from that member's stored library, read when the row is filled and again whenever the library
// is updated or another member signs in (or the member signs out). An answer changes the groups
// only while the row still shows the item and the member it was sent for; an answer to an earlier
// member's action opens and tells nothing, yet what the service carried out (a return, a loan)
// still reaches that member's stored library. "Read" opens only what that library lends the
// member signed in (or the read-now loan this row holds); otherwise the row is filled again.
#include <QPointer>
#include <cstdint>

#include "app/store/detail/ShopDetailInfoItemModel.h"
#include "platform/core/Object.h"

class ShopDetailInfoItemView;
class VnBookStoreUserContext;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnRequestContext;
namespace plat {
class Timer;
}

class ShopDetailInfoItemState : public plat::Object {
    PLAT_CLASS(ShopDetailInfoItemState)
  public:
    static constexpr double kExtensionInterval = 180.0;

    ~ShopDetailInfoItemState() override;

    void setView(ShopDetailInfoItemView* view);
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }

    void setMagazineInfo(Ref<VnMagazineInfo> magazine);
    void setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item);
    const Ref<VnMagazineInfo>& magazineInfo() const { return magazineInfo_; }
    const Ref<VnMagazineIssueInfo>& magazineIssueInfo() const { return magazineIssueInfo_; }
    bool isBook() const { return isBook_; }
    const ShopDetailInfoItemModel& model() const { return model_; }

    void reloadDetail(Ref<VnMagazineInfo> magazine, Ref<VnMagazineIssueInfo> item, bool isBook);
    void checkPurchased(Ref<VnMagazineIssueInfo> item);

    // The actions (the sender is not read).
    void btnRead_Click(Ref<plat::Object> sender);
    void btnPreview_Click(Ref<plat::Object> sender);
    void btnGetSample_Click(Ref<plat::Object> sender);
    void btnBorrow_Click(Ref<plat::Object> sender);
    void btnReturn_Click(Ref<plat::Object> sender);
    void btnReserve_Click(Ref<plat::Object> sender);
    void btnCancel_Click(Ref<plat::Object> sender);
    void btnReadNow_Clcik(Ref<plat::Object> sender);
    void btnBuyNow_click(Ref<plat::Object> sender);
    bool check() const { return check_; }

    void returnBook(Ref<VnMagazineIssueInfo> item);
    void extendBorrowBooks();
    void startLoading();
    void endLoading();
    void viewWillAppear();
    // Another member signed in, or the member signed out: a read-now loan of the member who left
    // is let go (neither extended nor given back by the member now signed in; the service's
    // expiry ends it) and what that member's actions still wait for changes nothing. The caller
    // fills the row again.
    void activeMemberChanged();
    // The stored library of the member signed in has been updated: the groups are filled from it
    // again, as when the row is opened anew; a loading an action shows stays.
    void libraryDidUpdate();

    bool isReadBookNow() const { return isReadBookNow_; }
    const Ref<VnMagazineIssueInfo>& readNowItem() const { return magIssueReadNow_; }
    bool hasExtensionTimer() const { return extendBorrowBookTimer_ != nullptr; }

  private:
    using Member = WeakRef<VnBookStoreUserContext>;

    void render();
    void alert(const std::string& message);
    void stopExtensionTimer();
    void letReadNowLoanGo();
    // Whether the member is the one signed in now.
    static bool signedIn(const Member& member);
    // Whether the member an action was sent for has left by the time its answer comes (another
    // signed in, or none): the answer then shows, opens and tells nothing, as the log says.
    static bool leftBeforeTheAnswer(const Member& member, const char* action);
    // Whether the row still shows the item (by its code), filled for the member, who is still
    // signed in: what an answer for them may change.
    bool showsItemFor(const Ref<VnMagazineIssueInfo>& item, const Member& member) const;
    // Whether the member signed in holds the item: a loan of the stored library, or the read-now
    // loan this row holds for that member.
    bool lendsToMemberSignedIn(const Ref<VnMagazineIssueInfo>& item) const;
    // The detail's loading mark (see DetailLoading); 0 for a delegate that keeps none, whose
    // loading an action's late end always ends.
    uint64_t loadingMark() const;
    // Starts the loading of an action and answers its mark.
    uint64_t startActionLoading();
    // Ends the loading that the action of this mark started, unless a later one shows now.
    void endActionLoading(uint64_t mark);
    // Opens the item in the reader after an action that showed the loading (its mark): that
    // loading ends when the reader will not open it, or when its opening ends without the
    // reader.
    void openReaderEndingTheLoadingWithout(const Ref<VnMagazineIssueInfo>& item, uint64_t mark);
    // The return of returnBook; with readNowOnly (the read-now loan given back when the screen
    // shows again), only a loan the library lists as a read-now loan goes back.
    void returnLoan(Ref<VnMagazineIssueInfo> item, bool readNowOnly);
    void rebuildGroups();
    // The groups rebuilt with what the library answered for the looked-up item (lent or not).
    void rebuildGroups(const Ref<VnMagazineIssueInfo>& lookedUp, bool lent);
    // The groups of an item held by the member, or else of one that is not, with the lookup of
    // the member's reservations.
    void showLoanState(const Ref<VnMagazineIssueInfo>& item, bool lent);
    // Reserve or cancel: the loading ends, the outcome is told, the groups are rebuilt.
    void changeReservation(const Ref<VnBookStoreUserContext>& user,
                           const Ref<VnRequestContext>& request, const char* status,
                           const char* done, InfoItemGroup hide, bool showCancel);
    // An action refused: its loading ends, and the member is told why.
    void refused(const std::string& message, uint64_t mark);

    WeakRef<plat::Object> delegate_;
    QPointer<ShopDetailInfoItemView> view_;
    Ref<VnMagazineInfo> magazineInfo_;
    Ref<VnMagazineIssueInfo> magazineIssueInfo_;
    bool isBook_ = true;
    ShopDetailInfoItemModel model_;
    bool check_ = false;
    bool isReadBookNow_ = false;
    Ref<VnMagazineIssueInfo> magIssueReadNow_;
    // The member whose groups the row shows, and the one who took the read-now loan.
    Member member_;
    Member readNowMember_;
    Ref<plat::Timer> extendBorrowBookTimer_;
    Ref<VnRequestContext> reqExtendBorrowBook_;
};
