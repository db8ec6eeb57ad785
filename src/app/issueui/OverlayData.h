#pragma once
// OverlayData: the base of every page widget: its frame on the page (from "Frame", else "X", "Y",
// "Width", "Height"), the asset resolver of its page, its parent widget (not kept), a readiness
// that once reached stays, and the operations every kind answers (attaching, activation, the
// files it needs). Widgets are made from description dictionaries by WidgetFactory.
#include <QRectF>
#include <QTransform>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Collections.h"

namespace plat {
class Image;
}
class WidgetAssetManager;
class WidgetView;

class OverlayData : public plat::Object {
    PLAT_CLASS(OverlayData)
  public:
    OverlayData() = default;
    ~OverlayData() override;

    // A new widget of class T with that asset manager, loaded from the description.
    template <class T>
    static Ref<T> dataByDictionary(const plat::Dictionary& description,
                                   const Ref<WidgetAssetManager>& assetManager) {
        auto widget = std::make_shared<T>();
        widget->setAssetManager(assetManager);
        widget->loadFromDictionary(description);
        return widget;
    }

    // Reads the frame; kinds read their own keys after calling this.
    virtual void loadFromDictionary(const plat::Dictionary& description);
    virtual void attachToView(const Ref<WidgetView>& view, const QTransform& transformation);
    virtual void detachFromView() {}
    virtual void layoutWidget(const QTransform&) {}

    // The widget's asset manager, then the program's resources.
    Ref<plat::Image> imageWithAssetId(const std::string& assetId) const;
    // The widget's asset manager; the program's resources only when it has none.
    std::optional<std::string> assetFilePathForAssetId(const std::string& assetId) const;
    // Whether the widget's own asset manager has a file for the id (no fallback).
    bool assetIdAvailable(const std::string& assetId) const;
    bool assetIdListAvailable(const std::vector<std::string>& assetIds) const;

    virtual bool readyForDisplay() { return true; }
    // readyForDisplay, remembered once it answers yes.
    virtual bool isReadyForDisplay();
    // The asset ids of the downloaded files the widget needs.
    virtual std::vector<std::string> _requiredAssetFileIds() const { return {}; }
    virtual void didBecomeActive() {}
    // Purges cached data.
    virtual void didBecomeInactive();
    virtual void purgeCacheData() {}
    virtual bool hasButton() const { return true; }

    virtual QRectF frame() const { return frame_; }
    void setFrame(const QRectF& frame) { frame_ = frame; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    const Ref<WidgetAssetManager>& assetManager() const { return assetManager_; }
    void setAssetManager(const Ref<WidgetAssetManager>& manager) { assetManager_ = manager; }
    Ref<OverlayData> superwidget() const { return superwidget_.lock(); }
    void setSuperwidget(const Ref<OverlayData>& widget) { superwidget_ = widget; }

  private:
    QRectF frame_;
    WeakRef<plat::Object> delegate_;
    Ref<WidgetAssetManager> assetManager_;
    WeakRef<OverlayData> superwidget_;
    bool readyForDisplay_ = false;
};
