#pragma once
// ImageWidget: one still picture of the page's interactive files ("ImageFileName") stretched
// over the widget's area, and the frame of reference of its sub-widgets: their frames are in the
// picture's own pixels, from its origin, whatever size the widget has on the page. It has no
// button. Without "ImageFileName" it needs no file and is never ready.
#include <QColor>
#include <QSize>

#include "app/issueui/VisibleWidget.h"

class ImageWidget : public VisibleWidget {
    PLAT_CLASS(ImageWidget)
  public:
    // The kind of view a stretched picture is shown in.
    static constexpr const char* kImageViewKind = "image";

    // A picture view with that frame showing the widget's picture.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;
    void loadFromDictionary(const plat::Dictionary& description) override;
    std::vector<std::string> _requiredAssetFileIds() const override;
    // The picture's file is there (sub-widgets are not asked).
    bool readyForDisplay() override;
    // Picture pixels to view points; the identity while the picture is missing or empty.
    QTransform calcSubwidgetTransformation(const QTransform& transformation,
                                           const Ref<WidgetView>& widgetView) const override;
    bool needOverlayButton() const override { return false; }
    bool hasButton() const override { return false; }

    const std::optional<std::string>& imageFileName() const { return imageFileName_; }
    const QColor& backgroundColor() const { return backgroundColor_; }

  private:
    std::optional<std::string> imageFileName_;
    QColor backgroundColor_ = QColor(0, 0, 0, 0);
    QSize imageSize_;  // of the picture the view was given
};
