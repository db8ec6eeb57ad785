#include "vnlib/dev/web/VnJsonWebRequest.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <utility>

#include "platform/core/Log.h"
#include "platform/net/UrlError.h"
#include "vnlib/dev/json/JSONDecoder.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"
#include "vnlib/dev/web/VnConnectionQueue.h"
#include "vnlib/dev/web/VnNetworkActivityNotificationCenter.h"

PLAT_DEFINE_CLASS(VnJsonWebRequest, VnTimeoutRequest, PLAT_NO_METHODS)

namespace {

// ---- The process-wide connection queue ----------------------------------------------------------

VnConnectionQueue& connectionQueue() {
    static VnConnectionQueue queue(VnJsonWebRequest::kMaxActiveConnections,
                                   VnJsonWebRequest::kMaxRepliesInFlightBytes);
    return queue;
}

// ---- Masking secrets in logged text -------------------------------------------------------------

bool isSecretName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"password", "passwd", "hash", "token", "authorization", "session",
                             "secret", "otp", "pin", "cookie"}) {
        if (name.find(word) != std::string::npos)
            return true;
    }
    return false;
}

std::string_view bytesAsText(const std::optional<plat::Bytes>& bytes) {
    if (!bytes || bytes->empty())
        return {};
    return {reinterpret_cast<const char*>(bytes->data()), bytes->size()};
}

}  // namespace

std::string VnJsonWebRequestDebugDescription(const plat::UrlRequest& request) {
    std::string out = plat::format(
        "\n\n===================================\nNSMutableURLRequest\n%.3f\n"
        "-----------------------------------\n %s",
        plat::Date::now().seconds, request.httpMethod().c_str());
    out += " \"" + request.url().absoluteString() + "\"\n";
    for (const auto& [name, value] : request.allHttpHeaderFields()) {
        const bool secret = isSecretName(name);
        out += " -H \"" + name + ": " + (secret ? std::string("***") : value) + "\"\n";
    }
    if (request.httpMethod() == "POST") {
        // The body carries members' names and tokens: only its length is shown.
        out += plat::format(" -B <%zu bytes>\n", request.httpBody().size());
    }
    return out + "===================================\n\n";
}

// ---- The request --------------------------------------------------------------------------------

VnJsonWebRequest::VnJsonWebRequest(plat::Url serviceUrl, std::optional<std::string> webMethod,
                                   plat::Value requestObject, Ref<plat::Dictionary> headerObject)
    : serviceUrl_(std::move(serviceUrl)),
      webMethod_(std::move(webMethod)),
      requestObject_(std::move(requestObject)),
      headerObject_(headerObject ? headerObject->copy() : nullptr) {}

plat::Url VnJsonWebRequest::requestUrl() const {
    if (webMethod_ && !webMethod_->empty()) {
        return serviceUrl_.urlByAppendingPathComponent(*webMethod_);
    }
    return serviceUrl_;
}

size_t VnJsonWebRequest::activeConnectionCount() {
    return connectionQueue().activeCount();
}

size_t VnJsonWebRequest::pendingConnectionCount() {
    return connectionQueue().pendingCount();
}

size_t VnJsonWebRequest::replyBytesHeld() {
    return connectionQueue().replyBytesHeld();
}

void VnJsonWebRequest::dropReply() {
    serviceReturnValue_.reset();
    connectionQueue().giveBackReplyBytes(std::exchange(heldReplyBytes_, 0));
}

void VnJsonWebRequest::coreStart() {
    statusCode_ = 0;
    plat::UrlRequest request(requestUrl(),
                             plat::UrlRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData,
                             kRequestTimeoutInterval);
    std::string body;
    if (!requestObject_.isNil()) {
        KxJsonWriter writer;
        Ref<plat::Error> error;
        auto text = writer.stringWithObject(requestObject_, &error);
        if (!text) {
            // A body that cannot be written is a failure, not an empty request.
            VND_TRACE("Webservice", "WebMethod: %s, cannot write the request: %s",
                      methodName().c_str(), error ? error->localizedDescription().c_str() : "");
            coreQueueNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
                plat::Value(),
                error ? error
                      : plat::Error::withDescription(VnRequestDomain, 0,
                                                     "Request could not be written as JSON")));
            return;
        }
        body = std::move(*text);
    }
    VND_TRACE("Webservice", "WebMethod:%s", methodName().c_str());
    // Bodies carry members' names, addresses and tokens: only their length is written.
    VND_TRACE("Webservice", "JSON String: %zu bytes", body.size());

    request.setValueForHttpHeaderField("application/json; charset=utf-8", "Content-Type");
    request.setValueForHttpHeaderField("application/json", "Accept");
    request.setValueForHttpHeaderField(std::to_string(body.size()), "Content-Length");
    if (headerObject_) {
        headerObject_->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
            request.setValueForHttpHeaderField(v.description(), k.description());
            return true;
        });
    }
    if (fixedCookies_) {
        request.setHttpShouldHandleCookies(false);
        if (cookieHeader_ && !cookieHeader_->empty())
            request.setValueForHttpHeaderField(*cookieHeader_, "Cookie");
    }
    request.setHttpBody(std::string_view(body));
    request.setHttpMethod("POST");
    // The request dump is a diagnostic: only with the "Webservice" group on, secrets masked.
    if (plat::traceEnabled("Webservice"))
        plat::log(VnJsonWebRequestDebugDescription(request));

    serviceConnection_ = plat::UrlConnection::make(request, self<VnJsonWebRequest>());
    serviceConnection_->scheduleInRunLoop(plat::RunLoop::current(), plat::commonModes());
    connectionQueue().enter(serviceConnection_);

    VND_TRACE("Performance", "WebMethod: %s, Request started", methodName().c_str());
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidStart();
    startTimeInterval_ = plat::RunLoop::current().now();
    notifyToKeepAlive();
}

void VnJsonWebRequest::leaveQueue() {
    if (serviceConnection_)
        connectionQueue().leave(serviceConnection_);
}

void VnJsonWebRequest::didReceiveResponse(plat::UrlConnection& connection,
                                          const plat::HttpUrlResponse& response) {
    if (&connection != serviceConnection_.get())
        return;
    if (response.statusCode() == 401) {
        connection.cancel();
        failWith(plat::Error::withDescription(plat::NSURLErrorDomain, 401, "Unauthorized"));
        return;
    }
    statusCode_ = response.statusCode();
    const int64_t expected = response.expectedContentLength();
    if (expected > 0 && static_cast<uint64_t>(expected) > kMaxReplyBytes) {
        connection.cancel();
        failWith(replyTooLargeError());
        return;
    }
    dropReply();  // of an earlier response of this connection
    serviceReturnValue_.emplace();
    serviceReturnValue_->reserve(expected < 1 ? 1024 : static_cast<size_t>(expected));
    notifyToKeepAlive();
}

void VnJsonWebRequest::didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) {
    if (&connection != serviceConnection_.get())
        return;
    if (!serviceReturnValue_)
        serviceReturnValue_.emplace();
    if (data.size() > kMaxReplyBytes - std::min(kMaxReplyBytes, serviceReturnValue_->size())) {
        // Not held any further: the reply cannot be an answer.
        dropReply();
        connection.cancel();
        failWith(replyTooLargeError());
        return;
    }
    if (!connectionQueue().takeReplyBytes(data.size())) {
        dropReply();
        connection.cancel();
        failWith(plat::makeUrlError(
            plat::NSURLErrorBadServerResponse, requestUrl(),
            plat::format("The reply of %s was let go: the replies in flight hold %zu MiB already",
                         methodName().c_str(), kMaxRepliesInFlightBytes >> 20)));
        return;
    }
    heldReplyBytes_ += data.size();
    serviceReturnValue_->insert(serviceReturnValue_->end(), data.begin(), data.end());
    notifyToKeepAlive();
}

Ref<plat::Error> VnJsonWebRequest::replyTooLargeError() const {
    return plat::makeUrlError(plat::NSURLErrorBadServerResponse, requestUrl(),
                              plat::format("The reply of %s is larger than %zu bytes",
                                           methodName().c_str(), kMaxReplyBytes));
}

void VnJsonWebRequest::didFinishLoading(plat::UrlConnection& connection) {
    if (&connection != serviceConnection_.get())
        return;
    auto keepAlive = self<VnJsonWebRequest>();
    leaveQueue();
    const double responseTime = plat::RunLoop::current().now() - startTimeInterval_;
    // Parsed where it was received, not copied.
    const std::string_view text = bytesAsText(serviceReturnValue_);
    VND_TRACE("Performance", "WebMethod: %s, Response Time = %f", methodName().c_str(),
              responseTime);
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidFinish();

    const double parseStart = plat::RunLoop::current().now();
    plat::Value reply;
    bool treeTooLarge = false;
    {
        // A fresh decoder, let go at once: what a parse keeps goes with it. Answers whose records
        // keep what they were loaded from as its text take the reply's text along with its
        // values.
        JSONDecoder decoder;
        decoder.setMaximumTreeBytes(kMaxReplyTreeBytes);
        reply = keepsReceivedText() && serviceReturnValue_
                    ? decoder.objectKeepingText(std::move(*serviceReturnValue_))
                    : decoder.objectWithUTF8String(text.data() ? text.data() : "", text.size());
        treeTooLarge = decoder.exceededMaximumTreeBytes();
        decoder.releaseState();
    }
    if (treeTooLarge) {
        dropReply();
        VND_TRACE("Webservice", "WebMethod: %s, reply too large once decoded",
                  methodName().c_str());
        coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value(),
            plat::makeUrlError(plat::NSURLErrorBadServerResponse, requestUrl(),
                               plat::format("The reply of %s would take more than %zu MiB once "
                                            "decoded",
                                            methodName().c_str(), kMaxReplyTreeBytes >> 20))));
        return;
    }
    std::optional<plat::Value> returnValue;
    if (auto object = reply.dictionary()) {
        // A present member is the answer, even null (a method without a value).
        plat::Value d = object->objectForKey("d");
        if (d.isNil())
            d = object->objectForKey(methodName() + "Result");
        if (!d.isNil())
            returnValue = d.isNull() ? plat::Value() : d;
    }
    VND_TRACE("Webservice", "WebMethod: %s(%s), Response Time = %f, ResultValue = %zu bytes",
              methodName().c_str(), requestObject_.isNil() ? "(null)" : "…", responseTime,
              text.size());
    dropReply();
    if (statusCode_ < 200 || statusCode_ > 299) {
        // An error status is never an answer, even when its body holds one.
        std::string message = plat::format("HTTP status %d", statusCode_);
        if (auto object = reply.dictionary()) {
            if (const std::string* text = object->objectForKey("Message").string())
                message = *text;
        }
        coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(
            plat::Value(),
            plat::Error::withDescription(plat::NSURLErrorDomain, statusCode_, message)));
        return;
    }
    if (returnValue) {
        const auto list = returnValue->array();
        VND_TRACE("Performance", "WebMethod: %s, Response item count = %d", methodName().c_str(),
                  list ? static_cast<int>(list->count()) : 1);
    }
    VND_TRACE("Performance", "WebMethod: %s, Parsing time used = %f", methodName().c_str(),
              plat::RunLoop::current().now() - parseStart);
    coreNotifyFinishWithResult(returnValue
                                   ? VnRequestResult::resultWithReturnValue(*returnValue, nullptr)
                                   : VnRequestResult::failedResultWithErrorMessage(
                                         "Server did not return proper JSON object"));
}

void VnJsonWebRequest::didFailWithError(plat::UrlConnection& connection,
                                        const Ref<plat::Error>& error) {
    if (&connection != serviceConnection_.get())
        return;
    failWith(error);
}

void VnJsonWebRequest::failWith(const Ref<plat::Error>& error) {
    auto keepAlive = self<VnJsonWebRequest>();
    dropReply();
    leaveQueue();
    VND_TRACE("Webservice", "WebMethod: %s, Failed with error = %s", methodName().c_str(),
              error ? error->description().c_str() : "(null)");
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidFinish();
    coreNotifyFinishWithResult(VnRequestResult::resultWithReturnValue(plat::Value(), error));
}

void VnJsonWebRequest::coreCancel() {
    VnTimeoutRequest::coreCancel();
    if (!serviceConnection_)
        return;  // nothing was sent in this run
    auto connection = std::move(serviceConnection_);
    serviceConnection_.reset();
    connection->cancel();
    connectionQueue().leave(connection);
    dropReply();
    VnNetworkActivityNotificationCenter::defaultCenter()->notifyNetworkActivityDidFinish();
    VND_TRACE("Performance", "WebMethod: %s, Request cancelled", methodName().c_str());
}

void VnJsonWebRequest::timeout() {
    VnTimeoutRequest::timeout();
    VND_TRACE("Performance", "WebMethod: %s, Timeout", methodName().c_str());
}

void VnJsonWebRequest::coreCleanUp() {
    VnTimeoutRequest::coreCleanUp();
    dropReply();
    if (auto connection = std::move(serviceConnection_)) {
        serviceConnection_.reset();
        connection->cancel();
        connectionQueue().leave(connection);
    }
}

void VnJsonWebRequest::corePrioritize() {
    VnTimeoutRequest::corePrioritize();
    if (serviceConnection_)
        connectionQueue().prioritize(serviceConnection_);
}
