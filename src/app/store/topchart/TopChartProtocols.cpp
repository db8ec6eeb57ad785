#include "app/store/topchart/TopChartProtocols.h"

#include "platform/core/Protocol.h"

namespace topchart_protocols {

const plat::Protocol& topChartMainViewDelegate() {
    static const plat::Protocol& protocol = plat::Protocol::declare(
        "TopChartMainViewDelegate", {},
        {{"topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:", "v@:@@@", false, true}});
    return protocol;
}

const plat::Protocol& topChartListViewDelegate() {
    static const plat::Protocol& protocol = plat::Protocol::declare(
        "TopChartListViewDelegate", {},
        {{"topChartListView:selectShopGroupInfo:withHeaderGroupInfo:", "v@:@@@", false, true}});
    return protocol;
}

}  // namespace topchart_protocols
