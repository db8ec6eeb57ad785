#pragma once
// VnUserBookmarkInfo: a bookmark kept on this machine only (not a service record): the issue,
// the page and the texts shown for it.
#include <optional>
#include <string>

#include "platform/core/Object.h"

class VnUserBookmarkInfo : public plat::Object {
    PLAT_CLASS(VnUserBookmarkInfo)
  public:
    VnUserBookmarkInfo() = default;
    // A bookmark of the issue; the title and page name are given when the bookmark is made.
    explicit VnUserBookmarkInfo(std::optional<std::string> issueCode,
                                std::optional<std::string> title = std::nullopt,
                                std::optional<std::string> pageName = std::nullopt)
        : issueCode_(std::move(issueCode)),
          title_(std::move(title)),
          pageName_(std::move(pageName)) {}
    static Ref<VnUserBookmarkInfo> initWithIssueCode(std::optional<std::string> issueCode) {
        return std::make_shared<VnUserBookmarkInfo>(std::move(issueCode));
    }

    const std::optional<std::string>& issueCode() const { return issueCode_; }
    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& pageName() const { return pageName_; }
    int32_t pageIndex() const { return pageIndex_; }
    void setPageIndex(int32_t pageIndex) { pageIndex_ = pageIndex; }

  private:
    std::optional<std::string> issueCode_;
    std::optional<std::string> title_;
    std::optional<std::string> pageName_;
    int32_t pageIndex_ = 0;
};
