#pragma once
// UserInfoViewController: the read-only panel of the signed-in member's profile and lending
// allowance. Each time it shows it asks the active user context for the current subscription and
// the profile and fills seven fields from the answers; a failed or empty answer leaves its fields
// as they were. Made by the registry as ("", "UserInfoViewController").
#include <QPointer>
#include <optional>
#include <string>

#include "platform_ui/ViewController.h"

class VnProfileInfo;
class VnUserSubscriptionInfo;
namespace ui {
class TextField;
}

class UserInfoViewController : public ui::ViewController {
    PLAT_CLASS(UserInfoViewController)
  public:
    UserInfoViewController();
    ~UserInfoViewController() override;

    ui::TextField* nameTextField() const;
    ui::TextField* lastNameTextField() const;
    ui::TextField* emailTextField() const;
    ui::TextField* personIDTextField() const;
    ui::TextField* memberTypeTextField() const;
    ui::TextField* memberDetailTextField() const;
    ui::TextField* expireDateTextField() const;

    void viewDidAppear() override;
    // Starts the two requests; their answers fill the fields in either order.
    void refresh();

    // The text of a member type ("" for anything but 1 to 4).
    static std::string memberTypeText(const std::optional<std::string>& memberTypeID);
    // "2026-12-31 23:59:59" -> "31/12/2026"; "" when absent or not such a date.
    static std::string expiryText(const std::optional<std::string>& expiredDate);

    void showSubscription(const VnUserSubscriptionInfo& subscription);
    void showProfile(const VnProfileInfo& profile);

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    struct Outlets;
    std::unique_ptr<Outlets> outlets_;
};
