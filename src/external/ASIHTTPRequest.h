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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "external/ASICacheDelegate.h"
#include "platform/core/Collections.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/TextEncoding.h"
#include "platform/net/Url.h"
#include "platform/net/UrlCredentialStorage.h"
#include "platform/runloop/Lock.h"
#include "platform/runloop/Operation.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/runloop/Thread.h"

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
    static Ref<ASIHTTPRequest> requestWithURL(plat::Url url);

    // ---- Class-wide: queue, network thread, defaults -------------------------------------------
    static Ref<plat::OperationQueue> sharedQueue();
    // The one thread whose run loop carries every request's stream; made on first use.
    static plat::Thread& threadForRequest(const ASIHTTPRequest* request);
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
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
    const Ref<plat::HttpReadStream>& readStream() const { return readStream_; }
    void setReadStream(Ref<plat::HttpReadStream> stream) { readStream_ = std::move(stream); }
    bool readStreamIsScheduled() const { return readStreamIsScheduled_; }
    const std::string& runLoopMode() const { return runLoopMode_; }
    void setRunLoopMode(std::string mode) { runLoopMode_ = std::move(mode); }
    bool connectionCanBeReused() const { return connectionCanBeReused_; }
    void setConnectionCanBeReused(bool reusable) { connectionCanBeReused_ = reusable; }
    std::optional<double> lastActivityTime() const { return lastActivityTime_; }
    // Unschedules or schedules the read stream as class-wide throttling says.
    void performThrottling();
    // The same, run on the loop the stream is scheduled on (body reads come from another
    // thread); directly when the stream is on no loop.
    void performThrottlingOnStreamLoop();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    // Stream events arrive here (bytes available 2, error 8, end 16).
    virtual void handleNetworkEvent(plat::Stream::Event event);

    // Deletes the file when there is one; false, with the error, when it cannot.
    static bool removeFileAtPath(const std::string& path, Ref<plat::Error>* error);

  private:
    // The class's count of requests with a scheduled stream, and the activity indicator.
    static void noteRunningRequest(int delta);

    mutable plat::RecursiveLock cancelledLock_;
    mutable std::mutex propertyMutex_;
    plat::Url url_;
    std::optional<std::string> username_, password_, authenticationRealm_, proxyHost_;
    int32_t proxyPort_ = 0;
    Ref<plat::Dictionary> responseHeaders_;

    Ref<plat::HttpReadStream> readStream_;
    bool readStreamIsScheduled_ = false;
    std::weak_ptr<plat::RunLoop> scheduledLoop_;
    std::string runLoopMode_;
    bool connectionCanBeReused_ = false;
    std::optional<double> lastActivityTime_;
};
