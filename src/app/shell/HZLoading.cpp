#include "app/shell/HZLoading.h"

#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell/BackgroundViews.h"
#include "platform_ui/Controls.h"

PLAT_DEFINE_CLASS(HZLoading, ui::ViewController, [](auto& c) {
    c.method("cancelButton_Click:", &HZLoading::cancelButton_Click)
        .method("setDelegate:", &HZLoading::setDelegate);
})

namespace {

QString redButtonStyle(double cornerRadius) {
    const QColor red = HZLoading::overlayRed();
    return QStringLiteral(
               "QPushButton { background-color: %1; color: white; border: none; "
               "border-radius: %2px; padding: 6px 18px; }")
        .arg(red.name())
        .arg(cornerRadius);
}

}  // namespace

HZLoading::HZLoading() : ui::ViewController("HZLoading") {}

QColor HZLoading::overlayRed() {
    return QColor::fromRgbF(1.0f, 0.231f, 0.188f, 1.0f);
}

std::unique_ptr<QWidget> HZLoading::loadView() {
    auto view = std::make_unique<GrayBackgroundView>();
    auto* column = new QVBoxLayout(view.get());  // owned by the view
    column->addStretch(1);

    loadingProgress_ = new QProgressBar(view.get());
    loadingProgress_->setTextVisible(false);
    loadingProgress_->setFixedWidth(160);
    column->addWidget(loadingProgress_, 0, Qt::AlignHCenter);

    btnLoading_ = new QPushButton(QStringLiteral("กำลังโหลด..."), view.get());
    btnLoading_->setFont(ui::thaiCapableFont());
    btnLoading_->setFocusPolicy(Qt::NoFocus);
    column->addWidget(btnLoading_, 0, Qt::AlignHCenter);

    cancelButton_ = new QPushButton(QStringLiteral("ยกเลิก"), view.get());
    cancelButton_->setFont(ui::thaiCapableFont());
    QObject::connect(cancelButton_, &QPushButton::clicked, view.get(),
                     [this] { cancelButton_Click(nullptr); });
    column->addWidget(cancelButton_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return view;
}

QProgressBar* HZLoading::loadingProgress() const {
    return loadingProgress_;
}

QPushButton* HZLoading::cancelButton() const {
    return cancelButton_;
}

QPushButton* HZLoading::btnLoading() const {
    return btnLoading_;
}

void HZLoading::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    cancelButton_->setStyleSheet(redButtonStyle(0));
    btnLoading_->setStyleSheet(redButtonStyle(5.0));
    loadingProgress_->setRange(0, 0);  // a busy indicator animates from now on
    cancelButton_->setHidden(hiddenCancelButton_);
}

void HZLoading::setHiddenCancelButton(bool hidden) {
    hiddenCancelButton_ = hidden;
    if (cancelButton_)
        cancelButton_->setHidden(hidden);
}

void HZLoading::cancelButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, HZLoadingDelegate::kCancelClick, self<HZLoading>());
}
