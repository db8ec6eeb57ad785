#include "auxiliary/http/AFJSONRequestOperation.h"

#include <algorithm>

#include "platform/core/Collections.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

PLAT_DEFINE_CLASS(AFJSONRequestOperation, AFHTTPRequestOperation, PLAT_NO_METHODS)

std::string AFPathExtensionOfURL(const plat::Url& url) {
    const std::string& path = url.path();
    const std::string_view last = std::string_view(path).substr(path.rfind('/') + 1);
    const size_t dot = last.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(last.substr(dot + 1));
}

namespace {

plat::Value parseJSON(const plat::Bytes& utf8, uint64_t options, Ref<plat::Error>* error) {
    const bool mutableContainers = options & NSJSONReadingMutableContainers;
    auto parse = [&](const plat::Bytes& text) {
        return mutableContainers ? mutableObjectFromJSONDataWithParseOptions(text, 0, error)
                                 : objectFromJSONDataWithParseOptions(text, 0, error);
    };
    const auto first = std::find_if(utf8.begin(), utf8.end(), [](uint8_t c) {
        return c != ' ' && c != '\t' && c != '\n' && c != '\r';
    });
    if (!(options & NSJSONReadingAllowFragments) || first == utf8.end() || *first == '[' ||
        *first == '{') {
        return parse(utf8);
    }
    // A fragment is read as the one element of an array around it.
    plat::Bytes wrapped;
    wrapped.reserve(utf8.size() + 2);
    wrapped.push_back('[');
    wrapped.insert(wrapped.end(), utf8.begin(), utf8.end());
    wrapped.push_back(']');
    const plat::Value array = parse(wrapped);
    if (array.array() && array.array()->count() == 1)
        return array.array()->objectAtIndex(0);
    return plat::Value();
}

}  // namespace

plat::Value AFJSONRequestOperation::responseJSON() {
    std::lock_guard guard(lock_);
    const auto data = responseData();
    if (!responseJSON_ && data && !data->empty() && isFinished() && !JSONError_) {
        const auto text = responseString();
        Ref<plat::Error> parseError;
        plat::Value parsed;
        if (text && *text != " ") {
            // The text is UTF-8 already: it re-encodes to itself.
            const plat::Bytes utf8(text->begin(), text->end());
            parsed = parseJSON(utf8, readingOptions_, &parseError);
            if (parsed.isNil() && !parseError) {
                parseError = plat::Error::withDescription(AFNetworkingErrorDomain, -1016,
                                                          "The JSON text could not be read.");
            }
        } else if (!text) {
            // Bytes that do not decode in the response's encoding: nothing to re-encode. This
            // fails rather than succeeding with nothing, so a reply that cannot be read never
            // passes for an empty one.
            parseError = plat::Error::make(
                AFNetworkingErrorDomain, -1016,
                plat::makeDictionary(
                    {{plat::Value(plat::NSLocalizedDescriptionKey),
                      plat::Value("Operation responseData failed decoding as a UTF-8 string")},
                     {plat::Value("NSLocalizedFailureReason"),
                      plat::Value("Could not decode string: (null)")}}));
        }
        responseJSON_ = parsed;
        JSONError_ = parseError;
    }
    return responseJSON_.value_or(plat::Value());
}

Ref<plat::Error> AFJSONRequestOperation::error() {
    {
        std::lock_guard guard(lock_);
        if (JSONError_)
            return JSONError_;
    }
    return AFHTTPRequestOperation::error();
}

void AFJSONRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                           FailureBlock failure) {
    // Held weakly: an operation that never runs is not kept alive by its own block (it is
    // alive whenever its completion runs).
    WeakRef<AFJSONRequestOperation> weak =
        std::static_pointer_cast<AFJSONRequestOperation>(shared_from_this());
    setCompletionBlock([weak, success = std::move(success), failure = std::move(failure)] {
        const auto operation = weak.lock();
        if (!operation)
            return;
        auto reportFailure = [operation, failure] {
            if (failure) {
                operation->failureQueue()->async(
                    [operation, failure] { failure(operation, operation->error()); });
            }
        };
        if (operation->error()) {
            reportFailure();
            return;
        }
        processingQueue()->async([operation, success, reportFailure] {
            const plat::Value json = operation->responseJSON();
            if (operation->error()) {
                reportFailure();
            } else if (success) {
                operation->successQueue()->async(
                    [operation, success, json] { success(operation, json); });
            }
        });
    });
}

Ref<AFJSONRequestOperation> AFJSONRequestOperation::JSONRequestOperationWithRequest(
    const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure) {
    auto operation = operationWithRequest<AFJSONRequestOperation>(request);
    SuccessBlock onSuccess;
    if (success) {
        onSuccess = [success](const Ref<AFHTTPRequestOperation>& op, const plat::Value& json) {
            success(op->request(), op->response(), json);
        };
    }
    FailureBlock onFailure;
    if (failure) {
        onFailure = [failure](const Ref<AFHTTPRequestOperation>& op,
                              const Ref<plat::Error>& error) {
            auto self = std::static_pointer_cast<AFJSONRequestOperation>(op);
            failure(op->request(), op->response(), error, self->responseJSON());
        };
    }
    operation->setCompletionBlockWithSuccess(std::move(onSuccess), std::move(onFailure));
    return operation;
}

std::optional<AFContentTypeSet> AFJSONRequestOperation::acceptableContentTypes() {
    return AFContentTypeSet{"application/json", "text/json", "text/javascript"};
}

bool AFJSONRequestOperation::canProcessRequest(const plat::UrlRequest& request) {
    return AFPathExtensionOfURL(request.url()) == "json" ||
           acceptsTypesOfRequest(acceptableContentTypes(), request);
}

Ref<plat::DispatchQueue> AFJSONRequestOperation::processingQueue() {
    static const auto queue =
        plat::DispatchQueue::concurrent("com.varnel.networking.json-request.processing");
    return queue;
}
