#pragma once
// ReserveBookViewController: the member's reservation queue, one unselectable row of 130 points
// per reservation, loaded again on every showing and after every claim or cancel. A claimable
// row offers its claim button; cancel mode (switched by the screen's two buttons) shows every
// row's cancel button. A refused action shows the service's Thai message (or a connection error
// when there is none) before the reload.
// The view: the two buttons over a ui::TableView of ReserveBookItemTableCellView.
// Rows tell the screen through ReserveBookItemTableCellViewDelegate:
//   "reserveBookItemCell:cancelReserveBookCode:" (cell, book code)
//   "reserveBookItemCell:claimReserveBookCode:"  (cell, item code)
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform_ui/ViewController.h"

class QPushButton;
class ReserveBookItemTableCellView;
class VnRequestContext;
class VnRequestResult;
class VnReserveItemInfo;

// What one row shows.
struct ReserveRowState {
    std::string title;
    std::string detail;
    std::string queueLine;
    bool activeBookButtonShown = false;
    bool cancelReserveButtonShown = false;
};
ReserveRowState reserveRowState(const VnReserveItemInfo& info, bool cancelMode);
namespace ui {
class TableView;
}

class ReserveBookViewController : public ui::ViewController {
    PLAT_CLASS(ReserveBookViewController)
  public:
    static constexpr int kRowHeight = 130;

    ReserveBookViewController();
    ~ReserveBookViewController() override;

    void viewDidAppear() override;
    void refresh();
    void cancelButton_Click();
    void closeButton_Click();
    bool cancelMode() const { return cancelMode_; }
    // The two buttons' visibility; none set until the first press.
    std::optional<bool> cancelReserveButtonHidden() const { return cancelReserveButtonHidden_; }
    std::optional<bool> closeButtonHidden() const { return closeButtonHidden_; }

    void reserveBookItemCell_cancelReserveBookCode(const Ref<plat::Object>& cell,
                                                   const std::optional<std::string>& bookCode);
    void reserveBookItemCell_claimReserveBookCode(const Ref<plat::Object>& cell,
                                                  const std::optional<std::string>& itemCode);
    void cancelReserve_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                   const Ref<VnRequestResult>& result);
    void claimReserveBook_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                      const Ref<VnRequestResult>& result);

    // The table's questions.
    int numberOfRows() const { return static_cast<int>(rows_.size()); }
    int heightOfRow(int) const { return kRowHeight; }
    bool shouldSelectRow(int) const { return false; }
    Ref<VnReserveItemInfo> rowAt(int row) const;
    const std::vector<Ref<VnReserveItemInfo>>& rows() const { return rows_; }
    // Called after each load and each switch of cancel mode (the table reloads).
    std::function<void()> rowsDidChange;

    // Outlets (null until the view loads).
    ui::TableView* reserveTableView() const;
    QPushButton* cancelReserveButton() const;
    QPushButton* closeButton() const;
    // The row controller whose view the table shows at a row (null when none).
    Ref<ReserveBookItemTableCellView> cellAtRow(int row) const;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    QWidget* viewForRow(ui::TableView& table, int row);

    void finishLendingAction(const Ref<VnRequestResult>& result);
    void reload();

    std::vector<Ref<VnReserveItemInfo>> rows_;
    bool cancelMode_ = false;
    std::optional<bool> cancelReserveButtonHidden_;
    std::optional<bool> closeButtonHidden_;
    Ref<VnRequestContext> cancelRequest_;
    Ref<VnRequestContext> claimRequest_;
    QPointer<QWidget> reserveTableView_;  // a ui::TableView
    QPointer<QPushButton> cancelReserveButton_;
    QPointer<QPushButton> closeButton_;
    // The row controllers, by the view the table holds.
    std::map<const QWidget*, Ref<ReserveBookItemTableCellView>> cells_;
};
