#include "demo-service/V2WebMethods.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <stdexcept>

#include "demo-service/DemoContent.h"
#include "demo-service/DemoCovers.h"
#include "demo-service/DemoListing.h"
#include "demo-service/DemoReaderContent.h"
#include "demo-service/DemoStoreItems.h"
#include "demo-service/JsonNumber.h"

namespace demo {
namespace {

// ---- Digests ------------------------------------------------------------------------------------

std::string digest(const EVP_MD* md, const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), out, &length, md, nullptr);
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(written));
    return out;
}

// The receipt of a mobile purchase: Base64 of "1.0;<MSISDN>" or "1.0;<MSISDN>;<promotion code>",
// the MSISDN being digits.
bool isMobileReceipt(const std::string& receipt) {
    if (receipt.empty() || receipt.size() % 4 != 0 || receipt.size() > 4096)
        return false;
    std::string decoded(receipt.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                       reinterpret_cast<const unsigned char*>(receipt.data()),
                                       static_cast<int>(receipt.size()));
    if (length < 0)
        return false;
    size_t size = static_cast<size_t>(length);
    for (size_t i = receipt.size(); i > 0 && receipt[i - 1] == '='; --i)
        --size;  // EVP_DecodeBlock counts the padding as zero bytes
    decoded.resize(size);
    if (decoded.rfind("1.0;", 0) != 0)
        return false;
    const std::string rest = decoded.substr(4);
    const std::string msisdn = rest.substr(0, rest.find(';'));
    return !msisdn.empty() && std::all_of(msisdn.begin(), msisdn.end(),
                                          [](unsigned char c) { return std::isdigit(c); });
}

std::string lowerHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ---- Reading request bodies ---------------------------------------------------------------------

std::optional<std::string> optText(const Json& body, const char* key) {
    if (!body.is_object())
        return std::nullopt;
    auto it = body.find(key);
    if (it == body.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::string text(const Json& body, const char* key) {
    return optText(body, key).value_or("");
}

int64_t integer(const Json& body, const char* key, int64_t fallback = 0) {
    if (!body.is_object())
        return fallback;
    auto it = body.find(key);
    if (it == body.end())
        return fallback;
    return clampedInteger(*it).value_or(fallback);
}

double number(const Json& body, const char* key) {
    if (!body.is_object())
        return 0;
    auto it = body.find(key);
    return it != body.end() && it->is_number() ? it->get<double>() : 0;
}

std::vector<std::string> textList(const Json& body, const char* key) {
    std::vector<std::string> out;
    if (!body.is_object())
        return out;
    auto it = body.find(key);
    if (it == body.end() || !it->is_array())
        return out;
    for (const auto& element : *it) {
        if (element.is_string())
            out.push_back(element.get<std::string>());
    }
    return out;
}

// The optional parameters of a {"Key", "Value"} list, by key.
std::map<std::string, Json> optionalParams(const Json& body) {
    std::map<std::string, Json> out;
    if (!body.is_object())
        return out;
    auto it = body.find("optionalParams");
    if (it == body.end() || !it->is_array())
        return out;
    for (const auto& item : *it) {
        if (item.is_object() && item.contains("Key") && item["Key"].is_string())
            out[item["Key"].get<std::string>()] = item.value("Value", Json());
    }
    return out;
}

int64_t optionalInteger(const std::map<std::string, Json>& options, const char* key) {
    auto it = options.find(key);
    if (it == options.end())
        return 0;
    if (it->second.is_number())
        return clampedInteger(it->second).value_or(0);
    if (it->second.is_string()) {
        const std::string& s = it->second.get_ref<const std::string&>();
        return s.empty() ? 0 : std::strtoll(s.c_str(), nullptr, 10);
    }
    return 0;
}

std::optional<std::string> signedInUser(const Session& session) {
    auto it = session.data.find("user");
    if (it == session.data.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

// ---- Writing replies ----------------------------------------------------------------------------

std::string formatTime(int64_t seconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[64];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &parts);
    return std::string(buffer, length);
}

std::string serverDate(int64_t seconds) {
    return formatTime(seconds, "%d/%m/%Y %H:%M:%S");
}

Json boolReply(const Outcome& outcome) {
    return {{"IsSuccess", outcome.success},
            {"Message", outcome.message},
            {"MessageTH", outcome.messageTH},
            {"ResultCode", outcome.resultCode}};
}

Json notSignedIn() {
    return boolReply(Outcome::refused(1, "Please sign in first.", "กรุณาเข้าสู่ระบบก่อน"));
}

template <class T>
std::vector<T> page(const std::vector<T>& all, int64_t start, int64_t length) {
    if (start < 0 || static_cast<size_t>(start) >= all.size())
        return {};
    auto first = all.begin() + start;
    const auto available = static_cast<int64_t>(all.size()) - start;
    auto last = length <= 0 || length >= available ? all.end() : first + length;
    return std::vector<T>(first, last);
}

bool containsTextIgnoringCase(const std::string& haystack, const std::string& needle) {
    return needle.empty() || lowerAscii(haystack).find(lowerAscii(needle)) != std::string::npos;
}

class Replies {
  public:
    Replies(DemoService& service, SampleCatalogue& catalogue)
        : service_(service), catalogue_(catalogue) {}

    std::string url(const std::string& path) const { return service_.baseUrl() + path; }

    Json price(const SamplePrice& p) const {
        char priceText[32];
        std::snprintf(priceText, sizeof priceText, "฿ %.2f", p.price);
        return {{"Currency", p.currency},
                {"Price", p.price},
                {"PriceText", p.price == 0 ? std::string("ฟรี") : std::string(priceText)},
                {"Method", p.method},
                {"PurchaseCode", p.purchaseCode},
                {"InAppID", "th.varnel.demo." + p.purchaseCode},
                {"IsTest", false}};
    }

    Json item(const SampleItem& item, const std::optional<std::string>& user) const {
        Json prices = Json::array();
        for (const auto& p : item.prices)
            prices.push_back(price(p));
        const auto title = catalogue_.findTitle(item.titleCode);
        Json out = {{"Code", item.code},
                    {"Hash", item.hash()},
                    {"MagazineName", title ? title->name : item.title},
                    {"IssueName", item.title},
                    {"HeadCode", item.headCode()},
                    {"ModifiedDate", serverDate(catalogue_.now())},
                    {"PageCount", item.pageCount},
                    {"ParentCode", item.titleCode},
                    {"Prices", prices},
                    {"IssueDate", item.issueDate},
                    {"CoverUrl", url("/covers/" + item.code + ".jpg")},
                    {"IsPurchased", user && catalogue_.hasItem(*user, item.code)},
                    {"Type", itemKindName(item.kind)},
                    {"ItemCode", item.code},
                    {"IsFreeContent", item.isFree()},
                    {"SortIndex", item.sortIndex},
                    {"Author", item.author},
                    {"Category", item.categoryCode},
                    {"Publisher", item.publisher},
                    {"ISBN", item.isbn},
                    {"FileSize", item.fileSize},
                    {"Language", item.language},
                    {"Summary", item.summary},
                    {"SupportedMediaFormats", item.mediaFormats()}};
        if (item.libraryCopies > 0) {
            out["Available"] = catalogue_.availableCopies(item.code);
            out["ReserverCount"] = catalogue_.reserverCount(item.code);
            out["BookStatus"] = 0;
            if (user) {
                for (const auto& loan : catalogue_.loans(*user)) {
                    if (loan.bookCode != item.code)
                        continue;
                    out["BookStatus"] = 1;
                    out["BorrowDate"] = formatTime(loan.borrowed, "%Y/%m/%d");
                    out["DueDate"] = formatTime(loan.due, "%Y/%m/%d");
                    out["ReturnDate"] = formatTime(loan.due, "%d%m%Y");
                }
                for (const auto& r : catalogue_.reservations(*user)) {
                    if (r.bookCode == item.code)
                        out["BookStatus"] = 2;
                }
            }
        }
        addStoreItemFields(out, catalogue_, item);
        return out;
    }

    Json items(const std::vector<std::string>& codes, const std::optional<std::string>& user) {
        Json out = Json::array();
        for (const auto& code : codes) {
            if (const SampleItem* found = catalogue_.findItem(code))
                out.push_back(item(*found, user));
        }
        return out;
    }

    // The references of a list in sort-index order, each with its own sort index.
    Json meta(std::vector<const SampleItem*> all, int64_t start, int64_t length,
              bool newestFirst = false) const {
        Json out = Json::array();
        for (auto& reference : page(referenceList(std::move(all), newestFirst), start, length))
            out.push_back(std::move(reference));
        return out;
    }

    Json title(const SampleTitle& t) const {
        Json latest;
        if (!t.issueCodes.empty()) {
            if (const SampleItem* issue = catalogue_.findItem(t.issueCodes.back()))
                latest = item(*issue, std::nullopt);
        }
        return {{"Code", t.code},
                {"Name", t.name},
                {"Summary", t.summary},
                {"Description", t.summary},
                {"CoverUrl", url("/covers/" + t.code + ".jpg")},
                {"RealPriceCurrency", "THB"},
                {"RealPrice", t.price},
                {"Hash", t.hash()},
                {"LatestIssue", latest},
                {"SortIndex", t.sortIndex}};
    }

    Json titles(const std::optional<std::string>& category, const std::string& keyword,
                int64_t start, int64_t length) const {
        const auto all = catalogue_.titles();
        std::vector<const SampleTitle*> matching;
        for (const auto& t : all) {
            if ((!category || t.categoryCode == *category) &&
                containsTextIgnoringCase(t.name, keyword))
                matching.push_back(&t);
        }
        Json out = Json::array();
        for (const SampleTitle* t : page(matching, start, length))
            out.push_back(title(*t));
        return out;
    }

    Json category(const SampleCategory& c) const {
        Json subs = Json::array();
        for (const auto& sub : c.subcategories)
            subs.push_back(category(sub));
        return {{"Code", c.code}, {"Name", c.name}, {"Subcategories", subs}};
    }

    Json shopGroup(const SampleShopGroup& g, const std::string& appCode, bool nested) const {
        Json subs = Json::array();
        if (nested) {
            for (const auto& id : g.subgroupIds) {
                if (const SampleShopGroup* sub = catalogue_.findShopGroup(id))
                    subs.push_back(shopGroup(*sub, appCode, false));
            }
        }
        Json out = {{"AppCode", appCode}, {"Id", g.id},
                    {"Title", g.title},   {"Type", g.type},
                    {"OrderWidget", 0},   {"ItemType", g.itemCodes.empty() ? 0 : 1},
                    {"Subwidgets", subs}};
        if (!g.itemCodes.empty()) {
            if (const SampleItem* first = catalogue_.findItem(g.itemCodes.front()))
                out["ImageUrl"] = url("/covers/" + first->code + ".jpg");
        }
        return out;
    }

    // As the library sends it: the item type as text ("Book" for books), the members ahead in the
    // queue and, while no copy is held, the earliest date a borrowed copy comes back.
    Json reservation(const SampleReservation& r, const std::string& username) const {
        const SampleItem* book = catalogue_.findItem(r.bookCode);
        const bool claimable = r.claimValidUntil >= catalogue_.now();
        const auto due = catalogue_.earliestDue(r.bookCode);
        return {{"ItemCode", r.itemCode},
                {"BookCode", r.bookCode},
                {"Name", book ? book->title : r.bookCode},
                {"Description", book ? book->summary : ""},
                {"CoverUrl", url("/covers/" + r.bookCode + ".jpg")},
                {"ISBN", book ? book->isbn : ""},
                {"ReserveDate", formatTime(r.reserved, "%d%m%y")},
                {"ClaimValidDate", claimable ? formatTime(r.claimValidUntil, "%d%m%y") : ""},
                {"ReturnDate", due ? formatTime(*due, "%d%m%y") : ""},
                {"RemainingPeople", claimable ? 0 : catalogue_.reserversAhead(username, r.bookCode)},
                {"IsClaimable", claimable},
                {"ItemType", book ? itemKindName(book->kind) : "Book"}};
    }

    Json history(const SampleHistoryEntry& h) const {
        const SampleItem* book = catalogue_.findItem(h.bookCode);
        return {{"BookCode", h.bookCode},
                {"BookName", book ? book->title : h.bookCode},
                {"BookType", book ? itemKindName(book->kind) : "Book"},
                {"BookHeaderName", book ? book->author : ""},
                {"BorrowDateValue", serverDate(h.borrowed)},
                {"ReturnDateValue", serverDate(h.returned)},
                {"BorrowDateStr", formatTime(h.borrowed, "%d/%m/%y %H:%M")},
                {"ReturnDateString", formatTime(h.returned, "%d/%m/%y %H:%M")}};
    }

    SampleCatalogue& catalogue() const { return catalogue_; }

  private:
    DemoService& service_;
    SampleCatalogue& catalogue_;
};

Json signInFailure(const std::string& message, const std::string& messageTH) {
    return {{"IsSuccess", false},
            {"Message", message},
            {"MessageTH", messageTH},
            {"IsTestAccount", false}};
}

// The sign-in hash the client must send for the account, by the account's method.
std::string expectedSignInHash(const SampleAccount& account, const std::string& sentUserName,
                               const std::string& storedHash, const std::string& sessionId) {
    if (account.method == 1)
        return demoSha256Base64(storedHash + "|" + sessionId);
    if (account.method == 2)
        return demoMd5Hex(sentUserName + storedHash + account.salt);
    return demoSha256Base64(storedHash + "|" + account.salt);
}

std::string storedHashOf(const SampleAccount& account) {
    return account.method == 2 ? demoMd5Hash(account.password)
                               : demoStandardHash(account.password, account.username);
}

// The member a device's anonymous user name stands for: "<device id>@device.varnel.app" with
// the password that the client derives from the device id.
std::optional<SampleAccount> deviceAccount(const std::string& username) {
    static const std::string kSuffix = "@device.varnel.app";
    const std::string lowered = lowerAscii(username);
    if (lowered.size() <= kSuffix.size() ||
        lowered.compare(lowered.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
        return std::nullopt;
    SampleAccount account;
    account.username = lowered;
    account.password = demoSha256Base64(lowered.substr(0, lowered.size() - kSuffix.size()) +
                                        "|device-account@varnel.app");
    account.firstName = "Device";
    return account;
}

}  // namespace

std::string demoSha256Base64(const std::string& text) {
    return base64(digest(EVP_sha256(), text));
}

std::string demoMd5Hex(const std::string& text) {
    return lowerHex(digest(EVP_md5(), text));
}

std::string demoStandardHash(const std::string& password, const std::string& username) {
    return demoSha256Base64(password + "|" + lowerAscii(username));
}

std::string demoMd5Hash(const std::string& password) {
    return demoMd5Hex(password);
}

void registerVersion2Methods(DemoService& service, SampleCatalogue& catalogue) {
    auto replies = std::make_shared<Replies>(service, catalogue);
    SampleCatalogue* cat = &catalogue;

    // Sessions outlive the service: kept in the catalogue (and so in the demo's state file), a
    // restarted service knows a signed-in member's session by its cookie as before.
    service.setSessionStore(
        [cat](const std::string& id) -> std::optional<Json> {
            const auto text = cat->keptSession(id);
            auto data = text ? Json::parse(*text, nullptr, false) : Json();
            return data.is_object() ? std::optional<Json>(std::move(data)) : std::nullopt;
        },
        [cat](const Session& session) { cat->keepSession(session.id, session.data.dump()); });

    // ---- Session calls ----
    auto signIn = [cat](const Json& body, Session& session, bool withToken) -> Json {
        if (!session.valid())
            return signInFailure("Your session has expired. Please try again.",
                                 "เซสชันหมดอายุ กรุณาลองใหม่");
        const std::string username = text(body, "username");
        auto account = cat->account(username);
        if (!account && !withToken) {
            // A device's anonymous user becomes a member of its own on its first sign-in.
            if (auto device = deviceAccount(username)) {
                cat->addAccount(*device);
                account = cat->account(username);
            }
        }
        const Json refused =
            signInFailure("Invalid user name or password.", "ชื่อผู้ใช้หรือรหัสผ่านไม่ถูกต้อง");
        if (!account)
            return refused;
        if (withToken) {
            const std::string token =
                optText(body, "authorizationCode").value_or(text(body, "token"));
            const auto granted = cat->userForAccessToken(token);
            const bool known = token == kDemoAccessToken
                                   ? lowerAscii(username) == kDemoAccessTokenUser
                                   : granted && lowerAscii(*granted) == lowerAscii(username);
            if (!known)
                return refused;
        } else {
            const std::string admin = text(body, "adminUsername");
            SampleAccount hashing = *account;
            std::string stored = storedHashOf(*account);
            if (!admin.empty()) {
                auto librarian = cat->account(admin);
                if (!librarian || !librarian->isLibrarian)
                    return refused;
                hashing = *librarian;
                stored = demoStandardHash(librarian->password, librarian->username);
            }
            if (text(body, "hashedPassword") !=
                expectedSignInHash(hashing, username, stored, session.id)) {
                return refused;
            }
        }
        if (account->suspended)
            return signInFailure("This account is suspended. Please contact the library.",
                                 "บัญชีนี้ถูกระงับการใช้งาน กรุณาติดต่อห้องสมุด");
        session.data["user"] = account->username;
        cat->rememberSessionToken(session.id, account->username);
        return {{"IsSuccess", true},
                {"Message", "Welcome, " + account->firstName + "."},
                {"MessageTH", "ยินดีต้อนรับ คุณ" + account->firstName},
                {"IsTestAccount", account->isTestAccount}};
    };
    service.addMethod("AccountAuthentication", [signIn](const Json& body, Session& session) {
        return signIn(body, session, false);
    });
    service.addMethod(
        "AccountAuthenticationWithAccessToken",
        [signIn](const Json& body, Session& session) { return signIn(body, session, true); });
    service.addFileProvider("/covers/", demoCover);
    service.setOpensSession("RestoreSession");  // a restart restores without a session cookie
    service.addMethod("RestoreSession", [cat](const Json& body, Session& session) -> Json {
        const std::string token = text(body, "tokenkey");
        const auto user = cat->userForSessionToken(token);
        if (!user)
            throw std::runtime_error("The session token is not valid.");
        if (session.valid())
            session.data["user"] = *user;
        return token;
    });
    auto signOut = [](const Json&, Session& session) -> Json {
        session.data.erase("user");
        return nullptr;
    };
    service.addMethod("AccountLogout", signOut);
    service.addMethod("AccountLogoutEx", signOut);

    // ---- Catalogue and store front ----
    service.addMethod("GetMetaMagazineIssueInfos", [cat, replies](const Json& body, Session&) {
        const std::string type = text(body, "magazineType");
        const std::string code = text(body, "magazineCode");
        std::vector<const SampleItem*> matching;
        if (type == "Libraries") {
            matching = cat->libraryItems();  // issues only: books have their own list
            std::erase_if(matching,
                          [](const SampleItem* item) { return item->kind == ItemKind::Book; });
        } else {
            for (const auto& item : cat->items()) {
                if (item.withdrawn)
                    continue;
                if (item.kind != ItemKind::Book && (code.empty() || item.titleCode == code))
                    matching.push_back(&item);
            }
        }
        return replies->meta(matching, integer(body, "start"), integer(body, "length"),
                             type != "Libraries");  // a magazine's issues: newest first
    });
    service.addMethod("GetMetaBookInfos", [cat, replies](const Json& body, Session&) {
        const auto category = optText(body, "categoryCode");
        const std::string keyword = text(body, "keyword");
        std::vector<const SampleItem*> matching;
        if (category == "_Libraries") {
            matching = cat->libraryItems();
            std::erase_if(matching,
                          [](const SampleItem* item) { return item->kind != ItemKind::Book; });
        } else {
            for (const auto& item : cat->items()) {
                if (item.withdrawn)
                    continue;
                if (item.kind == ItemKind::Book && (!category || cat->inCategory(item, *category)))
                    matching.push_back(&item);
            }
        }
        std::erase_if(matching, [&](const SampleItem* item) {
            return !containsTextIgnoringCase(item->title, keyword) &&
                   !containsTextIgnoringCase(item->author, keyword);
        });
        return replies->meta(matching, integer(body, "start"), integer(body, "length"));
    });
    auto itemsByCodes = [replies](const char* key) {
        return [replies, key](const Json& body, Session& session) {
            return replies->items(textList(body, key), signedInUser(session));
        };
    };
    service.addMethod("GetMagazineIssueInfos", itemsByCodes("magazineIssueCodes"));
    service.addMethod("GetBookInfos", itemsByCodes("bookCodes"));
    service.addMethod("GetLibraryIssueInfos", itemsByCodes("bookCodes"));
    auto oneItem = [cat, replies](const Json& body, Session& session) -> Json {
        const SampleItem* item = cat->findItem(text(body, "bookCode"));
        return item ? replies->item(*item, signedInUser(session)) : Json();
    };
    service.addMethod("GetIssueInfo", oneItem);
    service.addMethod("GetBookDetails", oneItem);
    service.addMethod("GetCategoryInfos", [cat, replies](const Json& body, Session&) {
        Json out = Json::array();
        for (const auto& c : cat->categories(text(body, "categoryType")))
            out.push_back(replies->category(c));
        return out;
    });
    service.addMethod("GetMagazineInfos", [replies](const Json& body, Session&) {
        return replies->titles(optText(body, "categoryCode"), text(body, "keyword"), 0, 0);
    });
    service.addMethod("GetMetaMagazineInfos", [replies](const Json& body, Session&) {
        const auto options = optionalParams(body);
        auto keyword = options.find("keyword");
        const std::string text = keyword != options.end() && keyword->second.is_string()
                                     ? keyword->second.get<std::string>()
                                     : "";
        return replies->titles(optText(body, "categoryCode"), text,
                               optionalInteger(options, "start"),
                               optionalInteger(options, "length"));
    });
    service.addMethod("GetMagazineInfosEx", [cat, replies](const Json& body, Session&) {
        Json out = Json::array();
        const bool all = !body.contains("magazineCodes") || !body["magazineCodes"].is_array();
        for (const auto& t : cat->titles()) {
            const auto codes = textList(body, "magazineCodes");
            if (all || std::find(codes.begin(), codes.end(), t.code) != codes.end())
                out.push_back(replies->title(t));
        }
        return out;
    });
    service.addMethod("GetBookPages", [cat](const Json& body, Session&) {
        const SampleItem* item = cat->findItem(text(body, "magazineIssueCode"));
        Json out = Json::array();
        if (!item)
            return out;
        const int count =
            text(body, "pageType") == "PREVIEW" ? std::min(3, item->pageCount) : item->pageCount;
        // One issue is read in another order than its files: the last file comes first.
        const bool reordered = item->code == "NP01-240302";
        for (int i = 0; i < count; ++i)
            out.push_back({{"SourcePageIndex", i},
                           {"PresentationPageIndex", reordered ? (i + 1) % count : i}});
        if (item->content == ContentVariant::Hostile) {
            out.push_back({{"SourcePageIndex", -1}, {"PresentationPageIndex", 0}});
            out.push_back({{"SourcePageIndex", "abc"}, {"PresentationPageIndex", 1}});
            out.push_back({{"SourcePageIndex", 3}, {"PresentationPageIndex", -7}});
            out.push_back("junk");
        }
        return out;
    });
    // Item content: the rendering metadata from the catalogue, any other file from its path.
    auto content =
        [cat](const std::string& path) -> std::optional<std::pair<std::string, std::string>> {
        const std::string prefix = "/content/";
        const size_t slash = path.find('/', prefix.size());
        if (path.rfind(prefix, 0) != 0 || slash == std::string::npos)
            return std::nullopt;
        const SampleItem* item = cat->findItem(path.substr(prefix.size(), slash - prefix.size()));
        if (auto page = item ? demoReaderPage(*item, path) : std::nullopt)
            return page;
        if (!item || path.substr(slash + 1) != "XML_0.xml")
            return demoContent(path);
        return std::pair{demoRenderingMetadata(*item), std::string("application/xml")};
    };
    service.addFileProvider("/content/", content);
    service.addMethod("GetAssetFiles", [cat, replies, content](const Json& body, Session&) {
        const std::string code = text(body, "magazineIssueCode");
        Json out = Json::array();
        const SampleItem* item = cat->findItem(code);
        const bool hostile = item && item->content == ContentVariant::Hostile;
        if (!item || !body.contains("assetRequests") || !body["assetRequests"].is_array()) {
            return out;
        }
        for (const auto& request : body["assetRequests"]) {
            if (!request.is_object())
                continue;
            const std::string format =
                text(request, "Type").empty() ? "PDF" : text(request, "Type");
            std::string type = text(request, "FileIdType");
            if (type.empty())
                type = text(request, "fileIdType").empty() ? "PAGE" : text(request, "fileIdType");
            const Json requestId = request.contains("RequestId")
                                       ? request["RequestId"]
                                       : request.value("requestId", Json());
            const auto ids = request.contains("fileIds") && request["fileIds"].is_array()
                                 ? request["fileIds"]
                                 : Json::array({0});
            for (const auto& id : ids) {
                const std::string fileId = id.is_string() ? id.get<std::string>() : id.dump();
                const std::string path = demoContentPath(code, type, format, fileId);
                out.push_back({{"RequestId", requestId},
                               {"FileId", fileId},
                               {"FileSize", static_cast<int64_t>(content(path)->first.size())},
                               {"PrimaryUrl", replies->url(path)},
                               {"SecondUrl", replies->url("/mirror" + path)},
                               {"BookCode", code},
                               {"Width", integer(request, "width")},
                               {"Height", integer(request, "height")}});
                if (hostile) {
                    out.back()["FileSize"] = -1;
                    out.back()["Width"] = -5;
                    out.push_back({{"RequestId", requestId},
                                   {"FileId", "../../escape"},
                                   {"FileSize", -100},
                                   {"PrimaryUrl", replies->url(path)},
                                   {"BookCode", "../" + code}});
                }
            }
        }
        return out;
    });
    service.addMethod("GetPriceInfos", [cat, replies](const Json& body, Session&) {
        Json out = Json::array();
        if (const SampleItem* item = cat->findItem(text(body, "productCode"))) {
            for (const auto& p : item->prices)
                out.push_back(replies->price(p));
        }
        return out;
    });
    service.addMethod("GetAuthorList", [cat](const Json&, Session&) {
        std::vector<std::string> names;
        for (const auto& item : cat->items()) {
            if (item.withdrawn)
                continue;
            if (!item.author.empty() &&
                std::find(names.begin(), names.end(), item.author) == names.end())
                names.push_back(item.author);
        }
        return Json(names);
    });
    service.addMethod("GetWidgetInfo", [cat, replies](const Json& body, Session&) -> Json {
        const SampleShopGroup* group = cat->findShopGroup(optText(body, "id").value_or("home"));
        return group ? replies->shopGroup(*group, text(body, "appCode"), true) : Json();
    });
    service.addMethod("GetSubWidgetInfo", [cat, replies](const Json& body, Session&) {
        Json out = Json::array();
        const SampleShopGroup* group = cat->findShopGroup(optText(body, "id").value_or("home"));
        if (!group)
            return out;
        for (const auto& id :
             page(group->subgroupIds, integer(body, "start"), integer(body, "length"))) {
            if (const SampleShopGroup* sub = cat->findShopGroup(id))
                out.push_back(replies->shopGroup(*sub, text(body, "appCode"), false));
        }
        return out;
    });
    service.addMethod("GetItemURL", [replies](const Json& body, Session&) -> Json {
        const std::string code = text(body, "itemCode");
        if (code.empty())
            return nullptr;
        return replies->url("/items/" + lowerAscii(text(body, "itemType")) + "/" + code);
    });

    // ---- Lending ----
    using MemberOperation = Outcome (SampleCatalogue::*)(std::string_view, std::string_view);
    auto lending = [cat](const char* key, MemberOperation operation) {
        return [cat, key, operation](const Json& body, Session& session) -> Json {
            const auto user = signedInUser(session);
            if (!user)
                return notSignedIn();
            return boolReply((cat->*operation)(*user, text(body, key)));
        };
    };
    service.addMethod("BorrowBook", lending("bookCode", &SampleCatalogue::borrow));
    service.addMethod("ReserveBook", lending("bookCode", &SampleCatalogue::reserve));
    service.addMethod("CancelReserveBook",
                      lending("bookCode", &SampleCatalogue::cancelReservation));
    service.addMethod("ReturnBook", lending("itemCode", &SampleCatalogue::returnLoan));
    service.addMethod("ExtendBorrowBook", lending("itemCode", &SampleCatalogue::extendLoan));
    service.addMethod("ClaimReserveBook", lending("itemCode", &SampleCatalogue::claimReservation));
    service.addMethod("PurchaseFreeBook", lending("bookCode", &SampleCatalogue::takeFreeItem));
    service.addMethod("ReadBookNow", [cat](const Json& body, Session& session) -> Json {
        const auto user = signedInUser(session);
        if (!user)
            return notSignedIn();
        const std::string code = text(body, "bookCode");
        const SampleItem* item = cat->findItem(code);
        if (!item)
            return boolReply(Outcome::refused(2, "No such item.", "ไม่พบรายการนี้"));
        if (item->isFree() || cat->hasItem(*user, code))
            return boolReply(Outcome::done("Ready to read.", "พร้อมอ่าน"));
        return boolReply(
            Outcome::refused(3, "Borrow or buy this item first.", "กรุณายืมหรือซื้อรายการนี้ก่อน"));
    });
    auto reservationsOf = [cat, replies](bool claimableOnly) {
        return [cat, replies, claimableOnly](const Json&, Session& session) {
            Json out = Json::array();
            const auto user = signedInUser(session);
            if (!user)
                return out;
            for (const auto& r : cat->reservations(*user)) {
                if (!claimableOnly || r.claimValidUntil >= cat->now())
                    out.push_back(replies->reservation(r, *user));
            }
            return out;
        };
    };
    service.addMethod("GetCurrentReserveBookInfos", reservationsOf(false));
    service.addMethod("NeedClaimActionBooks", reservationsOf(true));
    service.addMethod("NeedClaimAction", [cat](const Json&, Session& session) {
        const auto user = signedInUser(session);
        if (!user)
            return false;
        const auto list = cat->reservations(*user);
        return std::any_of(list.begin(), list.end(), [&](const SampleReservation& r) {
            return r.claimValidUntil >= cat->now();
        });
    });
    service.addMethod("GetBorrowHistory2", [cat, replies](const Json& body, Session& session) {
        Json out = Json::array();
        const auto user = signedInUser(session);
        if (!user)
            return out;
        const double from = number(body, "startDate");
        const double to = number(body, "endDate");
        for (const auto& h : cat->history(*user)) {
            const auto borrowed = static_cast<double>(h.borrowed);
            if (borrowed >= from && (to <= 0 || borrowed <= to))
                out.push_back(replies->history(h));
        }
        return out;
    });
    service.addMethod("GetHistory", [cat, replies](const Json& body, Session& session) {
        Json out = Json::array();
        const auto user = signedInUser(session);
        if (!user)
            return out;
        for (const auto& h :
             page(cat->history(*user), integer(body, "start"), integer(body, "length")))
            out.push_back(replies->history(h));
        return out;
    });

    // ---- Wishlists and reading sync (plain answers) ----
    auto wish = [cat](const char* key, bool add) {
        return [cat, key, add](const Json& body, Session& session) {
            const auto user = signedInUser(session);
            if (!user)
                return false;
            return add ? cat->addToWishlist(*user, text(body, key))
                       : cat->removeFromWishlist(*user, text(body, key));
        };
    };
    service.addMethod("SubmitUserWishBook", wish("bookCode", true));
    service.addMethod("SubmitUserWishMagazine", wish("issueCode", true));
    service.addMethod("RemoveUserWishBook", wish("bookCode", false));
    service.addMethod("RemoveUserWishMagazine", wish("issueCode", false));
    service.addMethod("SubmitSyncBookMark", [cat](const Json& body, Session& session) -> Json {
        const auto user = signedInUser(session);
        if (!user)
            return nullptr;
        SampleBookmark mark;
        mark.issueCode = text(body, "issueCode");
        mark.markName = text(body, "markName");
        mark.pageIndex = static_cast<int>(integer(body, "pageIndex"));
        mark.chapterIndex = static_cast<int>(integer(body, "chapterIndex"));
        mark.amountPage = static_cast<int>(integer(body, "amountPage"));
        return cat->addBookmark(*user, std::move(mark));
    });
    service.addMethod("RemoveUserSyncBookMark", [cat](const Json& body, Session& session) {
        const auto user = signedInUser(session);
        return user && cat->removeBookmark(*user, static_cast<int>(integer(body, "bookMarkId")));
    });
    service.addMethod("SubmitSyncLastPage", [cat](const Json& body, Session& session) {
        const auto user = signedInUser(session);
        if (!user)
            return false;
        cat->setLastPage(*user, text(body, "issueCode"),
                         static_cast<int>(integer(body, "pageIndex")));
        return true;
    });

    // ---- Account, subscriptions and purchases ----
    service.addMethod("RegisterNewAccount", [cat](const Json& body, Session&) {
        const auto username = optText(body, "username");
        const auto password = optText(body, "password");
        if (!username || username->find('@') == std::string::npos)
            return boolReply(Outcome::refused(3, "Please give an e-mail address as user name.",
                                              "กรุณาระบุอีเมลเป็นชื่อผู้ใช้"));
        if (!password || password->size() < 6)
            return boolReply(Outcome::refused(3, "The password needs at least 6 characters.",
                                              "รหัสผ่านต้องมีอย่างน้อย 6 ตัวอักษร"));
        SampleAccount account;
        account.username = *username;
        account.password = *password;
        account.firstName = text(body, "firstname");
        account.lastName = text(body, "lastname");
        if (!cat->addAccount(std::move(account)))
            return boolReply(Outcome::refused(3, "This user name is taken.", "ชื่อผู้ใช้นี้ถูกใช้แล้ว"));
        return boolReply(Outcome::done("Account created.", "สมัครสมาชิกสำเร็จ"));
    });
    service.addMethod("GetAccountAuthenticationMethod", [cat](const Json& body, Session&) {
        // An unknown name gets the standard method, so that names cannot be probed.
        const auto account = cat->account(text(body, "username"));
        const int method = account ? account->method : 1;
        Json salt = account && !account->salt.empty() ? Json(account->salt) : Json();
        // Accounts that sign in with another service's hash (methods 2 and 3) are external.
        return Json{
            {"IsExternalUser", method == 2 || method == 3}, {"Method", method}, {"Salt", salt}};
    });
    service.addMethod("RequestPasswordResetEmail", [](const Json&, Session&) {
        return boolReply(Outcome::done("If the account exists, an e-mail is on its way.",
                                       "หากมีบัญชีนี้ ระบบได้ส่งอีเมลให้แล้ว"));
    });
    service.addMethod("ChangePassword", [cat](const Json& body, Session& session) {
        const auto user = signedInUser(session);
        if (!user)
            return notSignedIn();
        const auto account = cat->account(text(body, "username"));
        if (!account || lowerAscii(account->username) != lowerAscii(*user) ||
            text(body, "hashedOldPassword") != storedHashOf(*account)) {
            return boolReply(
                Outcome::refused(3, "The old password is not right.", "รหัสผ่านเดิมไม่ถูกต้อง"));
        }
        const std::string fresh = text(body, "newPassword");
        if (fresh.size() < 6)
            return boolReply(Outcome::refused(3, "The password needs at least 6 characters.",
                                              "รหัสผ่านต้องมีอย่างน้อย 6 ตัวอักษร"));
        cat->setPassword(account->username, fresh);
        return boolReply(Outcome::done("Password changed.", "เปลี่ยนรหัสผ่านแล้ว"));
    });
    service.addMethod("TransferUserBooks", [cat](const Json& body, Session& session) {
        const auto user = signedInUser(session);
        const auto source = cat->account(text(body, "sourceUser"));
        if (!user || !source ||
            text(body, "sourcePasswordHash") !=
                demoSha256Base64(storedHashOf(*source) + "|" + session.id)) {
            return Json{{"IsSuccess", false},
                        {"Message", user ? "The source account could not be verified."
                                         : "Please sign in first."},
                        {"BookCodes", Json::array()}};
        }
        return Json{{"IsSuccess", true},
                    {"Message", "Books moved."},
                    {"BookCodes", cat->transferLoans(source->username, *user)}};
    });
    service.addMethod("GetAccountInfo", [cat](const Json&, Session& session) {
        const auto user = signedInUser(session);
        const auto account = user ? cat->account(*user) : std::nullopt;
        if (!account)
            throw std::runtime_error("Please sign in first.");
        return Json{{"Email", account->username},    {"FirstName", account->firstName},
                    {"LastName", account->lastName}, {"UserId", account->userId},
                    {"IsLumoCardUser", false},       {"LumoCardNumber", nullptr}};
    });
    service.addMethod("GetProfile", [cat](const Json&, Session& session) {
        const auto user = signedInUser(session);
        const auto account = user ? cat->account(*user) : std::nullopt;
        if (!account)
            throw std::runtime_error("Please sign in first.");
        // Member types 1 to 4 go round the accounts; the first membership has no online library.
        const int memberType = (account->userId - 1) % 4 + 1;
        char personalId[16];
        std::snprintf(personalId, sizeof personalId, "1%012d", account->userId);
        const Json membership = {{"StartDate", "2024-01-01 00:00:00"},
                                 {"ExpiredDate", "2026-12-31 23:59:59"}};
        return Json{{"MemberID", account->userId},
                    {"Username", account->username},
                    {"Name", account->firstName},
                    {"Lastname", account->lastName},
                    {"Email", account->username},
                    {"Personalid", personalId},
                    {"MemberTypeID", std::to_string(memberType)},
                    {"MemberTypeName", account->isLibrarian ? "Librarian" : "Member"},
                    {"MemberShip",
                     Json::array({{{"HaldenPass", membership}}, {{"OnlineLibrary", membership}}})}};
    });
    service.addMethod("UpdateAcountDetail", [](const Json&, Session&) { return Json(); });
    service.addMethod("RegisterAPNS", [](const Json& body, Session&) {
        return optText(body, "pushToken") ? boolReply(Outcome::done("Registered.", "ลงทะเบียนแล้ว"))
                                          : boolReply(Outcome::refused(3, "No token.", "ไม่มีโทเค็น"));
    });
    service.addMethod("MobileDetectClientInfo", [](const Json& body, Session&) {
        return Json{{"MSISDN", nullptr}, {"MobileOperator", text(body, "mobileOperator")}};
    });
    service.addMethod("MobileRequestOnetimePassword", [](const Json& body, Session&) {
        return text(body, "phoneNumber").empty()
                   ? boolReply(Outcome::refused(3, "No phone number.", "ไม่มีหมายเลขโทรศัพท์"))
                   : boolReply(Outcome::done("A one-time password is on its way.",
                                             "ระบบส่งรหัสผ่านครั้งเดียวให้แล้ว"));
    });
    auto subscriptions = [cat](const Json&, Session& session) {
        Json out = Json::array();
        if (!signedInUser(session))
            return out;
        const auto title = cat->findTitle("MG01");
        out.push_back({{"MagazineCode", title->code},
                       {"MagazineName", title->name},
                       {"RemainingIssueCount", 9},
                       {"IsAutoRenewal", true},
                       {"SubscriptionName", "สมาชิกรายปี"},
                       {"ExpireDate", "31122026"},
                       {"RenewSubId", 501},
                       {"BookCount", 3},
                       {"MagazineCount", 12},
                       {"NewspaperCount", 30},
                       {"ItemCode", "SUB-501"}});
        return out;
    };
    service.addMethod("GetUserSubscriptions", subscriptions);
    // The member's allowance: one record with the limits of each kind.
    service.addMethod("GetCurrentSubscription", [subscriptions](const Json& body, Session& session) {
        Json all = subscriptions(body, session);
        if (all.empty())
            return Json();
        Json current = all[0];
        current.update({{"BookLimitSize", 5}, {"MagazineLimitSize", 3}, {"NewspaperLimitSize", 2}});
        return current;
    });
    service.addMethod("GetSubscriptionOptions", [cat, replies](const Json& body, Session&) {
        Json out = Json::array();
        const auto code = optText(body, "magazineCode");
        for (const auto& t : cat->titles()) {
            if (t.kind != ItemKind::MagazineIssue || (code && *code != t.code))
                continue;
            const SamplePrice yearly{"THB", t.price * 10, "INAPP", t.code + "-Y"};
            out.push_back({{"Code", t.code + "-Y"},
                           {"Prices", Json::array({replies->price(yearly)})},
                           {"description", "12 issues of " + t.name},
                           {"IssueAmount", 12},
                           {"AutoRenewalPeriod", 12},
                           {"InappProductID", "th.varnel.demo." + t.code + ".yearly"}});
        }
        return out;
    });
    service.addMethod("UnSubScriptionFree", [](const Json& body, Session& session) {
        if (!signedInUser(session))
            return notSignedIn();
        return integer(body, "autoSubId") == 501
                   ? boolReply(Outcome::done("Auto-renewal stopped.", "ยกเลิกการต่ออายุอัตโนมัติแล้ว"))
                   : boolReply(Outcome::refused(2, "No such subscription.", "ไม่พบการสมัครสมาชิกนี้"));
    });
    auto knownPurchase = [cat](const std::string& code) {
        return std::any_of(cat->items().begin(), cat->items().end(), [&](const SampleItem& item) {
            return std::any_of(item.prices.begin(), item.prices.end(),
                               [&](const SamplePrice& p) { return p.purchaseCode == code; });
        });
    };
    service.addMethod("RedeemProduct", [knownPurchase](const Json& body, Session& session) {
        if (!signedInUser(session))
            return notSignedIn();
        if (text(body, "purchaseCode").empty()) {
            // A mobile purchase: the receipt is Base64 of "1.0;<MSISDN>[;<promotion code>]".
            return isMobileReceipt(text(body, "transactionReceipt"))
                       ? boolReply(Outcome::done("Purchase complete.", "ซื้อสำเร็จ"))
                       : boolReply(Outcome::refused(3, "The mobile receipt is not valid.",
                                                    "ใบเสร็จมือถือไม่ถูกต้อง"));
        }
        return knownPurchase(text(body, "purchaseCode"))
                   ? boolReply(Outcome::done("Purchase complete.", "ซื้อสำเร็จ"))
                   : boolReply(Outcome::refused(2, "Unknown product.", "ไม่พบสินค้านี้"));
    });
    service.addMethod("RetrieveInAppIDs", [cat](const Json&, Session&) {
        Json ids = Json::array();
        for (const auto& item : cat->items()) {
            if (item.withdrawn)
                continue;
            for (const auto& price : item.prices) {
                if (price.method == "INAPP")
                    ids.push_back(price.purchaseCode);
            }
        }
        return ids;
    });
    service.addMethod("ReportPurchaseError", [](const Json& body, Session&) {
        return body.contains("info") && body.contains("message")
                   ? boolReply(Outcome::done("Reported.", "รับรายงานแล้ว"))
                   : boolReply(Outcome::refused(3, "Nothing to report.", "ไม่มีข้อมูลที่จะรายงาน"));
    });
    const std::pair<const char*, int> followMethods[] = {
        {"BookCategory", 1}, {"MagazineCategory", 2}, {"Author", 3}, {"Publisher", 4}};
    for (const auto& [name, type] : followMethods) {
        for (bool follow : {true, false}) {
            const std::string method = std::string(follow ? "SubmitUserFollow" : "UnFollow") + name;
            service.addMethod(method, [cat, type, follow](const Json& body, Session& session) {
                const auto user = signedInUser(session);
                const auto account = user ? cat->account(*user) : std::nullopt;
                if (!account)
                    return Json{{"Message", "Please sign in first."},
                                {"ResultCode", 1},
                                {"IsFollow", false}};
                if (!body.contains("accountId") || !body["accountId"].is_number_integer() ||
                    body["accountId"].get<int64_t>() != account->userId)
                    return Json{{"Message", "The account does not match."},
                                {"ResultCode", 3},
                                {"IsFollow", !follow}};
                cat->setFollow(*user, type, text(body, "code"), follow);
                return Json{{"Message", follow ? "Following." : "Not following."},
                            {"ResultCode", 0},
                            {"IsFollow", follow}};
            });
        }
    }
    service.addMethod("CanPurchaseProduct", [knownPurchase](const Json& body, Session&) {
        return knownPurchase(text(body, "purchaseCode"))
                   ? boolReply(Outcome::done("Available.", "ซื้อได้"))
                   : boolReply(Outcome::refused(2, "Unknown product.", "ไม่พบสินค้านี้"));
    });
    service.addMethod("RestoreInAppPurchase", [cat](const Json& body, Session& session) {
        Json products = Json::array();
        const auto user = signedInUser(session);
        if (user && optText(body, "receipt")) {
            for (const auto& loan : cat->loans(*user)) {
                const SampleItem* item = cat->findItem(loan.bookCode);
                if (!item || item->prices.empty())
                    continue;
                products.push_back({{"ProductCode", item->prices.front().purchaseCode},
                                    {"ProductName", item->title},
                                    {"Type", 1},
                                    {"Price", item->prices.front().price},
                                    {"Currency", 0}});
            }
        }
        Json out = boolReply(user ? Outcome::done("Restored.", "กู้คืนแล้ว") : Outcome{});
        out["ProductCodes"] = products;
        return out;
    });
    service.addMethod("FilterRestorableInApp", [](const Json& body, Session&) {
        Json out = Json::array();
        if (!body.contains("receiptInfos") || !body["receiptInfos"].is_array())
            return out;
        for (const auto& receipt : body["receiptInfos"]) {
            if (!receipt.is_object())
                continue;
            out.push_back({{"TransactionId", receipt.value("TransactionId", Json())},
                           {"InAppProductId", receipt.value("InAppProductId", Json())},
                           {"ProductDescription", "Restorable purchase"},
                           {"ResultCode", 0},
                           {"ResultMessage", "OK"}});
        }
        return out;
    });
    service.addMethod("GetLumoCardLatestUserPointsRecord", [](const Json&, Session& session) {
        if (!signedInUser(session))
            return Json();
        return Json{{"LastUpdated", "2024/03/01"}, {"Points", 1200}};
    });
    service.addMethod("BindLumoCard", [](const Json& body, Session& session) {
        if (!signedInUser(session))
            return notSignedIn();
        const std::string card = text(body, "lumoCardNumber");
        const std::string birth = text(body, "dateOfBirth");
        const bool digits = !card.empty() && std::all_of(card.begin(), card.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        if (!digits || birth.size() != 8)
            return boolReply(Outcome::refused(3, "The card number or birth date is not valid.",
                                              "หมายเลขบัตรหรือวันเกิดไม่ถูกต้อง"));
        return boolReply(Outcome::done("Card bound.", "ผูกบัตรแล้ว"));
    });
}

}  // namespace demo
