#include "external/AFHTTPRequestOperation.h"

#include <map>
#include <mutex>

#include "platform/core/Collections.h"
#include "platform/net/NetText.h"
#include "platform/net/TextEncoding.h"

using plat::Value;

PLAT_DEFINE_CLASS(AFHTTPRequestOperation, AFURLConnectionOperation, PLAT_NO_METHODS)

namespace {

struct ClassAnswers {
    std::mutex mutex;
    std::map<std::string, AFIndexSet> statusCodes;
    std::map<std::string, AFContentTypeSet> contentTypes;
};

ClassAnswers& classAnswers() {
    static ClassAnswers answers;
    return answers;
}

// The set as the platform describes sets: {( "a", "b" )}.
std::string describeTypes(const std::optional<AFContentTypeSet>& types) {
    if (!types)
        return "(null)";
    std::string text = "{(";
    bool first = true;
    for (const auto& type : *types) {
        text += first ? "\n    \"" : ",\n    \"";
        text += type + "\"";
        first = false;
    }
    return text + "\n)}";
}

}  // namespace

std::string AFStringFromIndexSet(const AFIndexSet& indexes) {
    std::string text;
    auto it = indexes.begin();
    while (it != indexes.end()) {
        const int64_t first = *it;
        int64_t last = first;
        for (++it; it != indexes.end() && *it == last + 1; ++it)
            last = *it;
        if (!text.empty())
            text += ",";
        text += std::to_string(first);
        if (last != first)
            text += "-" + std::to_string(last);
    }
    return text;
}

std::optional<AFContentTypeSet> AFContentTypesFromHTTPHeader(
    const std::optional<std::string>& header) {
    if (!header)
        return std::nullopt;
    AFContentTypeSet types;
    std::string_view rest = *header;
    while (true) {
        const size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        item = item.substr(0, item.find(';'));
        item = plat::net_text::trim(item);
        if (!item.empty())
            types.emplace(item);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return types;
}

// Class-wide answers.

std::optional<AFIndexSet> AFHTTPRequestOperation::replacedStatusCodes(const std::string& cls) {
    auto& answers = classAnswers();
    std::lock_guard guard(answers.mutex);
    const auto it = answers.statusCodes.find(cls);
    return it == answers.statusCodes.end() ? std::nullopt : std::optional(it->second);
}

void AFHTTPRequestOperation::replaceStatusCodes(const std::string& cls, AFIndexSet codes) {
    auto& answers = classAnswers();
    std::lock_guard guard(answers.mutex);
    answers.statusCodes[cls] = std::move(codes);
}

std::optional<AFContentTypeSet> AFHTTPRequestOperation::replacedContentTypes(
    const std::string& cls) {
    auto& answers = classAnswers();
    std::lock_guard guard(answers.mutex);
    const auto it = answers.contentTypes.find(cls);
    return it == answers.contentTypes.end() ? std::nullopt : std::optional(it->second);
}

void AFHTTPRequestOperation::replaceContentTypes(const std::string& cls, AFContentTypeSet types) {
    auto& answers = classAnswers();
    std::lock_guard guard(answers.mutex);
    answers.contentTypes[cls] = std::move(types);
}

std::optional<AFIndexSet> AFHTTPRequestOperation::acceptableStatusCodes() {
    if (auto replaced = replacedStatusCodes(kClassName))
        return replaced;
    AFIndexSet codes;
    for (int64_t code = 200; code < 300; ++code)
        codes.insert(code);
    return codes;
}

void AFHTTPRequestOperation::addAcceptableStatusCodes(const AFIndexSet& codes) {
    AFIndexSet all = acceptableStatusCodes().value_or(AFIndexSet{});
    all.insert(codes.begin(), codes.end());
    replaceStatusCodes(kClassName, std::move(all));
}

std::optional<AFContentTypeSet> AFHTTPRequestOperation::acceptableContentTypes() {
    return replacedContentTypes(kClassName);
}

void AFHTTPRequestOperation::addAcceptableContentTypes(const AFContentTypeSet& types) {
    AFContentTypeSet all = acceptableContentTypes().value_or(AFContentTypeSet{});
    all.insert(types.begin(), types.end());
    replaceContentTypes(kClassName, std::move(all));
}

bool AFHTTPRequestOperation::canProcessRequest(const plat::UrlRequest&) {
    return true;
}

bool AFHTTPRequestOperation::acceptsTypesOfRequest(const std::optional<AFContentTypeSet>& types,
                                                   const plat::UrlRequest& request) {
    if (!types)
        return false;
    const auto accepted = AFContentTypesFromHTTPHeader(request.valueForHttpHeaderField("Accept"));
    if (!accepted)
        return false;
    for (const auto& type : *accepted) {
        if (types->contains(type))
            return true;
    }
    return false;
}

std::optional<AFIndexSet> AFHTTPRequestOperation::classAcceptableStatusCodes() const {
    return acceptableStatusCodes();
}

std::optional<AFContentTypeSet> AFHTTPRequestOperation::classAcceptableContentTypes() const {
    return acceptableContentTypes();
}

// Judging the answer.

bool AFHTTPRequestOperation::hasAcceptableStatusCode() {
    const auto answer = response();
    if (!answer)
        return false;
    const int64_t status = answer->statusCode();
    const auto codes = classAcceptableStatusCodes();
    return !codes || codes->contains(status);
}

bool AFHTTPRequestOperation::hasAcceptableContentType() {
    const auto answer = response();
    if (!answer)
        return false;
    const std::string type =
        answer->mimeType().empty() ? "application/octet-stream" : answer->mimeType();
    const auto types = classAcceptableContentTypes();
    return !types || types->contains(type);
}

Ref<plat::Error> AFHTTPRequestOperation::error() {
    const auto answer = response();
    if (!HTTPError_ && answer && (!hasAcceptableStatusCode() || !hasAcceptableContentType())) {
        const plat::UrlRequest sent = request();
        auto info = plat::MutableDictionary::make();
        if (const auto text = responseString())
            info->setObject(Value(*text), Value(NSLocalizedRecoverySuggestionErrorKey));
        info->setObject(Value(sent.url().absoluteString()), Value(NSURLErrorFailingURLErrorKey));
        info->setObject(Value::fromObject(std::make_shared<AFURLRequestObject>(sent)),
                        Value(AFNetworkingOperationFailingURLRequestErrorKey));
        info->setObject(Value::fromObject(std::make_shared<AFURLResponseObject>(*answer)),
                        Value(AFNetworkingOperationFailingURLResponseErrorKey));
        const auto data = responseData();
        if (!hasAcceptableStatusCode()) {
            const auto codes = classAcceptableStatusCodes();
            info->setObject(Value("Expected status code in (" +
                                  AFStringFromIndexSet(codes.value_or(AFIndexSet{})) + "), got " +
                                  std::to_string(answer->statusCode())),
                            Value(plat::NSLocalizedDescriptionKey));
            HTTPError_ = plat::Error::make(AFNetworkingErrorDomain, -1011, info);
        } else if (data && !data->empty()) {
            const std::string mime = answer->mimeType().empty() ? "(null)" : answer->mimeType();
            info->setObject(Value("Expected content type " +
                                  describeTypes(classAcceptableContentTypes()) + ", got " + mime),
                            Value(plat::NSLocalizedDescriptionKey));
            HTTPError_ = plat::Error::make(AFNetworkingErrorDomain, -1016, info);
        }
    }
    return HTTPError_ ? HTTPError_ : AFURLConnectionOperation::error();
}

uint64_t AFHTTPRequestOperation::responseStringEncoding() {
    const auto answer = response();
    if (answer && answer->textEncodingName().empty() && responseData()) {
        if (const auto field = answer->allHeaderFields().first("Content-Type")) {
            // The type up to "/", white space skipped.
            const std::string_view text = plat::net_text::trim(*field);
            const std::string_view type = plat::net_text::trim(text.substr(0, text.find('/')));
            if (text.find('/') != std::string_view::npos && type == "text")
                return plat::NSISOLatin1StringEncoding;
        }
    }
    return AFURLConnectionOperation::responseStringEncoding();
}

void AFHTTPRequestOperation::pause() {
    // Under the lock: no body byte is written between measuring and pausing.
    std::lock_guard guard(lock_);
    const auto stream = outputStream();
    const uint64_t offset =
        stream->writesToMemory() ? stream->bytesWritten() : stream->currentOffset();
    plat::UrlRequest ranged = request();
    if (const auto answer = response()) {
        if (const auto tag = answer->valueForHttpHeaderField("ETag"))
            ranged.setValueForHttpHeaderField(*tag, "If-Range");
    }
    ranged.setValueForHttpHeaderField("bytes=" + std::to_string(offset) + "-", "Range");
    setRequest(std::move(ranged));
    AFURLConnectionOperation::pause();
}

Ref<plat::DispatchQueue> AFHTTPRequestOperation::successCallbackQueue() const {
    std::lock_guard guard(lock_);
    return successCallbackQueue_.lock();
}

void AFHTTPRequestOperation::setSuccessCallbackQueue(const Ref<plat::DispatchQueue>& queue) {
    std::lock_guard guard(lock_);
    successCallbackQueue_ = queue;
}

Ref<plat::DispatchQueue> AFHTTPRequestOperation::failureCallbackQueue() const {
    std::lock_guard guard(lock_);
    return failureCallbackQueue_.lock();
}

void AFHTTPRequestOperation::setFailureCallbackQueue(const Ref<plat::DispatchQueue>& queue) {
    std::lock_guard guard(lock_);
    failureCallbackQueue_ = queue;
}

Ref<plat::DispatchQueue> AFHTTPRequestOperation::successQueue() const {
    const auto queue = successCallbackQueue();
    return queue ? queue : plat::DispatchQueue::main();
}

Ref<plat::DispatchQueue> AFHTTPRequestOperation::failureQueue() const {
    const auto queue = failureCallbackQueue();
    return queue ? queue : plat::DispatchQueue::main();
}

void AFHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                           FailureBlock failure) {
    // Held weakly: an operation that never runs is not kept alive by its own block (it is
    // alive whenever its completion runs).
    WeakRef<AFHTTPRequestOperation> weak =
        std::static_pointer_cast<AFHTTPRequestOperation>(shared_from_this());
    setCompletionBlock([weak, success = std::move(success), failure = std::move(failure)] {
        const auto operation = weak.lock();
        if (!operation)
            return;
        if (const auto error = operation->error()) {
            if (failure)
                operation->failureQueue()->async(
                    [operation, failure, error] { failure(operation, error); });
        } else if (success) {
            const auto data = operation->responseData();
            const Value body = data ? Value::data(*data) : Value();
            operation->successQueue()->async(
                [operation, success, body] { success(operation, body); });
        }
    });
}
