#include "vnlib/domain/content/VnMagazineIssuePageRenderingInfo.h"

#include <cmath>
#include <limits>

#include "vnlib/dev/util/VndDiags.h"

PLAT_DEFINE_CLASS(VnMagazineIssuePageRenderingInfo, plat::Object, PLAT_NO_METHODS)

namespace {

// A side of the insets as a 32-bit float; anything but a number a float can hold is 0.
double side(const plat::Dictionary& insets, const char* key) {
    const plat::Value value = insets.objectForKey(key);
    const double number = value.isNumber() ? value.doubleValue() : 0.0;
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
        return 0.0;
    return static_cast<double>(static_cast<float>(number));
}

int32_t alignment(const plat::Dictionary& page, const char* key) {
    const plat::Value value = page.objectForKey(key);
    return value.isNumber() ? value.intValue()
                            : VnMagazineIssuePageRenderingInfo::kDefaultAlignment;
}

}  // namespace

VnMagazineIssuePageRenderingInfo::VnMagazineIssuePageRenderingInfo(const plat::Dictionary& page) {
    if (const std::string* name = page.objectForKey("PageName").string())
        pageName_ = *name;
    widgetDictionaries_ = page.objectForKey("Widgets").array();
    plat::Value insets = page.objectForKey("PageInsets");
    if (insets.isNil())
        insets = page.objectForKey("ClipPageInsets");
    if (auto sides = insets.dictionary())
        pageInsets_ = {side(*sides, "Top"), side(*sides, "Left"), side(*sides, "Bottom"),
                       side(*sides, "Right")};
    singlePageAlignment_ = alignment(page, "SinglePageAlignment");
    doublePageAlignment_ = alignment(page, "DoublePageAlignment");
}

VnMagazineIssuePageRenderingInfo::VnMagazineIssuePageRenderingInfo(std::string pageName)
    : pageName_(std::move(pageName)) {}

Ref<VnMagazineIssuePageRenderingInfo> VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(
    const plat::Value& metadata, int32_t sourcePageIndex) {
    auto root = metadata.dictionary();
    auto pages = root ? root->objectForKey("Pages").dictionary() : nullptr;
    auto page = pages ? pages->objectForKey(std::to_string(sourcePageIndex)).dictionary() : nullptr;
    if (page)
        return std::make_shared<VnMagazineIssuePageRenderingInfo>(*page);
    VND_TRACE("Error", "Rendering information missing at source page index %d", sourcePageIndex);
    return std::make_shared<VnMagazineIssuePageRenderingInfo>("*" +
                                                              std::to_string(sourcePageIndex));
}
