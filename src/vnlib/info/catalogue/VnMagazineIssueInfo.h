#pragma once
// VnMagazineIssueInfo: an item of the catalogue (a book, a magazine issue or a newspaper issue),
// as the listing, lookup and lending calls answer it and as the local library keeps it. Besides
// the service's fields it carries sorting tokens for names and issue dates, its kind (from
// "Type"), the content formats it is offered in ("SupportedMediaFormats") and a few fields of
// local reading state. Issue and sale dates travel as "yyyy/MM/dd", the return date as
// "ddMMyyyy".
// VnBookDetail: the same record, as the book-detail call answers it.
// VnMagazineIssueInfoGroup: a named group of items.
#include <memory>
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"

class VnMagazineIssueInfo : public VnInfoWithCover {
    PLAT_CLASS(VnMagazineIssueInfo)
  public:
    // No prices, currency "THB", content formats [1] (page images).
    VnMagazineIssueInfo();

    // ---- Properties with behaviour ----
    const std::optional<std::string>& magazineName() const { return magazineName_; }
    void setMagazineName(std::optional<std::string> name) { magazineName_ = std::move(name); }
    // The names' sorting tokens (nameSortingToken), worked out when read: few readers ask, and
    // a list of thousands of records need not hold them.
    std::optional<std::string> magazineNameSortingToken() const;
    const std::optional<std::string>& issueName() const { return issueName_; }
    void setIssueName(std::optional<std::string> name) { issueName_ = std::move(name); }
    std::optional<std::string> issueNameSortingToken() const;
    const std::optional<std::string>& parentCode() const { return parentCode_; }
    // An empty code is kept as none; any change drops the issue-date sorting token.
    void setParentCode(std::optional<std::string> code);
    const std::optional<plat::Date>& issueDate() const { return issueDate_; }
    void setIssueDate(std::optional<plat::Date> date);
    // The issue date, pushed 60 seconds later for an item without a parent code, so that among
    // items of one date those belonging to a title come first. Worked out on first read.
    std::optional<plat::Date> issueDateSortingToken() const;
    // 0 for a magazine issue ("Type" is "Magazine"), 1 for anything else. Setting it changes
    // nothing: the kind always follows the type.
    int32_t bookKind() const;
    void setBookKind(int32_t) {}
    // "THB" while no currency text is held.
    std::optional<std::string> printListPriceCurrency() const;
    void setPrintListPriceCurrency(std::optional<std::string> currency) {
        printListPriceCurrency_ = std::move(currency);
    }
    const std::optional<std::string>& returnDate() const {
        return seldom<std::string, &Seldom::returnDate>();
    }
    // Also sets returnDateValue from the "ddMMyyyy" text (none when it is not such a day).
    void setReturnDate(std::optional<std::string> text);
    // EPUB when offered, else page images.
    int32_t defaultFormat() const;
    bool supportsContentFormat(int32_t format) const;
    // "Magazine | Issue" for a magazine issue with a magazine name, else the issue name.
    std::optional<std::string> issueFullDisplayName() const;
    float coverPriceBaht() const { return static_cast<float>(printListPrice_); }

    // ---- Properties an item seldom carries ----
    // Kept apart, and made only when one of them is set: a library list holds thousands of
    // records, nearly all without them. Read and set through seldom() and setSeldom().
    struct Seldom {
        std::optional<std::string> authorImage;
        std::optional<std::string> publisherImage;
        std::optional<std::string> primaryCategoryImage;
        std::optional<std::string> secondaryCategoryImage;
        std::optional<std::string> authorLink;
        std::optional<std::string> publisherLink;
        std::optional<std::string> primaryCategoryLink;
        std::optional<std::string> secondaryCategoryLink;
        std::optional<std::string> borrowDate;  // the service's text
        std::optional<std::string> returnDate;
        std::optional<plat::Date> pricesExpire;
    };
    template <class T, std::optional<T> Seldom::*field>
    const std::optional<T>& seldom() const {
        static const std::optional<T> none;
        return seldom_ ? (*seldom_).*field : none;
    }
    template <class T, std::optional<T> Seldom::*field>
    void setSeldom(std::optional<T> value) {
        if (!seldom_ && !value)
            return;
        if (!seldom_)
            seldom_ = std::make_unique<Seldom>();
        (*seldom_).*field = std::move(value);
    }

    // ---- Plain properties ----
    // Kept by size, largest first, so that no padding lies between them: a library list holds
    // thousands of these records at once. Their order as properties is set where the class is
    // defined.
    std::optional<std::string> headCode_;
    std::optional<plat::Date> modifiedDate_;
    Ref<plat::Array> prices_;  // VnPriceInfo
    std::optional<std::string> coverUrl_;
    Ref<plat::Array> pageArray_;  // VnPageInfo, filled by the page request; never written
    std::optional<std::string> type_;
    std::optional<std::string> itemCode_;
    std::optional<std::string> author_;
    std::optional<std::string> category_;
    std::optional<std::string> publisher_;
    std::optional<std::string> ISBN_;
    std::optional<std::string> primaryCategoryName_;
    std::optional<std::string> secondaryCategoryName_;
    std::optional<std::string> country_;
    std::optional<plat::Date> varnelSaleDate_;
    std::optional<std::string> language_;
    std::optional<std::string> dueDate_;     // the service's text
    std::optional<plat::Date> returnDateValue_;
    std::optional<std::string> summary_;
    double printListPrice_ = 0;
    double fileSize_ = 0;
    double interactiveSize_ = 0;
    int32_t pageCount_ = 0;
    int32_t revision_ = 0;
    int32_t sortIndex_ = 0;
    int32_t supportInteractiveImage_ = 0;
    int32_t supportInteractiveVideo_ = 0;
    int32_t supportInteractiveAudio_ = 0;
    int32_t bestSellerPrimaryCateRank_ = 0;
    int32_t bestSellerSecondaryCateRank_ = 0;
    int32_t bestSellerRank_ = 0;
    int32_t remainingIssues_ = 0;
    int32_t totalIssues_ = 0;
    int32_t reserverCount_ = 0;
    int32_t bookStatus_ = 0;
    int32_t readDirection_ = 0;
    bool isPurchased_ = false;
    bool isFreeContent_ = false;
    bool hiddenFromLibrary_ = false;  // local state, never written
    bool finished_ = false;
    bool readed_ = false;
    bool isSample_ = false;  // a locally kept sample copy; never written
    int8_t subscriptionRequire_ = 0;
    int8_t available_ = 0;
    int8_t isGetSample_ = 0;
    int8_t asReadNow_ = 0;

    // ---- Record mapping ----
    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
    std::vector<std::string> coreSerializationExcludedPropertyNames() const override;
    std::vector<std::string> _propertyNameSetForCustomWrite() const override;
    void setSerializedValue(const plat::Value& value, const std::string& key) override;
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
    void additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) override;

  private:
    std::optional<std::string> magazineName_;
    std::optional<std::string> issueName_;
    std::optional<std::string> parentCode_;
    std::optional<plat::Date> issueDate_;
    mutable std::optional<plat::Date> issueDateSortingToken_;
    std::optional<std::string> printListPriceCurrency_;
    Ref<plat::Array> supportedFormats_;  // numbers of the content formats offered
    std::unique_ptr<Seldom> seldom_;
};

class VnBookDetail : public VnMagazineIssueInfo {
    PLAT_CLASS(VnBookDetail)
};

class VnMagazineIssueInfoGroup : public plat::Object {
    PLAT_CLASS(VnMagazineIssueInfoGroup)
  public:
    std::string groupName_;
    Ref<plat::MutableArray> magIssueInfos_ = plat::MutableArray::make();  // VnMagazineIssueInfo
};
