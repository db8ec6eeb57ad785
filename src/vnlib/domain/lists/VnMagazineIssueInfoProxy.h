#pragma once
// VnMagazineIssueInfoProxy: one listed item of an issue or book list: a catalogue record, shared
// by every list that shows it, plus the item's position in this list. Messages it does not answer
// itself go to the record.
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

class VnMagazineIssueInfoProxy : public VnInfo {
    PLAT_CLASS(VnMagazineIssueInfoProxy)
  public:
    explicit VnMagazineIssueInfoProxy(Ref<VnMagazineIssueInfo> info);

    const Ref<VnMagazineIssueInfo>& info() const { return info_; }
    int32_t sortIndex() const { return sortIndex_; }
    void setSortIndex(int32_t index) { sortIndex_ = index; }

    Ref<plat::Object> forwardingTargetForSelector(plat::Selector sel) override;
    bool respondsToSelector(plat::Selector sel) const override;
    std::string description() const override;

    // The catalogue record of a listed item or of a record itself; null for anything else.
    static Ref<VnMagazineIssueInfo> recordOf(const Ref<VnInfo>& item);

  private:
    Ref<VnMagazineIssueInfo> info_;
    int32_t sortIndex_ = 0;
};
