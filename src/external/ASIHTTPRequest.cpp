#include "external/ASIHTTPRequest.h"

#include <algorithm>
#include <any>
#include <filesystem>
#include <utility>

#include "external/ASIDataCompressor.h"
#include "external/ASIHTTPRequestErrors.h"
#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(ASIHTTPRequest, plat::Operation, [](auto& c) {
    c.method("finishedDownloadingPACFile:", &ASIHTTPRequest::finishedDownloadingPACFile);
    c.property("username", "T@\"NSString\",&,V_username", &ASIHTTPRequest::username,
               &ASIHTTPRequest::setUsername)
        .property("password", "T@\"NSString\",&,V_password", &ASIHTTPRequest::password,
                  &ASIHTTPRequest::setPassword)
        .property("authenticationRealm", "T@\"NSString\",&,V_authenticationRealm",
                  &ASIHTTPRequest::authenticationRealm, &ASIHTTPRequest::setAuthenticationRealm)
        .property("proxyHost", "T@\"NSString\",&,V_proxyHost", &ASIHTTPRequest::proxyHost,
                  &ASIHTTPRequest::setProxyHost)
        .property("proxyPort", "Ti,V_proxyPort", &ASIHTTPRequest::proxyPort,
                  &ASIHTTPRequest::setProxyPort)
        .property("requestMethod", "T@\"NSString\",&,N,V_requestMethod",
                  &ASIHTTPRequest::requestMethod, &ASIHTTPRequest::setRequestMethod)
        .property("responseHeaders", "T@\"NSDictionary\",&,V_responseHeaders",
                  &ASIHTTPRequest::responseHeaders, &ASIHTTPRequest::setResponseHeaders)
        .property("useCookiePersistence", "Tc,V_useCookiePersistence",
                  &ASIHTTPRequest::useCookiePersistence, &ASIHTTPRequest::setUseCookiePersistence)
        .property("useKeychainPersistence", "Tc,V_useKeychainPersistence",
                  &ASIHTTPRequest::useKeychainPersistence,
                  &ASIHTTPRequest::setUseKeychainPersistence)
        .property("useSessionPersistence", "Tc,V_useSessionPersistence",
                  &ASIHTTPRequest::useSessionPersistence, &ASIHTTPRequest::setUseSessionPersistence)
        .property("allowCompressedResponse", "Tc,V_allowCompressedResponse",
                  &ASIHTTPRequest::allowCompressedResponse,
                  &ASIHTTPRequest::setAllowCompressedResponse)
        .property("shouldCompressRequestBody", "Tc,V_shouldCompressRequestBody",
                  &ASIHTTPRequest::shouldCompressRequestBody,
                  &ASIHTTPRequest::setShouldCompressRequestBody)
        .property("shouldStreamPostDataFromDisk", "Tc,V_shouldStreamPostDataFromDisk",
                  &ASIHTTPRequest::shouldStreamPostDataFromDisk,
                  &ASIHTTPRequest::setShouldStreamPostDataFromDisk)
        .property("postBodyFilePath", "T@\"NSString\",&,V_postBodyFilePath",
                  &ASIHTTPRequest::postBodyFilePath, &ASIHTTPRequest::setPostBodyFilePath)
        .property("downloadDestinationPath", "T@\"NSString\",&,V_downloadDestinationPath",
                  &ASIHTTPRequest::downloadDestinationPath,
                  &ASIHTTPRequest::setDownloadDestinationPath)
        .property("temporaryFileDownloadPath", "T@\"NSString\",&,V_temporaryFileDownloadPath",
                  &ASIHTTPRequest::temporaryFileDownloadPath,
                  &ASIHTTPRequest::setTemporaryFileDownloadPath)
        .property("userAgentString", "T@\"NSString\",&,V_userAgentString",
                  &ASIHTTPRequest::userAgentString, &ASIHTTPRequest::setUserAgentString)
        .property("domain", "T@\"NSString\",&,V_domain", &ASIHTTPRequest::domain,
                  &ASIHTTPRequest::setDomain)
        .property("proxyUsername", "T@\"NSString\",&,V_proxyUsername",
                  &ASIHTTPRequest::proxyUsername, &ASIHTTPRequest::setProxyUsername)
        .property("proxyPassword", "T@\"NSString\",&,V_proxyPassword",
                  &ASIHTTPRequest::proxyPassword, &ASIHTTPRequest::setProxyPassword)
        .property("proxyDomain", "T@\"NSString\",&,V_proxyDomain", &ASIHTTPRequest::proxyDomain,
                  &ASIHTTPRequest::setProxyDomain)
        .property("proxyType", "T@\"NSString\",&,V_proxyType", &ASIHTTPRequest::proxyType,
                  &ASIHTTPRequest::setProxyType)
        .property("authenticationScheme", "T@\"NSString\",&,V_authenticationScheme",
                  &ASIHTTPRequest::authenticationScheme, &ASIHTTPRequest::setAuthenticationScheme)
        .property("timeOutSeconds", "Td,V_timeOutSeconds", &ASIHTTPRequest::timeOutSeconds,
                  &ASIHTTPRequest::setTimeOutSeconds)
        .property("tag", "Tq,V_tag", &ASIHTTPRequest::tag, &ASIHTTPRequest::setTag)
        .property("userInfo", "T@\"NSDictionary\",&,V_userInfo", &ASIHTTPRequest::userInfo,
                  &ASIHTTPRequest::setUserInfo)
        .property("useHTTPVersionOne", "Tc,V_useHTTPVersionOne", &ASIHTTPRequest::useHTTPVersionOne,
                  &ASIHTTPRequest::setUseHTTPVersionOne)
        .property("shouldRedirect", "Tc,V_shouldRedirect", &ASIHTTPRequest::shouldRedirect,
                  &ASIHTTPRequest::setShouldRedirect)
        .property("validatesSecureCertificate", "Tc,V_validatesSecureCertificate",
                  &ASIHTTPRequest::validatesSecureCertificate,
                  &ASIHTTPRequest::setValidatesSecureCertificate)
        .property("shouldPresentCredentialsBeforeChallenge",
                  "Tc,V_shouldPresentCredentialsBeforeChallenge",
                  &ASIHTTPRequest::shouldPresentCredentialsBeforeChallenge,
                  &ASIHTTPRequest::setShouldPresentCredentialsBeforeChallenge)
        .property("shouldAttemptPersistentConnection", "Tc,V_shouldAttemptPersistentConnection",
                  &ASIHTTPRequest::shouldAttemptPersistentConnection,
                  &ASIHTTPRequest::setShouldAttemptPersistentConnection)
        .property("persistentConnectionTimeoutSeconds", "Td,V_persistentConnectionTimeoutSeconds",
                  &ASIHTTPRequest::persistentConnectionTimeoutSeconds,
                  &ASIHTTPRequest::setPersistentConnectionTimeoutSeconds)
        .property("allowResumeForFileDownloads", "Tc,V_allowResumeForFileDownloads",
                  &ASIHTTPRequest::allowResumeForFileDownloads,
                  &ASIHTTPRequest::setAllowResumeForFileDownloads)
        .property("defaultResponseEncoding", "TQ,V_defaultResponseEncoding",
                  &ASIHTTPRequest::defaultResponseEncoding,
                  &ASIHTTPRequest::setDefaultResponseEncoding)
        .property("responseEncoding", "TQ,V_responseEncoding", &ASIHTTPRequest::responseEncoding,
                  &ASIHTTPRequest::setResponseEncoding)
        .property("shouldWaitToInflateCompressedResponses",
                  "Tc,V_shouldWaitToInflateCompressedResponses",
                  &ASIHTTPRequest::shouldWaitToInflateCompressedResponses,
                  &ASIHTTPRequest::setShouldWaitToInflateCompressedResponses)
        .property("numberOfTimesToRetryOnTimeout", "Ti,V_numberOfTimesToRetryOnTimeout",
                  &ASIHTTPRequest::numberOfTimesToRetryOnTimeout,
                  &ASIHTTPRequest::setNumberOfTimesToRetryOnTimeout)
        .property("cachePolicy", "Ti,V_cachePolicy", &ASIHTTPRequest::cachePolicy,
                  &ASIHTTPRequest::setCachePolicy)
        .property("cacheStoragePolicy", "Ti,V_cacheStoragePolicy",
                  &ASIHTTPRequest::cacheStoragePolicy, &ASIHTTPRequest::setCacheStoragePolicy)
        .property("secondsToCache", "Td,V_secondsToCache", &ASIHTTPRequest::secondsToCache,
                  &ASIHTTPRequest::setSecondsToCache)
        .property("showAccurateProgress", "Tc,V_showAccurateProgress",
                  &ASIHTTPRequest::showAccurateProgress, &ASIHTTPRequest::setShowAccurateProgress)
        .property("shouldResetUploadProgress", "Tc,V_shouldResetUploadProgress",
                  &ASIHTTPRequest::shouldResetUploadProgress,
                  &ASIHTTPRequest::setShouldResetUploadProgress)
        .property("shouldResetDownloadProgress", "Tc,V_shouldResetDownloadProgress",
                  &ASIHTTPRequest::shouldResetDownloadProgress,
                  &ASIHTTPRequest::setShouldResetDownloadProgress)
        .property("shouldPresentAuthenticationDialog", "Tc,V_shouldPresentAuthenticationDialog",
                  &ASIHTTPRequest::shouldPresentAuthenticationDialog,
                  &ASIHTTPRequest::setShouldPresentAuthenticationDialog)
        .property("shouldPresentProxyAuthenticationDialog",
                  "Tc,V_shouldPresentProxyAuthenticationDialog",
                  &ASIHTTPRequest::shouldPresentProxyAuthenticationDialog,
                  &ASIHTTPRequest::setShouldPresentProxyAuthenticationDialog)
        .property("shouldUseRFC2616RedirectBehaviour", "Tc,V_shouldUseRFC2616RedirectBehaviour",
                  &ASIHTTPRequest::shouldUseRFC2616RedirectBehaviour,
                  &ASIHTTPRequest::setShouldUseRFC2616RedirectBehaviour)
        .property("error", "T@\"NSError\",&,V_error", &ASIHTTPRequest::error,
                  &ASIHTTPRequest::setError)
        .property("complete", "Tc,V_complete", &ASIHTTPRequest::complete,
                  &ASIHTTPRequest::setComplete)
        .property("inProgress", "Tc,V_inProgress", &ASIHTTPRequest::inProgress,
                  &ASIHTTPRequest::setInProgress)
        .property("responseStatusCode", "Ti,V_responseStatusCode",
                  &ASIHTTPRequest::responseStatusCode, &ASIHTTPRequest::setResponseStatusCode)
        .property("responseStatusMessage", "T@\"NSString\",&,V_responseStatusMessage",
                  &ASIHTTPRequest::responseStatusMessage, &ASIHTTPRequest::setResponseStatusMessage)
        .property("contentLength", "TQ,V_contentLength", &ASIHTTPRequest::contentLength,
                  &ASIHTTPRequest::setContentLength)
        .property("partialDownloadSize", "TQ,V_partialDownloadSize",
                  &ASIHTTPRequest::partialDownloadSize, &ASIHTTPRequest::setPartialDownloadSize)
        .property("postLength", "TQ,V_postLength", &ASIHTTPRequest::postLength,
                  &ASIHTTPRequest::setPostLength)
        .property("totalBytesRead", "TQ,V_totalBytesRead", &ASIHTTPRequest::totalBytesRead,
                  &ASIHTTPRequest::setTotalBytesRead)
        .property("totalBytesSent", "TQ,V_totalBytesSent", &ASIHTTPRequest::totalBytesSent,
                  &ASIHTTPRequest::setTotalBytesSent)
        .property("haveBuiltRequestHeaders", "Tc,V_haveBuiltRequestHeaders",
                  &ASIHTTPRequest::haveBuiltRequestHeaders,
                  &ASIHTTPRequest::setHaveBuiltRequestHeaders)
        .property("didCreateTemporaryPostDataFile", "Tc,V_didCreateTemporaryPostDataFile",
                  &ASIHTTPRequest::didCreateTemporaryPostDataFile,
                  &ASIHTTPRequest::setDidCreateTemporaryPostDataFile)
        .property("authenticationNeeded", "Ti,V_authenticationNeeded",
                  &ASIHTTPRequest::authenticationNeeded, &ASIHTTPRequest::setAuthenticationNeeded)
        .property("retryCount", "Ti,V_retryCount", &ASIHTTPRequest::retryCount,
                  &ASIHTTPRequest::setRetryCount)
        .property("willRetryRequest", "Tc,V_willRetryRequest", &ASIHTTPRequest::willRetryRequest,
                  &ASIHTTPRequest::setWillRetryRequest)
        .property("didUseCachedResponse", "Tc,V_didUseCachedResponse",
                  &ASIHTTPRequest::didUseCachedResponse, &ASIHTTPRequest::setDidUseCachedResponse)
        .property("rawResponseData", "T@\"NSMutableData\",&,V_rawResponseData",
                  &ASIHTTPRequest::rawResponseData, &ASIHTTPRequest::setRawResponseData)
        .property("postBody", "T@\"NSMutableData\",&,V_postBody", &ASIHTTPRequest::postBody,
                  &ASIHTTPRequest::setPostBody);
})

ASIHTTPRequest::ASIHTTPRequest(plat::Url url)
    : cancelledLock_(std::make_shared<plat::RecursiveLock>()),
      url_(std::move(url)),
      timeOutSeconds_(defaultTimeOutSeconds()),
      maxResponseDataSize_(defaultMaxResponseDataSize()),
      downloadCache_(defaultCache()),
      runLoopMode_(plat::kDefaultRunLoopMode) {}

Ref<ASIHTTPRequest> ASIHTTPRequest::requestWithURL(plat::Url url) {
    return std::make_shared<ASIHTTPRequest>(std::move(url));
}

Ref<ASIHTTPRequest> ASIHTTPRequest::requestWithURL(plat::Url url, Ref<ASICacheDelegate> cache,
                                                   int32_t cachePolicy) {
    auto request = requestWithURL(std::move(url));
    request->setDownloadCache(std::move(cache));
    request->setCachePolicy(cachePolicy);
    return request;
}

Ref<ASIHTTPRequest> ASIHTTPRequest::makeEmptyCopy() const {
    return std::make_shared<ASIHTTPRequest>(url());
}

Ref<ASIHTTPRequest> ASIHTTPRequest::copyWithZone() const {
    auto copy = makeEmptyCopy();
    copy->setDelegate(delegate());
    copy->requestMethod_ = requestMethod();
    copy->setPostBody(postBody());
    copy->setShouldStreamPostDataFromDisk(shouldStreamPostDataFromDisk());
    copy->setPostBodyFilePath(postBodyFilePath());
    if (auto headers = requestHeaders())
        copy->requestHeaders_ = plat::MutableDictionary::make([&] {
            std::vector<std::pair<plat::Value, plat::Value>> entries;
            headers->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
                entries.emplace_back(k, v);
                return true;
            });
            return entries;
        }());
    copy->setRequestCookies(requestCookies());
    copy->setUseCookiePersistence(useCookiePersistence());
    copy->setUseKeychainPersistence(useKeychainPersistence());
    copy->setUseSessionPersistence(useSessionPersistence());
    copy->setAllowCompressedResponse(allowCompressedResponse());
    copy->setDownloadDestinationPath(downloadDestinationPath());
    copy->setTemporaryFileDownloadPath(temporaryFileDownloadPath());
    copy->setUsername(username());
    copy->setPassword(password());
    copy->setDomain(domain());
    copy->setProxyUsername(proxyUsername());
    copy->setProxyPassword(proxyPassword());
    copy->setProxyDomain(proxyDomain());
    copy->setProxyHost(proxyHost());
    copy->setProxyPort(proxyPort());
    copy->setProxyType(proxyType());
    copy->setShouldPresentAuthenticationDialog(shouldPresentAuthenticationDialog());
    copy->setShouldPresentProxyAuthenticationDialog(shouldPresentProxyAuthenticationDialog());
    copy->setPostLength(postLength());
    copy->haveBuiltPostBody_ = haveBuiltPostBody_;
    copy->setDidStartSelector(didStartSelector());
    copy->setDidFinishSelector(didFinishSelector());
    copy->setDidFailSelector(didFailSelector());
    copy->setTimeOutSeconds(timeOutSeconds());
    copy->setMaxResponseDataSize(maxResponseDataSize());
    copy->setShouldResetDownloadProgress(shouldResetDownloadProgress());
    copy->setShouldResetUploadProgress(shouldResetUploadProgress());
    copy->setShowAccurateProgress(showAccurateProgress());
    copy->setDefaultResponseEncoding(defaultResponseEncoding());
    copy->setAllowResumeForFileDownloads(allowResumeForFileDownloads());
    copy->setUserInfo(userInfo());
    copy->setTag(tag());
    copy->setUseHTTPVersionOne(useHTTPVersionOne());
    copy->setShouldRedirect(shouldRedirect());
    copy->setValidatesSecureCertificate(validatesSecureCertificate());
    copy->setShouldPresentCredentialsBeforeChallenge(shouldPresentCredentialsBeforeChallenge());
    copy->setNumberOfTimesToRetryOnTimeout(numberOfTimesToRetryOnTimeout());
    copy->setShouldUseRFC2616RedirectBehaviour(shouldUseRFC2616RedirectBehaviour());
    copy->setShouldAttemptPersistentConnection(shouldAttemptPersistentConnection());
    copy->setPersistentConnectionTimeoutSeconds(persistentConnectionTimeoutSeconds());
    copy->setAuthenticationScheme(authenticationScheme());
    return copy;
}

void ASIHTTPRequest::setClientCertificateIdentity(std::optional<ClientIdentity> identity) {
    std::lock_guard lock(propertyMutex_);
    clientCertificateIdentity_ = std::move(identity);
}

void ASIHTTPRequest::releaseBlocksOnMainThread() {
    auto blocks = std::make_shared<std::vector<std::any>>();
    {
        std::lock_guard lock(propertyMutex_);
        for (Block* block :
             {&startedBlock_, &completionBlock_, &failureBlock_, &authenticationNeededBlock_,
              &proxyAuthenticationNeededBlock_, &requestRedirectedBlock_}) {
            if (*block)
                blocks->push_back(std::exchange(*block, nullptr));
        }
        if (headersReceivedBlock_)
            blocks->push_back(std::exchange(headersReceivedBlock_, nullptr));
        for (auto* block : {&bytesReceivedBlock_, &bytesSentBlock_}) {
            if (*block)
                blocks->push_back(std::exchange(*block, nullptr));
        }
        for (auto* block : {&downloadSizeIncrementedBlock_, &uploadSizeIncrementedBlock_}) {
            if (*block)
                blocks->push_back(std::exchange(*block, nullptr));
        }
        if (dataReceivedBlock_)
            blocks->push_back(std::exchange(dataReceivedBlock_, nullptr));
    }
    if (blocks->empty() || plat::RunLoop::isMainThread())
        return;  // released here, on the main thread
    plat::RunLoop::main().tryPost([blocks]() mutable { blocks.reset(); });
}

ASIHTTPRequest::~ASIHTTPRequest() {
    authenticationNeeded_ = 0;
    releaseBlocksOnMainThread();
    if (statusTimer_)
        statusTimer_->invalidate();
    // The tear-down of an attempt, without the self references it takes while running.
    if (readStream_) {
        readStream_->setClient(0, {});
        if (!connectionCanBeReused_)
            readStream_->close();
    }
    if (postBodyReadStream_)
        postBodyReadStream_->close();
    if (didCreateTemporaryPostDataFile_) {
        for (const auto& path : {postBodyFilePath_, compressedPostBodyFilePath_}) {
            if (path)
                removeFileAtPath(*path, nullptr);
        }
    }
}

// ---- Properties ---------------------------------------------------------------------------------

plat::Url ASIHTTPRequest::url() const {
    CancelledLockHolder lock(*this);
    return url_;
}

void ASIHTTPRequest::setURL(plat::Url url) {
    CancelledLockHolder lock(*this);
    if (url == url_)
        return;
    url_ = std::move(url);
    request_.reset();
    requestAuthentication_.reset();
    proxyAuthentication_.reset();
    redirectURL_.reset();
}

#define ASI_ATOMIC_PROPERTY(Type, getter, setter, field) \
    Type ASIHTTPRequest::getter() const {                \
        std::lock_guard lock(propertyMutex_);            \
        return field;                                    \
    }                                                    \
    void ASIHTTPRequest::setter(Type value) {            \
        std::lock_guard lock(propertyMutex_);            \
        field = std::move(value);                        \
    }

ASI_ATOMIC_PROPERTY(std::optional<std::string>, username, setUsername, username_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, password, setPassword, password_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, authenticationRealm, setAuthenticationRealm,
                    authenticationRealm_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyHost, setProxyHost, proxyHost_)
ASI_ATOMIC_PROPERTY(int32_t, proxyPort, setProxyPort, proxyPort_)
ASI_ATOMIC_PROPERTY(Ref<plat::Dictionary>, responseHeaders, setResponseHeaders, responseHeaders_)
ASI_ATOMIC_PROPERTY(std::string, didStartSelector, setDidStartSelector, didStartSelector_)
ASI_ATOMIC_PROPERTY(std::string, didReceiveResponseHeadersSelector,
                    setDidReceiveResponseHeadersSelector, didReceiveResponseHeadersSelector_)
ASI_ATOMIC_PROPERTY(std::string, willRedirectSelector, setWillRedirectSelector,
                    willRedirectSelector_)
ASI_ATOMIC_PROPERTY(std::string, didFinishSelector, setDidFinishSelector, didFinishSelector_)
ASI_ATOMIC_PROPERTY(std::string, didFailSelector, setDidFailSelector, didFailSelector_)
ASI_ATOMIC_PROPERTY(std::string, didReceiveDataSelector, setDidReceiveDataSelector,
                    didReceiveDataSelector_)
ASI_ATOMIC_PROPERTY(bool, useCookiePersistence, setUseCookiePersistence, useCookiePersistence_)
ASI_ATOMIC_PROPERTY(bool, useKeychainPersistence, setUseKeychainPersistence,
                    useKeychainPersistence_)
ASI_ATOMIC_PROPERTY(bool, useSessionPersistence, setUseSessionPersistence, useSessionPersistence_)
ASI_ATOMIC_PROPERTY(bool, allowCompressedResponse, setAllowCompressedResponse,
                    allowCompressedResponse_)
ASI_ATOMIC_PROPERTY(bool, shouldCompressRequestBody, setShouldCompressRequestBody,
                    shouldCompressRequestBody_)
ASI_ATOMIC_PROPERTY(bool, shouldStreamPostDataFromDisk, setShouldStreamPostDataFromDisk,
                    shouldStreamPostDataFromDisk_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, postBodyFilePath, setPostBodyFilePath,
                    postBodyFilePath_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, downloadDestinationPath, setDownloadDestinationPath,
                    downloadDestinationPath_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, temporaryFileDownloadPath,
                    setTemporaryFileDownloadPath, temporaryFileDownloadPath_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, userAgentString, setUserAgentString,
                    userAgentString_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, domain, setDomain, domain_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyUsername, setProxyUsername, proxyUsername_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyPassword, setProxyPassword, proxyPassword_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyDomain, setProxyDomain, proxyDomain_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyType, setProxyType, proxyType_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, authenticationScheme, setAuthenticationScheme,
                    authenticationScheme_)
ASI_ATOMIC_PROPERTY(double, timeOutSeconds, setTimeOutSeconds, timeOutSeconds_)
ASI_ATOMIC_PROPERTY(uint64_t, maxResponseDataSize, setMaxResponseDataSize, maxResponseDataSize_)
ASI_ATOMIC_PROPERTY(int64_t, tag, setTag, tag_)
ASI_ATOMIC_PROPERTY(Ref<plat::Dictionary>, userInfo, setUserInfo, userInfo_)
ASI_ATOMIC_PROPERTY(bool, useHTTPVersionOne, setUseHTTPVersionOne, useHTTPVersionOne_)
ASI_ATOMIC_PROPERTY(bool, shouldRedirect, setShouldRedirect, shouldRedirect_)
ASI_ATOMIC_PROPERTY(bool, validatesSecureCertificate, setValidatesSecureCertificate,
                    validatesSecureCertificate_)
ASI_ATOMIC_PROPERTY(bool, shouldPresentCredentialsBeforeChallenge,
                    setShouldPresentCredentialsBeforeChallenge,
                    shouldPresentCredentialsBeforeChallenge_)
ASI_ATOMIC_PROPERTY(bool, shouldAttemptPersistentConnection, setShouldAttemptPersistentConnection,
                    shouldAttemptPersistentConnection_)
ASI_ATOMIC_PROPERTY(double, persistentConnectionTimeoutSeconds,
                    setPersistentConnectionTimeoutSeconds, persistentConnectionTimeoutSeconds_)
ASI_ATOMIC_PROPERTY(bool, allowResumeForFileDownloads, setAllowResumeForFileDownloads,
                    allowResumeForFileDownloads_)
ASI_ATOMIC_PROPERTY(plat::StringEncoding, defaultResponseEncoding, setDefaultResponseEncoding,
                    defaultResponseEncoding_)
ASI_ATOMIC_PROPERTY(plat::StringEncoding, responseEncoding, setResponseEncoding, responseEncoding_)
ASI_ATOMIC_PROPERTY(bool, shouldWaitToInflateCompressedResponses,
                    setShouldWaitToInflateCompressedResponses,
                    shouldWaitToInflateCompressedResponses_)
ASI_ATOMIC_PROPERTY(int32_t, numberOfTimesToRetryOnTimeout, setNumberOfTimesToRetryOnTimeout,
                    numberOfTimesToRetryOnTimeout_)
ASI_ATOMIC_PROPERTY(int32_t, cachePolicy, setCachePolicy, cachePolicy_)
ASI_ATOMIC_PROPERTY(int32_t, cacheStoragePolicy, setCacheStoragePolicy, cacheStoragePolicy_)
ASI_ATOMIC_PROPERTY(double, secondsToCache, setSecondsToCache, secondsToCache_)
ASI_ATOMIC_PROPERTY(bool, showAccurateProgress, setShowAccurateProgress, showAccurateProgress_)
ASI_ATOMIC_PROPERTY(bool, shouldResetUploadProgress, setShouldResetUploadProgress,
                    shouldResetUploadProgress_)
ASI_ATOMIC_PROPERTY(bool, shouldResetDownloadProgress, setShouldResetDownloadProgress,
                    shouldResetDownloadProgress_)
ASI_ATOMIC_PROPERTY(bool, shouldPresentAuthenticationDialog, setShouldPresentAuthenticationDialog,
                    shouldPresentAuthenticationDialog_)
ASI_ATOMIC_PROPERTY(bool, shouldPresentProxyAuthenticationDialog,
                    setShouldPresentProxyAuthenticationDialog,
                    shouldPresentProxyAuthenticationDialog_)
ASI_ATOMIC_PROPERTY(bool, shouldUseRFC2616RedirectBehaviour, setShouldUseRFC2616RedirectBehaviour,
                    shouldUseRFC2616RedirectBehaviour_)
ASI_ATOMIC_PROPERTY(Ref<plat::Error>, error, setError, error_)
ASI_ATOMIC_PROPERTY(bool, complete, setComplete, complete_)
ASI_ATOMIC_PROPERTY(bool, inProgress, setInProgress, inProgress_)
ASI_ATOMIC_PROPERTY(int32_t, responseStatusCode, setResponseStatusCode, responseStatusCode_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, responseStatusMessage, setResponseStatusMessage,
                    responseStatusMessage_)
ASI_ATOMIC_PROPERTY(uint64_t, contentLength, setContentLength, contentLength_)
ASI_ATOMIC_PROPERTY(uint64_t, partialDownloadSize, setPartialDownloadSize, partialDownloadSize_)
ASI_ATOMIC_PROPERTY(uint64_t, postLength, setPostLength, postLength_)
ASI_ATOMIC_PROPERTY(uint64_t, totalBytesRead, setTotalBytesRead, totalBytesRead_)
ASI_ATOMIC_PROPERTY(uint64_t, totalBytesSent, setTotalBytesSent, totalBytesSent_)
ASI_ATOMIC_PROPERTY(bool, haveBuiltRequestHeaders, setHaveBuiltRequestHeaders,
                    haveBuiltRequestHeaders_)
ASI_ATOMIC_PROPERTY(bool, didCreateTemporaryPostDataFile, setDidCreateTemporaryPostDataFile,
                    didCreateTemporaryPostDataFile_)
ASI_ATOMIC_PROPERTY(int32_t, authenticationNeeded, setAuthenticationNeeded, authenticationNeeded_)
ASI_ATOMIC_PROPERTY(int32_t, retryCount, setRetryCount, retryCount_)
ASI_ATOMIC_PROPERTY(bool, willRetryRequest, setWillRetryRequest, willRetryRequest_)
ASI_ATOMIC_PROPERTY(bool, didUseCachedResponse, setDidUseCachedResponse, didUseCachedResponse_)
ASI_ATOMIC_PROPERTY(std::optional<uint32_t>, requestID, setRequestID, requestID_)
ASI_ATOMIC_PROPERTY(Ref<plat::MutableDictionary>, connectionInfo, setConnectionInfo,
                    connectionInfo_)
ASI_ATOMIC_PROPERTY(std::optional<plat::Bytes>, rawResponseData, setRawResponseData,
                    rawResponseData_)
ASI_ATOMIC_PROPERTY(std::optional<plat::Bytes>, postBody, setPostBody, postBody_)
Ref<ASIHTTPRequest> ASIHTTPRequest::mainRequest() const {
    std::lock_guard lock(propertyMutex_);
    return mainRequest_.lock();
}
void ASIHTTPRequest::setMainRequest(Ref<ASIHTTPRequest> value) {
    std::lock_guard lock(propertyMutex_);
    mainRequest_ = value;
}
ASI_ATOMIC_PROPERTY(Ref<ASICacheDelegate>, downloadCache, setDownloadCache, downloadCache_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, temporaryUncompressedDataDownloadPath,
                    setTemporaryUncompressedDataDownloadPath,
                    temporaryUncompressedDataDownloadPath_)
ASI_ATOMIC_PROPERTY(std::optional<plat::Url>, originalURL, setOriginalURL, originalURL_)
ASI_ATOMIC_PROPERTY(Ref<plat::MutableDictionary>, requestHeaders, setRequestHeaders,
                    requestHeaders_)
ASI_ATOMIC_PROPERTY(std::vector<plat::HttpCookie>, responseCookies, setResponseCookies,
                    responseCookies_)
ASI_ATOMIC_PROPERTY(Ref<plat::Dictionary>, requestCredentials, setRequestCredentials,
                    requestCredentials_)
ASI_ATOMIC_PROPERTY(Ref<plat::Dictionary>, proxyCredentials, setProxyCredentials, proxyCredentials_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyAuthenticationRealm,
                    setProxyAuthenticationRealm, proxyAuthenticationRealm_)
ASI_ATOMIC_PROPERTY(std::optional<std::string>, proxyAuthenticationScheme,
                    setProxyAuthenticationScheme, proxyAuthenticationScheme_)
ASI_ATOMIC_PROPERTY(int32_t, authenticationRetryCount, setAuthenticationRetryCount,
                    authenticationRetryCount_)
ASI_ATOMIC_PROPERTY(int32_t, proxyAuthenticationRetryCount, setProxyAuthenticationRetryCount,
                    proxyAuthenticationRetryCount_)
ASI_ATOMIC_PROPERTY(std::vector<std::string>, clientCertificates, setClientCertificates,
                    clientCertificates_)
ASI_ATOMIC_PROPERTY(Ref<ASIDataDecompressor>, dataDecompressor, setDataDecompressor,
                    dataDecompressor_)
ASI_ATOMIC_PROPERTY(Ref<plat::RecursiveLock>, cancelledLock, setCancelledLock, cancelledLock_)

#undef ASI_ATOMIC_PROPERTY

Ref<plat::Object> ASIHTTPRequest::delegate() const {
    CancelledLockHolder lock(*this);
    return delegate_.lock();
}

void ASIHTTPRequest::setDelegate(const Ref<plat::Object>& delegate) {
    CancelledLockHolder lock(*this);
    delegate_ = delegate;
}

Ref<plat::Object> ASIHTTPRequest::queue() const {
    CancelledLockHolder lock(*this);
    return queue_;
}

void ASIHTTPRequest::setQueue(Ref<plat::Object> queue) {
    CancelledLockHolder lock(*this);
    queue_ = std::move(queue);
}

#define ASI_BLOCK_SETTER(Setter, Type, field) \
    void ASIHTTPRequest::Setter(Type block) { \
        std::lock_guard lock(propertyMutex_); \
        field = std::move(block);             \
    }
ASI_BLOCK_SETTER(setStartedBlock, Block, startedBlock_)
ASI_BLOCK_SETTER(setHeadersReceivedBlock, std::function<void(Ref<plat::Dictionary>)>,
                 headersReceivedBlock_)
ASI_BLOCK_SETTER(setCompletionBlock, Block, completionBlock_)
ASI_BLOCK_SETTER(setFailedBlock, Block, failureBlock_)
ASI_BLOCK_SETTER(setBytesReceivedBlock, std::function<void(uint64_t, uint64_t)>,
                 bytesReceivedBlock_)
ASI_BLOCK_SETTER(setBytesSentBlock, std::function<void(uint64_t, uint64_t)>, bytesSentBlock_)
ASI_BLOCK_SETTER(setDownloadSizeIncrementedBlock, std::function<void(int64_t)>,
                 downloadSizeIncrementedBlock_)
ASI_BLOCK_SETTER(setUploadSizeIncrementedBlock, std::function<void(int64_t)>,
                 uploadSizeIncrementedBlock_)
ASI_BLOCK_SETTER(setDataReceivedBlock, std::function<void(const plat::Bytes&)>, dataReceivedBlock_)
ASI_BLOCK_SETTER(setAuthenticationNeededBlock, Block, authenticationNeededBlock_)
ASI_BLOCK_SETTER(setProxyAuthenticationNeededBlock, Block, proxyAuthenticationNeededBlock_)
ASI_BLOCK_SETTER(setRequestRedirectedBlock, Block, requestRedirectedBlock_)
#undef ASI_BLOCK_SETTER

std::string ASIHTTPRequest::requestMethod() const {
    CancelledLockHolder lock(*this);
    return requestMethod_;
}

void ASIHTTPRequest::setRequestMethod(std::string method) {
    CancelledLockHolder lock(*this);
    if (method != requestMethod_)
        requestMethod_ = std::move(method);
    const bool hasBody = (postBody_ && !postBody_->empty()) || postBodyFilePath();
    if (requestMethod_ == "POST" || requestMethod_ == "PUT" || hasBody)
        setShouldAttemptPersistentConnection(false);
}

void ASIHTTPRequest::addRequestHeader(const std::string& name, const std::string& value) {
    std::lock_guard lock(propertyMutex_);
    if (!requestHeaders_)
        requestHeaders_ = plat::MutableDictionary::make();
    requestHeaders_->setObject(plat::Value(value), name);
}

std::vector<plat::HttpCookie> ASIHTTPRequest::requestCookies() const {
    std::lock_guard lock(propertyMutex_);
    return requestCookies_;
}

void ASIHTTPRequest::setRequestCookies(std::vector<plat::HttpCookie> cookies) {
    std::lock_guard lock(propertyMutex_);
    requestCookies_ = std::move(cookies);
}

// ---- Shared errors ------------------------------------------------------------------------------

Ref<plat::Error> ASIHTTPRequest::requestTimedOutError() {
    static const auto error = ASIMakeError(ASIRequestTimedOutErrorType, "The request timed out");
    return error;
}
Ref<plat::Error> ASIHTTPRequest::authenticationError() {
    static const auto error = ASIMakeError(ASIAuthenticationErrorType, "Authentication needed");
    return error;
}
Ref<plat::Error> ASIHTTPRequest::requestCancelledError() {
    static const auto error =
        ASIMakeError(ASIRequestCancelledErrorType, "The request was cancelled");
    return error;
}
Ref<plat::Error> ASIHTTPRequest::unableToCreateRequestError() {
    static const auto error =
        ASIMakeError(ASIUnableToCreateRequestErrorType, "Unable to create request (bad url?)");
    return error;
}
Ref<plat::Error> ASIHTTPRequest::tooMuchRedirectionError() {
    static const auto error = ASIMakeError(
        ASITooMuchRedirectionErrorType, "The request failed because it redirected too many times");
    return error;
}

// ---- Starting, cancelling -----------------------------------------------------------------------

void ASIHTTPRequest::startAsynchronous() {
    sharedQueue()->addOperation(self<ASIHTTPRequest>());
}

void ASIHTTPRequest::start() {
    willChangeValueForKey("isExecuting");
    setInProgress(true);
    didChangeValueForKey("isExecuting");
    auto me = self<ASIHTTPRequest>();
    threadForRequest(this).performOnThread([me] { me->main(); }, false);
}

void ASIHTTPRequest::startSynchronous() {
    isSynchronous_ = true;
    runLoopMode_ = kRunLoopMode;
    setInProgress(true);
    auto keep = self<ASIHTTPRequest>();
    if (!isCancelled() && !complete()) {
        main();
        while (!complete())
            plat::RunLoop::current().runMode(runLoopMode_, plat::RunLoop::current().now() + 1e9);
    }
    setInProgress(false);
}

bool ASIHTTPRequest::isFinished() const {
    std::lock_guard lock(propertyMutex_);
    return finished_;
}

bool ASIHTTPRequest::isCancelled() const {
    CancelledLockHolder lock(*this);
    return cancelled_;
}

void ASIHTTPRequest::cancel() {
    auto me = self<ASIHTTPRequest>();
    threadForRequest(this).performOnThread([me] { me->cancelOnRequestThread(); }, false);
}

void ASIHTTPRequest::cancelOnRequestThread() {
    auto keep = self<ASIHTTPRequest>();
    CancelledLockHolder lock(*this);
    if (cancelled_ || complete())
        return;
    failWithError(requestCancelledError());
    setComplete(true);
    cancelLoad();
    willChangeValueForKey("isCancelled");
    cancelled_ = true;
    didChangeValueForKey("isCancelled");
}

void ASIHTTPRequest::clearDelegatesAndCancel() {
    {
        CancelledLockHolder lock(*this);
        delegate_.reset();
        queue_.reset();
        uploadProgressDelegate_.reset();
        downloadProgressDelegate_.reset();
        std::lock_guard properties(propertyMutex_);
        startedBlock_ = completionBlock_ = failureBlock_ = authenticationNeededBlock_ =
            proxyAuthenticationNeededBlock_ = requestRedirectedBlock_ = nullptr;
        headersReceivedBlock_ = nullptr;
        bytesReceivedBlock_ = bytesSentBlock_ = nullptr;
        downloadSizeIncrementedBlock_ = uploadSizeIncrementedBlock_ = nullptr;
        dataReceivedBlock_ = nullptr;
    }
    cancel();
}

void ASIHTTPRequest::redirectToURL(plat::Url url) {
    redirectURL_ = std::move(url);
    auto me = self<ASIHTTPRequest>();
    threadForRequest(this).performOnThread([me] { me->performRedirect(); }, false);
}

void ASIHTTPRequest::performRedirect() {
    if (redirectURL_)
        setURL(*redirectURL_);
    setComplete(true);
    needsRedirect_ = false;
    redirectCount_ += 1;
    if (redirectCount_ > 5) {
        failWithError(tooMuchRedirectionError());
        setComplete(true);
        return;
    }
    main();
}

void ASIHTTPRequest::cancelLoad() {
    destroyReadStream();
    if (postBodyReadStream_) {
        postBodyReadStream_->close();
        postBodyReadStream_.reset();
    }
    if (rawResponseData()) {
        if (!complete())
            setRawResponseData(std::nullopt);
    } else if (auto temporary = temporaryFileDownloadPath()) {
        if (!complete() && !allowResumeForFileDownloads())
            removeFileAtPath(*temporary, nullptr);
    }
    if (authenticationNeeded() == 0 && !willRetryRequest() && didCreateTemporaryPostDataFile()) {
        for (const auto& path : {postBodyFilePath(), compressedPostBodyFilePath_}) {
            if (path)
                removeFileAtPath(*path, nullptr);
        }
        setDidCreateTemporaryPostDataFile(false);
    }
}

// ---- The response -------------------------------------------------------------------------------

bool ASIHTTPRequest::isResponseCompressed() const {
    const auto headers = responseHeaders();
    const std::string* encoding =
        headers ? headers->objectForKey("Content-Encoding").string() : nullptr;
    return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<plat::Bytes> ASIHTTPRequest::responseData() const {
    auto raw = rawResponseData();
    if (!raw || !isResponseCompressed() || !shouldWaitToInflateCompressedResponses())
        return raw;
    if (raw->empty())
        return ASIDataDecompressor::uncompressData(*raw, nullptr);
    // Inflated within the request's limit: a body that inflates past it (the request failed at
    // its limit) gives nothing, as a body read past the limit keeps nothing.
    const uint64_t limit = maxResponseDataSize();
    auto decompressor = ASIDataDecompressor::decompressor();
    plat::Bytes out;
    const bool whole = decompressor->uncompressBytes(
        raw->data(), raw->size(), nullptr, [&](const uint8_t* bytes, size_t size) {
            if (size > limit - out.size())
                return false;
            if (out.size() + size > out.capacity())
                out.reserve(static_cast<size_t>(
                    std::min<uint64_t>(limit, std::max(out.capacity() * 2, out.size() + size))));
            out.insert(out.end(), bytes, bytes + size);
            return true;
        });
    if (!whole || !decompressor->reachedEnd())
        return std::nullopt;
    return out;
}

std::optional<std::string> ASIHTTPRequest::responseString() const {
    const auto data = responseData();
    if (!data)
        return std::nullopt;
    if (data->empty())
        return std::string();
    return plat::TextEncoding::decode(*data, responseEncoding());
}

void ASIHTTPRequest::onMainThread(std::function<void()> fn) {
    if (plat::RunLoop::isMainThread()) {
        fn();
        return;
    }
    plat::RunLoop::main().post(std::move(fn));
}

// ---- Throttling and the read stream -------------------------------------------------------------

void ASIHTTPRequest::performThrottling() {
    if (!readStream_)
        return;
    measureBandwidthUsage();
    if (isBandwidthThrottled()) {
        // The transfer itself keeps to the window: little read ahead, and nothing taken from
        // the server or sent to it while the stream waits unscheduled.
        if (!readStreamThrottled_) {
            readStreamThrottled_ = true;
            readStream_->setReadAheadLimit(static_cast<size_t>(
                std::clamp<uint64_t>(maxBandwidthPerSecond() / 32, 4096, 65'536)));
        }
        const auto wakeUp = throttleWakeUpTime();
        if (wakeUp && *wakeUp > plat::RunLoop::main().now()) {
            if (readStreamIsScheduled_)
                unscheduleReadStream();
            readStream_->holdTransfer();
            return;
        }
        if (!readStreamIsScheduled_)
            scheduleReadStream();
        // Also lets go a request body that stopped itself when the window was spent.
        if (readStreamIsScheduled_)
            readStream_->releaseTransfer();
        return;
    }
    if (!readStreamIsScheduled_)
        scheduleReadStream();
    if (readStreamThrottled_) {
        readStreamThrottled_ = false;
        readStream_->setReadAheadLimit(0);
        readStream_->releaseTransfer();
    }
}

void ASIHTTPRequest::performThrottlingOnStreamLoop() {
    std::shared_ptr<plat::RunLoop> loop;
    {
        std::lock_guard lock(propertyMutex_);
        loop = scheduledLoop_.lock();
    }
    if (!loop || loop.get() == &plat::RunLoop::current()) {
        performThrottling();
        return;
    }
    std::weak_ptr<ASIHTTPRequest> weak = weakSelf<ASIHTTPRequest>();
    loop->post(
        [weak] {
            if (auto me = weak.lock())
                me->performThrottling();
        },
        {runLoopMode_});
}

void ASIHTTPRequest::scheduleReadStream() {
    if (!readStream_ || readStreamIsScheduled_)
        return;
    noteRunningRequest(+1);
    lastActivityTime_ = plat::RunLoop::current().now();
    std::weak_ptr<ASIHTTPRequest> weak = weakSelf<ASIHTTPRequest>();
    readStream_->setClient(plat::Stream::HasBytesAvailable | plat::Stream::ErrorOccurred |
                               plat::Stream::EndEncountered,
                           [weak](plat::Stream&, plat::Stream::Event event) {
                               if (auto me = weak.lock())
                                   me->handleNetworkEvent(event);
                           });
    {
        std::lock_guard lock(propertyMutex_);
        scheduledLoop_ = plat::RunLoop::current().shared_from_this();
    }
    readStream_->scheduleInRunLoop(plat::RunLoop::current(), runLoopMode_);
    readStreamIsScheduled_ = true;
}

void ASIHTTPRequest::unscheduleReadStream() {
    if (!readStream_ || !readStreamIsScheduled_)
        return;
    noteRunningRequest(-1);
    readStream_->setClient(0, {});
    std::shared_ptr<plat::RunLoop> loop;
    {
        std::lock_guard lock(propertyMutex_);
        loop = scheduledLoop_.lock();
    }
    if (loop)
        readStream_->unscheduleFromRunLoop(*loop, runLoopMode_);
    readStreamIsScheduled_ = false;
}

void ASIHTTPRequest::destroyReadStream() {
    if (!readStream_)
        return;
    unscheduleReadStream();
    if (!connectionCanBeReused_)
        readStream_->close();
    readStream_.reset();
}

bool ASIHTTPRequest::removeFileAtPath(const std::string& path, Ref<plat::Error>* error) {
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return true;
    if (std::filesystem::remove(path, code) && !code)
        return true;
    if (error) {
        *error = ASIMakeError(
            ASIFileManagementError, "Failed to delete file at path '" + path + "'",
            plat::Error::withDescription("NSPOSIXErrorDomain", code.value(), code.message()));
    }
    return false;
}
