#include "app/store/search/SearchProtocols.h"

#include "app/store/StoreMessages.h"
#include "platform/core/Protocol.h"

namespace search_protocols {

const plat::Protocol& searchMainViewDelegate() {
    using M = StoreListMessages;
    static const plat::Protocol& protocol =
        plat::Protocol::declare("SearchMainViewDelegate", {},
                                {plat::Protocol::describe(M::kSearchStartLoading, false),
                                 plat::Protocol::describe(M::kSearchLoadComplete, false),
                                 plat::Protocol::describe(M::kSearchSelectMagazine, false),
                                 plat::Protocol::describe(M::kSearchSelectBookIssue, false)});
    return protocol;
}

}  // namespace search_protocols
