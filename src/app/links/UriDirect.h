#pragma once
// UriDirect: acts on a link followed in a store screen. The program's own links (VarnelUriData)
// are dispatched by root, sublevel and content: some are answered at once with the content code,
// others first load the linked record (book, magazine, magazine issue, price list, shop group)
// through the active user context and then hand it over. Any other link is opened with the
// desktop's handler when it is a web or mail address (others are only logged). Every report goes
// to the delegate (not owned), and only when it answers it: the messages of UriDirectDelegate
// in app/services/LinkRouting.h. The router is a plat::Object; a code missing from the link is sent
// as "". Screens reach it through a LinkRouter, which gives it the messages of UriDirectMessages.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "app/services/LinkRouting.h"
#include "platform/core/Message.h"
#include "platform/core/Object.h"

class VarnelUriData;
class VnBookStoreUserContext;
class VnDomainUpdatingRequest;
class VnInfo;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnMagazineCategoryInfo;
class VnRequestContext;
class VnRequestResult;
class VnShopGroupInfo;

class UriDirect : public plat::Object {
    PLAT_CLASS(UriDirect)
  public:
    // Where records are loaded: the active user context of the global service's store context
    // unless replaced.
    using UserContextSource = std::function<Ref<VnBookStoreUserContext>()>;

    UriDirect();
    ~UriDirect() override;

    void initWithDelegate(Ref<plat::Object> delegate);
    void redirectUri(std::string url);
    // Cancels the running record load; a running group load is cancelled by the next one only.
    void cancel();

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(Ref<plat::Object> delegate) { delegate_ = delegate; }
    bool isUseCodeOnly() const { return isUseCodeOnly_; }
    void setIsUseCodeOnly(bool codeOnly) { isUseCodeOnly_ = codeOnly; }
    void setUserContextSource(UserContextSource source) { userContextSource_ = std::move(source); }

    // Hooks, empty here.
    virtual void showWebView(const std::string& url);
    virtual void jumpToLibraryWithIssueId(const std::string& issueId, bool isBook,
                                          const Ref<VarnelUriData>& uriData);
    virtual void processLibraryUriData(const Ref<VarnelUriData>& uriData);
    virtual void processAppUriData(const Ref<VarnelUriData>& uriData);

    void processUri(const Ref<VarnelUriData>& uriData);
    void processContentKind_Magazine(const Ref<VarnelUriData>& uriData);
    void processContentKind_Book(const Ref<VarnelUriData>& uriData);
    void processContentKind_Newspaper(const Ref<VarnelUriData>& uriData);
    void processContentKind_Audio(const Ref<VarnelUriData>& uriData);
    void processContentKind_User(const Ref<VarnelUriData>& uriData);
    void processContentKind_Message(const Ref<VarnelUriData>& uriData);

    void loadBookInfo(const std::string& code);
    void loadMagazineInfo(const std::string& code);
    void loadMagazineInfoPriceList(const std::string& code);
    void loadMagazineIssueInfo(const std::string& code);
    void loadGroupInfo(const std::string& code, int32_t contentKind);

    void webLinkByMagazineInfo(const Ref<VnMagazineInfo>& info);
    void webLinkByMagazineInfoPriceList(const Ref<VnMagazineInfo>& info);
    void webLinkByMagazineIssueInfo(const Ref<VnMagazineIssueInfo>& info);
    void webLinkByBookInfo(const Ref<VnMagazineIssueInfo>& info);
    void webLinkByCategoryMagazineInfo(const Ref<VnMagazineCategoryInfo>& category);
    void webLinkByCategoryBookInfo(const Ref<VnMagazineCategoryInfo>& category);
    void webLinkByMagazineInfoCode(const std::string& code);
    void webLinkByMagazineIssueInfoCode(const std::string& code);
    void webLinkByBookInfoCode(const std::string& code);
    void webLinkByWidgetList(const Ref<VnShopGroupInfo>& group);
    void webLinkByWidgetFeatured(const Ref<VnShopGroupInfo>& group);
    void webLinkByWidgetCodeList(const std::string& code);
    void webLinkByWidgetCodeFeatured(const std::string& code);
    void webLinkByAudioId(const std::string& code);

    // Records held by this router, by loader family and code (for tests and logs).
    size_t cachedRecordCount() const { return dicCatch_.size(); }

  private:
    // Loaders whose records the cache keeps apart: a code names different records in each.
    enum class Family { Magazine, MagazineIssue, Book, Group };
    using Forwarder = void (UriDirect::*)(const Ref<VnInfo>&);

    Ref<VnBookStoreUserContext> userContext() const;
    void loadRecord(Family family, const std::string& code, Forwarder forward);
    void forwardMagazine(const Ref<VnInfo>& record);
    void forwardMagazinePriceList(const Ref<VnInfo>& record);
    void forwardMagazineIssue(const Ref<VnInfo>& record);
    void forwardBook(const Ref<VnInfo>& record);
    template <class S, class... A>
    void report(const plat::Message<S>& message, A&&... args);
    void reportCode(const UriDirectDelegate::Code& message, const std::string& code);
    void reportLoadFailed(const VnRequestResult& result);

    WeakRef<plat::Object> delegate_;
    bool isUseCodeOnly_ = false;
    std::map<std::pair<Family, std::string>, Ref<VnInfo>> dicCatch_;
    Ref<VnRequestContext> reqContext_;
    Ref<VnDomainUpdatingRequest> reqGroupInfo_;
    UserContextSource userContextSource_;
};
