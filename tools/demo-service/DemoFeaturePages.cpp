#include "demo-service/DemoFeaturePages.h"

#include <tuple>
#include <vector>

#include "demo-service/DemoCovers.h"

namespace demo {

namespace {

constexpr const char* kShopLink = "varnel.kel://shop";
constexpr size_t kMaxRowEntries = 20;

struct Banner {
    std::string title;
    std::string link;
};

// A row of the page: the group with that id among the page's rows, made an item row.
Json featureItemRow(const Json& page, const std::string& id, const std::string& seeAllLink = {}) {
    for (const auto& row : page.value("Subwidgets", Json::array())) {
        if (row.value("Id", "") != id)
            continue;
        Json out = row;
        out["Type"] = 3;
        out["OrderWidget"] = 3;
        Json& entries = out["Subwidgets"];
        if (entries.is_array() && entries.size() > kMaxRowEntries)
            entries.erase(entries.begin() + kMaxRowEntries, entries.end());
        if (!seeAllLink.empty())
            out["LinkUrl"] = seeAllLink;
        return out;
    }
    return {};
}

// The link of the first entry of a row (an item's own link).
std::string firstLink(const Json& row) {
    const Json entries = row.value("Subwidgets", Json::array());
    return entries.empty() ? std::string() : entries.front().value("LinkUrl", "");
}

Json featureBannerRow(const std::string& id, const std::string& title, int type, const char* folder,
                      const std::vector<Banner>& banners) {
    Json entries = Json::array();
    int n = 0;
    for (const auto& banner : banners) {
        const std::string bannerId = id + "." + std::to_string(++n);
        entries.push_back(
            {{"Id", bannerId},
             {"Title", banner.title},
             {"Description", ""},
             {"ImageUrl", std::string("/banners/") + folder + "/" + bannerId + ".jpg"},
             {"LinkUrl", banner.link},
             {"ItemType", 0}});
    }
    return {{"AppCode", "VARNEL"},
            {"Id", id},
            {"Title", title},
            {"TitleLC", Json::array({{{"Key", "th"}, {"Value", title}}})},
            {"Type", type},
            {"OrderWidget", type},
            {"Subwidgets", std::move(entries)}};
}

Json featurePage(const Json& old, Json rows) {
    Json out = old;
    Json kept = Json::array();
    for (auto& row : rows) {
        if (!row.is_null())
            kept.push_back(std::move(row));
    }
    out["Subwidgets"] = std::move(kept);
    return out;
}

}  // namespace

void arrangeFeaturePages(std::map<std::string, Json>& w) {
    const std::string shop = kShopLink;
    const Json home = w["0.feature_all"];
    const Json books = featureItemRow(home, "0.feature_all.books");
    const Json magazines = featureItemRow(home, "0.feature_all.magazines");
    const std::vector<Banner> adBanners = {
        {"หนังสือแนะนำ", firstLink(books)},
        {"นิตยสารใหม่", shop + "/magazine/list?id=0.feature_magazine.magazines"},
        {"Reading week", "https://www.example.org/reading-week"}};
    const std::vector<Banner> moreBanners = {
        {"นิตยสารฉบับล่าสุด", firstLink(magazines)},
        {"หนังสือเด่น", shop + "/book/featured?id=0.feature_book"},
        {"ห้องสมุด", shop + "/book/list?id=0.feature_hdbook.books"}};
    const std::vector<Banner> strip = {{"หนังสือทั้งหมด", shop + "/book/list?id=0.feature_book.books"},
                                       {"Library hours", "https://www.example.org/hours"},
                                       {"นิตยสาร", firstLink(magazines)},
                                       {"หนังสือแนะนำ", firstLink(books)}};
    // In the service's order 3, 1, 2, 1.
    w["0.feature_all"] = featurePage(
        home,
        Json::array({books, featureBannerRow("0.feature_all.banner", "แบนเนอร์", 1, "ad", adBanners),
                     featureBannerRow("0.feature_all.strip", "แนะนำ", 2, "strip", strip),
                     featureBannerRow("0.feature_all.banner2", "แบนเนอร์", 1, "ad", moreBanners)}));

    const Json bookPage = w["0.feature_book"];
    w["0.feature_book"] = featurePage(
        bookPage,
        Json::array({featureBannerRow("0.feature_book.banner", "แบนเนอร์", 1, "ad", adBanners),
                     featureItemRow(bookPage, "0.feature_book.books")}));
    const Json magazinePage = w["0.feature_magazine"];
    w["0.feature_magazine"] = featurePage(
        magazinePage,
        Json::array({featureBannerRow("0.feature_magazine.banner", "แบนเนอร์", 1, "ad", moreBanners),
                     featureItemRow(magazinePage, "0.feature_magazine.magazines",
                                    shop + "/magazine/list?id=0.feature_magazine.magazines"),
                     featureBannerRow("0.feature_magazine.strip", "แนะนำ", 2, "strip", strip)}));
    const Json libraryPage = w["0.feature_hdbook"];
    w["0.feature_hdbook"] = featurePage(
        libraryPage, Json::array({featureItemRow(libraryPage, "0.feature_hdbook.books"),
                                  featureItemRow(libraryPage, "0.feature_hdbook.newspapers")}));

    // A page as a careless service might send it: rows that are no groups, a Type as text,
    // entries that are not a list or not records, no titles, a Type nobody knows.
    w["0.feature_hostile"] = {
        {"Id", "0.feature_hostile"},
        {"Type", 0},
        {"Subwidgets",
         Json::array(
             {"row",
              {{"Id", "h.1"}, {"Type", "3"}, {"Subwidgets", "entries"}},
              {{"Id", "h.2"}, {"Type", 3}, {"Subwidgets", Json::array({1, "two", nullptr})}},
              {{"Id", "h.3"}, {"Type", 7}, {"Title", "?"}},
              {{"Id", "h.4"}, {"Type", 1}, {"Subwidgets", Json::array({Json::object()})}},
              {{"Id", "h.5"}, {"Type", 2}}})}};
}

std::optional<std::pair<std::string, std::string>> demoBanner(const std::string& path) {
    for (const auto& [prefix, width, height] :
         {std::tuple{std::string("/banners/ad/"), 760, 250},
          std::tuple{std::string("/banners/strip/"), 230, 90}}) {
        if (path.rfind(prefix, 0) != 0)
            continue;
        const std::string name = path.substr(prefix.size());
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".jpg") != 0 ||
            name.find('/') != std::string::npos)
            return std::nullopt;
        std::string bytes = demoDrawnImage(name.substr(0, name.size() - 4), width, height, false);
        if (bytes.empty())
            return std::nullopt;
        return std::pair{std::move(bytes), std::string("image/jpeg")};
    }
    return std::nullopt;
}

}  // namespace demo
