#pragma once
// VnBorrowHistoryInfo: one past or current loan of the member. The loan and return dates come
// both as server dates and as "dd/MM/yy HH:mm" texts; a text that reads as a date sets the
// matching date value.
#include <functional>
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnBorrowHistoryInfo : public VnInfo {
    PLAT_CLASS(VnBorrowHistoryInfo)
  public:
    std::optional<std::string> bookCode_;
    std::optional<std::string> bookName_;
    std::optional<std::string> bookType_;
    std::optional<std::string> bookHeaderName_;  // series name
    std::optional<plat::Date> borrowDateValue_;
    std::optional<plat::Date> returnDateValue_;

    const std::optional<std::string>& borrowDateStr() const { return borrowDateStr_; }
    // Stores the text and sets borrowDateValue to its date (nothing when it does not read).
    void setBorrowDateStr(std::optional<std::string> text);
    const std::optional<std::string>& returnDateString() const { return returnDateString_; }
    // Stores the text and sets returnDateValue to its date (nothing when it does not read).
    void setReturnDateString(std::optional<std::string> text);

    const std::optional<plat::Date>& borrowDate() const { return borrowDateValue_; }
    const std::optional<plat::Date>& returnDate() const { return returnDateValue_; }

    // The date of a "dd/MM/yy HH:mm" text: Gregorian, Latin digits, in the machine's current
    // time zone; the two-digit year falls in the hundred years that start 80 years before `now`
    // (the real clock when not given). Nothing for nothing or text that does not match.
    static std::optional<plat::Date> dateFromLoanText(const std::optional<std::string>& text,
                                                      std::function<plat::Date()> now = {});

    // Settles each date once every property is loaded: the text's date when it reads, else
    // the server date sent beside it.
    void additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) override;

  private:
    std::optional<std::string> borrowDateStr_;
    std::optional<std::string> returnDateString_;
};
