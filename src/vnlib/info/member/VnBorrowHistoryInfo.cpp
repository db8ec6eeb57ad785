#include "vnlib/info/member/VnBorrowHistoryInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnBorrowHistoryInfo, VnInfo, [](auto& c) {
    c.property("bookCode", "T@\"NSString\",C,N,VbookCode_", &VnBorrowHistoryInfo::bookCode_)
        .property("bookName", "T@\"NSString\",C,N,VbookName_", &VnBorrowHistoryInfo::bookName_)
        .property("bookType", "T@\"NSString\",C,N,VbookType_", &VnBorrowHistoryInfo::bookType_)
        .property("bookHeaderName", "T@\"NSString\",C,N,VbookHeaderName_",
                  &VnBorrowHistoryInfo::bookHeaderName_)
        .property("borrowDateValue", "T@\"NSDate\",&,N,VborrowDateValue_",
                  &VnBorrowHistoryInfo::borrowDateValue_)
        .property("returnDateValue", "T@\"NSDate\",&,N,VreturnDateValue_",
                  &VnBorrowHistoryInfo::returnDateValue_)
        .property("borrowDateStr", "T@\"NSString\",C,N,VborrowDateStr_",
                  &VnBorrowHistoryInfo::borrowDateStr, &VnBorrowHistoryInfo::setBorrowDateStr)
        .property("returnDateString", "T@\"NSString\",C,N,VreturnDateString_",
                  &VnBorrowHistoryInfo::returnDateString,
                  &VnBorrowHistoryInfo::setReturnDateString);
})

namespace {

// A pair of a text and a date value for the same instant: the text's date wins when it reads;
// otherwise the server date under the value's key stays. Without the text key nothing changes.
void settle(const plat::Dictionary& dictionary, const char* textKey, const char* valueKey,
            const std::optional<std::string>& text, std::optional<plat::Date>& value) {
    if (dictionary.objectForKey(textKey).isNil())
        return;
    if (auto date = VnBorrowHistoryInfo::dateFromLoanText(text)) {
        value = date;
        return;
    }
    const std::string* server = dictionary.objectForKey(valueKey).string();
    value = server ? VnInfoBase::dateFromShortStyleString(*server) : std::nullopt;
}

}  // namespace

std::optional<plat::Date> VnBorrowHistoryInfo::dateFromLoanText(
    const std::optional<std::string>& text, std::function<plat::Date()> now) {
    if (!text)
        return std::nullopt;
    // Time zone: the machine's current one (unlike the server's other dates, which are GMT).
    plat::DateFormatter formatter("dd/MM/yy HH:mm", plat::TimeZone::local());
    if (now)
        formatter.setReferenceNow(std::move(now));
    return formatter.dateFromString(*text);
}

void VnBorrowHistoryInfo::setBorrowDateStr(std::optional<std::string> text) {
    borrowDateValue_ = dateFromLoanText(text);
    borrowDateStr_ = std::move(text);
}

void VnBorrowHistoryInfo::setReturnDateString(std::optional<std::string> text) {
    returnDateValue_ = dateFromLoanText(text);
    returnDateString_ = std::move(text);
}

void VnBorrowHistoryInfo::additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) {
    VnInfo::additionalLoadFromDictionary(dictionary);
    settle(*dictionary, "BorrowDateStr", "BorrowDateValue", borrowDateStr_, borrowDateValue_);
    settle(*dictionary, "ReturnDateString", "ReturnDateValue", returnDateString_, returnDateValue_);
}
