#include "auxiliary/cache/ASIDownloadCache.h"

#include <algorithm>

#include "platform/core/Exception.h"
#include "platform/crypto/Digest.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"
#include "platform/storage/PropertyList.h"

namespace {

constexpr const char* kSessionStore = "SessionStore";
constexpr const char* kPermanentStore = "PermanentStore";
constexpr const char* kExpiresKey = "X-ASIHTTPRequest-Expires";
constexpr const char* kStatusKey = "X-ASIHTTPRequest-Response-Status-Code";
constexpr size_t kMaxHeadersBytes = size_t{4} << 20;
constexpr size_t kMaxBodyBytes = size_t{1} << 30;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::string> headerValue(const Ref<plat::Dictionary>& headers, const char* name) {
    if (!headers)
        return std::nullopt;
    const auto* value = headers->objectForKey(name).string();
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

Ref<plat::Dictionary> readHeaders(const std::filesystem::path& path) {
    const auto bytes = plat::AtomicFile::read(path, kMaxHeadersBytes);
    return bytes ? plat::PropertyList::propertyListWithData(*bytes).dictionary() : nullptr;
}

void writeHeaders(const std::filesystem::path& path, const Ref<plat::Dictionary>& headers) {
    if (const auto data =
            plat::PropertyList::dataWithPropertyList(plat::Value::fromObject(headers)))
        plat::AtomicFile::write(path, *data);
}

}  // namespace

ASIDownloadCache::ASIDownloadCache() = default;

Ref<ASIDownloadCache> ASIDownloadCache::sharedCache() {
    static std::mutex mutex;
    static Ref<ASIDownloadCache> shared;
    std::lock_guard lock(mutex);
    if (!shared) {
        shared = std::make_shared<ASIDownloadCache>();
        shared->setStoragePath(plat::Paths::cachesDirectory() / "ASIHTTPRequestCache");
    }
    return shared;
}

std::optional<std::string> ASIDownloadCache::keyForURL(const plat::Url& url) {
    std::string text = url.absoluteString();
    if (text.empty())
        return std::nullopt;
    if (text.back() == '/')
        text.pop_back();
    return plat::Digest::hex(plat::Digest::md5(text), true);
}

const std::vector<std::string>& ASIDownloadCache::fileExtensionsToHandleAsHTML() {
    static const std::vector<std::string> extensions = {"asp", "aspx", "jsp", "php",
                                                        "rb",  "py",   "pl",  "cgi"};
    return extensions;
}

bool ASIDownloadCache::serverAllowsResponseCachingForRequest(const ASIHTTPRequest& request) {
    const auto headers = request.responseHeaders();
    if (const auto control = headerValue(headers, "Cache-Control")) {
        const std::string value = lower(*control);
        if (value == "no-cache" || value == "no-store")
            return false;
    }
    if (const auto pragma = headerValue(headers, "Pragma"); pragma && lower(*pragma) == "no-cache")
        return false;
    return true;
}

std::string ASIDownloadCache::dataExtension(const plat::Url& url) {
    const std::string& path = url.path();
    const std::string_view last = std::string_view(path).substr(path.rfind('/') + 1);
    const size_t dot = last.rfind('.');
    const std::string extension =
        dot == std::string_view::npos ? "" : std::string(last.substr(dot + 1));
    const auto& html = fileExtensionsToHandleAsHTML();
    if (extension.empty() || std::find(html.begin(), html.end(), lower(extension)) != html.end())
        return "html";
    return extension;
}

int32_t ASIDownloadCache::defaultCachePolicy() {
    std::lock_guard lock(accessLock_);
    return defaultCachePolicy_;
}

void ASIDownloadCache::setDefaultCachePolicy(int32_t policy) {
    std::lock_guard lock(accessLock_);
    defaultCachePolicy_ = policy == 0 ? CachePolicyRevalidateWhenStale : policy;
}

bool ASIDownloadCache::canUseCachedDataForRequest(ASIHTTPRequest& request) {
    const int32_t policy = request.cachePolicy();
    if (policy & CachePolicyNoRead)
        return false;
    if (policy & CachePolicyNeverLoad)
        return true;
    if (!pathToCachedResponseHeadersForURL(request.url()) ||
        !pathToCachedResponseDataForURL(request.url())) {
        return false;
    }
    if (policy & CachePolicyUseCachedIfPresent)
        return true;
    if (request.complete() && (policy & CachePolicyFallbackOnFailure))
        return true;
    if (policy & CachePolicyRevalidateWhenStale)
        return isCachedDataCurrentForRequest(request);
    if (policy & CachePolicyRevalidateAlways)
        return request.responseHeaders() && isCachedDataCurrentForRequest(request);
    return false;
}

bool ASIDownloadCache::isCachedDataCurrentForRequest(ASIHTTPRequest& request) {
    std::lock_guard lock(accessLock_);
    if (!storagePath_)
        return false;
    const auto stored = cachedResponseHeadersForURL(request.url());
    if (!stored || !pathToCachedResponseDataForURL(request.url()))
        return false;
    if (request.responseStatusCode() == 304)
        return true;
    const auto received = request.responseHeaders();
    if (received && request.complete()) {
        for (const char* field : {"Etag", "Last-Modified"}) {
            const auto now = headerValue(received, field);
            if (!now || headerValue(stored, field) != now)
                return false;
        }
    }
    if (shouldRespectCacheControlHeaders) {
        const plat::Value expires = stored->objectForKey(kExpiresKey);
        return expires.isNumber() && expires.doubleValue() >= plat::Date::now().seconds;
    }
    return true;
}

void ASIDownloadCache::storeResponseForRequest(ASIHTTPRequest& request, double maxAge) {
    std::lock_guard lock(accessLock_);
    if (request.error() || !request.responseHeaders() ||
        (request.cachePolicy() & CachePolicyNoWrite)) {
        return;
    }
    const int32_t status = request.responseStatusCode();
    if (status != 200 && status != 301 && status != 302 && status != 303 && status != 307)
        return;
    if (shouldRespectCacheControlHeaders && !serverAllowsResponseCachingForRequest(request))
        return;
    const auto headersPath = pathToStoreCachedResponseHeadersForRequest(request);
    const auto dataPath = pathToStoreCachedResponseDataForRequest(request);
    if (!headersPath || !dataPath)
        return;
    auto headers = plat::MutableDictionary::make();
    headers->addEntriesFromDictionary(*request.responseHeaders());
    if (request.isResponseCompressed())
        headers->removeObjectForKey(plat::Value("Content-Encoding"));
    if (const auto expiry = ASIHTTPRequest::expiryDateForRequest(request, maxAge))
        headers->setObject(plat::Value(expiry->seconds), plat::Value(kExpiresKey));
    headers->setObject(plat::Value(static_cast<int64_t>(status)), plat::Value(kStatusKey));

    // Headers go last: without them nothing is served, so a store cut short is never used.
    plat::FileManager::removeItem(*headersPath);
    if (const auto body = request.responseData()) {
        if (plat::AtomicFile::write(*dataPath, *body))
            return;
    } else if (const auto download = request.downloadDestinationPath();
               download && std::filesystem::path(*download) != *dataPath) {
        std::error_code error;
        const auto temporary = dataPath->string() + ".partial";
        std::filesystem::copy_file(*download, temporary,
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error || plat::FileManager::moveItem(temporary, *dataPath)) {
            plat::FileManager::removeItem(temporary);
            return;
        }
    }
    writeHeaders(*headersPath, headers);
}

void ASIDownloadCache::updateExpiryForRequest(ASIHTTPRequest& request, double maxAge) {
    std::lock_guard lock(accessLock_);
    const auto path = pathToStoreCachedResponseHeadersForRequest(request);
    const auto stored = path ? readHeaders(*path) : nullptr;
    const auto expiry = ASIHTTPRequest::expiryDateForRequest(request, maxAge);
    if (!stored || !expiry)
        return;
    auto headers = plat::MutableDictionary::make();
    headers->addEntriesFromDictionary(*stored);
    headers->setObject(plat::Value(expiry->seconds), plat::Value(kExpiresKey));
    writeHeaders(*path, headers);
}

Ref<plat::Dictionary> ASIDownloadCache::cachedResponseHeadersForURL(const plat::Url& url) {
    const auto path = pathToCachedResponseHeadersForURL(url);
    return path ? readHeaders(*path) : nullptr;
}

std::optional<plat::Bytes> ASIDownloadCache::cachedResponseDataForURL(const plat::Url& url) {
    const auto path = pathToCachedResponseDataForURL(url);
    return path ? plat::AtomicFile::read(*path, kMaxBodyBytes) : std::nullopt;
}

std::optional<std::filesystem::path> ASIDownloadCache::pathToCachedResponseDataForURL(
    const plat::Url& url) {
    const auto key = keyForURL(url);
    return key ? pathToFile(*key + "." + dataExtension(url)) : std::nullopt;
}

std::optional<std::filesystem::path> ASIDownloadCache::pathToCachedResponseHeadersForURL(
    const plat::Url& url) {
    const auto key = keyForURL(url);
    return key ? pathToFile(*key + ".cachedheaders") : std::nullopt;
}

std::optional<std::filesystem::path> ASIDownloadCache::pathToFile(const std::string& fileName) {
    std::lock_guard lock(accessLock_);
    if (!storagePath_)
        return std::nullopt;
    for (const char* store : {kSessionStore, kPermanentStore}) {
        const auto path = *storagePath_ / store / fileName;
        if (plat::FileManager::fileExists(path))
            return path;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> ASIDownloadCache::pathToStoreCachedResponseHeadersForRequest(
    const ASIHTTPRequest& request) {
    std::lock_guard lock(accessLock_);
    const auto key = keyForURL(request.url());
    if (!storagePath_ || !key)
        return std::nullopt;
    const char* store = request.cacheStoragePolicy() == 0 ? kSessionStore : kPermanentStore;
    return *storagePath_ / store / (*key + ".cachedheaders");
}

std::optional<std::filesystem::path> ASIDownloadCache::pathToStoreCachedResponseDataForRequest(
    const ASIHTTPRequest& request) {
    std::lock_guard lock(accessLock_);
    const auto key = keyForURL(request.url());
    if (!storagePath_ || !key)
        return std::nullopt;
    const char* store = request.cacheStoragePolicy() == 0 ? kSessionStore : kPermanentStore;
    return *storagePath_ / store / (*key + "." + dataExtension(request.url()));
}

void ASIDownloadCache::removeCachedDataForURL(const plat::Url& url) {
    std::lock_guard lock(accessLock_);
    if (!storagePath_)
        return;
    if (const auto headers = pathToCachedResponseHeadersForURL(url))
        plat::FileManager::removeItem(*headers);
    if (const auto data = pathToCachedResponseDataForURL(url))
        plat::FileManager::removeItem(*data);
}

void ASIDownloadCache::removeCachedDataForRequest(ASIHTTPRequest& request) {
    removeCachedDataForURL(request.url());
}

void ASIDownloadCache::clearCachedResponsesForStoragePolicy(int32_t storagePolicy) {
    std::string failure, reason;
    {
        std::lock_guard lock(accessLock_);
        if (!storagePath_)
            return;
        const auto folder = *storagePath_ / (storagePolicy != 0 ? kPermanentStore : kSessionStore);
        bool isDirectory = false;
        if (!plat::FileManager::fileExists(folder, &isDirectory) || !isDirectory)
            return;
        std::error_code error;
        std::vector<std::filesystem::path> entries;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            entries.push_back(it->path());
        }
        if (error) {
            failure = "FailedToTraverseCacheDirectory";
            reason = "Listing cache directory failed at path '" + folder.string() + "'";
        } else {
            for (const auto& entry : entries) {
                if (plat::FileManager::removeItem(entry)) {
                    failure = "FailedToRemoveCacheFile";
                    reason = "Failed to remove cached data at path '" + folder.string() + "'";
                    break;
                }
            }
        }
    }
    if (!failure.empty())
        plat::raise(failure, reason);
}

std::optional<std::filesystem::path> ASIDownloadCache::storagePath() {
    std::lock_guard lock(accessLock_);
    return storagePath_;
}

void ASIDownloadCache::setStoragePath(std::filesystem::path path) {
    std::string failure, reason;
    {
        std::lock_guard lock(accessLock_);
        clearCachedResponsesForStoragePolicy(StorageForSession);
        storagePath_ = path;
        for (const auto& folder : {path, path / kSessionStore, path / kPermanentStore}) {
            bool isDirectory = false;
            if (plat::FileManager::fileExists(folder, &isDirectory)) {
                if (!isDirectory) {
                    failure = "FileExistsAtCachePath";
                    reason = "Cannot create a directory for the cache at '" + folder.string() +
                             "', because a file already exists";
                    break;
                }
                continue;
            }
            std::error_code error;
            std::filesystem::create_directory(folder, error);
            if (!plat::FileManager::fileExists(folder)) {
                failure = "FailedToCreateCacheDirectory";
                reason = "Failed to create a directory for the cache at '" + folder.string() + "'";
                break;
            }
        }
        if (failure.empty())
            clearCachedResponsesForStoragePolicy(StorageForSession);
    }
    if (!failure.empty())
        plat::raise(failure, reason);
}
