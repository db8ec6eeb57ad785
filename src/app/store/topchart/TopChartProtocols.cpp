#include "app/store/topchart/TopChartProtocols.h"

#include "app/store/StoreMessages.h"
#include "platform/core/Protocol.h"

namespace topchart_protocols {

const plat::Protocol& topChartMainViewDelegate() {
    static const plat::Protocol& protocol = plat::Protocol::declare(
        "TopChartMainViewDelegate", {},
        {plat::Protocol::describe(StoreListMessages::kTopChartSelect, false)});
    return protocol;
}

const plat::Protocol& topChartListViewDelegate() {
    static const plat::Protocol& protocol = plat::Protocol::declare(
        "TopChartListViewDelegate", {},
        {plat::Protocol::describe(StoreListMessages::kTopChartListSelect, false)});
    return protocol;
}

}  // namespace topchart_protocols
