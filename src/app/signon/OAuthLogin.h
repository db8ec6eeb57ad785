#pragma once
// OAuthLogin: the modal window in which the member signs in on the sign-on server's own page.
// It empties every cookie store, loads the authorization page, and watches every navigation for
// the redirect to "{OAuthHost}app" (compared as a parsed address, its own query read): with a
// code it has OAuth exchange it for a token once (tag 1), stores the token, tells OAuth's
// delegate and closes; with an error, or neither, it closes at once. Closing ends the modal loop.
// A page that fails to load, or an exchange that fails in transport, shows the failure overlay.
//
// Its layout is the nib "OAuthLogin" (SignOnResources), which sets the outlets below and wires
// its close button to closeButton_Click.
#include <QPointer>
#include <map>
#include <optional>
#include <string>

#include "platform/core/Collections.h"
#include "platform_ui/WindowController.h"

class QWidget;
class QProgressBar;
namespace ui {
class WebView;
}

class OAuthLogin : public ui::WindowController {
    PLAT_CLASS(OAuthLogin)
  public:
    using QueryDictionary = std::map<std::string, std::string>;

    // The parameters: "OAuthHost", "OAuthClientID", "UDID".
    OAuthLogin(std::string windowNibName, const Ref<plat::Dictionary>& param);
    ~OAuthLogin() override;

    void windowDidLoad() override;

    // Examines a navigation's address; false when it was the redirect.
    bool parserURL(const std::string& url);
    // The query of the address: pairs split at "&" and "=", each part percent-decoded ("+"
    // stays); a bare key gets "", an empty piece or one that does not decode is skipped.
    static QueryDictionary parseQueryString(const std::string& url);

    void requestCompleted(Ref<plat::Object> request);
    void requestError(Ref<plat::Object> request);
    void showLoading();
    void hideLoading(const std::string& state);
    void closeButton_Click();

    // Web view events.
    void webViewDidStartLoad();
    void webViewDidFinishLoad();
    void webViewDidFailLoad(int code);

    const std::string& urlWebview() const { return urlWebview_; }
    bool statusCallWebService() const { return statusCallWebService_; }

    // Outlets, set by the nib.
    ui::WebView* webView() const;
    void setWebView(ui::WebView* view);
    QWidget* loadingView() const;
    void setLoadingView(QWidget* view);
    QWidget* connectFail() const;
    void setConnectFail(QWidget* view);
    QProgressBar* waitingProgress() const;
    void setWaitingProgress(QProgressBar* progress);

  private:
    std::string redirectMarker() const;
    bool isRedirect(const std::string& url) const;

    Ref<plat::MutableDictionary> objParam_;
    std::string urlWebview_;
    bool statusCallWebService_ = false;
    bool exchangeSucceeded_ = false;
    bool exchangeFailed_ = false;
    QPointer<ui::WebView> webView_;
    QPointer<QWidget> loadingView_;
    QPointer<QWidget> connectFail_;
    QPointer<QProgressBar> waitingProgress_;
};
