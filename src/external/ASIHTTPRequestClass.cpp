// What ASIHTTPRequest keeps once for all its requests, and the class-level helpers.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>

#include "external/ASIHTTPRequest.h"
#include "platform/core/DateFormatter.h"
#include "platform/crypto/Base64.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetText.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/system/Host.h"

namespace {

using plat::net_text::trim;

// The class-wide variables, each with the lock that guards it.
struct ClassState {
    std::mutex monitor;  // the class monitor: user agent, default cache, network thread
    std::unique_ptr<plat::Thread> networkThread;
    std::optional<std::string> defaultUserAgent;
    Ref<ASICacheDelegate> defaultCache;
    std::atomic<double> defaultTimeOutSeconds{10.0};
    std::atomic<uint64_t> defaultMaxResponseDataSize{ASIHTTPRequest::kDefaultMaxResponseDataSize};
    Ref<plat::OperationQueue> sharedQueue;

    std::recursive_mutex connectionsLock;
    uint32_t runningRequestCount = 0;
    std::vector<Ref<plat::MutableDictionary>> persistentConnectionsPool;
    int32_t nextConnectionNumberToCreate = 0;
    uint32_t nextRequestID = 0;
    bool shouldUpdateNetworkActivityIndicator = true;

    std::mutex bandwidthThrottlingLock;
    uint64_t maxBandwidthPerSecond = 0;
    uint64_t bandwidthUsedInLastSecond = 0;
    std::optional<double> bandwidthMeasurementDate;
    std::optional<double> throttleWakeUpTime;
    uint64_t averageBandwidthUsedPerSecond = 0;
    std::deque<uint64_t> bandwidthUsageTracker;

    std::recursive_mutex sessionCookiesLock;
    std::optional<std::vector<plat::HttpCookie>> sessionCookies;
    std::recursive_mutex sessionCredentialsLock;
    std::vector<Ref<plat::Dictionary>> sessionCredentialsStore;
    std::vector<Ref<plat::Dictionary>> sessionProxyCredentialsStore;

    ClassState() {
        // The network layer is set up on the thread that first uses the class, not on one of
        // the engine's own threads.
        plat::HttpReadStream::initializeNetworking();
        sharedQueue = plat::OperationQueue::make("ASIHTTPRequest shared queue");
        sharedQueue->setMaxConcurrentOperationCount(4);
    }
};

ClassState& state() {
    static ClassState s;
    return s;
}

// Bandwidth windows are measured on the main run loop's clock (tests make it virtual).
double now() {
    return plat::RunLoop::main().now();
}

// Called with bandwidthThrottlingLock held.
void recordBandwidthUsage(ClassState& s) {
    if (s.bandwidthUsedInLastSecond == 0) {
        s.bandwidthUsageTracker.clear();
    } else {
        double late = s.bandwidthMeasurementDate ? *s.bandwidthMeasurementDate - now() : 0;
        while ((late < 0 || s.bandwidthUsageTracker.size() > 5) &&
               !s.bandwidthUsageTracker.empty()) {
            s.bandwidthUsageTracker.pop_front();
            late += 1;
        }
    }
    s.bandwidthUsageTracker.push_back(s.bandwidthUsedInLastSecond);
    s.bandwidthMeasurementDate = now() + 1.0;
    s.bandwidthUsedInLastSecond = 0;
    const uint64_t sum = std::accumulate(s.bandwidthUsageTracker.begin(),
                                         s.bandwidthUsageTracker.end(), uint64_t{0});
    s.averageBandwidthUsedPerSecond = sum / s.bandwidthUsageTracker.size();
}

std::string dictionaryText(const plat::Dictionary& dictionary, const char* key) {
    const plat::Value value = dictionary.objectForKey(key);
    return value.string() ? *value.string() : std::string();
}

std::optional<std::string> infoText(const char* key) {
    const plat::Value value = plat::InfoDictionary::objectForKey(key);
    if (const std::string* text = value.string(); text && !text->empty())
        return *text;
    return std::nullopt;
}

plat::ProtectionSpace serverSpace(const std::string& host, int32_t port,
                                  const std::string& protocol, const std::string& realm) {
    return {host, port, protocol, realm, "default", false};
}

plat::ProtectionSpace proxySpace(const std::string& host, int32_t port, const std::string& realm) {
    return {host, port, "http", realm, "default", true};
}

}  // namespace

// ---- Queue, thread, defaults --------------------------------------------------------------------

Ref<plat::OperationQueue> ASIHTTPRequest::sharedQueue() {
    return state().sharedQueue;
}

plat::Thread& ASIHTTPRequest::threadForRequest(const ASIHTTPRequest*) {
    ClassState& s = state();
    std::lock_guard lock(s.monitor);
    if (!s.networkThread) {
        s.networkThread = std::make_unique<plat::Thread>("ASIHTTPRequest network thread");
        s.networkThread->start();
    }
    return *s.networkThread;
}

double ASIHTTPRequest::defaultTimeOutSeconds() {
    return state().defaultTimeOutSeconds;
}

void ASIHTTPRequest::setDefaultTimeOutSeconds(double seconds) {
    state().defaultTimeOutSeconds = seconds;
}

uint64_t ASIHTTPRequest::defaultMaxResponseDataSize() {
    return state().defaultMaxResponseDataSize;
}

void ASIHTTPRequest::setDefaultMaxResponseDataSize(uint64_t bytes) {
    state().defaultMaxResponseDataSize = bytes;
}

std::optional<std::string> ASIHTTPRequest::defaultUserAgentString() {
    ClassState& s = state();
    std::lock_guard lock(s.monitor);
    if (s.defaultUserAgent)
        return s.defaultUserAgent;
    auto name = infoText("CFBundleDisplayName");
    if (!name)
        name = infoText("CFBundleName");
    // The name's UTF-8 bytes read as Latin-1, as the header carries it.
    if (name)
        name = plat::TextEncoding::decode(*name, plat::NSISOLatin1StringEncoding);
    if (!name)
        return std::nullopt;
    const auto shortVersion = infoText("CFBundleShortVersionString");
    const auto bundleVersion = infoText("CFBundleVersion");
    std::string version;
    if (shortVersion && bundleVersion)
        version = *shortVersion == *bundleVersion ? *shortVersion
                                                  : *shortVersion + " rv:" + *bundleVersion;
    else
        version = shortVersion.value_or(bundleVersion.value_or(""));
    const auto system = plat::Host::systemVersion();
    if (!system)
        return std::nullopt;
    s.defaultUserAgent = *name + " " + version + " (X11; Linux " + std::to_string((*system)[0]) +
                         "." + std::to_string((*system)[1]) + "." + std::to_string((*system)[2]) +
                         "; " + plat::Host::localeIdentifier() + ")";
    return s.defaultUserAgent;
}

void ASIHTTPRequest::setDefaultUserAgentString(std::optional<std::string> text) {
    std::lock_guard lock(state().monitor);
    state().defaultUserAgent = std::move(text);
}

Ref<ASICacheDelegate> ASIHTTPRequest::defaultCache() {
    std::lock_guard lock(state().monitor);
    return state().defaultCache;
}

void ASIHTTPRequest::setDefaultCache(Ref<ASICacheDelegate> cache) {
    std::lock_guard lock(state().monitor);
    state().defaultCache = std::move(cache);
}

// ---- Network activity ---------------------------------------------------------------------------

bool ASIHTTPRequest::isNetworkInUse() {
    std::lock_guard lock(state().connectionsLock);
    return state().runningRequestCount != 0;
}

void ASIHTTPRequest::setShouldUpdateNetworkActivityIndicator(bool update) {
    std::lock_guard lock(state().connectionsLock);
    state().shouldUpdateNetworkActivityIndicator = update;
}

void ASIHTTPRequest::hideNetworkActivityIndicatorAfterDelay() {
    plat::RunLoop::current().perform([] { hideNetworkActivityIndicatorIfNeeeded(); }, 0.5);
}

void ASIHTTPRequest::hideNetworkActivityIndicatorIfNeeeded() {
    std::lock_guard lock(state().connectionsLock);
    if (state().runningRequestCount == 0)
        hideNetworkActivityIndicator();
}

void ASIHTTPRequest::adjustSharedQueueWidth(int delta) {
    ClassState& s = state();
    std::lock_guard lock(s.connectionsLock);
    s.sharedQueue->setMaxConcurrentOperationCount(s.sharedQueue->maxConcurrentOperationCount() +
                                                  delta);
}

void ASIHTTPRequest::noteRunningRequest(int delta) {
    ClassState& s = state();
    std::lock_guard lock(s.connectionsLock);
    if (delta > 0) {
        ++s.runningRequestCount;
        if (s.shouldUpdateNetworkActivityIndicator)
            showNetworkActivityIndicator();
    } else if (s.runningRequestCount > 0 && --s.runningRequestCount == 0 &&
               s.shouldUpdateNetworkActivityIndicator) {
        plat::RunLoop::main().perform([] { hideNetworkActivityIndicatorAfterDelay(); });
    }
}

// ---- Bandwidth ----------------------------------------------------------------------------------

bool ASIHTTPRequest::isBandwidthThrottled() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().maxBandwidthPerSecond > 0;
}

uint64_t ASIHTTPRequest::maxBandwidthPerSecond() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().maxBandwidthPerSecond;
}

void ASIHTTPRequest::setMaxBandwidthPerSecond(uint64_t bytes) {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    state().maxBandwidthPerSecond = bytes;
}

void ASIHTTPRequest::incrementBandwidthUsedInLastSecond(uint64_t bytes) {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    state().bandwidthUsedInLastSecond += bytes;
}

uint64_t ASIHTTPRequest::averageBandwidthUsedPerSecond() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().averageBandwidthUsedPerSecond;
}

std::optional<double> ASIHTTPRequest::throttleWakeUpTime() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().throttleWakeUpTime;
}

std::optional<double> ASIHTTPRequest::bandwidthMeasurementDate() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().bandwidthMeasurementDate;
}

uint64_t ASIHTTPRequest::bandwidthUsedInLastSecond() {
    std::lock_guard lock(state().bandwidthThrottlingLock);
    return state().bandwidthUsedInLastSecond;
}

void ASIHTTPRequest::measureBandwidthUsage() {
    ClassState& s = state();
    std::lock_guard lock(s.bandwidthThrottlingLock);
    if (!s.bandwidthMeasurementDate || *s.bandwidthMeasurementDate < now())
        recordBandwidthUsage(s);
    if (s.maxBandwidthPerSecond != 0 && s.bandwidthUsedInLastSecond > s.maxBandwidthPerSecond) {
        const double over =
            static_cast<double>(s.bandwidthUsedInLastSecond - s.maxBandwidthPerSecond);
        s.throttleWakeUpTime =
            *s.bandwidthMeasurementDate + over / static_cast<double>(s.maxBandwidthPerSecond);
    }
}

uint64_t ASIHTTPRequest::maxUploadReadLength() {
    ClassState& s = state();
    std::lock_guard lock(s.bandwidthThrottlingLock);
    uint64_t toRead = s.maxBandwidthPerSecond / 4;
    if (s.maxBandwidthPerSecond != 0 &&
        s.bandwidthUsedInLastSecond + toRead > s.maxBandwidthPerSecond) {
        toRead = s.bandwidthUsedInLastSecond >= s.maxBandwidthPerSecond
                     ? 0
                     : s.maxBandwidthPerSecond - s.bandwidthUsedInLastSecond;
    }
    if (toRead == 0 || !s.bandwidthMeasurementDate || *s.bandwidthMeasurementDate < now())
        s.throttleWakeUpTime = s.bandwidthMeasurementDate;
    return toRead;
}

uint64_t ASIHTTPRequest::maxDownloadReadLength(uint64_t bufferSize) {
    // Less than this left in the window is left unused: no tiny reads at a window's end.
    constexpr uint64_t kSmallestRead = 4096;
    ClassState& s = state();
    std::lock_guard lock(s.bandwidthThrottlingLock);
    const uint64_t limit = s.maxBandwidthPerSecond;
    if (limit == 0)
        return bufferSize;
    const uint64_t left =
        s.bandwidthUsedInLastSecond >= limit ? 0 : limit - s.bandwidthUsedInLastSecond;
    if (left < std::min(kSmallestRead, limit)) {
        s.throttleWakeUpTime = s.bandwidthMeasurementDate;
        return 0;
    }
    return std::min(bufferSize, std::max(left / 4, std::min<uint64_t>(left, 16'384)));
}

// ---- Session cookies and credentials ------------------------------------------------------------

std::vector<plat::HttpCookie> ASIHTTPRequest::sessionCookies() {
    std::lock_guard lock(state().sessionCookiesLock);
    if (!state().sessionCookies)
        setSessionCookies(std::vector<plat::HttpCookie>{});
    return *state().sessionCookies;
}

void ASIHTTPRequest::setSessionCookies(std::optional<std::vector<plat::HttpCookie>> cookies) {
    std::lock_guard lock(state().sessionCookiesLock);
    if (state().sessionCookies) {
        for (const auto& cookie : *state().sessionCookies)
            plat::HttpCookieStorage::shared().deleteCookie(cookie);
    }
    state().sessionCookies = std::move(cookies);
}

void ASIHTTPRequest::addSessionCookie(const plat::HttpCookie& cookie) {
    std::lock_guard lock(state().sessionCookiesLock);
    sessionCookies();
    auto& list = *state().sessionCookies;
    auto same = std::find_if(list.begin(), list.end(), [&](const plat::HttpCookie& kept) {
        return kept.domain == cookie.domain && kept.path == cookie.path && kept.name == cookie.name;
    });
    if (same != list.end())
        list.erase(same);
    list.push_back(cookie);
}

void ASIHTTPRequest::clearSession() {
    {
        std::lock_guard lock(state().sessionCredentialsLock);
        state().sessionCredentialsStore.clear();
    }
    setSessionCookies(std::nullopt);
    if (auto cache = defaultCache())
        cache->clearCachedResponsesForStoragePolicy(0);
}

std::vector<Ref<plat::Dictionary>> ASIHTTPRequest::sessionCredentialsStore() {
    std::lock_guard lock(state().sessionCredentialsLock);
    return state().sessionCredentialsStore;
}

std::vector<Ref<plat::Dictionary>> ASIHTTPRequest::sessionProxyCredentialsStore() {
    std::lock_guard lock(state().sessionCredentialsLock);
    return state().sessionProxyCredentialsStore;
}

namespace {

void removeByCredentials(std::vector<Ref<plat::Dictionary>>& store,
                         const Ref<plat::Dictionary>& credentials) {
    auto it = std::find_if(store.begin(), store.end(), [&](const Ref<plat::Dictionary>& record) {
        return record->objectForKey(kASISessionCredentialsKey).dictionary() == credentials;
    });
    if (it != store.end())
        store.erase(it);
}

}  // namespace

void ASIHTTPRequest::storeAuthenticationCredentialsInSessionStore(
    const Ref<plat::Dictionary>& record) {
    std::lock_guard lock(state().sessionCredentialsLock);
    removeByCredentials(state().sessionCredentialsStore,
                        record->objectForKey(kASISessionCredentialsKey).dictionary());
    state().sessionCredentialsStore.push_back(record);
}

void ASIHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(
    const Ref<plat::Dictionary>& record) {
    std::lock_guard lock(state().sessionCredentialsLock);
    removeByCredentials(state().sessionProxyCredentialsStore,
                        record->objectForKey(kASISessionCredentialsKey).dictionary());
    state().sessionProxyCredentialsStore.push_back(record);
}

void ASIHTTPRequest::removeAuthenticationCredentialsFromSessionStore(
    const Ref<plat::Dictionary>& credentials) {
    std::lock_guard lock(state().sessionCredentialsLock);
    removeByCredentials(state().sessionCredentialsStore, credentials);
}

void ASIHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(
    const Ref<plat::Dictionary>& credentials) {
    std::lock_guard lock(state().sessionCredentialsLock);
    removeByCredentials(state().sessionProxyCredentialsStore, credentials);
}

void ASIHTTPRequest::saveCredentials(const plat::UrlCredential& credential, const std::string& host,
                                     int32_t port, const std::string& protocol,
                                     const std::string& realm) {
    plat::UrlCredentialStorage::shared().setDefaultCredential(
        credential, serverSpace(host, port, protocol, realm));
}

void ASIHTTPRequest::saveCredentialsForProxy(const plat::UrlCredential& credential,
                                             const std::string& proxyHost, int32_t port,
                                             const std::string& realm) {
    plat::UrlCredentialStorage::shared().setDefaultCredential(credential,
                                                              proxySpace(proxyHost, port, realm));
}

std::optional<plat::UrlCredential> ASIHTTPRequest::savedCredentialsForHost(
    const std::string& host, int32_t port, const std::string& protocol, const std::string& realm) {
    return plat::UrlCredentialStorage::shared().defaultCredential(
        serverSpace(host, port, protocol, realm));
}

std::optional<plat::UrlCredential> ASIHTTPRequest::savedCredentialsForProxy(
    const std::string& proxyHost, int32_t port, const std::string&, const std::string& realm) {
    return plat::UrlCredentialStorage::shared().defaultCredential(
        proxySpace(proxyHost, port, realm));
}

void ASIHTTPRequest::removeCredentialsForHost(const std::string& host, int32_t port,
                                              const std::string& protocol,
                                              const std::string& realm) {
    const auto space = serverSpace(host, port, protocol, realm);
    if (auto credential = plat::UrlCredentialStorage::shared().defaultCredential(space))
        plat::UrlCredentialStorage::shared().removeCredential(*credential, space);
}

void ASIHTTPRequest::removeCredentialsForProxy(const std::string& proxyHost, int32_t port,
                                               const std::string& realm) {
    const auto space = proxySpace(proxyHost, port, realm);
    if (auto credential = plat::UrlCredentialStorage::shared().defaultCredential(space))
        plat::UrlCredentialStorage::shared().removeCredential(*credential, space);
}

Ref<plat::Dictionary> ASIHTTPRequest::findSessionProxyAuthenticationCredentials() const {
    const auto host = proxyHost();
    const int32_t port = proxyPort();
    std::lock_guard lock(state().sessionCredentialsLock);
    for (const auto& record : state().sessionProxyCredentialsStore) {
        if (host && dictionaryText(*record, kASISessionHostKey) == *host &&
            record->objectForKey(kASISessionPortKey).intValue() == port)
            return record;
    }
    return nullptr;
}

Ref<plat::Dictionary> ASIHTTPRequest::findSessionAuthenticationCredentials() const {
    // The request's own values (under its own locks) first, then the store's lock.
    const plat::Url requestUrl = url();
    const auto realm = authenticationRealm();
    const auto user = username();
    const auto secret = password();
    std::lock_guard lock(state().sessionCredentialsLock);
    Ref<plat::Dictionary> candidate;
    for (const auto& record : state().sessionCredentialsStore) {
        const auto recordUrl = plat::Url::parse(dictionaryText(*record, kASISessionURLKey));
        const bool exact = recordUrl && *recordUrl == requestUrl;
        if (!exact) {
            if (candidate || !recordUrl)
                continue;
            const bool samePort =
                recordUrl->port() == requestUrl.port() && (!recordUrl->port() || requestUrl.port());
            if (recordUrl->host() != requestUrl.host() || !samePort ||
                recordUrl->scheme() != requestUrl.scheme())
                continue;
        }
        const plat::Value recordRealm = record->objectForKey(kASISessionRealmKey);
        if (realm && recordRealm.string() && *recordRealm.string() != *realm)
            continue;
        if (user && secret) {
            auto credentials = record->objectForKey(kASISessionCredentialsKey).dictionary();
            if (!credentials ||
                dictionaryText(*credentials, kCFHTTPAuthenticationUsername) != *user ||
                dictionaryText(*credentials, kCFHTTPAuthenticationPassword) != *secret)
                continue;
        }
        if (exact)
            return record;
        candidate = record;
    }
    return candidate;
}

// ---- Helpers ------------------------------------------------------------------------------------

std::optional<std::string> ASIHTTPRequest::mimeTypeForFileAtPath(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    return plat::mimeTypeForPathExtension(extension);
}

std::string ASIHTTPRequest::base64forData(const plat::Bytes& data) {
    return plat::Base64::encode(data);
}

std::optional<plat::Date> ASIHTTPRequest::expiryDateForRequest(const ASIHTTPRequest& request,
                                                               double maxAge) {
    const auto headers = request.responseHeaders();
    if (maxAge == 0 && headers) {
        const plat::Value control = headers->objectForKey("Cache-Control");
        if (const std::string* text = control.string()) {
            const std::string lower = plat::net_text::asciiLowercase(*text);
            const size_t at = lower.find("max-age");
            if (at != std::string::npos) {
                size_t pos = at + 7;
                if (pos < lower.size() && lower[pos] == '=')
                    ++pos;
                char* end = nullptr;
                const double seconds = std::strtod(lower.c_str() + pos, &end);
                if (end != lower.c_str() + pos && std::isfinite(seconds))
                    maxAge = seconds;
            }
        }
    }
    if (maxAge != 0)
        return plat::Date{plat::Date::now().seconds + maxAge};
    if (headers) {
        if (const std::string* expires = headers->objectForKey("Expires").string())
            return dateFromRFC1123String(*expires);
    }
    return std::nullopt;
}

std::optional<plat::Date> ASIHTTPRequest::dateFromRFC1123String(const std::string& text) {
    size_t colons = 0;
    for (char c : text)
        colons += c == ':';
    const std::string pattern = std::string(text.find(',') != std::string::npos ? "EEE, " : "") +
                                "dd MMM yyyy HH:mm" + (colons == 2 ? ":ss" : "") + " z";
    return plat::DateFormatter(pattern, plat::TimeZone::utc()).dateFromString(text);
}

void ASIHTTPRequest::parseMimeType(std::string* mimeType, plat::StringEncoding* encoding,
                                   const std::optional<std::string>& contentType) {
    if (!contentType)
        return;
    const std::string& text = *contentType;
    const size_t semicolon = text.find(';');
    if (semicolon == std::string::npos || trim(text.substr(0, semicolon)).empty()) {
        if (mimeType)
            *mimeType = std::string(trim(text));
        return;
    }
    if (mimeType)
        *mimeType = std::string(trim(text.substr(0, semicolon)));
    const size_t charset = text.find("charset=", semicolon);
    if (charset == std::string::npos)
        return;
    const size_t start = charset + 8;
    const std::string name = text.substr(start, text.find(';', start) - start);
    if (name.empty())
        return;
    if (auto found = plat::TextEncoding::encodingForIanaName(name); found && encoding)
        *encoding = *found;
}

// ---- Kept-alive connections ---------------------------------------------------------------------

namespace {

// Streams are not values: an entry's "stream" names the read stream by the entry's "id", and
// the class keeps the stream itself here.
std::map<int32_t, Ref<plat::HttpReadStream>>& entryStreams() {
    static std::map<int32_t, Ref<plat::HttpReadStream>> streams;
    return streams;
}

int32_t entryId(const plat::Dictionary& entry) {
    return entry.objectForKey("id").intValue();
}

}  // namespace

std::vector<Ref<plat::MutableDictionary>> ASIHTTPRequest::persistentConnections() {
    std::lock_guard lock(state().connectionsLock);
    return state().persistentConnectionsPool;
}

void ASIHTTPRequest::expirePersistentConnections() {
    ClassState& s = state();
    std::lock_guard lock(s.connectionsLock);
    const double nowSeconds = plat::Date::now().seconds;
    auto& pool = s.persistentConnectionsPool;
    for (auto it = pool.begin(); it != pool.end();) {
        const plat::Value expires = (*it)->objectForKey("expires");
        const bool idle = (*it)->objectForKey("request").isNil();
        if (idle && expires.date() && expires.date()->seconds <= nowSeconds) {
            if (auto stream = entryStreams()[entryId(**it)])
                stream->close();
            entryStreams().erase(entryId(**it));
            it = pool.erase(it);
        } else {
            ++it;
        }
    }
}

void ASIHTTPRequest::dropConnectionEntry() {
    ClassState& s = state();
    std::lock_guard lock(s.connectionsLock);
    auto info = connectionInfo();
    if (!info)
        return;
    info->removeObjectForKey("request");
    auto& pool = s.persistentConnectionsPool;
    pool.erase(std::remove(pool.begin(), pool.end(), info), pool.end());
    entryStreams().erase(entryId(*info));
}

Ref<plat::HttpReadStream> ASIHTTPRequest::attachPersistentConnection(
    const Ref<plat::HttpReadStream>& stream) {
    ClassState& s = state();
    // The URL (under the request's own lock) is read before the table's lock is taken, so that
    // the two locks are always taken in one order.
    const plat::Url target = url();
    std::lock_guard lock(s.connectionsLock);
    if (!target.isValid() || target.host().empty()) {
        setConnectionInfo(nullptr);
        setShouldAttemptPersistentConnection(false);
    }
    if (!shouldAttemptPersistentConnection())
        return nullptr;
    const int32_t port = target.port().value_or(0);
    auto matches = [&](const plat::Dictionary& entry) {
        const plat::Value host = entry.objectForKey("host");
        const plat::Value scheme = entry.objectForKey("scheme");
        return host.string() && *host.string() == target.host() && scheme.string() &&
               *scheme.string() == target.scheme() && entry.objectForKey("port").intValue() == port;
    };
    auto& pool = s.persistentConnectionsPool;
    auto info = connectionInfo();
    if (info) {
        if (!matches(*info)) {
            info = nullptr;
        } else {
            const plat::Value expires = info->objectForKey("expires");
            if (expires.date() && expires.date()->seconds < plat::Date::now().seconds) {
                pool.erase(std::remove(pool.begin(), pool.end(), info), pool.end());
                entryStreams().erase(entryId(*info));
                info = nullptr;
            } else if (!info->objectForKey("request").isNil()) {
                info = nullptr;
            }
        }
    }
    if (!info) {
        for (const auto& entry : pool) {
            if (entry->objectForKey("request").isNil() && matches(*entry))
                info = entry;  // the last idle match wins
        }
    }
    Ref<plat::HttpReadStream> oldStream;
    if (info) {
        if (auto it = entryStreams().find(entryId(*info)); it != entryStreams().end())
            oldStream = it->second;
    } else {
        info = plat::MutableDictionary::make();
        info->setObject(plat::Value(++s.nextConnectionNumberToCreate), "id");
        info->setObject(plat::Value(target.host()), "host");
        info->setObject(plat::Value(port), "port");
        info->setObject(plat::Value(target.scheme()), "scheme");
        pool.push_back(info);
    }
    setConnectionInfo(info);
    if (!requestID())
        setRequestID(++s.nextRequestID);
    info->setObject(plat::Value(static_cast<int64_t>(*requestID())), "request");
    info->setObject(plat::Value(static_cast<int32_t>(entryId(*info))), "stream");
    entryStreams()[entryId(*info)] = stream;
    stream->setAttemptPersistentConnection(true);
    stream->setReuseKey(std::to_string(entryId(*info)));
    return oldStream == stream ? nullptr : oldStream;
}
