#include "app/library/ReserveBookViewController.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/library/LibraryAccess.h"
#include "app/library/LibraryMessages.h"
#include "app/library/LibraryTableSource.h"
#include "app/library/LibraryTexts.h"
#include "app/library/ReserveBookItemTableCellView.h"
#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/LibraryShelves.h"
#include "platform_ui/Alert.h"
#include "platform_ui/Controls.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/member/VnReserveItemInfo.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(ReserveBookViewController, ui::ViewController, [](auto& c) {
    using C = ReserveBookViewController;
    c.method(ReserveBookItemCellMessages::kCancel, &C::reserveBookItemCell_cancelReserveBookCode)
        .method(ReserveBookItemCellMessages::kClaim, &C::reserveBookItemCell_claimReserveBookCode)
        .method("cancelReserve_request:didFinishWithResult:",
                &C::cancelReserve_request_didFinishWithResult)
        .method("claimReserveBook_request:didFinishWithResult:",
                &C::claimReserveBook_request_didFinishWithResult);
})

ReserveRowState reserveRowState(const VnReserveItemInfo& info, bool cancelMode) {
    ReserveRowState row;
    row.title = reserveRowTitle(info);
    row.detail = reserveRowDetail(info);
    row.queueLine = reserveRowQueueLine(info);
    row.activeBookButtonShown = info.isClaimable_;
    // The screen's cancel mode, set after the record, decides the cancel button.
    row.cancelReserveButtonShown = cancelMode;
    return row;
}

ReserveBookViewController::ReserveBookViewController()
    : ui::ViewController("ReserveBookViewController") {}

ReserveBookViewController::~ReserveBookViewController() = default;

std::unique_ptr<QWidget> ReserveBookViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->setFont(ui::thaiCapableFont());
    // The account sheet lays member screens over the ones opened before: this one hides them.
    view->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(view.get());  // owned by the view
    auto* bar = new QHBoxLayout();               // owned by the column
    column->addLayout(bar);
    bar->addStretch(1);
    const auto button = [&](const char* title, void (ReserveBookViewController::*action)()) {
        auto* b = new QPushButton(QString::fromUtf8(title), view.get());  // owned by the view
        QObject::connect(b, &QPushButton::clicked, b,
                         [weak = weakSelf<ReserveBookViewController>(), action] {
                             if (auto screen = weak.lock())
                                 ((*screen).*action)();
                         });
        bar->addWidget(b);
        return b;
    };
    cancelReserveButton_ = button("ยกเลิกการจอง", &ReserveBookViewController::cancelButton_Click);
    closeButton_ = button("เสร็จสิ้น", &ReserveBookViewController::closeButton_Click);
    closeButton_->hide();
    auto* table = new ui::TableView(view.get());
    column->addWidget(table, 1);
    reserveTableView_ = table;
    ui::TableView::DataSource source = libraryTableSource(*this);
    source.viewForRow = [this](ui::TableView& t, int row) { return viewForRow(t, row); };
    table->setDataSource(std::move(source));
    return view;
}

QWidget* ReserveBookViewController::viewForRow(ui::TableView& table, int row) {
    Ref<ReserveBookItemTableCellView> cell;
    if (QWidget* reused = table.makeView(ReserveBookItemTableCellView::kIdentifier)) {
        if (const auto it = cells_.find(reused); it != cells_.end())
            cell = it->second;
    }
    if (!cell) {
        cell = ui::ViewController::create<ReserveBookItemTableCellView>();
        ui::TableView::setIdentifier(cell->view(), ReserveBookItemTableCellView::kIdentifier);
        cells_[cell->view()] = cell;
    }
    cell->setDelegate(self());
    cell->setReserveInfo(rowAt(row));
    cell->setIsCancelMode(cancelMode_);
    return cell->view();
}

ui::TableView* ReserveBookViewController::reserveTableView() const {
    return static_cast<ui::TableView*>(reserveTableView_.data());
}

QPushButton* ReserveBookViewController::cancelReserveButton() const {
    return cancelReserveButton_;
}

QPushButton* ReserveBookViewController::closeButton() const {
    return closeButton_;
}

Ref<ReserveBookItemTableCellView> ReserveBookViewController::cellAtRow(int row) const {
    const auto* table = reserveTableView();
    const QWidget* view = table ? table->viewAtRow(row) : nullptr;
    const auto it = cells_.find(view);
    return it == cells_.end() ? nullptr : it->second;
}

void ReserveBookViewController::viewDidAppear() {
    refresh();
}

void ReserveBookViewController::refresh() {
    const auto user = libraryActiveUser();
    const auto request = user ? user->requestForGetCurrentReserveBookInfos() : nullptr;
    if (!request)
        return;
    request->startWithDidFinishBlock([screen = self<ReserveBookViewController>()](
                                         const Ref<VnRequestResult>& result, const plat::Value&) {
        if (auto rows = recordsOf<VnReserveItemInfo>(result)) {
            screen->rows_ = std::move(*rows);
            screen->reload();
        }
    });
}

void ReserveBookViewController::reload() {
    if (cancelReserveButton_ && cancelReserveButtonHidden_)
        cancelReserveButton_->setHidden(*cancelReserveButtonHidden_);
    if (closeButton_ && closeButtonHidden_)
        closeButton_->setHidden(*closeButtonHidden_);
    if (auto* table = reserveTableView())
        table->reloadData();
    if (rowsDidChange)
        rowsDidChange();
}

void ReserveBookViewController::cancelButton_Click() {
    closeButtonHidden_ = false;
    cancelReserveButtonHidden_ = true;
    cancelMode_ = true;
    reload();
}

void ReserveBookViewController::closeButton_Click() {
    closeButtonHidden_ = true;
    cancelReserveButtonHidden_ = false;
    cancelMode_ = false;
    reload();
}

void ReserveBookViewController::reserveBookItemCell_cancelReserveBookCode(
    const Ref<plat::Object>&, const std::optional<std::string>& bookCode) {
    const auto user = libraryActiveUser();
    if (!user)
        return;
    cancelRequest_ = user->requestForCancelReserveBook(bookCode);
    if (cancelRequest_)
        cancelRequest_->startWithDelegate(self(), "cancelReserve_");
}

void ReserveBookViewController::reserveBookItemCell_claimReserveBookCode(
    const Ref<plat::Object>&, const std::optional<std::string>& itemCode) {
    const auto user = libraryActiveUser();
    if (!user)
        return;
    claimRequest_ = user->requestForClaimReserveBook(itemCode);
    if (!claimRequest_)
        return;
    // The book whose copy is claimed: the member's sample of it ends once the copy is lent.
    for (const auto& row : rows_) {
        if (row && itemCode && row->itemCode_ == itemCode && row->bookCode_)
            claimRequest_->setUserInfo(plat::Value(*row->bookCode_));
    }
    claimRequest_->startWithDelegate(self(), "claimReserveBook_");
}

void ReserveBookViewController::cancelReserve_request_didFinishWithResult(
    const Ref<VnRequestContext>& request, const Ref<VnRequestResult>& result) {
    const auto keep = self<ReserveBookViewController>();
    finishLendingAction(result);
    if (cancelRequest_ == request)
        cancelRequest_.reset();
}

void ReserveBookViewController::claimReserveBook_request_didFinishWithResult(
    const Ref<VnRequestContext>& request, const Ref<VnRequestResult>& result) {
    const auto keep = self<ReserveBookViewController>();
    // The copy claimed is lent now: the shelves update afresh with it.
    const auto answer = result ? result->returnValue().as<VnCommonBoolReturnValue>() : nullptr;
    const auto shelves = AreaSeams::shared().get<LibraryShelves>();
    const auto user = libraryActiveUser();
    if (answer && answer->isSuccess() && user && request && request->userInfo().isString())
        user->endBookSampleOfLoan(std::string(request->userInfo().stringView()));
    if (answer && answer->isSuccess() && shelves) {
        shelves->loanTaken();
        shelves->refreshShelves(true);
    }
    finishLendingAction(result);
    if (claimRequest_ == request)
        claimRequest_.reset();
}

void ReserveBookViewController::finishLendingAction(const Ref<VnRequestResult>& result) {
    const auto answer = result ? result->returnValue().as<VnCommonBoolReturnValue>() : nullptr;
    if (!answer || !answer->isSuccess()) {
        // Without an answer, or an answer without a message, the member still learns it failed.
        const bool hasMessage = answer && answer->messageTH() && !answer->messageTH()->empty();
        ui::Alert::shared().runModal(nullptr,
                                     hasMessage ? *answer->messageTH() : kConnectionErrorText, "");
    }
    refresh();
}

Ref<VnReserveItemInfo> ReserveBookViewController::rowAt(int row) const {
    return row >= 0 && row < numberOfRows() ? rows_[static_cast<size_t>(row)] : nullptr;
}
