#pragma once
// VnShopGroupInfo: one store-front group or widget (also a search result, related-books or
// wish-list group) with its nested groups. A group loaded from the service is keyed by its id;
// the store screens also make empty root groups of their own for fixed menus.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoWithCover.h"

class VnShopGroupInfo : public VnInfoWithCover {
    PLAT_CLASS(VnShopGroupInfo)
  public:
    std::optional<std::string> AppCode_;
    std::optional<std::string> Id_;
    std::optional<std::string> ImageUrl_;
    std::optional<std::string> HeadImageUrl_;
    std::optional<std::string> Title_;
    Ref<plat::Dictionary> TitleLC_;  // titles by key
    std::optional<std::string> Description_;
    std::optional<std::string> Price_;
    std::optional<std::string> LinkUrl_;
    int32_t Type_ = 0;  // widget type: the store screens choose the layout by it
    int32_t OrderWidget_ = 0;
    Ref<plat::Array> Subwidgets_;  // of VnShopGroupInfo
    Ref<plat::Dictionary> OptionalParams_;
    std::optional<std::string> defaultSort_;
    bool isFollow_ = false;
    int32_t ItemType_ = 0;
    std::optional<std::string> PredefinedId_;
    std::optional<std::string> ParentPredefinedId_;
    int32_t infoKind_ = 0;
    plat::Value infoItem_;  // the attached item, as the answer gives it
    int32_t gCode_ = 0;

    // The number of nested groups (0 without any).
    int32_t subgroupCount() const;
    // The nested group at the index; null for an index outside 0 ..< subgroupCount.
    Ref<VnShopGroupInfo> subgroupAtIndex(int32_t index) const;
    // ItemType when it is 1, 2 or 3; otherwise 0.
    int32_t rootGroupKind() const;
    // An empty group whose code is the decimal text of the number.
    static Ref<VnShopGroupInfo> rootWithGroup(int32_t group);

    const plat::Class* _classForPropertyDeserialization(const std::string& name) const override;
    // The code becomes the text of Id.
    void additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) override;
};
