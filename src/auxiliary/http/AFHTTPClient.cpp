#include "auxiliary/http/AFHTTPClient.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/Collections.h"
#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/crypto/Base64.h"
#include "platform/net/TextEncoding.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/PropertyList.h"
#include "platform/system/Host.h"
#include "vnlib/dev/json/JSONKitSerializing.h"

PLAT_DEFINE_CLASS(AFHTTPClient, plat::Object, PLAT_NO_METHODS)

namespace {

void assertParameter(bool condition, const char* text) {
    if (!condition) {
        plat::raise(plat::NSInternalInconsistencyException,
                    std::string("Invalid parameter not satisfying: ") + text);
    }
}

std::string infoString(const char* key) {
    const plat::Value value = plat::InfoDictionary::objectForKey(key);
    return value.string() ? *value.string() : std::string();
}

std::string acceptLanguage() {
    std::string header;
    const auto languages = plat::Host::preferredLanguages();
    for (size_t i = 0; i < languages.size(); ++i) {
        const float q = 1.0f - static_cast<float>(i) * 0.1f;
        char weight[32];
        std::snprintf(weight, sizeof weight, "%0.1g", static_cast<double>(q));
        if (!header.empty())
            header += ", ";
        header += languages[i] + ";q=" + weight;
        if (q <= 0.5f)
            break;
    }
    return header;
}

std::string userAgent() {
    std::string name = infoString("CFBundleExecutable");
    if (name.empty())
        name = infoString("CFBundleIdentifier");
    std::string version = infoString("CFBundleShortVersionString");
    if (version.empty())
        version = infoString("CFBundleVersion");
    std::string system;
    if (const auto numbers = plat::Host::systemVersion()) {
        system = std::to_string((*numbers)[0]) + "." + std::to_string((*numbers)[1]) + "." +
                 std::to_string((*numbers)[2]);
    }
    return name + "/" + version + " (Mac OS X " + system + ")";
}

}  // namespace

std::string AFBase64EncodedStringFromString(const std::string& string) {
    return plat::Base64::encode(std::string_view(string));
}

Ref<AFHTTPClient> AFHTTPClient::clientWithBaseURL(const plat::Url& url) {
    auto client = std::make_shared<AFHTTPClient>();
    client->initWithBaseURL(url);
    return client;
}

void AFHTTPClient::init() const {
    plat::raise(
        plat::NSInternalInconsistencyException,
        className() + " Failed to call designated initializer. Invoke `initWithBaseURL:` instead.");
}

void AFHTTPClient::requireBaseURL() const {
    // Every initialiser makes the queue.
    if (!operationQueue_)
        init();
}

void AFHTTPClient::initWithBaseURL(const plat::Url& url) {
    assertParameter(url.isValid(), "url");
    baseURL_ = url;
    if (!url.path().empty() && url.absoluteString().back() != '/') {
        if (auto withSlash = plat::Url::parse(url.absoluteString() + "/"))
            baseURL_ = *withSlash;
    }
    stringEncoding_ = plat::NSUTF8StringEncoding;
    parameterEncoding_ = AFFormURLParameterEncoding;
    classNames_.clear();
    defaultHeaders_.clear();
    setDefaultHeader("Accept-Language", acceptLanguage());
    setDefaultHeader("User-Agent", userAgent());
    operationQueue_ = plat::OperationQueue::make();
    operationQueue_->setMaxConcurrentOperationCount(
        plat::OperationQueue::kDefaultMaxConcurrentOperationCount);
}

std::string AFHTTPClient::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string headers = "{";
    for (const auto& [name, value] : defaultHeaders_)
        headers += " \"" + name + "\" = \"" + value + "\";";
    headers += " }";
    std::string classes = "(";
    for (const auto& name : classNames_)
        classes += " " + name;
    classes += " )";
    return "<" + className() + ": " + address + ", baseURL: " + baseURL_.absoluteString() +
           ", defaultHeaders: " + headers + ", registeredOperationClasses: " + classes +
           ", operationQueue: " + (operationQueue_ ? operationQueue_->description() : "(null)") +
           ">";
}

bool AFHTTPClient::registerHTTPOperationClass(const plat::Class& operationClass) {
    if (!operationClass.isSubclassOf(AFHTTPRequestOperation::classObject()))
        return false;
    unregisterHTTPOperationClass(operationClass);
    classNames_.insert(classNames_.begin(), operationClass.name());
    return true;
}

void AFHTTPClient::unregisterHTTPOperationClass(const plat::Class& operationClass) {
    classNames_.erase(std::remove(classNames_.begin(), classNames_.end(), operationClass.name()),
                      classNames_.end());
}

std::optional<std::string> AFHTTPClient::defaultValueForHeader(const std::string& header) const {
    for (const auto& [name, value] : defaultHeaders_) {
        if (name == header)
            return value;
    }
    return std::nullopt;
}

void AFHTTPClient::setDefaultHeader(const std::string& header, std::optional<std::string> value) {
    auto it = std::find_if(defaultHeaders_.begin(), defaultHeaders_.end(),
                           [&](const auto& entry) { return entry.first == header; });
    if (!value) {
        if (it != defaultHeaders_.end())
            defaultHeaders_.erase(it);
        return;
    }
    if (it != defaultHeaders_.end()) {
        it->second = std::move(*value);
    } else {
        defaultHeaders_.emplace_back(header, std::move(*value));
    }
}

void AFHTTPClient::setAuthorizationHeaderWithUsername(const std::string& username,
                                                      const std::string& password) {
    setDefaultHeader("Authorization",
                     "Basic " + AFBase64EncodedStringFromString(username + ":" + password));
}

void AFHTTPClient::setAuthorizationHeaderWithToken(const std::string& token) {
    setDefaultHeader("Authorization", "Token token=\"" + token + "\"");
}

void AFHTTPClient::clearAuthorizationHeader() {
    setDefaultHeader("Authorization", std::nullopt);
}

plat::UrlRequest AFHTTPClient::requestWithMethod(const std::string& method,
                                                 const std::optional<std::string>& path,
                                                 const plat::Value& parameters) {
    requireBaseURL();
    assertParameter(!method.empty(), "method");
    const std::string relative = path.value_or("");
    const auto url = plat::Url::resolve(relative, baseURL_);
    plat::UrlRequest request(url.value_or(baseURL_));
    request.setHttpMethod(method);
    for (const auto& [name, value] : defaultHeaders_)
        request.setValueForHttpHeaderField(value, name);
    if (parameters.isNil())
        return request;
    if (method == "GET" || method == "HEAD" || method == "DELETE") {
        const std::string query =
            AFQueryStringFromParametersWithEncoding(parameters, stringEncoding_);
        const std::string separator = relative.find('?') == std::string::npos ? "?" : "&";
        if (auto withQuery = plat::Url::parse(request.url().absoluteString() + separator + query))
            request.setUrl(*withQuery);
        return request;
    }
    const std::string charset =
        plat::TextEncoding::ianaNameForEncoding(static_cast<plat::StringEncoding>(stringEncoding_))
            .value_or("utf-8");
    Ref<plat::Error> error;
    switch (parameterEncoding_) {
        case AFFormURLParameterEncoding: {
            request.setValueForHttpHeaderField(
                "application/x-www-form-urlencoded; charset=" + charset, "Content-Type");
            const std::string body =
                AFQueryStringFromParametersWithEncoding(parameters, stringEncoding_);
            request.setHttpBody(std::string_view(body));
            break;
        }
        case AFJSONParameterEncoding: {
            request.setValueForHttpHeaderField("application/json; charset=" + charset,
                                               "Content-Type");
            std::optional<plat::Bytes> body;
            if (const auto dictionary = parameters.dictionary()) {
                body = JSONDataWithOptions(dictionary, 0, &error);
            } else if (const auto array = parameters.array()) {
                body = JSONDataWithOptions(array, 0, &error);
            }
            if (body)
                request.setHttpBody(std::move(*body));
            break;
        }
        case AFPropertyListParameterEncoding: {
            request.setValueForHttpHeaderField("application/x-plist; charset=" + charset,
                                               "Content-Type");
            if (auto body = plat::PropertyList::dataWithPropertyList(
                    parameters, plat::PropertyListFormat::XML, &error)) {
                request.setHttpBody(std::move(*body));
            }
            break;
        }
        default:
            break;
    }
    if (error) {
        plat::log(plat::format("%s %s: %s", className().c_str(),
                               "requestWithMethod:path:parameters:", error->description().c_str()));
    }
    return request;
}

plat::UrlRequest AFHTTPClient::multipartFormRequestWithMethod(
    const std::string& method, const std::optional<std::string>& path,
    const plat::Value& parameters, const BodyBlock& block) {
    assertParameter(
        !method.empty() && method != "GET" && method != "HEAD",
        "method && ![method isEqualToString:@\"GET\"] && ![method isEqualToString:@\"HEAD\"]");
    const plat::UrlRequest base = requestWithMethod(method, path, plat::Value());
    AFStreamingMultipartFormData formData(base, stringEncoding_);
    if (!parameters.isNil()) {
        for (const auto& pair : AFQueryStringPairsFromDictionary(parameters)) {
            plat::Bytes data;
            if (const auto* bytes = pair.value.bytes()) {
                data = *bytes;
            } else if (!pair.value.isNull()) {
                const std::string text =
                    pair.value.string() ? *pair.value.string() : pair.value.description();
                const std::string encoded =
                    plat::TextEncoding::encode(text,
                                               static_cast<plat::StringEncoding>(stringEncoding_))
                        .value_or(text);
                data.assign(encoded.begin(), encoded.end());
            }
            const std::string field =
                pair.field.string() ? *pair.field.string() : pair.field.description();
            formData.appendPartWithFormData(data, field);
        }
    }
    if (block)
        block(formData);
    return formData.requestByFinalizingMultipartFormData();
}

Ref<AFHTTPRequestOperation> AFHTTPClient::HTTPRequestOperationWithRequest(
    const plat::UrlRequest& request, SuccessBlock success, FailureBlock failure) {
    Ref<AFHTTPRequestOperation> operation;
    for (const auto& name : classNames_) {
        const plat::Class* cls = plat::Class::named(name);
        if (!cls || !cls->canMake())
            continue;
        auto candidate = std::dynamic_pointer_cast<AFHTTPRequestOperation>(cls->make());
        if (candidate && candidate->classCanProcessRequest(request)) {
            candidate->initWithRequest(request);
            operation = candidate;
            break;
        }
    }
    if (!operation)
        operation = AFURLConnectionOperation::operationWithRequest<AFHTTPRequestOperation>(request);
    // Each format operation has its own completion flow behind the same call.
    operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    operation->setCredential(defaultCredential_);
    operation->setAllowsInvalidSSLCertificate(allowsInvalidSSLCertificate_);
    return operation;
}

void AFHTTPClient::enqueueHTTPRequestOperation(const Ref<AFHTTPRequestOperation>& operation) {
    requireBaseURL();
    operationQueue_->addOperation(operation);
}

void AFHTTPClient::cancelAllHTTPOperationsWithMethod(const std::optional<std::string>& method,
                                                     const std::optional<std::string>& path) {
    const std::string pathToMatch =
        requestWithMethod(method.value_or("GET"), path, plat::Value()).url().path();
    for (const auto& queued : operationQueue_->operations()) {
        const auto operation = std::dynamic_pointer_cast<AFHTTPRequestOperation>(queued);
        if (!operation)
            continue;
        const plat::UrlRequest request = operation->request();
        if ((!method || *method == request.httpMethod()) && request.url().path() == pathToMatch)
            operation->cancel();
    }
}

void AFHTTPClient::enqueueBatchOfHTTPRequestOperationsWithRequests(
    const std::vector<plat::UrlRequest>& requests, ProgressBlock progress,
    BatchCompletionBlock completion) {
    std::vector<Ref<AFHTTPRequestOperation>> operations;
    for (const auto& request : requests)
        operations.push_back(HTTPRequestOperationWithRequest(request, nullptr, nullptr));
    enqueueBatchOfHTTPRequestOperations(operations, std::move(progress), std::move(completion));
}

void AFHTTPClient::enqueueBatchOfHTTPRequestOperations(
    const std::vector<Ref<AFHTTPRequestOperation>>& operations, ProgressBlock progress,
    BatchCompletionBlock completion) {
    requireBaseURL();
    auto group = plat::DispatchGroup::make();
    auto batch = plat::BlockOperation::make([group, operations, completion] {
        group->notify(plat::DispatchQueue::main(), [operations, completion] {
            if (completion)
                completion(operations);
        });
    });
    for (const auto& operation : operations) {
        auto kept = operation->completionBlock();
        WeakRef<AFHTTPRequestOperation> weak = operation;
        group->enter();
        operation->setCompletionBlock([weak, kept, group, operations, progress] {
            const auto self = weak.lock();
            const auto queue = self ? self->successCallbackQueue() : nullptr;
            group->async(queue ? queue : plat::DispatchQueue::main(),
                         [kept, group, operations, progress] {
                             if (kept)
                                 kept();
                             const auto finished = static_cast<uint64_t>(
                                 std::count_if(operations.begin(), operations.end(),
                                               [](const auto& op) { return op->isFinished(); }));
                             if (progress)
                                 progress(finished, operations.size());
                             group->leave();
                         });
        });
        batch->addDependency(operation);
    }
    std::vector<Ref<plat::Operation>> all(operations.begin(), operations.end());
    operationQueue_->addOperations(all, false);
    operationQueue_->addOperation(batch);
}

void AFHTTPClient::enqueueWithMethod(const std::string& method, const std::string& path,
                                     const plat::Value& parameters, SuccessBlock success,
                                     FailureBlock failure) {
    const auto request = requestWithMethod(method, path, parameters);
    enqueueHTTPRequestOperation(
        HTTPRequestOperationWithRequest(request, std::move(success), std::move(failure)));
}

void AFHTTPClient::getPath(const std::string& path, const plat::Value& parameters,
                           SuccessBlock success, FailureBlock failure) {
    enqueueWithMethod("GET", path, parameters, std::move(success), std::move(failure));
}
void AFHTTPClient::postPath(const std::string& path, const plat::Value& parameters,
                            SuccessBlock success, FailureBlock failure) {
    enqueueWithMethod("POST", path, parameters, std::move(success), std::move(failure));
}
void AFHTTPClient::putPath(const std::string& path, const plat::Value& parameters,
                           SuccessBlock success, FailureBlock failure) {
    enqueueWithMethod("PUT", path, parameters, std::move(success), std::move(failure));
}
void AFHTTPClient::deletePath(const std::string& path, const plat::Value& parameters,
                              SuccessBlock success, FailureBlock failure) {
    enqueueWithMethod("DELETE", path, parameters, std::move(success), std::move(failure));
}
void AFHTTPClient::patchPath(const std::string& path, const plat::Value& parameters,
                             SuccessBlock success, FailureBlock failure) {
    enqueueWithMethod("PATCH", path, parameters, std::move(success), std::move(failure));
}

void AFHTTPClient::encodeWithCoder(plat::KeyedCoder& coder) const {
    coder.encodeObject(plat::Value(baseURL_.absoluteString()), "baseURL");
    std::vector<plat::Value> names(classNames_.begin(), classNames_.end());
    coder.encodeObject(plat::Value::fromObject(plat::Array::make(std::move(names))),
                       "registeredHTTPOperationClassNames");
    auto headers = plat::MutableArray::make();
    for (const auto& [name, value] : defaultHeaders_)
        headers->addObject(
            plat::Value::fromObject(plat::Array::make({plat::Value(name), plat::Value(value)})));
    coder.encodeObject(plat::Value::fromObject(headers), "defaultHeaders");
    coder.encodeInt64(static_cast<int64_t>(stringEncoding_), "stringEncoding");
    coder.encodeInt64(parameterEncoding_, "parameterEncoding");
}

bool AFHTTPClient::initWithCoder(const plat::KeyedCoder& coder) {
    const auto text = coder.decodeObjectForKey("baseURL").string();
    const auto url = text ? plat::Url::parse(*text) : std::nullopt;
    if (!url)
        return false;
    initWithBaseURL(*url);
    stringEncoding_ = static_cast<uint64_t>(coder.decodeInt64ForKey("stringEncoding"));
    parameterEncoding_ = static_cast<int32_t>(coder.decodeInt64ForKey("parameterEncoding"));
    classNames_.clear();
    if (const auto names = coder.decodeObjectForKey("registeredHTTPOperationClassNames").array()) {
        names->enumerate([&](const plat::Value& name) {
            if (name.string())
                classNames_.push_back(*name.string());
            return true;
        });
    }
    defaultHeaders_.clear();
    if (const auto headers = coder.decodeObjectForKey("defaultHeaders").array()) {
        headers->enumerate([&](const plat::Value& entry) {
            const auto pair = entry.array();
            if (pair && pair->count() == 2 && pair->objectAtIndex(0).string() &&
                pair->objectAtIndex(1).string()) {
                defaultHeaders_.emplace_back(*pair->objectAtIndex(0).string(),
                                             *pair->objectAtIndex(1).string());
            }
            return true;
        });
    }
    return true;
}

Ref<AFHTTPClient> AFHTTPClient::copyWithZone() const {
    auto copy = std::static_pointer_cast<AFHTTPClient>(getClass().make());
    copy->initWithBaseURL(baseURL_);
    copy->stringEncoding_ = stringEncoding_;
    copy->parameterEncoding_ = parameterEncoding_;
    copy->classNames_ = classNames_;
    copy->defaultHeaders_ = defaultHeaders_;
    return copy;
}
