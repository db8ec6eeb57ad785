#pragma once
// WidgetContext: the shared environment of page widgets: frame texts ("{x, y, w, h}", braces
// and blanks ignored, missing or unreadable parts 0) and a scroll lock that widgets take while
// they want the reader not to scroll; the reader hears only the first lock and the last unlock.
#include <QRectF>
#include <string_view>

#include "platform/core/Object.h"

class WidgetMainReader {
  public:
    virtual ~WidgetMainReader() = default;
    virtual void lockScroll() = 0;
    virtual void unlockScroll() = 0;
};

class WidgetContext : public plat::Object {
    PLAT_CLASS(WidgetContext)
  public:
    static Ref<WidgetContext> defaultContext();
    static QRectF rectFromString(std::string_view text);

    // The reader is not kept.
    void setMainReader(const Ref<WidgetMainReader>& reader) { mainReader_ = reader; }
    Ref<WidgetMainReader> mainReader() const { return mainReader_.lock(); }
    void lockScroll();
    // An unlock without a lock changes nothing.
    void unlockScroll();
    int lockCount() const { return lockCount_; }

  private:
    WeakRef<WidgetMainReader> mainReader_;
    int lockCount_ = 0;
};
