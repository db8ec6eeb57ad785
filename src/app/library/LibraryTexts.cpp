#include "app/library/LibraryTexts.h"

#include <cstdint>

#include "platform/core/DateFormatter.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/member/VnBorrowHistoryInfo.h"
#include "vnlib/info/member/VnReserveItemInfo.h"

namespace {

std::string text(const std::optional<std::string>& value) {
    return value.value_or(std::string());
}

// "dd/MM/yyyy" in the machine's time zone (the reservation dates are local midnights).
std::string dayText(const std::optional<plat::Date>& date) {
    if (!date)
        return {};
    static const plat::DateFormatter formatter("dd/MM/yyyy", plat::TimeZone::local());
    return formatter.stringFromDate(*date);
}

bool isBookType(const VnReserveItemInfo& info) {
    return info.itemType_ && *info.itemType_ == "Book";
}

std::string reserveTitle(const VnReserveItemInfo& info) {
    if (isBookType(info))
        return text(info.name_);
    return text(info.descriptionText_) + " - " + text(info.name_);
}

}  // namespace

ShelfCellTexts shelfCellTexts(const VnMagazineIssueInfo& item, bool isBook) {
    ShelfCellTexts texts;
    texts.title = isBook ? text(item.issueName()) : text(item.magazineName());
    texts.description = isBook ? std::string() : text(item.issueName());
    if (!item.isSample_) {
        texts.dueDate = "กำหนดคืน : " + text(item.dueDate_);
    } else {
        texts.description.clear();
        texts.dueDate = "หนังสือตัวอย่าง";
    }
    return texts;
}

std::string claimNoticeListText(const std::vector<Ref<VnReserveItemInfo>>& items) {
    std::string list;
    for (const auto& item : items) {
        if (item)
            list += "\n" + reserveTitle(*item);
    }
    return list;
}

std::string claimNoticeMessage(const std::string& listText) {
    return "คุณได้รับหนังสือที่จองแล้ว\nชื่อเรื่อง : " + listText + "\nดูหนังสือที่ได้รับในเมนู \"คิวการจองหนังสือ\"";
}

std::string borrowRowTitle(const VnBorrowHistoryInfo& info) {
    return text(info.bookHeaderName_) + " - " + text(info.bookName_);
}

std::string borrowRowReturnLine(const VnBorrowHistoryInfo& info) {
    return "คืนวันที่ " + text(info.returnDateString());
}

std::string reserveRowTitle(const VnReserveItemInfo& info) {
    return reserveTitle(info);
}

std::string reserveRowDetail(const VnReserveItemInfo& info) {
    return text(info.itemType_);
}

std::string reserveRowQueueLine(const VnReserveItemInfo& info) {
    if (info.isClaimable_)
        return "ภายในวันที่ " + dayText(info.claimValidDateValue());
    // The member's own place: those ahead plus one, without overflow at the top of the range.
    const int64_t place = static_cast<int64_t>(info.remainingPeople_) + 1;
    return "คิวที่ " + std::to_string(place) + " , ไม่เกินวันที่ " + dayText(info.returnDateValue());
}
