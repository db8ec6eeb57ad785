#include "app/shell/UserInfoViewController.h"

#include <QDate>
#include <QFormLayout>
#include <QLabel>

#include "app/services/GlobalService.h"
#include "app/shell/BackgroundViews.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/member/VnProfileInfo.h"

PLAT_DEFINE_CLASS(UserInfoViewController, ui::ViewController,
                  [](auto& c) { c.method("refresh", &UserInfoViewController::refresh); })

struct UserInfoViewController::Outlets {
    QPointer<ui::TextField> name, lastName, email, personID, memberType, memberDetail, expireDate;
};

namespace {

std::optional<std::string> orEmpty(const std::optional<std::string>& text) {
    return text.value_or("");
}

}  // namespace

UserInfoViewController::UserInfoViewController()
    : ui::ViewController("UserInfoViewController"), outlets_(std::make_unique<Outlets>()) {}

UserInfoViewController::~UserInfoViewController() = default;

std::unique_ptr<QWidget> UserInfoViewController::loadView() {
    Outlets& o = *outlets_;
    auto view = std::make_unique<WhiteBackgroundView>();
    view->setFont(ui::thaiCapableFont());
    auto* form = new QFormLayout(view.get());  // owned by the view
    form->setContentsMargins(32, 24, 32, 24);
    form->setVerticalSpacing(10);
    auto field = [&](const char* label) {
        auto* f = new ui::TextField(view.get());  // owned by the view
        f->setReadOnly(true);
        f->setFrame(false);
        form->addRow(new QLabel(QString::fromUtf8(label), view.get()), f);
        return f;
    };
    o.name = field("ชื่อ");
    o.lastName = field("นามสกุล");
    o.email = field("อีเมล");
    o.personID = field("เลขประจำตัวประชาชน");
    o.memberType = field("ประเภทสมาชิก");
    o.memberDetail = field("สิทธิ์การยืม");
    o.expireDate = field("วันหมดอายุสมาชิก");
    return view;
}

ui::TextField* UserInfoViewController::nameTextField() const {
    return outlets_->name;
}
ui::TextField* UserInfoViewController::lastNameTextField() const {
    return outlets_->lastName;
}
ui::TextField* UserInfoViewController::emailTextField() const {
    return outlets_->email;
}
ui::TextField* UserInfoViewController::personIDTextField() const {
    return outlets_->personID;
}
ui::TextField* UserInfoViewController::memberTypeTextField() const {
    return outlets_->memberType;
}
ui::TextField* UserInfoViewController::memberDetailTextField() const {
    return outlets_->memberDetail;
}
ui::TextField* UserInfoViewController::expireDateTextField() const {
    return outlets_->expireDate;
}

void UserInfoViewController::viewDidAppear() {
    ui::ViewController::viewDidAppear();
    refresh();
}

void UserInfoViewController::refresh() {
    const auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    const WeakRef<UserInfoViewController> weak = weakSelf<UserInfoViewController>();
    if (auto request = user->requestForGetCurrentSubscription()) {
        request->startWithDidFinishBlock(
            [weak](const Ref<VnRequestResult>& result, const plat::Value& value) {
                auto self = weak.lock();
                const auto subscription = value.as<VnUserSubscriptionInfo>();
                if (self && result && result->succeed() && subscription)
                    self->showSubscription(*subscription);
            });
    }
    if (auto request = user->requestForGetProfileInfo()) {
        request->startWithDidFinishBlock(
            [weak](const Ref<VnRequestResult>& result, const plat::Value& value) {
                plat::systemLog("result");
                auto self = weak.lock();
                const auto profile = value.as<VnProfileInfo>();
                if (self && result && result->succeed() && profile)
                    self->showProfile(*profile);
            });
    }
}

void UserInfoViewController::showSubscription(const VnUserSubscriptionInfo& subscription) {
    if (!outlets_->memberDetail)
        return;
    outlets_->memberDetail->setStringValue(
        plat::format("หนังสือ %d เล่ม, นิตยสาร %d เล่ม, หนังสือพิมพ์ %d เล่ม", subscription.bookLimitSize_,
                     subscription.magazineLimitSize_, subscription.newspaperLimitSize_));
}

void UserInfoViewController::showProfile(const VnProfileInfo& profile) {
    Outlets& o = *outlets_;
    if (!o.name)
        return;
    o.name->setStringValue(orEmpty(profile.name_));
    o.lastName->setStringValue(orEmpty(profile.lastname_));
    o.email->setStringValue(orEmpty(profile.email_));
    o.personID->setStringValue(orEmpty(profile.personalid_));
    o.memberType->setStringValue(memberTypeText(profile.memberTypeID_));
    if (!profile.memberShip_)
        return;
    for (size_t i = 0; i < profile.memberShip_->count(); ++i) {
        const auto membership = profile.memberShip_->objectAtIndex(i).as<VnMemberShip>();
        if (!membership || !membership->OnlineLibrary_)
            continue;
        o.expireDate->setStringValue(expiryText(membership->OnlineLibrary_->expiredDate_));
        return;
    }
}

std::string UserInfoViewController::memberTypeText(const std::optional<std::string>& memberTypeID) {
    switch (memberTypeID ? plat::Value(*memberTypeID).intValue() : 0) {
        case 1:
            return "รายบุคคลประเภทฟรี";
        case 2:
            return "รายกลุ่ม ประเภทจ่ายค่าสมาชิกรายปี";
        case 3:
            return "รายบุคคล ประเภทจ่ายค่าสมาชิกรายปี";
        case 4:
            return "สมาชิกขั้น 8";
        default:
            return "";
    }
}

std::string UserInfoViewController::expiryText(const std::optional<std::string>& expiredDate) {
    // The day is what is shown: only the date part is read, so every hour of it is accepted.
    if (!expiredDate || expiredDate->size() < 10)
        return "";
    const QDate day = QDate::fromString(QString::fromStdString(expiredDate->substr(0, 10)),
                                        QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        return "";
    return day.toString(QStringLiteral("dd/MM/yyyy")).toStdString();
}
