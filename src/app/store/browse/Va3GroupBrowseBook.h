#pragma once
// Va3GroupBrowseBook: one group of the browse index, an index letter with the names filed under
// it in the order they were filed. Its sorting token puts the number sign and the letters above
// U+00FF (the Thai consonants among them) before the Latin letters.
#include <string>
#include <vector>

#include "platform/core/Object.h"

class VnShopGroupInfo;

class Va3GroupBrowseBook : public plat::Object {
    PLAT_CLASS(Va3GroupBrowseBook)
  public:
    const std::string& groupName() const { return groupName_; }
    // Keeps the letter and its sorting token ("9" + letter for U+0041..U+00FF, else "0" +
    // letter); the text already held changes nothing.
    void setGroupName(const std::string& name);
    const std::string& groupNameSortingToken() const { return groupNameSortingToken_; }
    std::vector<Ref<VnShopGroupInfo>>& groupInfos() { return groupInfos_; }
    const std::vector<Ref<VnShopGroupInfo>>& groupInfos() const { return groupInfos_; }

  private:
    std::string groupName_;
    std::string groupNameSortingToken_;
    std::vector<Ref<VnShopGroupInfo>> groupInfos_;
};
