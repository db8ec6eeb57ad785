#pragma once
// HZLoading: the loading overlay that screens lay over themselves while they load: a busy
// indicator, a red loading label and a red cancel button. The owner shows and hides it by its
// view's hidden flag; the cancel button tells the delegate (HZLoadingDelegate), nothing more.
// Made by the registry as ("", "HZLoading").
#include <QPointer>

#include "app/shell/HZLoadingDelegate.h"
#include "platform_ui/ViewController.h"

class QProgressBar;
class QPushButton;

class HZLoading : public ui::ViewController {
    PLAT_CLASS(HZLoading)
  public:
    HZLoading();

    // The overlay red: (1.0, 0.231, 0.188).
    static QColor overlayRed();

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    bool hiddenCancelButton() const { return hiddenCancelButton_; }
    void setHiddenCancelButton(bool hidden);

    QProgressBar* loadingProgress() const;
    QPushButton* cancelButton() const;
    QPushButton* btnLoading() const;

    void viewDidLoad() override;
    void cancelButton_Click(Ref<plat::Object> sender);

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    WeakRef<plat::Object> delegate_;
    bool hiddenCancelButton_ = false;
    QPointer<QProgressBar> loadingProgress_;
    QPointer<QPushButton> cancelButton_;
    QPointer<QPushButton> btnLoading_;
};
