#include "app/signon/OAuthLogin.h"

#include <QProgressBar>
#include <QWidget>

#include "app/signon/OAuth.h"
#include "external/ASIHTTPRequest.h"
#include "platform/core/Log.h"
#include "platform/net/Url.h"
#include "platform/storage/UserDefaults.h"
#include "platform_ui/Application.h"
#include "platform_ui/web/WebView.h"

PLAT_DEFINE_CLASS(OAuthLogin, ui::WindowController, [](auto& c) {
    c.method(OAuthRequestDelegate::kCompleted, &OAuthLogin::requestCompleted)
        .method(OAuthRequestDelegate::kError, &OAuthLogin::requestError)
        .method("closeButton_Click", &OAuthLogin::closeButton_Click);
})

namespace {

// The address of a URL text without its query and fragment, parsed; scheme and host compare
// without case, an absent port as the scheme's own.
struct Address {
    std::string scheme, host, path;
    int port = 0;
    bool operator==(const Address&) const = default;
};

std::optional<Address> addressOf(const std::string& text) {
    const auto url = plat::Url::parse(text.substr(0, text.find_first_of("?#")));
    if (!url || !url->hasAuthority())
        return std::nullopt;
    std::string host = url->host();
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Address{url->scheme(), host, url->path(), url->effectivePort()};
}

}  // namespace

OAuthLogin::OAuthLogin(std::string windowNibName, const Ref<plat::Dictionary>& param)
    : ui::WindowController(std::move(windowNibName)),
      objParam_(param ? param->mutableCopy() : plat::MutableDictionary::make()) {
    const auto value = [&](const char* key) { return objParam_->objectForKey(key).stringOr(); };
    // The values are the deployment's own and the device's; none of them is escaped.
    urlWebview_ = value("OAuthHost") + "index.php?client_id=" + value("OAuthClientID") +
                  "&udid=" + value("UDID") + "&redirect_uri=app&response_type=code";
}

OAuthLogin::~OAuthLogin() = default;

ui::WebView* OAuthLogin::webView() const {
    return webView_;
}
void OAuthLogin::setWebView(ui::WebView* view) {
    webView_ = view;
}
QWidget* OAuthLogin::loadingView() const {
    return loadingView_;
}
void OAuthLogin::setLoadingView(QWidget* view) {
    loadingView_ = view;
}
QWidget* OAuthLogin::connectFail() const {
    return connectFail_;
}
void OAuthLogin::setConnectFail(QWidget* view) {
    connectFail_ = view;
}
QProgressBar* OAuthLogin::waitingProgress() const {
    return waitingProgress_;
}
void OAuthLogin::setWaitingProgress(QProgressBar* progress) {
    waitingProgress_ = progress;
}

void OAuthLogin::windowDidLoad() {
    hideLoading("OK");
    // No earlier sign-on may reach the page: every cookie goes, but the library service's. A
    // sign-in of the device may be under way in that session (the program signs the device in
    // as it starts), and without its cookie the service would no longer know the session and
    // refuse the sign-in.
    const auto* library = objParam_->objectForKey("LibraryServiceURL").string();
    ui::WebView::clearAllCookies(library ? plat::Url::parse(*library) : std::nullopt);
    plat::UserDefaults::standardUserDefaults()->synchronize();
    if (waitingProgress_)
        waitingProgress_->setRange(0, 0);  // spinning
    if (!webView_)
        return;
    WeakRef<OAuthLogin> weak = self<OAuthLogin>();
    webView_->setNavigationPolicy([weak](const QUrl& url, bool) {
        if (auto me = weak.lock())
            me->parserURL(url.toString(QUrl::FullyEncoded).toStdString());
        return true;  // every navigation goes ahead, the redirect too
    });
    webView_->setStartHandler([weak] {
        if (auto me = weak.lock())
            me->webViewDidStartLoad();
    });
    webView_->setFinishHandler([weak] {
        if (auto me = weak.lock())
            me->webViewDidFinishLoad();
    });
    webView_->setFailHandler([weak](int code, const std::string&) {
        if (auto me = weak.lock())
            me->webViewDidFailLoad(code);
    });
    webView_->loadUrl(QUrl(QString::fromStdString(urlWebview_)));
}

std::string OAuthLogin::redirectMarker() const {
    return objParam_->objectForKey("OAuthHost").stringOr() + "app";
}

bool OAuthLogin::isRedirect(const std::string& url) const {
    const auto marker = addressOf(redirectMarker());
    return marker && addressOf(url) == marker;
}

bool OAuthLogin::parserURL(const std::string& url) {
    plat::systemLog(plat::format("FIND : %s", redirectMarker().c_str()));
    if (!isRedirect(url)) {
        exchangeFailed_ = false;  // the member goes on elsewhere
        return true;
    }
    const QueryDictionary query = parseQueryString(url);
    plat::systemLog(plat::format("queryString : %zu keys", query.size()));
    if (auto code = query.find("code"); code != query.end()) {
        // One exchange at a time, and none after a token came.
        if (statusCallWebService_ || exchangeSucceeded_) {
            plat::systemLog("another code ignored");
            return false;
        }
        auto oauth = OAuth::sharedInstance();
        if (!oauth) {
            closeButton_Click();
            return false;
        }
        statusCallWebService_ = true;
        showLoading();
        OAuth::ParamList param;
        oauth->addObject("authorization_code", "grant_type", param);
        oauth->addObject(code->second, "code", param);
        oauth->callWebService("access_token.php", param, "POST", kOAuthTagAccessToken,
                              self<OAuthLogin>());
        plat::systemLog("FOUND");
    } else {
        // "error" (the member cancelled, or the server refused), or neither: nothing to say.
        closeButton_Click();
    }
    return false;
}

OAuthLogin::QueryDictionary OAuthLogin::parseQueryString(const std::string& url) {
    QueryDictionary query;
    std::string_view rest = url;
    rest = rest.substr(0, rest.find('#'));
    if (const size_t question = rest.find('?'); question != std::string_view::npos)
        rest.remove_prefix(question + 1);
    while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string_view piece = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        if (piece.empty())
            continue;
        const size_t eq = piece.find('=');
        const auto key = plat::Url::percentDecode(piece.substr(0, eq));
        const auto value = eq == std::string_view::npos
                               ? std::optional<std::string>(std::string())
                               : plat::Url::percentDecode(piece.substr(eq + 1));
        if (key && value)
            query[*key] = *value;
    }
    return query;
}

void OAuthLogin::requestCompleted(Ref<plat::Object> object) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(object);
    const std::string text =
        request ? request->responseString().value_or(std::string()) : std::string();
    plat::systemLog(plat::format("XXX requestCompleted : %zu characters", text.size()));
    statusCallWebService_ = false;
    const auto tag = request ? static_cast<int32_t>(request->tag()) : kOAuthTagAccessToken;
    auto oauth = OAuth::sharedInstance();
    if (oauth && tag == kOAuthTagAccessToken) {
        const plat::Value reply = oauth->JSONValueWithString(text);
        const auto dictionary = reply.dictionary();
        const plat::Value token =
            dictionary ? dictionary->objectForKey("access_token") : plat::Value();
        if (token.string() && !token.string()->empty()) {
            oauth->setObjectWithKey(token, OAuth::kAccessTokenKey);
            exchangeSucceeded_ = true;
        }
        plat::systemLog(
            plat::format("res : access token %s", exchangeSucceeded_ ? "received" : "missing"));
    }
    if (oauth)
        plat::sendIfResponds(oauth->getDelegate(), OAuthDelegate::kDidFinish, tag, text);
    hideLoading("OK");
    closeButton_Click();
}

void OAuthLogin::requestError(Ref<plat::Object> object) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(object);
    const auto tag = request ? static_cast<int32_t>(request->tag()) : kOAuthTagAccessToken;
    const auto error = request ? request->error() : nullptr;
    auto oauth = OAuth::sharedInstance();
    if (oauth)
        plat::sendIfResponds(
            oauth->getDelegate(), OAuthDelegate::kDidFail, tag,
            error ? error->description() : std::string("Unable to create request (bad url?)"));
    statusCallWebService_ = false;
    // The member stays in the window, told that the connection failed, until they go on to
    // another page (the redirect's own page may still be loading).
    exchangeFailed_ = true;
    hideLoading("ERROR");
    if (oauth)
        oauth->showAlertConnectFail();
}

void OAuthLogin::showLoading() {
    if (loadingView_)
        loadingView_->show();
    if (connectFail_)
        connectFail_->hide();
}

void OAuthLogin::hideLoading(const std::string& state) {
    if (state == "OK") {
        if (loadingView_)
            loadingView_->hide();
        if (connectFail_)
            connectFail_->hide();
    } else if (state == "ERROR") {
        if (loadingView_)
            loadingView_->hide();
        if (connectFail_) {
            connectFail_->show();
            connectFail_->raise();
        }
    }
}

void OAuthLogin::closeButton_Click() {
    auto keep = self<OAuthLogin>();
    ui::Application::shared().stopModal();
    close();
}

void OAuthLogin::webViewDidStartLoad() {
    if (!exchangeFailed_)
        showLoading();
}

void OAuthLogin::webViewDidFinishLoad() {
    if (webView_) {
        WeakRef<OAuthLogin> weak = self<OAuthLogin>();
        webView_->evaluateJavaScript("document.title", [weak](const std::string& title) {
            auto me = weak.lock();
            if (me && me->isWindowLoaded())
                me->window()->setWindowTitle(QString::fromStdString(title));
        });
    }
    if (!statusCallWebService_ && !exchangeFailed_)
        hideLoading("OK");
}

void OAuthLogin::webViewDidFailLoad(int code) {
    if (statusCallWebService_ || exchangeFailed_)
        return;
    hideLoading(code == ui::kWebViewFrameLoadInterrupted ? "OK" : "ERROR");
}
