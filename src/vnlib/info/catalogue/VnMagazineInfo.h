#pragma once
// VnMagazineInfo: a magazine title of the catalogue: name (with its sorting token), summary and
// description, cover, the print price ("RealPrice", "RealPriceCurrency"), its latest issue and
// the subscription offers (automatic and others).
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

class VnMagazineInfo : public VnInfoWithCover {
    PLAT_CLASS(VnMagazineInfo)
  public:
    const std::optional<std::string>& name() const { return name_; }
    // Also sets the name's sorting token.
    void setName(std::optional<std::string> name);
    const std::optional<std::string>& nameSortingToken() const { return nameSortingToken_; }
    // "THB" while no currency text is held.
    std::optional<std::string> printListPriceCurrency() const;
    void setPrintListPriceCurrency(std::optional<std::string> currency) {
        printListPriceCurrency_ = std::move(currency);
    }
    // The title's hash is its hashString (key "Hash").
    const std::optional<std::string>& hashText() const { return hashString(); }
    void setHashText(std::optional<std::string> hash) { setHashString(std::move(hash)); }
    // The automatic offers followed by the others.
    Ref<plat::Array> allSubscriptionOptions() const;

    std::optional<std::string> summary_;
    std::optional<std::string> descriptionText_;  // the title's description, key "Description"
    std::optional<std::string> coverUrl_;
    double printListPrice_ = 0;
    Ref<VnMagazineIssueInfo> latestIssue_;
    Ref<plat::Array> subscriptions_;      // VnSubscriptionOptionInfo
    Ref<plat::Array> autoSubscriptions_;  // VnSubscriptionOptionInfo
    int32_t sortIndex_ = 0;

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;
    std::vector<std::string> coreSerializationExcludedPropertyNames() const override;

  private:
    std::optional<std::string> name_;
    std::optional<std::string> nameSortingToken_;
    std::optional<std::string> printListPriceCurrency_;
};
