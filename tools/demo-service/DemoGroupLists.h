#pragma once
// The store's group lists in the demo: what a see-all or a list link opens.
// - "<Id>.Sort" for every list group (a group whose entries are catalogue items, and the list of
//   all items): the list's title, "DefaultSort" "Date" (none for the list of all items) and the
//   options "Default", "Rank", "Date", "Title" and "Price", each "<Id>.<option>" (the list of all
//   items takes its own code as "Default"). "GetWidgetInfo" of an option answers the first 48
//   entries as the sub-groups of one group, "GetSubWidgetInfo" any range of them; entries carry
//   their place in the order as "OrderWidget". Codes of options have no ".Sort" of their own.
// - kAllItemsGroup: every listed item (10,000 and the samples with `--generate 10000`), in
//   catalogue order.
// - The first list group of the book page has a "HeadImageUrl".
// - Hostile lists: "hostile.menu.Sort" whose options are not a list; "hostile.rows.Sort" with
//   options and entries with text Types, without titles, of other kinds, and an option whose code
//   is "../x".
// - addBackIssueMagazine: a weekly magazine of 130 issues (kBackIssueMagazine), two of them on one
//   date, the later one without "ParentCode"; only when asked for, so other counts stay.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "demo-service/DemoService.h"

namespace demo {

class SampleCatalogue;

inline constexpr const char* kAllItemsGroup = "0.all_items";
inline constexpr const char* kBackIssueMagazine = "MG90";
inline constexpr int kBackIssueCount = 130;
// The entries a list's first answer holds.
inline constexpr int kGroupListFirstPage = 48;

// "GetWidgetInfo" of a group list's code; none for codes that are not one.
std::optional<Json> groupListWidget(const SampleCatalogue& catalogue,
                                    const std::map<std::string, Json>& groups,
                                    const std::string& id);
// "GetSubWidgetInfo" of a range of a list's order ("length" 0: all from "start"); none for codes
// that are not one.
std::optional<Json> groupListPage(const SampleCatalogue& catalogue,
                                  const std::map<std::string, Json>& groups, const std::string& id,
                                  int64_t start, int64_t length);
// Gives the first list group of the book page its header picture.
void addGroupListHeads(const SampleCatalogue& catalogue, std::map<std::string, Json>& widgets);
// Adds the magazine of 130 issues (false when it is there already).
bool addBackIssueMagazine(SampleCatalogue& catalogue);

}  // namespace demo
