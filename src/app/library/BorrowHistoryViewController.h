#pragma once
// BorrowHistoryViewController: the member's first 25 past loans, one unselectable row of 130
// points each, loaded again on every showing; a failed load keeps the rows shown. The rows are
// the records; their texts come from LibraryTexts.h.
#include <functional>
#include <vector>

#include "platform_ui/ViewController.h"

class VnBorrowHistoryInfo;

class BorrowHistoryViewController : public ui::ViewController {
    PLAT_CLASS(BorrowHistoryViewController)
  public:
    static constexpr int kRowHeight = 130;
    static constexpr int kPageLength = 25;

    BorrowHistoryViewController();
    ~BorrowHistoryViewController() override;

    void viewDidAppear() override;
    void refresh();

    // The table's questions.
    int numberOfRows() const { return static_cast<int>(rows_.size()); }
    int heightOfRow(int) const { return kRowHeight; }
    bool shouldSelectRow(int) const { return false; }
    Ref<VnBorrowHistoryInfo> rowAt(int row) const;
    const std::vector<Ref<VnBorrowHistoryInfo>>& rows() const { return rows_; }
    // Called after each load that replaced the rows (the table reloads).
    std::function<void()> rowsDidChange;

  private:
    std::vector<Ref<VnBorrowHistoryInfo>> rows_;
};
