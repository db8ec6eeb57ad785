#pragma once
// AFXMLRequestOperation: an HTTP operation whose body is XML ("application/xml", "text/xml" or an
// ".xml" URL): an event-driven parser built over the body (not run here) and, on demand, the
// body parsed into a document. Both are made once, under the operation's lock. Cancelling
// clears the parser's delegate.
#include "auxiliary/http/AFJSONRequestOperation.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlParser.h"

class AFXMLRequestOperation : public AFHTTPRequestOperation {
    PLAT_CLASS(AFXMLRequestOperation)
  public:
    using RequestSuccessBlock = AFJSONRequestOperation::RequestSuccessBlock;
    using RequestFailureBlock = AFJSONRequestOperation::RequestFailureBlock;

    AFXMLRequestOperation() = default;
    explicit AFXMLRequestOperation(plat::UrlRequest request)
        : AFHTTPRequestOperation(std::move(request)) {}

    Ref<plat::XmlParser> responseXMLParser();
    Ref<plat::XmlDocument> responseXMLDocument();

    Ref<plat::Error> error() override;
    void cancel() override;
    // The success block gets the parser.
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

    static Ref<AFXMLRequestOperation> XMLParserRequestOperationWithRequest(
        const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure);
    static Ref<AFXMLRequestOperation> XMLDocumentRequestOperationWithRequest(
        const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure);
    static std::optional<AFContentTypeSet> acceptableContentTypes();
    static bool canProcessRequest(const plat::UrlRequest& request);
    std::optional<AFContentTypeSet> classAcceptableContentTypes() const override {
        return acceptableContentTypes();
    }
    bool classCanProcessRequest(const plat::UrlRequest& request) const override {
        return canProcessRequest(request);
    }
    static Ref<plat::DispatchQueue> processingQueue();

  private:
    static Ref<AFXMLRequestOperation> make(const plat::UrlRequest& request, bool document,
                                           RequestSuccessBlock success,
                                           RequestFailureBlock failure);
    Ref<plat::XmlParser> parser_;
    Ref<plat::XmlDocument> document_;
    bool documentTried_ = false;
    Ref<plat::Error> XMLError_;
};
