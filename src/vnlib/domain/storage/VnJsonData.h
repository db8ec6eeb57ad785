#pragma once
// Row classes of the object stores. VnJsonData keeps a record as its code and JSON text (its
// dictionary view written compactly) and decodes the record on first use, once per row object
// (VnJsonData decodes to VnInfo, VnJsonMagazineIssueInfoData to VnMagazineIssueInfo).
// VnUserBookmarkData is one bookmark; its integer attributes are 0 unless set, and a new row gets
// the current date as createDate.
#include <optional>
#include <string>

#include "platform/storage/ObjectStore.h"
#include "vnlib/info/VnInfo.h"

class VnJsonData : public plat::ManagedObject {
    PLAT_CLASS(VnJsonData)
  public:
    // The row's attributes.
    static constexpr const char* kCodeAttribute = "code";
    static constexpr const char* kJsonStringAttribute = "jsonString";

    std::optional<std::string> code() const;
    void setCode(const std::optional<std::string>& code);
    std::optional<std::string> jsonString() const;
    void setJsonString(const std::optional<std::string>& json);
    // The same, keeping the text given instead of a copy of it.
    void setJsonString(std::optional<std::string>&& json);

    virtual const plat::Class& _infoClass() const { return VnInfo::classObject(); }
    const plat::Class& infoClass() const { return _infoClass(); }
    // The record, decoded from the JSON text on first use and kept; text that does not parse
    // gives a record loaded from an empty dictionary.
    Ref<VnInfo> info();

  private:
    Ref<VnInfo> info_;
};

class VnJsonMagazineIssueInfoData : public VnJsonData {
    PLAT_CLASS(VnJsonMagazineIssueInfoData)
  public:
    const plat::Class& _infoClass() const override;
};

class VnUserBookmarkData : public plat::ManagedObject {
    PLAT_CLASS(VnUserBookmarkData)
  public:
    void setPrimitiveIntValue(int32_t value, const std::string& key);
    int32_t primitiveIntValueForKey(const std::string& key) const;

    int32_t bookmarkId() const { return primitiveIntValueForKey("bookmarkId"); }
    int32_t pageIndex() const { return primitiveIntValueForKey("pageIndex"); }
    int32_t epubTotalPages() const { return primitiveIntValueForKey("epubTotalPages"); }
    int32_t epubSection() const { return primitiveIntValueForKey("epubSection"); }
    int32_t epubSectionPageIndex() const { return primitiveIntValueForKey("epubSectionPageIndex"); }
    int32_t epubSectionPageCount() const { return primitiveIntValueForKey("epubSectionPageCount"); }
    void setBookmarkId(int32_t v) { setPrimitiveIntValue(v, "bookmarkId"); }
    void setPageIndex(int32_t v) { setPrimitiveIntValue(v, "pageIndex"); }
    void setEpubSection(int32_t v) { setPrimitiveIntValue(v, "epubSection"); }
    void setEpubSectionPageIndex(int32_t v) { setPrimitiveIntValue(v, "epubSectionPageIndex"); }
    void setEpubSectionPageCount(int32_t v) { setPrimitiveIntValue(v, "epubSectionPageCount"); }
    void setEpubTotalPages(int32_t v) { setPrimitiveIntValue(v, "epubTotalPages"); }

    std::optional<std::string> title() const { return text("title"); }
    void setTitle(const std::optional<std::string>& v) { setText(v, "title"); }
    std::optional<std::string> issueCode() const { return text("issueCode"); }
    void setIssueCode(const std::optional<std::string>& v) { setText(v, "issueCode"); }
    std::optional<std::string> pageName() const { return text("pageName"); }
    void setPageName(const std::optional<std::string>& v) { setText(v, "pageName"); }
    std::optional<plat::Date> createDate() const;
    void setCreateDate(const std::optional<plat::Date>& date);

    void awakeFromInsert() override;

  private:
    std::optional<std::string> text(const char* key) const;
    void setText(const std::optional<std::string>& value, const char* key);
};
