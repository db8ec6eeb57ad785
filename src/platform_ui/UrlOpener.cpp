#include "platform_ui/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {
namespace {

UrlOpener::Handler& handler() {
    static UrlOpener::Handler h;
    return h;
}

}  // namespace

bool UrlOpener::openUrl(const std::string& url) {
    if (handler())
        return handler()(url);
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void UrlOpener::setHandler(Handler h) {
    handler() = std::move(h);
}

}  // namespace ui
