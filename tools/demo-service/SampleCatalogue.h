#pragma once
// demo::SampleCatalogue: the seeded sample library behind the demo service, in one place: books,
// magazines and newspapers with their issues (Thai and English titles), prices, categories,
// store-front groups, member accounts, and each member's loans, reservations, borrow history,
// wish list and reading marks. The catalogue itself is fixed once made; accounts and member state
// change through the operations below. Every member function is thread-safe.
//
//   demo::SampleCatalogue catalogue;
//   const demo::SampleItem* book = catalogue.findItem("BK0001");
//   auto outcome = catalogue.borrow("somchai@example.com", "BK0001");
//
// Times are seconds since 1970 (UTC). Member state is keyed by the account's user name compared
// without ASCII case.
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace demo {

enum class ItemKind { Book, MagazineIssue, NewspaperIssue };

// How an item's content is served, for tests: sound (the rendering metadata as an XML or binary
// property list) or broken on purpose.
enum class ContentVariant {
    Xml,
    Binary,
    TruncatedBinary,  // a binary property list cut short
    PagesAsList,      // "Pages" a list instead of a dictionary
    WrongTypes,       // pages, insets, alignments, names of the wrong types; missing keys
    Hostile,          // negative sizes, page keys out of range, file ids naming other folders;
                      // page lists and asset locations with the same faults
    HostileWidgets,   // widget descriptions broken on purpose (DemoWidgets.h)
    HostileMedia,     // media widgets over broken files, hostile patterns and links (DemoMedia.h)
};

// The text the services give an item kind: "Book", "Magazine" or "Newspaper".
constexpr const char* itemKindName(ItemKind kind) {
    switch (kind) {
        case ItemKind::Book:
            return "Book";
        case ItemKind::MagazineIssue:
            return "Magazine";
        case ItemKind::NewspaperIssue:
            return "Newspaper";
    }
    return "Book";
}

struct SamplePrice {
    std::string currency = "THB";
    double price = 0;
    std::string method = "FREE";  // "FREE", "INAPP"
    std::string purchaseCode;
};

struct SampleCategory {
    std::string code;
    std::string name;
    std::string type;  // "Book" or "Magazine"
    std::vector<SampleCategory> subcategories;
};

// A book, or an issue of a magazine or newspaper title.
struct SampleItem {
    std::string code;
    ItemKind kind = ItemKind::Book;
    std::string title;
    std::string titleCode;  // the magazine or newspaper title; empty for books
    std::string author;
    std::string publisher;
    std::string categoryCode;
    std::string language;   // "th" or "en"
    std::string issueDate;  // "yyyy/MM/dd"
    std::string isbn;
    std::string summary;
    int pageCount = 0;
    int64_t fileSize = 0;
    std::vector<SamplePrice> prices;
    int libraryCopies = 0;  // 0: not lent by the library
    int sortIndex = 0;
    int revision = 1;        // bumped when the record changes
    bool withdrawn = false;  // taken out of the catalogue (kept so that references stay valid)
    bool withoutParentCode = false;  // an issue the store lists without its title's code
    ContentVariant content = ContentVariant::Xml;
    // Reader switches (DemoReaderContent.h): damaged source pages 2 to 5, pages without
    // "PageName", page files of about this many bytes (0: some 40 KB).
    bool damagedPages = false;
    bool withoutPageNames = false;
    int64_t pageBytes = 0;
    // Offered as EPUB text only, without pages (the reader cannot open it).
    bool epubOnly = false;

    bool isFree() const;
    // The content formats the services list ("SupportedMediaFormats"): PDF and page images, or
    // EPUB alone.
    std::vector<int> mediaFormats() const {
        return epubOnly ? std::vector<int>{3} : std::vector<int>{0, 1};
    }
    // The content hash the services report: "<code>-r<revision>".
    std::string hash() const { return code + "-r" + std::to_string(revision); }
    // The magazine or newspaper title of an issue; a book is its own series.
    const std::string& headCode() const { return titleCode.empty() ? code : titleCode; }
};

// A magazine or newspaper title with its issues, newest last.
struct SampleTitle {
    std::string code;
    ItemKind kind = ItemKind::MagazineIssue;
    std::string name;
    std::string summary;
    std::string categoryCode;
    double price = 0;
    std::vector<std::string> issueCodes;
    int sortIndex = 0;
    int revision = 1;  // bumped when the title's record changes

    // The content hash the services report: "<code>-r<revision>".
    std::string hash() const { return code + "-r" + std::to_string(revision); }
};

// A store-front group: a titled list of items, or of further groups.
struct SampleShopGroup {
    std::string id;
    std::string title;
    int type = 0;
    std::vector<std::string> itemCodes;
    std::vector<std::string> subgroupIds;
};

struct SampleAccount {
    std::string username;
    std::string password;  // kept in clear: this is sample data
    int method = 1;        // 1 standard, 2 MD5, any other: salted standard
    std::string salt;
    std::string firstName;
    std::string lastName;
    int userId = 0;
    bool isTestAccount = false;
    bool isLibrarian = false;  // may sign in for other members
    bool suspended = false;    // the library refuses its sign-ins with a message of its own
};

struct SampleLoan {
    std::string itemCode;  // the loan's own code
    std::string bookCode;
    int64_t borrowed = 0;
    int64_t due = 0;
    bool extended = false;
    bool readNow = false;  // a short loan taken to read at once; each extension lengthens it
};

struct SampleReservation {
    std::string itemCode;  // the reservation's own code
    std::string bookCode;
    int64_t reserved = 0;
    int64_t claimValidUntil = 0;  // 0 until a copy is held for the member
};

struct SampleHistoryEntry {
    std::string bookCode;
    int64_t borrowed = 0;
    int64_t returned = 0;
};

struct SampleBookmark {
    int id = 0;
    std::string issueCode;
    std::string markName;
    int pageIndex = 0;
    int chapterIndex = 0;
    int amountPage = 0;
};

// What a member did: loans, reservations, history and the rest, kept by member.
struct SampleMemberState {
    std::vector<SampleLoan> loans;
    std::vector<SampleReservation> reservations;
    std::vector<SampleHistoryEntry> history;
    std::set<std::string> freeItems;
    std::set<std::string> samples;
    std::vector<std::string> wishlist;
    std::vector<SampleBookmark> bookmarks;
    std::map<std::string, int> lastPages;
    std::set<std::pair<int, std::string>> follows;
};

// The outcome of a member operation, as the service reports it.
struct Outcome {
    bool success = false;
    std::string message;
    std::string messageTH;
    int resultCode = 0;  // 0 done; 1 not signed in; 2 unknown item; 3 refused

    static Outcome done(std::string message, std::string messageTH);
    static Outcome refused(int code, std::string message, std::string messageTH);
};

class SampleCatalogue {
  public:
    static constexpr int kLoanDays = 14;
    static constexpr int kExtensionDays = 7;
    static constexpr size_t kLoanLimit = 5;

    // Seeds the catalogue; member loans are dated relative to `now` (the current time when 0).
    explicit SampleCatalogue(int64_t now = 0);

    // ---- The catalogue (fixed) ----
    // Every item ever listed, withdrawn ones included (skip them); references stay valid while
    // items are added.
    const std::deque<SampleItem>& items() const { return items_; }
    // A copy, in sort-index order: titles change while the service runs.
    std::vector<SampleTitle> titles() const;
    // Categories of "Book" or "Magazine".
    std::vector<SampleCategory> categories(std::string_view type) const;
    const SampleItem* findItem(std::string_view code) const;
    std::optional<SampleTitle> findTitle(std::string_view code) const;
    // Run-time changes of the title list, for tests: a new title (false when its code is
    // taken), a withdrawn one, a revised record (new hash), a new position.
    bool addTitle(SampleTitle title);
    bool withdrawTitle(std::string_view code);
    bool reviseTitle(std::string_view code);
    bool moveTitle(std::string_view code, int sortIndex);
    const SampleShopGroup* findShopGroup(std::string_view id) const;
    // Whether the item lies in the category or one of its subcategories.
    bool inCategory(const SampleItem& item, std::string_view categoryCode) const;
    // Books and issues that the library lends.
    std::vector<const SampleItem*> libraryItems() const;
    // Run-time changes of the item list, for tests; make them between requests. A new item
    // (false when its code is taken), a withdrawn one, a revised record (new hash), a position.
    bool addItem(SampleItem item);
    bool withdrawItem(std::string_view code);
    bool reviseItem(std::string_view code);
    bool moveItem(std::string_view code, int sortIndex);
    bool setContentVariant(std::string_view code, ContentVariant variant);
    // Adds `count` generated library items (books and issues of generated magazines, Thai and
    // English titles, in turn), the same for the same seed.
    void generateItems(size_t count, uint32_t seed);
    // Library copies not lent out right now.
    int availableCopies(std::string_view bookCode) const;
    int reserverCount(std::string_view bookCode) const;
    // Members whose reservation of the item is older than the member's own.
    int reserversAhead(std::string_view username, std::string_view bookCode) const;
    int64_t now() const { return now_.load(); }
    // Moves the service's clock (loan dates, claim windows) forward.
    void advanceClock(int64_t seconds) { now_ += seconds; }
    static constexpr int kClaimDays = 2;

    // ---- Accounts ----
    // The demo's named members, which every catalogue starts with (V2WebMethods.h lists them).
    static std::vector<SampleAccount> namedAccounts();
    std::optional<SampleAccount> account(std::string_view username) const;
    // False when the user name is taken.
    bool addAccount(SampleAccount account);
    bool setPassword(std::string_view username, std::string password);
    // The user name that a session token of a past sign-in belongs to.
    void rememberSessionToken(std::string token, std::string username);
    std::optional<std::string> userForSessionToken(std::string_view token) const;
    // Every remembered session token with its user name.
    std::map<std::string, std::string> sessionTokens() const;
    // The version-2 service's sessions, each with its data as JSON text, kept here so that the
    // service knows them again after a restart (the state file keeps them too). At most
    // kMaxKeptSessions: beyond that the one used longest ago is forgotten.
    static constexpr size_t kMaxKeptSessions = 4096;
    void keepSession(std::string id, std::string data);
    std::optional<std::string> keptSession(std::string_view id) const;
    std::map<std::string, std::string> keptSessions() const;
    // Single-sign-on access tokens that sign their member in, until revoked.
    void grantAccessToken(std::string token, std::string username);
    void revokeAccessToken(std::string_view token);
    std::optional<std::string> userForAccessToken(std::string_view token) const;

    // ---- Member state ----
    std::vector<SampleLoan> loans(std::string_view username) const;
    std::vector<SampleReservation> reservations(std::string_view username) const;
    // Newest first.
    std::vector<SampleHistoryEntry> history(std::string_view username) const;
    Outcome borrow(std::string_view username, std::string_view bookCode);
    Outcome returnLoan(std::string_view username, std::string_view loanCode);
    Outcome extendLoan(std::string_view username, std::string_view loanCode);
    // A book the member holds (borrowed, claimed or read now) is refused as a second loan is.
    Outcome reserve(std::string_view username, std::string_view bookCode);
    Outcome cancelReservation(std::string_view username, std::string_view bookCode);
    Outcome claimReservation(std::string_view username, std::string_view reservationCode);
    // Free items a member has taken.
    Outcome takeFreeItem(std::string_view username, std::string_view bookCode);
    // A read-now loan of `seconds` on the service's clock, when a copy is free.
    static constexpr int kReadNowSeconds = 15 * 60;
    Outcome readNow(std::string_view username, std::string_view bookCode,
                    int64_t seconds = kReadNowSeconds);
    // Ends every loan whose due time has passed on the service's clock.
    void endOverdueLoans();
    // The earliest due time among the loans of the item; none while nobody has it.
    std::optional<int64_t> earliestDue(std::string_view bookCode) const;
    // Free items and samples a member holds.
    std::set<std::string> freeItems(std::string_view username) const;
    void takeSample(std::string_view username, std::string_view bookCode);
    std::set<std::string> samples(std::string_view username) const;
    bool hasItem(std::string_view username, std::string_view bookCode) const;
    // Follows of a member: follow type (1 book category, 2 magazine category, 3 author,
    // 4 publisher) and code. False when the type is not one of the four or nothing changed.
    bool setFollow(std::string_view username, int type, std::string_view code, bool follow);
    std::vector<std::pair<int, std::string>> follows(std::string_view username) const;
    // Moves every loan of one member to another; answers the moved book codes.
    std::vector<std::string> transferLoans(std::string_view from, std::string_view to);

    bool addToWishlist(std::string_view username, std::string_view code);
    bool removeFromWishlist(std::string_view username, std::string_view code);
    std::vector<std::string> wishlist(std::string_view username) const;
    int addBookmark(std::string_view username, SampleBookmark bookmark);
    bool removeBookmark(std::string_view username, int bookmarkId);
    std::vector<SampleBookmark> bookmarks(std::string_view username) const;
    void setLastPage(std::string_view username, std::string_view issueCode, int pageIndex);
    std::optional<int> lastPage(std::string_view username, std::string_view issueCode) const;

    // ---- What a restart keeps ----
    // Every member's state, under the member's key, and the next code to hand out.
    std::map<std::string, SampleMemberState> memberStates() const;
    int nextCode() const;
    // Replaces the state of the members named (others keep theirs); codes handed out from now on
    // follow both the kept ones and nextCode.
    void restoreMemberStates(std::map<std::string, SampleMemberState> states, int nextCode);

  private:
    using Member = SampleMemberState;
    static std::string key(std::string_view username);
    Member& member(std::string_view username);
    const Member* findMember(std::string_view username) const;
    int lentCopies(std::string_view bookCode) const;
    // Copies held for reservers whose claim window is open.
    int heldCopies(std::string_view bookCode) const;
    // Drops reservations whose claim window closed, then holds free copies for the oldest
    // waiting reservers. With the mutex held.
    void assignHolds(std::string_view bookCode);
    void seed();

    std::atomic<int64_t> now_;
    std::deque<SampleItem> items_;
    std::unordered_map<std::string, size_t> itemIndex_;  // code -> position in items_
    std::vector<SampleTitle> titles_;
    std::vector<SampleCategory> categories_;
    std::vector<SampleShopGroup> shopGroups_;

    mutable std::mutex mutex_;
    std::map<std::string, SampleAccount> accounts_;
    std::map<std::string, Member> members_;
    std::map<std::string, std::string> sessionTokens_;
    struct KeptSession {
        std::string data;
        uint64_t lastUse = 0;
    };
    std::map<std::string, KeptSession, std::less<>> keptSessions_;
    uint64_t sessionUses_ = 0;
    std::map<std::string, std::string, std::less<>> accessTokens_;
    int nextCode_ = 1;
};

}  // namespace demo
