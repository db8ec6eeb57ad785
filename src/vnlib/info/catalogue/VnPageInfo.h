#pragma once
// VnPageInfo: how one page of an item's content maps to the page shown ("SourcePageIndex",
// "PresentationPageIndex"); its code is the source page index in decimal.
// VnMagazineIssuePageInfo: a holder for the widget data of a page.
#include "vnlib/info/VnInfo.h"

class VnPageInfo : public VnInfo {
    PLAT_CLASS(VnPageInfo)
  public:
    int32_t sourcePageIndex() const { return sourcePageIndex_; }
    // Also sets the code to the index in decimal.
    void setSourcePageIndex(int32_t index);

    int32_t presentationPageIndex_ = 0;

  private:
    int32_t sourcePageIndex_ = 0;
};

class VnMagazineIssuePageInfo : public plat::Object {
    PLAT_CLASS(VnMagazineIssuePageInfo)
  public:
    Ref<plat::Array> widgetDataList_;
};
