#include "demo-service/SampleCatalogue.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace demo {
namespace {

constexpr int64_t kDay = 24 * 60 * 60;
// 1 January 2024, 00:00 UTC: the borrow history is dated from here.
constexpr int64_t kHistoryBase = 1704067200;

SamplePrice free(std::string code) {
    return {"THB", 0, "FREE", std::move(code)};
}

SamplePrice inApp(double price, std::string code) {
    return {"THB", price, "INAPP", std::move(code)};
}

// A member holds a book while one of the member's loans is of it, however the loan came: a
// borrow, a claimed reservation or a read-now loan.
bool holdsBook(const SampleMemberState& member, std::string_view bookCode) {
    return std::any_of(member.loans.begin(), member.loans.end(),
                       [&](const SampleLoan& loan) { return loan.bookCode == bookCode; });
}

// The refusal of a book the member holds already, to borrow it again or to reserve it.
Outcome heldAlready() {
    return Outcome::refused(3, "You have borrowed this item already.", "คุณยืมรายการนี้อยู่แล้ว");
}

}  // namespace

bool SampleItem::isFree() const {
    return std::any_of(prices.begin(), prices.end(),
                       [](const SamplePrice& p) { return p.method == "FREE"; });
}

Outcome Outcome::done(std::string message, std::string messageTH) {
    return {true, std::move(message), std::move(messageTH), 0};
}

Outcome Outcome::refused(int code, std::string message, std::string messageTH) {
    return {false, std::move(message), std::move(messageTH), code};
}

SampleCatalogue::SampleCatalogue(int64_t now)
    : now_(now != 0 ? now : static_cast<int64_t>(std::time(nullptr))) {
    seed();
}

void SampleCatalogue::seed() {
    categories_ = {
        {"B01",
         "นวนิยาย",
         "Book",
         {{"B01-01", "นวนิยายไทย", "Book", {}}, {"B01-02", "Translated Fiction", "Book", {}}}},
        {"B02", "ธุรกิจและเศรษฐกิจ", "Book", {}},
        {"B03", "Children's Books", "Book", {}},
        {"B04", "ประวัติศาสตร์", "Book", {}},
        {"M01", "สุขภาพและไลฟ์สไตล์", "Magazine", {}},
        {"M02", "Technology", "Magazine", {}},
        {"M03", "ข่าวและหนังสือพิมพ์", "Magazine", {}},
    };

    auto book = [this](std::string code, std::string title, std::string author,
                       std::string publisher, std::string category, std::string language,
                       std::string isbn, int pages, std::vector<SamplePrice> prices, int copies,
                       std::string summary) {
        SampleItem item;
        item.code = std::move(code);
        item.kind = ItemKind::Book;
        item.title = std::move(title);
        item.author = std::move(author);
        item.publisher = std::move(publisher);
        item.categoryCode = std::move(category);
        item.language = std::move(language);
        item.issueDate = "2023/06/01";
        item.isbn = std::move(isbn);
        item.summary = std::move(summary);
        item.pageCount = pages;
        item.fileSize = static_cast<int64_t>(pages) * 48 * 1024;
        item.prices = std::move(prices);
        item.libraryCopies = copies;
        item.sortIndex = static_cast<int>(items_.size());
        itemIndex_[item.code] = items_.size();
        items_.push_back(std::move(item));
    };
    book("BK0001", "ข้างหลังภาพ", "ศรีบูรพา", "สำนักพิมพ์ดอกหญ้า", "B01-01", "th", "9789740000011", 180,
         {free("BK0001-FREE")}, 2, "นวนิยายรักคลาสสิกของไทย เรื่องราวของนพพรและหม่อมราชวงศ์กีรติ");
    book("BK0002", "สี่แผ่นดิน", "ม.ร.ว.คึกฤทธิ์ ปราโมช", "สำนักพิมพ์ดอกหญ้า", "B01-01", "th", "9789740000028",
         640, {inApp(450, "BK0002-INAPP")}, 1, "ชีวิตของแม่พลอยผ่านสี่แผ่นดินแห่งกรุงรัตนโกสินทร์");
    book("BK0003", "The Little Prince", "Antoine de Saint-Exupéry", "Sample House", "B03", "en",
         "9780000000035", 96, {free("BK0003-FREE")}, 3,
         "A pilot stranded in the desert meets a small prince from another planet.");
    book("BK0004", "Thai Economy in Transition", "Somsak Wongsa", "Sample House", "B02", "en",
         "9780000000042", 320, {inApp(199, "BK0004-INAPP")}, 1,
         "How the Thai economy changed over three decades.");
    book("BK0005", "ประวัติศาสตร์กรุงศรีอยุธยา", "วินัย พงศ์ศรีเพียร", "สำนักพิมพ์มติชนตัวอย่าง", "B04", "th",
         "9789740000059", 412, {inApp(320, "BK0005-INAPP")}, 2, "สี่ร้อยปีของราชธานีแห่งลุ่มน้ำเจ้าพระยา");
    book("BK0006", "Pride and Prejudice", "Jane Austen", "Sample Classics", "B01-02", "en",
         "9780000000066", 432, {free("BK0006-FREE")}, 2,
         "Elizabeth Bennet and Mr Darcy, and the trouble with first impressions.");
    book("BK0007", "พ่อรวยสอนลูก", "Robert T. Kiyosaki", "สำนักพิมพ์ซีเอ็ดตัวอย่าง", "B02", "th",
         "9789740000073", 240, {inApp(250, "BK0007-INAPP")}, 0, "ความรู้เรื่องเงินที่โรงเรียนไม่ได้สอน");

    auto title = [this](std::string code, ItemKind kind, std::string name, std::string summary,
                        std::string category, double price, std::string language,
                        std::vector<std::pair<std::string, std::string>> issues, int copies) {
        SampleTitle t;
        t.code = code;
        t.kind = kind;
        t.name = name;
        t.summary = std::move(summary);
        t.categoryCode = category;
        t.price = price;
        t.sortIndex = static_cast<int>(titles_.size());
        for (auto& [issueCode, date] : issues) {
            SampleItem item;
            item.code = issueCode;
            item.kind = kind;
            item.title = name + " " + date.substr(0, 7);
            item.titleCode = code;
            item.publisher = name;
            item.categoryCode = category;
            item.language = language;
            item.issueDate = date;
            item.summary = t.summary;
            item.pageCount = kind == ItemKind::NewspaperIssue ? 24 : 84;
            item.fileSize = static_cast<int64_t>(item.pageCount) * 96 * 1024;
            item.prices = {inApp(price, issueCode + "-INAPP")};
            item.libraryCopies = copies;
            item.sortIndex = static_cast<int>(items_.size());
            itemIndex_[item.code] = items_.size();
            items_.push_back(std::move(item));
            t.issueCodes.push_back(issueCode);
        }
        titles_.push_back(std::move(t));
    };
    title("MG01", ItemKind::MagazineIssue, "สุขภาพดี",
          "นิตยสารสุขภาพรายเดือน อาหาร การออกกำลังกาย และการดูแลใจ", "M01", 79, "th",
          {{"MG01-2401", "2024/01/01"}, {"MG01-2402", "2024/02/01"}, {"MG01-2403", "2024/03/01"}},
          1);
    title("MG02", ItemKind::MagazineIssue, "Tech Today", "Monthly news and reviews of technology.",
          "M02", 120, "en", {{"MG02-2401", "2024/01/15"}, {"MG02-2402", "2024/02/15"}}, 0);
    title("NP01", ItemKind::NewspaperIssue, "ข่าวเช้า", "หนังสือพิมพ์รายวัน ข่าวในประเทศและต่างประเทศ",
          "M03", 20, "th", {{"NP01-240301", "2024/03/01"}, {"NP01-240302", "2024/03/02"}}, 0);
    title("NP02", ItemKind::NewspaperIssue, "Bangkok Daily Herald", "Daily news in English.", "M03",
          30, "en", {{"NP02-240301", "2024/03/01"}}, 0);

    shopGroups_ = {
        {"home", "หน้าแรก", 0, {}, {"new-books", "magazines", "newspapers"}},
        {"new-books", "หนังสือใหม่", 1, {"BK0007", "BK0004", "BK0002", "BK0001"}, {}},
        {"magazines", "Magazines", 2, {"MG01-2403", "MG02-2402"}, {}},
        {"newspapers", "หนังสือพิมพ์", 3, {"NP01-240302", "NP02-240301"}, {}},
    };

    // Sample members.
    for (auto& account : namedAccounts())
        accounts_[key(account.username)] = std::move(account);

    Member& somchai = members_[key("somchai@example.com")];
    somchai.loans.push_back({"LN0001", "BK0001", now_ - 3 * kDay, now_ + 11 * kDay, false});
    somchai.reservations.push_back({"RS0001", "BK0002", now_ - 2 * kDay, now_ + 2 * kDay});
    somchai.history = {{"BK0006", kHistoryBase + 31 * kDay, kHistoryBase + 45 * kDay},
                       {"BK0003", kHistoryBase + 4 * kDay, kHistoryBase + 18 * kDay}};
    somchai.wishlist = {"BK0004"};
    if (const SampleItem* first = findItem("BK0001")) {
        somchai.follows = {{1, first->categoryCode}, {3, first->author}, {4, first->publisher}};
    }
    Member& nok = members_[key("nok@example.com")];
    nok.loans.push_back({"LN0002", "BK0005", now_ - kDay, now_ + 13 * kDay, false});
    nok.history = {{"BK0001", kHistoryBase + 10 * kDay, kHistoryBase + 20 * kDay}};
    nextCode_ = 3;
}

// ---- The catalogue ------------------------------------------------------------------------------

std::vector<SampleCategory> SampleCatalogue::categories(std::string_view type) const {
    std::vector<SampleCategory> out;
    for (const auto& c : categories_) {
        if (c.type == type)
            out.push_back(c);
    }
    return out;
}

const SampleItem* SampleCatalogue::findItem(std::string_view code) const {
    auto it = itemIndex_.find(std::string(code));
    if (it == itemIndex_.end() || items_[it->second].withdrawn)
        return nullptr;
    return &items_[it->second];
}

bool SampleCatalogue::addItem(SampleItem item) {
    std::lock_guard lock(mutex_);
    if (auto it = itemIndex_.find(item.code); it != itemIndex_.end()) {
        if (!items_[it->second].withdrawn)
            return false;
        items_[it->second] = std::move(item);  // a withdrawn code comes back
        return true;
    }
    itemIndex_[item.code] = items_.size();
    items_.push_back(std::move(item));
    return true;
}

bool SampleCatalogue::withdrawItem(std::string_view code) {
    std::lock_guard lock(mutex_);
    auto it = itemIndex_.find(std::string(code));
    if (it == itemIndex_.end() || items_[it->second].withdrawn)
        return false;
    items_[it->second].withdrawn = true;
    return true;
}

bool SampleCatalogue::reviseItem(std::string_view code) {
    std::lock_guard lock(mutex_);
    auto it = itemIndex_.find(std::string(code));
    if (it == itemIndex_.end())
        return false;
    ++items_[it->second].revision;
    return true;
}

bool SampleCatalogue::moveItem(std::string_view code, int sortIndex) {
    std::lock_guard lock(mutex_);
    auto it = itemIndex_.find(std::string(code));
    if (it == itemIndex_.end())
        return false;
    items_[it->second].sortIndex = sortIndex;
    return true;
}

bool SampleCatalogue::setContentVariant(std::string_view code, ContentVariant variant) {
    std::lock_guard lock(mutex_);
    auto it = itemIndex_.find(std::string(code));
    if (it == itemIndex_.end())
        return false;
    items_[it->second].content = variant;
    return true;
}

void SampleCatalogue::generateItems(size_t count, uint32_t seed) {
    static const char* const kThaiWords[] = {"บ้าน",  "ทะเล",   "ดอกไม้", "ฝน",
                                             "ภูเขา", "แสงดาว", "เมือง",  "ความฝัน"};
    static const char* const kEnglishWords[] = {"River",   "Garden",   "Letters", "Winter",
                                                "Harbour", "Lanterns", "Orchard", "Voyage"};
    uint32_t state = seed ? seed : 1;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    std::lock_guard lock(mutex_);
    std::string titleCode;
    int issueNumber = 0;
    for (size_t i = 0; i < count; ++i) {
        const bool thai = next() % 2 == 0;
        const char* word = thai ? kThaiWords[next() % 8] : kEnglishWords[next() % 8];
        SampleItem item;
        const std::string number = std::to_string(100000 + items_.size());
        item.language = thai ? "th" : "en";
        item.libraryCopies = 1 + static_cast<int>(next() % 3);
        item.pageCount = 24 + static_cast<int>(next() % 200);
        item.fileSize = static_cast<int64_t>(item.pageCount) * 96 * 1024;
        item.sortIndex = static_cast<int>(items_.size());
        const int month = 1 + static_cast<int>(next() % 12);
        item.issueDate =
            "2024/" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "/01";
        if (i % 2 == 0) {
            item.code = "GB" + number;
            item.kind = ItemKind::Book;
            item.title = std::string(word) + " " + std::to_string(i / 2 + 1);
            item.author = thai ? "นักเขียน " + std::to_string(next() % 40)
                               : "Author " + std::to_string(next() % 40);
            item.publisher = thai ? "สำนักพิมพ์ตัวอย่าง" : "Sample House";
            item.categoryCode = "B01";
        } else {
            if (issueNumber++ % 12 == 0) {
                titleCode = "GM" + number;
                SampleTitle t;
                t.code = titleCode;
                t.name = std::string(word) + " Monthly";
                t.categoryCode = "M01";
                t.price = 59;
                t.sortIndex = static_cast<int>(titles_.size());
                titles_.push_back(t);
            }
            item.code = "GI" + number;
            item.kind = ItemKind::MagazineIssue;
            item.titleCode = titleCode;
            item.title = std::string(word) + " " + item.issueDate.substr(0, 7);
            item.publisher = item.title;
            item.categoryCode = "M01";
            for (auto& t : titles_) {
                if (t.code == titleCode)
                    t.issueCodes.push_back(item.code);
            }
        }
        item.prices = {{"THB", 0, "FREE", item.code + "-FREE"}};
        itemIndex_[item.code] = items_.size();
        items_.push_back(std::move(item));
    }
}

std::vector<SampleTitle> SampleCatalogue::titles() const {
    std::lock_guard lock(mutex_);
    std::vector<SampleTitle> copy = titles_;
    std::stable_sort(copy.begin(), copy.end(),
                     [](const auto& a, const auto& b) { return a.sortIndex < b.sortIndex; });
    return copy;
}

std::optional<SampleTitle> SampleCatalogue::findTitle(std::string_view code) const {
    std::lock_guard lock(mutex_);
    for (const auto& t : titles_) {
        if (t.code == code)
            return t;
    }
    return std::nullopt;
}

bool SampleCatalogue::addTitle(SampleTitle title) {
    std::lock_guard lock(mutex_);
    for (const auto& t : titles_) {
        if (t.code == title.code)
            return false;
    }
    titles_.push_back(std::move(title));
    return true;
}

bool SampleCatalogue::withdrawTitle(std::string_view code) {
    std::lock_guard lock(mutex_);
    return std::erase_if(titles_, [&](const SampleTitle& t) { return t.code == code; }) > 0;
}

bool SampleCatalogue::reviseTitle(std::string_view code) {
    std::lock_guard lock(mutex_);
    for (auto& t : titles_) {
        if (t.code == code) {
            ++t.revision;
            return true;
        }
    }
    return false;
}

bool SampleCatalogue::moveTitle(std::string_view code, int sortIndex) {
    std::lock_guard lock(mutex_);
    for (auto& t : titles_) {
        if (t.code == code) {
            t.sortIndex = sortIndex;
            return true;
        }
    }
    return false;
}

const SampleShopGroup* SampleCatalogue::findShopGroup(std::string_view id) const {
    for (const auto& g : shopGroups_) {
        if (g.id == id)
            return &g;
    }
    return nullptr;
}

bool SampleCatalogue::inCategory(const SampleItem& item, std::string_view categoryCode) const {
    if (item.categoryCode == categoryCode)
        return true;
    for (const auto& c : categories_) {
        if (c.code != categoryCode)
            continue;
        for (const auto& sub : c.subcategories) {
            if (sub.code == item.categoryCode)
                return true;
        }
    }
    return false;
}

std::vector<const SampleItem*> SampleCatalogue::libraryItems() const {
    std::vector<const SampleItem*> out;
    for (const auto& item : items_) {
        if (item.libraryCopies > 0 && !item.withdrawn)
            out.push_back(&item);
    }
    std::stable_sort(out.begin(), out.end(), [](const SampleItem* a, const SampleItem* b) {
        return a->sortIndex < b->sortIndex;
    });
    return out;
}

int SampleCatalogue::lentCopies(std::string_view bookCode) const {
    int lent = 0;
    for (const auto& [name, m] : members_) {
        for (const auto& loan : m.loans)
            lent += loan.bookCode == bookCode ? 1 : 0;
    }
    return lent;
}

int SampleCatalogue::heldCopies(std::string_view bookCode) const {
    int held = 0;
    for (const auto& [name, m] : members_) {
        for (const auto& r : m.reservations)
            held += r.bookCode == bookCode && r.claimValidUntil >= now_ ? 1 : 0;
    }
    return held;
}

void SampleCatalogue::assignHolds(std::string_view bookCode) {
    const SampleItem* item = findItem(bookCode);
    if (!item)
        return;
    for (auto& [name, m] : members_) {
        std::erase_if(m.reservations, [&](const SampleReservation& r) {
            return r.bookCode == bookCode && r.claimValidUntil != 0 && r.claimValidUntil < now_;
        });
    }
    while (item->libraryCopies - lentCopies(bookCode) - heldCopies(bookCode) > 0) {
        SampleReservation* oldest = nullptr;
        for (auto& [name, m] : members_) {
            for (auto& r : m.reservations) {
                if (r.bookCode == bookCode && r.claimValidUntil == 0 &&
                    (!oldest || r.reserved < oldest->reserved))
                    oldest = &r;
            }
        }
        if (!oldest)
            return;
        oldest->claimValidUntil = now_ + kClaimDays * kDay;
    }
}

int SampleCatalogue::availableCopies(std::string_view bookCode) const {
    const SampleItem* item = findItem(bookCode);
    if (!item)
        return 0;
    std::lock_guard lock(mutex_);
    return std::max(0, item->libraryCopies - lentCopies(bookCode) - heldCopies(bookCode));
}

int SampleCatalogue::reserverCount(std::string_view bookCode) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& [name, m] : members_) {
        for (const auto& r : m.reservations)
            count += r.bookCode == bookCode ? 1 : 0;
    }
    return count;
}

int SampleCatalogue::reserversAhead(std::string_view username, std::string_view bookCode) const {
    std::lock_guard lock(mutex_);
    const Member* self = findMember(username);
    if (!self)
        return 0;
    const auto own =
        std::find_if(self->reservations.begin(), self->reservations.end(),
                     [&](const SampleReservation& r) { return r.bookCode == bookCode; });
    if (own == self->reservations.end())
        return 0;
    int ahead = 0;
    for (const auto& [name, m] : members_) {
        for (const auto& r : m.reservations)
            ahead += r.bookCode == bookCode && r.reserved < own->reserved ? 1 : 0;
    }
    return ahead;
}

// ---- Accounts -----------------------------------------------------------------------------------

std::string SampleCatalogue::key(std::string_view username) {
    std::string out(username);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<SampleAccount> SampleCatalogue::namedAccounts() {
    SampleAccount suspended{
        "suspended@example.com", "suspended-2567", 1, "", "ระงับ", "ชั่วคราว", 1006};
    suspended.suspended = true;
    return {{"somchai@example.com", "rak-an-nangsue", 1, "", "สมชาย", "ใจดี", 1001},
            {"nok@example.com", "nok-2567", 2, "s4lt-nok", "Nok", "Srisuk", 1002},
            {"ploy@example.com", "ploy-pass", 3, "ploy-salt", "พลอย", "แสงทอง", 1003},
            {"tester@example.com", "test1234", 1, "", "Test", "Account", 1004, true},
            {"librarian@example.com", "bannarak", 1, "", "บรรณารักษ์", "ห้องสมุด", 1005, false, true},
            std::move(suspended)};
}

std::optional<SampleAccount> SampleCatalogue::account(std::string_view username) const {
    std::lock_guard lock(mutex_);
    auto it = accounts_.find(key(username));
    if (it == accounts_.end())
        return std::nullopt;
    return it->second;
}

bool SampleCatalogue::addAccount(SampleAccount account) {
    std::lock_guard lock(mutex_);
    const std::string k = key(account.username);
    if (accounts_.count(k))
        return false;
    account.userId = 2000 + static_cast<int>(accounts_.size());
    accounts_.emplace(k, std::move(account));
    return true;
}

bool SampleCatalogue::setPassword(std::string_view username, std::string password) {
    std::lock_guard lock(mutex_);
    auto it = accounts_.find(key(username));
    if (it == accounts_.end())
        return false;
    it->second.password = std::move(password);
    return true;
}

void SampleCatalogue::rememberSessionToken(std::string token, std::string username) {
    std::lock_guard lock(mutex_);
    sessionTokens_[std::move(token)] = std::move(username);
}

std::map<std::string, SampleMemberState> SampleCatalogue::memberStates() const {
    std::lock_guard lock(mutex_);
    return {members_.begin(), members_.end()};
}

int SampleCatalogue::nextCode() const {
    std::lock_guard lock(mutex_);
    return nextCode_;
}

void SampleCatalogue::restoreMemberStates(std::map<std::string, SampleMemberState> states,
                                          int nextCode) {
    std::lock_guard lock(mutex_);
    for (auto& [name, state] : states)
        members_[key(name)] = std::move(state);
    nextCode_ = std::max(nextCode_, nextCode);
}

std::map<std::string, std::string> SampleCatalogue::sessionTokens() const {
    std::lock_guard lock(mutex_);
    return sessionTokens_;
}

std::optional<std::string> SampleCatalogue::userForSessionToken(std::string_view token) const {
    std::lock_guard lock(mutex_);
    auto it = sessionTokens_.find(std::string(token));
    if (it == sessionTokens_.end())
        return std::nullopt;
    return it->second;
}

void SampleCatalogue::keepSession(std::string id, std::string data) {
    std::lock_guard lock(mutex_);
    auto& kept = keptSessions_[std::move(id)];
    kept.data = std::move(data);
    kept.lastUse = ++sessionUses_;
    if (keptSessions_.size() <= kMaxKeptSessions)
        return;
    auto oldest = keptSessions_.begin();
    for (auto it = keptSessions_.begin(); it != keptSessions_.end(); ++it) {
        if (it->second.lastUse < oldest->second.lastUse)
            oldest = it;
    }
    keptSessions_.erase(oldest);
}

std::optional<std::string> SampleCatalogue::keptSession(std::string_view id) const {
    std::lock_guard lock(mutex_);
    const auto it = keptSessions_.find(id);
    if (it == keptSessions_.end())
        return std::nullopt;
    return it->second.data;
}

std::map<std::string, std::string> SampleCatalogue::keptSessions() const {
    std::lock_guard lock(mutex_);
    std::map<std::string, std::string> all;
    for (const auto& [id, kept] : keptSessions_)
        all.emplace(id, kept.data);
    return all;
}

void SampleCatalogue::grantAccessToken(std::string token, std::string username) {
    std::lock_guard lock(mutex_);
    accessTokens_[std::move(token)] = std::move(username);
}

void SampleCatalogue::revokeAccessToken(std::string_view token) {
    std::lock_guard lock(mutex_);
    if (auto it = accessTokens_.find(token); it != accessTokens_.end())
        accessTokens_.erase(it);
}

std::optional<std::string> SampleCatalogue::userForAccessToken(std::string_view token) const {
    std::lock_guard lock(mutex_);
    auto it = accessTokens_.find(token);
    if (it == accessTokens_.end())
        return std::nullopt;
    return it->second;
}

// ---- Member state -------------------------------------------------------------------------------

SampleCatalogue::Member& SampleCatalogue::member(std::string_view username) {
    return members_[key(username)];
}

const SampleCatalogue::Member* SampleCatalogue::findMember(std::string_view username) const {
    auto it = members_.find(key(username));
    return it == members_.end() ? nullptr : &it->second;
}

std::vector<SampleLoan> SampleCatalogue::loans(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->loans : std::vector<SampleLoan>{};
}

std::vector<SampleReservation> SampleCatalogue::reservations(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->reservations : std::vector<SampleReservation>{};
}

std::vector<SampleHistoryEntry> SampleCatalogue::history(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->history : std::vector<SampleHistoryEntry>{};
}

Outcome SampleCatalogue::borrow(std::string_view username, std::string_view bookCode) {
    const SampleItem* item = findItem(bookCode);
    if (!item || item->libraryCopies == 0)
        return Outcome::refused(2, "This item is not in the library.", "ไม่พบรายการนี้ในห้องสมุด");
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    if (holdsBook(m, bookCode))
        return heldAlready();
    if (m.loans.size() >= kLoanLimit)
        return Outcome::refused(3, "You have reached the loan limit.", "คุณยืมครบจำนวนสูงสุดแล้ว");
    assignHolds(bookCode);
    if (item->libraryCopies - lentCopies(bookCode) - heldCopies(bookCode) <= 0)
        return Outcome::refused(3, "No copy is free; you may reserve it.",
                                "ไม่มีสำเนาว่าง กรุณาจองล่วงหน้า");
    const std::string loanCode = "LN" + std::to_string(10000 + nextCode_++);
    m.loans.push_back({loanCode, std::string(bookCode), now_, now_ + kLoanDays * kDay, false});
    return Outcome::done("Borrowed.", "ยืมสำเร็จ");
}

Outcome SampleCatalogue::returnLoan(std::string_view username, std::string_view loanCode) {
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    auto it = std::find_if(m.loans.begin(), m.loans.end(), [&](const SampleLoan& loan) {
        return loan.itemCode == loanCode || loan.bookCode == loanCode;
    });
    if (it == m.loans.end())
        return Outcome::refused(2, "No such loan.", "ไม่พบรายการยืมนี้");
    m.history.insert(m.history.begin(), {it->bookCode, it->borrowed, now_});
    const std::string bookCode = it->bookCode;
    m.loans.erase(it);
    assignHolds(bookCode);  // the copy goes to the oldest reserver for the claim window
    return Outcome::done("Returned.", "คืนสำเร็จ");
}

Outcome SampleCatalogue::extendLoan(std::string_view username, std::string_view loanCode) {
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    for (auto& loan : m.loans) {
        if (loan.itemCode != loanCode && loan.bookCode != loanCode)
            continue;
        if (loan.readNow) {
            loan.due = std::max(loan.due, now_.load()) + kReadNowSeconds;
            return Outcome::done("Extended.", "ขยายเวลาสำเร็จ");
        }
        if (loan.extended)
            return Outcome::refused(3, "This loan was extended already.",
                                    "ขยายเวลายืมได้เพียงครั้งเดียว");
        loan.extended = true;
        loan.due += kExtensionDays * kDay;
        return Outcome::done("Extended.", "ขยายเวลาสำเร็จ");
    }
    return Outcome::refused(2, "No such loan.", "ไม่พบรายการยืมนี้");
}

Outcome SampleCatalogue::reserve(std::string_view username, std::string_view bookCode) {
    const SampleItem* item = findItem(bookCode);
    if (!item || item->libraryCopies == 0)
        return Outcome::refused(2, "This item is not in the library.", "ไม่พบรายการนี้ในห้องสมุด");
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    if (holdsBook(m, bookCode))
        return heldAlready();
    for (const auto& r : m.reservations) {
        if (r.bookCode == bookCode)
            return Outcome::refused(3, "You have reserved this item already.", "คุณจองรายการนี้อยู่แล้ว");
    }
    assignHolds(bookCode);
    if (item->libraryCopies - lentCopies(bookCode) - heldCopies(bookCode) > 0)
        return Outcome::refused(3, "A copy is free; borrow it now.", "มีสำเนาว่าง สามารถยืมได้ทันที");
    const std::string code = "RS" + std::to_string(10000 + nextCode_++);
    m.reservations.push_back({code, std::string(bookCode), now_, 0});
    return Outcome::done("Reserved.", "จองสำเร็จ");
}

Outcome SampleCatalogue::cancelReservation(std::string_view username, std::string_view bookCode) {
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    auto it = std::find_if(m.reservations.begin(), m.reservations.end(),
                           [&](const SampleReservation& r) { return r.bookCode == bookCode; });
    if (it == m.reservations.end())
        return Outcome::refused(2, "No such reservation.", "ไม่พบรายการจองนี้");
    m.reservations.erase(it);
    return Outcome::done("Reservation cancelled.", "ยกเลิกการจองแล้ว");
}

Outcome SampleCatalogue::claimReservation(std::string_view username,
                                          std::string_view reservationCode) {
    std::lock_guard lock(mutex_);
    for (auto& [name, other] : members_) {
        for (const auto& r : std::vector(other.reservations))
            assignHolds(r.bookCode);
    }
    Member& m = member(username);
    auto it =
        std::find_if(m.reservations.begin(), m.reservations.end(), [&](const SampleReservation& r) {
            return r.itemCode == reservationCode || r.bookCode == reservationCode;
        });
    if (it == m.reservations.end())
        return Outcome::refused(2, "No such reservation.", "ไม่พบรายการจองนี้");
    if (it->claimValidUntil == 0 || it->claimValidUntil < now_)
        return Outcome::refused(3, "No copy is held for you yet.", "ยังไม่มีสำเนาสำหรับคุณ");
    const std::string loanCode = "LN" + std::to_string(10000 + nextCode_++);
    m.loans.push_back({loanCode, it->bookCode, now_, now_ + kLoanDays * kDay, false});
    m.reservations.erase(it);
    return Outcome::done("Claimed.", "รับหนังสือที่จองแล้ว");
}

Outcome SampleCatalogue::takeFreeItem(std::string_view username, std::string_view bookCode) {
    const SampleItem* item = findItem(bookCode);
    if (!item)
        return Outcome::refused(2, "No such item.", "ไม่พบรายการนี้");
    if (!item->isFree())
        return Outcome::refused(3, "This item is not free.", "รายการนี้ไม่ใช่รายการฟรี");
    std::lock_guard lock(mutex_);
    member(username).freeItems.insert(std::string(bookCode));
    return Outcome::done("Added to your shelf.", "เพิ่มในชั้นหนังสือแล้ว");
}

Outcome SampleCatalogue::readNow(std::string_view username, std::string_view bookCode,
                                 int64_t seconds) {
    const SampleItem* item = findItem(bookCode);
    if (!item)
        return Outcome::refused(2, "No such item.", "ไม่พบรายการนี้");
    std::lock_guard lock(mutex_);
    Member& m = member(username);
    for (const auto& loan : m.loans) {
        if (loan.bookCode == bookCode)
            return Outcome::done("Ready to read.", "พร้อมอ่าน");
    }
    assignHolds(bookCode);
    if (item->libraryCopies - lentCopies(bookCode) - heldCopies(bookCode) <= 0)
        return Outcome::refused(3, "No copy is free to read now.", "ไม่มีสำเนาว่างให้อ่านทันที");
    const std::string loanCode = "LN" + std::to_string(10000 + nextCode_++);
    m.loans.push_back({loanCode, std::string(bookCode), now_, now_ + seconds, false, true});
    return Outcome::done("Ready to read.", "พร้อมอ่าน");
}

void SampleCatalogue::endOverdueLoans() {
    std::lock_guard lock(mutex_);
    std::set<std::string> freed;
    for (auto& [name, m] : members_) {
        std::erase_if(m.loans, [&](const SampleLoan& loan) {
            if (loan.due > now_)
                return false;
            m.history.insert(m.history.begin(), {loan.bookCode, loan.borrowed, loan.due});
            freed.insert(loan.bookCode);
            return true;
        });
    }
    for (const auto& code : freed)
        assignHolds(code);
}

std::optional<int64_t> SampleCatalogue::earliestDue(std::string_view bookCode) const {
    std::lock_guard lock(mutex_);
    std::optional<int64_t> earliest;
    for (const auto& [name, m] : members_) {
        for (const auto& loan : m.loans) {
            if (loan.bookCode == bookCode && (!earliest || loan.due < *earliest))
                earliest = loan.due;
        }
    }
    return earliest;
}

std::set<std::string> SampleCatalogue::freeItems(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->freeItems : std::set<std::string>{};
}

void SampleCatalogue::takeSample(std::string_view username, std::string_view bookCode) {
    std::lock_guard lock(mutex_);
    member(username).samples.insert(std::string(bookCode));
}

std::set<std::string> SampleCatalogue::samples(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->samples : std::set<std::string>{};
}

bool SampleCatalogue::setFollow(std::string_view username, int type, std::string_view code,
                                bool follow) {
    if (type < 1 || type > 4 || code.empty())
        return false;
    std::lock_guard lock(mutex_);
    auto& follows = member(username).follows;
    const std::pair<int, std::string> entry{type, std::string(code)};
    return follow ? follows.insert(entry).second : follows.erase(entry) > 0;
}

std::vector<std::pair<int, std::string>> SampleCatalogue::follows(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    if (!m)
        return {};
    return {m->follows.begin(), m->follows.end()};
}

bool SampleCatalogue::hasItem(std::string_view username, std::string_view bookCode) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    if (!m)
        return false;
    if (m->freeItems.count(std::string(bookCode)))
        return true;
    return std::any_of(m->loans.begin(), m->loans.end(),
                       [&](const SampleLoan& loan) { return loan.bookCode == bookCode; });
}

std::vector<std::string> SampleCatalogue::transferLoans(std::string_view from,
                                                        std::string_view to) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> moved;
    if (key(from) == key(to))
        return moved;
    Member& source = member(from);
    Member& target = member(to);
    for (auto& loan : source.loans) {
        moved.push_back(loan.bookCode);
        target.loans.push_back(std::move(loan));
    }
    source.loans.clear();
    return moved;
}

bool SampleCatalogue::addToWishlist(std::string_view username, std::string_view code) {
    if (!findItem(code))
        return false;
    std::lock_guard lock(mutex_);
    auto& list = member(username).wishlist;
    if (std::find(list.begin(), list.end(), code) == list.end())
        list.emplace_back(code);
    return true;
}

bool SampleCatalogue::removeFromWishlist(std::string_view username, std::string_view code) {
    std::lock_guard lock(mutex_);
    auto& list = member(username).wishlist;
    auto it = std::find(list.begin(), list.end(), code);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

std::vector<std::string> SampleCatalogue::wishlist(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->wishlist : std::vector<std::string>{};
}

int SampleCatalogue::addBookmark(std::string_view username, SampleBookmark bookmark) {
    std::lock_guard lock(mutex_);
    bookmark.id = nextCode_++;
    member(username).bookmarks.push_back(std::move(bookmark));
    return member(username).bookmarks.back().id;
}

bool SampleCatalogue::removeBookmark(std::string_view username, int bookmarkId) {
    std::lock_guard lock(mutex_);
    auto& list = member(username).bookmarks;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const SampleBookmark& b) { return b.id == bookmarkId; });
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

std::vector<SampleBookmark> SampleCatalogue::bookmarks(std::string_view username) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    return m ? m->bookmarks : std::vector<SampleBookmark>{};
}

void SampleCatalogue::setLastPage(std::string_view username, std::string_view issueCode,
                                  int pageIndex) {
    std::lock_guard lock(mutex_);
    member(username).lastPages[std::string(issueCode)] = pageIndex;
}

std::optional<int> SampleCatalogue::lastPage(std::string_view username,
                                             std::string_view issueCode) const {
    std::lock_guard lock(mutex_);
    const Member* m = findMember(username);
    if (!m)
        return std::nullopt;
    auto it = m->lastPages.find(std::string(issueCode));
    if (it == m->lastPages.end())
        return std::nullopt;
    return it->second;
}

}  // namespace demo
