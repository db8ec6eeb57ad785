#pragma once
// BorrowItemViewCell: one row of the borrow history: "series - name", an emptied date line and
// "คืนวันที่ <return date>". Made by the history table under the identifier "BorrowCell".
#include <QWidget>

#include "platform/core/Ref.h"

class QLabel;
class VnBorrowHistoryInfo;

class BorrowItemViewCell : public QWidget {
  public:
    static constexpr const char* kIdentifier = "BorrowCell";

    explicit BorrowItemViewCell(QWidget* parent = nullptr);
    ~BorrowItemViewCell() override;

    // Stores the record; a record fills the lines, none leaves them as they are.
    void setBorrowInfo(const Ref<VnBorrowHistoryInfo>& info);
    const Ref<VnBorrowHistoryInfo>& borrowInfo() const { return borrowInfo_; }

    QLabel* titleBorrowTextField() const { return titleBorrowTextField_; }
    QLabel* detailDateBorrowTextField() const { return detailDateBorrowTextField_; }
    QLabel* queueTextField() const { return queueTextField_; }

  private:
    Ref<VnBorrowHistoryInfo> borrowInfo_;
    QLabel* titleBorrowTextField_;  // children of the cell
    QLabel* detailDateBorrowTextField_;
    QLabel* queueTextField_;
};
