#pragma once
// ui::WebView: a web page view over QtWebEngine with a profile that keeps nothing on disk. Every
// navigation, redirects included, is put to the navigation callback first; a refused one fails
// the load with code 102 (frame load interrupted), as does any other abort, while a load that
// fails for another reason (refused connection, unknown host, ...) reports the engine's own error
// code, never 102. Scripts run in the page and hand their result back as text. clearAllCookies
// empties the web views' cookie store and the process-wide HTTP cookie store (all but one
// address's cookies there, when asked).
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/Url.h"

class QWebEngineView;
class QWebEngineProfile;

namespace ui {

inline constexpr int kWebViewFrameLoadInterrupted = 102;

class WebView : public QWidget {
  public:
    using NavigationPolicy = std::function<bool(const QUrl& url, bool isRedirect)>;
    using FailHandler = std::function<void(int code, const std::string& description)>;
    using ScriptResultHandler = std::function<void(const std::string& result)>;

    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    void loadUrl(const QUrl& url);
    void stopLoading();
    QUrl url() const;
    std::string title() const;

    // Answers whether the navigation may go on; unset lets everything through.
    void setNavigationPolicy(NavigationPolicy policy) { policy_ = std::move(policy); }
    void setFailHandler(FailHandler handler) { onFail_ = std::move(handler); }
    // Told when a page load starts (a redirect of it does not start another).
    void setStartHandler(std::function<void()> handler) { onStart_ = std::move(handler); }
    void setFinishHandler(std::function<void()> handler) { onFinish_ = std::move(handler); }
    void setTitleHandler(std::function<void(const std::string&)> handler) {
        onTitle_ = std::move(handler);
    }

    // Runs the script in the page's main frame; the handler gets its result as text ("" for
    // undefined or null), later, on the main thread, unless the view has gone.
    void evaluateJavaScript(const std::string& script, ScriptResultHandler handler);

    // The web views' shared profile (off the record).
    static QWebEngineProfile& profile();
    // Deletes every cookie of the web views and of the program's shared store, except, in the
    // shared store, those that a request for `keeping` would carry.
    static void clearAllCookies(const std::optional<plat::Url>& keeping = std::nullopt);

  private:
    class Page;
    void reportFailure(bool refused);
    std::unique_ptr<QWebEngineView> view_;
    NavigationPolicy policy_;
    FailHandler onFail_;
    std::function<void()> onStart_;
    std::function<void()> onFinish_;
    std::function<void(const std::string&)> onTitle_;
    bool refused_ = false;
    // The engine's error of the load that is failing, taken before the load reports its end.
    int failureCode_ = 0;
    std::string failureText_;
};

}  // namespace ui
