#pragma once
// VnShopTagLabel: a tag label of the store front: its text and the background colour text the
// service gives (not interpreted). The label is drawn on a fixed dark grey.
#include <optional>
#include <string>

#include "vnlib/info/VnColor.h"
#include "vnlib/info/VnInfoBase.h"

class VnShopTagLabel : public VnInfoBase {
    PLAT_CLASS(VnShopTagLabel)
  public:
    std::optional<std::string> text_;
    std::optional<std::string> htmlBackgroundColor_;  // as given; not interpreted

    // Dark grey (one third white), whatever htmlBackgroundColor holds. Not part of the record's
    // dictionary form: a colour has no JSON form.
    const VnColor& backgroundColor() const;
};
