#include "app/store/detail/ShopDetailInfoItemState.h"

#include "app/store/StoreMessages.h"
#include "app/store/detail/DetailLoading.h"
#include "app/store/detail/ShopDetailInfoItemView.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/Alert.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnUserId.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(ShopDetailInfoItemState, plat::Object, [](auto& c) {
    using S = ShopDetailInfoItemState;
    c.method(StoreScreenMessages::kSetMagazineInfo, &S::setMagazineInfo)
        .method(StoreScreenMessages::kSetMagazineIssueInfo, &S::setMagazineIssueInfo)
        .method("reloadDetail:withMagazineIssueInfo:withIsBook:", &S::reloadDetail)
        .method("checkPurchased:", &S::checkPurchased)
        .method("btnRead_Click:", &S::btnRead_Click)
        .method("btnPreview_Click:", &S::btnPreview_Click)
        .method("btnGetSample_Click:", &S::btnGetSample_Click)
        .method("btnBorrow_Click:", &S::btnBorrow_Click)
        .method("btnReturn_Click:", &S::btnReturn_Click)
        .method("btnReserve_Click:", &S::btnReserve_Click)
        .method("btnCancel_Click:", &S::btnCancel_Click)
        .method("btnReadNow_Clcik:", &S::btnReadNow_Clcik)
        .method("btnBuyNow_click:", &S::btnBuyNow_click)
        .method("returnBook:", &S::returnBook)
        .method("extendBorrowBooks", &S::extendBorrowBooks)
        .method("startLoading", &S::startLoading)
        .method("endLoading", &S::endLoading)
        .method("viewWillAppear", &S::viewWillAppear);
})

namespace {

using store_neighbours::activeUserContext;

Ref<VnCommonBoolReturnValue> boolAnswer(const plat::Value& value) {
    return value.as<VnCommonBoolReturnValue>();
}

// The service's Thai message; without an answer (a failed connection), the failure's own.
std::string refusalText(const Ref<VnRequestResult>& result, const plat::Value& value) {
    if (auto answer = boolAnswer(value))
        return answer->messageTH().value_or("");
    return result ? result->errorMessage().value_or("") : std::string();
}

// The first library record of a lookup that succeeded; null otherwise. With readNowOnly, the
// first one that is a read-now loan: what the row gives back or extends on its own is never a
// loan the member took by borrowing (the shelves give read-now loans back whenever they learn of
// them, so by then the item may be on an ordinary loan, which is the member's to keep).
Ref<VnMagazineIssueInfo> firstListed(const Ref<VnRequestResult>& result, const plat::Value& value,
                                     bool readNowOnly = false) {
    const auto list = value.array();
    if (!result || !result->succeed() || !list)
        return nullptr;
    for (const auto& entry : list->values()) {
        auto loan = entry.as<VnMagazineIssueInfo>();
        if (!readNowOnly || (loan && loan->asReadNow_))
            return loan;
    }
    return nullptr;
}

Ref<plat::Array> codeList(const Ref<VnMagazineIssueInfo>& item) {
    return plat::Array::make({plat::Value(item->code().value_or(""))});
}

void traceStatus(const char* word) {
    VND_TRACE("GUI", "%s", word);
}

// Gives a read-now loan back for its member with no one to tell: the lookup, then the return,
// each while that member is still the one signed in.
void returnSilently(const Ref<VnMagazineIssueInfo>& item, const Ref<VnBookStoreUserContext>& user) {
    if (!user || !item)
        return;
    const WeakRef<VnBookStoreUserContext> member = user;
    const auto stillSignedIn = [member] {
        const auto user = member.lock();
        return user && user == activeUserContext() ? user : nullptr;
    };
    user->requestForGetLibraryIssueInfo(codeList(item))
        ->startWithDidFinishBlock([item, stillSignedIn](const Ref<VnRequestResult>& r,
                                                        const plat::Value& v) {
            const auto loan = firstListed(r, v, true);
            const auto user = stillSignedIn();
            if (!loan || !user)
                return;
            user->requestForReturnBook(loan)->startWithDidFinishBlock(
                [item, user](const Ref<VnRequestResult>&, const plat::Value& answer) {
                    // Given back: the member's stored library says so, also when another
                    // member has signed in meanwhile.
                    if (auto ok = boolAnswer(answer); ok && ok->isSuccess())
                        store_neighbours::storedLibraryOf(user)->removeBookFromLocalLibrary(item);
                    if (user == activeUserContext())
                        store_neighbours::refreshLibrary();
                });
        });
}

}  // namespace

ShopDetailInfoItemState::~ShopDetailInfoItemState() {
    if (extendBorrowBookTimer_)
        extendBorrowBookTimer_->invalidate();
    if (reqExtendBorrowBook_)
        reqExtendBorrowBook_->cancel();
    // Not once another member signed in, nor during the program's end (there is no member then):
    // the service's expiry ends the loan.
    if (isReadBookNow_ && signedIn(readNowMember_))
        returnSilently(magIssueReadNow_, readNowMember_.lock());
}

bool ShopDetailInfoItemState::signedIn(const Member& member) {
    const auto user = member.lock();
    return user && user == activeUserContext();
}

bool ShopDetailInfoItemState::leftBeforeTheAnswer(const Member& member, const char* action) {
    if (signedIn(member))
        return false;
    VND_TRACE("GUI", "The %s answered after its member had left: nothing is shown", action);
    return true;
}

void ShopDetailInfoItemState::letReadNowLoanGo() {
    stopExtensionTimer();
    if (auto running = std::move(reqExtendBorrowBook_))
        running->cancel();
    isReadBookNow_ = false;
    magIssueReadNow_.reset();
    readNowMember_.reset();
}

void ShopDetailInfoItemState::activeMemberChanged() {
    letReadNowLoanGo();
}

void ShopDetailInfoItemState::libraryDidUpdate() {
    if (magazineIssueInfo_)
        rebuildGroups();
}

bool ShopDetailInfoItemState::showsItemFor(const Ref<VnMagazineIssueInfo>& item,
                                           const Member& member) const {
    const auto user = member.lock();
    const auto& shown = magazineIssueInfo_;
    return user && shown && item && shown->code() == item->code() && member_.lock() == user &&
           signedIn(member);
}

bool ShopDetailInfoItemState::lendsToMemberSignedIn(const Ref<VnMagazineIssueInfo>& item) const {
    const auto user = activeUserContext();
    if (!user || !item || !item->code())
        return false;
    if (user->hasIssueInLibrary(item))
        return true;
    return isReadBookNow_ && magIssueReadNow_ && magIssueReadNow_->code() == item->code() &&
           readNowMember_.lock() == user;
}

void ShopDetailInfoItemState::setView(ShopDetailInfoItemView* view) {
    view_ = view;
    render();
}

void ShopDetailInfoItemState::render() {
    if (view_)
        view_->render(model_, check_);
}

void ShopDetailInfoItemState::alert(const std::string& message) {
    ui::Alert::shared().runModal(view_ ? view_->window() : nullptr, message, "");
}

void ShopDetailInfoItemState::setMagazineInfo(Ref<VnMagazineInfo> magazine) {
    magazineInfo_ = std::move(magazine);
    isBook_ = magazineInfo_ == nullptr;
}

void ShopDetailInfoItemState::setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item) {
    magazineIssueInfo_ = std::move(item);
    if (magazineIssueInfo_) {
        model_.fillNames(magazineInfo_.get(), *magazineIssueInfo_, isBook_);
        if (view_)
            view_->loadCover(magazineIssueInfo_->coverUrl_);
    }
    reloadDetail(magazineInfo_, magazineIssueInfo_, isBook_);
    checkPurchased(magazineIssueInfo_);
}

void ShopDetailInfoItemState::reloadDetail(Ref<VnMagazineInfo>, Ref<VnMagazineIssueInfo> item,
                                           bool) {
    if (item)
        model_.reloadDetail(*item);
    render();
}

void ShopDetailInfoItemState::checkPurchased(Ref<VnMagazineIssueInfo> item) {
    const auto user = activeUserContext();
    if (!item || !user)
        return;
    // The member is not named in the line: user names are personal.
    VND_TRACE("GUI", "checking the %s member's library", user->userId() ? "signed-in" : "unknown");
    member_ = user;
    showLoanState(item, user->hasIssueInLibrary(item));
}

void ShopDetailInfoItemState::showLoanState(const Ref<VnMagazineIssueInfo>& item, bool lent) {
    const auto user = activeUserContext();
    if (!item || !user)
        return;
    if (lent) {
        model_.showHeld();
        render();
        return;
    }
    auto request = user->requestForGetCurrentReserveBookInfos();
    request->setUserInfo(plat::Value(item));
    model_.showNotHeld(isBook_);
    render();
    request->startWithDidFinishBlock([self = self<ShopDetailInfoItemState>(), item](
                                         const Ref<VnRequestResult>& r, const plat::Value& v) {
        const auto list = v.array();
        if (!r || !r->succeed() || !list)
            return;
        // Only while the row still shows the item the lookup was made for.
        const auto& current = self->magazineIssueInfo_;
        if (!current || current->code() != item->code())
            return;
        bool reserved = false;
        list->enumerate([&](const plat::Value& entry) {
            const auto reservation = entry.as<VnReserveItemInfo>();
            reserved =
                reservation && reservation->bookCode_ && reservation->bookCode_ == item->code();
            return !reserved;
        });
        if (reserved) {
            self->model_.showReserved();
            self->render();
        }
    });
}

void ShopDetailInfoItemState::rebuildGroups() {
    reloadDetail(magazineInfo_, magazineIssueInfo_, isBook_);
    checkPurchased(magazineIssueInfo_);
}

void ShopDetailInfoItemState::rebuildGroups(const Ref<VnMagazineIssueInfo>& lookedUp, bool lent) {
    // What the library answered for the item decides, where the row shows that item: the local
    // library may keep an item given back (free content stays there).
    const auto& shown = magazineIssueInfo_;
    if (!shown || !lookedUp || shown->code() != lookedUp->code()) {
        rebuildGroups();
        return;
    }
    reloadDetail(magazineInfo_, shown, isBook_);
    showLoanState(shown, lent);
}

void ShopDetailInfoItemState::startLoading() {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kInfoItemStartLoading);
}

void ShopDetailInfoItemState::endLoading() {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kInfoItemLoadComplete);
}

uint64_t ShopDetailInfoItemState::loadingMark() const {
    const auto detail = std::dynamic_pointer_cast<DetailLoading>(delegate_.lock());
    return detail ? detail->loadingMark() : 0;
}

uint64_t ShopDetailInfoItemState::startActionLoading() {
    startLoading();
    return loadingMark();
}

void ShopDetailInfoItemState::endActionLoading(uint64_t mark) {
    if (loadingMark() == mark)
        endLoading();
}

void ShopDetailInfoItemState::openReaderEndingTheLoadingWithout(
    const Ref<VnMagazineIssueInfo>& item, uint64_t mark) {
    // The loading waits for the reader. One that will not come ends it, and so does an opening
    // that ends without it (the member has been told why): the screen is usable again at once.
    // A loading begun since (another action, another item) is left to its own end.
    const auto end = [weak = weakSelf<ShopDetailInfoItemState>(), mark] {
        if (const auto self = weak.lock())
            self->endActionLoading(mark);
    };
    if (!store_neighbours::openReader(item, end))
        end();
}

void ShopDetailInfoItemState::btnRead_Click(Ref<plat::Object>) {
    // Only what the member signed in holds opens, asked of the library at the press: the row may
    // have been filled for another member, or before the library learnt of a return. Otherwise
    // it is filled again, and nothing opens.
    const auto item = magazineIssueInfo_;
    if (!signedIn(member_) || !lendsToMemberSignedIn(item)) {
        rebuildGroups();
        return;
    }
    store_neighbours::openReader(item);
}

void ShopDetailInfoItemState::btnPreview_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kInfoItemPreview,
                         self<ShopDetailInfoItemState>(), magazineIssueInfo_);
}

void ShopDetailInfoItemState::btnGetSample_Click(Ref<plat::Object>) {
    const auto user = activeUserContext();
    const auto item = magazineIssueInfo_;
    if (!user || !item)
        return;
    const uint64_t mark = startActionLoading();
    user->requestForBookSample(item)->startWithDidFinishBlock(
        [self = self<ShopDetailInfoItemState>(), item, member = Member(user), mark](
            const Ref<VnRequestResult>& r, const plat::Value&) {
            // For a member who has left, nothing more: the row shows the member now signed in.
            if (leftBeforeTheAnswer(member, "sample"))
                return;
            if (r && r->succeed()) {
                store_neighbours::refreshLibrary();
                self->openReaderEndingTheLoadingWithout(item, mark);
                return;
            }
            self->refused(r ? r->errorMessage().value_or("") : std::string(), mark);
        });
}

void ShopDetailInfoItemState::btnBorrow_Click(Ref<plat::Object>) {
    const auto user = activeUserContext();
    const auto item = magazineIssueInfo_;
    if (!user || !item)
        return;
    const uint64_t mark = startActionLoading();
    user->requestForBorrowBook(item)->startWithDidFinishBlock(
        [self = self<ShopDetailInfoItemState>(), item, user, mark](const Ref<VnRequestResult>& r,
                                                                   const plat::Value& v) {
            const Member member = user;
            const auto answer = boolAnswer(v);
            const bool lent = answer && answer->isSuccess();
            if (leftBeforeTheAnswer(member, "borrow")) {
                // Lent to a member who has left: that member's sample of the item ends, as it
                // would have; the shelves list the loan at the member's next sign-in. Nothing is
                // opened or told.
                if (lent)
                    store_neighbours::storedLibraryOf(user)->endBookSampleOfLoan(item);
                return;
            }
            if (lent) {
                traceStatus("ยืมแล้ว");
                // The groups are the borrowed item's only while the row shows it: another item
                // shown since keeps what the library says of it.
                if (self->showsItemFor(item, member)) {
                    auto& model = self->model_;
                    model.digitalPrice = "ยืมแล้ว";
                    model.hide(InfoItemGroup::Borrow);
                    model.show(InfoItemGroup::Return);
                    model.hide(InfoItemGroup::ReadNow);
                    model.show(InfoItemGroup::View);
                    model.hide(InfoItemGroup::GetSample);
                    model.hide(InfoItemGroup::Preview);
                    self->render();
                }
                store_neighbours::loanTaken(item);
                store_neighbours::refreshLibrary();
                self->openReaderEndingTheLoadingWithout(item, mark);
                return;
            }
            self->refused(refusalText(r, v), mark);
        });
}

void ShopDetailInfoItemState::btnReturn_Click(Ref<plat::Object>) {
    returnBook(magazineIssueInfo_);
}

void ShopDetailInfoItemState::returnBook(Ref<VnMagazineIssueInfo> item) {
    returnLoan(std::move(item), false);
}

void ShopDetailInfoItemState::returnLoan(Ref<VnMagazineIssueInfo> item, bool readNowOnly) {
    const auto user = activeUserContext();
    if (!user || !item)
        return;
    const uint64_t mark = startActionLoading();
    const Member member = user;
    user->requestForGetLibraryIssueInfo(codeList(item))
        ->startWithDidFinishBlock([self = self<ShopDetailInfoItemState>(), item, readNowOnly,
                                   member,
                                   mark](const Ref<VnRequestResult>& r, const plat::Value& v) {
            // Another member's now: nothing of the member who left is given back through them.
            if (leftBeforeTheAnswer(member, "return's lookup"))
                return;
            const auto loan = firstListed(r, v, readNowOnly);
            const auto user = member.lock();
            // Nothing to give back: the loading ends, and a read-now loan stays held (its
            // extension ticks and the next showing look it up again). When the library no longer
            // lists it as such (the shelves give read-now loans back as they learn of them), the
            // row shows what the library lends the member now.
            if (!loan || !user) {
                self->endActionLoading(mark);
                if (readNowOnly && r && r->succeed())
                    self->rebuildGroups(item, firstListed(r, v) != nullptr);
                return;
            }
            user->requestForReturnBook(loan)->startWithDidFinishBlock(
                [self, item, user, mark](const Ref<VnRequestResult>& r, const plat::Value& v) {
                    const Member member = user;
                    const auto answer = boolAnswer(v);
                    const bool returned = answer && answer->isSuccess();
                    if (returned) {
                        // The member's stored library no longer lends the item, whoever is
                        // signed in now: a member who has left finds it so when signed in again.
                        if (signedIn(member))
                            store_neighbours::cancelLibraryLoading();
                        store_neighbours::storedLibraryOf(user)->removeBookFromLocalLibrary(item);
                    }
                    // For a member who has left, nothing is shown or told.
                    if (leftBeforeTheAnswer(member, "return"))
                        return;
                    self->endActionLoading(mark);
                    const bool readNow = self->isReadBookNow_;
                    if (returned) {
                        store_neighbours::refreshLibrary();
                        if (!readNow) {
                            traceStatus("คืนแล้ว");
                            if (self->showsItemFor(item, member)) {
                                self->model_.hide(InfoItemGroup::Return);
                                self->model_.show(InfoItemGroup::Borrow);
                                self->model_.hide(InfoItemGroup::View);
                                self->render();
                            }
                            self->alert("การคืนเสร็จสมบูรณ์");
                        }
                    } else if (!readNow) {
                        const std::string message = refusalText(r, v);
                        VND_TRACE("GUI", "%s", message.c_str());
                        self->alert(message);
                    }
                    if (readNow) {
                        self->stopExtensionTimer();
                        self->isReadBookNow_ = false;
                    }
                    store_neighbours::refreshLibrary();
                    // Given back, the item is no longer lent, whatever the local library keeps.
                    if (returned)
                        self->rebuildGroups(item, false);
                    else
                        self->rebuildGroups();
                });
        });
}

void ShopDetailInfoItemState::btnReserve_Click(Ref<plat::Object>) {
    const auto user = activeUserContext();
    if (!user || !magazineIssueInfo_)
        return;
    changeReservation(user, user->requestForReserveBook(magazineIssueInfo_), "จองแล้ว",
                      "การจองเสร็จสมบูรณ์", InfoItemGroup::Reserve, true);
}

void ShopDetailInfoItemState::btnCancel_Click(Ref<plat::Object>) {
    const auto user = activeUserContext();
    if (!user || !magazineIssueInfo_)
        return;
    changeReservation(user, user->requestForCancelReserveBook(magazineIssueInfo_->code()),
                      "ยกเลิกการจองแล้ว", "ยกเลิกการจองเสร็จสมบูรณ์", InfoItemGroup::Cancel, false);
}

void ShopDetailInfoItemState::changeReservation(const Ref<VnBookStoreUserContext>& user,
                                                const Ref<VnRequestContext>& request,
                                                const char* status, const char* done,
                                                InfoItemGroup hide, bool showCancel) {
    const uint64_t mark = startActionLoading();
    request->startWithDidFinishBlock([self = self<ShopDetailInfoItemState>(),
                                      item = magazineIssueInfo_, member = Member(user), status,
                                      done, hide, showCancel,
                                      mark](const Ref<VnRequestResult>& r, const plat::Value& v) {
        if (leftBeforeTheAnswer(member, showCancel ? "reservation" : "cancel of a reservation"))
            return;
        self->endActionLoading(mark);
        std::string message;
        if (auto answer = boolAnswer(v); answer && answer->isSuccess()) {
            traceStatus(status);
            message = done;
            if (self->showsItemFor(item, member)) {
                self->model_.hide(hide);
                if (showCancel)
                    self->model_.show(InfoItemGroup::Cancel);
                self->render();
            }
        } else {
            message = refusalText(r, v);
            VND_TRACE("GUI", "%s", message.c_str());
        }
        self->alert(message);
        self->rebuildGroups();
    });
}

void ShopDetailInfoItemState::refused(const std::string& message, uint64_t mark) {
    endActionLoading(mark);
    VND_TRACE("GUI", "%s", message.c_str());
    alert(message);
}

void ShopDetailInfoItemState::stopExtensionTimer() {
    if (extendBorrowBookTimer_) {
        extendBorrowBookTimer_->invalidate();
        extendBorrowBookTimer_.reset();
    }
}

void ShopDetailInfoItemState::btnReadNow_Clcik(Ref<plat::Object>) {
    const auto user = activeUserContext();
    const auto item = magazineIssueInfo_;
    if (!user || !item)
        return;
    const uint64_t mark = startActionLoading();
    stopExtensionTimer();
    user->requestForReadBookNow(item)->startWithDidFinishBlock(
        [self = self<ShopDetailInfoItemState>(), item, member = Member(user), mark](
            const Ref<VnRequestResult>& r, const plat::Value& v) {
            // A loan taken for a member who has left is that member's: the service's expiry
            // ends it.
            if (leftBeforeTheAnswer(member, "read now"))
                return;
            if (auto answer = boolAnswer(v); answer && answer->isSuccess()) {
                traceStatus("หยิบอ่านแล้ว");
                // No refresh: the shelves give back every read-now loan they learn of.
                store_neighbours::loanTaken(item);
                // The loan is the clicked item's, also when the row has been given another item
                // meanwhile (a click in the author's other items): that one is not extended,
                // opened or given back in its place.
                self->magIssueReadNow_ = item;
                self->isReadBookNow_ = true;
                self->readNowMember_ = member;
                // Unopened, the loan stays held all the same: extended, and given back when the
                // screen shows again or goes.
                self->openReaderEndingTheLoadingWithout(item, mark);
                self->stopExtensionTimer();
                self->extendBorrowBookTimer_ = plat::Timer::scheduled(
                    kExtensionInterval, true,
                    [weak = self->weakSelf<ShopDetailInfoItemState>()](plat::Timer&) {
                        if (auto state = weak.lock())
                            state->extendBorrowBooks();
                    },
                    plat::defaultModes());
                return;
            }
            self->refused(refusalText(r, v), mark);
        });
}

void ShopDetailInfoItemState::extendBorrowBooks() {
    if (reqExtendBorrowBook_) {
        reqExtendBorrowBook_->cancel();
        reqExtendBorrowBook_.reset();
    }
    if (!magIssueReadNow_)
        return;
    // Only the member who took the loan extends it.
    if (!signedIn(readNowMember_)) {
        letReadNowLoanGo();
        return;
    }
    const auto user = readNowMember_.lock();
    reqExtendBorrowBook_ = user->requestForGetLibraryIssueInfo(codeList(magIssueReadNow_));
    reqExtendBorrowBook_->startWithDidFinishBlock(
        [weak = weakSelf<ShopDetailInfoItemState>()](const Ref<VnRequestResult>& r,
                                                     const plat::Value& v) {
            const auto self = weak.lock();
            if (!self)
                return;
            self->reqExtendBorrowBook_.reset();
            self->endLoading();
            const auto loan = firstListed(r, v, true);
            const auto user = self->readNowMember_.lock();
            if (!loan || !self->isReadBookNow_ || !signedIn(self->readNowMember_))
                return;
            // A refusal or a failure waits for the next tick.
            self->reqExtendBorrowBook_ = user->requestforExtendBorrowBook(loan->itemCode_);
            self->reqExtendBorrowBook_->startWithDidFinishBlock(
                [weak](const Ref<VnRequestResult>&, const plat::Value&) {
                    if (const auto self = weak.lock())
                        self->reqExtendBorrowBook_.reset();
                });
        });
}

void ShopDetailInfoItemState::viewWillAppear() {
    if (isReadBookNow_ && !signedIn(readNowMember_))
        letReadNowLoanGo();
    if (isReadBookNow_)
        returnLoan(magIssueReadNow_, true);
    else
        endLoading();
}

void ShopDetailInfoItemState::btnBuyNow_click(Ref<plat::Object>) {
    check_ = !check_;
    render();
}
