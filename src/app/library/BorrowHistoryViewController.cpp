#include "app/library/BorrowHistoryViewController.h"

#include "app/library/LibraryAccess.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"

PLAT_DEFINE_CLASS(BorrowHistoryViewController, ui::ViewController, PLAT_NO_METHODS)

BorrowHistoryViewController::BorrowHistoryViewController()
    : ui::ViewController("BorrowHistoryViewController") {}

BorrowHistoryViewController::~BorrowHistoryViewController() = default;

void BorrowHistoryViewController::viewDidAppear() {
    refresh();
}

void BorrowHistoryViewController::refresh() {
    const auto user = libraryActiveUser();
    const auto request = user ? user->requestForGetHistory(0, kPageLength) : nullptr;
    if (!request)
        return;
    // The block holds the screen until it runs.
    request->startWithDidFinishBlock([screen = self<BorrowHistoryViewController>()](
                                         const Ref<VnRequestResult>& result, const plat::Value&) {
        auto rows = recordsOf<VnBorrowHistoryInfo>(result);
        if (!rows)
            return;
        screen->rows_ = std::move(*rows);
        if (screen->rowsDidChange)
            screen->rowsDidChange();
    });
}

Ref<VnBorrowHistoryInfo> BorrowHistoryViewController::rowAt(int row) const {
    return row >= 0 && row < numberOfRows() ? rows_[static_cast<size_t>(row)] : nullptr;
}
