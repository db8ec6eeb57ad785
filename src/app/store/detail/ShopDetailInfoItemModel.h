#pragma once
// ShopDetailInfoItemModel: what the item information row shows, apart from its widgets: the
// texts (names, rank, categories, publisher, availability, member-only note, format) and which
// of the ten action groups are shown. The row's widgets render it; the rules that fill it from
// an item's record and from the member's library and reservations live here.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

class VnMagazineInfo;
class VnMagazineIssueInfo;

enum class InfoItemGroup : size_t {
    BuyNow,
    GetSample,
    View,
    ReadNow,
    Preview,
    Borrow,
    Cancel,
    Return,
    Reserve,
    Free,
};
inline constexpr size_t kInfoItemGroupCount = 10;

struct ShopDetailInfoItemModel {
    std::string magazineName, issueName, publisher;
    std::string rank, category, category2, type, digitalPrice, subscription;
    std::array<bool, kInfoItemGroupCount> shown{};  // all hidden

    bool isShown(InfoItemGroup group) const { return shown[static_cast<size_t>(group)]; }
    void show(InfoItemGroup group, bool on = true) { shown[static_cast<size_t>(group)] = on; }
    void hide(InfoItemGroup group) { show(group, false); }

    // The title and second line: a book's name and author, or the magazine's name and the
    // issue's name.
    void fillNames(const VnMagazineInfo* magazine, const VnMagazineIssueInfo& item, bool isBook);
    // The texts and the groups that follow from the item's record.
    void reloadDetail(const VnMagazineIssueInfo& item);
    // The groups of an item the member holds.
    void showHeld();
    // The groups of an item the member does not hold, before the reservations answer.
    void showNotHeld(bool isBook);
    // The groups once the reservations list this item.
    void showReserved();
};

// The texts, with ranks written with the locale's grouping separators.
std::string overallRankText(int rank);
std::string categoryText(const std::optional<std::string>& name, int rank, const char* missing);
std::string availabilityText(const VnMagazineIssueInfo& item);
std::string formatText(const VnMagazineIssueInfo& item);
