#include "demo-service/DemoGroupLists.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "demo-service/SampleCatalogue.h"
#include "demo-service/V3StoreService.h"

namespace demo {

namespace {

using Items = std::vector<const SampleItem*>;

constexpr const char* kOptions[] = {"Default", "Rank", "Date", "Title", "Price"};
constexpr const char* kSortSuffix = ".Sort";

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A list: its title and its items in the server's own order.
struct List {
    std::string title;
    Items items;
    bool ofAllItems = false;
};

// The list of a group code, when the code names one.
std::optional<List> listNamed(const SampleCatalogue& catalogue,
                              const std::map<std::string, Json>& groups, const std::string& id) {
    if (id == kAllItemsGroup) {
        List list{"ทั้งหมด", {}, true};
        for (const auto& item : catalogue.items())
            if (!item.withdrawn)
                list.items.push_back(&item);
        return list;
    }
    const auto found = groups.find(id);
    if (found == groups.end() || !found->second.contains("Subwidgets") ||
        !found->second["Subwidgets"].is_array())
        return std::nullopt;
    List list{found->second.value("Title", std::string()), {}, false};
    for (const auto& entry : found->second["Subwidgets"]) {
        const auto code = entry.is_object() ? entry.value("Id", std::string()) : std::string();
        const SampleItem* item = catalogue.findItem(code);
        if (item && !item->withdrawn)
            list.items.push_back(item);
    }
    if (list.items.empty())
        return std::nullopt;
    return list;
}

double firstPriceOf(const SampleItem* item) {
    return item->prices.empty() ? 0 : item->prices.front().price;
}

// The list's items in the option's order; the server's order for "Default".
void orderBy(Items& items, const std::string& option) {
    auto by = [&items](auto less) { std::stable_sort(items.begin(), items.end(), less); };
    if (option == "Rank")
        by([](const SampleItem* a, const SampleItem* b) { return a->sortIndex < b->sortIndex; });
    else if (option == "Date")
        by([](const SampleItem* a, const SampleItem* b) { return a->issueDate > b->issueDate; });
    else if (option == "Title")
        by([](const SampleItem* a, const SampleItem* b) { return a->title < b->title; });
    else if (option == "Price")
        by([](const SampleItem* a, const SampleItem* b) {
            return firstPriceOf(a) < firstPriceOf(b);
        });
}

// A list code and an option from "<list>.<option>", or the list of all items itself.
std::optional<std::pair<List, std::string>> orderNamed(const SampleCatalogue& catalogue,
                                                       const std::map<std::string, Json>& groups,
                                                       const std::string& id) {
    if (id == kAllItemsGroup)
        return std::pair{*listNamed(catalogue, groups, id), std::string("Default")};
    for (const char* option : kOptions) {
        const std::string suffix = std::string(".") + option;
        if (!endsWith(id, suffix))
            continue;
        if (auto list = listNamed(catalogue, groups, id.substr(0, id.size() - suffix.size())))
            return std::pair{std::move(*list), std::string(option)};
    }
    return std::nullopt;
}

Json entries(const Items& items, int64_t start, int64_t length) {
    Json out = Json::array();
    start = std::max<int64_t>(start, 0);
    for (int64_t i = start; i < static_cast<int64_t>(items.size()); ++i) {
        if (length > 0 && i - start >= length)
            break;
        Json entry = itemEntry(*items[static_cast<size_t>(i)]);
        entry["OrderWidget"] = i + 1;
        out.push_back(std::move(entry));
    }
    return out;
}

Json sortGroup(const std::string& listId, const List& list) {
    Json options = Json::array();
    for (const char* option : kOptions) {
        const bool self = list.ofAllItems && std::string(option) == "Default";
        options.push_back(
            {{"Id", self ? listId : listId + "." + option}, {"Title", option}, {"Type", 0}});
    }
    Json group = {{"Id", listId + kSortSuffix},
                  {"Title", list.title},
                  {"Type", 0},
                  {"Subwidgets", std::move(options)}};
    if (!list.ofAllItems)
        group["DefaultSort"] = "Date";
    return group;
}

// Lists broken on purpose.
std::optional<Json> hostileWidget(const std::string& id) {
    if (id == "hostile.menu.Sort")
        return Json{{"Id", id}, {"Title", "Broken options"}, {"Subwidgets", "not a list"}};
    if (id == "hostile.rows.Sort")
        return Json{{"Id", id},
                    {"Title", "Broken rows"},
                    {"DefaultSort", 5},
                    {"Subwidgets", Json::array({{{"Id", "../x"}, {"Title", "Rank"}, {"Type", "2"}},
                                                {{"Id", "hostile.rows.untitled"}, {"Type", "text"}},
                                                "an option as text",
                                                7})}};
    if (id == "../x")
        return Json{{"Id", id},
                    {"Title", "Escaping code"},
                    {"Subwidgets", Json::array({{{"Id", "H1"}, {"Type", "3"}, {"OrderWidget", "2"}},
                                                {{"Id", "H2"}, {"Title", "มีชื่อ"}, {"Type", 3}},
                                                "an entry as text",
                                                {{"Title", Json::array({"a"})}, {"LinkUrl", 5}}})}};
    return std::nullopt;
}

}  // namespace

std::optional<Json> groupListWidget(const SampleCatalogue& catalogue,
                                    const std::map<std::string, Json>& groups,
                                    const std::string& id) {
    if (auto hostile = hostileWidget(id))
        return hostile;
    if (endsWith(id, kSortSuffix)) {
        const std::string listId = id.substr(0, id.size() - std::string(kSortSuffix).size());
        if (auto list = listNamed(catalogue, groups, listId))
            return sortGroup(listId, *list);
        return std::nullopt;
    }
    auto order = orderNamed(catalogue, groups, id);
    if (!order)
        return std::nullopt;
    auto& [list, option] = *order;
    orderBy(list.items, option);
    return Json{{"Id", id},
                {"Title", list.title},
                {"Type", 0},
                {"Subwidgets", entries(list.items, 0, kGroupListFirstPage)}};
}

std::optional<Json> groupListPage(const SampleCatalogue& catalogue,
                                  const std::map<std::string, Json>& groups, const std::string& id,
                                  int64_t start, int64_t length) {
    auto order = orderNamed(catalogue, groups, id);
    if (!order)
        return std::nullopt;
    auto& [list, option] = *order;
    orderBy(list.items, option);
    return entries(list.items, start, length);
}

void addGroupListHeads(const SampleCatalogue& catalogue, std::map<std::string, Json>& widgets) {
    const auto page = widgets.find("0.feature_book");
    if (page == widgets.end() || !page->second.contains("Subwidgets"))
        return;
    for (auto& row : page->second["Subwidgets"]) {
        const std::map<std::string, Json> one{{"row", row}};
        if (row.is_object() && listNamed(catalogue, one, "row")) {
            row["HeadImageUrl"] = "/covers/head-" + row.value("Id", std::string("books")) + ".jpg";
            return;
        }
    }
}

bool addBackIssueMagazine(SampleCatalogue& catalogue) {
    if (catalogue.findTitle(kBackIssueMagazine))
        return false;
    SampleTitle title;
    title.code = kBackIssueMagazine;
    title.name = "ข่าวสัปดาห์";
    title.summary = "A weekly news magazine with a long run of back issues.";
    title.categoryCode = "M03";
    title.price = 35;
    title.sortIndex = static_cast<int>(catalogue.titles().size());
    const int firstIndex = static_cast<int>(catalogue.items().size());
    // Weekly from Monday 4 January 2021; issues 65 and 66 share a date.
    const int64_t firstDay = 18631;  // days since 1970
    for (int n = 1; n <= kBackIssueCount; ++n) {
        const int week = n <= 65 ? n - 1 : n - 2;
        const std::time_t when = static_cast<std::time_t>((firstDay + 7 * week) * 86400);
        std::tm tm{};
        gmtime_r(&when, &tm);
        char date[16];
        std::strftime(date, sizeof date, "%Y/%m/%d", &tm);
        char code[16];
        std::snprintf(code, sizeof code, "%s-%03d", kBackIssueMagazine, n);
        SampleItem item;
        item.code = code;
        item.kind = ItemKind::MagazineIssue;
        item.titleCode = kBackIssueMagazine;
        item.title = title.name + " ฉบับที่ " + std::to_string(n);
        item.publisher = "สำนักข่าวตัวอย่าง";
        item.categoryCode = title.categoryCode;
        item.language = "th";
        item.issueDate = date;
        item.pageCount = 48;
        item.fileSize = 48 * 64 * 1024;
        item.prices = {{"THB", 0, "FREE", item.code + "-FREE"}};
        item.sortIndex = firstIndex + n;
        item.withoutParentCode = n == 66;
        title.issueCodes.push_back(item.code);
        catalogue.addItem(std::move(item));
    }
    return catalogue.addTitle(std::move(title));
}

}  // namespace demo
