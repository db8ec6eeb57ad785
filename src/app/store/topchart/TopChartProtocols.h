#pragma once
// The top chart's delegate protocols, each declared once, on first use; every message optional.
//   TopChartMainViewDelegate: "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:" (main
//     view, entry, the category chosen in the entry's column).
//   TopChartListViewDelegate: "topChartListView:selectShopGroupInfo:withHeaderGroupInfo:"
//     (column, entry, category).
namespace plat {
class Protocol;
}

namespace topchart_protocols {

const plat::Protocol& topChartMainViewDelegate();
const plat::Protocol& topChartListViewDelegate();

}  // namespace topchart_protocols
