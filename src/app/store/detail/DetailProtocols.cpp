#include "app/store/detail/DetailProtocols.h"

#include "platform/core/Protocol.h"

namespace detail_protocols {
namespace {

const plat::Protocol& declare(const char* name,
                              std::vector<std::pair<const char*, const char*>> methods) {
    std::vector<plat::Protocol::MethodDescription> descriptions;
    for (const auto& [selector, types] : methods)
        descriptions.push_back({selector, types, false, true});
    return plat::Protocol::declare(name, {}, std::move(descriptions));
}

}  // namespace

const plat::Protocol& shopDetailMainViewControllerDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailMainViewControllerDelegate",
                {{"shopDetailMainViewStartLoading", "v@:"},
                 {"shopDetailMainViewLoadComplete", "v@:"},
                 {"shopDetailMainViewLoadDataInfoComplete", "v@:"},
                 {"shopDetailMainView:backToTopView:", "v@:@@"},
                 {"shopDetailMainView:seeAllBackIssue:", "v@:@@"},
                 {"shopDetailMainView:previewMagazineIssueInfo:", "v@:@@"}});
    return protocol;
}

const plat::Protocol& shopDetailInfoItemViewDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailInfoItemViewDelegate",
                {{"shopDetailInfoItemStartLoading", "v@:"},
                 {"shopDetailInfoItemLoadComplete", "v@:"},
                 {"shopDetailInfoItem:previewMagazineIssueInfo:", "v@:@@"}});
    return protocol;
}

const plat::Protocol& shopDetailByAuthorViewDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailByAuthorViewDelegate",
                {{"shopDetailByAuthorView:selectSeeAll:", "v@:@@"},
                 {"shopDetailByAuthorView:selectMagazineIssueInfo:", "v@:@@"}});
    return protocol;
}

const plat::Protocol& previewPopupMainViewDelegate() {
    static const plat::Protocol& protocol =
        declare("PreviewPopupMainViewDelegate", {{"previewPopupMainViewClose", "v@:"}});
    return protocol;
}

}  // namespace detail_protocols
