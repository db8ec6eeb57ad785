#pragma once
// What the video and audio widgets share: the file URL of their media asset for a press (none,
// and logged, when the path does not resolve or no application runs to play it), the program's
// named images of their buttons, and the player's picture as a page view ("EmbeddedVideo" kind
// of the view factory: a ui::PlayerView over Qt widgets).
#include <QUrl>
#include <optional>
#include <string>

#include "app/issueui/QtWidgetView.h"

class OverlayData;
namespace plat {
class Image;
}
namespace ui {
class PlayerView;
}

// The file URL of the widget's asset, for a press of that kind of widget.
std::optional<QUrl> mediaUrlForPress(const OverlayData& widget, const std::string& assetId,
                                     const char* widgetKind);
// The program's named image; "widgeticon_video_stop" falls back to "widgeticon_video-stop".
Ref<plat::Image> mediaButtonIcon(const std::string& name);

// A page view showing a player's picture with its control bar and full-screen toggle.
class PlayerWidgetView : public QtWidgetView {
    PLAT_CLASS(PlayerWidgetView)
  public:
    static constexpr const char* kViewKind = "EmbeddedVideo";
    explicit PlayerWidgetView(const QRectF& frame);
    ui::PlayerView* playerView() const;

    // Registers the maker of the kind with the view factory.
    static void installViewMaker();
};
