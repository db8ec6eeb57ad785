#pragma once
// BorrowHistoryViewController: the member's first 25 past loans, one unselectable row of 130
// points each, loaded again on every showing; a failed load keeps the rows shown. The rows are
// the records; their texts come from LibraryTexts.h. The view: a title and a ui::TableView of
// BorrowItemViewCell.
#include <QPointer>
#include <functional>
#include <vector>

#include "platform_ui/ViewController.h"

class QLabel;
class VnBorrowHistoryInfo;
namespace ui {
class TableView;
}

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

    // Outlets (null until the view loads).
    ui::TableView* borrowTableView() const;
    QLabel* titleLabel() const;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void reload();

    std::vector<Ref<VnBorrowHistoryInfo>> rows_;
    QPointer<QWidget> borrowTableView_;  // a ui::TableView
    QPointer<QWidget> titleLabel_;       // a QLabel
};
