#include "app/widgets/MediaSupport.h"

#include <QApplication>

#include "app/issueui/OverlayData.h"
#include "app/issueui/WidgetAssetManager.h"
#include "platform/core/Log.h"
#include "platform_ui/media/MediaPlayer.h"

PLAT_DEFINE_CLASS(PlayerWidgetView, QtWidgetView, PLAT_NO_METHODS)

std::optional<QUrl> mediaUrlForPress(const OverlayData& widget, const std::string& assetId,
                                     const char* widgetKind) {
    const auto path = widget.assetFilePathForAssetId(assetId);
    if (!path || path->empty()) {
        plat::systemLog(plat::format("%s: the media file \"%s\" is not there; the press is ignored",
                                     widgetKind, assetId.c_str()));
        return std::nullopt;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        plat::systemLog(
            plat::format("%s: no application runs to play \"%s\"", widgetKind, assetId.c_str()));
        return std::nullopt;
    }
    return QUrl::fromLocalFile(QString::fromStdString(*path));
}

Ref<plat::Image> mediaButtonIcon(const std::string& name) {
    auto image = AssetManager::classImageById(name);
    if (!image && name == "widgeticon_video_stop")
        image = AssetManager::classImageById("widgeticon_video-stop");
    return image;
}

PlayerWidgetView::PlayerWidgetView(const QRectF& frame)
    : QtWidgetView(std::make_unique<ui::PlayerView>()) {
    setFrame(frame);
}

ui::PlayerView* PlayerWidgetView::playerView() const {
    return static_cast<ui::PlayerView*>(widget());
}

void PlayerWidgetView::installViewMaker() {
    WidgetViewFactory::setMaker(kViewKind, [](VisibleWidget&, const QRectF& frame) {
        return std::static_pointer_cast<WidgetView>(std::make_shared<PlayerWidgetView>(frame));
    });
}
