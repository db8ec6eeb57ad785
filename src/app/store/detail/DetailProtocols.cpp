#include "app/store/detail/DetailProtocols.h"

#include "app/store/StoreMessages.h"
#include "platform/core/Protocol.h"

namespace detail_protocols {
namespace {

using M = ShopDetailMessages;

// Every message of these protocols is optional.
template <class... S>
const plat::Protocol& declare(const char* name, const plat::Message<S>&... messages) {
    return plat::Protocol::declare(name, {}, {plat::Protocol::describe(messages, false)...});
}

}  // namespace

const plat::Protocol& shopDetailMainViewControllerDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailMainViewControllerDelegate", M::kStartLoading, M::kLoadComplete,
                M::kLoadDataInfoComplete, M::kBackToTopView, M::kSeeAllBackIssue, M::kPreviewIssue);
    return protocol;
}

const plat::Protocol& shopDetailInfoItemViewDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailInfoItemViewDelegate", M::kInfoItemStartLoading,
                M::kInfoItemLoadComplete, M::kInfoItemPreview);
    return protocol;
}

const plat::Protocol& shopDetailByAuthorViewDelegate() {
    static const plat::Protocol& protocol =
        declare("ShopDetailByAuthorViewDelegate", M::kByAuthorSeeAll, M::kByAuthorSelectIssue);
    return protocol;
}

const plat::Protocol& previewPopupMainViewDelegate() {
    static const plat::Protocol& protocol =
        declare("PreviewPopupMainViewDelegate", M::kPreviewPopupClose);
    return protocol;
}

}  // namespace detail_protocols
