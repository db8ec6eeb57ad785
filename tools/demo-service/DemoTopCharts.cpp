#include "demo-service/DemoTopCharts.h"

#include <functional>
#include <vector>

namespace demo {

namespace {

constexpr const char* kShopLinks = "varnel.kel://shop";

// A store group record with the fields the store screens read.
Json widget(const std::string& id, const std::string& title, int order, Json subwidgets) {
    return {{"AppCode", "VARNEL"},  {"Id", id},
            {"Title", title},       {"Type", 0},
            {"OrderWidget", order}, {"Subwidgets", std::move(subwidgets)}};
}

// The entry of rank `rank` for an item: issues of a magazine alternate between the issue and
// the magazine's own detail.
Json chartEntry(const std::string& chart, int rank, const SampleItem& item) {
    std::string link = kShopLinks;
    if (item.kind == ItemKind::Book)
        link += "/book/detail?id=" + item.code;
    else if (item.kind == ItemKind::NewspaperIssue)
        link += "/newspaper/issue?id=" + item.code;
    else if (rank % 2 == 0)
        link += "/magazine?id=" + item.titleCode;
    else
        link += "/magazine/issue?id=" + item.code;
    return {{"Id", chart + "." + std::to_string(rank)},
            {"Title", item.title},
            {"Description", item.author.empty() ? item.publisher : item.author},
            {"ImageUrl", "/covers/" + item.code + ".jpg"},
            {"LinkUrl", link},
            {"OrderWidget", rank},
            {"ItemType", item.kind == ItemKind::Book            ? 1
                         : item.kind == ItemKind::MagazineIssue ? 2
                                                                : 3}};
}

// A chart of the items, `length` entries (the items in turn) or one entry an item when 0.
Json chartEntries(const std::string& chart, const std::vector<const SampleItem*>& items,
                  int length) {
    Json entries = Json::array();
    if (items.empty())
        return entries;
    const int count = length > 0 ? length : static_cast<int>(items.size());
    for (int rank = 1; rank <= count; ++rank)
        entries.push_back(
            chartEntry(chart, rank, *items[static_cast<size_t>(rank - 1) % items.size()]));
    return entries;
}

void addChart(TopChartGroups& groups, const std::string& code, Json entries) {
    Json firstPage = Json::array();
    for (size_t i = 0; i < entries.size() && i < static_cast<size_t>(kTopChartFirstPage); ++i)
        firstPage.push_back(entries[i]);
    groups.widgets[code] = widget(code, "ขายดี", 0, std::move(firstPage));
    groups.pagedLists[code] = std::move(entries);
}

std::vector<const SampleItem*> itemsWhere(const SampleCatalogue& catalogue,
                                          const std::function<bool(const SampleItem&)>& keep) {
    std::vector<const SampleItem*> out;
    for (const auto& item : catalogue.items())
        if (!item.withdrawn && keep(item))
            out.push_back(&item);
    return out;
}

}  // namespace

TopChartGroups makeTopChartGroups(const SampleCatalogue& catalogue) {
    TopChartGroups groups;
    struct Section {
        const char* predefinedId;
        const char* title;
        ItemKind kind;
        const char* chart;
        std::vector<SampleCategory> categories;
    };
    // Newspapers are the titles of the news category; magazines are the other magazine
    // categories.
    std::vector<SampleCategory> magazines, newspapers;
    for (const auto& category : catalogue.categories("Magazine"))
        (category.code == "M03" ? newspapers : magazines).push_back(category);
    const Section sections[] = {{"0.categories.books", "Books", ItemKind::Book,
                                 "0.topseller_book_paid", catalogue.categories("Book")},
                                {"0.categories.magazines", "Magazines", ItemKind::MagazineIssue,
                                 "0.topseller_magazine_paid", magazines},
                                {"0.categories.newspapers", "Newspapers", ItemKind::NewspaperIssue,
                                 "0.topseller_newspaper_paid", newspapers}};

    Json sectionRecords = Json::array();
    for (const auto& section : sections) {
        Json categories = Json::array();
        const int count = static_cast<int>(section.categories.size());
        for (int i = 0; i < count; ++i) {
            const auto& category = section.categories[static_cast<size_t>(i)];
            // Listed out of order: the last category first, the second without an order.
            const int order = i == 1 ? 0 : count - i;
            categories.push_back(widget(category.code, category.name, order, Json::array()));
            const auto items = itemsWhere(catalogue, [&](const SampleItem& item) {
                return item.kind == section.kind && catalogue.inCategory(item, category.code);
            });
            addChart(groups, category.code + ".paid",
                     chartEntries(category.code + ".paid", items, 0));
            for (const auto& sub : category.subcategories) {
                const auto subItems = itemsWhere(catalogue, [&](const SampleItem& item) {
                    return item.kind == section.kind && item.categoryCode == sub.code;
                });
                addChart(groups, sub.code + ".paid", chartEntries(sub.code + ".paid", subItems, 0));
            }
        }
        Json record = widget(section.predefinedId, section.title, 0, std::move(categories));
        record["PredefinedId"] = section.predefinedId;
        sectionRecords.push_back(std::move(record));

        Json entries = chartEntries(
            section.chart,
            itemsWhere(catalogue,
                       [&](const SampleItem& item) { return item.kind == section.kind; }),
            kTopChartLength);
        if (section.kind == ItemKind::Book && entries.size() >= 3)
            entries[2]["LinkUrl"] = std::string(kShopLinks) + "/book/list?id=0.feature_all.books";
        addChart(groups, section.chart, std::move(entries));
    }
    groups.widgets["0.categories_top"] =
        widget("0.categories_top", "หมวดหมู่", 0, std::move(sectionRecords));
    return groups;
}

}  // namespace demo
