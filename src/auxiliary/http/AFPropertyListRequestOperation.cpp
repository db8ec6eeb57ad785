#include "auxiliary/http/AFPropertyListRequestOperation.h"

PLAT_DEFINE_CLASS(AFPropertyListRequestOperation, AFHTTPRequestOperation, PLAT_NO_METHODS)

void AFPropertyListRequestOperation::initWithRequest(plat::UrlRequest request) {
    AFHTTPRequestOperation::initWithRequest(std::move(request));
    readOptions_ = 0;
}

plat::Value AFPropertyListRequestOperation::responsePropertyList() {
    // Under the lock, as the JSON getter: the completion's parse and a caller's read never race.
    std::lock_guard guard(lock_);
    const auto data = responseData();
    if (!responsePropertyList_ && data && !data->empty() && isFinished()) {
        plat::PropertyListFormat format{};
        Ref<plat::Error> parseError;
        plat::Value parsed = plat::PropertyList::propertyListWithData(*data, &format, &parseError);
        if (parsed.isNil() && !parseError) {
            parseError = plat::Error::withDescription("NSCocoaErrorDomain", 3840,
                                                      "The property list could not be read.");
        }
        if (!parsed.isNil())
            format_ = static_cast<uint64_t>(format);
        responsePropertyList_ = parsed;
        propertyListError_ = parseError;
    }
    return responsePropertyList_.value_or(plat::Value());
}

uint64_t AFPropertyListRequestOperation::propertyListFormat() const {
    std::lock_guard guard(lock_);
    return format_;
}

Ref<plat::Error> AFPropertyListRequestOperation::error() {
    {
        std::lock_guard guard(lock_);
        if (propertyListError_)
            return propertyListError_;
    }
    return AFHTTPRequestOperation::error();
}

void AFPropertyListRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                                   FailureBlock failure) {
    // Held weakly: an operation that never runs is not kept alive by its own block (it is
    // alive whenever its completion runs).
    WeakRef<AFPropertyListRequestOperation> weak =
        std::static_pointer_cast<AFPropertyListRequestOperation>(shared_from_this());
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
            const plat::Value list = operation->responsePropertyList();
            if (operation->propertyListError_) {
                reportFailure();
            } else if (success) {
                operation->successQueue()->async(
                    [operation, success, list] { success(operation, list); });
            }
        });
    });
}

Ref<AFPropertyListRequestOperation>
AFPropertyListRequestOperation::propertyListRequestOperationWithRequest(
    const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure) {
    auto operation = operationWithRequest<AFPropertyListRequestOperation>(request);
    SuccessBlock onSuccess;
    if (success) {
        onSuccess = [success](const Ref<AFHTTPRequestOperation>& op, const plat::Value& list) {
            success(op->request(), op->response(), list);
        };
    }
    FailureBlock onFailure;
    if (failure) {
        onFailure = [failure](const Ref<AFHTTPRequestOperation>& op,
                              const Ref<plat::Error>& error) {
            auto self = std::static_pointer_cast<AFPropertyListRequestOperation>(op);
            failure(op->request(), op->response(), error, self->responsePropertyList());
        };
    }
    operation->setCompletionBlockWithSuccess(std::move(onSuccess), std::move(onFailure));
    return operation;
}

std::optional<AFContentTypeSet> AFPropertyListRequestOperation::acceptableContentTypes() {
    return AFContentTypeSet{"application/x-plist"};
}

bool AFPropertyListRequestOperation::canProcessRequest(const plat::UrlRequest& request) {
    return AFPathExtensionOfURL(request.url()) == "plist" ||
           acceptsTypesOfRequest(acceptableContentTypes(), request);
}

Ref<plat::DispatchQueue> AFPropertyListRequestOperation::processingQueue() {
    static const auto queue =
        plat::DispatchQueue::concurrent("com.varnel.networking.property-list-request.processing");
    return queue;
}
