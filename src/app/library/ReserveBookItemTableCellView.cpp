#include "app/library/ReserveBookItemTableCellView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/library/LibraryMessages.h"
#include "app/library/LibraryTexts.h"
#include "platform_ui/Controls.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

PLAT_DEFINE_CLASS(ReserveBookItemTableCellView, ui::ViewController, [](auto& c) {
    using C = ReserveBookItemTableCellView;
    c.method("activeBookBtn_Click:", &C::activeBookBtn_Click)
        .method("cancelReserveBtn_Clcik:", &C::cancelReserveBtn_Clcik);
})

struct ReserveBookItemTableCellView::Outlets {
    QPointer<QLabel> titleReserveTextField;
    QPointer<QLabel> detailDateReserveTextField;
    QPointer<QLabel> queueDetailTextField;
    QPointer<QPushButton> activeBookButton;
    QPointer<QPushButton> cancelReserveButton;
};

ReserveBookItemTableCellView::ReserveBookItemTableCellView()
    : ui::ViewController("ReserveBookCell"), outlets_(std::make_unique<Outlets>()) {}

ReserveBookItemTableCellView::~ReserveBookItemTableCellView() = default;

std::unique_ptr<QWidget> ReserveBookItemTableCellView::loadView() {
    Outlets& o = *outlets_;
    auto view = std::make_unique<QWidget>();
    view->setFont(ui::thaiCapableFont());
    auto* row = new QHBoxLayout(view.get());  // owned by the view
    row->setContentsMargins(16, 12, 16, 12);
    auto* column = new QVBoxLayout();  // owned by the row
    row->addLayout(column, 1);
    o.titleReserveTextField = new QLabel(view.get());
    o.titleReserveTextField->setFont(ui::thaiCapableFont(15));
    column->addWidget(o.titleReserveTextField);
    o.detailDateReserveTextField = new QLabel(view.get());
    column->addWidget(o.detailDateReserveTextField);
    o.queueDetailTextField = new QLabel(view.get());
    o.queueDetailTextField->setStyleSheet("color: gray");
    column->addWidget(o.queueDetailTextField);
    column->addStretch(1);
    const auto button = [&](const char* title, void (ReserveBookItemTableCellView::*action)(
                                                   const Ref<plat::Object>&)) {
        auto* b = new QPushButton(QString::fromUtf8(title), view.get());  // owned by the view
        QObject::connect(b, &QPushButton::clicked, b,
                         [weak = weakSelf<ReserveBookItemTableCellView>(), action] {
                             if (auto cell = weak.lock())
                                 ((*cell).*action)(nullptr);
                         });
        row->addWidget(b, 0, Qt::AlignVCenter);
        b->hide();
        return b;
    };
    o.activeBookButton = button("รับหนังสือ", &ReserveBookItemTableCellView::activeBookBtn_Click);
    o.cancelReserveButton =
        button("ยกเลิกการจอง", &ReserveBookItemTableCellView::cancelReserveBtn_Clcik);
    return view;
}

void ReserveBookItemTableCellView::setReserveInfo(const Ref<VnReserveItemInfo>& info) {
    reserveInfo_ = info;
    if (!info)
        return;
    view();
    Outlets& o = *outlets_;
    o.activeBookButton->hide();
    o.cancelReserveButton->hide();
    o.titleReserveTextField->setText(QString::fromStdString(reserveRowTitle(*info)));
    o.detailDateReserveTextField->setText(QString::fromStdString(reserveRowDetail(*info)));
    o.queueDetailTextField->setText(QString::fromStdString(reserveRowQueueLine(*info)));
    (info->isClaimable_ ? o.activeBookButton : o.cancelReserveButton)->show();
}

void ReserveBookItemTableCellView::setIsCancelMode(bool cancelMode) {
    isCancelMode_ = cancelMode;
    view();
    outlets_->cancelReserveButton->setVisible(cancelMode);
}

void ReserveBookItemTableCellView::activeBookBtn_Click(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, ReserveBookItemCellMessages::kClaim, self(),
                         reserveInfo_ ? reserveInfo_->itemCode_ : std::nullopt);
}

void ReserveBookItemTableCellView::cancelReserveBtn_Clcik(const Ref<plat::Object>&) {
    plat::sendIfResponds(delegate_, ReserveBookItemCellMessages::kCancel, self(),
                         reserveInfo_ ? reserveInfo_->bookCode_ : std::nullopt);
}

QLabel* ReserveBookItemTableCellView::titleReserveTextField() const {
    return outlets_->titleReserveTextField;
}
QLabel* ReserveBookItemTableCellView::detailDateReserveTextField() const {
    return outlets_->detailDateReserveTextField;
}
QLabel* ReserveBookItemTableCellView::queueDetailTextField() const {
    return outlets_->queueDetailTextField;
}
QPushButton* ReserveBookItemTableCellView::activeBookButton() const {
    return outlets_->activeBookButton;
}
QPushButton* ReserveBookItemTableCellView::cancelReserveButton() const {
    return outlets_->cancelReserveButton;
}
