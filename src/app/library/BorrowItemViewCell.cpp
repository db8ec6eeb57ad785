#include "app/library/BorrowItemViewCell.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/library/LibraryTexts.h"
#include "platform_ui/Controls.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"

BorrowItemViewCell::BorrowItemViewCell(QWidget* parent)
    : QWidget(parent),
      titleBorrowTextField_(new QLabel(this)),
      detailDateBorrowTextField_(new QLabel(this)),
      queueTextField_(new QLabel(this)) {
    setFont(ui::thaiCapableFont());
    auto* column = new QVBoxLayout(this);  // owned by the cell
    column->setContentsMargins(16, 12, 16, 12);
    titleBorrowTextField_->setFont(ui::thaiCapableFont(15));
    column->addWidget(titleBorrowTextField_);
    column->addWidget(detailDateBorrowTextField_);
    queueTextField_->setStyleSheet("color: gray");
    column->addWidget(queueTextField_);
    column->addStretch(1);
}

BorrowItemViewCell::~BorrowItemViewCell() = default;

void BorrowItemViewCell::setBorrowInfo(const Ref<VnBorrowHistoryInfo>& info) {
    borrowInfo_ = info;
    if (!info)
        return;
    titleBorrowTextField_->setText(QString::fromStdString(borrowRowTitle(*info)));
    detailDateBorrowTextField_->setText(QString());
    queueTextField_->setText(QString::fromStdString(borrowRowReturnLine(*info)));
}
