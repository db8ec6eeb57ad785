#include "demo-service/V3StoreService.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "demo-service/DemoCategoriesBrowse.h"
#include "demo-service/DemoCovers.h"
#include "demo-service/DemoFeaturePages.h"
#include "demo-service/DemoGroupLists.h"
#include "demo-service/DemoListing.h"
#include "demo-service/DemoStoreItems.h"
#include "demo-service/DemoTopCharts.h"
#include "demo-service/JsonNumber.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

namespace {

constexpr const char* kGuestToken = "guest";
constexpr const char* kLinkScheme = "varnel.kel://shop";

// ---- Records ------------------------------------------------------------------------------------

std::string coverUrl(const std::string& code) {
    return "/covers/" + code + ".jpg";
}

std::string priceText(double price) {
    return price == 0 ? std::string("ฟรี") : std::to_string(static_cast<int>(price)) + " บาท";
}

Json priceRecords(const std::vector<SamplePrice>& prices) {
    Json out = Json::array();
    for (const auto& p : prices) {
        out.push_back({{"Currency", p.currency},
                       {"Price", p.price},
                       {"PriceText", priceText(p.price)},
                       {"Method", p.method},
                       {"PurchaseCode", p.purchaseCode},
                       {"InAppID", "th.varnel." + p.purchaseCode},
                       {"IsTest", false}});
    }
    return out;
}

double firstPrice(const SampleItem& item) {
    return item.prices.empty() ? 0 : item.prices.front().price;
}

std::string categoryName(const SampleCatalogue& catalogue, const std::string& code) {
    for (const char* type : {"Book", "Magazine"}) {
        for (const auto& c : catalogue.categories(type)) {
            if (c.code == code)
                return c.name;
            for (const auto& sub : c.subcategories) {
                if (sub.code == code)
                    return sub.name;
            }
        }
    }
    return {};
}

Json listingRecord(const SampleCatalogue& catalogue, const SampleItem& item) {
    const auto title = item.titleCode.empty() ? std::nullopt : catalogue.findTitle(item.titleCode);
    const std::string category = categoryName(catalogue, item.categoryCode);
    return {{"Code", item.code},
            {"Hash", item.hash()},
            {"MagazineName", title ? title->name : item.title},
            {"IssueName", item.title},
            {"HeadCode", item.headCode()},
            {"PageCount", item.pageCount},
            {"Prices", priceRecords(item.prices)},
            {"IssueDate", item.issueDate},
            {"CoverUrl", coverUrl(item.code)},
            {"IsPurchased", false},
            {"Type", itemKindName(item.kind)},
            {"ItemCode", item.code},
            {"IsFreeContent", item.isFree()},
            {"Author", item.author},
            {"Publisher", item.publisher},
            {"Category", category},
            {"PrimaryCategoryName", category},
            {"ISBN", item.isbn},
            {"FileSize", item.fileSize},
            {"Language", item.language},
            {"VarnelSaleDate", item.issueDate},
            {"Summary", item.summary},
            {"Available", catalogue.availableCopies(item.code)},
            {"ReserverCount", catalogue.reserverCount(item.code)},
            {"SortIndex", item.sortIndex},
            {"SupportedMediaFormats", item.mediaFormats()}};
}

Json itemRecord(const SampleCatalogue& catalogue, const SampleItem& item) {
    Json record = listingRecord(catalogue, item);
    addStoreItemFields(record, catalogue, item);
    return record;
}

Json titleRecord(const SampleCatalogue& catalogue, const SampleTitle& t) {
    Json record = {{"Code", t.code},
                   {"Name", t.name},
                   {"Summary", t.summary},
                   {"Description", t.summary},
                   {"CoverUrl", coverUrl(t.code)},
                   {"RealPriceCurrency", "THB"},
                   {"RealPrice", t.price},
                   {"Hash", t.hash()},
                   {"SortIndex", t.sortIndex}};
    if (!t.issueCodes.empty()) {
        if (const SampleItem* latest = catalogue.findItem(t.issueCodes.back()))
            record["LatestIssue"] = itemRecord(catalogue, *latest);
    }
    return record;
}

// ---- Store-front groups ------------------------------------------------------------------------

Json entry(const std::string& id, const std::string& title, const std::string& description,
           const std::string& link, int itemType, const std::string& image) {
    return {{"Id", id},          {"Title", title},  {"Description", description},
            {"ImageUrl", image}, {"LinkUrl", link}, {"ItemType", itemType}};
}

}  // namespace

Json itemEntry(const SampleItem& item) {
    std::string link = kLinkScheme;
    int itemType = 1;
    if (item.kind == ItemKind::Book) {
        link += "/book/detail?id=";
    } else if (item.kind == ItemKind::MagazineIssue) {
        link += "/magazine/issue?id=";
        itemType = 2;
    } else {
        link += "/newspaper/issue?id=";
        itemType = 3;
    }
    Json e = entry(item.code, item.title, item.author.empty() ? item.publisher : item.author,
                   link + item.code, itemType, coverUrl(item.code));
    e["Price"] = priceText(firstPrice(item));
    return e;
}

namespace {

Json titleEntry(const SampleTitle& t) {
    return entry(t.code, t.name, t.summary, std::string(kLinkScheme) + "/magazine?id=" + t.code,
                 t.kind == ItemKind::NewspaperIssue ? 3 : 2, coverUrl(t.code));
}

Json group(const std::string& id, const std::string& title, int type, Json subwidgets,
           int order = 0) {
    return {{"AppCode", "VARNEL"},
            {"Id", id},
            {"Title", title},
            {"TitleLC", Json::array({{{"Key", "th"}, {"Value", title}}})},
            {"Type", type},
            {"OrderWidget", order},
            {"Subwidgets", std::move(subwidgets)}};
}

Json bannerRow(const std::string& id) {
    Json banners = Json::array();
    banners.push_back(entry(id + ".1", "หนังสือใหม่ประจำเดือน", "New this month",
                            std::string(kLinkScheme) + "/book/list?id=new", 0, "/banners/1.jpg"));
    banners.push_back(entry(id + ".2", "Reading week", "อ่านฟรีทั้งสัปดาห์",
                            "https://www.example.org/reading-week", 0, "/banners/2.jpg"));
    return group(id, "แบนเนอร์", 1, std::move(banners), 1);
}

// A row of the items of one kind (the library's only when asked), newest issues only.
Json itemRow(const SampleCatalogue& catalogue, const std::string& id, const std::string& title,
             ItemKind kind, bool libraryOnly, int type) {
    Json list = Json::array();
    if (kind == ItemKind::Book) {
        for (const auto& item : catalogue.items()) {
            if (item.withdrawn)
                continue;
            if (item.kind == kind && (!libraryOnly || item.libraryCopies > 0))
                list.push_back(itemEntry(item));
        }
    } else {
        for (const auto& t : catalogue.titles()) {
            if (t.kind != kind || t.issueCodes.empty())
                continue;
            const SampleItem* latest = catalogue.findItem(t.issueCodes.back());
            if (latest && (!libraryOnly || latest->libraryCopies > 0))
                list.push_back(itemEntry(*latest));
        }
    }
    return group(id, title, type, std::move(list), type);
}

// The groups answered by "GetWidgetInfo", by id.
std::map<std::string, Json> makeWidgets(const SampleCatalogue& c) {
    std::map<std::string, Json> w;
    w["0.feature_all"] = group(
        "0.feature_all", "หน้าแรก", 0,
        {bannerRow("0.feature_all.banner"),
         itemRow(c, "0.feature_all.books", "หนังสือแนะนำ", ItemKind::Book, false, 2),
         itemRow(c, "0.feature_all.magazines", "นิตยสารล่าสุด", ItemKind::MagazineIssue, false, 3)});
    w["0.feature_book"] =
        group("0.feature_book", "หนังสือ", 0,
              {bannerRow("0.feature_book.banner"),
               itemRow(c, "0.feature_book.books", "หนังสือใหม่", ItemKind::Book, false, 2)});
    w["0.feature_magazine"] = group("0.feature_magazine", "นิตยสาร", 0,
                                    {bannerRow("0.feature_magazine.banner"),
                                     itemRow(c, "0.feature_magazine.magazines", "นิตยสารใหม่",
                                             ItemKind::MagazineIssue, false, 3)});
    w["0.feature_hdbook"] =
        group("0.feature_hdbook", "ห้องสมุด", 0,
              {itemRow(c, "0.feature_hdbook.books", "หนังสือให้ยืม", ItemKind::Book, true, 2),
               itemRow(c, "0.feature_hdbook.newspapers", "หนังสือพิมพ์", ItemKind::NewspaperIssue,
                       false, 3)});

    // A group with no entries at all.
    w["0.feature_empty"] = Json::array();
    addGroupListHeads(c, w);
    arrangeFeaturePages(w);
    return w;
}

// Every group and row by id, rows included, for "GetSubWidgetInfo".
void indexGroups(const Json& g, std::map<std::string, Json>& index) {
    if (g.contains("Id") && g["Id"].is_string())
        index.emplace(g["Id"].get<std::string>(), g);
    if (g.contains("Subwidgets")) {
        for (const auto& sub : g["Subwidgets"])
            indexGroups(sub, index);
    }
}

// ---- Reading request bodies --------------------------------------------------------------------

std::optional<std::string> textOf(const Json& body, const char* key) {
    if (body.is_object() && body.contains(key) && body[key].is_string())
        return body[key].get<std::string>();
    return std::nullopt;
}

int64_t numberOf(const Json& body, const char* key, int64_t fallback) {
    if (body.is_object() && body.contains(key)) {
        const Json& v = body[key];
        if (v.is_number())
            return clampedInteger(v).value_or(fallback);
        if (v.is_string()) {
            try {
                return std::stoll(v.get<std::string>());
            } catch (const std::exception&) {
                return fallback;
            }
        }
    }
    return fallback;
}

std::string required(const Json& body, const char* key) {
    auto text = textOf(body, key);
    if (!text || text->empty())
        throw std::runtime_error(std::string("Missing parameter: ") + key);
    return *text;
}

// A page of a list: "length" 0 (or less) means all from "start".
Json page(const Json& list, int64_t start, int64_t length) {
    Json out = Json::array();
    if (start < 0)
        start = 0;
    for (int64_t i = start; i < static_cast<int64_t>(list.size()); ++i) {
        if (length > 0 && i - start >= length)
            break;
        out.push_back(list[static_cast<size_t>(i)]);
    }
    return out;
}

bool containsText(const std::string& haystack, const std::string& needle) {
    if (needle.empty())
        return true;
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
            return static_cast<char>(c < 0x80 ? std::tolower(c) : c);
        });
        return s;
    };
    return lower(haystack).find(lower(needle)) != std::string::npos;
}

// ---- The service's state -----------------------------------------------------------------------

struct Caller {
    std::string token;
    std::optional<std::string> user;  // none for the guest
    bool isGuest() const { return !user; }
};

struct Member {
    std::map<std::string, int> ratings;  // item id -> rate
};

struct Store {
    DemoService& service;
    const SampleCatalogue& catalogue;
    std::string appCode;
    std::string extraGuestToken;  // the configuration's authorization token, when given
    std::map<std::string, Json> widgets;
    std::map<std::string, Json> groupIndex;
    std::map<std::string, Json> pagedLists;  // whole lists that "GetSubWidgetInfo" pages
    std::mutex mutex;                        // guards what follows
    std::map<std::string, Member> members;
    std::map<std::string, std::vector<Json>> reviews;   // item id -> reviews, oldest first
    std::map<std::string, std::vector<Json>> messages;  // item id -> item messages

    Store(DemoService& s, const SampleCatalogue& c, std::string code)
        : service(s), catalogue(c), appCode(std::move(code)), widgets(makeWidgets(c)) {
        auto categories = makeCategoryBrowseGroups(c);
        widgets.merge(categories.widgets);
        pagedLists.merge(categories.pagedLists);
        groupIndex = std::move(categories.categoryLists);
        auto charts = makeTopChartGroups(c);
        widgets.merge(charts.widgets);
        pagedLists.merge(charts.pagedLists);
        for (const auto& [id, g] : widgets)
            indexGroups(g, groupIndex);
        reviews["bookcode_BK0001"] = {
            review("somchai@example.com", "สมชาย", "คลาสสิก", "อ่านกี่ครั้งก็ยังซึ้ง", 5, "2024/02/14", true),
            review("nok@example.com", "Nok", "Beautiful", "A slow, sad and lovely book.", 4,
                   "2024/03/01", false)};
        reviews["bookcode_MG01-2403"] = {review("ploy@example.com", "พลอย", "อ่านแล้วสุขภาพดี",
                                                "เมนูอาหารทำตามได้จริง", 4, "2024/03/05", true)};
        reviews["magazinecode_MG02"] = {review("nok@example.com", "Nok", "Good reviews",
                                               "Honest gadget reviews.", 3, "2024/01/20", false)};
        messages["bookcode_BK0001"] = {itemMessage("bookcode_BK0001", "somchai@example.com",
                                                   "ถามเรื่องฉบับพิมพ์", "มีฉบับปกแข็งไหมครับ",
                                                   "2024/02/15")};
    }

    static Json review(const std::string& user, const std::string& reviewer,
                       const std::string& subject, const std::string& text, int rating,
                       const std::string& date, bool verified) {
        return {{"UserId", user},
                {"Subject", subject},
                {"Reviewer", reviewer},
                {"ReviewText", text},
                {"Rating", rating},
                {"ReviewDate", date},
                {"VerifiedPurchased", verified}};
    }

    static Json itemMessage(const std::string& itemId, const std::string& user,
                            const std::string& subject, const std::string& text,
                            const std::string& date) {
        return {{"ItemName", itemId},  {"Messager", user}, {"Subject", subject},
                {"MessageText", text}, {"UserId", 0},      {"UserType", 1},
                {"CreateDate", date}};
    }

    // Checks the token headers of the request (and "tokenContext" when the call carries one)
    // and answers who is calling.
    Caller authorize(const RecordedRequest& request, const Json& body, bool withContext) const {
        if (request.header("TokenVersion") != "2")
            throw HttpError(401, "Unauthorized: unsupported token version");
        // A client that holds no token yet (a member restored at start, before the session is)
        // sends none, or an empty one: it is a guest.
        const std::string authorization = request.header("Authorization");
        const std::string prefix = "Token token=\"";
        if (request.hasHeader("Authorization") &&
            (authorization.size() < prefix.size() + 1 ||
             authorization.compare(0, prefix.size(), prefix) != 0 || authorization.back() != '"'))
            throw HttpError(401, "Unauthorized: no token");
        Caller caller;
        if (!authorization.empty())
            caller.token =
                authorization.substr(prefix.size(), authorization.size() - prefix.size() - 1);
        const std::string sentAppCode = request.header("Varnel-AppCode");
        if (sentAppCode.empty() || (!appCode.empty() && sentAppCode != appCode))
            throw HttpError(401, "Unauthorized: unknown application");

        if (withContext) {
            const Json context =
                body.is_object() && body.contains("tokenContext") ? body["tokenContext"] : Json();
            if (!context.is_object() || textOf(context, "TokenVersion") != "2" ||
                textOf(context, "TokenKey").value_or("") != caller.token ||
                textOf(context, "AppCode") != sentAppCode ||
                !(context.contains("IsTestUser") &&
                  (context["IsTestUser"].is_boolean() || context["IsTestUser"].is_number())))
                throw HttpError(401, "Unauthorized: token context does not match");
        }

        if (!caller.token.empty() && caller.token != kGuestToken &&
            caller.token != extraGuestToken) {
            caller.user = catalogue.userForSessionToken(caller.token);
            if (!caller.user)
                throw HttpError(401, "Unauthorized: unknown session token");
        }
        return caller;
    }

    static void requireMember(const Caller& caller) {
        if (caller.isGuest())
            throw std::runtime_error("Sign-in required");
    }
    // The entries of an item; with the mutex held.
    static const std::vector<Json>& entriesOf(const std::map<std::string, std::vector<Json>>& map,
                                              const std::string& itemId) {
        static const std::vector<Json> none;
        auto it = map.find(itemId);
        return it == map.end() ? none : it->second;
    }
};

using Handler = std::function<Json(Store& store, const Caller& caller, const Json& body)>;

// Image links are answered as absolute URLs of this service, which serves the covers.
void absolutizeImageUrls(Json& json, const std::string& base) {
    if (json.is_array()) {
        for (auto& element : json)
            absolutizeImageUrls(element, base);
    } else if (json.is_object()) {
        for (auto& [key, value] : json.items()) {
            if ((key == "CoverUrl" || key == "ImageUrl" || key == "HeadImageUrl") &&
                value.is_string() && value.get<std::string>().rfind("/", 0) == 0)
                value = base + value.get<std::string>();
            else
                absolutizeImageUrls(value, base);
        }
    }
}

void add(const std::shared_ptr<Store>& store, const std::string& method, bool withContext,
         Handler handler) {
    store->service.addMethodWithRequest(
        method,
        [store, withContext, handler](const Json& body, Session&, const RecordedRequest& request) {
            const Caller caller = store->authorize(request, body, withContext);
            Json answer = handler(*store, caller, body);
            absolutizeImageUrls(answer, store->service.baseUrl());
            return answer;
        });
}

// ---- Answers -----------------------------------------------------------------------------------

Json metaList(std::vector<const SampleItem*> items, int64_t start, int64_t length,
              bool newestFirst = false) {
    Json all = Json::array();
    for (auto& reference : referenceList(std::move(items), newestFirst))
        all.push_back(std::move(reference));
    return page(all, start, length);
}

bool bookMatches(const SampleCatalogue& catalogue, const SampleItem& b,
                 const std::optional<std::string>& category,
                 const std::optional<std::string>& keyword) {
    if (b.kind != ItemKind::Book)
        return false;
    if (category && *category == "_Libraries" && b.libraryCopies == 0)
        return false;
    if (category && !category->empty() && *category != "_All" && *category != "_Libraries" &&
        !catalogue.inCategory(b, *category))
        return false;
    if (!keyword || keyword->empty())
        return true;
    const std::string authorPrefix = "author:";
    if (keyword->rfind(authorPrefix, 0) == 0)
        return b.author == keyword->substr(authorPrefix.size());
    return containsText(b.title, *keyword) || containsText(b.author, *keyword);
}

void sortItems(std::vector<const SampleItem*>& list, const std::string& sortId) {
    if (sortId == "Title") {
        std::stable_sort(list.begin(), list.end(),
                         [](auto a, auto b) { return a->title < b->title; });
    } else if (sortId == "Price") {
        std::stable_sort(list.begin(), list.end(),
                         [](auto a, auto b) { return firstPrice(*a) < firstPrice(*b); });
    } else if (sortId == "Date") {
        std::stable_sort(list.begin(), list.end(),
                         [](auto a, auto b) { return a->issueDate > b->issueDate; });
    }
}

Json ratingOf(Store& store, const std::string& itemId) {
    std::lock_guard lock(store.mutex);
    int rates[5] = {0, 0, 0, 0, 0};
    double sum = 0;
    const auto& list = Store::entriesOf(store.reviews, itemId);
    for (const auto& r : list) {
        const int rating = static_cast<int>(std::clamp<int64_t>(numberOf(r, "Rating", 0), 0, 5));
        if (rating >= 1)
            ++rates[rating - 1];
        sum += rating;
    }
    return {{"Code", itemId},
            {"ItemId", itemId},
            {"Rate1", rates[0]},
            {"Rate2", rates[1]},
            {"Rate3", rates[2]},
            {"Rate4", rates[3]},
            {"Rate5", rates[4]},
            {"OverallRating", list.empty() ? 0.0 : sum / static_cast<double>(list.size())},
            {"NumberOfReview", list.size()}};
}

std::string today() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y/%m/%d", &tm);
    return text;
}

Json promotion(int i, const char* title, const char* detail) {
    const std::string n = std::to_string(i);
    return {{"PromotionId", "P" + n},
            {"Subject", title},
            {"Title", title},
            {"SubTitle", detail},
            {"Detail", detail},
            {"ImageUrl", "/promotions/" + n + ".jpg"},
            {"ImageWidth", 800},
            {"ImageHeight", 300},
            {"LinkUrl", std::string(kLinkScheme) + "/book/list?id=promo" + n},
            {"CreateDate", "2024/03/0" + n + " 09:00:00"},
            {"ExpiredDate", "2030/12/31 23:59:59"},
            {"AppCode", "VARNEL"},
            {"OrderId", n}};
}

Json message(const std::string& id, const std::string& title, const std::string& detail, int type) {
    return {{"MessageId", id},
            {"Subject", title},
            {"Title", title},
            {"Detail", detail},
            {"CreatDate", "2024/03/01 10:00:00"},
            {"ExpiredDate", "2030/12/31 23:59:59"},
            {"Type", type},
            {"DisplayType", type},
            {"AppCode", "VARNEL"},
            {"OrderId", id}};
}

void registerStoreFront(const std::shared_ptr<Store>& store) {
    add(store, "GetWidgetInfo", true, [](Store& s, const Caller&, const Json& body) {
        const std::string id = required(body, "id");
        auto it = s.widgets.find(id);
        if (it != s.widgets.end())
            return it->second;
        return groupListWidget(s.catalogue, s.groupIndex, id).value_or(Json());
    });
    add(store, "GetSubWidgetInfo", true, [](Store& s, const Caller&, const Json& body) {
        const std::string id = textOf(body, "id").value_or("");
        if (auto paged = s.pagedLists.find(id); paged != s.pagedLists.end())
            return page(paged->second, numberOf(body, "start", 0), numberOf(body, "length", 0));
        auto it = s.groupIndex.find(id);
        if (it == s.groupIndex.end())
            return groupListPage(s.catalogue, s.groupIndex, id, numberOf(body, "start", 0),
                                 numberOf(body, "length", 0))
                .value_or(Json::array());
        const Json subwidgets = it->second.value("Subwidgets", Json::array());
        return page(subwidgets, numberOf(body, "start", 0), numberOf(body, "length", 0));
    });
    add(store, "GetPromotionInfo", true, [](Store&, const Caller&, const Json& body) {
        Json all = Json::array({promotion(1, "ลดราคา 50%", "หนังสือขายดีลดครึ่งราคา"),
                                promotion(2, "New magazines", "Two new titles this month"),
                                promotion(3, "ห้องสมุดออนไลน์", "ยืมหนังสือฟรีสำหรับสมาชิก")});
        if (textOf(body, "sortId") == "Date")
            std::reverse(all.begin(), all.end());
        return page(all, numberOf(body, "start", 0), numberOf(body, "length", 0));
    });
    add(store, "GetMessageInfo", true, [](Store&, const Caller& caller, const Json& body) {
        Json all = Json::array(
            {message("N1", "ปิดปรับปรุงระบบ", "ระบบจะปิดปรับปรุงคืนวันอาทิตย์ 01:00-03:00 น.", 0)});
        if (!caller.isGuest()) {
            all.push_back(message("U1", "Welcome, " + *caller.user,
                                  "Your lending library membership is active.", 1));
        }
        return page(all, numberOf(body, "start", 0), numberOf(body, "length", 0));
    });
    add(store, "GetCountMessageWaitforRead", true,
        [](Store&, const Caller& caller, const Json&) { return Json(caller.isGuest() ? 0 : 2); });
    add(store, "GetCountNotificationWaitforRead", true,
        [](Store&, const Caller& caller, const Json&) { return Json(caller.isGuest() ? 0 : 1); });
}

void registerCatalogue(const std::shared_ptr<Store>& store) {
    add(store, "GetMetaBookInfos", true, [](Store& s, const Caller&, const Json& body) {
        const auto category = textOf(body, "categoryCode");
        const auto keyword = textOf(body, "keyword");
        std::vector<const SampleItem*> found;
        for (const auto& item : s.catalogue.items()) {
            if (item.withdrawn)
                continue;
            if (bookMatches(s.catalogue, item, category, keyword))
                found.push_back(&item);
        }
        return metaList(found, numberOf(body, "start", 0), numberOf(body, "length", 0));
    });
    add(store, "GetMetaMagazineIssueInfos", true, [](Store& s, const Caller&, const Json& body) {
        const int64_t type = numberOf(body, "magazineType", -1);
        const auto titleCode = textOf(body, "magazineCode");
        std::vector<const SampleItem*> found;
        for (const auto& item : s.catalogue.items()) {
            if (item.withdrawn)
                continue;
            if (item.kind == ItemKind::Book)
                continue;
            if (titleCode && !titleCode->empty() && item.titleCode != *titleCode)
                continue;
            if (type == 1 && item.libraryCopies == 0)
                continue;
            found.push_back(&item);
        }
        return metaList(found, numberOf(body, "start", 0), numberOf(body, "length", 0), true);
    });
    add(store, "GetMetaMagazineInfos", true, [](Store& s, const Caller&, const Json& body) {
        const auto category = textOf(body, "categoryCode");
        std::optional<std::string> keyword;
        int64_t start = 0;
        int64_t length = 0;
        const Json optional = body.value("optionalParams", Json());
        if (optional.is_object()) {
            start = numberOf(optional, "start", 0);
            length = numberOf(optional, "length", 0);
        } else if (optional.is_array()) {
            Json flat = Json::object();
            for (const auto& item : optional) {
                if (item.is_object() && item.contains("Key") && item["Key"].is_string())
                    flat[item["Key"].get<std::string>()] = item.value("Value", Json());
            }
            keyword = textOf(flat, "keyword");
            start = numberOf(flat, "start", 0);
            length = numberOf(flat, "length", 0);
        }
        Json all = Json::array();
        for (const auto& t : s.catalogue.titles()) {
            if (category && !category->empty() && t.categoryCode != *category)
                continue;
            if (keyword && !containsText(t.name, *keyword) && !containsText(t.summary, *keyword))
                continue;
            all.push_back(titleRecord(s.catalogue, t));
        }
        return page(all, start, length);
    });
    add(store, "GetBookDetails", true, [](Store& s, const Caller&, const Json& body) {
        const SampleItem* item = s.catalogue.findItem(textOf(body, "bookCode").value_or(""));
        return item ? itemRecord(s.catalogue, *item) : Json();
    });
    auto itemsByCode = [](const char* key) {
        return [key](Store& s, const Caller&, const Json& body) {
            Json out = Json::array();
            for (const auto& code : body.value(key, Json::array())) {
                const SampleItem* item =
                    code.is_string() ? s.catalogue.findItem(code.get<std::string>()) : nullptr;
                if (item)
                    out.push_back(itemRecord(s.catalogue, *item));
            }
            return out;
        };
    };
    add(store, "GetBookInfos", true, itemsByCode("bookCodes"));
    add(store, "GetMagazineIssueInfos", true, itemsByCode("magazineIssueCodes"));
    add(store, "GetMagazineInfosEx", true, [](Store& s, const Caller&, const Json& body) {
        Json out = Json::array();
        for (const auto& code : body.value("magazineCodes", Json::array())) {
            const auto t =
                code.is_string() ? s.catalogue.findTitle(code.get<std::string>()) : std::nullopt;
            if (t)
                out.push_back(titleRecord(s.catalogue, *t));
        }
        return out;
    });
    add(store, "GetMagazineInfos", true, [](Store& s, const Caller&, const Json& body) {
        const auto category = textOf(body, "categoryCode");
        const auto keyword = textOf(body, "keyword");
        Json out = Json::array();
        for (const auto& t : s.catalogue.titles()) {
            if (category && !category->empty() && t.categoryCode != *category)
                continue;
            if (keyword && !containsText(t.name, *keyword))
                continue;
            out.push_back(titleRecord(s.catalogue, t));
        }
        return out;
    });
    add(store, "GetSubscriptionOptions", true, [](Store& s, const Caller&, const Json& body) {
        const auto t = s.catalogue.findTitle(textOf(body, "magazineCode").value_or(""));
        Json out = Json::array();
        if (!t)
            return out;
        for (int months : {3, 12}) {
            const std::string code = t->code + "-SUB" + std::to_string(months);
            out.push_back(
                {{"Code", code},
                 {"Prices", priceRecords({{"THB", t->price * months * 0.9, "INAPP", code}})},
                 {"description", "สมัครสมาชิก " + std::to_string(months) + " เดือน"},
                 {"IssueAmount", months},
                 {"AutoRenewalPeriod", months},
                 {"InappProductID", "th.varnel." + code},
                 {"PromoIssueAmount", months == 12 ? 1 : 0},
                 {"PromotionString", months == 12 ? "แถมฟรี 1 ฉบับ" : ""}});
        }
        return out;
    });
    add(store, "GetBookRelate", true, [](Store& s, const Caller&, const Json& body) {
        const std::string code = required(body, "bookCode");
        const SampleItem* book = s.catalogue.findItem(code);
        Json list = Json::array();
        for (const auto& item : s.catalogue.items()) {
            if (item.withdrawn)
                continue;
            if (book && item.kind == ItemKind::Book && item.code != code &&
                item.categoryCode == book->categoryCode)
                list.push_back(itemEntry(item));
        }
        return group(code + ".relate", "หนังสือที่เกี่ยวข้อง", 2,
                     page(list, numberOf(body, "start", 0), numberOf(body, "length", 0)));
    });
    add(store, "SearchBookInfo", true, [](Store& s, const Caller&, const Json& body) {
        const std::string keyword = required(body, "keyword");
        std::vector<const SampleItem*> found;
        for (const auto& item : s.catalogue.items()) {
            if (item.withdrawn)
                continue;
            if (bookMatches(s.catalogue, item, std::nullopt, keyword))
                found.push_back(&item);
        }
        sortItems(found, textOf(body, "sortId").value_or(""));
        Json list = Json::array();
        for (const SampleItem* item : found)
            list.push_back(itemEntry(*item));
        Json result = group("search.book", keyword, 2,
                            page(list, numberOf(body, "start", 0), numberOf(body, "length", 0)));
        result["DefaultSort"] = "Default";
        return result;
    });
    add(store, "SearchMagazineInfo", true, [](Store& s, const Caller&, const Json& body) {
        const std::string keyword = required(body, "keyword");
        Json list = Json::array();
        for (const auto& t : s.catalogue.titles()) {
            if (containsText(t.name, keyword) || containsText(t.summary, keyword))
                list.push_back(titleEntry(t));
        }
        Json result = group("search.magazine", keyword, 3,
                            page(list, numberOf(body, "start", 0), numberOf(body, "length", 0)));
        result["DefaultSort"] = "Default";
        return result;
    });
}

void registerReviews(const std::shared_ptr<Store>& store) {
    add(store, "GetItemReview", false, [](Store& s, const Caller&, const Json& body) {
        const std::string itemId = required(body, "itemId");
        const int64_t start = numberOf(body, "start", 0);
        const int64_t length = numberOf(body, "length", 0);
        std::lock_guard lock(s.mutex);
        const auto& list = Store::entriesOf(s.reviews, itemId);
        Json newestFirst = Json::array();
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            newestFirst.push_back(*it);
        return Json{{"Code", itemId},
                    {"Start", start},
                    {"Length", length},
                    {"TotalReviewAvailable", list.size()},
                    {"Reviews", page(newestFirst, start, length)}};
    });
    add(store, "GetItemRating", false, [](Store& s, const Caller&, const Json& body) {
        return ratingOf(s, required(body, "itemId"));
    });
    add(store, "SubmitItemReview", false, [](Store& s, const Caller& caller, const Json& body) {
        const std::string itemId = required(body, "itemId");
        const Json sent = body.value("review", Json());
        if (!sent.is_object())
            throw std::runtime_error("Missing parameter: review");
        Store::requireMember(caller);
        Json stored = Store::review(
            *caller.user, textOf(sent, "Reviewer").value_or(*caller.user),
            textOf(sent, "Subject").value_or(""), textOf(sent, "ReviewText").value_or(""),
            static_cast<int>(std::clamp<int64_t>(numberOf(sent, "Rating", 0), 0, 5)), today(),
            s.catalogue.hasItem(*caller.user, itemId.substr(itemId.find('_') + 1)));
        std::lock_guard lock(s.mutex);
        s.reviews[itemId].push_back(stored);
        s.members[*caller.user].ratings[itemId] = stored["Rating"].get<int>();
        return stored;
    });
    add(store, "GetItemMessage", true, [](Store& s, const Caller&, const Json& body) {
        const std::string itemId = required(body, "itemId");
        std::lock_guard lock(s.mutex);
        return page(Json(Store::entriesOf(s.messages, itemId)), numberOf(body, "start", 0),
                    numberOf(body, "length", 0));
    });
    add(store, "SubmitItemMessage", true, [](Store& s, const Caller& caller, const Json& body) {
        const std::string itemId = required(body, "itemId");
        const Json sent = body.value("message", Json());
        if (sent.is_null())
            throw std::runtime_error("Missing parameter: message");
        Store::requireMember(caller);
        const std::string subject =
            sent.is_object() ? textOf(sent, "Subject").value_or("") : std::string();
        const std::string text = sent.is_string()   ? sent.get<std::string>()
                                 : sent.is_object() ? textOf(sent, "MessageText").value_or("")
                                                    : sent.dump();
        Json stored = Store::itemMessage(itemId, *caller.user, subject, text, today());
        std::lock_guard lock(s.mutex);
        s.messages[itemId].push_back(stored);
        return Json{{"ItemName", itemId},
                    {"Messager", *caller.user},
                    {"Subject", subject},
                    {"MessageText", text}};
    });
    add(store, "GetItemRatingByUser", true, [](Store& s, const Caller& caller, const Json& body) {
        const std::string itemId = required(body, "itemId");
        Store::requireMember(caller);
        std::lock_guard lock(s.mutex);
        const auto& ratings = s.members[*caller.user].ratings;
        auto it = ratings.find(itemId);
        return Json{
            {"Code", itemId}, {"ItemId", itemId}, {"Rate", it == ratings.end() ? 0 : it->second}};
    });
}

// The member's wish list holds books and issues alike; each call answers its own kind.
Json wishGroup(Store& s, const Caller& caller, const Json& body, bool books) {
    Store::requireMember(caller);
    Json list = Json::array();
    for (const auto& code : s.catalogue.wishlist(*caller.user)) {
        const SampleItem* item = s.catalogue.findItem(code);
        if (item && (item->kind == ItemKind::Book) == books)
            list.push_back(itemEntry(*item));
    }
    return group(books ? "wishlist.book" : "wishlist.magazine",
                 books ? "รายการที่อยากได้" : "นิตยสารที่อยากได้", books ? 2 : 3,
                 page(list, numberOf(body, "start", 0), numberOf(body, "length", 0)));
}

Json isWished(Store& s, const Caller& caller, const std::string& code) {
    Store::requireMember(caller);
    const auto list = s.catalogue.wishlist(*caller.user);
    return Json(std::find(list.begin(), list.end(), code) != list.end() ? 1 : 0);
}

// What a member follows: the category, author and publisher of the first book on loan or wished.
// The member's follows as the version-2 follow calls left them; categories by their names.
Json follows(const Store& s, const std::string& user) {
    Json out = Json::array();
    int id = 0;
    for (const auto& [type, code] : s.catalogue.follows(user)) {
        const bool category = type == 1 || type == 2;
        const std::string name = category ? categoryName(s.catalogue, code) : code;
        out.push_back({{"Id", ++id}, {"Name", name.empty() ? code : name}, {"Type", type}});
    }
    return out;
}

void registerMember(const std::shared_ptr<Store>& store) {
    add(store, "GetUserWishBookInfo", true, [](Store& s, const Caller& caller, const Json& body) {
        return wishGroup(s, caller, body, true);
    });
    add(store, "GetUserWishMagazineInfo", true,
        [](Store& s, const Caller& caller, const Json& body) {
            return wishGroup(s, caller, body, false);
        });
    add(store, "IsUserWishBook", true, [](Store& s, const Caller& caller, const Json& body) {
        return isWished(s, caller, required(body, "bookCode"));
    });
    add(store, "IsUserWishmagazine", true, [](Store& s, const Caller& caller, const Json& body) {
        return isWished(s, caller, required(body, "issueCode"));
    });
    add(store, "GetUserFollowInfo", true, [](Store& s, const Caller& caller, const Json& body) {
        Store::requireMember(caller);
        std::set<int64_t> types;
        for (const auto& t : body.value("type", Json::array())) {
            if (t.is_number_integer())
                types.insert(*clampedInteger(t));
        }
        Json out = Json::array();
        for (const auto& f : follows(s, *caller.user)) {
            if (types.empty() || types.count(f["Type"].get<int64_t>()))
                out.push_back(f);
        }
        return out;
    });
}

}  // namespace

void registerStoreService(DemoService& storeService, const SampleCatalogue& catalogue,
                          std::string appCode, std::string guestToken) {
    storeService.setServicePath(kStoreServicePath);
    storeService.addFileProvider("/covers/", demoCover);
    storeService.addFileProvider("/banners/", demoBanner);
    auto store = std::make_shared<Store>(storeService, catalogue, std::move(appCode));
    store->extraGuestToken = guestToken.empty() ? std::string(kGuestToken) : std::move(guestToken);
    registerStoreFront(store);
    registerCatalogue(store);
    registerReviews(store);
    registerMember(store);
}

}  // namespace demo
