#pragma once
// ui::UrlOpener: opens URLs (web pages, mail) with the desktop's handlers; replaceable, so that
// tests record what would have opened.
#include <functional>
#include <string>

namespace ui {

class UrlOpener {
  public:
    using Handler = std::function<bool(const std::string& url)>;
    // Answers whether a handler took the URL.
    static bool openUrl(const std::string& url);
    // Null restores the desktop's handlers.
    static void setHandler(Handler handler);
};

}  // namespace ui
