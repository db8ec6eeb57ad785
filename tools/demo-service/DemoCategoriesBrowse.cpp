#include "demo-service/DemoCategoriesBrowse.h"

#include <algorithm>
#include <set>
#include <vector>

namespace demo {

namespace {

constexpr const char* kShop = "varnel.kel://shop";
constexpr size_t kFirstPage = 48;

Json browseGroup(const std::string& id, const std::string& title, Json subwidgets, int order) {
    return {{"Id", id},
            {"Title", title},
            {"Type", 0},
            {"OrderWidget", order},
            {"Subwidgets", std::move(subwidgets)}};
}

Json tile(const SampleCategory& category, int order) {
    Json subgroups = Json::array();
    int subOrder = 0;
    for (const auto& sub : category.subcategories)
        subgroups.push_back(tile(sub, ++subOrder));
    Json t = browseGroup(category.code, category.name, std::move(subgroups), order);
    t["Description"] =
        category.type == "Book" ? "หนังสือหมวด " + category.name : "นิตยสารหมวด " + category.name;
    t["ImageUrl"] = "/covers/" + category.code + ".jpg";
    return t;
}

// The catalogue items of a category and of its sub-groups, as lists of their codes.
void addCategoryLists(const SampleCatalogue& catalogue, const SampleCategory& category,
                      std::map<std::string, Json>& lists) {
    Json entries = Json::array();
    for (const auto& item : catalogue.items()) {
        if (!item.withdrawn && catalogue.inCategory(item, category.code))
            entries.push_back({{"Id", item.code}});
    }
    if (!entries.empty())
        lists[category.code] = {
            {"Id", category.code}, {"Title", category.name}, {"Subwidgets", std::move(entries)}};
    for (const auto& sub : category.subcategories)
        addCategoryLists(catalogue, sub, lists);
}

Json menuEntry(const SampleCatalogue& catalogue, const std::string& title, const char* type,
               int order) {
    Json tiles = Json::array();
    int tileOrder = 0;
    for (const auto& category : catalogue.categories(type))
        tiles.push_back(tile(category, ++tileOrder));
    return browseGroup("0.categories." + title, title, std::move(tiles), order);
}

// An item of a name's list, linking to its detail.
Json itemOf(const SampleItem& item, int order) {
    std::string link =
        std::string(kShop) + (item.kind == ItemKind::Book            ? "/book/detail?id="
                              : item.kind == ItemKind::MagazineIssue ? "/magazine/issue?id="
                                                                     : "/newspaper/issue?id=");
    return {{"Id", item.code},
            {"Title", item.title},
            {"Description", item.author.empty() ? item.publisher : item.author},
            {"ImageUrl", "/covers/" + item.code + ".jpg"},
            {"LinkUrl", link + item.code},
            {"OrderWidget", order}};
}

struct Name {
    std::string id;
    Json title;  // a string, or a hostile number
    std::vector<Json> items;
};

// Files a name's list: the first page in reverse of its order, the whole list for paging.
void addList(CategoryBrowseGroups& out, const std::string& code, const Name& name) {
    std::vector<Json> first(
        name.items.begin(),
        name.items.begin() + static_cast<std::ptrdiff_t>(std::min(kFirstPage, name.items.size())));
    std::reverse(first.begin(), first.end());
    Json head = {{"Id", code}, {"Title", name.title}, {"Subwidgets", Json(first)}};
    out.widgets[code] = std::move(head);
    out.pagedLists[code] = Json(name.items);
}

// A browse group of the names with lists "<Id>_all" (or "<Id>" for magazine titles), and the
// names every group carries besides the catalogue's.
void addBrowseGroup(CategoryBrowseGroups& out, const std::string& code, std::vector<Name> names,
                    bool listByOwnCode, const std::vector<Json>& someItems) {
    const std::string prefix = code.substr(code.rfind('.') + 1);
    for (const auto& [suffix, title] :
         std::vector<std::pair<std::string, std::string>>{{"vowel", "เสน่ห์ ตัวอย่าง"},
                                                          {"lower", "lower case house"},
                                                          {"accent", "Émile Éditions"},
                                                          {"digit", "9 Lives Press"},
                                                          {"empty", ""}})
        names.push_back({prefix + "." + suffix, title, someItems});
    Json list = Json::array();
    int order = 0;
    for (const auto& name : names) {
        Json entry = {{"Id", name.id},
                      {"Title", name.title},
                      {"Description", "รายชื่อ"},
                      {"ImageUrl", "/covers/" + prefix + ".jpg"},
                      {"OrderWidget", ++order}};
        list.push_back(std::move(entry));
        if (name.id.find('/') == std::string::npos || name.id == "../x")
            addList(out, listByOwnCode ? name.id : name.id + "_all", name);
    }
    out.widgets[code] = browseGroup(code, code, std::move(list), 0);
}

}  // namespace

CategoryBrowseGroups makeCategoryBrowseGroups(const SampleCatalogue& catalogue) {
    CategoryBrowseGroups out;

    // The menu, listed out of its order.
    Json audios = browseGroup("0.categories.Audios", "Audios",
                              Json::array({browseGroup("A01", "หนังสือเสียง", Json::array(), 1)}), 3);
    out.widgets["0.categories"] =
        browseGroup("0.categories", "หมวดหมู่",
                    Json::array({menuEntry(catalogue, "Magazines", "Magazine", 2), audios,
                                 menuEntry(catalogue, "Books", "Book", 1)}),
                    0);

    for (const char* type : {"Book", "Magazine"}) {
        for (const auto& category : catalogue.categories(type))
            addCategoryLists(catalogue, category, out.categoryLists);
    }

    // Names by author and publisher, from the catalogue.
    std::map<std::string, std::vector<Json>> authors, bookPublishers, magazinePublishers;
    for (const auto& item : catalogue.items()) {
        if (item.withdrawn)
            continue;
        if (item.kind == ItemKind::Book) {
            auto& byAuthor = authors[item.author];
            byAuthor.push_back(itemOf(item, static_cast<int>(byAuthor.size()) + 1));
            auto& byPublisher = bookPublishers[item.publisher];
            byPublisher.push_back(itemOf(item, static_cast<int>(byPublisher.size()) + 1));
        } else if (item.kind == ItemKind::MagazineIssue) {
            auto& byPublisher = magazinePublishers[item.publisher];
            byPublisher.push_back(itemOf(item, static_cast<int>(byPublisher.size()) + 1));
        }
    }
    const auto named = [](const std::map<std::string, std::vector<Json>>& lists,
                          const std::string& prefix) {
        std::vector<Name> names;
        for (const auto& [title, items] : lists) {
            if (!title.empty())
                names.push_back({prefix + std::to_string(names.size() + 1), title, items});
        }
        return names;
    };
    std::vector<Json> someItems;
    for (const auto& [author, items] : authors)
        someItems.insert(someItems.end(), items.begin(), items.end());
    someItems.resize(std::min<size_t>(someItems.size(), 3));

    std::vector<Name> authorNames = named(authors, "author-");
    authorNames.push_back({"../x", "Dot Dot Author", someItems});
    authorNames.push_back({"a/b", "Slash Author", someItems});
    authorNames.push_back({"author-number", 2024, someItems});
    addBrowseGroup(out, "0.browse.author", std::move(authorNames), false, someItems);
    // A name whose list holds no entry list.
    out.widgets["author-broken_all"] =
        Json{{"Id", "author-broken_all"}, {"Title", "Broken"}, {"Subwidgets", "text"}};
    auto& authorList = out.widgets["0.browse.author"]["Subwidgets"];
    authorList.push_back({{"Id", "author-broken"}, {"Title", "Broken Shelf"}, {"OrderWidget", 0}});

    std::vector<Name> publisherNames = named(bookPublishers, "publisher-");
    Name big{"publisher-big", "Big Shelf Press", {}};
    std::vector<const SampleItem*> books;
    for (const auto& item : catalogue.items()) {
        if (item.kind == ItemKind::Book && !item.withdrawn)
            books.push_back(&item);
    }
    for (int i = 1; i <= 120 && !books.empty(); ++i) {
        Json generated = itemOf(*books[static_cast<size_t>(i - 1) % books.size()], i);
        generated["Id"] = "big-" + std::to_string(i);
        generated["Title"] = "Big Shelf " + std::to_string(i);
        big.items.push_back(std::move(generated));
    }
    publisherNames.push_back(std::move(big));
    addBrowseGroup(out, "0.browse.publisher_book", std::move(publisherNames), false, someItems);

    std::vector<Name> titles;
    for (const auto& title : catalogue.titles()) {
        if (title.kind != ItemKind::MagazineIssue)
            continue;
        Name name{title.code, title.name, {}};
        for (auto it = title.issueCodes.rbegin(); it != title.issueCodes.rend(); ++it) {
            if (const SampleItem* issue = catalogue.findItem(*it))
                name.items.push_back(itemOf(*issue, static_cast<int>(name.items.size()) + 1));
        }
        titles.push_back(std::move(name));
    }
    addBrowseGroup(out, "0.browse.magazine", std::move(titles), true, someItems);
    addBrowseGroup(out, "0.browse.publisher_magazine", named(magazinePublishers, "magpub-"), false,
                   someItems);

    out.widgets["0.browse.broken"] =
        Json{{"Id", "0.browse.broken"}, {"Title", "Broken"}, {"Subwidgets", "no list"}};
    return out;
}

}  // namespace demo
