#include "app/widgets/PageLinkWidget.h"

#include <algorithm>
#include <limits>

#include "platform/runloop/NotificationCenter.h"

const char* const kJumpToPageNotification = "BookViewController_JumpToPage";

PLAT_DEFINE_CLASS(PageLinkWidget, LinkWidget, [](auto&) {})

void PageLinkWidget::loadFromDictionary(const plat::Dictionary& description) {
    LinkWidget::loadFromDictionary(description);
    const auto number = description.objectForKey("TargetPageNumber");
    if (!number.isNil()) {
        // A page number beyond what an index holds stays out of range instead of wrapping.
        constexpr int64_t kLowest = std::numeric_limits<int32_t>::min();
        constexpr int64_t kHighest = std::numeric_limits<int32_t>::max();
        const int64_t pageNumber = std::clamp<int64_t>(number.int64Value(), kLowest + 1, kHighest);
        targetPageIndex_ = static_cast<int32_t>(pageNumber - 1);
    }
    if (const auto* name = description.objectForKey("PageName").string())
        targetPageName_ = *name;
}

void PageLinkWidget::widgetTapped() {
    auto userInfo = plat::MutableDictionary::make();
    userInfo->setObject(targetPageIndex_, "TargetPageIndex");
    if (targetPageName_)
        userInfo->setObject(*targetPageName_, "TargetPageName");
    plat::NotificationCenter::defaultCenter().postNotificationName(
        kJumpToPageNotification, self<PageLinkWidget>(), userInfo);
}
