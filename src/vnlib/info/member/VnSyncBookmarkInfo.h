#pragma once
// Records of the reading-synchronisation service: a bookmark (VnSyncBookmarkInfo) and the last
// page read (VnSyncLastPageInfo) of an issue. Their sync dates travel as "yyyy/MM/dd HH:mm:ss"
// in GMT in both directions.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnSyncBookmarkInfo : public VnInfo {
    PLAT_CLASS(VnSyncBookmarkInfo)
  public:
    std::optional<std::string> issueCode_;
    std::optional<std::string> type_;
    std::optional<std::string> markName_;
    int32_t bookMarkId_ = 0;
    int32_t pageIndex_ = 0;
    int32_t chaperIndex_ = 0;  // chapter index
    int32_t amountPage_ = 0;
    int32_t lastPageIndex_ = 0;
    std::optional<plat::Date> syncLastDate_;

    // The sync date as "yyyy/MM/dd HH:mm:ss" in the machine's time zone; nothing without one.
    std::optional<std::string> createDateString() const;
    // The same text as createDateString.
    std::optional<std::string> syncLastDateString() const { return createDateString(); }

    // The class's "yyyy/MM/dd HH:mm:ss" formatter (GMT), made on first use.
    static const plat::DateFormatter& dateFormatter();

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
};

class VnSyncLastPageInfo : public VnInfo {
    PLAT_CLASS(VnSyncLastPageInfo)
  public:
    std::optional<std::string> issueCode_;
    std::optional<std::string> type_;
    int32_t lastPageIndex_ = 0;
    std::optional<plat::Date> syncLastDate_;

    // The sync date as "dd/MM/yyyy" in the machine's time zone; nothing without one.
    std::optional<std::string> createDateString() const;
    // The same text as createDateString.
    std::optional<std::string> syncLastDateString() const { return createDateString(); }

    static const plat::DateFormatter& dateFormatter();

    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
};
