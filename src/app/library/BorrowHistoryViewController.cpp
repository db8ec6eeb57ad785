#include "app/library/BorrowHistoryViewController.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/library/BorrowItemViewCell.h"
#include "app/library/LibraryAccess.h"
#include "app/library/LibraryTableSource.h"
#include "platform_ui/Controls.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"

PLAT_DEFINE_CLASS(BorrowHistoryViewController, ui::ViewController, PLAT_NO_METHODS)

BorrowHistoryViewController::BorrowHistoryViewController()
    : ui::ViewController("BorrowHistoryViewController") {}

BorrowHistoryViewController::~BorrowHistoryViewController() = default;

std::unique_ptr<QWidget> BorrowHistoryViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->setFont(ui::thaiCapableFont());
    // The account sheet lays member screens over the ones opened before: this one hides them.
    view->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(view.get());  // owned by the view
    auto* title = new QLabel(QStringLiteral("ประวัติการยืม"), view.get());
    title->setFont(ui::thaiCapableFont(17));
    column->addWidget(title);
    titleLabel_ = title;
    auto* table = new ui::TableView(view.get());
    column->addWidget(table, 1);
    borrowTableView_ = table;
    ui::TableView::DataSource source = libraryTableSource(*this);
    source.viewForRow = [this](ui::TableView& tableView, int row) -> QWidget* {
        auto* cell =
            static_cast<BorrowItemViewCell*>(tableView.makeView(BorrowItemViewCell::kIdentifier));
        if (!cell) {
            cell = new BorrowItemViewCell(tableView.viewport());  // owned by the table
            ui::TableView::setIdentifier(cell, BorrowItemViewCell::kIdentifier);
        }
        cell->setBorrowInfo(rowAt(row));
        return cell;
    };
    table->setDataSource(std::move(source));
    return view;
}

ui::TableView* BorrowHistoryViewController::borrowTableView() const {
    return static_cast<ui::TableView*>(borrowTableView_.data());
}

QLabel* BorrowHistoryViewController::titleLabel() const {
    return qobject_cast<QLabel*>(titleLabel_.data());
}

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
        screen->reload();
    });
}

void BorrowHistoryViewController::reload() {
    if (auto* table = borrowTableView())
        table->reloadData();
    if (rowsDidChange)
        rowsDidChange();
}

Ref<VnBorrowHistoryInfo> BorrowHistoryViewController::rowAt(int row) const {
    return row >= 0 && row < numberOfRows() ? rows_[static_cast<size_t>(row)] : nullptr;
}
