// The request's properties: what a new request and a new form request hold, and that values
// set from outside are the ones the engine goes on with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "external/ASIFormDataRequest.h"
#include "external/ASIHTTPRequest.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

namespace {

void expectNewRequest(const ASIHTTPRequest& r, const plat::Url& url, double timeOut,
                      const std::string& method, bool persistent) {
    const auto none = std::nullopt;
    EXPECT_EQ(r.username(), none);
    EXPECT_EQ(r.password(), none);
    EXPECT_EQ(r.userAgentString(), none);
    EXPECT_EQ(r.domain(), none);
    EXPECT_EQ(r.proxyUsername(), none);
    EXPECT_EQ(r.proxyPassword(), none);
    EXPECT_EQ(r.proxyDomain(), none);
    EXPECT_EQ(r.proxyHost(), none);
    EXPECT_EQ(r.proxyPort(), 0);
    EXPECT_EQ(r.proxyType(), none);
    EXPECT_EQ(r.url(), url);
    EXPECT_EQ(r.originalURL(), none);
    EXPECT_FALSE(r.delegate());
    EXPECT_FALSE(r.queue());
    EXPECT_FALSE(r.uploadProgressDelegate());
    EXPECT_FALSE(r.downloadProgressDelegate());
    EXPECT_FALSE(r.useKeychainPersistence());
    EXPECT_TRUE(r.useSessionPersistence());
    EXPECT_EQ(r.downloadDestinationPath(), none);
    EXPECT_EQ(r.temporaryFileDownloadPath(), none);
    EXPECT_EQ(r.temporaryUncompressedDataDownloadPath(), none);
    EXPECT_EQ(r.didStartSelector(), "requestStarted:");
    EXPECT_EQ(r.didReceiveResponseHeadersSelector(), "request:didReceiveResponseHeaders:");
    EXPECT_EQ(r.willRedirectSelector(), "request:willRedirectToURL:");
    EXPECT_EQ(r.didFinishSelector(), "requestFinished:");
    EXPECT_EQ(r.didFailSelector(), "requestFailed:");
    EXPECT_EQ(r.didReceiveDataSelector(), "request:didReceiveData:");
    EXPECT_EQ(r.authenticationRealm(), none);
    EXPECT_EQ(r.proxyAuthenticationRealm(), none);
    EXPECT_FALSE(r.error());
    EXPECT_FALSE(r.complete());
    EXPECT_FALSE(r.responseHeaders());
    EXPECT_FALSE(r.requestHeaders());
    EXPECT_TRUE(r.requestCookies().empty());
    EXPECT_TRUE(r.responseCookies().empty());
    EXPECT_TRUE(r.useCookiePersistence());
    EXPECT_FALSE(r.requestCredentials());
    EXPECT_FALSE(r.proxyCredentials());
    EXPECT_EQ(r.responseStatusCode(), 0);
    EXPECT_EQ(r.responseStatusMessage(), none);
    EXPECT_EQ(r.rawResponseData(), none);
    EXPECT_EQ(r.timeOutSeconds(), timeOut);
    EXPECT_EQ(r.requestMethod(), method);
    EXPECT_EQ(r.postBody(), none);
    EXPECT_EQ(r.contentLength(), 0U);
    EXPECT_EQ(r.postLength(), 0U);
    EXPECT_TRUE(r.shouldResetDownloadProgress());
    EXPECT_TRUE(r.shouldResetUploadProgress());
    EXPECT_FALSE(r.mainRequest());
    EXPECT_TRUE(r.showAccurateProgress());
    EXPECT_EQ(r.totalBytesRead(), 0U);
    EXPECT_EQ(r.totalBytesSent(), 0U);
    EXPECT_EQ(r.defaultResponseEncoding(), plat::NSISOLatin1StringEncoding);
    EXPECT_EQ(r.responseEncoding(), 0U);
    EXPECT_TRUE(r.allowCompressedResponse());
    EXPECT_FALSE(r.allowResumeForFileDownloads());
    EXPECT_FALSE(r.userInfo());
    EXPECT_EQ(r.tag(), 0);
    EXPECT_EQ(r.postBodyFilePath(), none);
    EXPECT_FALSE(r.shouldStreamPostDataFromDisk());
    EXPECT_FALSE(r.didCreateTemporaryPostDataFile());
    EXPECT_FALSE(r.useHTTPVersionOne());
    EXPECT_EQ(r.partialDownloadSize(), 0U);
    EXPECT_TRUE(r.shouldRedirect());
    EXPECT_TRUE(r.validatesSecureCertificate());
    EXPECT_FALSE(r.shouldCompressRequestBody());
    EXPECT_EQ(r.PACurl(), none);
    EXPECT_EQ(r.authenticationScheme(), none);
    EXPECT_EQ(r.proxyAuthenticationScheme(), none);
    EXPECT_FALSE(r.shouldPresentAuthenticationDialog());
    EXPECT_TRUE(r.shouldPresentProxyAuthenticationDialog());
    EXPECT_EQ(r.authenticationNeeded(), 0);
    EXPECT_TRUE(r.shouldPresentCredentialsBeforeChallenge());
    EXPECT_EQ(r.authenticationRetryCount(), 0);
    EXPECT_EQ(r.proxyAuthenticationRetryCount(), 0);
    EXPECT_FALSE(r.haveBuiltRequestHeaders());
    EXPECT_FALSE(r.haveBuiltPostBody());
    EXPECT_FALSE(r.inProgress());
    EXPECT_EQ(r.numberOfTimesToRetryOnTimeout(), 0);
    EXPECT_EQ(r.retryCount(), 0);
    EXPECT_EQ(r.shouldAttemptPersistentConnection(), persistent);
    EXPECT_EQ(r.persistentConnectionTimeoutSeconds(), 60.0);
    EXPECT_FALSE(r.shouldUseRFC2616RedirectBehaviour());
    EXPECT_FALSE(r.connectionCanBeReused());
    EXPECT_EQ(r.requestID(), none);
    EXPECT_EQ(r.downloadCache(), ASIHTTPRequest::defaultCache());
    EXPECT_EQ(r.cachePolicy(), 0);
    EXPECT_EQ(r.cacheStoragePolicy(), 0);
    EXPECT_FALSE(r.didUseCachedResponse());
    EXPECT_EQ(r.secondsToCache(), 0.0);
    EXPECT_TRUE(r.clientCertificates().empty());
    EXPECT_FALSE(r.dataDecompressor());
    EXPECT_TRUE(r.shouldWaitToInflateCompressedResponses());
    EXPECT_EQ(r.lastActivityTime(), none);
    EXPECT_EQ(r.uploadBufferSize(), 0U);
    EXPECT_FALSE(r.postBodyWriteStream());
    EXPECT_FALSE(r.postBodyReadStream());
    EXPECT_EQ(r.lastBytesRead(), 0U);
    EXPECT_EQ(r.lastBytesSent(), 0U);
    EXPECT_TRUE(r.cancelledLock());
    EXPECT_FALSE(r.fileDownloadOutputStream());
    EXPECT_FALSE(r.inflatedFileDownloadOutputStream());
    EXPECT_FALSE(r.updatedProgress());
    EXPECT_FALSE(r.needsRedirect());
    EXPECT_EQ(r.redirectCount(), 0);
    EXPECT_EQ(r.compressedPostBody(), none);
    EXPECT_EQ(r.compressedPostBodyFilePath(), none);
    EXPECT_FALSE(r.willRetryRequest());
    EXPECT_FALSE(r.connectionInfo());
    EXPECT_FALSE(r.readStream());
    EXPECT_FALSE(r.readStreamIsScheduled());
    EXPECT_FALSE(r.downloadComplete());
    EXPECT_EQ(r.runLoopMode(), plat::kDefaultRunLoopMode);
    EXPECT_FALSE(r.statusTimer());
    EXPECT_EQ(r.redirectURL(), none);
    EXPECT_FALSE(r.isPACFileRequest());
    EXPECT_FALSE(r.PACFileRequest());
    EXPECT_FALSE(r.PACFileReadStream());
    EXPECT_EQ(r.PACFileData(), none);
    EXPECT_FALSE(r.isSynchronous());
}

// Whether another thread can take the lock now.
bool freeForOthers(plat::RecursiveLock& lock) {
    return std::async(std::launch::async,
                      [&] {
                          if (!lock.tryLock())
                              return false;
                          lock.unlock();
                          return true;
                      })
        .get();
}

bool hasLine(const std::string& head, const std::string& line) {
    return head.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(RequestProperties, NewRequestsHoldTheirDefaultsAndSetValuesAreTheOnesUsed) {
    // A new request takes the class time-out of its moment and keeps it.
    const double classTimeOut = ASIHTTPRequest::defaultTimeOutSeconds();
    ASIHTTPRequest::setDefaultTimeOutSeconds(12.5);
    const auto url = *plat::Url::parse("http://127.0.0.1:1/form");
    auto plain = ASIHTTPRequest::requestWithURL(url);
    auto form = ASIFormDataRequest::requestWithURL(url);
    ASIHTTPRequest::setDefaultTimeOutSeconds(20);
    {
        SCOPED_TRACE("request");
        expectNewRequest(*plain, url, 12.5, "GET", true);
    }
    {
        // "POST" from the start turns connection reuse off for good.
        SCOPED_TRACE("form request");
        expectNewRequest(*form, url, 12.5, "POST", false);
    }
    ASIHTTPRequest::setDefaultTimeOutSeconds(classTimeOut);
    EXPECT_NE(plain->cancelledLock(), form->cancelledLock());

    // Headers set as a whole are sent, with those added to them; a lock set from outside is
    // the one the request holds through an attempt.
    RawHttpServer server([](const std::string& head, const std::string&) {
        if (hasLine(head, "Authorization: Basic dTpw"))
            return RawHttpServer::Reply{RawHttpServer::ok("in")};
        return RawHttpServer::Reply{
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
            "Content-Length: 0\r\n\r\n"};
    });
    auto sent = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/headers")));
    auto headers = plat::MutableDictionary::make({{plat::Value("X-Set"), plat::Value("as set")}});
    sent->setRequestHeaders(headers);
    sent->addRequestHeader("X-Added", "too");
    EXPECT_EQ(sent->requestHeaders(), headers);
    EXPECT_EQ(*headers->objectForKey("X-Added").string(), "too");
    auto lock = std::make_shared<plat::RecursiveLock>();
    sent->setCancelledLock(lock);
    EXPECT_EQ(sent->cancelledLock(), lock);
    // The first start runs inside the attempt; the one after the challenge comes after it.
    std::vector<bool> heldAtStarts;
    sent->setStartedBlock([&] { heldAtStarts.push_back(!freeForOthers(*lock)); });
    // Credentials set from outside answer the challenge.
    sent->setUseSessionPersistence(false);
    auto credentials = plat::MutableDictionary::make();
    credentials->setObject(plat::Value("u"), kCFHTTPAuthenticationUsername);
    credentials->setObject(plat::Value("p"), kCFHTTPAuthenticationPassword);
    sent->setRequestCredentials(credentials);
    sent->startSynchronous();
    EXPECT_FALSE(sent->error());
    EXPECT_EQ(sent->responseString(), "in");
    EXPECT_TRUE(sent->isSynchronous());
    EXPECT_EQ(heldAtStarts, (std::vector<bool>{true, false}));
    EXPECT_TRUE(freeForOthers(*lock));
    const auto heads = server.heads();
    ASSERT_EQ(heads.size(), 2U);
    EXPECT_TRUE(hasLine(heads[0], "X-Set: as set")) << heads[0];
    EXPECT_TRUE(hasLine(heads[0], "X-Added: too")) << heads[0];
    EXPECT_FALSE(hasLine(heads[0], "Authorization: Basic dTpw"));
    EXPECT_TRUE(hasLine(heads[1], "Authorization: Basic dTpw")) << heads[1];
    EXPECT_EQ(sent->authenticationRetryCount(), 1);

    // A redirect goes where it was set to, and the count set before it decides that it is one
    // too many.
    auto redirected = ASIHTTPRequest::requestWithURL(url);
    const auto target = *plat::Url::parse("http://127.0.0.1:1/elsewhere");
    redirected->setRedirectURL(target);
    redirected->setNeedsRedirect(true);
    redirected->setRedirectCount(5);
    redirected->performRedirect();
    EXPECT_EQ(redirected->url(), target);
    EXPECT_FALSE(redirected->needsRedirect());
    EXPECT_EQ(redirected->redirectCount(), 6);
    ASSERT_TRUE(redirected->error());
    EXPECT_EQ(redirected->error()->code(), 9);

    // Temporary files set from outside are the ones removed.
    const auto folder = testing_support::freshTestFolder();
    const std::string inflated = (folder / "inflated").string();
    const std::string packed = (folder / "packed").string();
    for (const auto& path : {inflated, packed})
        std::ofstream(path) << "left";
    auto temporary = ASIHTTPRequest::requestWithURL(url);
    temporary->setTemporaryUncompressedDataDownloadPath(inflated);
    temporary->setCompressedPostBodyFilePath(packed);
    EXPECT_TRUE(temporary->removeTemporaryUncompressedDownloadFile());
    EXPECT_TRUE(temporary->removeTemporaryCompressedUploadFile());
    EXPECT_FALSE(std::filesystem::exists(inflated));
    EXPECT_FALSE(std::filesystem::exists(packed));
    EXPECT_EQ(temporary->temporaryUncompressedDataDownloadPath(), std::nullopt);
    EXPECT_EQ(temporary->compressedPostBodyFilePath(), std::nullopt);

    // A status timer set in place of another stops the other; the same one set again runs on.
    auto timers = ASIHTTPRequest::requestWithURL(url);
    auto first = plat::Timer::scheduled(60, true, [](plat::Timer&) {});
    auto second = plat::Timer::scheduled(60, true, [](plat::Timer&) {});
    timers->setStatusTimer(first);
    timers->setStatusTimer(second);
    EXPECT_FALSE(first->isValid());
    timers->setStatusTimer(second);
    EXPECT_TRUE(second->isValid());
    EXPECT_EQ(timers->statusTimer(), second);
    timers->setStatusTimer(nullptr);
    EXPECT_FALSE(second->isValid());
    EXPECT_FALSE(timers->statusTimer());
}

}  // namespace
