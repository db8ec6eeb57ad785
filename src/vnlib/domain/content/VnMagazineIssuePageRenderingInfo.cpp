#include "vnlib/domain/content/VnMagazineIssuePageRenderingInfo.h"

#include <cmath>
#include <limits>

#include "platform/core/Log.h"
#include "vnlib/dev/util/VndDiags.h"

PLAT_DEFINE_CLASS(VnMagazineIssuePageRenderingInfo, plat::Object, PLAT_NO_METHODS)

namespace {

// The metadata's keys, made once: an issue's opening looks up every page's entries.
struct Keys {
    plat::Value pages{"Pages"}, pageName{"PageName"}, widgets{"Widgets"}, insets{"PageInsets"},
        clipInsets{"ClipPageInsets"}, top{"Top"}, left{"Left"}, bottom{"Bottom"}, right{"Right"},
        single{"SinglePageAlignment"}, dual{"DoublePageAlignment"};
};

const Keys& keys() {
    static const Keys made;
    return made;
}

// A side of the insets as a 32-bit float; anything but a number a float can hold is 0.
double side(const plat::Dictionary& insets, const plat::Value& key) {
    const plat::Value value = insets.objectForKey(key);
    const double number = value.isNumber() ? value.doubleValue() : 0.0;
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
        return 0.0;
    return static_cast<double>(static_cast<float>(number));
}

int32_t alignment(const plat::Dictionary& page, const plat::Value& key) {
    const plat::Value value = page.objectForKey(key);
    return value.isNumber() ? value.intValue()
                            : VnMagazineIssuePageRenderingInfo::kDefaultAlignment;
}

}  // namespace

VnMagazineIssuePageRenderingInfo::VnMagazineIssuePageRenderingInfo(const plat::Dictionary& page) {
    const Keys& k = keys();
    if (const std::string* name = page.objectForKey(k.pageName).string())
        pageName_ = *name;
    widgetDictionaries_ = page.objectForKey(k.widgets).array();
    if (widgetDictionaries_ && widgetDictionaries_->count() > kMaxWidgetsPerPage) {
        plat::log(plat::format("Page %s lists %zu widgets: only the first %zu are shown",
                               pageName_.value_or("").c_str(), widgetDictionaries_->count(),
                               kMaxWidgetsPerPage));
        std::vector<plat::Value> kept;
        kept.reserve(kMaxWidgetsPerPage);
        widgetDictionaries_->enumerate([&](const plat::Value& widget) {
            kept.push_back(widget);
            return kept.size() < kMaxWidgetsPerPage;
        });
        widgetDictionaries_ = plat::Array::make(std::move(kept));
    }
    plat::Value insets = page.objectForKey(k.insets);
    if (insets.isNil())
        insets = page.objectForKey(k.clipInsets);
    if (auto sides = insets.dictionary())
        pageInsets_ = {side(*sides, k.top), side(*sides, k.left), side(*sides, k.bottom),
                       side(*sides, k.right)};
    singlePageAlignment_ = alignment(page, k.single);
    doublePageAlignment_ = alignment(page, k.dual);
}

VnMagazineIssuePageRenderingInfo::VnMagazineIssuePageRenderingInfo(std::string pageName)
    : pageName_(std::move(pageName)) {}

Ref<VnMagazineIssuePageRenderingInfo> VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(
    const plat::Value& metadata, int32_t sourcePageIndex) {
    auto root = metadata.dictionary();
    auto pages = root ? root->objectForKey(keys().pages).dictionary() : nullptr;
    auto page = pages ? pages->objectForKey(std::to_string(sourcePageIndex)).dictionary() : nullptr;
    if (page)
        return std::make_shared<VnMagazineIssuePageRenderingInfo>(*page);
    VND_TRACE("Error", "Rendering information missing at source page index %d", sourcePageIndex);
    return std::make_shared<VnMagazineIssuePageRenderingInfo>("*" +
                                                              std::to_string(sourcePageIndex));
}
