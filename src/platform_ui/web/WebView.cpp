#include "platform_ui/web/WebView.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "platform/net/HttpCookieStorage.h"

namespace ui {

namespace {
constexpr int kEngineAborted = -3;
}

class WebView::Page : public QWebEnginePage {
  public:
    Page(WebView& owner, QWebEngineProfile* profile) : QWebEnginePage(profile), owner_(owner) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame || !owner_.policy_)
            return true;
        const bool allowed = owner_.policy_(url, type == NavigationTypeRedirect);
        if (!allowed)
            owner_.refused_ = true;
        return allowed;
    }

  private:
    WebView& owner_;
};

QWebEngineProfile& WebView::profile() {
    // Off the record (no storage name); it lives as long as the application object.
    static QWebEngineProfile* shared = [] {
        auto made = std::make_unique<QWebEngineProfile>();
        made->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        made->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        made->setParent(QApplication::instance());
        return made.release();
    }();
    return *shared;
}

WebView::WebView(QWidget* parent) : QWidget(parent), view_(std::make_unique<QWebEngineView>()) {
    auto page = std::make_unique<Page>(*this, &profile());
    page->setParent(view_.get());
    view_->setPage(page.release());  // the view's child
    auto layout = std::make_unique<QVBoxLayout>();
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_.get());
    setLayout(layout.release());  // owned by this widget
    QObject::connect(view_.get(), &QWebEngineView::loadStarted, this, [this] {
        refused_ = false;
        failureCode_ = 0;
        failureText_.clear();
        if (onStart_)
            onStart_();
    });
    QObject::connect(view_->page(), &QWebEnginePage::loadingChanged, this,
                     [this](const QWebEngineLoadingInfo& info) {
                         if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
                             return;
                         failureCode_ = info.errorCode();
                         failureText_ = info.errorString().toStdString();
                     });
    QObject::connect(view_.get(), &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok && !refused_) {
            if (onFinish_)
                onFinish_();
            return;
        }
        // The engine may tell why the load failed just after it reports the end: decide on the
        // next turn of the loop.
        QTimer::singleShot(0, this, [this, refused = refused_] { reportFailure(refused); });
    });
    QObject::connect(view_.get(), &QWebEngineView::titleChanged, this, [this](const QString& t) {
        if (onTitle_)
            onTitle_(t.toStdString());
    });
}

WebView::~WebView() {
    // The layout holds the view too: take it out before the unique_ptr deletes it.
    if (layout())
        layout()->removeWidget(view_.get());
    view_->setParent(nullptr);
}

void WebView::loadUrl(const QUrl& url) {
    refused_ = false;
    view_->load(url);
}

void WebView::stopLoading() {
    view_->stop();
}

QUrl WebView::url() const {
    return view_->url();
}

std::string WebView::title() const {
    return view_->title().toStdString();
}

void WebView::reportFailure(bool refused) {
    if (!onFail_)
        return;
    // A refused navigation or an abort (the engine's "aborted", -3) interrupts the frame load;
    // any other failure keeps the engine's code, kept apart from 102.
    if (refused || failureCode_ == 0 || failureCode_ == kEngineAborted) {
        onFail_(kWebViewFrameLoadInterrupted, "Frame load interrupted");
        return;
    }
    const int code = failureCode_ == kWebViewFrameLoadInterrupted ? -failureCode_ : failureCode_;
    onFail_(code, failureText_.empty() ? "The page could not be loaded" : failureText_);
}

void WebView::evaluateJavaScript(const std::string& script, ScriptResultHandler handler) {
    QPointer<WebView> guard(this);
    view_->page()->runJavaScript(
        QString::fromStdString(script), [guard, handler = std::move(handler)](const QVariant& v) {
            if (guard && handler)
                handler(v.isNull() || !v.isValid() ? std::string() : v.toString().toStdString());
        });
}

void WebView::clearAllCookies(const std::optional<plat::Url>& keeping) {
    profile().cookieStore()->deleteAllCookies();
    auto& shared = plat::HttpCookieStorage::shared();
    if (!keeping) {
        shared.removeAllCookies();
        return;
    }
    for (const auto& cookie : shared.cookies()) {
        if (!cookie.matchesUrl(*keeping))
            shared.deleteCookie(cookie);
    }
}

}  // namespace ui
