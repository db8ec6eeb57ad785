#pragma once
// The demo store's four feature pages and their banner pictures. The home page's rows come in the
// service's order item row (Type 3), ad banners (Type 1), banner strip (Type 2), ad banners; every
// page holds rows of Types 1 to 3 only, an item row at most 20 entries. The banners carry links of
// every kind the program knows (an item's detail, an issue, a list of a group that exists, a
// featured group) and web links; of the item rows, one has a see-all link and one has none.
//   "/banners/ad/<name>.jpg"     an ad banner, 760 × 250
//   "/banners/strip/<name>.jpg"  a banner of a strip, 230 × 90
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "demo-service/DemoService.h"

namespace demo {

// Replaces the feature pages among the store's groups by id, from the item rows already there.
void arrangeFeaturePages(std::map<std::string, Json>& widgets);

// The picture bytes and content type of a banner path; none for any other path.
std::optional<std::pair<std::string, std::string>> demoBanner(const std::string& path);

}  // namespace demo
