#pragma once
// ui::WebView: a web page view over QtWebEngine with a profile that keeps nothing on disk. Every
// navigation, redirects included, is put to the navigation callback first; a refused one fails
// the load with code 102 (frame load interrupted), as does any other abort. clearAllCookies
// empties the web views' cookie store and the process-wide HTTP cookie store.
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QWebEngineView;
class QWebEngineProfile;

namespace ui {

inline constexpr int kWebViewFrameLoadInterrupted = 102;

class WebView : public QWidget {
  public:
    using NavigationPolicy = std::function<bool(const QUrl& url, bool isRedirect)>;
    using FailHandler = std::function<void(int code, const std::string& description)>;

    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    void loadUrl(const QUrl& url);
    void stopLoading();
    QUrl url() const;
    std::string title() const;

    // Answers whether the navigation may go on; unset lets everything through.
    void setNavigationPolicy(NavigationPolicy policy) { policy_ = std::move(policy); }
    void setFailHandler(FailHandler handler) { onFail_ = std::move(handler); }
    void setFinishHandler(std::function<void()> handler) { onFinish_ = std::move(handler); }
    void setTitleHandler(std::function<void(const std::string&)> handler) {
        onTitle_ = std::move(handler);
    }

    // The web views' shared profile (off the record).
    static QWebEngineProfile& profile();
    static void clearAllCookies();

  private:
    class Page;
    std::unique_ptr<QWebEngineView> view_;
    NavigationPolicy policy_;
    FailHandler onFail_;
    std::function<void()> onFinish_;
    std::function<void(const std::string&)> onTitle_;
    bool refused_ = false;
};

}  // namespace ui
