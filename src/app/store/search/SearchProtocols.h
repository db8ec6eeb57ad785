#pragma once
// The search page's delegate protocol, declared once, on first use; every message optional.
//   SearchMainViewDelegate: "searchMainViewStartLoading", "searchMainViewLoadComplete",
//     "searchMainView:selectMagazineInfo:" (main view, magazine record),
//     "searchMainView:selectBookIssueInfo:" (main view, book or issue record).
namespace plat {
class Protocol;
}

namespace search_protocols {

const plat::Protocol& searchMainViewDelegate();

}  // namespace search_protocols
