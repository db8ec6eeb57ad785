#include "external/AFURLConnectionOperation.h"

#include <cstdio>
#include <mutex>

#include "platform/core/Collections.h"
#include "platform/net/TextEncoding.h"
#include "platform/net/UrlError.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/NotificationCenter.h"

using plat::Bytes;
using plat::Value;

const char* const AFNetworkingOperationDidStartNotification =
    "com.varnel.networking.operation.start";
const char* const AFNetworkingOperationDidFinishNotification =
    "com.varnel.networking.operation.finish";

PLAT_DEFINE_CLASS(AFURLRequestObject, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(AFURLResponseObject, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(AFURLConnectionOperation, plat::Operation, PLAT_NO_METHODS)

namespace {

constexpr const char* kFailingUrlKey = "NSErrorFailingURLKey";

// Requests, responses and errors in an archive.
Value encodeRequest(const plat::UrlRequest& request) {
    auto fields = plat::MutableDictionary::make();
    for (const auto& [name, value] : request.allHttpHeaderFields())
        fields->setObject(Value(value), Value(name));
    return Value::fromObject(plat::makeDictionary({
        {Value("URL"), Value(request.url().absoluteString())},
        {Value("method"), Value(request.httpMethod())},
        {Value("headers"), Value::fromObject(fields)},
        {Value("body"), Value::data(request.httpBody())},
        {Value("timeout"), Value(request.timeoutInterval())},
        {Value("cachePolicy"), Value(static_cast<int64_t>(request.cachePolicy()))},
        {Value("cookies"), Value::boolean(request.httpShouldHandleCookies())},
    }));
}

std::optional<plat::UrlRequest> decodeRequest(const Value& value) {
    const auto dictionary = value.dictionary();
    if (!dictionary)
        return std::nullopt;
    const auto url = dictionary->objectForKey("URL").string();
    const auto parsed = url ? plat::Url::parse(*url) : std::nullopt;
    if (!parsed)
        return std::nullopt;
    plat::UrlRequest request(*parsed);
    if (const auto method = dictionary->objectForKey("method").string())
        request.setHttpMethod(*method);
    if (const auto fields = dictionary->objectForKey("headers").dictionary()) {
        fields->enumerateKeysAndObjects([&](const Value& key, const Value& field) {
            if (key.string() && field.string())
                request.setValueForHttpHeaderField(*field.string(), *key.string());
            return true;
        });
    }
    if (const auto* body = dictionary->objectForKey("body").bytes())
        request.setHttpBody(*body);
    if (const Value timeout = dictionary->objectForKey("timeout"); timeout.isNumber())
        request.setTimeoutInterval(timeout.doubleValue());
    if (const Value policy = dictionary->objectForKey("cachePolicy"); policy.isNumber()) {
        const int64_t number = policy.int64Value();
        if (number >= 0 && number <= 5)
            request.setCachePolicy(static_cast<plat::UrlRequest::CachePolicy>(number));
    }
    request.setHttpShouldHandleCookies(dictionary->objectForKey("cookies").boolValue());
    return request;
}

Value encodeResponse(const std::optional<plat::HttpUrlResponse>& response) {
    if (!response)
        return Value();
    auto fields = plat::MutableArray::make();
    for (const auto& [name, value] : response->allHeaderFields())
        fields->addObject(Value::fromObject(plat::Array::make({Value(name), Value(value)})));
    return Value::fromObject(plat::makeDictionary({
        {Value("URL"), Value(response->url().absoluteString())},
        {Value("status"), Value(static_cast<int64_t>(response->statusCode()))},
        {Value("headers"), Value::fromObject(fields)},
    }));
}

std::optional<plat::HttpUrlResponse> decodeResponse(const Value& value) {
    const auto dictionary = value.dictionary();
    if (!dictionary)
        return std::nullopt;
    const auto url = dictionary->objectForKey("URL").string();
    const auto parsed = url ? plat::Url::parse(*url) : std::nullopt;
    const Value status = dictionary->objectForKey("status");
    if (!parsed || !status.isNumber())
        return std::nullopt;
    plat::HttpHeaderFields fields;
    if (const auto list = dictionary->objectForKey("headers").array()) {
        list->enumerate([&](const Value& pair) {
            const auto items = pair.array();
            if (items && items->count() == 2 && items->objectAtIndex(0).string() &&
                items->objectAtIndex(1).string()) {
                fields.add(*items->objectAtIndex(0).string(), *items->objectAtIndex(1).string());
            }
            return true;
        });
    }
    return plat::HttpUrlResponse(*parsed, static_cast<int>(status.int64Value()), std::move(fields));
}

Value encodeError(const Ref<plat::Error>& error) {
    if (!error)
        return Value();
    return Value::fromObject(plat::makeDictionary({
        {Value("domain"), Value(error->domain())},
        {Value("code"), Value(error->code())},
        {Value("description"), Value(error->localizedDescription())},
    }));
}

Ref<plat::Error> decodeError(const Value& value) {
    const auto dictionary = value.dictionary();
    if (!dictionary)
        return nullptr;
    const auto domain = dictionary->objectForKey("domain").string();
    const Value code = dictionary->objectForKey("code");
    const auto description = dictionary->objectForKey("description").string();
    if (!domain || !code.isNumber())
        return nullptr;
    return description ? plat::Error::withDescription(*domain, code.int64Value(), *description)
                       : plat::Error::make(*domain, code.int64Value());
}

}  // namespace

AFURLConnectionOperation::AFURLConnectionOperation() {
    initWithRequest(plat::UrlRequest());
}

AFURLConnectionOperation::AFURLConnectionOperation(plat::UrlRequest request) {
    initWithRequest(std::move(request));
}

AFURLConnectionOperation::~AFURLConnectionOperation() {
    if (outputStream_)
        outputStream_->close();
}

void AFURLConnectionOperation::initWithRequest(plat::UrlRequest request) {
    lock_.setName(std::string(AFNetworkingNamePrefix) + ".networking.operation.lock");
    runLoopModes_ = {plat::kRunLoopCommonModes};
    request_ = std::move(request);
    shouldUseCredentialStorage_ = true;
    state_ = Ready;
}

Ref<AFURLConnectionOperation> AFURLConnectionOperation::self() {
    return std::static_pointer_cast<AFURLConnectionOperation>(shared_from_this());
}

std::string AFURLConnectionOperation::description() const {
    std::lock_guard guard(lock_);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string response = "(null)";
    if (response_) {
        response = "<NSHTTPURLResponse: " + response_->url().absoluteString() + " " +
                   std::to_string(response_->statusCode()) + ">";
    }
    return "<" + className() + ": " + address + ", state: " + keyPathFromOperationState(state_) +
           ", cancelled: " + (isCancelled() ? "YES" : "NO") + " request: <NSURLRequest " +
           request_.url().absoluteString() + ">, response: " + response + ">";
}

void AFURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard guard(lock_);
    if (!block) {
        plat::Operation::setCompletionBlock(nullptr);
        return;
    }
    WeakRef<AFURLConnectionOperation> weak = self();
    plat::Operation::setCompletionBlock([block = std::move(block), weak] {
        block();
        if (const auto operation = weak.lock())
            operation->plat::Operation::setCompletionBlock(nullptr);
    });
}

Ref<plat::InputStream> AFURLConnectionOperation::inputStream() const {
    std::lock_guard guard(lock_);
    return request_.httpBodyStream();
}

void AFURLConnectionOperation::setInputStream(Ref<plat::InputStream> stream) {
    willChangeValueForKey("inputStream");
    {
        std::lock_guard guard(lock_);
        request_.setHttpBodyStream(std::move(stream));
    }
    didChangeValueForKey("inputStream");
}

Ref<plat::OutputStream> AFURLConnectionOperation::outputStream() {
    std::lock_guard guard(lock_);
    if (!outputStream_)
        outputStream_ = plat::OutputStream::outputStreamToMemory();
    return outputStream_;
}

void AFURLConnectionOperation::setOutputStream(Ref<plat::OutputStream> stream) {
    std::lock_guard guard(lock_);
    if (stream == outputStream_)
        return;
    willChangeValueForKey("outputStream");
    if (outputStream_)
        outputStream_->close();
    outputStream_ = std::move(stream);
    didChangeValueForKey("outputStream");
}

void AFURLConnectionOperation::setUploadProgressBlock(UploadProgressBlock block) {
    std::lock_guard guard(lock_);
    uploadProgress_ = std::move(block);
}
void AFURLConnectionOperation::setDownloadProgressBlock(DownloadProgressBlock block) {
    std::lock_guard guard(lock_);
    downloadProgress_ = std::move(block);
}
void AFURLConnectionOperation::setAuthenticationAgainstProtectionSpaceBlock(
    AuthenticationAgainstProtectionSpaceBlock block) {
    std::lock_guard guard(lock_);
    authenticationAgainstProtectionSpace_ = std::move(block);
}
void AFURLConnectionOperation::setAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
    std::lock_guard guard(lock_);
    authenticationChallenge_ = std::move(block);
}
void AFURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) {
    std::lock_guard guard(lock_);
    cacheResponse_ = std::move(block);
}
void AFURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) {
    std::lock_guard guard(lock_);
    redirectResponse_ = std::move(block);
}

std::string AFURLConnectionOperation::keyPathFromOperationState(int16_t state) {
    switch (state) {
        case Paused:
            return "isPaused";
        case Ready:
            return "isReady";
        case Executing:
            return "isExecuting";
        case Finished:
            return "isFinished";
        default:
            return "state";
    }
}

bool AFURLConnectionOperation::stateTransitionIsValid(int16_t from, int16_t to, bool cancelled) {
    switch (from) {
        case Ready:
            return to == Paused || to == Executing || (to == Finished && cancelled);
        case Executing:
            return to == Paused || to == Finished;
        case Finished:
            return false;
        case Paused:
            return to == Ready;
        default:
            return true;
    }
}

int16_t AFURLConnectionOperation::state() const {
    return state_;
}

void AFURLConnectionOperation::setState(int16_t state) {
    if (!stateTransitionIsValid(state_, state, isCancelled()))
        return;
    std::lock_guard guard(lock_);
    const std::string oldKey = keyPathFromOperationState(state_);
    const std::string newKey = keyPathFromOperationState(state);
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_ = state;
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

uint64_t AFURLConnectionOperation::responseStringEncoding() {
    std::lock_guard guard(lock_);
    if (responseStringEncoding_ == 0 && response_) {
        plat::StringEncoding encoding = plat::NSUTF8StringEncoding;
        if (!response_->textEncodingName().empty()) {
            encoding = plat::TextEncoding::encodingForIanaName(response_->textEncodingName())
                           .value_or(plat::NSUTF8StringEncoding);
        }
        responseStringEncoding_ = encoding;
    }
    return responseStringEncoding_;
}

std::optional<std::string> AFURLConnectionOperation::responseString() {
    std::lock_guard guard(lock_);
    if (!responseString_ && response_ && responseData_) {
        const auto encoding = static_cast<plat::StringEncoding>(responseStringEncoding());
        responseString_ = plat::TextEncoding::decode(*responseData_, encoding);
    }
    return responseString_ ? *responseString_ : std::nullopt;
}

void AFURLConnectionOperation::pause() {
    if (isPaused() || isFinished() || isCancelled())
        return;
    std::lock_guard guard(lock_);
    if (isExecuting()) {
        const auto connection = connection_;
        plat::performOnThread(
            networkRequestThread(),
            [connection] {
                if (connection)
                    connection->cancel();
            },
            false, runLoopModes_);
        postNotification(AFNetworkingOperationDidFinishNotification);
    }
    setState(Paused);
}

bool AFURLConnectionOperation::isPaused() const {
    return state_ == Paused;
}

void AFURLConnectionOperation::resume() {
    if (!isPaused())
        return;
    std::lock_guard guard(lock_);
    setState(Ready);
    start();
}

bool AFURLConnectionOperation::isReady() const {
    return state_ == Ready && plat::Operation::isReady();
}

bool AFURLConnectionOperation::isExecuting() const {
    return state_ == Executing;
}

bool AFURLConnectionOperation::isFinished() const {
    return state_ == Finished;
}

void AFURLConnectionOperation::start() {
    std::lock_guard guard(lock_);
    if (!isReady())
        return;
    setState(Executing);
    plat::performOnThread(
        networkRequestThread(), [operation = self()] { operation->operationDidStart(); }, false,
        runLoopModes_);
}

void AFURLConnectionOperation::operationDidStart() {
    {
        std::lock_guard guard(lock_);
        if (!isCancelled()) {
            writeFailed_ = false;
            connection_ = plat::UrlConnection::make(
                request_, std::static_pointer_cast<plat::UrlConnectionDelegate>(self()));
            connection_->scheduleInRunLoop(networkRequestThread().runLoop(), runLoopModes_);
            connection_->start();
        }
    }
    postNotification(AFNetworkingOperationDidStartNotification);
    if (isCancelled()) {
        // Cancelled while the connection was being made: it must not run on unobserved.
        if (connection_) {
            cancelConnection();
        } else {
            finish();
        }
    }
}

void AFURLConnectionOperation::finish() {
    // Once only: a load can end in two ways at once (a cancel meeting the last byte).
    if (state_ == Finished)
        return;
    setState(Finished);
    if (state_ == Finished)
        postNotification(AFNetworkingOperationDidFinishNotification);
}

void AFURLConnectionOperation::cancel() {
    std::lock_guard guard(lock_);
    if (isFinished() || isCancelled())
        return;
    plat::Operation::cancel();
    plat::performOnThread(
        networkRequestThread(), [operation = self()] { operation->cancelConnection(); }, false,
        runLoopModes_);
}

void AFURLConnectionOperation::cancelConnection() {
    // A load that ended before the cancel got here keeps its outcome.
    if (isFinished())
        return;
    Ref<plat::Dictionary> info;
    if (request_.url().isValid()) {
        info =
            plat::makeDictionary({{Value(kFailingUrlKey), Value(request_.url().absoluteString())}});
    }
    error_ = plat::Error::make(plat::NSURLErrorDomain, plat::NSURLErrorCancelled, info);
    if (const auto connection = connection_) {
        connection->cancel();
        didFailWithError(*connection, error_);
    }
}

void AFURLConnectionOperation::closeOutputStream() {
    std::lock_guard guard(lock_);
    if (outputStream_)
        outputStream_->close();
}

void AFURLConnectionOperation::postNotification(const char* name) {
    plat::DispatchQueue::main()->async([operation = self(), name] {
        plat::NotificationCenter::defaultCenter().postNotificationName(name, operation);
    });
}

plat::Thread& AFURLConnectionOperation::networkRequestThread() {
    static plat::Thread thread("AFNetworking");
    static std::once_flag once;
    std::call_once(once, [] { thread.start(); });
    return thread;
}

// Connection callbacks.

bool AFURLConnectionOperation::canAuthenticateAgainstProtectionSpace(
    plat::UrlConnection& connection, const plat::ProtectionSpace& space) {
    const bool trust = space.authenticationMethod == plat::NSURLAuthenticationMethodServerTrust;
    if (allowsInvalidSSLCertificate_ && trust)
        return true;
    if (authenticationAgainstProtectionSpace_)
        return authenticationAgainstProtectionSpace_(connection, space);
    return !trust && space.authenticationMethod != plat::NSURLAuthenticationMethodClientCertificate;
}

void AFURLConnectionOperation::didReceiveAuthenticationChallenge(
    plat::UrlConnection& connection, const plat::UrlAuthenticationChallenge& challenge) {
    const bool trust = challenge.protectionSpace.authenticationMethod ==
                       plat::NSURLAuthenticationMethodServerTrust;
    if (allowsInvalidSSLCertificate_ && trust) {
        connection.useCredential(plat::UrlCredential::forTrust(), challenge);
        return;
    }
    if (authenticationChallenge_) {
        authenticationChallenge_(connection, challenge);
        return;
    }
    if (challenge.previousFailureCount == 0 && credential_) {
        connection.useCredential(*credential_, challenge);
    } else {
        connection.continueWithoutCredential(challenge);
    }
}

bool AFURLConnectionOperation::connectionShouldUseCredentialStorage(plat::UrlConnection&) {
    return shouldUseCredentialStorage_;
}

Ref<plat::InputStream> AFURLConnectionOperation::needNewBodyStream(
    plat::UrlConnection&, const plat::UrlRequest& request) {
    if (const auto& stream = request.httpBodyStream()) {
        if (auto copy = stream->copyStream())
            return copy;
    }
    cancelConnection();
    return nullptr;
}

std::optional<plat::UrlRequest> AFURLConnectionOperation::willSendRequest(
    plat::UrlConnection& connection, const plat::UrlRequest& request,
    const plat::HttpUrlResponse& redirectResponse) {
    if (redirectResponse_)
        return redirectResponse_(connection, request, redirectResponse);
    return request;
}

void AFURLConnectionOperation::didSendBodyData(plat::UrlConnection&, int64_t bytesWritten,
                                               int64_t totalBytesWritten,
                                               int64_t totalBytesExpectedToWrite) {
    if (!uploadProgress_)
        return;
    plat::DispatchQueue::main()->async([operation = self(), bytesWritten, totalBytesWritten,
                                        totalBytesExpectedToWrite] {
        if (operation->uploadProgress_)
            operation->uploadProgress_(bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    });
}

void AFURLConnectionOperation::didReceiveResponse(plat::UrlConnection&,
                                                  const plat::HttpUrlResponse& response) {
    std::lock_guard guard(lock_);
    response_ = response;
    const auto stream = outputStream();
    if (stream->streamStatus() == plat::Stream::Status::NotOpen)
        stream->open();
}

void AFURLConnectionOperation::didReceiveData(plat::UrlConnection& connection, const Bytes& data) {
    {
        std::lock_guard guard(lock_);
        // Bytes after a pause belong to the next, ranged, request.
        if (state_ != Executing || writeFailed_)
            return;
        const auto stream = outputStream();
        size_t written = 0;
        while (written < data.size()) {
            const int64_t n = stream->write(data.data() + written, data.size() - written);
            if (n <= 0)
                break;
            written += static_cast<size_t>(n);
        }
        if (written < data.size()) {
            // The body cannot be kept: the operation fails rather than lose bytes.
            writeFailed_ = true;
            Ref<plat::Error> error = stream->streamError();
            if (!error) {
                error = plat::Error::withDescription("NSPOSIXErrorDomain", 28,
                                                     "The response body could not be written.");
            }
            connection.cancel();
            didFailWithError(connection, error);
            return;
        }
    }
    const auto length = static_cast<int64_t>(data.size());
    const int64_t expected = response_ ? response_->expectedContentLength() : -1;
    plat::DispatchQueue::main()->async([operation = self(), length, expected] {
        const int64_t total = operation->totalBytesRead_ += length;
        if (operation->downloadProgress_)
            operation->downloadProgress_(length, total, expected);
    });
}

void AFURLConnectionOperation::didFinishLoading(plat::UrlConnection&) {
    {
        std::lock_guard guard(lock_);
        const auto stream = outputStream();
        if (stream->writesToMemory())
            responseData_ = stream->dataWrittenToMemory();
        stream->close();
    }
    finish();
    std::lock_guard guard(lock_);
    connection_.reset();
}

void AFURLConnectionOperation::didFailWithError(plat::UrlConnection&,
                                                const Ref<plat::Error>& error) {
    {
        std::lock_guard guard(lock_);
        error_ = error;
    }
    closeOutputStream();
    finish();
    std::lock_guard guard(lock_);
    connection_.reset();
}

std::optional<plat::CachedUrlResponse> AFURLConnectionOperation::willCacheResponse(
    plat::UrlConnection& connection, const plat::CachedUrlResponse& response) {
    if (cacheResponse_)
        return cacheResponse_(connection, response);
    if (isCancelled())
        return std::nullopt;
    return response;
}

// Archiving and copying.

void AFURLConnectionOperation::encodeWithCoder(plat::KeyedCoder& coder) const {
    const_cast<AFURLConnectionOperation*>(this)->pause();
    std::lock_guard guard(lock_);
    coder.encodeObject(encodeRequest(request_), "request");
    const int16_t state = state_;
    coder.encodeInt64((state == Paused || state == Executing) ? int64_t{Ready} : int64_t{state},
                      "state");
    coder.encodeBool(isCancelled(), "isCancelled");
    coder.encodeObject(encodeResponse(response_), "response");
    coder.encodeObject(encodeError(error_), "error");
    if (responseData_)
        coder.encodeObject(Value::data(*responseData_), "responseData");
    coder.encodeObject(Value(static_cast<int64_t>(totalBytesRead_)), "totalBytesRead");
    coder.encodeObject(Value::boolean(allowsInvalidSSLCertificate_), "allowsInvalidSSLCertificate");
}

bool AFURLConnectionOperation::initWithCoder(const plat::KeyedCoder& coder) {
    const auto request = decodeRequest(coder.decodeObjectForKey("request"));
    if (!request)
        return false;
    initWithRequest(*request);
    setState(static_cast<int16_t>(coder.decodeInt64ForKey("state")));
    if (coder.decodeBoolForKey("isCancelled"))
        plat::Operation::cancel();
    response_ = decodeResponse(coder.decodeObjectForKey("response"));
    error_ = decodeError(coder.decodeObjectForKey("error"));
    if (const auto* data = coder.decodeObjectForKey("responseData").bytes())
        responseData_ = *data;
    totalBytesRead_ = coder.decodeInt64ForKey("totalBytesRead");
    allowsInvalidSSLCertificate_ = coder.decodeBoolForKey("allowsInvalidSSLCertificate");
    return true;
}

Ref<AFURLConnectionOperation> AFURLConnectionOperation::copyWithZone() const {
    auto copy = std::static_pointer_cast<AFURLConnectionOperation>(getClass().make());
    std::lock_guard guard(lock_);
    copy->initWithRequest(request_);
    copy->uploadProgress_ = uploadProgress_;
    copy->downloadProgress_ = downloadProgress_;
    copy->authenticationAgainstProtectionSpace_ = authenticationAgainstProtectionSpace_;
    copy->authenticationChallenge_ = authenticationChallenge_;
    copy->cacheResponse_ = cacheResponse_;
    copy->redirectResponse_ = redirectResponse_;
    copy->allowsInvalidSSLCertificate_ = allowsInvalidSSLCertificate_;
    return copy;
}

// Accessors.

plat::Modes AFURLConnectionOperation::runLoopModes() const {
    std::lock_guard guard(lock_);
    return runLoopModes_;
}
void AFURLConnectionOperation::setRunLoopModes(plat::Modes modes) {
    std::lock_guard guard(lock_);
    runLoopModes_ = std::move(modes);
}
plat::UrlRequest AFURLConnectionOperation::request() const {
    std::lock_guard guard(lock_);
    return request_;
}
void AFURLConnectionOperation::setRequest(plat::UrlRequest request) {
    std::lock_guard guard(lock_);
    request_ = std::move(request);
}
std::optional<plat::HttpUrlResponse> AFURLConnectionOperation::response() const {
    std::lock_guard guard(lock_);
    return response_;
}
Ref<plat::Error> AFURLConnectionOperation::error() {
    std::lock_guard guard(lock_);
    return error_;
}
std::optional<Bytes> AFURLConnectionOperation::responseData() const {
    std::lock_guard guard(lock_);
    return responseData_;
}
bool AFURLConnectionOperation::allowsInvalidSSLCertificate() const {
    std::lock_guard guard(lock_);
    return allowsInvalidSSLCertificate_;
}
void AFURLConnectionOperation::setAllowsInvalidSSLCertificate(bool allows) {
    std::lock_guard guard(lock_);
    allowsInvalidSSLCertificate_ = allows;
}
bool AFURLConnectionOperation::shouldUseCredentialStorage() const {
    std::lock_guard guard(lock_);
    return shouldUseCredentialStorage_;
}
void AFURLConnectionOperation::setShouldUseCredentialStorage(bool use) {
    std::lock_guard guard(lock_);
    shouldUseCredentialStorage_ = use;
}
std::optional<plat::UrlCredential> AFURLConnectionOperation::credential() const {
    std::lock_guard guard(lock_);
    return credential_;
}
void AFURLConnectionOperation::setCredential(std::optional<plat::UrlCredential> credential) {
    std::lock_guard guard(lock_);
    credential_ = std::move(credential);
}
Ref<plat::Dictionary> AFURLConnectionOperation::userInfo() const {
    std::lock_guard guard(lock_);
    return userInfo_;
}
void AFURLConnectionOperation::setUserInfo(Ref<plat::Dictionary> userInfo) {
    std::lock_guard guard(lock_);
    userInfo_ = std::move(userInfo);
}
int64_t AFURLConnectionOperation::totalBytesRead() const {
    return totalBytesRead_;
}
