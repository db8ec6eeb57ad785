#pragma once
// The library screens' texts, as plain functions of the records, so that what a cell or a row
// shows can be checked without a view. A missing value shows as the empty string.
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Ref.h"

class VnBorrowHistoryInfo;
class VnMagazineIssueInfo;
class VnReserveItemInfo;

// A shelf cell's three lines.
struct ShelfCellTexts {
    std::string title;
    std::string description;
    std::string dueDate;
};
ShelfCellTexts shelfCellTexts(const VnMagazineIssueInfo& item, bool isBook);

// The list of reserved items ready to claim: each item on a line of its own after a line break;
// a book by its name, anything else as "description - name".
std::string claimNoticeListText(const std::vector<Ref<VnReserveItemInfo>>& items);
// The notice's three lines around that list.
std::string claimNoticeMessage(const std::string& listText);

// A history row: "series - name" and "คืนวันที่ <return date>".
std::string borrowRowTitle(const VnBorrowHistoryInfo& info);
std::string borrowRowReturnLine(const VnBorrowHistoryInfo& info);

// A reservation row: the title, the item type, and the claim or queue line.
std::string reserveRowTitle(const VnReserveItemInfo& info);
std::string reserveRowDetail(const VnReserveItemInfo& info);
std::string reserveRowQueueLine(const VnReserveItemInfo& info);

// The text of a failed lending action that has no message of the service's, and of an issue
// whose download failed. It stays in English: the program's alerts word a failed connection so
// (the sign-in's too) and have no Thai wording for it.
inline constexpr const char* kConnectionErrorText = "Connection error. Please try again.";
// The text for an item whose formats the reader cannot show (EPUB text only).
inline constexpr const char* kUnreadableFormatText =
    "รายการนี้เปิดอ่านในโปรแกรมนี้ไม่ได้ (มีเฉพาะรูปแบบ EPUB)";
