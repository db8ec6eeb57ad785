#pragma once
// SettingView: the account sheet of the main window. It tells whether a member is signed in and
// who, offers sign-in or sign-out (it only asks its delegate, a SettingViewDelegate), and opens
// the member's reservations, borrow history and information inside itself, each made by its
// registered name ("", "ReserveBookViewController" / "BorrowHistoryViewController" /
// "UserInfoViewController"). Reopening one kind replaces the earlier one's view and controller.
#include <QPointer>
#include <optional>
#include <string>

#include "platform_ui/ViewController.h"

class QPushButton;
namespace ui {
class TextField;
}

// The sheet's delegate protocol: three optional messages, none with arguments.
struct SettingViewDelegate {
    static constexpr plat::Message<void()> kCloseButtonClick{"settingViewCloseButtonClick"};
    static constexpr plat::Message<void()> kClickForLogIn{"settingViewClickForLogIn"};
    static constexpr plat::Message<void()> kClickForLogOut{"settingViewClickForLogOut"};
};

class SettingView : public ui::ViewController {
    PLAT_CLASS(SettingView)
  public:
    SettingView();
    ~SettingView() override;

    // The colour of the action buttons' borders: (0, 0.6, 1.0).
    static QColor borderColour();
    static constexpr const char* kSignInTitle = "ลงบัญชีเข้าใช้";
    static constexpr const char* kSignOutTitle = "ออกจากระบบ";

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    QWidget* menuView() const;
    QWidget* infoView() const;
    QPushButton* signInButton() const;
    QPushButton* historyButton() const;
    QPushButton* reserveButton() const;
    QPushButton* userInfoButton() const;
    QPushButton* closeButton() const;
    ui::TextField* userNameTextField() const;
    // Never filled, and never shown.
    ui::TextField* udidTextField() const;
    ui::TextField* emailSupporTextField() const;
    const std::optional<std::string>& userName() const { return userName_; }

    // The member screen of each kind last opened (null before).
    const Ref<ViewController>& reserveViewController() const { return opened_[Reserve].controller; }
    const Ref<ViewController>& historyViewController() const { return opened_[History].controller; }
    const Ref<ViewController>& userInfoViewController() const {
        return opened_[UserInfo].controller;
    }

    void viewDidLoad() override;
    void viewDidAppear() override;
    bool isSignin();
    void checkSignIn();

    void closeButton_Click(Ref<plat::Object> sender);
    void signInButton_Click(Ref<plat::Object> sender);
    void reserveButton_Click(Ref<plat::Object> sender);
    void historyButton_Click(Ref<plat::Object> sender);
    void userInfoButton_Click(Ref<plat::Object> sender);

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    enum Kind { Reserve, History, UserInfo, KindCount };
    struct Opened {
        Ref<ViewController> controller;
        QPointer<QWidget> view;
    };
    void openMemberScreen(Kind kind);
    void styleButtons();

    struct Outlets;
    std::unique_ptr<Outlets> outlets_;
    WeakRef<plat::Object> delegate_;
    std::optional<std::string> userName_;
    Opened opened_[KindCount];
};
