#include "vnlib/domain/context/VnBookStoreUserContext.h"

#include <utility>

#include "platform/storage/Keychain.h"
#include "vnlib/dev/udid/VndUDID.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/lists/VnDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStorePurchaseRequestRedeemInfo.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"
#include "vnlib/domain/storage/VnDataContext.h"
#include "vnlib/domain/storage/VnStoreModels.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"
#include "vnlib/info/catalogue/VnUserSubscriptionInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"
#include "vnlib/service/auth/DataSupport.h"
#include "vnlib/service/auth/VnTransferUserBooksRequest.h"
#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/follow/VnUserFollowInputParams.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

PLAT_DEFINE_CLASS(VnBookStoreUserContext, VnBookStoreContextSubobject, [](auto& c) {
    using Gate = VnDomainUserContextMessages;
    c.method(Gate::kExecuteRequest, &VnBookStoreUserContext::executeRequest)
        .method(Gate::kCancelRequest, &VnBookStoreUserContext::cancelRequest)
        .method(Gate::kStoreRemoteSession, &VnBookStoreUserContext::storeRemoteSession)
        .method(Gate::kDomainMarkUpdated, &VnBookStoreUserContext::domainMarkUpdated)
        .method(VnBookmarkUserContextMessages::kUserBookmarkDataContext,
                &VnBookStoreUserContext::userBookmarkDataContext)
        .method("defaultUserSignIn_request:didFinishWithResult:",
                &VnBookStoreUserContext::defaultUserSignIn_request_didFinishWithResult)
        .method("restoreSession_request:didFinishWithResult:",
                &VnBookStoreUserContext::restoreSession_request_didFinishWithResult)
        .method("accountInfo_request:didFinishWithResult:",
                &VnBookStoreUserContext::accountInfo_request_didFinishWithResult)
        .method(
            "transfer_requestProxy:request:willNotify_didFinishWithResult:",
            &VnBookStoreUserContext::transfer_requestProxy_request_willNotify_didFinishWithResult)
        .method("magazineIssueInfo_requestProxy:request:willNotify_didFinishWithResult:",
                &VnBookStoreUserContext::
                    magazineIssueInfo_requestProxy_request_willNotify_didFinishWithResult)
        .method("magazineIssueInfo_requestProxy:request:transformRequestResult:",
                &VnBookStoreUserContext::lastElement_requestProxy_request_transformRequestResult)
        .method("magazineInfo_requestProxy:request:transformRequestResult:",
                &VnBookStoreUserContext::lastElement_requestProxy_request_transformRequestResult)
        .method("pageInfos_requestProxy:request:transformRequestResult:",
                &VnBookStoreUserContext::pageInfos_requestProxy_request_transformRequestResult)
        .method("latestIssue_requestProxy:request:transformRequestResult:",
                &VnBookStoreUserContext::latestIssue_requestProxy_request_transformRequestResult);
})
PLAT_DEFINE_CLASS(VnBookStoreUserRequest, VnRequestContext, [](auto& c) {
    c.method("remoteRequest_request:didFinishWithResult:",
             &VnBookStoreUserRequest::remoteRequest_request_didFinishWithResult)
        .method("remoteRequest_request:progressReport:",
                &VnBookStoreUserRequest::remoteRequest_request_progressReport);
})

namespace {
constexpr const char* kSessionInitializationFailed = "Session initialization failed";
constexpr const char* kContextClosed = "The library has been closed";
constexpr const char* kAccountRecordWithoutCode =
    "The account reply has no e-mail address, so it was not kept";

// Whether an account record has the code its table keys it by: an e-mail address the service
// sent as text (a number or a list under "Email" is no address).
bool accountCodeCameAsText(const Ref<VnAccountInfo>& info) {
    if (!info || !info->code() || info->code()->empty())
        return false;
    const auto& loaded = info->persistentDictionary();
    return !loaded || loaded->objectForKey("Email").isString();
}
}  // namespace

// ---- Construction -------------------------------------------------------------------------------

VnBookStoreUserContext::VnBookStoreUserContext(Ref<VnBookStoreContext> context,
                                               Ref<VnUserId> userId, bool isTestUser)
    : VnBookStoreContextSubobject(std::move(context)),
      userId_(std::move(userId)),
      isTestUser_(isTestUser) {
    PLAT_PARAMETER_ASSERT(this->context());
    PLAT_PARAMETER_ASSERT(userId_);
}

Ref<VnBookStoreUserContext> VnBookStoreUserContext::make(const Ref<VnBookStoreContext>& context,
                                                         Ref<VnUserId> userId, bool isTestUser) {
    auto made = std::make_shared<VnBookStoreUserContext>(context, std::move(userId), isTestUser);
    made->build();
    return made;
}

Ref<VnBookStoreUserContext> VnBookStoreUserContext::makeDefaultUser(
    const Ref<VnBookStoreContext>& context) {
    return make(context, VnUserId::defaultUserId(), false);
}

void VnBookStoreUserContext::build() {
    auto me = self<VnBookStoreUserContext>();
    const auto& bookstore = context();
    const auto& session = bookstore->serviceSession();
    storeRemoteSession_ = std::make_shared<VnStoreRemoteSession>(bookstore->storeServiceURL(),
                                                                 session->configuration());
    userStorage_ = bookstore->localStorage()->userStorageByUserId(userId_);

    libraryDomain_ = std::make_shared<VnMagazineIssueDomain>(me, VnMagazineIssueKind_Library);
    libraryDomain_->setLastUpdateExpirationInterval(900.0);
    categoryDomain_ = std::make_shared<VnStoreDomain>(me, VnMagazineCategoryInfo::classObject(),
                                                      session->newMagazineCategoryListRequest());
    categoryDomain_->setDataTableName(categoryDomain_->dataTableName() + ".Magazines");
    bookCategoryDomain_ = std::make_shared<VnStoreDomain>(me, VnMagazineCategoryInfo::classObject(),
                                                          session->newBookCategoryListRequest());
    bookCategoryDomain_->setDataTableName(bookCategoryDomain_->dataTableName() + ".Books");
    // The subscriptions are this user's own: their table lies in the user archive.
    userSubscriptionDomain_ = std::make_shared<VnStoreDomain>(
        me, VnUserSubscriptionInfo::classObject(), session->newUserSubscriptionRequest(),
        userStorage_->userArchive());
    userSubscriptionDomain_->setAlwaysRequestUpdate(true);

    bookFollowContext_ = std::make_shared<VnUserFollowContext>();
    magazineFollowContext_ = std::make_shared<VnUserFollowContext>();

    userIsLockRotate_ = userStorage_->objectForKey("UserIsLockRotate").stringOr() == "YES";
    userIsSinglePage_ = userStorage_->objectForKey("UserIsSinglePage").stringOr() == "YES";
    userDisplayMode_ = userStorage_->objectForKey("UserDisplayMode").intValue();
    userIsMagazineDisplayFilter_ =
        userStorage_->objectForKey("UserIsMagazineDisplayModeFillter").intValue();

    const auto& archive = userStorage_->userArchive();
    pendingRedemptionTable_ = archive->tableWithName(
        "PendingRedemptions", VnBookStorePurchaseRequestRedeemInfo::classObject());
    sampleBooksTable_ = archive->tableWithName("SampleBooks", VnMagazineIssueInfo::classObject());
    accountInfoDataTable_ = archive->tableWithName("AccountInfo", VnAccountInfo::classObject());
    accountInfo_ = std::dynamic_pointer_cast<VnAccountInfo>(
        accountInfoDataTable_->infoForCode(userId_->userName()));

    auto accountInfoRequest = session->newAccountInfoRequest();
    // The account table keeps the record by its code (the e-mail address): a record without
    // one has no place there, and fails the request instead.
    accountInfoRequest->setReturnValueCheck([](const plat::Value& answer) {
        return accountCodeCameAsText(answer.as<VnAccountInfo>())
                   ? std::nullopt
                   : std::optional<std::string>(kAccountRecordWithoutCode);
    });
    accountInfoRequest_ = std::move(accountInfoRequest);
    accountInfoRequest_->setDelegate(me, "accountInfo_");

    bookLibraryDomain_ = bookIssueDomainWithCategory(VnBookCategory_Libraries);
    bookLibraryDomain_->setLastUpdateExpirationInterval(900.0);
    specialIssueDomain_ =
        std::make_shared<VnMagazineIssueDomain>(me, VnMagazineIssueKind_SpecialIssues);
    authorDomain_ = std::make_shared<VnDomain>(me, VnAuthorInfo::classObject(),
                                               session->newAuthorListRequest());

    // A store that cannot be opened leaves the bookmarks without storage; nothing else fails.
    try {
        managedObjectContext_ = plat::ObjectStoreContext::open(
            userStorage_->userDocumentArchive()->archivePath() / "UserData.sqlite",
            VarnelClientModel());
        userBookmarkDataContext_ =
            std::make_shared<VnCoreDataContext>("UserBookmark", managedObjectContext_);
    } catch (const plat::Exception& e) {
        VND_TRACE("Error", "The user's bookmark store could not be opened: %s", e.reason().c_str());
    }
    userBookmarkContext_ = std::make_shared<VnBookstoreUserBookmarkContext>(me, false);
}

VnBookStoreUserContext::~VnBookStoreUserContext() {
    cancelPendingRequests();
    for (auto request : std::set(activeRequests_))
        request->cancel();
    if (accountInfoRequest_) {
        accountInfoRequest_->setDelegate(nullptr);
        accountInfoRequest_->cancel();
    }
    if (sessionRequest_)
        sessionRequest_->cancel();
    for (const Ref<VnDomain>& domain :
         {Ref<VnDomain>(libraryDomain_), Ref<VnDomain>(categoryDomain_),
          Ref<VnDomain>(bookLibraryDomain_), Ref<VnDomain>(bookCategoryDomain_),
          Ref<VnDomain>(userSubscriptionDomain_), authorDomain_,
          Ref<VnDomain>(specialIssueDomain_)}) {
        if (domain)
            domain->cancelAllRequests();
    }
}

const plat::ObjectModel& VnBookStoreUserContext::managedObjectModel() const {
    return VarnelClientModel();
}

void VnBookStoreUserContext::clearFollowContext() {
    bookFollowContext_->removeAll();
    magazineFollowContext_->removeAll();
}

void VnBookStoreUserContext::domainMarkUpdated(Ref<VnDomain> domain) {
    if (domain && (domain == libraryDomain_ || domain == bookLibraryDomain_))
        notifyLibraryDidUpdate();
}

// ---- The gate -----------------------------------------------------------------------------------

void VnBookStoreUserContext::executeRequest(Ref<VnRequestContext> request,
                                            Ref<plat::Object> delegate,
                                            std::string selectorPrefix) {
    PLAT_PARAMETER_ASSERT(request);
    const auto bookstore = context();
    if (!bookstore) {
        request->setDelegate(delegate, selectorPrefix);
        request->startWithResult(VnRequestResult::failedResultWithErrorMessage(kContextClosed));
        return;
    }
    const auto& session = bookstore->serviceSession();
    if (session->hasSignedIn()) {
        request->startWithDelegate(delegate, selectorPrefix);
        return;
    }
    request->setDelegate(delegate, selectorPrefix);
    pendingRequests_.insert(request);
    if (bookstore->isProcessingUserAuthentication()) {
        waitingOnOtherSignIn_ = true;  // released or failed when that sign-in ends
        return;
    }
    if (isDefault()) {
        bookstore->startUserAuthenticationRequest(
            VnUserAuthenticationInfo::infoWithDeviceId(bookstore->machineID()),
            self<VnBookStoreUserContext>(), "defaultUserSignIn_");
        return;
    }
    if (isRestoringSession_)
        return;
    isRestoringSession_ = true;
    if (bookstore->sessionToken()) {
        sessionRequest_ =
            session->newRestoreSessionRequest(bookstore->sessionToken(), userId_->userName());
        sessionRequest_->startWithDelegate(self<VnBookStoreUserContext>(), "restoreSession_");
    } else {
        bookstore->userContextNeedUserCredential();
    }
}

void VnBookStoreUserContext::cancelRequest(Ref<VnRequestContext> request) {
    if (!request)
        return;
    pendingRequests_.erase(request);
    request->cancel();
}

void VnBookStoreUserContext::cancelPendingRequests() {
    // A parked request has a caller waiting on it (through its wrapper): it ends with the cancel
    // result rather than never.
    failPendingRequestsWithResult(VnRequestResult::cancel());
}

void VnBookStoreUserContext::failPendingRequestsWithResult(const Ref<VnRequestResult>& result) {
    waitingOnOtherSignIn_ = false;
    auto parked = std::move(pendingRequests_);
    pendingRequests_.clear();
    for (const auto& request : parked) {
        if (request->running()) {
            request->coreNotifyFinishWithResult(result);
            request->cancel();
        } else {
            request->startWithResult(result);
        }
    }
}

void VnBookStoreUserContext::invokePendingRequests() {
    waitingOnOtherSignIn_ = false;
    auto parked = std::move(pendingRequests_);
    pendingRequests_.clear();
    for (const auto& request : parked)
        request->start();
}

void VnBookStoreUserContext::setStoreSessionToken(const std::optional<std::string>& token) {
    auto bookstore = context();
    storeRemoteSession_->setSessionContext(std::make_shared<VnServiceSessionContext>(
        bookstore ? bookstore->appCode() : std::nullopt, token, isTestUser_));
}

void VnBookStoreUserContext::contextRegisteredUserSessionAvailable() {
    auto bookstore = context();
    setStoreSessionToken(bookstore ? bookstore->serviceSession()->sessionId() : std::nullopt);
    invokePendingRequests();
}

void VnBookStoreUserContext::contextSignInDidEnd(const Ref<VnRequestResult>& result) {
    auto bookstore = context();
    if (!waitingOnOtherSignIn_ || pendingRequests_.empty() || !bookstore)
        return;
    // Another sign-in began as this one ended (the device's, asked again): wait for that one.
    if (bookstore->isProcessingUserAuthentication())
        return;
    if (bookstore->serviceSession()->hasSignedIn()) {
        invokePendingRequests();
    } else if (!result->succeed() && result->error()) {
        failPendingRequestsWithResult(VnRequestResult::resultWithReturnValue({}, result->error()));
    } else {
        failPendingRequestsWithResult(
            VnRequestResult::failedResultWithErrorMessage(kSessionInitializationFailed));
    }
}

void VnBookStoreUserContext::defaultUserSignIn_request_didFinishWithResult(
    Ref<plat::Object>, Ref<VnRequestResult> result) {
    auto answer = result->returnValue().as<VnUserAuthenticationReturnValue>();
    const auto bookstore = context();
    // Each sign-in the gate starts may be asked once more; the next one may again.
    const bool retried = std::exchange(defaultSignInRetried_, false);
    if (result->succeed() && answer && answer->authenticated()) {
        invokePendingRequests();
        startRequestAccountInfo();
    } else if (result->succeed() && !retried && bookstore && !pendingRequests_.empty()) {
        // Refused by a service that answers: once more, on a fresh session (a sign-in starts by
        // dropping the session it had).
        defaultSignInRetried_ = true;
        bookstore->startUserAuthenticationRequest(
            VnUserAuthenticationInfo::infoWithDeviceId(bookstore->machineID()),
            self<VnBookStoreUserContext>(), "defaultUserSignIn_");
    } else if (!result->succeed() && result->error()) {
        // The sign-in itself failed (no service, a server error): its error is the reason.
        failPendingRequestsWithResult(VnRequestResult::resultWithReturnValue({}, result->error()));
    } else {
        const auto* message = answer ? answer->serverMessage().string() : nullptr;
        failPendingRequestsWithResult(VnRequestResult::failedResultWithErrorMessage(
            message && !message->empty() ? *message : kSessionInitializationFailed));
    }
}

void VnBookStoreUserContext::restoreSession_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    auto restore = std::move(sessionRequest_);
    const std::string* token = result->succeed() ? result->returnValue().string() : nullptr;
    const auto bookstore = context();
    if (!bookstore) {
        failPendingRequestsWithResult(
            VnRequestResult::failedResultWithErrorMessage(kContextClosed));
        return;
    }
    if (token && !token->empty()) {
        bookstore->tokenKeychainItem()->setObject(plat::Value(*token), plat::kSecValueData);
        setStoreSessionToken(bookstore->serviceSession()->configuration()->authorizationToken());
        invokePendingRequests();
        startRequestAccountInfo();
        isRestoringSession_ = false;
    } else {
        bookstore->userContextNeedUserCredential();
    }
}

// ---- Account info -------------------------------------------------------------------------------

void VnBookStoreUserContext::startRequestAccountInfo() {
    if (!accountInfoRequest_->running())
        accountInfoRequest_->start();
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForAccountInfo() {
    return accountInfoRequest_->jointRequest();
}

void VnBookStoreUserContext::accountInfo_request_didFinishWithResult(Ref<VnRequestContext>,
                                                                     Ref<VnRequestResult> result) {
    if (!result->succeed())
        return;
    auto info = result->returnValue().as<VnAccountInfo>();
    if (!info) {
        VND_TRACE("Error", "Ignored an account record of the wrong kind");
        return;
    }
    // The record is the member's own: what it holds (the e-mail address) is never written out.
    VND_TRACE("Service", "Account record received (%s)",
              info->email() ? "with an e-mail address" : "(null)");
    writeAccountInfo(info);
}

void VnBookStoreUserContext::writeAccountInfo(const Ref<VnAccountInfo>& info) {
    if (!accountCodeCameAsText(info)) {
        VND_TRACE("Error", "%s", kAccountRecordWithoutCode);
        return;
    }
    accountInfo_ = info;
    accountInfoDataTable_->updateInfo(info);
    accountInfoDataTable_->flushStorageWriting();
}

// ---- Requests -----------------------------------------------------------------------------------

Ref<VnRequestContext> VnBookStoreUserContext::gated(Ref<VnRequestContext> remoteRequest) {
    return VnBookStoreUserRequest::requestWithUserContext(self<VnBookStoreUserContext>(),
                                                          std::move(remoteRequest));
}

Ref<VnBookStoreContext> VnBookStoreUserContext::bookstore() const {
    auto bookstore = context();
    PLAT_ASSERT(bookstore, "The user context's bookstore context has been closed");
    return bookstore;
}

Ref<VnClientServiceSession> VnBookStoreUserContext::serviceSession() const {
    return bookstore()->serviceSession();
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForBorrowBook(const Ref<VnInfo>& item) {
    return gated(serviceSession()->newBorrowBook(item ? item->code() : std::nullopt));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForReserveBook(const Ref<VnInfo>& item) {
    return gated(serviceSession()->newReserveBook(item ? item->code() : std::nullopt));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForReturnBook(
    const Ref<VnMagazineIssueInfo>& item) {
    return gated(serviceSession()->newReturnBook(item ? item->itemCode_ : std::nullopt));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForCancelReserveBook(
    const std::optional<std::string>& bookCode) {
    return gated(serviceSession()->newCancelReserveBook(bookCode));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForClaimReserveBook(
    const std::optional<std::string>& itemCode) {
    return gated(serviceSession()->newClaimReserveBook(itemCode));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestforExtendBorrowBook(
    const std::optional<std::string>& itemCode) {
    return gated(serviceSession()->newExtendBorrowBook(itemCode));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetIssueInfo(
    const std::optional<std::string>& bookCode) {
    return gated(serviceSession()->newGetIssueInfo(bookCode));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetLibraryIssueInfo(
    const Ref<plat::Array>& bookCodes) {
    return gated(serviceSession()->newGetLibraryIssueInfos(bookCodes));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetProfileInfo() {
    return gated(serviceSession()->newGetProfileRequest());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetBorrowHistory(
    std::optional<plat::Date> startDate, std::optional<plat::Date> endDate) {
    return gated(serviceSession()->newGetBorrowHistory(startDate, endDate));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetCurrentReserveBookInfos() {
    return gated(serviceSession()->newGetCurrentReserveBookInfos());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForNeedClaimAction() {
    return gated(serviceSession()->newNeedClaimAction());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForNeedClaimActionBooks() {
    return gated(serviceSession()->newNeedClaimActionBooks());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetCurrentSubscription() {
    return gated(serviceSession()->newGetCurrentSubscription());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetSubscriptionOptions() {
    return gated(serviceSession()->newGetSubscriptionOptions());
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForReadBookNow(const Ref<VnInfo>& item) {
    return serviceSession()->newReadBookNow(item ? item->code() : std::nullopt);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForPurchaseFreeBook(const Ref<VnInfo>& item) {
    return serviceSession()->newPurchaseFreeBook(item ? item->code() : std::nullopt);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForGetHistory(int32_t startIndex,
                                                                   int32_t length) {
    return serviceSession()->newGetHistory(startIndex, length);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForBookDetail(const Ref<VnInfo>& item) {
    return serviceSession()->newBookDetailRequestWithCode(item ? item->code() : std::nullopt);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForUnSubscriptionWithSubscriptionInfo(
    const Ref<VnUserSubscriptionInfo>& subscription) {
    return gated(serviceSession()->unSubscriptionRequestWithSubscriptionId(
        subscription ? subscription->renewSubId_ : 0));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForCheckingNeedPurchase(
    const Ref<VnPriceInfo>& priceInfo) {
    PLAT_PARAMETER_ASSERT(priceInfo);
    return gated(
        serviceSession()->newCanRedeemProductRequestWithPurchaseCode(priceInfo->purchaseCode_));
}

std::string VnBookStoreUserContext::mobilePurchaseReceipt(
    const std::string& msisdn, const std::optional<std::string>& promotionCode) {
    const std::string receipt =
        promotionCode ? "1.0;" + msisdn + ";" + *promotionCode : "1.0;" + msisdn;
    return DataSupport::Base64Encode(
        std::span(reinterpret_cast<const uint8_t*>(receipt.data()), receipt.size()));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMobilePurchaseConfirmationWithProductType(
    const std::string& productType, const std::string& msisdn,
    const std::optional<std::string>& promotionCode) {
    return gated(serviceSession()->newPurchaseProductRequestWithPurchaseCode(
        std::string(), productType, mobilePurchaseReceipt(msisdn, promotionCode)));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMobileOneTimePasswordWithOperator(
    const std::string& mobileOperator, const std::string& msisdn,
    const std::string& packageIdentifier) {
    return serviceSession()->newMobileOneTimePasswordRequestWithOperator(mobileOperator, msisdn,
                                                                         packageIdentifier);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMobileDataNumberDetection() {
    return serviceSession()->newMobileDataNumberDetectionRequest();
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForChangingPasswordWithOldPassword(
    const std::string& oldPassword, const std::string& newPassword) {
    return serviceSession()->newChangePasswordRequestWithUserAuthenticationInfo(
        VnUserAuthenticationInfo::infoWithUserNamePassword(userId_->userName(), oldPassword),
        newPassword);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForLumoCardLatestUserPointsRecord() {
    return serviceSession()->newLumoCardLatestUserPointsRecordRequest();
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForLumoCardBindingWithCardNumber(
    const std::string& cardNumber, const std::string& dateOfBirthYYYYMMDD,
    const std::string& identificationNumber) {
    return serviceSession()->newLumoCardBindingWithCardNumber(cardNumber, dateOfBirthYYYYMMDD,
                                                              identificationNumber);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForAPNSPushTokenRegistration(
    const std::optional<std::string>& deviceToken) {
    return gated(serviceSession()->newRegisterAPNSTokenRequest(deviceToken));
}

Ref<VnRequestContext> VnBookStoreUserContext::followRequest(const std::string& code,
                                                            int32_t followType, bool isFollow) {
    const int32_t accountId = accountInfo_ ? accountInfo_->userId_ : 0;
    return gated(serviceSession()->newFollowRequestWithUserFollowInputParams(
        VnUserFollowInputParams::initWithUserID(accountId, code, followType, isFollow)));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowBookCategory(const std::string& code,
                                                                           bool isFollow) {
    return followRequest(code, VnFollowTypeBookCategory, isFollow);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowMagazineCategory(
    const std::string& code, bool isFollow) {
    return followRequest(code, VnFollowTypeMagazineCategory, isFollow);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowAuthor(const std::string& code,
                                                                     bool isFollow) {
    return followRequest(code, VnFollowTypeAuthor, isFollow);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowPublisher(const std::string& code,
                                                                        bool isFollow) {
    return followRequest(code, VnFollowTypePublisher, isFollow);
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForTransferBooksFromCurrentDeviceLibrary() {
    auto remote = serviceSession()->newTransferUserBooksRequestWithSourceUserAuthenticationInfo(
        VnUserAuthenticationInfo::infoWithDeviceId(VndUDID::value()));
    auto proxy = remote->proxyWithProxyDelegate(self<VnBookStoreUserContext>(), "transfer_");
    activeRequests_.insert(proxy);
    return proxy;
}

void VnBookStoreUserContext::transfer_requestProxy_request_willNotify_didFinishWithResult(
    Ref<VnRequestContext> proxy, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    auto answer = result->returnValue().as<VnTransferUserBooksReturnValue>();
    if (result->succeed() && answer && answer->isSuccess_)
        takeOverDeviceLibrary();
    activeRequests_.erase(proxy);
}

void VnBookStoreUserContext::takeOverDeviceLibrary() {
    auto bookstore = context();
    if (!bookstore || isDefault())
        return;
    auto device = bookstore->defaultUserContext();
    const std::pair<Ref<VnMagazineIssueDomain>, Ref<VnMagazineIssueDomain>> pairs[] = {
        {device->libraryDomain(), libraryDomain_},
        {device->bookLibraryDomain(), bookLibraryDomain_}};
    for (const auto& pair : pairs) {
        const Ref<VnMagazineIssueDomain>& from = pair.first;
        const Ref<VnMagazineIssueDomain>& to = pair.second;
        VnInfoList moving = from->takeLocalSnapshot()->items();
        from->notifyItemsRemovedAll();
        // The device's own list forgets them too, or they would come back from its table.
        from->notifyUserInfoItemsRemovedAll();
        from->flushUserInfoItemsWritingCache();
        std::erase_if(moving, [&](const Ref<VnInfo>& item) { return to->containsInfo(item); });
        if (moving.empty())
            continue;
        to->notifyItemsAddOrUpdate(moving);
        // The member's list keeps them across restarts: each needs its per-user record.
        to->notifyUserItemsAddOrUpdate(moving);
        to->flushUserInfoItemsWritingCache();
    }
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForPromotionInfoWithStartIndex(
    int32_t startIndex, int32_t length, int32_t sortId) {
    return gated(storeRemoteSession_->requestForPromotionInfoWithStartIndex(
        startIndex, length, std::to_string(sortId)));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForMessageInfoWithStartIndex(
    int32_t startIndex, int32_t length) {
    return gated(storeRemoteSession_->requestForMessageInfoWithStartIndex(startIndex, length));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowInfosWithFollowTypeIdArray(
    const std::vector<int32_t>& followTypes) {
    std::vector<plat::Value> types;
    for (int32_t type : followTypes)
        types.emplace_back(plat::Number::fromInt64(type, 'i'));
    return storeRemoteSession_->requestForFollowInfosWithFollowTypeIdArrays(
        plat::Array::make(std::move(types)));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForFollowInfosWithFollowTypeId(
    int32_t followType) {
    return requestForFollowInfosWithFollowTypeIdArray({followType});
}

namespace {
// The reviews of one page: page index x page size, page size long.
VnIndexRange reviewPage(int32_t pageIndex, int32_t reviewsPerPage) {
    const auto length = static_cast<uint64_t>(std::max(reviewsPerPage, 0));
    return {static_cast<uint64_t>(std::max(pageIndex, 0)) * length, length};
}
}  // namespace

Ref<VnRequestContext> VnBookStoreUserContext::requestForReviewOfMagazineCode(
    const std::string& code, int32_t pageIndex, int32_t reviewsPerPage) {
    return storeRemoteSession_->reviewSessionForMagazineCode(code)->requestForItemReviewInRange(
        reviewPage(pageIndex, reviewsPerPage));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForReviewOfMagazineIssueCode(
    const std::string& code, int32_t pageIndex, int32_t reviewsPerPage) {
    return storeRemoteSession_->reviewSessionForMagazineIssueCode(code)
        ->requestForItemReviewInRange(reviewPage(pageIndex, reviewsPerPage));
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForRatingOfMagazineCode(
    const std::string& code) {
    return storeRemoteSession_->reviewSessionForMagazineCode(code)->requestForItemRating();
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForRatingOfMagazineIssueCode(
    const std::string& code) {
    return storeRemoteSession_->reviewSessionForMagazineIssueCode(code)->requestForItemRating();
}

Ref<VnRequestContext> VnBookStoreUserContext::submitItemRatingReview(
    const std::string& itemId, const Ref<VnStoreItemReview>& review) {
    return storeRemoteSession_->submitItemReviewWithItemId(itemId, review);
}

// ---- Pending redemptions ------------------------------------------------------------------------

std::vector<Ref<VnInfo>> VnBookStoreUserContext::pendingRedemptions() {
    return pendingRedemptionTable_->takeItems();
}

void VnBookStoreUserContext::addPendingRedemption(
    const Ref<VnBookStorePurchaseRequestRedeemInfo>& info) {
    pendingRedemptionTable_->addInfo(info);
    pendingRedemptionTable_->flushStorageWriting();
}

void VnBookStoreUserContext::removePendingRedemption(
    const Ref<VnBookStorePurchaseRequestRedeemInfo>& info) {
    if (info && info->code())
        pendingRedemptionTable_->removeInfoByCode(*info->code());
    pendingRedemptionTable_->flushStorageWriting();
}

// ---- VnBookStoreUserRequest ---------------------------------------------------------------------

Ref<VnBookStoreUserRequest> VnBookStoreUserRequest::requestWithUserContext(
    const Ref<VnBookStoreUserContext>& userContext, Ref<VnRequestContext> remoteRequest) {
    return plat::autorelease(
        std::make_shared<VnBookStoreUserRequest>(userContext, std::move(remoteRequest)));
}

void VnBookStoreUserRequest::coreStart() {
    VnRequestContext::coreStart();
    auto userContext = userContext_.lock();
    if (!userContext) {
        coreQueueNotifyFinishWithResult(
            VnRequestResult::failedResultWithErrorMessage("The user's session has ended"));
        return;
    }
    userContext->executeRequest(remoteRequest_, self(), "remoteRequest_");
}

void VnBookStoreUserRequest::coreCancel() {
    VnRequestContext::coreCancel();
    if (auto userContext = userContext_.lock())
        userContext->cancelRequest(remoteRequest_);
    else
        remoteRequest_->cancel();
}

void VnBookStoreUserRequest::remoteRequest_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    coreNotifyFinishWithResult(result);
}

void VnBookStoreUserRequest::remoteRequest_request_progressReport(Ref<VnRequestContext>,
                                                                  VnRequestProgress progress) {
    coreReportProgress(progress);
}

Ref<VnDataContext> VnBookStoreUserContext::userBookmarkDataContext() const {
    return userBookmarkDataContext_;
}
