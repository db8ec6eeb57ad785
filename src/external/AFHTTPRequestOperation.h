#pragma once
// AFHTTPRequestOperation: a URL connection operation that judges its HTTP answer. A status
// outside the acceptable codes (200-299 unless changed) fails with -1011, a content type outside
// the acceptable types (any unless a class narrows them) with -1016 when there is a body; both in
// AFNetworkingErrorDomain with the body as the recovery suggestion. Pausing asks for the rest
// with "Range: bytes=<received>-" (and "If-Range" with the response's ETag). The completion is
// split into a success and a failure block, run on their callback queues (the main queue when
// none is set; the queues are not kept alive by the operation).
#include <optional>
#include <set>
#include <string>

#include "external/AFURLConnectionOperation.h"
#include "platform/runloop/DispatchQueue.h"

inline constexpr const char* AFNetworkingErrorDomain = "AFNetworkingErrorDomain";
inline constexpr const char* AFNetworkingOperationFailingURLRequestErrorKey =
    "AFNetworkingOperationFailingURLRequestErrorKey";
inline constexpr const char* AFNetworkingOperationFailingURLResponseErrorKey =
    "AFNetworkingOperationFailingURLResponseErrorKey";
inline constexpr const char* NSLocalizedRecoverySuggestionErrorKey =
    "NSLocalizedRecoverySuggestion";
inline constexpr const char* NSURLErrorFailingURLErrorKey = "NSErrorFailingURLKey";

using AFIndexSet = std::set<int64_t>;
using AFContentTypeSet = std::set<std::string>;

// "200-299", "200,204,300-302": consecutive runs merged, in ascending order.
std::string AFStringFromIndexSet(const AFIndexSet& indexes);
// The types of an "Accept" value, parameters dropped; nothing for no value.
std::optional<AFContentTypeSet> AFContentTypesFromHTTPHeader(
    const std::optional<std::string>& header);

class AFHTTPRequestOperation : public AFURLConnectionOperation {
    PLAT_CLASS(AFHTTPRequestOperation)
  public:
    using SuccessBlock =
        std::function<void(const Ref<AFHTTPRequestOperation>&, const plat::Value& responseObject)>;
    using FailureBlock =
        std::function<void(const Ref<AFHTTPRequestOperation>&, const Ref<plat::Error>&)>;

    AFHTTPRequestOperation() = default;
    explicit AFHTTPRequestOperation(plat::UrlRequest request)
        : AFURLConnectionOperation(std::move(request)) {}

    Ref<plat::Error> error() override;
    uint64_t responseStringEncoding() override;
    void pause() override;

    bool hasAcceptableStatusCode();
    bool hasAcceptableContentType();

    Ref<plat::DispatchQueue> successCallbackQueue() const;
    void setSuccessCallbackQueue(const Ref<plat::DispatchQueue>& queue);
    Ref<plat::DispatchQueue> failureCallbackQueue() const;
    void setFailureCallbackQueue(const Ref<plat::DispatchQueue>& queue);

    // Success: the operation and its body (data, or nil); failure: the operation and error().
    virtual void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);

    // What this class accepts; a class that does not answer for itself takes its superclass's.
    static std::optional<AFIndexSet> acceptableStatusCodes();
    static void addAcceptableStatusCodes(const AFIndexSet& codes);
    static std::optional<AFContentTypeSet> acceptableContentTypes();
    static void addAcceptableContentTypes(const AFContentTypeSet& types);
    // Yes for this class itself.
    static bool canProcessRequest(const plat::UrlRequest& request);

    // The answers of the operation's own class.
    virtual std::optional<AFIndexSet> classAcceptableStatusCodes() const;
    virtual std::optional<AFContentTypeSet> classAcceptableContentTypes() const;
    virtual bool classCanProcessRequest(const plat::UrlRequest& request) const {
        return canProcessRequest(request);
    }

  protected:
    // The class-wide answers set by addAcceptable*, by class name.
    static std::optional<AFIndexSet> replacedStatusCodes(const std::string& cls);
    static void replaceStatusCodes(const std::string& cls, AFIndexSet codes);
    static std::optional<AFContentTypeSet> replacedContentTypes(const std::string& cls);
    static void replaceContentTypes(const std::string& cls, AFContentTypeSet types);
    // A subclass's request test: its types meet those the request's "Accept" names.
    static bool acceptsTypesOfRequest(const std::optional<AFContentTypeSet>& types,
                                      const plat::UrlRequest& request);

    Ref<plat::DispatchQueue> successQueue() const;
    Ref<plat::DispatchQueue> failureQueue() const;

  private:
    Ref<plat::Error> HTTPError_;
    WeakRef<plat::DispatchQueue> successCallbackQueue_;
    WeakRef<plat::DispatchQueue> failureCallbackQueue_;
};
