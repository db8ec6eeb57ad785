#pragma once
// ReserveBookItemTableCellView: one row of the reservation queue: the title, the item type and
// the claim or queue line, with a claim button (a copy ready to claim) and a cancel button
// (shown exactly in cancel mode, which the table sets after the record). Made by the
// reservation table under the identifier "ReserveBookCell". Its buttons tell its delegate
// (ReserveBookItemTableCellViewDelegate, not retained; each message only when answered):
//   "reserveBookItemCell:claimReserveBookCode:"  (the cell, the record's item code)
//   "reserveBookItemCell:cancelReserveBookCode:" (the cell, the record's book code)
#include <memory>

#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class VnReserveItemInfo;

class ReserveBookItemTableCellView : public ui::ViewController {
    PLAT_CLASS(ReserveBookItemTableCellView)
  public:
    static constexpr const char* kIdentifier = "ReserveBookCell";

    ReserveBookItemTableCellView();
    ~ReserveBookItemTableCellView() override;

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    // Stores the record; a record fills the row and shows the button its state offers, none
    // changes nothing else.
    void setReserveInfo(const Ref<VnReserveItemInfo>& info);
    const Ref<VnReserveItemInfo>& reserveInfo() const { return reserveInfo_; }
    void setIsCancelMode(bool cancelMode);
    bool isCancelMode() const { return isCancelMode_; }

    void activeBookBtn_Click(const Ref<plat::Object>& sender);
    void cancelReserveBtn_Clcik(const Ref<plat::Object>& sender);

    // Outlets (the view loads with the first record).
    QLabel* titleReserveTextField() const;
    QLabel* detailDateReserveTextField() const;
    QLabel* queueDetailTextField() const;
    QPushButton* activeBookButton() const;
    QPushButton* cancelReserveButton() const;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    struct Outlets;
    std::unique_ptr<Outlets> outlets_;
    WeakRef<plat::Object> delegate_;
    Ref<VnReserveItemInfo> reserveInfo_;
    bool isCancelMode_ = false;
};
