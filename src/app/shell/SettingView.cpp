#include "app/shell/SettingView.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/services/GlobalService.h"
#include "app/services/LibraryScreens.h"
#include "app/shell/BackgroundViews.h"
#include "app/shell/ContentArea.h"
#include "app/shell/ShellResources.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnUserId.h"

PLAT_DEFINE_CLASS(SettingView, ui::ViewController, [](auto& c) {
    c.method("isSignin", &SettingView::isSignin)
        .method("checkSignIn", &SettingView::checkSignIn)
        .method("closeButton_Click:", &SettingView::closeButton_Click)
        .method("signInButton_Click:", &SettingView::signInButton_Click)
        .method("reserveButton_Click:", &SettingView::reserveButton_Click)
        .method("historyButton_Click:", &SettingView::historyButton_Click)
        .method("userInfoButton_Click:", &SettingView::userInfoButton_Click);
})

struct SettingView::Outlets {
    QPointer<QWidget> menuView;
    QPointer<QWidget> infoView;
    QPointer<QPushButton> signInButton;
    QPointer<QPushButton> historyButton;
    QPointer<QPushButton> reserveButton;
    QPointer<QPushButton> userInfoButton;
    QPointer<QPushButton> closeButton;
    QPointer<ui::TextField> userNameTextField;
    QPointer<ui::TextField> udidTextField;
    QPointer<ui::TextField> emailSupporTextField;
};

namespace {

constexpr ui::ScreenName kMemberScreens[] = {
    LibraryScreens::kReservations, LibraryScreens::kBorrowHistory, ShellScreens::kUserInfo};

ui::TextField* readOnlyField(QWidget* parent) {
    auto* field = new ui::TextField(parent);  // owned by its parent
    field->setReadOnly(true);
    field->setFrame(false);
    return field;
}

}  // namespace

SettingView::SettingView()
    : ui::ViewController("SettingView"), outlets_(std::make_unique<Outlets>()) {}

SettingView::~SettingView() = default;

QColor SettingView::borderColour() {
    return QColor::fromRgbF(0.0f, 0.6f, 1.0f, 1.0f);
}

std::unique_ptr<QWidget> SettingView::loadView() {
    Outlets& o = *outlets_;
    auto view = std::make_unique<WhiteBackgroundView>();
    view->setFont(ui::thaiCapableFont());
    view->setMinimumSize(560, 440);
    auto* stack = new QVBoxLayout(view.get());  // owned by the view
    stack->setContentsMargins(0, 0, 0, 0);

    o.menuView = new QWidget(view.get());
    auto* grid = new QGridLayout(o.menuView);  // owned by the menu view
    grid->setContentsMargins(32, 24, 32, 24);
    grid->setVerticalSpacing(12);
    grid->addWidget(new QLabel(QStringLiteral("ผู้ใช้"), o.menuView), 0, 0);
    o.userNameTextField = readOnlyField(o.menuView);
    grid->addWidget(o.userNameTextField, 0, 1);
    // The device-code and support e-mail fields are there for the layout's sake only: nothing
    // fills them, so the sheet does not show them.
    o.udidTextField = readOnlyField(o.menuView);
    o.udidTextField->hide();
    o.emailSupporTextField = readOnlyField(o.menuView);
    o.emailSupporTextField->hide();

    auto button = [&](const QString& title, int row,
                      void (SettingView::*action)(Ref<plat::Object>)) {
        auto* b = new QPushButton(title, o.menuView);  // owned by the menu view
        b->setMinimumHeight(32);
        QObject::connect(b, &QPushButton::clicked, o.menuView,
                         [this, action] { (this->*action)(nullptr); });
        grid->addWidget(b, row, 0, 1, 2);
        return b;
    };
    o.signInButton = button(QString::fromUtf8(kSignInTitle), 1, &SettingView::signInButton_Click);
    o.reserveButton = button(QStringLiteral("คิวการจองหนังสือ"), 2, &SettingView::reserveButton_Click);
    o.historyButton = button(QStringLiteral("ประวัติการยืม"), 3, &SettingView::historyButton_Click);
    o.userInfoButton = button(QStringLiteral("ข้อมูลสมาชิก"), 4, &SettingView::userInfoButton_Click);
    grid->setRowStretch(5, 1);
    o.closeButton = button(QStringLiteral("ปิด"), 6, &SettingView::closeButton_Click);
    stack->addWidget(o.menuView);

    o.infoView = new QWidget(view.get());
    shell::keepChildrenAtBounds(o.infoView);
    o.infoView->hide();
    stack->addWidget(o.infoView);
    return view;
}

QWidget* SettingView::menuView() const {
    return outlets_->menuView;
}
QWidget* SettingView::infoView() const {
    return outlets_->infoView;
}
QPushButton* SettingView::signInButton() const {
    return outlets_->signInButton;
}
QPushButton* SettingView::historyButton() const {
    return outlets_->historyButton;
}
QPushButton* SettingView::reserveButton() const {
    return outlets_->reserveButton;
}
QPushButton* SettingView::userInfoButton() const {
    return outlets_->userInfoButton;
}
QPushButton* SettingView::closeButton() const {
    return outlets_->closeButton;
}
ui::TextField* SettingView::userNameTextField() const {
    return outlets_->userNameTextField;
}
ui::TextField* SettingView::udidTextField() const {
    return outlets_->udidTextField;
}
ui::TextField* SettingView::emailSupporTextField() const {
    return outlets_->emailSupporTextField;
}

void SettingView::styleButtons() {
    const QColor border = borderColour();
    const QString style = QStringLiteral(
                              "QPushButton { border: 1px solid %1; border-radius: 3px; "
                              "background: white; padding: 4px 12px; }"
                              "QPushButton:pressed { background: #e6f4ff; }")
                              .arg(border.name());
    for (QPushButton* b : {signInButton(), historyButton(), reserveButton(), userInfoButton()}) {
        if (b)
            b->setStyleSheet(style);
    }
}

void SettingView::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    styleButtons();  // the buttons exist once the view does
    checkSignIn();
}

void SettingView::viewDidAppear() {
    ui::ViewController::viewDidAppear();
    checkSignIn();
}

bool SettingView::isSignin() {
    const auto context = GlobalService::globalShared()->storeContext();
    if (context->activeUserContext()->isDefault())
        context->restoreRegisteredUserContext();
    const auto active = context->activeUserContext();
    const auto& userId = active->userId();
    userName_ = userId ? std::optional<std::string>(userId->userName()) : std::nullopt;
    return !active->isDefault();
}

void SettingView::checkSignIn() {
    const bool signedIn = isSignin();
    historyButton()->setHidden(!signedIn);
    reserveButton()->setHidden(!signedIn);
    userInfoButton()->setHidden(!signedIn);
    signInButton()->setText(QString::fromUtf8(signedIn ? kSignOutTitle : kSignInTitle));
    userNameTextField()->setStringValue(signedIn ? userName_ : std::optional<std::string>("-"));
}

void SettingView::closeButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, SettingViewDelegate::kCloseButtonClick);
}

void SettingView::signInButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, isSignin() ? SettingViewDelegate::kClickForLogOut
                                               : SettingViewDelegate::kClickForLogIn);
}

void SettingView::reserveButton_Click(Ref<plat::Object>) {
    openMemberScreen(Reserve);
}

void SettingView::historyButton_Click(Ref<plat::Object>) {
    openMemberScreen(History);
}

void SettingView::userInfoButton_Click(Ref<plat::Object>) {
    openMemberScreen(UserInfo);
}

void SettingView::openMemberScreen(Kind kind) {
    // The earlier screen of this kind goes with its controller, whose view it served.
    Opened& opened = opened_[kind];
    if (opened.view) {
        opened.view->hide();
        opened.view->setParent(nullptr);  // deleted with its controller
    }
    opened = {};
    auto made = std::dynamic_pointer_cast<ui::ViewController>(
        ui::ResourceRegistry::shared().instantiateController(kMemberScreens[kind]));
    if (!made) {
        plat::log(plat::format("No member screen \"%s\": an empty page is shown",
                               kMemberScreens[kind].identifier));
        made = std::make_shared<ui::ViewController>();
    }
    QWidget* info = infoView();
    QWidget* screen = made->view();
    opened = {made, screen};
    info->show();
    menuView()->hide();
    shell::addFilling(info, screen);
}
