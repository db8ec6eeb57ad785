#pragma once
// ASIHTTPRequest: one HTTP exchange of the stream request engine, an operation on the class's
// shared queue whose network work runs on the class's one network thread.
//
// This header holds what the class keeps once for all its requests: the shared queue and the
// network thread, the default time-out and "User-Agent", the default cache, the session
// cookies, the session and saved credentials, bandwidth measurement and throttling shared by
// every request, network-activity bookkeeping, and small helpers (MIME types, Base64, expiry
// dates, RFC 1123 dates, Content-Type parsing); and, of each request, what throttling and the
// scheduling of its read stream need.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "external/ASICacheDelegate.h"
#include "external/ASIDataCompressor.h"
#include "platform/core/Collections.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/TextEncoding.h"
#include "platform/net/Url.h"
#include "platform/net/UrlCredentialStorage.h"
#include "platform/runloop/Lock.h"
#include "platform/runloop/Operation.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/runloop/Thread.h"
#include "platform/storage/OutputStream.h"

// Keys of session credential records (built when credentials are applied).
inline constexpr const char* kASISessionCredentialsKey = "Credentials";
inline constexpr const char* kASISessionAuthenticationKey = "Authentication";
inline constexpr const char* kASISessionURLKey = "URL";
inline constexpr const char* kASISessionRealmKey = "AuthenticationRealm";
inline constexpr const char* kASISessionSchemeKey = "AuthenticationScheme";
inline constexpr const char* kASISessionHostKey = "Host";
inline constexpr const char* kASISessionPortKey = "Port";
// Keys of a credentials dictionary.
inline constexpr const char* kCFHTTPAuthenticationUsername = "kCFHTTPAuthenticationUsername";
inline constexpr const char* kCFHTTPAuthenticationPassword = "kCFHTTPAuthenticationPassword";
inline constexpr const char* kCFHTTPAuthenticationAccountDomain =
    "kCFHTTPAuthenticationAccountDomain";

class ASIHTTPRequest : public plat::Operation {
    PLAT_CLASS(ASIHTTPRequest)
  public:
    explicit ASIHTTPRequest(plat::Url url);
    ~ASIHTTPRequest() override;
    static Ref<ASIHTTPRequest> requestWithURL(plat::Url url);
    static Ref<ASIHTTPRequest> requestWithURL(plat::Url url, Ref<ASICacheDelegate> cache,
                                              int32_t cachePolicy = 0);
    // A new request of the same class on the same URL with the caller's settings copied
    // (delegate, method, body, headers, cookies, credentials, proxy, timing, redirect and
    // certificate rules); not copied: the queue, blocks, response state and cache settings.
    virtual Ref<ASIHTTPRequest> copyWithZone() const;

  protected:
    // A new request of this class on this URL, as made by the constructor.
    virtual Ref<ASIHTTPRequest> makeEmptyCopy() const;

  public:
    // ---- Class-wide: queue, network thread, defaults -------------------------------------------
    static Ref<plat::OperationQueue> sharedQueue();
    // The one thread whose run loop carries every request's stream; made on first use.
    static plat::Thread& threadForRequest(const ASIHTTPRequest* request);
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    // The most body bytes a request keeps in memory (inflated, when it inflates as it reads)
    // unless it sets its own limit: 256 MiB.
    static constexpr uint64_t kDefaultMaxResponseDataSize = uint64_t{256} << 20;
    static uint64_t defaultMaxResponseDataSize();
    static void setDefaultMaxResponseDataSize(uint64_t bytes);
    // "<name> <version> (X11; Linux <x.y.z>; <locale>)", built once from the information
    // dictionary; none when the name or the system version cannot be read.
    static std::optional<std::string> defaultUserAgentString();
    static void setDefaultUserAgentString(std::optional<std::string> text);
    static Ref<ASICacheDelegate> defaultCache();
    static void setDefaultCache(Ref<ASICacheDelegate> cache);

    // ---- Class-wide: network activity ----------------------------------------------------------
    static bool isNetworkInUse();
    static void setShouldUpdateNetworkActivityIndicator(bool update);
    static void showNetworkActivityIndicator() {}
    static void hideNetworkActivityIndicator() {}
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();

    // ---- Class-wide: bandwidth (times on the main run loop's clock) ----------------------------
    static bool isBandwidthThrottled();
    static uint64_t maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(uint64_t bytes);
    static void incrementBandwidthUsedInLastSecond(uint64_t bytes);
    static uint64_t averageBandwidthUsedPerSecond();
    static void measureBandwidthUsage();
    // Bytes one upload read may take now.
    static uint64_t maxUploadReadLength();
    // Bytes one download read may take now, by the same window: a quarter of what is left of
    // the limit, or all of it near the end of the window; 0 once (nearly) nothing is left, and
    // then throttled streams wait for the next window.
    static uint64_t maxDownloadReadLength(uint64_t bufferSize);
    static std::optional<double> throttleWakeUpTime();
    static std::optional<double> bandwidthMeasurementDate();
    static uint64_t bandwidthUsedInLastSecond();

    // ---- Class-wide: session cookies and credentials -------------------------------------------
    static std::vector<plat::HttpCookie> sessionCookies();
    // Replaces the list; the cookies of the old list leave the shared cookie store.
    static void setSessionCookies(std::optional<std::vector<plat::HttpCookie>> cookies);
    // Adds the cookie, replacing a kept one of the same domain, path and name.
    static void addSessionCookie(const plat::HttpCookie& cookie);
    // Forgets server session credentials, session cookies and session-stored responses.
    static void clearSession();
    static std::vector<Ref<plat::Dictionary>> sessionCredentialsStore();
    static std::vector<Ref<plat::Dictionary>> sessionProxyCredentialsStore();
    static void storeAuthenticationCredentialsInSessionStore(const Ref<plat::Dictionary>& record);
    static void storeProxyAuthenticationCredentialsInSessionStore(
        const Ref<plat::Dictionary>& record);
    // Removes the first record whose credentials are that very dictionary.
    static void removeAuthenticationCredentialsFromSessionStore(
        const Ref<plat::Dictionary>& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(
        const Ref<plat::Dictionary>& credentials);
    static void saveCredentials(const plat::UrlCredential& credential, const std::string& host,
                                int32_t port, const std::string& protocol,
                                const std::string& realm);
    static void saveCredentialsForProxy(const plat::UrlCredential& credential,
                                        const std::string& proxyHost, int32_t port,
                                        const std::string& realm);
    static std::optional<plat::UrlCredential> savedCredentialsForHost(const std::string& host,
                                                                      int32_t port,
                                                                      const std::string& protocol,
                                                                      const std::string& realm);
    static std::optional<plat::UrlCredential> savedCredentialsForProxy(const std::string& proxyHost,
                                                                       int32_t port,
                                                                       const std::string& protocol,
                                                                       const std::string& realm);
    static void removeCredentialsForHost(const std::string& host, int32_t port,
                                         const std::string& protocol, const std::string& realm);
    static void removeCredentialsForProxy(const std::string& proxyHost, int32_t port,
                                          const std::string& realm);

    // ---- Class-wide: helpers -------------------------------------------------------------------
    static std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);
    static std::string base64forData(const plat::Bytes& data);
    static std::optional<plat::Date> expiryDateForRequest(const ASIHTTPRequest& request,
                                                          double maxAge);
    static std::optional<plat::Date> dateFromRFC1123String(const std::string& text);
    static void parseMimeType(std::string* mimeType, plat::StringEncoding* encoding,
                              const std::optional<std::string>& contentType);

    // ---- Per request: configuration -------------------------------------------------------------
    // Delegates and their selectors; blocks (set by the twelve setters, run on the main thread).
    Ref<plat::Object> delegate() const;
    void setDelegate(const Ref<plat::Object>& delegate);
    Ref<plat::Object> queue() const;
    void setQueue(Ref<plat::Object> queue);
    std::string didStartSelector() const;
    void setDidStartSelector(std::string selector);
    std::string didReceiveResponseHeadersSelector() const;
    void setDidReceiveResponseHeadersSelector(std::string selector);
    std::string willRedirectSelector() const;
    void setWillRedirectSelector(std::string selector);
    std::string didFinishSelector() const;
    void setDidFinishSelector(std::string selector);
    std::string didFailSelector() const;
    void setDidFailSelector(std::string selector);
    std::string didReceiveDataSelector() const;
    void setDidReceiveDataSelector(std::string selector);
    using Block = std::function<void()>;
    void setStartedBlock(Block block);
    void setHeadersReceivedBlock(std::function<void(Ref<plat::Dictionary>)> block);
    void setCompletionBlock(Block block);
    void setFailedBlock(Block block);
    void setBytesReceivedBlock(std::function<void(uint64_t, uint64_t)> block);
    void setBytesSentBlock(std::function<void(uint64_t, uint64_t)> block);
    void setDownloadSizeIncrementedBlock(std::function<void(int64_t)> block);
    void setUploadSizeIncrementedBlock(std::function<void(int64_t)> block);
    void setDataReceivedBlock(std::function<void(const plat::Bytes&)> block);
    void setAuthenticationNeededBlock(Block block);
    void setProxyAuthenticationNeededBlock(Block block);
    void setRequestRedirectedBlock(Block block);

    std::string requestMethod() const;
    // Stores the verb; "POST", "PUT" or a body turn connection reuse off for good.
    void setRequestMethod(std::string method);
    // Sets one header, replacing an earlier value of the same name.
    void addRequestHeader(const std::string& name, const std::string& value);
    std::vector<plat::HttpCookie> requestCookies() const;
    void setRequestCookies(std::vector<plat::HttpCookie> cookies);

    // Plain settings (atomic accessors).
#define ASI_SETTING(Type, name, Setter) \
    Type name() const;                  \
    void Setter(Type value);
    ASI_SETTING(bool, useCookiePersistence, setUseCookiePersistence)
    ASI_SETTING(bool, useKeychainPersistence, setUseKeychainPersistence)
    ASI_SETTING(bool, useSessionPersistence, setUseSessionPersistence)
    ASI_SETTING(bool, allowCompressedResponse, setAllowCompressedResponse)
    ASI_SETTING(bool, shouldCompressRequestBody, setShouldCompressRequestBody)
    ASI_SETTING(bool, shouldStreamPostDataFromDisk, setShouldStreamPostDataFromDisk)
    ASI_SETTING(std::optional<std::string>, postBodyFilePath, setPostBodyFilePath)
    ASI_SETTING(std::optional<std::string>, downloadDestinationPath, setDownloadDestinationPath)
    ASI_SETTING(std::optional<std::string>, temporaryFileDownloadPath, setTemporaryFileDownloadPath)
    ASI_SETTING(std::optional<std::string>, temporaryUncompressedDataDownloadPath,
                setTemporaryUncompressedDataDownloadPath)
    ASI_SETTING(std::optional<std::string>, userAgentString, setUserAgentString)
    ASI_SETTING(std::optional<std::string>, domain, setDomain)
    ASI_SETTING(std::optional<std::string>, proxyUsername, setProxyUsername)
    ASI_SETTING(std::optional<std::string>, proxyPassword, setProxyPassword)
    ASI_SETTING(std::optional<std::string>, proxyDomain, setProxyDomain)
    ASI_SETTING(std::optional<std::string>, proxyType, setProxyType)
    ASI_SETTING(std::optional<std::string>, authenticationScheme, setAuthenticationScheme)
    ASI_SETTING(double, timeOutSeconds, setTimeOutSeconds)
    // Past this many body bytes in memory the request fails (ASIResponseTooLargeErrorType).
    ASI_SETTING(uint64_t, maxResponseDataSize, setMaxResponseDataSize)
    ASI_SETTING(int64_t, tag, setTag)
    ASI_SETTING(Ref<plat::Dictionary>, userInfo, setUserInfo)
    ASI_SETTING(bool, useHTTPVersionOne, setUseHTTPVersionOne)
    ASI_SETTING(bool, shouldRedirect, setShouldRedirect)
    ASI_SETTING(bool, validatesSecureCertificate, setValidatesSecureCertificate)
    ASI_SETTING(bool, shouldPresentCredentialsBeforeChallenge,
                setShouldPresentCredentialsBeforeChallenge)
    ASI_SETTING(bool, shouldAttemptPersistentConnection, setShouldAttemptPersistentConnection)
    ASI_SETTING(double, persistentConnectionTimeoutSeconds, setPersistentConnectionTimeoutSeconds)
    ASI_SETTING(bool, allowResumeForFileDownloads, setAllowResumeForFileDownloads)
    ASI_SETTING(plat::StringEncoding, defaultResponseEncoding, setDefaultResponseEncoding)
    ASI_SETTING(plat::StringEncoding, responseEncoding, setResponseEncoding)
    ASI_SETTING(bool, shouldWaitToInflateCompressedResponses,
                setShouldWaitToInflateCompressedResponses)
    ASI_SETTING(int32_t, numberOfTimesToRetryOnTimeout, setNumberOfTimesToRetryOnTimeout)
    ASI_SETTING(int32_t, cachePolicy, setCachePolicy)
    ASI_SETTING(int32_t, cacheStoragePolicy, setCacheStoragePolicy)
    ASI_SETTING(double, secondsToCache, setSecondsToCache)
    ASI_SETTING(bool, showAccurateProgress, setShowAccurateProgress)
    ASI_SETTING(bool, shouldResetUploadProgress, setShouldResetUploadProgress)
    ASI_SETTING(bool, shouldResetDownloadProgress, setShouldResetDownloadProgress)
    ASI_SETTING(bool, shouldPresentAuthenticationDialog, setShouldPresentAuthenticationDialog)
    ASI_SETTING(bool, shouldPresentProxyAuthenticationDialog,
                setShouldPresentProxyAuthenticationDialog)
    ASI_SETTING(bool, shouldUseRFC2616RedirectBehaviour, setShouldUseRFC2616RedirectBehaviour)
    // State (atomic accessors).
    ASI_SETTING(Ref<plat::Error>, error, setError)
    ASI_SETTING(bool, complete, setComplete)
    ASI_SETTING(bool, inProgress, setInProgress)
    ASI_SETTING(int32_t, responseStatusCode, setResponseStatusCode)
    ASI_SETTING(std::optional<std::string>, responseStatusMessage, setResponseStatusMessage)
    ASI_SETTING(uint64_t, contentLength, setContentLength)
    ASI_SETTING(uint64_t, partialDownloadSize, setPartialDownloadSize)
    ASI_SETTING(uint64_t, postLength, setPostLength)
    ASI_SETTING(uint64_t, totalBytesRead, setTotalBytesRead)
    ASI_SETTING(uint64_t, totalBytesSent, setTotalBytesSent)
    ASI_SETTING(bool, haveBuiltRequestHeaders, setHaveBuiltRequestHeaders)
    ASI_SETTING(bool, didCreateTemporaryPostDataFile, setDidCreateTemporaryPostDataFile)
    ASI_SETTING(int32_t, authenticationNeeded, setAuthenticationNeeded)
    ASI_SETTING(int32_t, retryCount, setRetryCount)
    ASI_SETTING(bool, willRetryRequest, setWillRetryRequest)
    ASI_SETTING(bool, didUseCachedResponse, setDidUseCachedResponse)
    ASI_SETTING(std::optional<uint32_t>, requestID, setRequestID)
    ASI_SETTING(Ref<plat::MutableDictionary>, connectionInfo, setConnectionInfo)
    ASI_SETTING(std::optional<plat::Bytes>, rawResponseData, setRawResponseData)
    ASI_SETTING(std::optional<plat::Bytes>, postBody, setPostBody)
    ASI_SETTING(Ref<ASIHTTPRequest>, mainRequest, setMainRequest)
    ASI_SETTING(Ref<ASICacheDelegate>, downloadCache, setDownloadCache)
    ASI_SETTING(std::optional<plat::Url>, originalURL, setOriginalURL)
    ASI_SETTING(Ref<plat::MutableDictionary>, requestHeaders, setRequestHeaders)
    ASI_SETTING(std::vector<plat::HttpCookie>, responseCookies, setResponseCookies)
    ASI_SETTING(Ref<plat::Dictionary>, requestCredentials, setRequestCredentials)
    ASI_SETTING(Ref<plat::Dictionary>, proxyCredentials, setProxyCredentials)
    ASI_SETTING(std::optional<std::string>, proxyAuthenticationRealm, setProxyAuthenticationRealm)
    ASI_SETTING(std::optional<std::string>, proxyAuthenticationScheme, setProxyAuthenticationScheme)
    ASI_SETTING(int32_t, authenticationRetryCount, setAuthenticationRetryCount)
    ASI_SETTING(int32_t, proxyAuthenticationRetryCount, setProxyAuthenticationRetryCount)
    ASI_SETTING(std::vector<std::string>, clientCertificates, setClientCertificates)
    ASI_SETTING(Ref<ASIDataDecompressor>, dataDecompressor, setDataDecompressor)
    // Guards cancelling and the state changes of an attempt; a new request makes its own.
    ASI_SETTING(Ref<plat::RecursiveLock>, cancelledLock, setCancelledLock)
#undef ASI_SETTING

    // Fields of the thread that runs the request (plain accessors, no lock).
#define ASI_FIELD(Type, name, Setter) \
    const Type& name() const {        \
        return name##_;               \
    }                                 \
    void Setter(Type value) {         \
        name##_ = std::move(value);   \
    }
    ASI_FIELD(bool, haveBuiltPostBody, setHaveBuiltPostBody)
    ASI_FIELD(int32_t, redirectCount, setRedirectCount)
    ASI_FIELD(bool, isSynchronous, setSynchronous)
    ASI_FIELD(bool, isPACFileRequest, setIsPACFileRequest)
    ASI_FIELD(std::optional<plat::Bytes>, compressedPostBody, setCompressedPostBody)
    ASI_FIELD(std::optional<std::string>, compressedPostBodyFilePath, setCompressedPostBodyFilePath)
    ASI_FIELD(std::optional<plat::Url>, redirectURL, setRedirectURL)
    ASI_FIELD(bool, needsRedirect, setNeedsRedirect)
    ASI_FIELD(bool, downloadComplete, setDownloadComplete)
    ASI_FIELD(bool, updatedProgress, setUpdatedProgress)
    ASI_FIELD(uint64_t, uploadBufferSize, setUploadBufferSize)
    ASI_FIELD(uint64_t, lastBytesRead, setLastBytesRead)
    ASI_FIELD(uint64_t, lastBytesSent, setLastBytesSent)
    ASI_FIELD(std::optional<double>, lastActivityTime, setLastActivityTime)
    ASI_FIELD(Ref<plat::OutputStream>, postBodyWriteStream, setPostBodyWriteStream)
    ASI_FIELD(Ref<plat::InputStream>, postBodyReadStream, setPostBodyReadStream)
    ASI_FIELD(Ref<plat::OutputStream>, fileDownloadOutputStream, setFileDownloadOutputStream)
    ASI_FIELD(Ref<plat::OutputStream>, inflatedFileDownloadOutputStream,
              setInflatedFileDownloadOutputStream)
    ASI_FIELD(Ref<plat::HttpReadStream>, readStream, setReadStream)
    ASI_FIELD(bool, readStreamIsScheduled, setReadStreamIsScheduled)
    ASI_FIELD(std::string, runLoopMode, setRunLoopMode)
    ASI_FIELD(bool, connectionCanBeReused, setConnectionCanBeReused)
    ASI_FIELD(Ref<ASIHTTPRequest>, PACFileRequest, setPACFileRequest)
    ASI_FIELD(Ref<plat::InputStream>, PACFileReadStream, setPACFileReadStream)
    ASI_FIELD(std::optional<plat::Bytes>, PACFileData, setPACFileData)
#undef ASI_FIELD
    // The 0.25 s status timer; a different timer set in its place is stopped first.
    const Ref<plat::Timer>& statusTimer() const {
        return statusTimer_;
    }
    void setStatusTimer(Ref<plat::Timer> timer);

    // The client's TLS identity (certificate and key, PEM), shown when a server asks; further
    // certificates of its chain go after it.
    struct ClientIdentity {
        std::string certificatePem;
        std::string keyPem;
    };
    void setClientCertificateIdentity(std::optional<ClientIdentity> identity);

    // ---- Per request: starting, cancelling, the response ---------------------------------------
    void startAsynchronous();
    void startSynchronous();
    void start() override;
    void main() override;
    bool isConcurrent() const override {
        return true;
    }
    bool isExecuting() const override {
        return inProgress();
    }
    bool isFinished() const override;
    bool isCancelled() const override;
    void cancel() override;
    void clearDelegatesAndCancel();
    void redirectToURL(plat::Url url);
    void performRedirect();
    void cancelOnRequestThread();
    void cancelLoad();
    bool isResponseCompressed() const;
    // The body; one kept compressed is inflated here, within maxResponseDataSize (nothing when
    // it is corrupt, cut, or inflates past that).
    std::optional<plat::Bytes> responseData() const;
    std::optional<std::string> responseString() const;

    // ---- Per request: the body
    // -------------------------------------------------------------------
    void appendPostData(const plat::Bytes& data);
    void appendPostDataFromFile(const std::string& path);
    void setupPostBody();
    virtual void buildPostBody();

    // ---- Per request: one attempt
    // ----------------------------------------------------------------
    void buildRequestHeaders();
    void applyCookieHeader();
    void applyAuthorizationHeader();
    void addBasicAuthenticationHeaderWithUsername(const std::string& user,
                                                  const std::string& password);
    void updatePartialDownloadSize();
    void startRequest();
    // ---- Per request: proxies -----------------------------------------------------------------
    // YES: go on now; NO: the request restarts itself once its proxy script is read (or it
    // has failed).
    bool configureProxies();
    void fetchPACFile();
    void runPACScript(const std::optional<std::string>& script);
    void finishedDownloadingPACFile(Ref<plat::Object> scriptRequest);
    void timeOutPACRead();
    std::optional<plat::Url> PACurl() const;
    void setPACurl(std::optional<plat::Url> url);
    std::optional<int32_t> connectionID() const;
    // The HTTP message of the current attempt.
    const std::optional<plat::HttpMessage>& request() const {
        return request_;
    }
    // Closes idle kept-alive connections whose time is up.
    static void expirePersistentConnections();
    // A copy of the class's table of kept-alive connections (for tests).
    static std::vector<Ref<plat::MutableDictionary>> persistentConnections();
    // Called by the status timer every 0.25 s.
    void updateStatus();

    // ---- Per request: the response
    // ---------------------------------------------------------------
    void readResponseHeaders();
    // A redirect to follow: prepares the request for it and answers YES.
    bool willRedirect();
    void parseStringEncodingFromHeaders();
    bool willAskDelegateToConfirmRedirect();
    void handleBytesAvailable();
    static Ref<plat::Error> responseTooLargeError(uint64_t limit);
    // For a body kept compressed in memory: an error when it does not inflate whole within the
    // limit.
    Ref<plat::Error> checkCompressedResponseData() const;
    void handleStreamComplete();
    void handleStreamError();
    bool retryUsingNewConnection();
    bool removeTemporaryDownloadFile();
    bool removeTemporaryUncompressedDownloadFile();
    bool removeTemporaryUploadFile();
    bool removeTemporaryCompressedUploadFile();
    // ---- Per request: time-outs and progress ---------------------------------------------------
    void checkRequestStatus();
    bool shouldTimeOut();
    void updateProgressIndicators();
    void updateUploadProgress();
    void updateDownloadProgress();
    void incrementUploadSizeBy(int64_t amount);
    void incrementDownloadSizeBy(int64_t amount);
    void removeUploadProgressSoFar();
    // Receivers of progress (not owned); setting one tells it "setMaxValue:" 1.0.
    Ref<plat::Object> uploadProgressDelegate() const;
    void setUploadProgressDelegate(const Ref<plat::Object>& receiver);
    Ref<plat::Object> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(const Ref<plat::Object>& receiver);
    // A twin that asks only for the head (for queues that size a transfer first).
    Ref<ASIHTTPRequest> HEADRequest() const;
    // ---- Per request: credentials after a challenge ---------------------------------------------
    void attemptToApplyCredentialsAndResume();
    void attemptToApplyProxyCredentialsAndResume();
    // The credentials to try (user, password and, for NTLM, the account domain), found in a
    // fixed order; none when no complete pair is known.
    Ref<plat::Dictionary> findCredentials();
    Ref<plat::Dictionary> findProxyCredentials();
    bool applyCredentials(const Ref<plat::Dictionary>& credentials);
    bool applyProxyCredentials(const Ref<plat::Dictionary>& credentials);
    void saveCredentialsToKeychain(const Ref<plat::Dictionary>& credentials);
    void saveProxyCredentialsToKeychain(const Ref<plat::Dictionary>& credentials);
    bool willAskDelegateForCredentials();
    bool willAskDelegateForProxyCredentials();
    void askDelegateForCredentials();
    void askDelegateForProxyCredentials();
    bool showAuthenticationDialog() {
        return false;
    }
    bool showProxyAuthenticationDialog() {
        return false;
    }
    // Called by a delegate that filled in credentials, or gave up.
    void retryUsingSuppliedCredentials();
    void cancelAuthentication();
    void failAuthentication();

    // ---- Per request: reporting (main thread) ------------------------------------------------
    void requestStarted();
    void requestReceivedResponseHeaders(const Ref<plat::Dictionary>& headers);
    void requestWillRedirectToURL(const plat::Url& url);
    void requestRedirected();
    void passOnReceivedData(const plat::Bytes& data);
    void requestFinished();
    void reportFinished();
    void reportFailure();
    // Fails the request: the first error wins and is reported once.
    void failWithError(Ref<plat::Error> error);
    void markAsFinished();

    // The five shared errors.
    static Ref<plat::Error> requestTimedOutError();
    static Ref<plat::Error> authenticationError();
    static Ref<plat::Error> requestCancelledError();
    static Ref<plat::Error> unableToCreateRequestError();
    static Ref<plat::Error> tooMuchRedirectionError();
    static constexpr const char* kRunLoopMode = "ASIHTTPRequestRunLoopMode";
    static constexpr const char* kVersion = "v1.8.1-61 2011-09-19";

    // ---- Per request: what the class-wide code reads -------------------------------------------
    plat::Url url() const;
    void setURL(plat::Url url);
    std::optional<std::string> username() const;
    void setUsername(std::optional<std::string> user);
    std::optional<std::string> password() const;
    void setPassword(std::optional<std::string> password);
    std::optional<std::string> authenticationRealm() const;
    void setAuthenticationRealm(std::optional<std::string> realm);
    std::optional<std::string> proxyHost() const;
    void setProxyHost(std::optional<std::string> host);
    int32_t proxyPort() const;
    void setProxyPort(int32_t port);
    Ref<plat::Dictionary> responseHeaders() const;
    void setResponseHeaders(Ref<plat::Dictionary> headers);

    // The matching session record, or none.
    Ref<plat::Dictionary> findSessionAuthenticationCredentials() const;
    Ref<plat::Dictionary> findSessionProxyAuthenticationCredentials() const;

    // ---- Per request: the read stream on the run loop ------------------------------------------
    // Unschedules or schedules the read stream as class-wide throttling says.
    void performThrottling();
    // The same, run on the loop the stream is scheduled on (body reads come from another
    // thread); directly when the stream is on no loop.
    void performThrottlingOnStreamLoop();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    // Closes the streams that write a download's temporary files.
    void closeFileDownloadStreams();
    // Stream events arrive here (bytes available 2, error 8, end 16).
    virtual void handleNetworkEvent(plat::Stream::Event event);

    // Deletes the file when there is one; false, with the error, when it cannot.
    static bool removeFileAtPath(const std::string& path, Ref<plat::Error>* error);

  private:
    // Holds the request's cancelled lock for a scope; the lock taken stays alive to be let go
    // even when another one is set meanwhile.
    class CancelledLockHolder {
      public:
        explicit CancelledLockHolder(const ASIHTTPRequest& request)
            : lock_(request.cancelledLock()), guard_(*lock_) {}
        void unlock() { guard_.unlock(); }

      private:
        Ref<plat::RecursiveLock> lock_;
        std::unique_lock<plat::RecursiveLock> guard_;
    };

    // The class's count of requests with a scheduled stream, and the activity indicator.
    static void noteRunningRequest(int delta);
    // Raises or lowers the shared queue's width, under the connections lock.
    static void adjustSharedQueueWidth(int delta);

    void appendPostBytes(const uint8_t* bytes, size_t length);
    // Progress messages go to a receiver field read again on the main thread; the request is
    // kept alive until each has run.
    enum class Receiver { Upload, Download, Queue };
    void deliver(Receiver receiver, const std::string& selector,
                 std::function<void(const Ref<plat::Object>&)> send);
    void deliverFraction(Receiver receiver, uint64_t progress, uint64_t total);
    // Hands the blocks to the main thread, so that whatever they hold is let go there.
    void releaseBlocksOnMainThread();
    // Takes this request's entry out of the table of kept-alive connections.
    void dropConnectionEntry();
    // Picks or makes this attempt's entry in that table and ties the new stream to it; answers
    // the stream the entry held before (to close once the new one is open).
    Ref<plat::HttpReadStream> attachPersistentConnection(const Ref<plat::HttpReadStream>& stream);
    // Answers from the response cache.
    void useDataFromCache();
    // Runs fn on the main thread: at once when already there, else later without waiting.
    void onMainThread(std::function<void()> fn);
    void closeBodyWriteStream();

    Ref<plat::RecursiveLock> cancelledLock_;
    mutable std::mutex propertyMutex_;
    plat::Url url_;
    std::optional<plat::Url> originalURL_, redirectURL_;
    std::weak_ptr<plat::Object> delegate_;
    Ref<plat::Object> queue_;
    std::string didStartSelector_ = "requestStarted:";
    std::string didReceiveResponseHeadersSelector_ = "request:didReceiveResponseHeaders:";
    std::string willRedirectSelector_ = "request:willRedirectToURL:";
    std::string didFinishSelector_ = "requestFinished:";
    std::string didFailSelector_ = "requestFailed:";
    std::string didReceiveDataSelector_ = "request:didReceiveData:";
    Block startedBlock_, completionBlock_, failureBlock_, authenticationNeededBlock_,
        proxyAuthenticationNeededBlock_, requestRedirectedBlock_;
    std::function<void(Ref<plat::Dictionary>)> headersReceivedBlock_;
    std::function<void(uint64_t, uint64_t)> bytesReceivedBlock_, bytesSentBlock_;
    std::function<void(int64_t)> downloadSizeIncrementedBlock_, uploadSizeIncrementedBlock_;
    std::function<void(const plat::Bytes&)> dataReceivedBlock_;

    std::string requestMethod_ = "GET";
    Ref<plat::MutableDictionary> requestHeaders_;
    std::vector<plat::HttpCookie> requestCookies_;
    bool useCookiePersistence_ = true;
    bool useKeychainPersistence_ = false;
    bool useSessionPersistence_ = true;
    bool allowCompressedResponse_ = true;
    bool shouldCompressRequestBody_ = false;
    bool shouldStreamPostDataFromDisk_ = false;
    std::optional<std::string> postBodyFilePath_, compressedPostBodyFilePath_;
    std::optional<std::string> downloadDestinationPath_, temporaryFileDownloadPath_;
    std::optional<std::string> userAgentString_, domain_, proxyUsername_, proxyPassword_,
        proxyDomain_, proxyType_, authenticationScheme_;
    double timeOutSeconds_ = 10.0;
    uint64_t maxResponseDataSize_ = kDefaultMaxResponseDataSize;
    int64_t tag_ = 0;
    Ref<plat::Dictionary> userInfo_;
    bool useHTTPVersionOne_ = false;
    bool shouldRedirect_ = true;
    bool validatesSecureCertificate_ = true;
    bool shouldPresentCredentialsBeforeChallenge_ = true;
    bool shouldAttemptPersistentConnection_ = true;
    double persistentConnectionTimeoutSeconds_ = 60.0;
    bool allowResumeForFileDownloads_ = false;
    plat::StringEncoding defaultResponseEncoding_ = plat::NSISOLatin1StringEncoding;
    plat::StringEncoding responseEncoding_ = 0;
    bool shouldWaitToInflateCompressedResponses_ = true;
    int32_t numberOfTimesToRetryOnTimeout_ = 0;
    int32_t cachePolicy_ = 0;
    int32_t cacheStoragePolicy_ = 0;
    double secondsToCache_ = 0;
    bool showAccurateProgress_ = true;
    bool shouldResetUploadProgress_ = true;
    bool shouldResetDownloadProgress_ = true;
    bool shouldPresentAuthenticationDialog_ = false;
    bool shouldPresentProxyAuthenticationDialog_ = true;
    bool shouldUseRFC2616RedirectBehaviour_ = false;

    Ref<plat::Error> error_;
    bool complete_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    bool inProgress_ = false;
    int32_t responseStatusCode_ = 0;
    std::optional<std::string> responseStatusMessage_;
    uint64_t contentLength_ = 0, partialDownloadSize_ = 0, postLength_ = 0;
    uint64_t totalBytesRead_ = 0, totalBytesSent_ = 0, lastBytesRead_ = 0, lastBytesSent_ = 0;
    bool haveBuiltRequestHeaders_ = false;
    bool haveBuiltPostBody_ = false;
    bool didCreateTemporaryPostDataFile_ = false;
    int32_t authenticationNeeded_ = 0;
    int32_t retryCount_ = 0;
    bool willRetryRequest_ = false;
    bool didUseCachedResponse_ = false;
    std::optional<uint32_t> requestID_;
    Ref<plat::MutableDictionary> connectionInfo_;
    std::optional<plat::Bytes> rawResponseData_;
    std::optional<plat::Bytes> postBody_;
    std::optional<plat::Bytes> compressedPostBody_;
    Ref<plat::OutputStream> postBodyWriteStream_;
    Ref<plat::Error> postBodyError_;  // a body write or file read that failed
    Ref<plat::InputStream> postBodyReadStream_;
    std::weak_ptr<ASIHTTPRequest> mainRequest_;
    Ref<ASICacheDelegate> downloadCache_;
    bool downloadComplete_ = false;
    bool needsRedirect_ = false;
    int32_t redirectCount_ = 0;
    bool isSynchronous_ = false;
    bool isPACFileRequest_ = false;
    std::optional<plat::Url> PACurl_;
    Ref<ASIHTTPRequest> PACFileRequest_;
    Ref<plat::InputStream> PACFileReadStream_;
    std::optional<plat::Bytes> PACFileData_;
    void handlePACStreamEvent(plat::Stream::Event event);
    std::optional<plat::HttpMessage> request_;
    std::optional<ClientIdentity> clientCertificateIdentity_;
    std::vector<plat::HttpCookie> responseCookies_;
    Ref<plat::HttpAuthentication> requestAuthentication_, proxyAuthentication_;
    Ref<plat::Dictionary> requestCredentials_, proxyCredentials_;
    int32_t authenticationRetryCount_ = 0, proxyAuthenticationRetryCount_ = 0;
    std::optional<std::string> proxyAuthenticationRealm_, proxyAuthenticationScheme_;
    Ref<ASIDataDecompressor> dataDecompressor_;
    // What the on-the-fly decompressor took and gave, for its ratio.
    uint64_t inflateInput_ = 0;
    uint64_t inflateOutput_ = 0;
    Ref<plat::OutputStream> fileDownloadOutputStream_, inflatedFileDownloadOutputStream_;
    std::optional<std::string> temporaryUncompressedDataDownloadPath_;
    std::vector<std::string> clientCertificates_;
    Ref<plat::Timer> statusTimer_;
    std::weak_ptr<plat::Object> uploadProgressDelegate_, downloadProgressDelegate_;
    uint64_t uploadBufferSize_ = 0;
    bool updatedProgress_ = false;
    std::optional<std::string> username_, password_, authenticationRealm_, proxyHost_;
    int32_t proxyPort_ = 0;
    Ref<plat::Dictionary> responseHeaders_;

    Ref<plat::HttpReadStream> readStream_;
    bool readStreamIsScheduled_ = false;
    bool readStreamThrottled_ = false;  // the stream's transfer follows the throttling window
    std::weak_ptr<plat::RunLoop> scheduledLoop_;
    std::string runLoopMode_;
    bool connectionCanBeReused_ = false;
    std::optional<double> lastActivityTime_;
};
