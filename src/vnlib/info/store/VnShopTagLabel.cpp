#include "vnlib/info/store/VnShopTagLabel.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnShopTagLabel, VnInfoBase, [](auto& c) {
    c.property("text", "T@\"NSString\",C,N,Vtext_", &VnShopTagLabel::text_)
        .property("htmlBackgroundColor", "T@\"NSString\",C,N,VhtmlBackgroundColor_",
                  &VnShopTagLabel::htmlBackgroundColor_);
})

const VnColor& VnShopTagLabel::backgroundColor() const {
    static constexpr VnColor kDarkGray{1.0 / 3, 1.0 / 3, 1.0 / 3, 1};
    return kDarkGray;
}
