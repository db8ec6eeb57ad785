// The receiving half of an attempt: the response head, redirects, the body into memory or a
// file (inflated on the fly when asked), the end of the stream and its errors.
#include <filesystem>

#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "platform/crypto/Uuid.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetText.h"

namespace {

// The first room for a body kept in memory.
constexpr uint64_t kMinimumResponseRoom = 64 * 1024;

std::string temporaryPath() {
    return (std::filesystem::temp_directory_path() / plat::Uuid::createString()).string();
}

std::string headerText(const Ref<plat::Dictionary>& headers, const char* name) {
    if (!headers)
        return {};
    const plat::Value value = headers->objectForKey(name);
    return value.string() ? *value.string() : std::string();
}

// "timeout=T, max=M", read in that order: a timeout only at the start, then whatever follows
// "max="; both 0 when missing.
std::pair<long, long> keepAliveTerms(const std::string& text) {
    long timeout = 0, max = 0;
    size_t pos = text.find_first_not_of(' ');
    if (pos != std::string::npos && text.compare(pos, 8, "timeout=") == 0) {
        char* end = nullptr;
        timeout = std::strtol(text.c_str() + pos + 8, &end, 10);
        pos = static_cast<size_t>(end - text.c_str());
    } else {
        pos = 0;
    }
    const size_t maxAt = text.find("max=", pos);
    if (maxAt != std::string::npos)
        max = std::strtol(text.c_str() + maxAt + 4, nullptr, 10);
    return {timeout, max};
}

}  // namespace

// ---- The head -----------------------------------------------------------------------------------

void ASIHTTPRequest::readResponseHeaders() {
    setAuthenticationNeeded(0);
    if (!readStream_)
        return;
    const auto message = readStream_->responseHeader();
    if (!message || !message->isHeaderComplete())
        return;
    auto headers = plat::MutableDictionary::make();
    for (const auto& [name, value] : message->allHeaderFields())
        headers->setObject(plat::Value(value), name);
    setResponseHeaders(headers);
    setResponseStatusCode(message->statusCode());
    setResponseStatusMessage(message->statusLine());

    if (auto cache = downloadCache(); cache && cache->canUseCachedDataForRequest(*this)) {
        cache->updateExpiryForRequest(*this, secondsToCache());
        useDataFromCache();
        return;
    }
    if (message->statusCode() == 401)
        setAuthenticationNeeded(1);
    else if (message->statusCode() == 407)
        setAuthenticationNeeded(2);

    const auto user = username();
    const auto secret = password();
    if (authenticationNeeded() == 0 &&
        authenticationScheme() == std::optional<std::string>("Basic") && user && secret &&
        useSessionPersistence()) {
        auto credentials = plat::MutableDictionary::make();
        credentials->setObject(plat::Value(*user), kCFHTTPAuthenticationUsername);
        credentials->setObject(plat::Value(*secret), kCFHTTPAuthenticationPassword);
        auto record = plat::MutableDictionary::make();
        record->setObject(plat::Value::fromObject(credentials), kASISessionCredentialsKey);
        record->setObject(plat::Value(url().absoluteString()), kASISessionURLKey);
        record->setObject(plat::Value("Basic"), kASISessionSchemeKey);
        storeAuthenticationCredentialsInSessionStore(record);
    }
    parseStringEncodingFromHeaders();

    plat::HttpHeaderFields raw;
    for (const auto& [name, value] : message->rawFields())
        raw.add(name, value);
    const plat::Url target = url();
    auto cookies =
        plat::HttpCookie::cookiesWithResponseHeaderFields(raw, target, plat::Date::now());
    {
        std::lock_guard lock(propertyMutex_);
        responseCookies_ = cookies;
    }
    if (useCookiePersistence()) {
        plat::HttpCookieStorage::shared().setCookiesFromResponseHeaderFields(raw, target);
        for (const auto& cookie : cookies)
            addSessionCookie(cookie);
    }

    if (!willRedirect()) {
        const auto counting = mainRequest() ? mainRequest() : self<ASIHTTPRequest>();
        const std::string length = headerText(headers, "Content-Length");
        if (!length.empty()) {
            const uint64_t value = std::strtoull(length.c_str(), nullptr, 0);
            if (mainRequest() && allowCompressedResponse() && value == 20 &&
                showAccurateProgress() && shouldResetDownloadProgress()) {
                counting->setShowAccurateProgress(false);
                counting->incrementDownloadSizeBy(1);
            } else {
                counting->setContentLength(value);
                if (showAccurateProgress() && shouldResetDownloadProgress())
                    counting->incrementDownloadSizeBy(
                        static_cast<int64_t>(value + partialDownloadSize()));
            }
        } else if (showAccurateProgress() && shouldResetDownloadProgress()) {
            counting->setShowAccurateProgress(false);
            counting->incrementDownloadSizeBy(1);
        }
    }

    if (shouldAttemptPersistentConnection()) {
        const std::string connection =
            plat::net_text::asciiLowercase(headerText(headers, "Connection"));
        const bool keep = (message->version() != "HTTP/1.0" || connection == "keep-alive") &&
                          connection != "close";
        const std::string keepAlive = headerText(headers, "Keep-Alive");
        if (keep && keepAlive.empty()) {
            setConnectionCanBeReused(true);
        } else if (keep && !keepAlive.empty()) {
            const auto [timeout, max] = keepAliveTerms(keepAlive);
            if (max > 5) {
                setConnectionCanBeReused(true);
                setPersistentConnectionTimeoutSeconds(static_cast<double>(timeout));
            }
        }
    }

    auto me = self<ASIHTTPRequest>();
    Ref<plat::Dictionary> copy = headers;
    onMainThread([me, copy] { me->requestReceivedResponseHeaders(copy); });
}

void ASIHTTPRequest::parseStringEncodingFromHeaders() {
    plat::StringEncoding encoding = 0;
    const auto headers = responseHeaders();
    const plat::Value type = headers ? headers->objectForKey("Content-Type") : plat::Value();
    parseMimeType(nullptr, &encoding,
                  type.string() ? std::optional<std::string>(*type.string()) : std::nullopt);
    setResponseEncoding(encoding != 0 ? encoding : defaultResponseEncoding());
}

bool ASIHTTPRequest::willRedirect() {
    const auto headers = responseHeaders();
    const std::string location = headerText(headers, "Location");
    if (!shouldRedirect() || location.empty())
        return false;
    const int32_t status = responseStatusCode();
    if (status != 301 && status != 302 && status != 303 && status != 307)
        return false;
    auto me = self<ASIHTTPRequest>();
    onMainThread([me] { me->requestRedirected(); });

    const plat::Url from = url();
    const auto target = plat::Url::resolve(location, from);
    if (!target)
        return false;  // a Location that names no URL: the response is the answer
    if (status == 307 || (shouldUseRFC2616RedirectBehaviour() && status != 303)) {
        // Credentials stay with the host they were given for.
        if (target->host() != from.host()) {
            std::lock_guard lock(propertyMutex_);
            if (requestHeaders_)
                requestHeaders_->removeObjectForKey(plat::Value("Authorization"));
        }
    } else {
        {
            CancelledLockHolder lock(*this);
            requestMethod_ = "GET";
        }
        setPostBody(std::nullopt);
        setPostLength(0);
        compressedPostBody_.reset();
        const auto old = requestHeaders();
        auto kept = plat::MutableDictionary::make();
        for (const char* name : {"User-Agent", "Accept"}) {
            if (old && !old->objectForKey(name).isNil())
                kept->setObject(old->objectForKey(name), name);
        }
        {
            std::lock_guard lock(propertyMutex_);
            requestHeaders_ = kept;
        }
        setHaveBuiltRequestHeaders(false);
    }
    redirectURL_ = *target;
    needsRedirect_ = true;
    setRequestCookies({});
    if (status == 307 || (shouldUseRFC2616RedirectBehaviour() && status != 303)) {
        // The cookies of the target, not of the old URL (nor the old attempt's header).
        {
            std::lock_guard lock(propertyMutex_);
            if (requestHeaders_)
                requestHeaders_->removeObjectForKey(plat::Value("Cookie"));
        }
        const plat::Url current = url_;
        url_ = *target;
        applyCookieHeader();
        url_ = current;
    }
    return true;
}

bool ASIHTTPRequest::willAskDelegateToConfirmRedirect() {
    bool ask = false;
    {
        CancelledLockHolder lock(*this);
        auto target = delegate_.lock();
        if (target && plat::respondsToSelector(target, plat::Selector(willRedirectSelector())))
            ask = true;
        else if (queue_ && plat::respondsToSelector(queue_, "request:willRedirectToURL:"))
            ask = true;
    }
    if (!ask)
        return false;
    const plat::Url target = *redirectURL_;
    redirectURL_.reset();
    auto me = self<ASIHTTPRequest>();
    onMainThread([me, target] { me->requestWillRedirectToURL(target); });
    return true;
}

// ---- Events -------------------------------------------------------------------------------------

void ASIHTTPRequest::handleNetworkEvent(plat::Stream::Event event) {
    auto keep = self<ASIHTTPRequest>();
    {
        CancelledLockHolder lock(*this);
        if (complete() || cancelled_)
            return;
        if (event == plat::Stream::EndEncountered)
            handleStreamComplete();
        else if (event == plat::Stream::ErrorOccurred)
            handleStreamError();
        else if (event == plat::Stream::HasBytesAvailable)
            handleBytesAvailable();
        performThrottling();
    }
    if (downloadComplete_ && needsRedirect_) {
        if (!willAskDelegateToConfirmRedirect())
            performRedirect();
    } else if (downloadComplete_ && authenticationNeeded() != 0) {
        attemptToApplyCredentialsAndResume();
    }
}

void ASIHTTPRequest::handleBytesAvailable() {
    if (!responseHeaders())
        readResponseHeaders();
    if (complete() || !readStream_ || !readStream_->hasBytesAvailable())
        return;
    const uint64_t length = contentLength();
    size_t bufferSize = length > 262'144 ? 262'144 : length > 65'536 ? 65'536 : 16'384;
    if (isBandwidthThrottled()) {
        // With the window's bytes spent nothing is read, and the stream waits unscheduled: a
        // stream whose read-ahead is full gets no new event, so only scheduling it again (in
        // the next window) makes it ask once more.
        bufferSize = static_cast<size_t>(maxDownloadReadLength(bufferSize));
        if (bufferSize == 0) {
            unscheduleReadStream();
            readStream_->holdTransfer();
            return;
        }
    }
    std::vector<uint8_t> buffer(bufferSize);
    const int64_t n = readStream_->read(buffer.data(), buffer.size());
    if (n < 0) {
        handleStreamError();
        return;
    }
    if (n == 0)
        return;
    buffer.resize(static_cast<size_t>(n));
    const bool onTheFly = isResponseCompressed() && !shouldWaitToInflateCompressedResponses();
    if (onTheFly && !dataDecompressor_) {
        dataDecompressor_ = ASIDataDecompressor::decompressor();
        inflateInput_ = inflateOutput_ = 0;
    }
    setTotalBytesRead(totalBytesRead() + static_cast<uint64_t>(n));
    lastActivityTime_ = plat::RunLoop::current().now();
    incrementBandwidthUsedInLastSecond(static_cast<uint64_t>(n));
    if (needsRedirect_ && shouldRedirect() && allowResumeForFileDownloads())
        return;

    // Inflates what was read into `take`, a piece at a time; a stream (to a file or a delegate)
    // stops past the decompressor's ratio. False (the request failed) on an error.
    Ref<plat::Error> refused;
    const auto inflate = [&](bool limitRatio,
                             const std::function<bool(const uint8_t*, size_t)>& take) {
        inflateInput_ += buffer.size();
        Ref<plat::Error> error;
        const bool ok = dataDecompressor_->uncompressBytes(
            buffer.data(), buffer.size(), &error, [&](const uint8_t* bytes, size_t size) {
                inflateOutput_ += size;
                if (limitRatio &&
                    ASIDataDecompressor::exceedsRatio(inflateOutput_, inflateInput_)) {
                    refused = ASIDataDecompressor::ratioError();
                    return false;
                }
                return take(bytes, size);
            });
        if (!ok) {
            // What was written of a body refused midway is of no use, resumable or not.
            closeFileDownloadStreams();
            removeTemporaryUncompressedDownloadFile();
            if (!allowResumeForFileDownloads())
                removeTemporaryDownloadFile();
            failWithError(error ? error : refused);
        }
        return ok;
    };

    auto target = delegate();
    bool takes =
        target && plat::respondsToSelector(target, plat::Selector(didReceiveDataSelector()));
    {
        std::lock_guard lock(propertyMutex_);
        takes = takes || static_cast<bool>(dataReceivedBlock_);
    }
    if (takes) {
        auto me = self<ASIHTTPRequest>();
        const auto handOver = [this, &me](const uint8_t* bytes, size_t size) {
            onMainThread([me, handed = plat::Bytes(bytes, bytes + size)] {
                me->passOnReceivedData(handed);
            });
            return true;
        };
        if (onTheFly)
            inflate(true, handOver);
        else
            handOver(buffer.data(), buffer.size());
        return;
    }
    if (auto destination = downloadDestinationPath()) {
        if (!fileDownloadOutputStream_) {
            bool append = false;
            if (!temporaryFileDownloadPath()) {
                setTemporaryFileDownloadPath(temporaryPath());
            } else if (allowResumeForFileDownloads() && requestHeaders() &&
                       !requestHeaders()->objectForKey("Range").isNil()) {
                const std::string range = headerText(responseHeaders(), "Content-Range");
                if (!range.empty()) {
                    // Only a partial reply that continues the file where it stops is appended.
                    const size_t digits = range.find_first_of("0123456789");
                    const uint64_t start = digits == std::string::npos
                                               ? UINT64_MAX
                                               : std::strtoull(range.c_str() + digits, nullptr, 10);
                    if (responseStatusCode() != 206 || start != partialDownloadSize()) {
                        failWithError(
                            ASIMakeError(ASIFileManagementError,
                                         "The server resumed the download at the wrong place (" +
                                             range + ", the partial file holds " +
                                             std::to_string(partialDownloadSize()) + " bytes)"));
                        return;
                    }
                    append = true;
                } else {
                    incrementDownloadSizeBy(-static_cast<int64_t>(partialDownloadSize()));
                    setPartialDownloadSize(0);
                }
            }
            fileDownloadOutputStream_ =
                plat::OutputStream::outputStreamToFileAtPath(*temporaryFileDownloadPath(), append);
            fileDownloadOutputStream_->open();
            if (onTheFly) {
                if (!temporaryUncompressedDataDownloadPath_)
                    temporaryUncompressedDataDownloadPath_ = temporaryPath();
                inflatedFileDownloadOutputStream_ = plat::OutputStream::outputStreamToFileAtPath(
                    *temporaryUncompressedDataDownloadPath_, append);
                inflatedFileDownloadOutputStream_->open();
            }
        }
        fileDownloadOutputStream_->write(buffer.data(), buffer.size());
        if (onTheFly && inflatedFileDownloadOutputStream_) {
            inflate(true, [this](const uint8_t* bytes, size_t size) {
                inflatedFileDownloadOutputStream_->write(bytes, size);
                return true;
            });
        }
        return;
    }
    // Kept in memory, up to the limit.
    const uint64_t limit = maxResponseDataSize();
    const auto keep = [&](const uint8_t* bytes, size_t size) {
        std::lock_guard lock(propertyMutex_);
        if (!rawResponseData_)
            rawResponseData_ = plat::Bytes{};
        if (size > limit - std::min<uint64_t>(limit, rawResponseData_->size())) {
            refused = responseTooLargeError(limit);
            rawResponseData_.reset();  // a failed request keeps no part of it
            return false;
        }
        // Room grows through the limit's halves, so that the last move (half the limit, while
        // the new room fills) never holds more than the limit at once.
        const uint64_t needed = rawResponseData_->size() + size;
        if (needed > rawResponseData_->capacity()) {
            uint64_t room = limit;
            while (room / 2 >= needed && room / 2 >= kMinimumResponseRoom)
                room /= 2;
            rawResponseData_->reserve(static_cast<size_t>(room));
        }
        rawResponseData_->insert(rawResponseData_->end(), bytes, bytes + size);
        return true;
    };
    if (onTheFly)
        inflate(false, keep);
    else if (!keep(buffer.data(), buffer.size()))
        failWithError(refused);
}

Ref<plat::Error> ASIHTTPRequest::responseTooLargeError(uint64_t limit) {
    return ASIMakeError(ASIResponseTooLargeErrorType,
                        "The response body is larger than the limit of " + std::to_string(limit) +
                            " bytes kept in memory");
}

Ref<plat::Error> ASIHTTPRequest::checkCompressedResponseData() const {
    const auto raw = rawResponseData();
    if (!raw || raw->empty())
        return nullptr;
    // Inflated once, nothing kept: what responseData() will give must exist and fit.
    const uint64_t limit = maxResponseDataSize();
    auto decompressor = ASIDataDecompressor::decompressor();
    uint64_t total = 0;
    Ref<plat::Error> error;
    const bool ok = decompressor->uncompressBytes(raw->data(), raw->size(), &error,
                                                  [&](const uint8_t*, size_t size) {
                                                      total += size;
                                                      return total <= limit;
                                                  });
    if (!ok)
        return error ? error : responseTooLargeError(limit);
    if (!decompressor->reachedEnd())
        return ASIDataDecompressor::inflateErrorWithCode(Z_BUF_ERROR);
    return nullptr;
}

void ASIHTTPRequest::handleStreamComplete() {
    setStatusTimer(nullptr);
    downloadComplete_ = true;
    if (!responseHeaders())
        readResponseHeaders();
    // Whatever is still waiting in the stream is read first.
    while (readStream_ && readStream_->hasBytesAvailable() && !complete())
        handleBytesAvailable();
    Ref<plat::Error> fileError;
    lastBytesSent_ = totalBytesSent();
    setTotalBytesSent(readStream_ ? readStream_->requestBytesWritten() : totalBytesSent());
    setComplete(true);
    if (contentLength() == 0)
        setContentLength(totalBytesRead());
    updateProgressIndicators();
    if (postBodyReadStream_) {
        postBodyReadStream_->close();
        postBodyReadStream_.reset();
    }
    // An inflated-on-the-fly body must have reached its end; one kept compressed in memory must
    // inflate whole.
    if (dataDecompressor_ && !dataDecompressor_->reachedEnd() && !needsRedirect_ &&
        authenticationNeeded() == 0)
        fileError = ASIDataDecompressor::inflateErrorWithCode(Z_BUF_ERROR);
    if (!fileError && !dataDecompressor_ && !downloadDestinationPath() && !needsRedirect_ &&
        authenticationNeeded() == 0 && isResponseCompressed() &&
        shouldWaitToInflateCompressedResponses())
        fileError = checkCompressedResponseData();
    dataDecompressor_.reset();
    if (didCreateTemporaryPostDataFile() && authenticationNeeded() == 0) {
        removeTemporaryUploadFile();
        removeTemporaryCompressedUploadFile();
    }
    if (auto temporary = temporaryFileDownloadPath()) {
        closeFileDownloadStreams();
        const auto destination = downloadDestinationPath();
        if (shouldRedirect() && needsRedirect_ && allowResumeForFileDownloads()) {
            // kept for the redirected attempt
        } else if (fileError) {
            removeTemporaryDownloadFile();
            removeTemporaryUncompressedDownloadFile();
        } else if (!isResponseCompressed()) {
            if (removeFileAtPath(*destination, &fileError)) {
                std::error_code code;
                std::filesystem::rename(*temporary, *destination, code);
                if (code) {
                    fileError = ASIMakeError(
                        ASIFileManagementError,
                        "Failed to move file from '" + *temporary + "' to '" + *destination + "'",
                        plat::Error::withDescription("NSPOSIXErrorDomain", code.value(),
                                                     code.message()));
                } else {
                    setTemporaryFileDownloadPath(std::nullopt);
                }
            }
        } else if (shouldWaitToInflateCompressedResponses()) {
            // Inflated beside, then moved: a failure leaves the destination as it was.
            const std::string inflated = temporaryPath();
            std::error_code code;
            if (ASIDataDecompressor::uncompressDataFromFile(*temporary, inflated, &fileError, true))
                std::filesystem::rename(inflated, *destination, code);
            if (code)
                fileError = ASIMakeError(
                    ASIFileManagementError,
                    "Failed to move file from '" + inflated + "' to '" + *destination + "'",
                    plat::Error::withDescription("NSPOSIXErrorDomain", code.value(),
                                                 code.message()));
            if (fileError)
                std::filesystem::remove(inflated, code);
            removeTemporaryDownloadFile();
        } else {
            std::error_code code;
            std::filesystem::rename(*temporaryUncompressedDataDownloadPath_, *destination, code);
            if (code)
                fileError = ASIMakeError(ASIFileManagementError,
                                         "Failed to move file from '" +
                                             *temporaryUncompressedDataDownloadPath_ + "' to '" +
                                             *destination + "'",
                                         plat::Error::withDescription(
                                             "NSPOSIXErrorDomain", code.value(), code.message()));
            temporaryUncompressedDataDownloadPath_.reset();
            removeTemporaryDownloadFile();
        }
    }
    if (auto cache = downloadCache(); cache && !didUseCachedResponse())
        cache->storeResponseForRequest(*this, secondsToCache());

    if (!connectionCanBeReused_)
        unscheduleReadStream();
    if (auto info = connectionInfo()) {
        info->removeObjectForKey(plat::Value("request"));
        info->setObject(plat::Value(plat::Date{plat::Date::now().seconds +
                                               persistentConnectionTimeoutSeconds()}),
                        "expires");
    }
    if (authenticationNeeded() == 0)
        destroyReadStream();
    if (!needsRedirect_ && authenticationNeeded() == 0 && !didUseCachedResponse()) {
        if (fileError)
            failWithError(fileError);
        else
            requestFinished();
        markAsFinished();
    }
}

void ASIHTTPRequest::handleStreamError() {
    const Ref<plat::Error> underlying = readStream_ ? readStream_->streamError() : nullptr;
    if (error()) {
        cancelLoad();
    } else {
        const bool dropped =
            underlying && ((underlying->domain() == "NSPOSIXErrorDomain" &&
                            (underlying->code() == 57 || underlying->code() == 32)) ||
                           underlying->code() == -1005);
        if (dropped && retryUsingNewConnection())
            return;
        std::string message = "A connection failure occurred";
        // What the TLS layer itself said stays with the underlying error.
        if (underlying && underlying->code() >= -9818 && underlying->code() <= -9800) {
            message +=
                ": SSL problem (Possible causes may include a bad/expired/self-signed "
                "certificate, clock set to wrong date)";
        }
        cancelLoad();
        failWithError(ASIMakeError(ASIConnectionFailureErrorType, message, underlying));
    }
}

bool ASIHTTPRequest::retryUsingNewConnection() {
    if (retryCount() != 0)
        return false;
    setWillRetryRequest(true);
    cancelLoad();
    setWillRetryRequest(false);
    dropConnectionEntry();
    setConnectionInfo(nullptr);
    setRetryCount(retryCount() + 1);
    // A resumable download asks for what is still missing, not what the first attempt asked.
    updatePartialDownloadSize();
    if (allowResumeForFileDownloads() && partialDownloadSize() != 0) {
        const std::string range = "bytes=" + std::to_string(partialDownloadSize()) + "-";
        addRequestHeader("Range", range);
        if (request_)
            request_->setHeaderFieldValue("Range", range);
    }
    startRequest();
    return true;
}

// ---- The cache ----------------------------------------------------------------------------------

void ASIHTTPRequest::useDataFromCache() {
    auto me = self<ASIHTTPRequest>();
    const auto main = mainRequest();
    const Ref<ASIHTTPRequest> receiver = main ? main : me;
    const auto cache = downloadCache();
    const plat::Url target = url();
    const auto headers = cache ? cache->cachedResponseHeadersForURL(target) : nullptr;
    const auto bodyPath = cache ? cache->pathToCachedResponseDataForURL(target) : std::nullopt;
    if (headers && bodyPath) {
        const plat::Value status = headers->objectForKey("X-ASIHTTPRequest-Response-Status-Code");
        setResponseStatusCode(status.intValue());
        setDidUseCachedResponse(true);
        receiver->setResponseHeaders(headers);
        if (!receiver->downloadDestinationPath())
            receiver->setRawResponseData(cache->cachedResponseDataForURL(target));
        else
            receiver->setDownloadDestinationPath(bodyPath->string());
        const std::string length = headerText(responseHeaders(), "Content-Length");
        receiver->setContentLength(std::strtoull(length.c_str(), nullptr, 10));
        receiver->setTotalBytesRead(contentLength());
        receiver->parseStringEncodingFromHeaders();
        plat::HttpHeaderFields fields;
        headers->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
            if (key.string() && value.string())
                fields.add(*key.string(), *value.string());
            return true;
        });
        {
            std::lock_guard lock(receiver->propertyMutex_);
            receiver->responseCookies_ = plat::HttpCookie::cookiesWithResponseHeaderFields(
                fields, target, plat::Date::now());
        }
        if (willRedirect()) {
            if (!willAskDelegateToConfirmRedirect())
                performRedirect();
            return;
        }
    }
    receiver->setComplete(true);
    receiver->downloadComplete_ = true;
    if (redirectCount_ == 0) {
        std::lock_guard lock(receiver->propertyMutex_);
        receiver->originalURL_ = receiver->url_;
    }
    receiver->updateProgressIndicators();
    receiver->requestFinished();
    receiver->markAsFinished();
    if (main)
        markAsFinished();
}

// ---- Temporary files ----------------------------------------------------------------------------

namespace {

bool removeTemporary(ASIHTTPRequest& request, std::optional<std::string> path,
                     const std::function<void()>& clear) {
    if (!path)
        return true;
    Ref<plat::Error> error;
    if (!ASIHTTPRequest::removeFileAtPath(*path, &error)) {
        request.failWithError(error);
        return false;
    }
    clear();
    return true;
}

}  // namespace

void ASIHTTPRequest::closeFileDownloadStreams() {
    for (auto* stream : {&fileDownloadOutputStream_, &inflatedFileDownloadOutputStream_}) {
        if (*stream) {
            (*stream)->close();
            stream->reset();
        }
    }
}

bool ASIHTTPRequest::removeTemporaryDownloadFile() {
    return removeTemporary(*this, temporaryFileDownloadPath(),
                           [this] { setTemporaryFileDownloadPath(std::nullopt); });
}

bool ASIHTTPRequest::removeTemporaryUncompressedDownloadFile() {
    return removeTemporary(*this, temporaryUncompressedDataDownloadPath_,
                           [this] { temporaryUncompressedDataDownloadPath_.reset(); });
}

bool ASIHTTPRequest::removeTemporaryUploadFile() {
    return removeTemporary(*this, postBodyFilePath(),
                           [this] { setPostBodyFilePath(std::nullopt); });
}

bool ASIHTTPRequest::removeTemporaryCompressedUploadFile() {
    return removeTemporary(*this, compressedPostBodyFilePath_,
                           [this] { compressedPostBodyFilePath_.reset(); });
}
