#pragma once
// VnMagazineIssuePageRenderingInfo: how the reader lays out one page, from the page's entry in
// the item's rendering metadata ("Pages" -> decimal source page index -> page dictionary):
// "PageName", "Widgets" (kept as they are), "PageInsets" (else "ClipPageInsets"; each side a
// number, a non-dictionary value meaning no insets), "SinglePageAlignment" and
// "DoublePageAlignment" (99: the item-wide default applies). Values of the wrong type count as
// absent. A page's widget list is cut at kMaxWidgetsPerPage. The background colour is always
// clear.
#include <optional>
#include <string>

#include "platform/core/Collections.h"
#include "vnlib/info/VnColor.h"

struct VnEdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    bool operator==(const VnEdgeInsets&) const = default;
};

class VnMagazineIssuePageRenderingInfo : public plat::Object {
    PLAT_CLASS(VnMagazineIssuePageRenderingInfo)
  public:
    static constexpr int32_t kDefaultAlignment = 99;
    // A page lists at most this many widgets; a longer list is cut, with one logged line.
    static constexpr size_t kMaxWidgetsPerPage = 1000;

    explicit VnMagazineIssuePageRenderingInfo(const plat::Dictionary& page);
    // Only a page name: no insets, alignments 0, no widgets.
    explicit VnMagazineIssuePageRenderingInfo(std::string pageName);

    const std::optional<std::string>& pageName() const { return pageName_; }
    const Ref<plat::Array>& widgetDictionaries() const { return widgetDictionaries_; }
    const VnEdgeInsets& pageInsets() const { return pageInsets_; }
    VnColor backgroundColor() const { return VnColor::clearColor(); }
    int32_t singlePageAlignment() const { return singlePageAlignment_; }
    int32_t doublePageAlignment() const { return doublePageAlignment_; }

    // The page's entry of the metadata, else the "*<index>" fallback (logged in "Error").
    static Ref<VnMagazineIssuePageRenderingInfo> infoForSourcePageIndex(const plat::Value& metadata,
                                                                        int32_t sourcePageIndex);

  private:
    std::optional<std::string> pageName_;
    Ref<plat::Array> widgetDictionaries_;
    VnEdgeInsets pageInsets_;
    int32_t singlePageAlignment_ = 0;
    int32_t doublePageAlignment_ = 0;
};
