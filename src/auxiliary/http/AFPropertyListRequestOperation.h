#pragma once
// AFPropertyListRequestOperation: an HTTP operation whose body is a property list (XML, binary
// or old-style text; "application/x-plist" or a ".plist" URL), parsed once under the
// operation's lock on a queue of its own when it completes, with the format found.
#include "auxiliary/http/AFJSONRequestOperation.h"
#include "platform/storage/PropertyList.h"

class AFPropertyListRequestOperation : public AFHTTPRequestOperation {
    PLAT_CLASS(AFPropertyListRequestOperation)
  public:
    using RequestSuccessBlock = AFJSONRequestOperation::RequestSuccessBlock;
    using RequestFailureBlock = AFJSONRequestOperation::RequestFailureBlock;

    AFPropertyListRequestOperation() = default;
    explicit AFPropertyListRequestOperation(plat::UrlRequest request)
        : AFHTTPRequestOperation(std::move(request)) {}
    void initWithRequest(plat::UrlRequest request) override;

    plat::Value responsePropertyList();
    uint64_t propertyListReadOptions() const { return readOptions_; }
    void setPropertyListReadOptions(uint64_t options) { readOptions_ = options; }
    // The format of the parsed body; 0 before a successful parse.
    uint64_t propertyListFormat() const;

    Ref<plat::Error> error() override;
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

    static Ref<AFPropertyListRequestOperation> propertyListRequestOperationWithRequest(
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
    std::optional<plat::Value> responsePropertyList_;
    uint64_t readOptions_ = 0;
    uint64_t format_ = 0;
    Ref<plat::Error> propertyListError_;
};
