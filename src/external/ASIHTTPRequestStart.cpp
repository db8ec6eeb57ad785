// One attempt of a request: the body, the HTTP message with its headers, and the read stream
// on the wire.
#include <filesystem>
#include <vector>

#include "external/ASIDataCompressor.h"
#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "external/ASIInputStream.h"
#include "platform/core/Exception.h"
#include "platform/crypto/Uuid.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/runloop/RunLoop.h"

namespace {

std::string temporaryFilePath() {
    return (std::filesystem::temp_directory_path() / plat::Uuid::createString()).string();
}

}  // namespace

// ---- The body -----------------------------------------------------------------------------------

void ASIHTTPRequest::setupPostBody() {
    if (shouldStreamPostDataFromDisk()) {
        if (!postBodyFilePath()) {
            setPostBodyFilePath(temporaryFilePath());
            setDidCreateTemporaryPostDataFile(true);
        }
        if (!postBodyWriteStream_) {
            postBodyWriteStream_ =
                plat::OutputStream::outputStreamToFileAtPath(*postBodyFilePath(), false);
            if (!postBodyWriteStream_->open() && !postBodyError_)
                postBodyError_ = postBodyWriteStream_->streamError();
        }
    } else if (!postBody()) {
        setPostBody(plat::Bytes{});
    }
}

void ASIHTTPRequest::appendPostData(const plat::Bytes& data) {
    setupPostBody();
    appendPostBytes(data.data(), data.size());
}

void ASIHTTPRequest::appendPostBytes(const uint8_t* bytes, size_t length) {
    if (length == 0)
        return;
    if (shouldStreamPostDataFromDisk()) {
        if (postBodyWriteStream_->write(bytes, length) != static_cast<int64_t>(length) &&
            !postBodyError_)
            postBodyError_ = postBodyWriteStream_->streamError();
    } else {
        std::lock_guard lock(propertyMutex_);
        postBody_->insert(postBody_->end(), bytes, bytes + length);
    }
}

void ASIHTTPRequest::appendPostDataFromFile(const std::string& path) {
    setupPostBody();
    auto input = plat::InputStream::inputStreamWithFileAtPath(path);
    if (!input->open())
        return;  // a file that cannot be opened adds nothing
    std::vector<uint8_t> buffer(262'144);
    for (;;) {
        const int64_t n = input->read(buffer.data(), buffer.size());
        if (n < 0) {
            // A read error ends the copy; the body is incomplete, so the request must not go.
            if (!postBodyError_)
                postBodyError_ = input->streamError();
            break;
        }
        if (n == 0)
            break;
        appendPostBytes(buffer.data(), static_cast<size_t>(n));
    }
    input->close();
}

void ASIHTTPRequest::closeBodyWriteStream() {
    if (postBodyWriteStream_) {
        postBodyWriteStream_->close();
        postBodyWriteStream_.reset();
    }
}

void ASIHTTPRequest::buildPostBody() {
    if (haveBuiltPostBody_)
        return;
    if (postBodyError_) {
        // A body that could not be written whole is not sent at all.
        closeBodyWriteStream();
        failWithError(ASIMakeError(
            ASIFileManagementError,
            "Failed to write the request body" +
                (postBodyFilePath() ? " to '" + *postBodyFilePath() + "'" : std::string()),
            postBodyError_));
        return;
    }
    if (auto path = postBodyFilePath()) {
        closeBodyWriteStream();
        std::string measured = *path;
        if (shouldCompressRequestBody()) {
            if (!compressedPostBodyFilePath_) {
                compressedPostBodyFilePath_ = temporaryFilePath();
                Ref<plat::Error> error;
                if (!ASIDataCompressor::compressDataFromFile(*path, *compressedPostBodyFilePath_,
                                                             &error)) {
                    failWithError(error);
                    return;
                }
            }
            measured = *compressedPostBodyFilePath_;
        }
        std::error_code code;
        const auto size = std::filesystem::file_size(measured, code);
        if (code) {
            failWithError(ASIMakeError(
                ASIFileManagementError,
                "Failed to get attributes for file at path '" + measured + "'",
                plat::Error::withDescription("NSPOSIXErrorDomain", code.value(), code.message())));
            return;
        }
        setPostLength(size);
    } else if (shouldCompressRequestBody()) {
        Ref<plat::Error> error;
        auto compressed =
            ASIDataCompressor::compressData(postBody().value_or(plat::Bytes{}), &error);
        if (error) {
            failWithError(error);
            return;
        }
        compressedPostBody_ = compressed;
        setPostLength(compressed ? compressed->size() : 0);
    } else {
        setPostLength(postBody() ? postBody()->size() : 0);
    }
    if (postLength() != 0) {
        const std::string method = requestMethod();
        if (method == "GET" || method == "DELETE" || method == "HEAD")
            setRequestMethod("POST");
        addRequestHeader("Content-Length", std::to_string(postLength()));
    }
    haveBuiltPostBody_ = true;
}

// ---- One attempt --------------------------------------------------------------------------------

void ASIHTTPRequest::main() {
    auto keep = self<ASIHTTPRequest>();
    CancelledLockHolder lock(*this);
    try {
        if (error()) {
            setComplete(true);
            markAsFinished();
            return;
        }
        setComplete(false);
        setDidUseCachedResponse(false);
        const plat::Url target = url();
        if (!target.isValid()) {
            failWithError(unableToCreateRequestError());
            return;
        }
        if (!mainRequest()) {
            buildPostBody();
            if (error())
                return;
        }
        if (requestMethod() != "GET")
            setDownloadCache(nullptr);
        request_ = plat::HttpMessage::request(requestMethod(), target,
                                              useHTTPVersionOne() ? "HTTP/1.0" : "HTTP/1.1");
        if (auto main = mainRequest())
            main->buildRequestHeaders();
        buildRequestHeaders();
        if (auto cache = downloadCache()) {
            if (cachePolicy() == 0)
                setCachePolicy(cache->defaultCachePolicy());
            if (cache->canUseCachedDataForRequest(*this)) {
                useDataFromCache();
                return;
            }
            if (cachePolicy() & (4 | 8)) {
                if (auto stored = cache->cachedResponseHeadersForURL(target)) {
                    if (const std::string* tag = stored->objectForKey("Etag").string())
                        addRequestHeader("If-None-Match", *tag);
                    if (const std::string* date = stored->objectForKey("Last-Modified").string())
                        addRequestHeader("If-Modified-Since", *date);
                }
            }
        }
        applyAuthorizationHeader();
        if (auto headers = requestHeaders()) {
            headers->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
                if (key.string() && value.string())
                    request_->setHeaderFieldValue(*key.string(), *value.string());
                return true;
            });
        }
        if (configureProxies())
            startRequest();
    } catch (const plat::Exception& exception) {
        auto underlying = plat::Error::withDescription(
            NetworkRequestErrorDomain, ASIUnhandledExceptionError, exception.reason());
        failWithError(ASIMakeError(ASIUnhandledExceptionError, exception.name(), underlying));
    }
}

void ASIHTTPRequest::buildRequestHeaders() {
    if (haveBuiltRequestHeaders())
        return;
    setHaveBuiltRequestHeaders(true);
    if (auto main = mainRequest()) {
        if (auto headers = main->requestHeaders()) {
            headers->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
                if (key.string() && value.string())
                    addRequestHeader(*key.string(), *value.string());
                return true;
            });
        }
        return;
    }
    applyCookieHeader();
    auto headers = requestHeaders();
    if (!headers || headers->objectForKey("User-Agent").isNil()) {
        if (auto agent = userAgentString() ? userAgentString() : defaultUserAgentString())
            addRequestHeader("User-Agent", *agent);
    }
    if (allowCompressedResponse())
        addRequestHeader("Accept-Encoding", "gzip");
    if (shouldCompressRequestBody())
        addRequestHeader("Content-Encoding", "gzip");
    updatePartialDownloadSize();
    if (partialDownloadSize() != 0)
        addRequestHeader("Range", "bytes=" + std::to_string(partialDownloadSize()) + "-");
}

void ASIHTTPRequest::applyCookieHeader() {
    if (useCookiePersistence()) {
        auto cookies = requestCookies();
        for (auto& cookie : plat::HttpCookieStorage::shared().cookiesForURL(url()))
            cookies.push_back(std::move(cookie));
        setRequestCookies(std::move(cookies));
    }
    const auto main = mainRequest();
    const auto cookies = main ? main->requestCookies() : requestCookies();
    if (cookies.empty())
        return;
    std::string header;
    for (const auto& cookie : cookies)
        header += (header.empty() ? "" : "; ") + cookie.name + "=" + cookie.value;
    addRequestHeader("Cookie", header);
}

void ASIHTTPRequest::addBasicAuthenticationHeaderWithUsername(const std::string& user,
                                                              const std::string& password) {
    const std::string text = user + ":" + password;
    addRequestHeader("Authorization",
                     "Basic " + base64forData(plat::Bytes(text.begin(), text.end())));
    setAuthenticationScheme(std::string("Basic"));
}

void ASIHTTPRequest::updatePartialDownloadSize() {
    const auto temporary = temporaryFileDownloadPath();
    if (!allowResumeForFileDownloads() || !downloadDestinationPath() || !temporary)
        return;
    std::error_code code;
    if (!std::filesystem::exists(*temporary, code))
        return;
    const auto size = std::filesystem::file_size(*temporary, code);
    if (code) {
        failWithError(ASIMakeError(
            ASIFileManagementError,
            "Failed to get attributes for file at path '" + *temporary + "'",
            plat::Error::withDescription("NSPOSIXErrorDomain", code.value(), code.message())));
        return;
    }
    setPartialDownloadSize(size);
}

void ASIHTTPRequest::startRequest() {
    if (isCancelled())
        return;
    auto me = self<ASIHTTPRequest>();
    onMainThread([me] { me->requestStarted(); });

    // A stream left from an earlier attempt (a restart while it was running) goes first.
    if (readStream_)
        destroyReadStream();
    downloadComplete_ = false;
    setComplete(false);
    setTotalBytesRead(0);
    lastBytesRead_ = 0;
    if (redirectCount_ == 0) {
        std::lock_guard lock(propertyMutex_);
        originalURL_ = url_;
    }
    if (lastBytesSent_ != 0)
        removeUploadProgressSoFar();
    lastBytesSent_ = 0;
    setContentLength(0);
    setResponseHeaders(nullptr);
    if (!downloadDestinationPath())
        setRawResponseData(plat::Bytes{});
    readStreamIsScheduled_ = false;

    // The stream, with its body read through a metered stream.
    std::error_code code;
    const auto bodyFile = postBodyFilePath();
    if (shouldStreamPostDataFromDisk() && bodyFile && std::filesystem::exists(*bodyFile, code)) {
        const bool packed = compressedPostBodyFilePath_ &&
                            std::filesystem::exists(*compressedPostBodyFilePath_, code);
        postBodyReadStream_ = ASIInputStream::inputStreamWithFileAtPath(
            packed ? *compressedPostBodyFilePath_ : *bodyFile, me);
    } else if (auto body = postBody(); body && !body->empty()) {
        postBodyReadStream_ = ASIInputStream::inputStreamWithData(
            shouldCompressRequestBody() && compressedPostBody_ ? *compressedPostBody_ : *body, me);
    } else {
        postBodyReadStream_.reset();
    }
    if (!request_) {
        failWithError(
            ASIMakeError(ASIInternalErrorWhileBuildingRequestType, "Unable to create read stream"));
        return;
    }
    auto stream = plat::HttpReadStream::make(*request_, postBodyReadStream_);
    readStream_ = stream;
    readStreamThrottled_ = false;

    const plat::Url target = url();
    if (target.isHttps()) {
        plat::HttpReadStream::TlsSettings tls;
        tls.validatesCertificateChain = validatesSecureCertificate();
        std::lock_guard lock(propertyMutex_);
        if (clientCertificateIdentity_) {
            tls.clientCertificatePem = clientCertificateIdentity_->certificatePem;
            for (const auto& certificate : clientCertificates_)
                tls.clientCertificatePem += certificate;
            tls.clientKeyPem = clientCertificateIdentity_->keyPem;
        }
        stream->setTlsSettings(std::move(tls));
    }
    if (auto host = proxyHost(); host && proxyPort() != 0) {
        const std::string type = proxyType().value_or("kCFProxyTypeHTTP");
        const plat::HttpReadStream::ProxyAddress address{*host, proxyPort()};
        if (type == "kCFProxyTypeSOCKS")
            stream->setSocksProxy(address);
        else if (target.isHttps())
            stream->setHttpsProxy(address);
        else
            stream->setHttpProxy(address);
    }

    expirePersistentConnections();
    auto oldStream = attachPersistentConnection(stream);

    const auto wakeUp = throttleWakeUpTime();
    if (!readStreamIsScheduled_ && (!wakeUp || *wakeUp < plat::RunLoop::main().now()))
        scheduleReadStream();
    else if (isBandwidthThrottled())
        stream->holdTransfer();  // a stream made inside a spent window waits for the next one
    if (isBandwidthThrottled())
        performThrottling();  // the throttled read-ahead from the first byte
    const bool opened = stream->open();
    if (oldStream)
        oldStream->close();
    if (!opened) {
        setConnectionCanBeReused(false);
        destroyReadStream();
        failWithError(ASIMakeError(ASIInternalErrorWhileBuildingRequestType,
                                   "Unable to start HTTP connection"));
        return;
    }

    if (!mainRequest()) {
        if (shouldResetUploadProgress()) {
            incrementUploadSizeBy(showAccurateProgress() ? static_cast<int64_t>(postLength()) : 1);
            deliverFraction(Receiver::Upload, 0, 1);
        }
        if (shouldResetDownloadProgress() && partialDownloadSize() == 0)
            deliverFraction(Receiver::Download, 0, 1);
    }
    lastActivityTime_ = plat::RunLoop::current().now();
    std::weak_ptr<ASIHTTPRequest> weak = me;
    setStatusTimer(std::make_shared<plat::Timer>(0.25, true, [weak](plat::Timer&) {
        if (auto request = weak.lock())
            request->updateStatus();
    }));
    plat::RunLoop::current().addTimer(statusTimer_, {runLoopMode_});
}
