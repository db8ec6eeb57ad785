#pragma once
// VnShopTagLabel: a tag label of the store front: its text and the background colour text the
// service gives (not interpreted). The label is drawn on a fixed dark grey.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

// A colour as red, green, blue and alpha components from 0 to 1.
struct VnColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const VnColor&) const = default;
};

class VnShopTagLabel : public VnInfoBase {
    PLAT_CLASS(VnShopTagLabel)
  public:
    std::optional<std::string> text_;
    std::optional<std::string> htmlBackgroundColor_;  // as given; not interpreted

    // Dark grey (one third white), whatever htmlBackgroundColor holds. Not part of the record's
    // dictionary form: a colour has no JSON form.
    const VnColor& backgroundColor() const;
};
