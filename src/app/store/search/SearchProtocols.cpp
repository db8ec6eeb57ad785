#include "app/store/search/SearchProtocols.h"

#include "platform/core/Protocol.h"

namespace search_protocols {

const plat::Protocol& searchMainViewDelegate() {
    static const plat::Protocol& protocol =
        plat::Protocol::declare("SearchMainViewDelegate", {},
                                {{"searchMainViewStartLoading", "v@:", false, true},
                                 {"searchMainViewLoadComplete", "v@:", false, true},
                                 {"searchMainView:selectMagazineInfo:", "v@:@@", false, true},
                                 {"searchMainView:selectBookIssueInfo:", "v@:@@", false, true}});
    return protocol;
}

}  // namespace search_protocols
