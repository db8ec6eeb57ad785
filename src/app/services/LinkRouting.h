#pragma once
// The link router seam: the router of the program's links (made by the links area, registered
// under LinkScreens::kUriDirect, which refuses a second provider) and what it tells the screen that
// follows a link through it. A screen holds a LinkRouter, a typed handle that gives the router
// its commands (UriDirectMessages), and answers the reports it cares for (UriDirectDelegate):
//
//   router_ = LinkRouter::forDelegate(self());
//   router_.cancel();
//   router_.follow(url);
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Message.h"
#include "platform/core/Ref.h"
#include "platform_ui/ScreenName.h"

namespace plat {
class Object;
}
class VnMagazineCategoryInfo;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnShopGroupInfo;

namespace LinkScreens {
inline constexpr ui::ScreenName kUriDirect{"", "UriDirect"};
}  // namespace LinkScreens

// What the router reports to its delegate, each message optional.
struct UriDirectDelegate {
    using Router = Ref<plat::Object>;
    using Code = plat::Message<void(Router, std::string)>;
    static constexpr plat::Message<void(Router, Ref<VnMagazineInfo>)> kMagazine{
        "UriDirect:webLinkByMagazineInfo:"};
    static constexpr plat::Message<void(Router, Ref<VnMagazineInfo>)> kMagazinePriceList{
        "UriDirect:webLinkByMagazineInfoPriceList:"};
    static constexpr plat::Message<void(Router, Ref<VnMagazineIssueInfo>)> kMagazineIssue{
        "UriDirect:webLinkByMagazineIssueInfo:"};
    static constexpr plat::Message<void(Router, Ref<VnMagazineIssueInfo>)> kBook{
        "UriDirect:webLinkByBookInfo:"};
    static constexpr plat::Message<void(Router, Ref<VnMagazineCategoryInfo>)> kSeeAllMagazines{
        "UriDirect_SeeAllMagazines:withCategory:"};
    static constexpr plat::Message<void(Router, Ref<VnMagazineCategoryInfo>)> kSeeAllBooks{
        "UriDirect_SeeAllBooks:withCategory:"};
    static constexpr Code kMagazineCode{"UriDirect:webLinkByMagazineInfoCode:"};
    static constexpr Code kMagazineIssueCode{"UriDirect:webLinkByMagazineIssueInfoCode:"};
    static constexpr Code kBookCode{"UriDirect:webLinkByBookInfoCode:"};
    static constexpr plat::Message<void(Router, Ref<VnShopGroupInfo>)> kIssueList{
        "UriDirect_Widget:withIssueList:"};
    static constexpr plat::Message<void(Router, Ref<VnShopGroupInfo>)> kFeatured{
        "UriDirect_Widget:withFeatured:"};
    static constexpr Code kIssueListCode{"UriDirect_WidgetCode:withIssueList:"};
    static constexpr Code kFeaturedCode{"UriDirect_WidgetCode:withFeatured:"};
    static constexpr Code kAudioDetail{"UriDirect_AudioDetail:withAudioId:"};
    static constexpr plat::Message<void(std::optional<std::string>)> kOpenPromotional{
        "UriDirect_openPromotionalWithKey:"};
    static constexpr plat::Message<void(bool, int32_t)> kOpenMessage{
        "UriDirect_openMessageIsInbox:withMessageId:"};
    static constexpr plat::Message<void(Router)> kWebLinkComplete{"UriDirect_WebLinkComplete:"};
    // The last report of every redirectUri.
    static constexpr plat::Message<void(Router)> kCompleteLoad{"UriDirect_CompleteLoad:"};
    // A record or group load that failed or found nothing: no record will come.
    static constexpr plat::Message<void(Router)> kLoadFailed{"UriDirect_LoadFailed:"};
};

// What screens ask of the router: its delegate, to forget a load under way, to answer with codes
// only, and to follow a link (its text).
struct UriDirectMessages {
    static constexpr plat::Message<void(Ref<plat::Object>)> kInitWithDelegate{"initWithDelegate:"};
    static constexpr plat::Message<void()> kCancel{"cancel"};
    static constexpr plat::Message<void(bool)> kSetIsUseCodeOnly{"setIsUseCodeOnly:"};
    static constexpr plat::Message<void(std::string)> kRedirectUri{"redirectUri:"};
};

// A router made for one delegate, and the commands it takes. Empty (every command does nothing)
// when no router is registered.
class LinkRouter {
  public:
    LinkRouter() = default;
    static LinkRouter forDelegate(const Ref<plat::Object>& delegate);

    explicit operator bool() const { return router_ != nullptr; }
    const Ref<plat::Object>& object() const { return router_; }

    // Forgets the load under way.
    void cancel() const;
    // Answers with the linked record's code only, not the record.
    void setCodeOnly(bool codeOnly) const;
    void follow(std::string url) const;

  private:
    Ref<plat::Object> router_;
};
