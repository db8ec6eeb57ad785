#include "auxiliary/http/AFXMLRequestOperation.h"

PLAT_DEFINE_CLASS(AFXMLRequestOperation, AFHTTPRequestOperation, PLAT_NO_METHODS)

Ref<plat::XmlParser> AFXMLRequestOperation::responseXMLParser() {
    std::lock_guard guard(lock_);
    const auto data = responseData();
    if (!parser_ && data && !data->empty() && isFinished())
        parser_ = plat::XmlParser::make(*data);
    return parser_;
}

Ref<plat::XmlDocument> AFXMLRequestOperation::responseXMLDocument() {
    std::lock_guard guard(lock_);
    const auto data = responseData();
    if (!documentTried_ && data && !data->empty() && isFinished()) {
        documentTried_ = true;
        document_ = plat::XmlDocument::make(*data, 0, &XMLError_);
    }
    return document_;
}

Ref<plat::Error> AFXMLRequestOperation::error() {
    {
        std::lock_guard guard(lock_);
        if (XMLError_)
            return XMLError_;
    }
    return AFHTTPRequestOperation::error();
}

void AFXMLRequestOperation::cancel() {
    AFHTTPRequestOperation::cancel();
    std::lock_guard guard(lock_);
    if (parser_)
        parser_->setDelegate({});
}

void AFXMLRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                          FailureBlock failure) {
    // Held weakly: an operation that never runs is not kept alive by its own block (it is
    // alive whenever its completion runs).
    WeakRef<AFXMLRequestOperation> weak =
        std::static_pointer_cast<AFXMLRequestOperation>(shared_from_this());
    setCompletionBlock([weak, success = std::move(success), failure = std::move(failure)] {
        const auto operation = weak.lock();
        if (!operation)
            return;
        processingQueue()->async([operation, success, failure] {
            const auto parser = operation->responseXMLParser();
            if (operation->error()) {
                if (failure) {
                    operation->failureQueue()->async(
                        [operation, failure] { failure(operation, operation->error()); });
                }
            } else if (success) {
                const plat::Value object = parser ? plat::Value::fromObject(parser) : plat::Value();
                operation->successQueue()->async(
                    [operation, success, object] { success(operation, object); });
            }
        });
    });
}

Ref<AFXMLRequestOperation> AFXMLRequestOperation::make(const plat::UrlRequest& request,
                                                       bool document, RequestSuccessBlock success,
                                                       RequestFailureBlock failure) {
    auto operation = operationWithRequest<AFXMLRequestOperation>(request);
    auto parsed = [document](const Ref<AFXMLRequestOperation>& op) {
        if (document) {
            const auto tree = op->responseXMLDocument();
            return tree ? plat::Value::fromObject(tree) : plat::Value();
        }
        const auto parser = op->responseXMLParser();
        return parser ? plat::Value::fromObject(parser) : plat::Value();
    };
    SuccessBlock onSuccess;
    if (success) {
        onSuccess = [success, parsed, document](const Ref<AFHTTPRequestOperation>& op,
                                                const plat::Value& object) {
            auto self = std::static_pointer_cast<AFXMLRequestOperation>(op);
            success(op->request(), op->response(), document ? parsed(self) : object);
        };
    }
    FailureBlock onFailure;
    if (failure) {
        onFailure = [failure, parsed](const Ref<AFHTTPRequestOperation>& op,
                                      const Ref<plat::Error>& error) {
            auto self = std::static_pointer_cast<AFXMLRequestOperation>(op);
            failure(op->request(), op->response(), error, parsed(self));
        };
    }
    operation->setCompletionBlockWithSuccess(std::move(onSuccess), std::move(onFailure));
    return operation;
}

Ref<AFXMLRequestOperation> AFXMLRequestOperation::XMLParserRequestOperationWithRequest(
    const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure) {
    return make(request, false, std::move(success), std::move(failure));
}

Ref<AFXMLRequestOperation> AFXMLRequestOperation::XMLDocumentRequestOperationWithRequest(
    const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure) {
    return make(request, true, std::move(success), std::move(failure));
}

std::optional<AFContentTypeSet> AFXMLRequestOperation::acceptableContentTypes() {
    return AFContentTypeSet{"application/xml", "text/xml"};
}

bool AFXMLRequestOperation::canProcessRequest(const plat::UrlRequest& request) {
    return AFPathExtensionOfURL(request.url()) == "xml" ||
           acceptsTypesOfRequest(acceptableContentTypes(), request);
}

Ref<plat::DispatchQueue> AFXMLRequestOperation::processingQueue() {
    static const auto queue =
        plat::DispatchQueue::concurrent("com.varnel.networking.xml-request.processing");
    return queue;
}
