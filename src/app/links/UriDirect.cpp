#include "app/links/UriDirect.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "app/links/VarnelUriData.h"
#include "app/services/GlobalService.h"
#include "platform/core/Log.h"
#include "platform_ui/UrlOpener.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(UriDirect, plat::Object, [](auto& c) {
    c.method(UriDirectMessages::kInitWithDelegate, &UriDirect::initWithDelegate)
        .method(UriDirectMessages::kRedirectUri, &UriDirect::redirectUri)
        .method(UriDirectMessages::kCancel, &UriDirect::cancel)
        .method("delegate", &UriDirect::delegate)
        .method("setDelegate:", &UriDirect::setDelegate)
        .method("isUseCodeOnly", &UriDirect::isUseCodeOnly)
        .method(UriDirectMessages::kSetIsUseCodeOnly, &UriDirect::setIsUseCodeOnly);
})

namespace {

// The integer a text begins with, as the platform reads one: blanks, a sign, digits; 0 when
// there is none, the nearest limit when it does not fit.
int32_t leadingInt(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<int64_t>(value * 10 + (text[at] - '0'), int64_t{INT_MAX} + 1);
    value = negative ? -value : std::min<int64_t>(value, INT_MAX);
    return static_cast<int32_t>(value);
}

// Only web and mail addresses go to the desktop's handlers: links come from server data.
bool mayOpen(const std::string& url) {
    const auto scheme = VarnelUriData::splitUrl(url).scheme;
    if (!scheme)
        return false;
    std::string lowered = *scheme;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered == "http" || lowered == "https" || lowered == "mailto";
}

// Element 2 of the link's path components ("/" being element 0).
std::optional<std::string> secondPathElement(const VarnelUriData& data) {
    auto components = VarnelUriData::pathComponents(data.url());
    if (!components || components->size() < 3)
        return std::nullopt;
    return (*components)[2];
}

}  // namespace

UriDirect::UriDirect() = default;
UriDirect::~UriDirect() = default;

void UriDirect::initWithDelegate(Ref<plat::Object> delegate) {
    delegate_ = delegate;
    dicCatch_.clear();
}

template <class S, class... A>
void UriDirect::report(const plat::Message<S>& message, A&&... args) {
    plat::sendIfResponds(delegate_, message, std::forward<A>(args)...);
}

void UriDirect::reportCode(const UriDirectDelegate::Code& message, const std::string& code) {
    report(message, self<UriDirect>(), code);
}

void UriDirect::reportLoadFailed(const VnRequestResult& result) {
    // A load given up on by its caller is no failure to report.
    if (!result.isUserCancelled())
        report(UriDirectDelegate::kLoadFailed, self<UriDirect>());
}

void UriDirect::redirectUri(std::string url) {
    auto keep = self<UriDirect>();  // a report may drop the screen's last reference
    if (VarnelUriData::isVarnelURL(url)) {
        processUri(VarnelUriData::dataWithURL(url));
    } else {
        showWebView(url);
        if (mayOpen(url))
            ui::UrlOpener::openUrl(url);
        else
            plat::systemLog("UriDirect: not opening a link of this kind: " + url);
        report(UriDirectDelegate::kWebLinkComplete, keep);
    }
    report(UriDirectDelegate::kCompleteLoad, keep);
}

void UriDirect::showWebView(const std::string&) {}
void UriDirect::jumpToLibraryWithIssueId(const std::string&, bool, const Ref<VarnelUriData>&) {}
void UriDirect::processLibraryUriData(const Ref<VarnelUriData>&) {}
void UriDirect::processAppUriData(const Ref<VarnelUriData>&) {}

void UriDirect::processUri(const Ref<VarnelUriData>& uriData) {
    const int32_t sublevel = uriData->sublevelKind();
    switch (uriData->rootKind()) {
        case VarnelUriRootKindShop:
        case VarnelUriRootKindWidget:
            if (sublevel == VarnelUriSublevelKindMagazine)
                processContentKind_Magazine(uriData);
            else if (sublevel == VarnelUriSublevelKindNewspaper)
                processContentKind_Newspaper(uriData);
            else if (sublevel == VarnelUriSublevelKindBook)
                processContentKind_Book(uriData);
            else if (sublevel == VarnelUriSublevelKindAudio &&
                     uriData->rootKind() == VarnelUriRootKindShop)
                processContentKind_Audio(uriData);
            break;
        case VarnelUriRootKindLibrary:
            processLibraryUriData(uriData);
            break;
        case VarnelUriRootKindApp:
            processAppUriData(uriData);
            break;
        case VarnelUriRootKindUser:
            processContentKind_User(uriData);
            break;
        case VarnelUriRootKindMessage:
            processContentKind_Message(uriData);
            break;
        default:
            break;
    }
}

void UriDirect::processContentKind_Magazine(const Ref<VarnelUriData>& uriData) {
    const auto& id = uriData->contentId();
    const std::string code = id.value_or(std::string());
    switch (uriData->contentKind()) {
        case VarnelUriContentKindDetail:
            if (isUseCodeOnly_)
                webLinkByMagazineInfoCode(code);
            else
                loadMagazineInfo(code);
            break;
        case VarnelUriContentKindIssue:
            if (isUseCodeOnly_)
                webLinkByMagazineIssueInfoCode(code);
            else
                loadMagazineIssueInfo(code);
            break;
        case VarnelUriContentKindCategory: {
            auto category = std::make_shared<VnMagazineCategoryInfo>();
            category->setCode(id);
            webLinkByCategoryMagazineInfo(category);
            break;
        }
        case VarnelUriContentKindPriceList:
            loadMagazineInfoPriceList(code);
            break;
        case VarnelUriContentKindList:
        case VarnelUriContentKindFeatured:
            if (!isUseCodeOnly_)
                loadGroupInfo(code, uriData->contentKind());
            else if (uriData->contentKind() == VarnelUriContentKindList)
                webLinkByWidgetCodeList(code);
            else
                webLinkByWidgetCodeFeatured(code);
            break;
        default:
            break;
    }
}

void UriDirect::processContentKind_Newspaper(const Ref<VarnelUriData>& uriData) {
    processContentKind_Magazine(uriData);
}

void UriDirect::processContentKind_Book(const Ref<VarnelUriData>& uriData) {
    const auto& id = uriData->contentId();
    switch (uriData->contentKind()) {
        case VarnelUriContentKindDetail:
        case VarnelUriContentKindIssue:
            if (isUseCodeOnly_)
                webLinkByBookInfoCode(id.value_or(std::string()));
            else
                loadBookInfo(id.value_or(std::string()));
            break;
        case VarnelUriContentKindCategory: {
            auto category = std::make_shared<VnMagazineCategoryInfo>();
            category->setCode(id);
            webLinkByCategoryBookInfo(category);
            break;
        }
        case VarnelUriContentKindList:
        case VarnelUriContentKindFeatured:
            processContentKind_Magazine(uriData);
            break;
        default:  // a book has no price list
            break;
    }
}

void UriDirect::processContentKind_Audio(const Ref<VarnelUriData>& uriData) {
    if (uriData->contentKind() == VarnelUriContentKindDetail)
        webLinkByAudioId(uriData->contentId().value_or(std::string()));
}

void UriDirect::processContentKind_User(const Ref<VarnelUriData>& uriData) {
    if (uriData->sublevelKind() != VarnelUriSublevelKindPromotion)
        return;
    plat::sendIfResponds(delegate_, UriDirectDelegate::kOpenPromotional,
                         secondPathElement(*uriData));
}

void UriDirect::processContentKind_Message(const Ref<VarnelUriData>& uriData) {
    const bool inbox = uriData->sublevelKind() == VarnelUriSublevelKindMessageInbox;
    const int32_t number = leadingInt(secondPathElement(*uriData).value_or(std::string()));
    plat::sendIfResponds(delegate_, UriDirectDelegate::kOpenMessage, inbox, number);
}

// ---- Loaders ----

Ref<VnBookStoreUserContext> UriDirect::userContext() const {
    if (userContextSource_)
        return userContextSource_();
    const auto& store = GlobalService::globalShared()->storeContext();
    return store ? store->activeUserContext() : nullptr;
}

void UriDirect::loadBookInfo(const std::string& code) {
    loadRecord(Family::Book, code, &UriDirect::forwardBook);
}

void UriDirect::loadMagazineInfo(const std::string& code) {
    loadRecord(Family::Magazine, code, &UriDirect::forwardMagazine);
}

void UriDirect::loadMagazineInfoPriceList(const std::string& code) {
    loadRecord(Family::Magazine, code, &UriDirect::forwardMagazinePriceList);
}

void UriDirect::loadMagazineIssueInfo(const std::string& code) {
    loadRecord(Family::MagazineIssue, code, &UriDirect::forwardMagazineIssue);
}

void UriDirect::loadRecord(Family family, const std::string& code, Forwarder forward) {
    if (auto cached = dicCatch_.find({family, code}); cached != dicCatch_.end()) {
        (this->*forward)(cached->second);
        return;
    }
    if (reqContext_) {
        reqContext_->cancel();
        reqContext_.reset();
    }
    auto user = userContext();
    if (!user || code.empty()) {
        plat::systemLog("UriDirect: nothing to load the linked record with");
        return;
    }
    Ref<VnRequestContext> request;
    switch (family) {
        case Family::Magazine:
            request = user->requestForShopMagazineWithCode(code);
            break;
        case Family::MagazineIssue:
            request = user->requestForShopMagazineIssueInfoWithCode(code);
            break;
        case Family::Book:
            request = user->requestForShopBookInfoWithCode(code);
            break;
        case Family::Group:
            return;
    }
    if (!request)
        return;
    reqContext_ = request;
    // The router holds its request: the block only refers back to it, so that a router whose
    // screen has gone goes too.
    WeakRef<UriDirect> weakMe = self<UriDirect>();
    WeakRef<VnRequestContext> weakRequest = request;
    request->startWithDidFinishBlock(
        [weakMe, family, forward, weakRequest](const Ref<VnRequestResult>& result,
                                               const plat::Value& value) {
            auto me = weakMe.lock();
            // Only the last load of the family reports.
            if (!me || !result || weakRequest.lock() != me->reqContext_)
                return;
            auto record = result->succeed() ? value.as<VnInfo>() : nullptr;
            if (!record) {
                me->reportLoadFailed(*result);
                return;
            }
            me->dicCatch_[{family, record->code().value_or(std::string())}] = record;
            (me.get()->*forward)(record);
        });
}

void UriDirect::loadGroupInfo(const std::string& code, int32_t contentKind) {
    auto user = userContext();
    if (!user || code.empty()) {
        plat::systemLog("UriDirect: nothing to load the linked group with");
        return;
    }
    auto domain = user->shopGroupInfoDomainWithGroupCode(code);
    if (!domain)
        return;
    auto snapshot = domain->takeLocalSnapshot();
    if (reqGroupInfo_) {
        reqGroupInfo_->cancel();
        reqGroupInfo_.reset();
    }
    auto request = domain->newDomainUpdatingRequest(snapshot);
    if (!request)
        return;
    reqGroupInfo_ = request;
    WeakRef<UriDirect> weakMe = self<UriDirect>();
    WeakRef<VnDomainUpdatingRequest> weakRequest = request;
    request->startWithDidFinishBlock(
        [weakMe, contentKind, weakRequest](const Ref<VnRequestResult>& result,
                                           const plat::Value& value) {
            auto me = weakMe.lock();
            if (!me || !result || weakRequest.lock() != me->reqGroupInfo_)
                return;
            auto updated = result->succeed() ? value.as<VnLocalSnapshot>() : nullptr;
            auto first = updated && !updated->items().empty()
                             ? std::dynamic_pointer_cast<VnShopGroupInfo>(updated->items().front())
                             : nullptr;
            if (!first) {
                me->reportLoadFailed(*result);
                return;
            }
            me->dicCatch_[{Family::Group, first->code().value_or(std::string())}] = first;
            if (contentKind == VarnelUriContentKindFeatured)
                me->webLinkByWidgetFeatured(first);
            else
                me->webLinkByWidgetList(first);
        });
}

void UriDirect::cancel() {
    if (reqContext_)
        reqContext_->cancel();
}

// ---- Forwarders ----

void UriDirect::forwardMagazine(const Ref<VnInfo>& record) {
    if (auto magazine = std::dynamic_pointer_cast<VnMagazineInfo>(record))
        webLinkByMagazineInfo(magazine);
}

void UriDirect::forwardMagazinePriceList(const Ref<VnInfo>& record) {
    if (auto magazine = std::dynamic_pointer_cast<VnMagazineInfo>(record))
        webLinkByMagazineInfoPriceList(magazine);
}

void UriDirect::forwardMagazineIssue(const Ref<VnInfo>& record) {
    if (auto issue = std::dynamic_pointer_cast<VnMagazineIssueInfo>(record))
        webLinkByMagazineIssueInfo(issue);
}

void UriDirect::forwardBook(const Ref<VnInfo>& record) {
    if (auto book = std::dynamic_pointer_cast<VnMagazineIssueInfo>(record))
        webLinkByBookInfo(book);
}

void UriDirect::webLinkByMagazineInfo(const Ref<VnMagazineInfo>& info) {
    report(UriDirectDelegate::kMagazine, self<UriDirect>(), info);
}

void UriDirect::webLinkByMagazineInfoPriceList(const Ref<VnMagazineInfo>& info) {
    report(UriDirectDelegate::kMagazinePriceList, self<UriDirect>(), info);
}

void UriDirect::webLinkByMagazineIssueInfo(const Ref<VnMagazineIssueInfo>& info) {
    report(UriDirectDelegate::kMagazineIssue, self<UriDirect>(), info);
}

void UriDirect::webLinkByBookInfo(const Ref<VnMagazineIssueInfo>& info) {
    report(UriDirectDelegate::kBook, self<UriDirect>(), info);
}

void UriDirect::webLinkByCategoryMagazineInfo(const Ref<VnMagazineCategoryInfo>& category) {
    report(UriDirectDelegate::kSeeAllMagazines, self<UriDirect>(), category);
}

void UriDirect::webLinkByCategoryBookInfo(const Ref<VnMagazineCategoryInfo>& category) {
    report(UriDirectDelegate::kSeeAllBooks, self<UriDirect>(), category);
}

void UriDirect::webLinkByMagazineInfoCode(const std::string& code) {
    reportCode(UriDirectDelegate::kMagazineCode, code);
}

void UriDirect::webLinkByMagazineIssueInfoCode(const std::string& code) {
    reportCode(UriDirectDelegate::kMagazineIssueCode, code);
}

void UriDirect::webLinkByBookInfoCode(const std::string& code) {
    reportCode(UriDirectDelegate::kBookCode, code);
}

void UriDirect::webLinkByWidgetList(const Ref<VnShopGroupInfo>& group) {
    report(UriDirectDelegate::kIssueList, self<UriDirect>(), group);
}

void UriDirect::webLinkByWidgetFeatured(const Ref<VnShopGroupInfo>& group) {
    report(UriDirectDelegate::kFeatured, self<UriDirect>(), group);
}

void UriDirect::webLinkByWidgetCodeList(const std::string& code) {
    reportCode(UriDirectDelegate::kIssueListCode, code);
}

void UriDirect::webLinkByWidgetCodeFeatured(const std::string& code) {
    reportCode(UriDirectDelegate::kFeaturedCode, code);
}

void UriDirect::webLinkByAudioId(const std::string& code) {
    reportCode(UriDirectDelegate::kAudioDetail, code);
}
